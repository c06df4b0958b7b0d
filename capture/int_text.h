// Whole numbers typed by the user (the thumbnail width), converted the same way by the window and the CLI.
#pragma once

#include <QString>
#include <optional>

// The text as a 32-bit signed decimal integer: leading blanks skipped, an optional sign, then only
// digits. Anything else (empty, trailing blanks, separators, fractions, out of range) gives nothing.
std::optional<int> StrToInt32(const QString& text);

// The error text for text that is not such an integer: "'%s' ist kein gültiger Integerwert".
QString NotAnIntegerMessage(const QString& text);
