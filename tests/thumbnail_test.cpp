// The reduction: the file steps of ShrinkJpegToWidth (decode, ".$$$" rename, encode) including their failure
// paths.
#include "thumbnail.h"
#include "jpeg_image.h"
#include "picture_samples.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <cstring>

namespace {

TEST(FileNames, FolderFileAndTemporaryName) {
    struct Case {
        const char *full, *folder, *file, *temporary;
    };
    for (const Case c : {
             Case{"/out/news.home.jpg", "/out/", "news.home.jpg", "/out/news.home.$$$"},
             Case{"/out/bild", "/out/", "bild", "/out/bild.$$$"},
             Case{"/out.d/bild", "/out.d/", "bild", "/out.d/bild.$$$"},
             Case{"bild.jpg", "", "bild.jpg", "bild.$$$"},
             Case{"/out/", "/out/", "", "/out/.$$$"},
             Case{"/a/b/c.JPEG", "/a/b/", "c.JPEG", "/a/b/c.$$$"},
         }) {
        EXPECT_EQ(FolderOf(QString::fromUtf8(c.full)), QString::fromUtf8(c.folder)) << c.full;
        EXPECT_EQ(FileNameOf(QString::fromUtf8(c.full)), QString::fromUtf8(c.file)) << c.full;
        EXPECT_EQ(TemporaryNameFor(QString::fromUtf8(c.full)), QString::fromUtf8(c.temporary)) << c.full;
    }
}

// "Almost one colour": JPEG noise up to kOneColourNoise steps in any channel, and one stray pixel in 10 000.
TEST(OneColour, NoiseAndStrayPixelEdges) {
    struct Case {
        int width, height, strays, step;  // strays pixels at the end moved by step in one channel
        bool oneColour;
    };
    for (const Case c : {
             Case{99, 101, 3, kOneColourNoise, true},
             Case{99, 101, 1, kOneColourNoise + 1, false},
             Case{99, 101, 3, -kOneColourNoise, true},
             Case{99, 101, 1, -kOneColourNoise - 1, false},
             Case{200, 100, 2, 100, true},
             Case{200, 100, 3, 100, false},
             Case{1024, 768, 78, 100, true},
             Case{1024, 768, 79, 100, false},
             Case{99, 101, 0, 100, true},
             Case{99, 101, 1, 100, false},
             Case{1, 1, 0, 0, true},
             Case{0, 0, 0, 0, true},
         }) {
        TBitmap24 picture(c.width, c.height);
        picture.Fill(100, 150, 200);
        for (int i = 0; i < c.strays; ++i) {
            const int at = c.width * c.height - 1 - i;
            picture.ScanLine(at / c.width)[3 * (at % c.width) + i % 3] += c.step;
        }
        EXPECT_EQ(IsOneColour(picture), c.oneColour) << c.width << "x" << c.height << " " << c.strays;
    }
}

class ShrinkFiles : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return m_dir.path() + u'/' + name; }

    // Writes a quality-90 capture of the given size and returns its bytes.
    QByteArray WriteCapture(const QString& path, int w, int h) {
        TJpegImage jpeg;
        jpeg.Assign(NoiseBitmap(w, h, static_cast<uint32_t>(w + h)));
        jpeg.SaveToFile(path);
        return ReadBytes(path);
    }

    static TBitmap24 DecodeFile(const QString& path) {
        TJpegImage jpeg;
        jpeg.LoadFromFile(path);
        return jpeg.ToBitmap();
    }

    QStringList Files() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QTemporaryDir m_dir;
};

TEST_F(ShrinkFiles, ReducedFileIsOurResamplerEncodedAtQuality75) {
    const QString path = Path(QStringLiteral("news.home.jpg"));
    WriteCapture(path, 1280, 990);
    const TBitmap24 capture = DecodeFile(path);

    const ShrinkResult result = ShrinkJpegToWidth(path, 320);
    EXPECT_EQ(result.outcome, ShrinkResult::Outcome::Reduced);
    EXPECT_EQ(result.width, 320);
    EXPECT_EQ(result.height, 248);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("news.home.jpg")});

    TBitmap24 expected(320, 248);
    ScaleBitmapBilinear(capture, expected);
    TJpegImage jpeg;
    jpeg.CompressionQuality = 75;
    jpeg.Assign(expected);
    EXPECT_EQ(ReadBytes(path), jpeg.SaveToData());
    const TBitmap24 thumbnail = DecodeFile(path);
    EXPECT_EQ(thumbnail.Width(), 320);
    EXPECT_EQ(thumbnail.Height(), 248);
}

