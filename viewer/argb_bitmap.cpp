// TArgbBitmap: loading a picture file into the preview's 32-bit bitmap.
#include "argb_bitmap.h"

#include "picture_loader.h"

void TArgbBitmap::LoadPictureFile(const QString& fileName, PictureFormats formats) {
    // Read in full before anything is replaced, so damaged data leaves the previous picture in place.
    const QImage image = ReadPictureFile(fileName, formats);
    const bool sizeChanged = image.size() != m_image.size() && !(IsEmpty() && image.isNull());
    m_image = image;
    if (OnChange) OnChange(sizeChanged);
}
