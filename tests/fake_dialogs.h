// Dialogs answered by the test: records every message and question, answers from prepared queues.
#pragma once

#include "dialogs.h"

#include <QStringList>
#include <deque>
#include <functional>

class TFakeDialogs : public TDialogs {
  public:
    QStringList notices;              // texts of ShowNotice, in order
    QStringList questions;            // texts of AskYesNo, in order
    QStringList errors;               // texts of the error box as shown (full stop rule applied)
    QStringList fileFilters;          // filter of each open or save dialog
    QStringList suffixes;             // default suffix of each save dialog
    std::deque<bool> answers;         // AskYesNo answers; No when empty
    std::deque<QString> directories;  // ChooseDirectory answers; cancel when empty
    std::deque<QString> fileNames;    // open/save dialog answers; cancel when empty
    QStringList directoryStarts;      // start folder of each ChooseDirectory
    QStringList opened;               // paths given to the desktop's handler
    // Called inside ShowNotice, while the message would be on screen (to look at the window at that moment).
    std::function<void(const QString&)> onNotice;

    void ShowNotice(const QString& text) override {
        notices << text;
        if (onNotice) onNotice(text);
    }
    bool AskYesNo(const QString& text) override {
        questions << text;
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowErrorBox(const QString& message) override;
    QString ChooseDirectory(const QString& start) override {
        directoryStarts << start;
        return Take(directories);
    }
    QString GetOpenFileName(const QString& filter) override {
        fileFilters << filter;
        return Take(fileNames);
    }
    QString GetSaveFileName(const QString& filter, const QString& suffix) override {
        fileFilters << filter;
        suffixes << suffix;
        return Take(fileNames);
    }
    void OpenWithDesktop(const QString& path) override { opened << path; }

  private:
    static QString Take(std::deque<QString>& q) {
        if (q.empty()) return {};
        QString s = q.front();
        q.pop_front();
        return s;
    }
};

#include "settings_rules.h"
inline void TFakeDialogs::ShowErrorBox(const QString& message) {
    errors << ErrorBoxText(message);
}
