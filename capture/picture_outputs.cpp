// The files of a row's picture in the formats and widths a run asks for.
#include "picture_outputs.h"

#include "capture_picture.h"
#include "mul_div.h"
#include "safe_files.h"
#include "smooth_resampler.h"

#include <webp/decode.h>
#include <webp/encode.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <algorithm>
#include <stdexcept>

namespace {

// The largest capture's JPEG read back to be copied (16384 x 16384 pixels hardly reach a tenth of it).
constexpr qint64 kMaxCaptureBytes = qint64(4) * 1024 * 1024 * 1024;

std::runtime_error Failure(const QString& text) {
    return std::runtime_error(text.toStdString());
}

void WriteFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    WriteFileReplacing(path, data);
}

}  // namespace

QString VariantPicturePath(const QString& path, const QString& variant) {
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot <= slash) return path + u'.' + variant;
    return path.left(dot) + u'.' + variant + path.mid(dot);
}

QByteArray EncodePicture(const TBitmap24& picture, PictureFormat format, int quality) {
    quality = std::clamp(quality, 1, 100);
    if (format == PictureFormat::Webp) {
        uint8_t* out = nullptr;
        const size_t size = WebPEncodeBGR(picture.ScanLine(0), picture.Width(), picture.Height(),
                                          int(picture.BytesPerLine()), float(quality), &out);
        if (size == 0 || out == nullptr) {
            WebPFree(out);
            throw Failure(QStringLiteral("the WebP encoder refused a picture of %1 x %2 pixels")
                              .arg(picture.Width())
                              .arg(picture.Height()));
        }
        QByteArray data(reinterpret_cast<const char*>(out), qsizetype(size));
        WebPFree(out);
        return data;
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(picture.ToQImage()))
        throw Failure(QStringLiteral("the PNG encoder failed: %1").arg(writer.errorString()));
    return data;
}

QImage DecodeWebp(const QByteArray& data) {
    int width = 0, height = 0;
    if (!WebPGetInfo(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()), &width,
                     &height))
        return {};
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull()) return {};
    // BGRA in memory is ARGB32 on a little-endian machine.
    if (!WebPDecodeBGRAInto(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()),
                            image.bits(), size_t(image.sizeInBytes()), int(image.bytesPerLine())))
        return {};
    return image;
}

TBitmap24 ReducedPicture(const TBitmap24& picture, int width, ThumbnailFilter filter) {
    if (width >= picture.Width()) return picture;
    TBitmap24 thumbnail(width, std::max(1, MulDiv(width, picture.Height(), picture.Width())));
    if (filter == ThumbnailFilter::Smooth)
        ScaleImageSmooth(picture.ToQImage().convertToFormat(QImage::Format_RGB32), thumbnail);
    else
        ScaleBitmapBilinear(picture, thumbnail);
    return thumbnail;
}

WrittenPictures WritePictureFiles(const TBitmap24& capture, const QString& path, int width,
                                  const TCaptureOptions& options, ThumbnailFilter filter) {
    if (width < 1)
        throw std::invalid_argument("Cannot reduce \"" + path.toStdString() + "\" to a width of " +
                                    std::to_string(width) +
                                    " pixels: the thumbnail width must be at least 1");
    WrittenPictures written;
    const QString full = VariantPicturePath(path, QStringLiteral("full"));
    if (options.format == PictureFormat::Jpeg) {
        // The capture's JPEG is written once and each thumbnail reduced from a copy of it, as a run with that
        // width alone would reduce it.
        const QString first = options.keepCapture ? full : path;
        if (const QString why = WriteCaptureJpeg(capture, first); !why.isEmpty())
            throw Failure(QStringLiteral("Cannot write \"%1\": %2").arg(first, why));
        const QByteArray captured = options.keepCapture || !options.widths.isEmpty()
                                        ? ReadRegularFile(first, kMaxCaptureBytes)
                                        : QByteArray();
        auto reduce = [&](const QString& file, int w, bool copy) {
            if (copy) WriteFile(file, captured);
            const ShrinkResult r = ShrinkJpegToWidth(file, w, filter, options.quality);
            if (r.outcome == ShrinkResult::Outcome::NotRead)
                throw Failure(
                    QStringLiteral("Cannot read \"%1\": %2").arg(file, QString::fromStdString(r.reason)));
            return r;
        };
        const ShrinkResult main = reduce(path, width, options.keepCapture);
        written.files << path;
        written.width = main.width;
        written.height = main.height;
        written.blank = main.blank;
        for (int w : options.widths) {
            const QString file = VariantPicturePath(path, QString::number(w));
            reduce(file, w, true);
            written.files << file;
        }
        if (options.keepCapture) written.files << full;
    } else {
        const TBitmap24 thumbnail = ReducedPicture(capture, width, filter);
        WriteFile(path, EncodePicture(thumbnail, options.format, options.quality));
        written.files << path;
        written.width = thumbnail.Width();
        written.height = thumbnail.Height();
        written.blank = IsOneColour(thumbnail);
        for (int w : options.widths) {
            const QString file = VariantPicturePath(path, QString::number(w));
            WriteFile(file,
                      EncodePicture(ReducedPicture(capture, w, filter), options.format, options.quality));
            written.files << file;
        }
        if (options.keepCapture) {
            WriteFile(full, EncodePicture(capture, options.format, options.quality));
            written.files << full;
        }
    }
    written.bytes = QFileInfo(path).size();
    return written;
}
