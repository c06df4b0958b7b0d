// TJpegImage: writing settings, decoding, colour order, and clean failure on broken input.
#include "jpeg_image.h"
#include "picture_samples.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

#include <jpeglib.h>
#include <QBuffer>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>

namespace {

QByteArray Encode(const TBitmap24& bitmap, int quality = 90, bool progressive = false, bool grey = false) {
    TJpegImage jpeg;
    jpeg.CompressionQuality = quality;
    jpeg.ProgressiveEncoding = progressive;
    jpeg.Grayscale = grey;
    jpeg.Assign(bitmap);
    return jpeg.SaveToData();
}

TBitmap24 Decode(const QByteArray& data) {
    TJpegImage jpeg;
    jpeg.LoadFromData(data);
    return jpeg.ToBitmap();
}

// Offset of the first marker 0xFF code in a JPEG stream, walking the marker segments; -1 if absent.
qsizetype FindMarker(const QByteArray& data, uint8_t code) {
    qsizetype i = 2;  // after SOI
    while (i + 4 <= data.size() && uint8_t(data[i]) == 0xFF) {
        if (uint8_t(data[i + 1]) == code) return i;
        if (uint8_t(data[i + 1]) == 0xDA) return -1;  // scan data follows
        i += 2 + ((uint8_t(data[i + 2]) << 8) | uint8_t(data[i + 3]));
    }
    return -1;
}

TEST(JpegImageWrite, DefaultsAreQuality90BaselineColour) {
    TJpegImage jpeg;
    EXPECT_EQ(jpeg.CompressionQuality, 90);
    EXPECT_FALSE(jpeg.ProgressiveEncoding);
    EXPECT_FALSE(jpeg.Grayscale);
    const QByteArray data = Encode(GradientBitmap(40, 30));
    ASSERT_GE(FindMarker(data, 0xC0), 0) << "baseline SOF0 expected";
    EXPECT_EQ(FindMarker(data, 0xC2), -1);
    EXPECT_EQ(uint8_t(data[FindMarker(data, 0xC0) + 9]), 3) << "three colour components";
    EXPECT_GE(FindMarker(data, 0xE0), 0) << "JFIF header";
}

// libjpeg's quality rule scales the first luminance entry 16 to (16 x scale + 50) / 100, limited to 1..255.
TEST(JpegImageWrite, QualityScalesTheQuantisationTables) {
    struct Case {
        int quality, firstEntry;
    };
    for (const Case c :
         {Case{90, 3}, Case{75, 8}, Case{50, 16}, Case{1, 255}, Case{100, 1}, Case{0, 255}, Case{150, 1}}) {
        const QByteArray data = Encode(GradientBitmap(16, 16), c.quality);
        const qsizetype dqt = FindMarker(data, 0xDB);
        ASSERT_GE(dqt, 0);
        EXPECT_EQ(uint8_t(data[dqt + 4]) >> 4, 0) << "8-bit (baseline) table at quality " << c.quality;
        EXPECT_EQ(uint8_t(data[dqt + 5]), c.firstEntry) << "quality " << c.quality;
    }
}

TEST(JpegImageWrite, ProgressiveAndGreyOnlyWhenAsked) {
    const QByteArray progressive = Encode(GradientBitmap(40, 30), 90, true);
    EXPECT_GE(FindMarker(progressive, 0xC2), 0);
    const QByteArray grey = Encode(GradientBitmap(40, 30), 90, false, true);
    EXPECT_EQ(uint8_t(grey[FindMarker(grey, 0xC0) + 9]), 1);
}

TEST(JpegImageRead, ReadingSetsTheProgressiveFlagFromTheData) {
    TJpegImage jpeg;
    jpeg.LoadFromData(Encode(GradientBitmap(40, 30), 90, true));
    EXPECT_TRUE(jpeg.ProgressiveEncoding);
    jpeg.LoadFromData(Encode(GradientBitmap(40, 30)));
    EXPECT_FALSE(jpeg.ProgressiveEncoding);
}

TEST(JpegImageRead, RoundTripKeepsSizeAndColoursForOddWidths) {
    for (const auto& [w, h] : {std::pair{1, 1}, std::pair{37, 23}, std::pair{321, 241}, std::pair{17, 1}}) {
        const TBitmap24 source = GradientBitmap(w, h);
        TJpegImage jpeg;
        jpeg.LoadFromData(Encode(source, 100));
        EXPECT_EQ(jpeg.Width(), w);
        EXPECT_EQ(jpeg.Height(), h);
        const TBitmap24 back = jpeg.ToBitmap();
        EXPECT_LE(MaxDifference(source, back), 12) << w << " x " << h;
    }
}

TEST(JpegImageRead, ProgressiveAndGreyFilesDecode) {
    const TBitmap24 source = GradientBitmap(64, 48);
    EXPECT_LE(MaxDifference(source, Decode(Encode(source, 95, true))), 12);
    const TBitmap24 grey = Decode(Encode(source, 95, false, true));
    ASSERT_EQ(grey.Width(), 64);
    EXPECT_EQ(grey.ScanLine(10)[30], grey.ScanLine(10)[31]);
    EXPECT_EQ(grey.ScanLine(10)[30], grey.ScanLine(10)[32]);
}

// Our writer and reader could swap red and blue symmetrically; Qt's own reader is the independent witness.
TEST(JpegImageRead, ColoursComeOutRightForAnIndependentReader) {
    TBitmap24 red(16, 16);
    red.Fill(0, 0, 255);
    QImage image;
    if (!image.loadFromData(Encode(red), "JPG")) GTEST_SKIP() << "Qt has no JPEG reader here";
    const QRgb pixel = image.pixel(8, 8);
    EXPECT_GT(qRed(pixel), 240);
    EXPECT_LT(qBlue(pixel), 15);
    const TBitmap24 back = Decode(Encode(red));
    EXPECT_GT(back.ScanLine(8)[8 * 3 + 2], 240);
    EXPECT_LT(back.ScanLine(8)[8 * 3 + 0], 15);
}

TEST(JpegImageRead, QuantisedOutputUsesAtMost236Colours) {
    const QByteArray data = Encode(NoiseBitmap(64, 64), 95);
    TJpegImage jpeg;
    jpeg.Quantize236 = true;
    jpeg.LoadFromData(data);
    const TBitmap24 bitmap = jpeg.ToBitmap();
    QSet<uint32_t> colours;
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const uint8_t* p = bitmap.ScanLine(y) + 3 * x;
            colours.insert(p[0] | p[1] << 8 | p[2] << 16);
        }
    EXPECT_LE(colours.size(), 236);
    EXPECT_GT(colours.size(), 50);
}

