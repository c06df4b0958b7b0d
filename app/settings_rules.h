// The arithmetic and text rules of the main window, kept free of widgets so they can be tested exactly.
#pragma once

#include <QSize>
#include <QString>
#include <optional>

#include "capture_size.h"
#include "int_text.h"

// Thumbnail height shown for a width: 4w/5 rounded to the nearest integer (320 -> 256, 7 -> 6, -5 -> -4).
qint64 HeightForWidth(qint64 width);

// Percentage the progress gauge shows: integer part of 100 x progress / maximum, 0 when the maximum is 0.
int GaugePercent(int progress, int maximum);

// Application title from the program file: name without folder and extension, first letter in upper
// case, the rest in lower case ("/usr/bin/bildoro" -> "Bildoro").
QString ApplicationTitleFor(const QString& programPath);

// Text of the error box: a full stop is appended when the last character's code is above that of ".".
QString ErrorBoxText(const QString& message);
