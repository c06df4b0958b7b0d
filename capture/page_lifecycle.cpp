// The top document of a page's latest navigation.
#include "page_lifecycle.h"

TPageLifecycle::Answer TPageLifecycle::Answered(const QString& loaderId, const QString& errorText,
                                                bool isDownload, bool freshPage) {
    m_answered = true;
    m_error = isDownload ? QStringLiteral("download, not a page") : errorText;
    m_loader = loaderId;
    if (m_loader.isEmpty() || isDownload || m_error == QLatin1String("net::ERR_ABORTED") ||
        m_loadedEarly.contains(m_loader))
        return Answer::NoDocument;
    // A fresh page has no previous document that could hold it.
    return !freshPage && m_shownLoader != m_loader ? Answer::WatchShowing : Answer::Wait;
}

bool TPageLifecycle::Loaded(const QString& loaderId) {
    if (!m_answered) {
        m_loadedEarly.insert(loaderId);
        return false;
    }
    return loaderId == m_loader;
}

void TPageLifecycle::Shown(const QString& loaderId) {
    m_shownLoader = loaderId;
    if (m_answered) m_shownSinceAnswer = true;
}

bool TPageLifecycle::TakeOver(const QString& loaderId) {
    if (!m_answered || loaderId.isEmpty() || loaderId == m_loader) return false;
    m_loader = loaderId;
    return true;
}

void TPageLifecycle::Resend() {
    *this = TPageLifecycle();
}
