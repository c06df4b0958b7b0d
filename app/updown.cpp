// sUpDown1: arrows that step the width field.
#include "updown.h"

#include "settings_rules.h"

#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

TUpDown::TUpDown(QLineEdit* buddy, int minimum, int maximum, int position, QWidget* parent)
    : QWidget(parent), m_buddy(buddy), m_min(minimum), m_max(maximum), m_position(position) {
    m_up = new QToolButton(this);
    m_down = new QToolButton(this);
    for (QToolButton* b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    m_up->setObjectName(QStringLiteral("sUpDown1Up"));
    m_down->setObjectName(QStringLiteral("sUpDown1Down"));
    setFixedSize(16, 21);
    m_up->setGeometry(0, 0, 16, 10);
    m_down->setGeometry(0, 10, 16, 11);
    connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void TUpDown::Step(int delta) {
    const int start = StrToInt32(m_buddy->text()).value_or(m_position);
    m_position = std::clamp(qint64(start) + delta, qint64(m_min), qint64(m_max));
    m_buddy->setText(QString::number(m_position));
}
