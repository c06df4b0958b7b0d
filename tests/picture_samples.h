// Synthetic pictures for the picture tests: made in the test, so no binary files are needed.
#pragma once

#include "bitmap24.h"
#include "jpeg_image.h"

#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSize>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>

// A smooth picture with different values in each channel, so swapped channels or shifted rows show.
inline TBitmap24 GradientBitmap(int width, int height) {
    TBitmap24 bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = static_cast<uint8_t>(x * 255 / (width > 1 ? width - 1 : 1));    // blue
            p[1] = static_cast<uint8_t>(y * 255 / (height > 1 ? height - 1 : 1));  // green
            p[2] =
                static_cast<uint8_t>(((x + y) * 255) / (width + height > 2 ? width + height - 2 : 1));  // red
        }
    }
    return bitmap;
}

// Random-looking but repeatable pixels (a linear congruential sequence).
inline TBitmap24 NoiseBitmap(int width, int height, uint32_t seed = 12345) {
    TBitmap24 bitmap(width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = bitmap.ScanLine(y);
        for (int x = 0; x < width * 3; ++x) {
            seed = seed * 1664525u + 1013904223u;
            p[x] = static_cast<uint8_t>(seed >> 24);
        }
    }
    return bitmap;
}

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("test setup: cannot write " + path.toStdString());
}

// A 1 x 1 GIF (Qt reads GIF but does not write it).
inline const QByteArray kTinyGif = QByteArray::fromHex(
    "47494638396101000100800000ff000000000021f90400000000002c00000000010001000002024401003b");

// A quality-90 JPEG file of GradientBitmap's picture.
inline void WriteJpeg(const QString& path, int width, int height) {
    TJpegImage jpeg;
    jpeg.Assign(GradientBitmap(width, height));
    jpeg.SaveToFile(path);
}

// A file of one colour in one of Qt's writable formats ("PNG", "BMP", "ICO", ...).
inline void WriteSolid(const QString& path, int width, int height, QColor colour, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    if (!image.save(path, format)) throw std::runtime_error("test setup: cannot write " + path.toStdString());
}

// Size of the decoded picture; an invalid size when the file is missing or not an intact JPEG.
inline QSize DecodedSize(const QString& file) {
    try {
        TJpegImage jpeg;
        jpeg.LoadFromFile(file);
        const TBitmap24 bitmap = jpeg.ToBitmap();
        return {bitmap.Width(), bitmap.Height()};
    } catch (...) {
        return {};
    }
}

// Colour of the centre pixel of a decoded picture, to tell pages apart after JPEG loss.
inline QColor CentreColour(const QString& file) {
    TJpegImage jpeg;
    jpeg.LoadFromFile(file);
    const QImage image = jpeg.ToBitmap().ToQImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

// Largest difference of any byte of two pictures of the same size (-1 when the sizes differ).
inline int MaxDifference(const TBitmap24& a, const TBitmap24& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return -1;
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int i = 0; i < a.Width() * 3; ++i) {
            const int d = a.ScanLine(y)[i] - b.ScanLine(y)[i];
            worst = std::max(worst, d < 0 ? -d : d);
        }
    return worst;
}

// How far the first byte of the pixels of one row strays from mid-grey, 8 pixels away from the edges: small
// when fine black and white stripes were averaged, large when a reduction kept or skipped them.
inline int GreySpread(const TBitmap24& picture, int row) {
    int most = 0;
    for (int x = 8; x < picture.Width() - 8; ++x)
        most = std::max(most, std::abs(picture.ScanLine(row)[3 * x] - 128));
    return most;
}
