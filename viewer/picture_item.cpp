// A grid item that shows one picture file.
#include "picture_item.h"

#include "images_viewer.h"
#include "jpeg_image.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <stdexcept>

namespace {

QImage ReadWithQt(const QString& path, const char* format) {
    QImageReader reader(path, format);
    reader.setDecideFormatFromContent(false);  // the extension decides, as for every other picture
    QImage image = reader.read();
    if (image.isNull())
        throw std::runtime_error(
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reader.errorString()).toStdString());
    return image;
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
QImage ForDrawing(const QImage& image) {
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

}  // namespace

TPictureItem::TPictureItem(TImagesViewer* owner) : TViewerItem(owner), m_viewer(owner) {}

void TPictureItem::SetFileName(const QString& fileName) {
    // File names differ by case on this system, so the comparison counts case.
    if (fileName == m_fileName) return;
    m_fileName = fileName;
    m_picture.reset();
}

QString TPictureItem::DisplayCaption() const {
    if (!m_caption.isEmpty()) return m_caption;
    return m_fileName.mid(m_fileName.lastIndexOf(QLatin1Char('/')) + 1);
}

const QImage* TPictureItem::Picture() {
    if (m_picture) return &*m_picture;
    m_picture.emplace();
    const QString path = TImagesViewer::AbsolutePath(m_fileName);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) return &*m_picture;
    try {
        const bool transparent = m_viewer && m_viewer->Options().transparent;
        *m_picture = LoadPictureFile(path, transparent);
    } catch (const std::exception& error) {
        *m_picture = QImage();
        if (m_viewer) m_viewer->PictureLoadFailed(this, QString::fromUtf8(error.what()));
        RequestRemoval();
    }
    return &*m_picture;
}

void TPictureItem::GiveUpPicture() {
    if (!m_picture || m_fileName.isEmpty()) return;
    m_picture.reset();
    Changed();
}

QImage TPictureItem::LoadPictureFile(const QString& path, bool transparent) {
    const QString extension = QFileInfo(path).suffix();
    const QString ext = extension.toLower();
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg")) {
        TJpegImage jpeg;
        jpeg.LoadFromFile(path);
        if (jpeg.IsEmpty()) return QImage();
        // The same bound as Qt's readers put on the other formats: a picture that would take more memory
        // than that fails like an undecodable one instead of exhausting memory.
        const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
        if (limit > 0 && qint64(jpeg.Width()) * jpeg.Height() * 4 > limit)
            throw std::runtime_error(QStringLiteral("%1: %2 x %3 pixels is more than the gallery reads")
                                         .arg(QDir::toNativeSeparators(path))
                                         .arg(jpeg.Width())
                                         .arg(jpeg.Height())
                                         .toStdString());
        return ForDrawing(jpeg.ToBitmap().ToQImage());  // a JPEG picture is always opaque
    }
    if (ext == QLatin1String("bmp")) {
        const QImage bitmap = ReadWithQt(path, "bmp");
        return ForDrawing(transparent ? WithTransparentColour(bitmap) : bitmap);
    }
    if (ext == QLatin1String("ico")) return ForDrawing(ReadWithQt(path, "ico"));
    if (ext == QLatin1String("png")) return ForDrawing(ReadWithQt(path, "png"));
    if (ext == QLatin1String("gif")) return ForDrawing(ReadWithQt(path, "gif"));
    throw std::runtime_error(
        QStringLiteral("Unbekannte Bilddateierweiterung (.%1)").arg(extension).toStdString());
}
