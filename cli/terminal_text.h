// Text from lists, file names and the system made safe to print on a terminal.
#pragma once

#include <QByteArray>
#include <QStringView>

// `text` as UTF-8 with every control character escaped, so a URL, picture name or path can neither move the
// cursor, recolour or clear the terminal, nor break a line or a tab-separated field: C0 controls and DEL as
// "\xNN" (ESC is "\x1b", a tab "\x09"), C1 controls (U+0080-U+009F) as "\uNNNN". A backslash itself stays
// as it is, so the escaped text cannot always be told from a name that holds those characters literally;
// it is meant for reading, not for parsing back.
QByteArray TerminalText(QStringView text);