TEST_F(ShrinkFiles, HeightsFollowMulDivWithEitherFilter) {
    struct Case {
        int W, H, width, h;
    };
    for (const ThumbnailFilter filter : {ThumbnailFilter::Exact, ThumbnailFilter::Smooth})
        for (const Case c : {Case{1280, 990, 320, 248}, Case{800, 600, 10, 8}, Case{1024, 768, 200, 150},
                             Case{1024, 768, 320, 240}, Case{2000, 3, 100, 1}, Case{1000, 1, 10, 1}}) {
            const QString path = Path(QStringLiteral("h.jpg"));
            WriteCapture(path, c.W, c.H);
            const ShrinkResult result = ShrinkJpegToWidth(path, c.width, filter);
            EXPECT_EQ(result.outcome, ShrinkResult::Outcome::Reduced) << c.W << " x " << c.H;
            const TBitmap24 thumbnail = DecodeFile(path);
            EXPECT_EQ(thumbnail.Width(), c.width);
            EXPECT_EQ(thumbnail.Height(), c.h) << c.W << " x " << c.H << " at " << c.width;
        }
}

// One-pixel stripes reduced to 320: the exact resampler reads two of every 2.5 or 3.2 columns and keeps
// stripes of black and white; the smooth filter averages them into greys, as a reduction that keeps text
// legible must (from 800 by the filter alone, from 1024 with the decoder's scaled transform before it).
TEST_F(ShrinkFiles, SmoothFilterAveragesWhatTheExactOneSkips) {
    for (const int W : {800, 1024}) {
        TBitmap24 stripes(W, 600);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < W; ++x) std::memset(stripes.ScanLine(y) + 3 * x, x % 2 ? 255 : 0, 3);
        int spread[2] = {};
        for (const ThumbnailFilter filter : {ThumbnailFilter::Exact, ThumbnailFilter::Smooth}) {
            const QString path = Path(QStringLiteral("streifen.jpg"));
            TJpegImage jpeg;
            jpeg.CompressionQuality = 100;
            jpeg.Assign(stripes);
            jpeg.SaveToFile(path);
            ShrinkJpegToWidth(path, 320, filter);
            EXPECT_EQ(Files(), QStringList{QStringLiteral("streifen.jpg")});  // the same file steps
            spread[int(filter)] = GreySpread(DecodeFile(path), 100);
        }
        EXPECT_GT(spread[int(ThumbnailFilter::Exact)], 64) << W;
        EXPECT_LT(spread[int(ThumbnailFilter::Smooth)], 40) << W;
    }
}

TEST_F(ShrinkFiles, NotWiderLeavesTheFileByteForByte) {
    const QString path = Path(QStringLiteral("klein.jpg"));
    const QByteArray before = WriteCapture(path, 320, 240);
    for (int width : {320, 321, 5000}) {
        const ShrinkResult result = ShrinkJpegToWidth(path, width);
        EXPECT_EQ(result.outcome, ShrinkResult::Outcome::NotWider);
        EXPECT_EQ(ReadBytes(path), before);
    }
    EXPECT_EQ(Files(), QStringList{QStringLiteral("klein.jpg")});
}

TEST_F(ShrinkFiles, UnreadableFilesAreLeftAloneSilently) {
    const QString broken = Path(QStringLiteral("kaputt.jpg"));
    const QByteArray half = WriteCapture(broken, 400, 300).left(3000);
    WriteBytes(broken, half);
    const QString empty = Path(QStringLiteral("leer.jpg"));
    WriteBytes(empty, QByteArray());
    for (const QString& path : {broken, Path(QStringLiteral("fehlt.jpg")), m_dir.path() + u'/'}) {
        const ShrinkResult result = ShrinkJpegToWidth(path, 100);
        EXPECT_EQ(result.outcome, ShrinkResult::Outcome::NotRead) << path.toStdString();
        EXPECT_NE(result.reason.find(path.toStdString()), std::string::npos) << result.reason;
    }
    EXPECT_EQ(ShrinkJpegToWidth(empty, 100).outcome, ShrinkResult::Outcome::NotWider);  // a 0 x 0 picture
    EXPECT_EQ(ReadBytes(broken), half);
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("kaputt.jpg"), QStringLiteral("leer.jpg")}));
}

