// Reading picture files for the preview pane and the gallery: formats by extension, broken and empty files,
// the size bound, and the transparent colour of bitmaps.
#include "picture_loader.h"
#include "picture_samples.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <stdexcept>

namespace {

class PictureFileTest : public ::testing::Test {
  protected:
    QString In(const QString& name) const { return folder.filePath(name); }
    QTemporaryDir folder;
};

TEST_F(PictureFileTest, UnknownExtensionsFailWithTheirName) {
    struct Case {
        const char* file;
        PictureFormats formats;
        const char* message;
    };
    constexpr PictureFormats kGallery = PictureFormats::Gallery, kJpeg = PictureFormats::Jpeg;
    for (const Case c : {Case{"x.emf", kGallery, "Unbekannte Bilddateierweiterung (.emf)"},
                         Case{"x.wmf", kGallery, "Unbekannte Bilddateierweiterung (.wmf)"},
                         Case{"x.EMF", kGallery, "Unbekannte Bilddateierweiterung (.EMF)"},
                         Case{"x.tiff", kGallery, "Unbekannte Bilddateierweiterung (.tiff)"},
                         Case{"noextension", kGallery, "Unbekannte Bilddateierweiterung (.)"},
                         Case{"x.png", kJpeg, "Unbekannte Bilddateierweiterung (.png)"},
                         Case{"x.bmp", kJpeg, "Unbekannte Bilddateierweiterung (.bmp)"}}) {
        WriteBytes(In(c.file), "data");
        try {
            ReadPictureFile(In(c.file), c.formats, true);
            ADD_FAILURE() << c.file << " was read";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
}

TEST_F(PictureFileTest, EveryShownFormatReads) {
    WriteJpeg(In("a.JPG"), 320, 240);
    WriteJpeg(In("b.jpeg"), 40, 30);
    WriteSolid(In("c.png"), 12, 9, Qt::blue, "PNG");
    WriteBytes(In("d.gif"), kTinyGif);
    WriteSolid(In("e.bmp"), 7, 5, Qt::green, "BMP");
    WriteSolid(In("f.ico"), 16, 16, Qt::yellow, "ICO");
    EXPECT_EQ(ReadPictureFile(In("a.JPG"), PictureFormats::Gallery, true).size(), QSize(320, 240));
    EXPECT_EQ(ReadPictureFile(In("b.jpeg"), PictureFormats::Gallery, true).size(), QSize(40, 30));
    EXPECT_EQ(ReadPictureFile(In("c.png"), PictureFormats::Gallery, true).size(), QSize(12, 9));
    EXPECT_EQ(ReadPictureFile(In("d.gif"), PictureFormats::Gallery, true).size(), QSize(1, 1));
    EXPECT_EQ(ReadPictureFile(In("e.bmp"), PictureFormats::Gallery, false).size(), QSize(7, 5));
    EXPECT_EQ(ReadPictureFile(In("f.ico"), PictureFormats::Gallery, true).size(), QSize(16, 16));
}

TEST_F(PictureFileTest, JpegNeverGoesThroughAnotherDecoder) {
    // A PNG named .jpg: the JPEG object refuses it, although Qt could read it.
    WriteSolid(In("fake.jpg"), 8, 8, Qt::red, "PNG");
    EXPECT_THROW(ReadPictureFile(In("fake.jpg"), PictureFormats::Gallery, true), std::runtime_error);
    // And a JPEG named .png is not a PNG.
    WriteJpeg(In("fake.png"), 8, 8);
    EXPECT_THROW(ReadPictureFile(In("fake.png"), PictureFormats::Gallery, true), std::runtime_error);
}

TEST_F(PictureFileTest, BrokenAndEmptyJpegs) {
    WriteJpeg(In("whole.jpg"), 320, 240);
    const QByteArray whole = ReadBytes(In("whole.jpg"));
    WriteBytes(In("half.jpg"), whole.left(whole.size() / 2));
    EXPECT_THROW(ReadPictureFile(In("half.jpg"), PictureFormats::Gallery, true), std::runtime_error);
    WriteBytes(In("empty.jpg"), QByteArray());
    EXPECT_TRUE(ReadPictureFile(In("empty.jpg"), PictureFormats::Gallery, true)
                    .isNull());  // the codec's empty picture
}

TEST_F(PictureFileTest, HugeJpegFailsBeforeItIsDecoded) {
    WriteJpeg(In("small.jpg"), 16, 16);
    QByteArray bytes = ReadBytes(In("small.jpg"));
    const qsizetype sof = bytes.indexOf(QByteArray::fromHex("ffc0"));
    ASSERT_GT(sof, 0);
    // Frame header: marker, length (2), precision (1), height (2), width (2): claim 30000 x 30000.
    bytes[sof + 5] = char(0x75), bytes[sof + 6] = char(0x30);
    bytes[sof + 7] = char(0x75), bytes[sof + 8] = char(0x30);
    WriteBytes(In("huge.jpg"), bytes);
    for (const PictureFormats formats : {PictureFormats::Gallery, PictureFormats::Jpeg}) {
        try {
            ReadPictureFile(In("huge.jpg"), formats, true);
            ADD_FAILURE() << "a 30000 x 30000 picture was read";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("30000 x 30000"), std::string::npos) << error.what();
        }
    }
}

TEST_F(PictureFileTest, TransparentBitmapDropsTheColourOfItsBottomLeftPixel) {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setPixel(0, 2, qRgb(255, 0, 0));  // bottom-left
    image.setPixel(3, 0, qRgb(255, 0, 0));
    ASSERT_TRUE(image.save(In("t.bmp"), "BMP"));
    const QImage transparent = ReadPictureFile(In("t.bmp"), PictureFormats::Gallery, true);
    EXPECT_EQ(qAlpha(transparent.pixel(0, 2)), 0);
    EXPECT_EQ(qAlpha(transparent.pixel(3, 0)), 0);
    EXPECT_EQ(transparent.pixel(1, 1), qRgb(255, 255, 255));
    const QImage opaque = ReadPictureFile(In("t.bmp"), PictureFormats::Gallery, false);
    EXPECT_EQ(opaque.pixel(0, 2), qRgb(255, 0, 0));
}

}  // namespace
