// Text from lists, file names and the system made safe to print on a terminal.
#include "terminal_text.h"

#include <QString>

QByteArray TerminalText(QStringView text) {
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f)
            safe += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else if (u >= 0x80 && u <= 0x9f)
            safe += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
        else
            safe += c;
    }
    return safe.toUtf8();
}
