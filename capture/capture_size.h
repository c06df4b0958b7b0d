// The capture sizes of the three resolution choices, one table for the window and bildoro-batch.
#pragma once

#include <QSize>
#include <QString>
#include <optional>

// Capture size of a resolution entry (0: 1280 x 990, 1: 1024 x 768, 2: 800 x 600); nothing for other indexes.
// The largest choice is named 1280 x 1024 but captures 990 rows, the view's height in the window.
std::optional<QSize> ResolutionOfEntry(int index);

// Capture size of a resolution named as text ("1280x1024", "1024 x 768", "800X600": spaces and case do not
// matter); nothing for any other text.
std::optional<QSize> ResolutionOfText(const QString& text);
