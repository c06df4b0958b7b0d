// ScaleBitmapBilinear: the exact fixed-point bilinear resampler that makes thumbnails from captures.
#pragma once

#include "bitmap24.h"

// Resamples `source` into `target`, whose size the caller has set, with 16.16 fixed-point bilinear weights
// that total 65537: xstep = MulDiv(W - 1, 65536, w), ystep = MulDiv(H - 1, 65536, h); the last source row
// pairs with itself, and so does the last column when enlarging. Equal sizes give an exact copy; a target of
// one row is computed like any other. Throws std::invalid_argument when the source is empty but the target is
// not, or when a side exceeds 65536 pixels (the reach of a 16.16 position).
void ScaleBitmapBilinear(const TBitmap24& source, TBitmap24& target);

// The row kernel used: the vector kernel where the processor has SSE4.1, or the portable one. Both give the
// same bytes; the choice exists so both can be checked.
enum class ResamplerKernel { Automatic, Portable };
void ScaleBitmapBilinear(const TBitmap24& source, TBitmap24& target, ResamplerKernel kernel);
