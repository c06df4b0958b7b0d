// The arithmetic and text rules of the main window.
#include "settings_rules.h"

#include <QFileInfo>

qint64 HeightForWidth(qint64 width) {
    // 4w/5 never lies half-way between two integers, so rounding needs no tie rule.
    const qint64 q = width * 4;
    qint64 h = q / 5;
    const qint64 r = q % 5;  // same sign as q
    if (r * 2 > 5) ++h;
    if (r * 2 < -5) --h;
    return h;
}

int GaugePercent(int progress, int maximum) {
    if (maximum == 0) return 0;
    return int(qint64(progress) * 100 / maximum);
}

QString ApplicationTitleFor(const QString& programPath) {
    QString name = QFileInfo(programPath).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0) name.truncate(dot);
    if (name.isEmpty()) return name;
    // Program files are lower case here; the title keeps the capital first letter the program shows
    // elsewhere.
    return name.left(1).toUpper() + name.mid(1).toLower();
}

QString ErrorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
    return message;
}
