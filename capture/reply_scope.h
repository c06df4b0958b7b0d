// TReplyScope: the answers and timers one piece of the browser host's work waits for.
#pragma once

#include <QObject>
#include <memory>

// The context of one piece of work (a navigation, a page's set-up, a settle wait), handed to the protocol
// client's commands and to timers: once the work is abandoned (Renew), whatever still comes for it is
// dropped on arrival, and nobody needs to ask whether an answer is stale.
class TReplyScope {
  public:
    TReplyScope() : m_context(std::make_unique<QObject>()) {}

    QObject* Context() const { return m_context.get(); }
    // Abandons the work so far: its answers and timers are dropped from now on.
    void Renew() { m_context = std::make_unique<QObject>(); }

  private:
    std::unique_ptr<QObject> m_context;
};
