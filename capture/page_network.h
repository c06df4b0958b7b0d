// TPageNetwork: the requests a page has under way, so that a loaded page's wait for late content knows when
// the page is quiet.
#pragma once

#include <QSet>
#include <QString>

// Requests are counted by the session that reported them (the page's or one of its frames'), from
// Network.requestWillBeSent to their end: Network.loadingFinished or loadingFailed, the session's end, or,
// for a document, its DOMContentLoaded (the end of a document's request is not always reported: on a fresh
// page the first document's often comes before requests are watched).
class TPageNetwork {
  public:
    void Clear() { m_requests.clear(); }
    // A request went out. Streams (server-sent events) never end by design and do not hold the page.
    void Started(const QString& session, const QString& requestId, const QString& type);
    // A request (or, with the loader's id, a document) ended; true when it was the last one under way.
    bool Ended(const QString& session, const QString& requestId);
    // A frame's session has gone, and its requests end with it, unreported; true when the page became quiet
    // by it.
    bool SessionGone(const QString& session);
    bool Quiet() const { return m_requests.isEmpty(); }

  private:
    QSet<QString> m_requests;  // session + " " + request id
};
