// ScaleImageSmooth: the anti-aliased reduction behind the smooth thumbnail filter.
#pragma once

#include "bitmap24.h"

#include <QImage>

// Resamples `source` (any QImage; 32-bit pixels as TJpegImage::ToRgb32Image gives them take the quick way)
// into `target`, whose size the caller has set, with Qt's smooth scaling: on a reduction every target pixel
// is the area-weighted mean of the source pixels it covers, so thin lines and small text blur a little
// instead of breaking up. Throws std::invalid_argument when the source is empty but the target is not, and
// std::runtime_error when the memory for the work is missing.
void ScaleImageSmooth(const QImage& source, TBitmap24& target);
