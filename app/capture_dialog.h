// TCaptureDialog: "Aufnahme-Einstellungen", the window's capture controls in one dialog.
#pragma once

#include "capture_options.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

// When to shoot, who is asking, what to shoot and what to write, as bildoro-batch's options say them. OK
// takes the fields only when every one of them can be used; otherwise the dialog stays open and says why
// under the fields.
class TCaptureDialog : public QDialog {
  public:
    explicit TCaptureDialog(QWidget* parent = nullptr);

    void SetOptions(const TCaptureOptions& options);
    // The options of the fields as they stand; an empty text when they can be used, otherwise why not.
    QString Read(TCaptureOptions& options) const;

    void accept() override;

    // The fields, for tests.
    QLineEdit* waitFor;
    QSpinBox* delay;
    QPlainTextEdit* headers;  // one "Name: value" per line
    QPlainTextEdit* cookies;  // one NAME=VALUE per line
    QLineEdit* cookieFile;
    QLineEdit* userAgent;
    QLineEdit* credentials;  // USER:PASSWORD, shown as dots
    QLineEdit* proxy;
    QCheckBox* fullPage;
    QSpinBox* maxHeight;
    QLineEdit* element;
    QPlainTextEdit* hide;   // one selector per line
    QDoubleSpinBox* scale;  // 0: the view's own ("Standard")
    QCheckBox* mobile;
    QCheckBox* dark;
    QComboBox* format;
    QSpinBox* quality;
    QLineEdit* widths;
    QCheckBox* keepCapture;
    QLabel* problem;  // why OK did not take the fields
};
