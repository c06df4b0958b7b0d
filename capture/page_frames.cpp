// The frames of a page's top document.
#include "page_frames.h"

void TPageFrames::Navigated(const QString& frameId, const QString& url, bool top) {
    if (top) m_urls.clear();
    m_urls.insert(frameId, url);
}

void TPageFrames::Detached(const QString& frameId, const QString& reason) {
    if (reason != QLatin1String("swap")) m_urls.remove(frameId);
}
