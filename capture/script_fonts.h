// Whether the fonts that pages in every script need are installed (Chinese, Japanese and Korean; emoji).
#pragma once

#include <QStringList>

// The Debian packages of the fonts that are missing for pages in Chinese, Japanese or Korean
// ("fonts-noto-cjk") and with emoji ("fonts-noto-color-emoji"), as the browser's font lookup (fontconfig)
// sees them; such pages show boxes for their text. Empty when the fonts are there, or when fontconfig's
// fc-list cannot be run to tell. Takes a few tens of milliseconds.
QStringList MissingScriptFontPackages();
