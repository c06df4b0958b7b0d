// The progress gauge sGauge1.
#include "gauge.h"

#include "settings_rules.h"

#include <QPainter>
#include <algorithm>

TGauge::TGauge(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TGauge::SetMaxValue(int maximum) {
    m_max = maximum;
    if (m_progress > m_max) m_progress = m_max;
    update();
}

void TGauge::SetProgress(int progress) {
    m_progress = std::clamp(progress, 0, std::max(0, m_max));
    update();
}

QString TGauge::PercentText() const {
    return QStringLiteral("%1%").arg(GaugePercent(m_progress, m_max));
}

void TGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, QColor(240, 240, 240));
    if (m_max > 0) {
        const int filled = int(qint64(r.width() - 2) * m_progress / m_max);
        p.fillRect(QRect(1, 1, filled, r.height() - 2), QColor(70, 120, 190));
    }
    p.setPen(QColor(128, 128, 128));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    QFont f = font();
    f.setPixelSize(std::max(8, r.height() - 2));
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(r, Qt::AlignCenter, PercentText());
}
