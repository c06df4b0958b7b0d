// TArgbBitmap: the preview's 32-bit picture (blue, green, red, alpha), drawn opaquely.
#pragma once

#include "picture_loader.h"

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>

// One 32-bit value per pixel, bytes blue, green, red, alpha; held as a QImage of Format_RGB32, so drawing
// copies the pixels and the alpha byte plays no part. Starts empty (0 x 0).
class TArgbBitmap {
  public:
    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }
    bool IsEmpty() const { return m_image.isNull() || Width() == 0 || Height() == 0; }
    // Null when empty.
    const QImage& Image() const { return m_image; }
    // The pixel as 0xAARRGGBB. x and y must lie inside the picture.
    uint32_t Pixel(int x, int y) const {
        return reinterpret_cast<const uint32_t*>(m_image.constScanLine(y))[x];
    }

    // Replaces size and content with the picture in the file, read by ReadPictureFile as a JPEG (extension
    // "jpg" or "jpeg", any case), alpha 255 everywhere. A 0-byte file gives an empty bitmap. Throws
    // std::runtime_error for an extension without a reader (before the file is opened), a file that cannot be
    // read, a picture that cannot be decoded or is too large; the bitmap then keeps its previous picture.
    // With PictureFormats::Gallery, the gallery's formats are read as well (a run writing PNG or WebP).
    void LoadPictureFile(const QString& fileName, PictureFormats formats = PictureFormats::Jpeg);

    // Called after each change of the content, with true when the size changed as well.
    std::function<void(bool sizeChanged)> OnChange;

  private:
    QImage m_image;
};
