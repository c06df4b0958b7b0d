// The requests a page has under way.
#include "page_network.h"

void TPageNetwork::Started(const QString& session, const QString& requestId, const QString& type) {
    if (type != QLatin1String("EventSource")) m_requests.insert(session + u' ' + requestId);
}

bool TPageNetwork::Ended(const QString& session, const QString& requestId) {
    return m_requests.remove(session + u' ' + requestId) && m_requests.isEmpty();
}

bool TPageNetwork::SessionGone(const QString& session) {
    if (m_requests.isEmpty()) return false;
    const QString prefix = session + u' ';
    m_requests.removeIf([&prefix](const QString& r) { return r.startsWith(prefix); });
    return m_requests.isEmpty();
}
