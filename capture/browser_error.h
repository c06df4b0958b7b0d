// The error raised when the browser cannot start, dies, or refuses a DevTools command.
#pragma once

#include <QString>
#include <stdexcept>

class TBrowserError : public std::runtime_error {
  public:
    explicit TBrowserError(const QString& message) : std::runtime_error(message.toStdString()) {}
};
