// A loaded page's wait for late content.
#include "page_settle.h"

#include <algorithm>
#include <utility>

TPageSettle::TPageSettle(Ask ask) : m_ask(std::move(ask)) {
    m_bound.setSingleShot(true);
    connect(&m_bound, &QTimer::timeout, this, [this] {
        m_unanswered = m_querying;
        End();
    });
}

void TPageSettle::Clear() {
    m_network.Clear();
    m_unanswered = false;
}

void TPageSettle::Start(int boundMs) {
    m_scope.Renew();
    m_active = true;
    m_querying = false;
    m_waitedForWork = false;
    m_unanswered = false;
    m_bound.start(std::max(boundMs, 0));
    Check();
}

void TPageSettle::Check() {
    if (!m_active || m_querying) return;
    if (!m_network.Quiet()) {
        m_waitedForWork = true;
        return;
    }
    // The fonts the page asked for are ready; after requests were under way, the page also gets one frame
    // to draw what they brought (their scripts run before it).
    const QString expression =
        m_waitedForWork
            ? QStringLiteral(
                  "document.fonts.ready.then(() => new Promise(r => requestAnimationFrame(() => "
                  "setTimeout(r, 0))))")
            : QStringLiteral("document.fonts.status === 'loaded' ? 0 : document.fonts.ready.then(() => 0)");
    m_querying = true;
    const bool asked = m_ask(expression, m_scope, [this] {
        m_querying = false;
        // Requests begun meanwhile are waited for as well.
        if (m_network.Quiet())
            End();
        else
            Check();
    });
    if (!asked) {
        m_querying = false;
        End();
    }
}

void TPageSettle::End() {
    if (!m_active) return;
    m_active = false;
    m_scope.Renew();
    m_bound.stop();
    Q_EMIT Settled();
}
