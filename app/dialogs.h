// Every message, question and file dialog of the program goes through one small interface, so that
// tests can answer them without a human.
#pragma once

#include <QList>
#include <QPointer>
#include <QProcess>
#include <QString>

class QWidget;

class TDialogs {
  public:
    virtual ~TDialogs() = default;

    // Modal message with one "OK" button; caption: the application title, no icon.
    virtual void ShowNotice(const QString& text) = 0;
    // Modal question captioned "Information" with "&Yes" (default) and "&No" (Escape, close); true for Yes.
    virtual bool AskYesNo(const QString& text) = 0;
    // The error box for unexpected failures: caption the application title, error icon, the text with the
    // full stop rule applied.
    virtual void ShowErrorBox(const QString& message) = 0;
    // Folder chooser captioned "Select directory"; empty when cancelled.
    virtual QString ChooseDirectory(const QString& startFolder) = 0;
    // Open and save dialogs for list files; empty when cancelled.
    virtual QString GetOpenFileName(const QString& filter) = 0;
    virtual QString GetSaveFileName(const QString& filter, const QString& defaultSuffix) = 0;
    // Opens a local folder or file with the desktop's handler for it (file manager, image viewer); says so
    // in a message when the desktop has none or the handler fails (the message may come after the return).
    virtual void OpenWithDesktop(const QString& path) = 0;
};

// The real dialogs, shown modally over the given parent.
class TQtDialogs : public TDialogs {
  public:
    explicit TQtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    ~TQtDialogs() override;
    void SetParent(QWidget* parent) { m_parent = parent; }

    void ShowNotice(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    void ShowErrorBox(const QString& message) override;
    QString ChooseDirectory(const QString& startFolder) override;
    QString GetOpenFileName(const QString& filter) override;
    QString GetSaveFileName(const QString& filter, const QString& defaultSuffix) override;
    void OpenWithDesktop(const QString& path) override;

  private:
    QWidget* m_parent;
    QList<QPointer<QProcess>> m_openers;  // the desktop's openers still running
};

// "CSV-Dateien|*.csv" (the list-file filter notation) -> "CSV-Dateien (*.csv)" for Qt's dialogs.
QString QtFilterFromListFilter(const QString& filter);

// Application title used as caption of messages and error boxes.
QString ApplicationTitle();