TEST_F(ShrinkFiles, WidthBelowOneFailsClearlyAndTouchesNothing) {
    const QString path = Path(QStringLiteral("b.jpg"));
    const QByteArray before = WriteCapture(path, 64, 48);
    for (int width : {0, -5}) {
        try {
            ShrinkJpegToWidth(path, width);
            ADD_FAILURE() << "width " << width << " accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find("at least 1"), std::string::npos) << e.what();
        }
        EXPECT_EQ(ReadBytes(path), before);
    }
    EXPECT_EQ(ShrinkJpegToWidth(Path(QStringLiteral("fehlt.jpg")), 0).outcome,
              ShrinkResult::Outcome::NotRead);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("b.jpg")});
}

// While the thumbnail is written, the capture waits under the temporary name and the picture name is free.
TEST_F(ShrinkFiles, CaptureWaitsUnderTheTemporaryNameWhileWriting) {
    const QString path = Path(QStringLiteral("news.home.jpg"));
    const QByteArray capture = WriteCapture(path, 640, 480);
    bool called = false;
    const ShrinkResult result = ShrinkJpegToWidthWith(
        path, 320, [&](const TBitmap24& bitmap, const QString& folder, const QString& name, int quality) {
            called = true;
            EXPECT_EQ(folder, m_dir.path() + u'/');
            EXPECT_EQ(name, QStringLiteral("news.home.jpg"));
            EXPECT_EQ(quality, 75);
            EXPECT_FALSE(QFileInfo::exists(path));
            EXPECT_EQ(ReadBytes(Path(QStringLiteral("news.home.$$$"))), capture);
            return SaveJpegBitmap(bitmap, folder, name, quality);
        });
    EXPECT_TRUE(called);
    EXPECT_EQ(result.outcome, ShrinkResult::Outcome::Reduced);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("news.home.jpg")});
}

TEST_F(ShrinkFiles, TakenTemporaryNameIsOverwrittenDirectlyAndLeftAsItWas) {
    const QString path = Path(QStringLiteral("seite.jpg"));
    WriteCapture(path, 640, 480);
    WriteBytes(Path(QStringLiteral("seite.$$$")), QByteArray("stale"));
    bool sawStale = false;
    const ShrinkResult result = ShrinkJpegToWidthWith(
        path, 320, [&](const TBitmap24& bitmap, const QString& folder, const QString& name, int quality) {
            sawStale = ReadBytes(Path(QStringLiteral("seite.$$$"))) == "stale" && QFileInfo::exists(path);
            return SaveJpegBitmap(bitmap, folder, name, quality);
        });
    EXPECT_TRUE(sawStale) << "the rename must not replace the file of the temporary name";
    EXPECT_EQ(result.outcome, ShrinkResult::Outcome::Reduced);
    // The file of the temporary name was not made by the reduction: it stays.
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("seite.$$$"), QStringLiteral("seite.jpg")}));
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("seite.$$$"))), "stale");
    EXPECT_EQ(DecodeFile(path).Width(), 320);
}

TEST_F(ShrinkFiles, FolderThatCannotBeMadeGivesTheCaptureItsNameBack) {
    const QString path = Path(QStringLiteral("c.jpg"));
    const QByteArray capture = WriteCapture(path, 640, 480);
    const ShrinkResult result = ShrinkJpegToWidthWith(
        path, 320, [](const TBitmap24&, const QString&, const QString&, int) { return false; });
    EXPECT_EQ(result.outcome, ShrinkResult::Outcome::FolderNotMade);
    EXPECT_EQ(ReadBytes(path), capture);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("c.jpg")});
}

