// Decoding 8-bit text of the Windows-1252 code page (list files made on Windows).
#pragma once

#include <QByteArrayView>
#include <QString>

// Every byte becomes one character: 0x80-0x9F as the code page defines them (0x80 is the euro sign), the
// five bytes it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) as the control character of the same
// value, and every other byte as the Latin-1 character of that value. Never fails.
QString DecodeWindows1252(QByteArrayView bytes);