TEST(JpegImageRead, LowColourDisplaySettingIsTheDefaultOfNewObjects) {
    TJpegImage::SetLowColorDisplay(true);
    EXPECT_TRUE(TJpegImage().Quantize236);
    TJpegImage::SetLowColorDisplay(false);
    EXPECT_FALSE(TJpegImage().Quantize236);
}

TEST(JpegImageRead, EmptyDataIsAnEmptyPicture) {
    TJpegImage jpeg;
    jpeg.LoadFromData(Encode(GradientBitmap(8, 8)));
    jpeg.LoadFromData(QByteArray());
    EXPECT_EQ(jpeg.Width(), 0);
    EXPECT_EQ(jpeg.Height(), 0);
    EXPECT_TRUE(jpeg.ToBitmap().IsEmpty());
}

TEST(JpegImageRead, AssignDropsTheDataButKeepsTheSettings) {
    TJpegImage jpeg;
    jpeg.LoadFromData(Encode(GradientBitmap(40, 30), 90, true));
    jpeg.CompressionQuality = 75;
    jpeg.ProgressiveEncoding = false;
    jpeg.Assign(GradientBitmap(20, 10));
    EXPECT_EQ(jpeg.Width(), 20);
    const QByteArray data = jpeg.SaveToData();
    EXPECT_EQ(uint8_t(data[FindMarker(data, 0xDB) + 5]), 8);
    EXPECT_EQ(Decode(data).Height(), 10);
}

