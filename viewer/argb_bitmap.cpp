// TArgbBitmap: loading a picture file into the preview's 32-bit bitmap.
#include "argb_bitmap.h"

#include "jpeg_image.h"

#include <QFileInfo>
#include <stdexcept>

void TArgbBitmap::LoadPictureFile(const QString& fileName) {
    const QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension != u"jpg" && extension != u"jpeg")
        throw std::runtime_error("Cannot show \"" + fileName.toStdString() +
                                 "\": no reader for the extension \"." +
                                 QFileInfo(fileName).suffix().toStdString() + "\"");
    TJpegImage jpeg;
    jpeg.LoadFromFile(fileName);
    // Decoded in full before anything is replaced, so damaged data leaves the previous picture in place.
    const TBitmap24 picture = jpeg.ToBitmap();

    QImage image;
    if (!picture.IsEmpty()) {
        image = QImage(picture.Width(), picture.Height(), QImage::Format_RGB32);
        if (image.isNull()) throw std::bad_alloc();
        for (int y = 0; y < picture.Height(); ++y) {
            const uint8_t* in = picture.ScanLine(y);
            auto* out = reinterpret_cast<uint32_t*>(image.scanLine(y));
            for (int x = 0; x < picture.Width(); ++x, in += 3)
                out[x] = 0xFF000000u | uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0];
        }
    }
    const bool sizeChanged = image.size() != m_image.size() && !(IsEmpty() && image.isNull());
    m_image = image;
    if (OnChange) OnChange(sizeChanged);
}
