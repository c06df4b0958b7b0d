// The preview pane: placement arithmetic, buffer sizing, loading, failure behaviour and the painted pixels.
#include "preview_image.h"
#include "jpeg_image.h"
#include "picture_samples.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QTemporaryDir>

namespace {

struct PlacementCase {
    int w, h, x, y;
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, CentredWithTruncatingDivision) {
    const PlacementCase c = GetParam();
    EXPECT_EQ(CenteredBitmapRect(QSize(321, 241), QSize(c.w, c.h)), QRect(c.x, c.y, c.w, c.h))
        << c.w << " x " << c.h;
}

INSTANTIATE_TEST_SUITE_P(Thumbnails, Placement,
                         ::testing::Values(PlacementCase{320, 240, 0, 0},   // 1024 x 768 and 800 x 600 at 320
                                           PlacementCase{320, 248, 0, -3},  // 1280 x 990 at 320
                                           PlacementCase{200, 160, 60, 40},  //
                                           PlacementCase{321, 241, 0, 0},    // fills the control
                                           PlacementCase{322, 241, 0, 0},    // -1 / 2 truncates to 0
                                           PlacementCase{324, 244, -1, -1},  // -3 / 2 is -1
                                           PlacementCase{640, 512, -159, -135}, PlacementCase{1, 1, 160, 120},
                                           PlacementCase{1024, 768, -351, -263}));

TEST(Placement, EmptyBitmapOrControlGivesAnEmptyRect) {
    EXPECT_TRUE(CenteredBitmapRect(QSize(321, 241), QSize(0, 0)).isEmpty());
    EXPECT_TRUE(CenteredBitmapRect(QSize(321, 241), QSize(10, 0)).isEmpty());
    EXPECT_TRUE(CenteredBitmapRect(QSize(0, 241), QSize(10, 10)).isEmpty());
}

TEST(BufferSize, GrowsWithSlackAndShrinksOnlyFarBelow) {
    struct Case {
        QSize current, needed, expected;
    };
    for (const Case c :
         {Case{QSize(0, 0), QSize(321, 241), QSize(361, 281)},
          Case{QSize(361, 281), QSize(321, 241), QSize(361, 281)},
          Case{QSize(361, 281), QSize(362, 241), QSize(402, 281)},
          Case{QSize(361, 281), QSize(330, 260), QSize(361, 281)},
          Case{QSize(361, 281), QSize(321, 240), QSize(321, 240)},  // 41 rows below
          Case{QSize(361, 281), QSize(320, 241), QSize(320, 241)},
          Case{QSize(361, 281), QSize(0, 0), QSize(1, 1)}, Case{QSize(0, 0), QSize(0, 0), QSize(1, 1)}}) {
        EXPECT_EQ(NextBufferSize(c.current, c.needed), c.expected)
            << c.current.width() << "x" << c.current.height() << " for " << c.needed.width() << "x"
            << c.needed.height();
    }
}

class PreviewPane : public ::testing::Test {
  protected:
    QString WriteJpeg(const QString& name, const TBitmap24& bitmap) {
        const QString path = m_dir.filePath(name);
        TJpegImage jpeg;
        jpeg.CompressionQuality = 100;
        jpeg.Assign(bitmap);
        jpeg.SaveToFile(path);
        return path;
    }
    static TBitmap24 Uniform(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
        TBitmap24 bitmap(w, h);
        bitmap.Fill(b, g, r);
        return bitmap;
    }
    static bool AllBlack(const QImage& image) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != 0xFF000000u) return false;
        return true;
    }

    QTemporaryDir m_dir;
    TPreviewImage m_preview;
};

