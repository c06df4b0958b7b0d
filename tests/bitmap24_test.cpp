// TBitmap24: row layout, row access, resizing and conversion from and to QImage.
#include "bitmap24.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

TEST(Bitmap24, RowsArePaddedToFourBytesAndReachedByIndex) {
    struct Case {
        int width;
        std::ptrdiff_t stride;
    };
    for (const Case c :
         {Case{1, 4}, Case{2, 8}, Case{3, 12}, Case{4, 12}, Case{5, 16}, Case{320, 960}, Case{321, 964}}) {
        TBitmap24 bitmap(c.width, 3);
        EXPECT_EQ(bitmap.BytesPerLine(), c.stride) << "width " << c.width;
        EXPECT_EQ(bitmap.ScanLine(1) - bitmap.ScanLine(0), c.stride);
        EXPECT_EQ(bitmap.ScanLine(2) - bitmap.ScanLine(1), c.stride);
    }
}

TEST(Bitmap24, EmptyWhenEitherSideIsZero) {
    EXPECT_TRUE(TBitmap24().IsEmpty());
    EXPECT_TRUE(TBitmap24(0, 5).IsEmpty());
    EXPECT_TRUE(TBitmap24(5, 0).IsEmpty());
    EXPECT_FALSE(TBitmap24(1, 1).IsEmpty());
}

TEST(Bitmap24, RowIndexOutsideThePictureThrows) {
    TBitmap24 bitmap(4, 1);
    EXPECT_NO_THROW(bitmap.ScanLine(0));
    EXPECT_THROW(bitmap.ScanLine(1), std::out_of_range);
    EXPECT_THROW(bitmap.ScanLine(-1), std::out_of_range);
    EXPECT_THROW(TBitmap24().ScanLine(0), std::out_of_range);
}

TEST(Bitmap24, NegativeOrAbsurdSizesAreRefused) {
    EXPECT_THROW(TBitmap24(-1, 1), std::invalid_argument);
    TBitmap24 bitmap(2, 2);
    EXPECT_THROW(bitmap.SetHeight(-3), std::invalid_argument);
    EXPECT_THROW(bitmap.SetSize(100000, 100000), std::invalid_argument);
    EXPECT_EQ(bitmap.Width(), 2);  // unchanged after a refused resize
}

TEST(Bitmap24, ResizingKeepsTheTopLeftAndBlackensTheRest) {
    TBitmap24 bitmap(2, 2);
    bitmap.Fill(1, 2, 3);
    bitmap.SetWidth(3);
    bitmap.SetHeight(3);
    EXPECT_EQ(bitmap.ScanLine(1)[3], 1);
    EXPECT_EQ(bitmap.ScanLine(1)[5], 3);
    EXPECT_EQ(bitmap.ScanLine(1)[6], 0);  // new column
    EXPECT_EQ(bitmap.ScanLine(2)[0], 0);  // new row
}

TEST(Bitmap24, QImageConversionKeepsBlueGreenRedOrder) {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(qRgb(0, 0, 0));
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 255, 0));
    image.setPixel(2, 1, qRgba(0, 0, 255, 128));
    const TBitmap24 bitmap = TBitmap24::FromQImage(image);
    ASSERT_EQ(bitmap.Width(), 3);
    ASSERT_EQ(bitmap.Height(), 2);
    const uint8_t* top = bitmap.ScanLine(0);
    EXPECT_EQ(top[0], 0);  // red pixel: blue, green, red
    EXPECT_EQ(top[2], 255);
    EXPECT_EQ(top[4], 255);               // green pixel
    EXPECT_GT(bitmap.ScanLine(1)[6], 0);  // blue survives, alpha dropped

    const QImage back = bitmap.ToQImage();
    EXPECT_EQ(back.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(back.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(TBitmap24::FromQImage(back), bitmap);
}

TEST(Bitmap24, OpaqueRgb32PicturesConvertAsQtConvertsThem) {
    // Odd widths put padding at the row ends; the direct path for 32-bit opaque pictures must match Qt's.
    for (int width : {1, 2, 3, 5, 1023}) {
        QImage image(width, 3, QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, qRgb((x * 37 + y) & 255, (x * 11) & 255, (y * 91 + x) & 255));
        EXPECT_EQ(TBitmap24::FromQImage(image),
                  TBitmap24::FromQImage(image.convertToFormat(QImage::Format_BGR888)))
            << width;
    }
}

TEST(Bitmap24, NullImagesAndEmptyBitmapsConvertToEachOther) {
    EXPECT_TRUE(TBitmap24::FromQImage(QImage()).IsEmpty());
    EXPECT_TRUE(TBitmap24().ToQImage().isNull());
}

TEST(Bitmap24, PaletteImagesAreExpanded) {
    QImage indexed(2, 1, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
    indexed.setPixel(0, 0, 1);
    indexed.setPixel(1, 0, 0);
    const TBitmap24 bitmap = TBitmap24::FromQImage(indexed);
    const uint8_t* p = bitmap.ScanLine(0);
    EXPECT_EQ(p[0], 50);
    EXPECT_EQ(p[1], 100);
    EXPECT_EQ(p[2], 200);
    EXPECT_EQ(p[3], 30);
}

}  // namespace