TEST_F(ShrinkFiles, FailedWriteRemovesThePartialFileAndRestoresTheCapture) {
    const QString path = Path(QStringLiteral("d.jpg"));
    const QByteArray capture = WriteCapture(path, 640, 480);
    try {
        ShrinkJpegToWidthWith(path, 320, [&](const TBitmap24&, const QString&, const QString&, int) -> bool {
            WriteBytes(path, QByteArray("partial"));
            throw std::runtime_error("Cannot write \"d.jpg\": No space left on device");
        });
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadBytes(path), capture);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("d.jpg")});
}

// The real writer, stopped by a file size limit in a child process (works as root too, unlike read-only
// folders). Returns the child's exit status: 0 when ShrinkJpegToWidth threw a runtime_error.
int ShrinkWithFileSizeLimit(const QString& path, int width, rlim_t limit) {
    return InChildWithFileSizeLimit(limit, [&] {
        try {
            ShrinkJpegToWidth(path, width);
        } catch (const std::runtime_error&) {
            return 0;
        }
        return 1;
    });
}

TEST_F(ShrinkFiles, RealWriteFailureKeepsTheCaptureUnderItsName) {
    const QString path = Path(QStringLiteral("voll.jpg"));
    const QByteArray capture = WriteCapture(path, 1024, 768);
    ASSERT_GT(capture.size(), 8192);
    EXPECT_EQ(ShrinkWithFileSizeLimit(path, 320, 4096), 0);
    EXPECT_EQ(ReadBytes(path), capture);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("voll.jpg")});
}

TEST_F(ShrinkFiles, RealWriteFailureWithTakenTemporaryNameLeavesNoPartialFile) {
    const QString path = Path(QStringLiteral("voll.jpg"));
    const QByteArray capture = WriteCapture(path, 1024, 768);
    WriteBytes(Path(QStringLiteral("voll.$$$")), QByteArray("stale"));
    EXPECT_EQ(ShrinkWithFileSizeLimit(path, 320, 4096), 0);
    // The thumbnail goes to a fresh file first, so the capture under its name is never cut short.
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("voll.$$$"), QStringLiteral("voll.jpg")}));
    EXPECT_EQ(ReadBytes(path), capture);
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("voll.$$$"))), "stale");
}

TEST_F(ShrinkFiles, SaveJpegBitmapMakesMissingFolders) {
    const QString folder = Path(QStringLiteral("neu/tief/"));
    EXPECT_TRUE(SaveJpegBitmap(GradientBitmap(20, 10), folder, QStringLiteral("x.jpg"), 75));
    EXPECT_EQ(DecodeFile(folder + QStringLiteral("x.jpg")).Width(), 20);
}

TEST_F(ShrinkFiles, SaveJpegBitmapReportsAFolderItCannotMake) {
    WriteBytes(Path(QStringLiteral("datei")), QByteArray("a file, not a folder"));
    EXPECT_FALSE(SaveJpegBitmap(GradientBitmap(20, 10), Path(QStringLiteral("datei/sub/")),
                                QStringLiteral("x.jpg"), 75));
    EXPECT_EQ(Files(), QStringList{QStringLiteral("datei")});
    EXPECT_THROW(SaveJpegBitmap(GradientBitmap(20, 10), QString(), QStringLiteral("x.jpg"), 75),
                 std::runtime_error);
}

TEST_F(ShrinkFiles, RenameNeverReplacesAndRemoveReportsTheResult) {
    WriteBytes(Path(QStringLiteral("a")), QByteArray("A"));
    WriteBytes(Path(QStringLiteral("b")), QByteArray("B"));
    EXPECT_FALSE(RenameWithoutReplacing(Path(QStringLiteral("a")), Path(QStringLiteral("b"))));
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("b"))), "B");
    EXPECT_TRUE(RenameWithoutReplacing(Path(QStringLiteral("a")), Path(QStringLiteral("c"))));
    EXPECT_EQ(ReadBytes(Path(QStringLiteral("c"))), "A");
    EXPECT_TRUE(RemoveFileSilently(Path(QStringLiteral("c"))));
    EXPECT_FALSE(RemoveFileSilently(Path(QStringLiteral("c"))));
    EXPECT_EQ(Files(), QStringList{QStringLiteral("b")});
}

}  // namespace