TEST_F(PreviewPane, StartsEmptyAndBlackAtItsSize) {
    EXPECT_EQ(m_preview.size(), QSize(321, 241));
    EXPECT_TRUE(m_preview.Bitmap().IsEmpty());
    EXPECT_TRUE(m_preview.testAttribute(Qt::WA_OpaquePaintEvent));
    const QImage shown = m_preview.RenderedImage();
    EXPECT_EQ(shown.size(), QSize(321, 241));
    EXPECT_TRUE(AllBlack(shown));
    EXPECT_TRUE(AllBlack(m_preview.grab().toImage().convertToFormat(QImage::Format_RGB32)));
}

TEST_F(PreviewPane, SmallPictureSitsCentredWithBlackBands) {
    m_preview.LoadPictureFile(WriteJpeg(QStringLiteral("t.jpg"), Uniform(200, 160, 40, 120, 200)));
    EXPECT_EQ(m_preview.BitmapRect(), QRect(60, 40, 200, 160));
    const QImage shown = m_preview.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(321, 241));
    const QRgb inside = m_preview.Bitmap().Pixel(0, 0);
    EXPECT_EQ(qAlpha(inside), 255);
    EXPECT_NEAR(qRed(inside), 200, 2);
    EXPECT_NEAR(qBlue(inside), 40, 2);
    EXPECT_EQ(shown.pixel(60, 40), inside);
    EXPECT_EQ(shown.pixel(259, 199), m_preview.Bitmap().Pixel(199, 159));
    for (const QPoint black : {QPoint(59, 100), QPoint(260, 100), QPoint(320, 100), QPoint(100, 39),
                               QPoint(100, 200), QPoint(100, 240), QPoint(0, 0)})
        EXPECT_EQ(shown.pixel(black), 0xFF000000u) << black.x() << "," << black.y();
}

TEST_F(PreviewPane, LargePictureIsCutOnBothSides) {
    const QString path = WriteJpeg(QStringLiteral("gross.jpg"), NoiseBitmap(640, 512));
    m_preview.LoadPictureFile(path);
    EXPECT_EQ(m_preview.BitmapRect(), QRect(-159, -135, 640, 512));
    const QImage shown = m_preview.RenderedImage();
    const TArgbBitmap& bitmap = m_preview.Bitmap();
    for (int y = 0; y < 241; y += 7)
        for (int x = 0; x < 321; x += 5)
            ASSERT_EQ(shown.pixel(x, y), bitmap.Pixel(x + 159, y + 135)) << x << "," << y;
    EXPECT_EQ(shown.pixel(320, 240), bitmap.Pixel(479, 375));
}

TEST_F(PreviewPane, TallThumbnailLosesThreeRowsAtTheTopAndFourAtTheBottom) {
    m_preview.LoadPictureFile(WriteJpeg(QStringLiteral("t.jpg"), NoiseBitmap(320, 248)));
    EXPECT_EQ(m_preview.BitmapRect(), QRect(0, -3, 320, 248));
    const QImage shown = m_preview.RenderedImage();
    EXPECT_EQ(shown.pixel(0, 0), m_preview.Bitmap().Pixel(0, 3));
    EXPECT_EQ(shown.pixel(319, 240), m_preview.Bitmap().Pixel(319, 243));
    for (int y = 0; y < 241; ++y) ASSERT_EQ(shown.pixel(320, y), 0xFF000000u);
}

TEST_F(PreviewPane, EveryPixelIsOpaque) {
    m_preview.LoadPictureFile(WriteJpeg(QStringLiteral("t.jpg"), NoiseBitmap(50, 40)));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_EQ(qAlpha(m_preview.Bitmap().Pixel(x, y)), 255);
}

TEST_F(PreviewPane, EmptyFileEmptiesThePreviewWithoutError) {
    m_preview.LoadPictureFile(WriteJpeg(QStringLiteral("t.jpg"), Uniform(100, 100, 255, 255, 255)));
    const QString empty = m_dir.filePath(QStringLiteral("leer.jpg"));
    WriteBytes(empty, QByteArray());
    EXPECT_NO_THROW(m_preview.LoadPictureFile(empty));
    EXPECT_TRUE(m_preview.Bitmap().IsEmpty());
    EXPECT_TRUE(m_preview.BitmapRect().isEmpty());
    EXPECT_TRUE(AllBlack(m_preview.RenderedImage()));
}

