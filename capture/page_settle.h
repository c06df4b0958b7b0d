// TPageSettle: a loaded page's wait for late content.
#pragma once

#include "page_network.h"
#include "reply_scope.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

// Waits, bounded, until the page is quiet: no request it started is under way (Network()), its web fonts are
// ready, and, after requests were under way, it has drawn one frame with what they brought. The page is
// asked through its host.
class TPageSettle : public QObject {
    Q_OBJECT
  public:
    // Sends expression to the page (its promise awaited), the answer bound to scope, and calls answered when
    // the page answers or the command fails; false when there is no page to ask.
    using Ask = std::function<bool(const QString& expression, const TReplyScope& scope,
                                   std::function<void()> answered)>;
    explicit TPageSettle(Ask ask);

    // The requests under way; when one ends and it was the last, Check() looks at the page again.
    TPageNetwork& Network() { return m_network; }
    // A new navigation: no request is under way, and nothing was left unanswered.
    void Clear();
    // Begins the wait; Settled() is signalled once, when the page is quiet or boundMs have passed (at once
    // when there is no page to ask). A page quiet at the start costs one question.
    void Start(int boundMs);
    void Check();
    // True when the latest wait ended at its bound with the page's answer still missing: a script of the
    // page may hold it.
    bool Unanswered() const { return m_unanswered; }

  Q_SIGNALS:
    void Settled();

  private:
    void End();

    Ask m_ask;
    TPageNetwork m_network;
    QTimer m_bound;
    TReplyScope m_scope;  // the question of the wait under way
    bool m_active = false;
    bool m_querying = false;       // the question for the fonts and the next frame is under way
    bool m_waitedForWork = false;  // requests were seen under way: the page gets a frame to draw them
    bool m_unanswered = false;
};
