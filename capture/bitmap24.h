// TBitmap24: a 24-bit picture, 3 bytes per pixel (blue, green, red), rows padded to 4 bytes.
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>

// A 24-bit bitmap held in memory, rows top-down. Pixels are 3 bytes in the order blue, green, red; each row
// occupies a multiple of 4 bytes. Rows are reached by index through ScanLine; code that walks rows measures
// the distance from one row to the next (ScanLine(1) - ScanLine(0)) instead of assuming it. A bitmap with
// zero width or zero height is empty. Copies are deep.
class TBitmap24 {
  public:
    TBitmap24() = default;
    // A width x height bitmap, all black. Throws std::invalid_argument for a negative or too large size.
    TBitmap24(int width, int height);
    // A width x height bitmap whose pixels are left unset, for a decoder that writes every row at once.
    static TBitmap24 ForOverwrite(int width, int height);

    TBitmap24(const TBitmap24& other);
    TBitmap24& operator=(const TBitmap24& other);
    TBitmap24(TBitmap24&& other) noexcept;
    TBitmap24& operator=(TBitmap24&& other) noexcept;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool IsEmpty() const { return m_width == 0 || m_height == 0; }
    // Bytes from the start of one row to the start of the next: 3 x width rounded up to a multiple of 4.
    std::ptrdiff_t BytesPerLine() const { return m_stride; }

    // Resizing keeps the overlapping top-left part of the picture; new pixels are black.
    // Throws std::invalid_argument for a negative or too large size.
    void SetWidth(int width) { SetSize(width, m_height); }
    void SetHeight(int height) { SetSize(m_width, height); }
    void SetSize(int width, int height);

    // First byte of row `row` (0 = top). Throws std::out_of_range when row is not in 0 .. Height() - 1.
    uint8_t* ScanLine(int row);
    const uint8_t* ScanLine(int row) const;

    // Fills every pixel with one colour.
    void Fill(uint8_t blue, uint8_t green, uint8_t red);

    // The picture as a QImage (Format_BGR888, a deep copy); a null QImage when empty.
    QImage ToQImage() const;
    // Any QImage converted to 24 bits (alpha dropped, palettes expanded); empty for a null image.
    static TBitmap24 FromQImage(const QImage& image);

    bool operator==(const TBitmap24& other) const;

  private:
    void Allocate(int width, int height, bool keepAndClear);

    int m_width = 0;
    int m_height = 0;
    std::ptrdiff_t m_stride = 0;
    // Rows one after the other, followed by kSpareBytes, so a 4-byte load of the last pixel stays inside.
    std::unique_ptr<uint8_t[]> m_pixels;
    size_t m_bytes = 0;  // rows only, without the spare bytes
};
