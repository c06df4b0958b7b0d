// The files of a row's picture in the formats and widths a run asks for, beside the program's own JPEG.
#pragma once

#include "bitmap24.h"
#include "capture_options.h"
#include "thumbnail.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

// `path` (folder/picture.ext) with `variant` put before its extension: folder/picture.160.ext,
// folder/picture.full.ext.
QString VariantPicturePath(const QString& path, const QString& variant);

// The picture encoded as WebP at `quality` (1 to 100), or as PNG without loss (JPEG files are written by
// the capture's and the reduction's own JPEG object). Throws
// std::runtime_error when the encoder fails (the machine's memory, a picture too large for the format).
QByteArray EncodePicture(const TBitmap24& picture, PictureFormat format, int quality);

// A WebP file's picture (32 bits, its alpha kept); a null QImage when the data is no WebP picture.
QImage DecodeWebp(const QByteArray& data);

// The picture reduced to `width` pixels (height in proportion by MulDiv, at least 1) with `filter`, as the
// in-place reduction reduces a capture; the picture as it is when it is not wider.
TBitmap24 ReducedPicture(const TBitmap24& picture, int width, ThumbnailFilter filter);

// What WritePictureFiles wrote.
struct WrittenPictures {
    QStringList files;  // every file written, the thumbnail first
    int width = 0;      // the thumbnail's size and bytes
    int height = 0;
    qint64 bytes = 0;
    bool blank = false;
};

// Writes the row's files for a run whose options are not the plain JPEG write: the thumbnail at `path`
// (`width` wide), one more per `options.widths` (VariantPicturePath with the width), and with
// `options.keepCapture` the capture itself (".full"). A JPEG run reduces each from the capture's JPEG of
// quality 90 exactly as the in-place reduction does (the file for --width W is the one a run with --width W
// writes, at the run's quality); PNG and WebP from the captured picture itself. Throws std::runtime_error,
// naming the file, when one cannot be written; the files written before it stay.
WrittenPictures WritePictureFiles(const TBitmap24& capture, const QString& path, int width,
                                  const TCaptureOptions& options, ThumbnailFilter filter);
