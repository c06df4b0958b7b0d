// The picture of a capture: the view's screenshot decoded and sized, and written as the capture's JPEG.
#pragma once

#include "bitmap24.h"

#include <QByteArray>
#include <QString>

// Why a capture of these sizes cannot be made (a size that is not positive), or an empty text.
QString CaptureSizeProblem(int srcHeight, int srcWidth, int dstHeight, int dstWidth);
// The screenshot (PNG data) drawn into a srcWidth x srcHeight bitmap, then stretch-copied to dstWidth x
// dstHeight: rows and columns are dropped or repeated, never averaged. Throws std::invalid_argument for a
// size that is not positive, TBrowserError for data that is no PNG picture, std::bad_alloc without memory.
// A screenshot's PNG as it is, whatever its size. Throws TBrowserError for data that is not a PNG picture.
TBitmap24 PictureFromPng(const QByteArray& png);

TBitmap24 PictureFromScreenshot(const QByteArray& png, int srcHeight, int srcWidth, int dstHeight,
                                int dstWidth);
// Writes the picture to fileName as a quality-90 baseline JPEG (replacing a file there, never half-written).
// Returns why it failed, or an empty text. Touches nothing but the file: may run on any thread.
QString WriteCaptureJpeg(const TBitmap24& picture, const QString& fileName);
