// Picture fingerprints, the groups of pages that look alike, and the comparison with an earlier run's report.
#include "picture_fingerprint.h"
#include "jpeg_image.h"
#include "picture_groups.h"
#include "run_comparison.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

namespace {

// A page-like picture: a header bar, text lines and a block whose place `layout` chooses.
TBitmap24 PagePicture(int w, int h, int layout, const QString& text = QStringLiteral("Stand 09:41")) {
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(QColor(250, 248, 240));
    QPainter p(&image);
    p.fillRect(0, 0, w, h / 8, QColor(40, 80, 150));
    for (int line = 0; line < 12; ++line)
        p.fillRect(w / 16, h / 5 + line * h / 20, w / 3 + (line * 37 % 5) * w / 20, h / 80 + 1, Qt::darkGray);
    p.fillRect(layout % 2 ? w / 16 : w * 9 / 16, layout < 2 ? h / 5 : h * 3 / 5, w * 3 / 8, h / 3,
               QColor(220, 120, 40));
    for (int i = 0; i < text.size(); ++i)  // the text's glyphs as strokes of their own heights
        p.fillRect(w - 140 + i * 10, h / 8 + 8, 6, text[i].unicode() % 7 + 4, Qt::black);
    return TBitmap24::FromQImage(image);
}

TEST(PictureFingerprint, SmallChangesMoveFewBitsAndOtherLayoutsMany) {
    const TBitmap24 page = PagePicture(1024, 768, 0);
    const uint64_t hash = PictureFingerprint(page).hash;
    TJpegImage jpeg;
    jpeg.CompressionQuality = 75;
    jpeg.Assign(page);
    jpeg.LoadFromData(jpeg.SaveToData());
    const struct {
        TBitmap24 other;
        int atMost, atLeast;
    } cases[] = {
        {jpeg.ToBitmap(), 2, 0},                                           // written as JPEG and read back
        {PagePicture(800, 600, 0), 4, 0},                                  // another capture size
        {PagePicture(1024, 768, 0, QStringLiteral("Stand 10:13")), 2, 0},  // a clock
        {PagePicture(1024, 768, 1), 64, 16},                               // the block elsewhere
        {PagePicture(1024, 768, 3), 64, 16},
    };
    for (const auto& c : cases) {
        const int d = HashDistance(hash, PictureFingerprint(c.other).hash);
        EXPECT_LE(d, c.atMost);
        EXPECT_GE(d, c.atLeast);
    }
    // One colour: the hash 0 and that colour, at any size (also sides shorter than the hash's grid).
    for (const QSize size : {QSize(1024, 768), QSize(1, 1), QSize(5, 40), QSize(33, 31)}) {
        TBitmap24 plain(size.width(), size.height());
        plain.Fill(30, 200, 10);  // blue, green, red
        EXPECT_EQ(PictureFingerprint(plain), (TFingerprint{0, 10, 200, 30})) << size.width();
    }
    const TFingerprint print = PictureFingerprint(page);
    EXPECT_EQ(FingerprintFromText(HashText(print.hash), ColourText(print)), print);
    for (const auto& [h, c] : {std::pair{"00000000000000zz", "#000000"},
                               {"0123456789abcdef0", "#000000"},
                               {"0123456789ABCDEF", "#000000"},
                               {"0123456789abcdef", "#00000g"},
                               {"0123456789abcdef", "000000"},
                               {"+123456789abcdef", "#000000"}})
        EXPECT_FALSE(FingerprintFromText(QString::fromLatin1(h), QString::fromLatin1(c))) << h << c;
}

TEST(PictureGroups, SingleLinkNumberedInOrderOfFirstRow) {
    const uint64_t a = 0x0123456789abcdefULL, far = ~a;
    const struct {
        std::vector<uint64_t> hashes;
        int distance;
        std::vector<int> groups;
    } cases[] = {
        {{a, far, a, a ^ 1}, 0, {1, 0, 1, 0}},                      // equal only
        {{far, a, a ^ 0b11, a ^ 0b1111}, 2, {0, 1, 1, 1}},          // a chain: a and a^0b1111 are 4 apart
        {{a ^ (1ULL << 63), far, a, far ^ 0xf0}, 4, {1, 2, 1, 2}},  // bits in different ranges
        {{a, far}, 63, {0, 0}},                                     // 64 apart: never alike
        {{}, 4, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(GroupByHash(c.hashes, c.distance), c.groups) << c.distance;
}

// An earlier report read as the web and the disk leave it: damaged and cut-off lines, a forged hash, a
// vanished line, a row told twice (the last line counts).
TEST(EarlierRun, MatchesByAddressAndNameAndSaysWhatChanged) {
    QTemporaryDir dir;
    QFile report(dir.filePath(QStringLiteral("earlier.jsonl")));
    ASSERT_TRUE(report.open(QIODevice::WriteOnly));
    report.write(
        R"({"row":0,"url":"http://a","picture":"a","status":"ok","phash":"00000000000000ff","mean_colour":"#808080"}
not json
{"row":1,"url":"http://b","picture":"b","status":"failed"}
{"row":2,"url":"http://c","picture":"c","status":"ok","phash":"forged","mean_colour":"#808080"}
{"row":3,"url":"http://d","picture":"d","status":"ok","phash":"0000000000000000","mean_colour":"#808080"}
{"row":3,"url":"http://d","picture":"d","status":"ok","phash":"ffffffffffffffff","mean_colour":"#808080"}
{"row":null,"url":"http://gone","picture":"g","status":"vanished"}
{"row":4,"url":"http://e","picture":"e","status":"ok","phash":"00000000000000ff","mean_colour":"#808080"}
{"row":5,"url":"http://cut","picture":"cut","status":"ok")");
    report.close();
    TEarlierRun earlier = TEarlierRun::FromReport(report.fileName());
    EXPECT_EQ(earlier.Rows(), 5);
    const TFingerprint same{0xff, 0x80, 0x80, 0x80};
    const struct {
        const char *url, *picture;
        std::optional<TFingerprint> now;
        bool isNew, wasOk;
        std::optional<bool> changed;
        std::optional<int> distance;
    } cases[] = {
        {"http://a", "a", TFingerprint{0xffff, 0x80, 0x80, 0x80}, false, true, false, 8},
        {"http://b", "b", same, false, false, std::nullopt, std::nullopt},  // failed before: no hash
        {"http://c", "c", same, false, true, std::nullopt, std::nullopt},   // its hash was no hash
        {"http://d", "d", same, false, true, true, 56},                     // the last line counts
        {"http://e", "e", TFingerprint{0xff, 0x80, 0x89, 0x80}, false, true, true, 0},  // the colour moved
        {"http://a", "other name", same, true, false, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const TEarlierRun::Verdict v = earlier.Compare(c.url, c.picture, c.now, kDefaultChangeDistance);
        EXPECT_EQ(v.isNew, c.isNew) << c.url;
        EXPECT_EQ(v.wasOk, c.wasOk) << c.url;
        EXPECT_EQ(v.changed, c.changed) << c.url;
        EXPECT_EQ(v.distance, c.distance) << c.url;
    }
    EXPECT_TRUE(earlier.Unseen().empty())
        << "every earlier row was asked for; the cut-off one was never read";
    EXPECT_THROW(TEarlierRun::FromReport(dir.filePath(QStringLiteral("missing.jsonl"))), std::runtime_error);
}

}  // namespace
