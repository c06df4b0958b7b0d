// The count of pages under way, from the machine's idle time and the browser's memory.
#include "pages_in_flight.h"

#include <QFile>
#include <algorithm>
#include <cmath>

TPagesInFlight::TPagesInFlight(int least, int most, int first, qint64 budgetMiB)
    : m_least(std::max(1, least)),
      m_most(std::max(m_least, most)),
      m_count(std::clamp(first, m_least, m_most)),
      m_budgetMiB(budgetMiB),
      m_fewest(m_count),
      m_highest(m_count) {}

int TPagesInFlight::Next(const Sample& s) {
    const double idle = m_lastIdle < 0 ? s.idle : (s.idle + m_lastIdle) / 2;
    m_lastIdle = s.idle;
    if (s.memoryMiB > m_budgetMiB) {
        // The pages under way finish; fewer take their places.
        m_count = std::max(1, std::min(m_count, s.loading) - 1);
    } else if (idle < kSaturated) {
        m_count = std::max(m_least, m_count - 1);
    } else if (idle > kRoom && s.rowsWaiting && s.loading >= m_count) {
        // Here at least one page is under way: what it takes tells what one more would.
        const qint64 perPage = std::max<qint64>(1, (s.memoryMiB - kBrowserMiB) / s.loading);
        const int more =
            std::clamp(int(std::lround(s.loading * (kBusy / (1 - std::min(idle, 0.5)) - 1))), 1, kStep);
        for (int i = 0; i < more && m_count < m_most &&
                        std::max(s.memoryMiB, kBrowserMiB) + (i + 1) * perPage <= m_budgetMiB;
             ++i)
            ++m_count;
    }
    m_fewest = std::min(m_fewest, m_count);
    m_highest = std::max(m_highest, m_count);
    return m_count;
}

double TMachineIdle::Take() {
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    // "cpu  user nice system idle iowait irq softirq steal ...": idle and iowait are time left idle.
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    quint64 idle = 0, total = 0;
    for (qsizetype i = 1; i < fields.size() && i <= 8; ++i) {
        const quint64 ticks = fields[i].toULongLong();
        total += ticks;
        if (i == 4 || i == 5) idle += ticks;
    }
    const quint64 spent = total - m_total, rested = idle - m_idle;
    m_idle = idle;
    m_total = total;
    return spent > 0 ? std::clamp(double(rested) / double(spent), 0.0, 1.0) : 0;
}
