// TBitmap24: storage, row access and conversion from and to QImage.
#include "bitmap24.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

std::ptrdiff_t StrideFor(int width) {
    return (static_cast<std::ptrdiff_t>(width) * 3 + 3) & ~std::ptrdiff_t(3);
}

void CheckSize(int width, int height) {
    if (width < 0 || height < 0)
        throw std::invalid_argument("Bitmap size " + std::to_string(width) + " x " + std::to_string(height) +
                                    " is negative");
    // 1 GiB is far beyond any capture; larger sizes are a caller's mistake, not a request to allocate.
    constexpr std::ptrdiff_t kMaxBytes = std::ptrdiff_t(1) << 30;
    if (width > 0 && height > 0 && StrideFor(width) > kMaxBytes / height)
        throw std::invalid_argument("Bitmap size " + std::to_string(width) + " x " + std::to_string(height) +
                                    " is too large");
}

}  // namespace

TBitmap24::TBitmap24(int width, int height) {
    SetSize(width, height);
}

TBitmap24 TBitmap24::ForOverwrite(int width, int height) {
    TBitmap24 bitmap;
    bitmap.Allocate(width, height, false);
    return bitmap;
}

TBitmap24::TBitmap24(const TBitmap24& other) {
    *this = other;
}

TBitmap24& TBitmap24::operator=(const TBitmap24& other) {
    if (this == &other) return *this;
    if (m_width != other.m_width || m_height != other.m_height)
        Allocate(other.m_width, other.m_height, false);
    if (m_bytes > 0) std::memcpy(m_pixels.get(), other.m_pixels.get(), m_bytes);
    return *this;
}

TBitmap24::TBitmap24(TBitmap24&& other) noexcept {
    *this = std::move(other);
}

TBitmap24& TBitmap24::operator=(TBitmap24&& other) noexcept {
    if (this == &other) return *this;
    m_pixels = std::move(other.m_pixels);
    m_width = std::exchange(other.m_width, 0);
    m_height = std::exchange(other.m_height, 0);
    m_stride = std::exchange(other.m_stride, 0);
    m_bytes = std::exchange(other.m_bytes, 0);
    return *this;
}

void TBitmap24::SetSize(int width, int height) {
    if (width == m_width && height == m_height) return;
    Allocate(width, height, true);
}

void TBitmap24::Allocate(int width, int height, bool keepAndClear) {
    CheckSize(width, height);
    constexpr size_t kSpareBytes = 4;
    const std::ptrdiff_t stride = StrideFor(width);
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
    auto pixels = std::make_unique_for_overwrite<uint8_t[]>(bytes + kSpareBytes);
    std::memset(pixels.get() + bytes, 0, kSpareBytes);
    if (keepAndClear) {
        std::memset(pixels.get(), 0, bytes);
        const int keepRows = std::min(height, m_height);
        const size_t keepBytes = static_cast<size_t>(std::min(width, m_width)) * 3;
        for (int y = 0; y < keepRows; ++y)
            std::memcpy(pixels.get() + y * stride, m_pixels.get() + y * m_stride, keepBytes);
    } else if (stride > std::ptrdiff_t(width) * 3) {
        // The pixels are left to the caller; the row padding is cleared so no byte is ever undefined.
        for (int y = 0; y < height; ++y)
            std::memset(pixels.get() + y * stride + width * 3, 0, stride - width * 3);
    }
    m_pixels = std::move(pixels);
    m_width = width;
    m_height = height;
    m_stride = stride;
    m_bytes = bytes;
}

uint8_t* TBitmap24::ScanLine(int row) {
    return const_cast<uint8_t*>(static_cast<const TBitmap24*>(this)->ScanLine(row));
}

const uint8_t* TBitmap24::ScanLine(int row) const {
    if (row < 0 || row >= m_height)
        throw std::out_of_range("Scan line index " + std::to_string(row) + " out of range (bitmap has " +
                                std::to_string(m_height) + " rows)");
    return m_pixels.get() + row * m_stride;
}

void TBitmap24::Fill(uint8_t blue, uint8_t green, uint8_t red) {
    for (int y = 0; y < m_height; ++y) {
        uint8_t* p = m_pixels.get() + y * m_stride;
        for (int x = 0; x < m_width; ++x, p += 3) p[0] = blue, p[1] = green, p[2] = red;
    }
}

QImage TBitmap24::ToQImage() const {
    if (IsEmpty()) return QImage();
    QImage image(m_width, m_height, QImage::Format_BGR888);
    if (image.isNull()) throw std::bad_alloc();
    const size_t rowBytes = static_cast<size_t>(m_width) * 3;
    for (int y = 0; y < m_height; ++y)
        std::memcpy(image.scanLine(y), m_pixels.get() + y * m_stride, rowBytes);
    return image;
}

TBitmap24 TBitmap24::FromQImage(const QImage& image) {
    TBitmap24 bitmap;
    if (image.isNull()) return bitmap;
    if (image.format() == QImage::Format_RGB32) {
        // What the PNG decoder gives for opaque pictures (every capture): pixels 0xffRRGGBB. Qt's general
        // conversion takes about three times as long as this loop.
        bitmap.Allocate(image.width(), image.height(), false);
        for (int y = 0; y < bitmap.m_height; ++y) {
            const uint32_t* src = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
            uint8_t* dst = bitmap.m_pixels.get() + y * bitmap.m_stride;
            for (int x = 0; x < bitmap.m_width; ++x, dst += 3) {
                const uint32_t p = src[x];
                dst[0] = static_cast<uint8_t>(p);
                dst[1] = static_cast<uint8_t>(p >> 8);
                dst[2] = static_cast<uint8_t>(p >> 16);
            }
        }
        return bitmap;
    }
    const QImage bgr =
        image.format() == QImage::Format_BGR888 ? image : image.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull()) throw std::bad_alloc();
    bitmap.Allocate(bgr.width(), bgr.height(), false);
    const size_t rowBytes = static_cast<size_t>(bitmap.m_width) * 3;
    for (int y = 0; y < bitmap.m_height; ++y)
        std::memcpy(bitmap.m_pixels.get() + y * bitmap.m_stride, bgr.constScanLine(y), rowBytes);
    return bitmap;
}

bool TBitmap24::operator==(const TBitmap24& other) const {
    if (m_width != other.m_width || m_height != other.m_height) return false;
    const size_t rowBytes = static_cast<size_t>(m_width) * 3;
    for (int y = 0; y < m_height; ++y)
        if (std::memcmp(m_pixels.get() + y * m_stride, other.m_pixels.get() + y * m_stride, rowBytes) != 0)
            return false;
    return true;
}
