// ReadPictureFile: readers by extension, the one size bound, and the pixel formats drawing wants.
#include "picture_loader.h"

#include "jpeg_image.h"
#include "picture_outputs.h"
#include "safe_files.h"

#include <QBuffer>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <stdexcept>

namespace {

std::runtime_error Failure(const QString& path, const QString& reason) {
    return std::runtime_error(
        QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason).toStdString());
}

// The biggest picture file the viewer reads.
constexpr qint64 kMaxPictureFileBytes = qint64(256) << 20;

QImage ReadWithQt(const QString& path, const char* format) {
    // Only a regular file is read, so that a FIFO or a device in the folder fails at once.
    QByteArray data;
    try {
        data = ReadRegularFile(path, kMaxPictureFileBytes);
    } catch (const std::exception& e) {
        throw Failure(path, QString::fromUtf8(e.what()));
    }
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);  // the extension decides, as for every other picture
    QImage image = reader.read();
    if (image.isNull()) throw Failure(path, reader.errorString());
    return image;
}

// The bound Qt's readers put on the pictures they decode, applied to JPEG files before decoding: a picture
// that would take more memory than that fails like an undecodable one instead of exhausting memory.
void CheckJpegSize(const QString& path, const TJpegImage& jpeg) {
    const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
    if (limit > 0 && qint64(jpeg.Width()) * jpeg.Height() * 4 > limit)
        throw Failure(
            path,
            QStringLiteral("%1 x %2 Pixel sind zu groß zum Anzeigen").arg(jpeg.Width()).arg(jpeg.Height()));
}

// Pixels of the bottom-left pixel's colour become fully transparent.
QImage WithTransparentColour(const QImage& image) {
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    if (argb.isNull()) return argb;
    const QRgb key = argb.pixel(0, argb.height() - 1) & RGB_MASK;
    for (int y = 0; y < argb.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if ((line[x] & RGB_MASK) == key) line[x] = 0;
    }
    return argb;
}

// Drawing is fastest from these two formats.
QImage ForDrawing(const QString& path, const QImage& image) {
    const QImage drawn = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                       : QImage::Format_RGB32);
    if (drawn.isNull() && !image.isNull())
        throw Failure(
            path,
            QStringLiteral("zu wenig Speicher für %1 x %2 Pixel").arg(image.width()).arg(image.height()));
    return drawn;
}

}  // namespace

QImage ReadPictureFile(const QString& path, PictureFormats formats, bool transparent) {
    const QString extension = QFileInfo(path).suffix();
    const QString ext = extension.toLower();
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg")) {
        TJpegImage jpeg;
        jpeg.LoadFromFile(path);
        if (jpeg.IsEmpty()) return QImage();
        CheckJpegSize(path, jpeg);
        return ForDrawing(path, jpeg.ToBitmap().ToQImage());  // a JPEG picture is always opaque
    }
    if (formats == PictureFormats::Gallery) {
        if (ext == QLatin1String("bmp")) {
            const QImage bitmap = ReadWithQt(path, "bmp");
            return ForDrawing(path, transparent ? WithTransparentColour(bitmap) : bitmap);
        }
        for (const char* format : {"ico", "png", "gif"})
            if (ext == QLatin1String(format)) return ForDrawing(path, ReadWithQt(path, format));
        if (ext == QLatin1String("webp")) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) throw Failure(path, file.errorString());
            const QImage picture = DecodeWebp(file.readAll());
            if (picture.isNull()) throw Failure(path, QStringLiteral("kein WebP-Bild"));
            return ForDrawing(path, picture);
        }
    }
    throw std::runtime_error(
        QStringLiteral("Unbekannte Bilddateierweiterung (.%1)").arg(extension).toStdString());
}
