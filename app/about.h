// The About box AboutForm: program name, version, licences.
#pragma once

#include <QDialog>

class QLabel;

class TAboutForm : public QDialog {
    Q_OBJECT
  public:
    explicit TAboutForm(QWidget* parent = nullptr);

    QLabel* lb_version;

    // Shows the box modally, centred over the given window; the version label is filled each time.
    void ShowModalOver(QWidget* owner);
};