// Every kind of broken input fails with a codec error and leaves the object as it was.
TEST(JpegImageBroken, BadHeadersThrowAndKeepThePreviousPicture) {
    const QByteArray good = Encode(GradientBitmap(40, 30));
    QImage png(10, 10, QImage::Format_RGB32);
    png.fill(Qt::red);
    QByteArray pngData;
    {
        QBuffer buffer(&pngData);
        buffer.open(QIODevice::WriteOnly);
        png.save(&buffer, "PNG");
    }
    QByteArray noise(4000, '\0');
    uint32_t seed = 7;
    for (char& c : noise) c = char((seed = seed * 1664525u + 1013904223u) >> 24);
    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"png", pngData},
        {"random bytes", noise},
        {"first 10 bytes", good.left(10)},
        {"SOI only", QByteArray("\xFF\xD8", 2)},
        {"one byte", QByteArray("\xFF", 1)},
        {"text", QByteArray("hello, this is not a picture")},
    };
    for (const auto& c : cases) {
        TJpegImage jpeg;
        jpeg.LoadFromData(good);
        EXPECT_THROW(jpeg.LoadFromData(c.data), EJpegError) << c.name;
        EXPECT_EQ(jpeg.Width(), 40) << c.name;
        EXPECT_EQ(jpeg.ToBitmap().Height(), 30) << c.name;
    }
}

TEST(JpegImageBroken, DamagedScanDataFailsTheDecode) {
    const QByteArray good = Encode(NoiseBitmap(200, 150));
    const qsizetype sos = good.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(sos, 0);
    QByteArray garbled = good;
    for (qsizetype i = sos + 40; i < garbled.size() - 2; i += 7) garbled[i] = char(0xFF);
    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"truncated to half", good.left(good.size() / 2)},
        {"truncated after the header", good.left(sos + 20)},
        {"no end marker", good.left(good.size() - 2)},
        {"garbled scan", garbled},
        {"progressive truncated", Encode(NoiseBitmap(200, 150), 90, true).left(3000)},
    };
    for (const auto& c : cases) {
        TJpegImage jpeg;
        ASSERT_NO_THROW(jpeg.LoadFromData(c.data)) << c.name << ": the header is intact";
        try {
            jpeg.ToBitmap();
            ADD_FAILURE() << c.name << " decoded without error";
        } catch (const EJpegError& e) {
            EXPECT_FALSE(std::string(e.what()).empty());
        }
    }
}

TEST(JpegImageBroken, NoEndMarkerIsTheTruncationMessage) {
    const QByteArray good = Encode(NoiseBitmap(64, 64));
    TJpegImage jpeg;
    jpeg.LoadFromData(good.left(good.size() / 2));
    try {
        jpeg.ToBitmap();
        FAIL();
    } catch (const EJpegError& e) {
        EXPECT_NE(std::string(e.what()).find("Premature end of JPEG file"), std::string::npos) << e.what();
    }
}

// Damaged files of every kind: whatever the bytes, the reader either decodes or throws EJpegError.
TEST(JpegImageBroken, RandomlyDamagedFilesNeverCrash) {
    for (const bool progressive : {false, true}) {
        const QByteArray good = Encode(GradientBitmap(48, 40), 85, progressive);
        uint32_t seed = progressive ? 4711u : 815u;
        auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
        int decoded = 0, refused = 0;
        for (int round = 0; round < 400; ++round) {
            QByteArray data = good;
            const int flips = 1 + static_cast<int>(next() % 8);
            for (int i = 0; i < flips; ++i) data[next() % data.size()] = static_cast<char>(next());
            if (round % 5 == 0) data.truncate(static_cast<qsizetype>(next() % data.size()));
            try {
                TJpegImage jpeg;
                jpeg.LoadFromData(data);
                const TBitmap24 bitmap = jpeg.ToBitmap();
                EXPECT_EQ(bitmap.Width(), jpeg.Width());
                ++decoded;
            } catch (const EJpegError&) {
                ++refused;
            }
        }
        EXPECT_GT(refused, 0);
        EXPECT_EQ(decoded + refused, 400);
    }
}

// A forged header announcing a gigantic picture must not make the reader allocate it.
TEST(JpegImageBroken, HugeAnnouncedSizeIsRefused) {
    QByteArray data = Encode(GradientBitmap(16, 16), 90, true);
    const qsizetype sof = FindMarker(data, 0xC2);
    ASSERT_GE(sof, 0);
    data[sof + 5] = char(0xFF), data[sof + 6] = char(0xDC);  // height 65500
    data[sof + 7] = char(0xFF), data[sof + 8] = char(0xDC);  // width 65500
    TJpegImage jpeg;
    jpeg.LoadFromData(data);
    EXPECT_EQ(jpeg.Width(), 65500);
    EXPECT_THROW(jpeg.ToBitmap(), EJpegError);
}

