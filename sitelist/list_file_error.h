// The failure of reading or writing a list file.
#pragma once

#include <QString>
#include <stdexcept>

// A list file could not be read or written. what() is the user-facing message in UTF-8, e.g.
// "Datei /home/a/liste.csv kann nicht geöffnet werden. No such file or directory".
class ListFileError : public std::runtime_error {
  public:
    explicit ListFileError(const QString& message) : std::runtime_error(message.toStdString()) {}

    QString Message() const { return QString::fromUtf8(what()); }
};