// Each failed load raises and leaves the previous picture on screen.
TEST_F(PreviewPane, FailedLoadsKeepThePreviousPicture) {
    const QString good = WriteJpeg(QStringLiteral("gut.jpg"), NoiseBitmap(200, 160));
    m_preview.LoadPictureFile(good);
    const QImage before = m_preview.RenderedImage();

    const QByteArray data = ReadBytes(good);
    WriteBytes(m_dir.filePath(QStringLiteral("halb.jpg")), data.left(data.size() / 2));
    WriteBytes(m_dir.filePath(QStringLiteral("text.jpg")), QByteArray("kein Bild"));
    QImage png(30, 30, QImage::Format_RGB32);
    png.fill(Qt::green);
    ASSERT_TRUE(png.save(m_dir.filePath(QStringLiteral("png.jpg")), "PNG"));
    WriteJpeg(QStringLiteral("echt.png"), NoiseBitmap(10, 10));

    for (const char* name : {"fehlt.jpg", "halb.jpg", "text.jpg", "png.jpg", "echt.png", "ohne"}) {
        EXPECT_THROW(m_preview.LoadPictureFile(m_dir.filePath(QString::fromUtf8(name))), std::runtime_error)
            << name;
        EXPECT_EQ(m_preview.Bitmap().Width(), 200) << name;
        EXPECT_EQ(m_preview.BitmapRect(), QRect(60, 40, 200, 160)) << name;
        EXPECT_EQ(m_preview.RenderedImage(), before) << name;
    }
}

TEST_F(PreviewPane, UnknownExtensionFailsBeforeTheFileIsOpened) {
    try {
        m_preview.LoadPictureFile(m_dir.filePath(QStringLiteral("fehlt.bmp")));
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(".bmp"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }
}

TEST_F(PreviewPane, ExtensionIsComparedWithoutCase) {
    const QString upper = m_dir.filePath(QStringLiteral("BILD.JPEG"));
    TJpegImage jpeg;
    jpeg.Assign(NoiseBitmap(20, 10));
    jpeg.SaveToFile(upper);
    EXPECT_NO_THROW(m_preview.LoadPictureFile(upper));
    EXPECT_EQ(m_preview.Bitmap().Width(), 20);
}

TEST_F(PreviewPane, NewPictureReplacesTheOldOneCompletely) {
    m_preview.LoadPictureFile(WriteJpeg(QStringLiteral("a.jpg"), Uniform(321, 241, 255, 255, 255)));
    m_preview.LoadPictureFile(WriteJpeg(QStringLiteral("b.jpg"), Uniform(101, 51, 0, 0, 255)));
    EXPECT_EQ(m_preview.BitmapRect(), QRect(110, 95, 101, 51));
    const QImage shown = m_preview.RenderedImage();
    EXPECT_EQ(shown.pixel(0, 0), 0xFF000000u);  // no white left over from the first picture
    EXPECT_EQ(shown.pixel(211, 146), 0xFF000000u);
    EXPECT_EQ(shown.pixel(210, 145), m_preview.Bitmap().Pixel(100, 50));
}

TEST_F(PreviewPane, ResizedControlPlacesThePictureAgain) {
    m_preview.LoadPictureFile(WriteJpeg(QStringLiteral("a.jpg"), Uniform(100, 100, 9, 9, 9)));
    m_preview.resize(500, 400);
    EXPECT_EQ(m_preview.BitmapRect(), QRect(200, 150, 100, 100));
    EXPECT_EQ(m_preview.RenderedImage().size(), QSize(500, 400));
    EXPECT_GE(m_preview.Buffer().width(), 500);
}

}  // namespace
