// The error raised when the browser cannot start, dies, or refuses a DevTools command.
#pragma once

#include <QString>
#include <stdexcept>

class TBrowserError : public std::runtime_error {
  public:
    explicit TBrowserError(const QString& message, bool noAnswer = false)
        : std::runtime_error(message.toStdString()), m_noAnswer(noAnswer) {}
    // True when the browser (or its page) did not answer within the bound, as opposed to answering with an
    // error, dying, or the page going away.
    bool NoAnswer() const { return m_noAnswer; }

  private:
    bool m_noAnswer;
};