TEST(JpegImageFiles, MissingFileNamesTheFileAndTheReason) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gibt-es-nicht.jpg"));
    try {
        TJpegImage().LoadFromFile(path);
        FAIL();
    } catch (const EJpegError&) {
        FAIL() << "a missing file is not a codec error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("gibt-es-nicht.jpg"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("No such file"), std::string::npos) << e.what();
    }
}

TEST(JpegImageFiles, CodecErrorsNameTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kaputt.jpg"));
    WriteBytes(path, QByteArray("not a jpeg at all"));
    try {
        TJpegImage().LoadFromFile(path);
        FAIL();
    } catch (const EJpegError& e) {
        EXPECT_NE(std::string(e.what()).find("kaputt.jpg"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("Not a JPEG file"), std::string::npos) << e.what();
    }
}

TEST(JpegImageFiles, SaveCreatesOrTruncatesAndReadsBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bild.jpg"));
    WriteBytes(path, QByteArray(100000, 'x'));
    TJpegImage jpeg;
    jpeg.Assign(GradientBitmap(33, 21));
    jpeg.SaveToFile(path);
    EXPECT_EQ(ReadBytes(path), jpeg.SaveToData());
    TJpegImage back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.Width(), 33);
    EXPECT_EQ(back.ToBitmap().Height(), 21);
}

TEST(JpegImageFiles, WriteErrorsAreReportedWithTheReason) {
    TJpegImage jpeg;
    jpeg.Assign(NoiseBitmap(64, 64));
    QTemporaryDir dir;
    // A full disk: the name keeps what it had and no partial file is left.
    const QString full = dir.filePath(QStringLiteral("voll.jpg"));
    WriteBytes(full, "alt");
    EXPECT_EQ(InChildWithFileSizeLimit(
                  1024,
                  [&] {
                      try {
                          jpeg.SaveToFile(full);
                      } catch (const std::runtime_error& e) {
                          return std::string(e.what()).find("File too large") != std::string::npos ? 0 : 1;
                      }
                      return 2;
                  }),
              0);
    EXPECT_EQ(ReadBytes(full), "alt");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("voll.jpg")});
    EXPECT_THROW(jpeg.SaveToFile(dir.filePath(QStringLiteral("no/such/folder/x.jpg"))), std::runtime_error);
    // A FIFO, a socket or a device at the name is refused and stays what it was.
    for (const SpecialFile& special :
         MakeSpecialFiles(dir.path(), QStringLiteral("bild"), QStringLiteral(".jpg"))) {
        SCOPED_TRACE(special.kind.toStdString());
        try {
            jpeg.SaveToFile(special.path);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("not a regular file"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(IsStillSpecial(special));
    }
}

}  // namespace

namespace {

// A CMYK file as print programs write it (Adobe marker, 255 meaning no ink), made with libjpeg directly.
QByteArray CmykJpeg(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = 16;
    info.image_height = 16;
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(16 * 4);
    for (int x = 0; x < 16; ++x) row[4 * x] = c, row[4 * x + 1] = m, row[4 * x + 2] = y, row[4 * x + 3] = k;
    while (info.next_scanline < info.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray data(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return data;
}

TEST(JpegImageRead, AdobeCmykFilesComeOutInScreenColours) {
    TJpegImage jpeg;
    jpeg.LoadFromData(CmykJpeg(255, 0, 0, 255));  // no cyan, full magenta and yellow, no black: red
    const TBitmap24 red = jpeg.ToBitmap();
    const uint8_t* p = red.ScanLine(8) + 3 * 8;
    EXPECT_LT(p[0], 8);
    EXPECT_LT(p[1], 8);
    EXPECT_GT(p[2], 247);
    jpeg.LoadFromData(CmykJpeg(255, 255, 255, 0));  // full black
    EXPECT_LT(jpeg.ToBitmap().ScanLine(3)[5], 8);
}

}  // namespace
