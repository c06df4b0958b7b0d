// Replays the inputs the fuzzers found (and the crafted ones kept beside them) through the fuzzed entry
// points, and checks the pictures the decoder must refuse.
#include "fuzz_entry_points.h"
#include "jpeg_image.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <functional>
#include <map>

namespace {

using EntryPoint = std::function<void(const uint8_t*, size_t)>;

const QString& RegressionRoot() {
    static const QString root = QStringLiteral(BILDORO_TEST_DATA "/fuzz-regressions");
    return root;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

// Each folder's inputs go through these entry points: a JPEG found by one JPEG target goes through all three.
const std::map<QString, std::vector<std::pair<const char*, EntryPoint>>>& EntryPointsByFolder() {
    static const std::vector<std::pair<const char*, EntryPoint>> jpeg = {
        {"FuzzJpegImage", FuzzJpegImage},
        {"FuzzLoadJpegBitmap", FuzzLoadJpegBitmap},
        {"FuzzShrinkJpeg", FuzzShrinkJpeg},
    };
    static const std::map<QString, std::vector<std::pair<const char*, EntryPoint>>> folders = {
        {QStringLiteral("list_file"), {{"FuzzListFile", FuzzListFile}}},
        {QStringLiteral("jpeg_image"), jpeg},
        {QStringLiteral("load_jpeg_bitmap"), jpeg},
        {QStringLiteral("shrink_jpeg"), jpeg},
    };
    return folders;
}

TEST(FuzzRegressions, EveryFolderBelongsToATarget) {
    const QStringList folders = QDir(RegressionRoot()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_FALSE(folders.isEmpty()) << RegressionRoot().toStdString();
    for (const QString& folder : folders)
        EXPECT_TRUE(EntryPointsByFolder().count(folder))
            << "inputs in " << folder.toStdString() << " would never be replayed";
    const QStringList stray = QDir(RegressionRoot()).entryList(QDir::Files);
    EXPECT_TRUE(stray.isEmpty()) << "files outside a target folder: " << stray.join(u' ').toStdString();
}

TEST(FuzzRegressions, EverySavedInputKeepsThePromises) {
    int replayed = 0;
    for (const auto& [folder, entryPoints] : EntryPointsByFolder()) {
        const QDir dir(RegressionRoot() + u'/' + folder);
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
            const QByteArray input = ReadAll(dir.filePath(name));
            for (const auto& [entryName, entry] : entryPoints) {
                SCOPED_TRACE(entryName + std::string(" on ") + folder.toStdString() + "/" +
                             name.toStdString());
                try {
                    entry(reinterpret_cast<const uint8_t*>(input.constData()),
                          static_cast<size_t>(input.size()));
                } catch (const FuzzCheckFailure& failure) {
                    ADD_FAILURE() << "broken promise: " << failure.what();
                } catch (const std::exception& e) {
                    ADD_FAILURE() << "unexpected exception: " << e.what();
                }
                ++replayed;
            }
        }
    }
    EXPECT_GT(replayed, 0);
}

// Pictures whose decoding would take too much memory or time fail with a message saying why, before libjpeg
// allocates or walks them; their headers still read.
TEST(FuzzRegressions, OversizedStreamsAreRefusedWithTheReason) {
    const struct {
        const char* file;
        int width, height;
        const char* reason;  // empty: decodes
    } cases[] = {
        // 12000 x 12000 progressive, no subsampling: 432 MB of bitmap plus 864 MB of coefficients.
        {"jpeg_image/progressive-444-12000x12000.jpg", 12000, 12000, "pixels is too large to decode"},
        {"jpeg_image/progressive-600-scans.jpg", 64, 64, "more than 500 scans"},
        {"jpeg_image/progressive-499-scans.jpg", 64, 64, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TJpegImage jpeg;
        jpeg.Quantize236 = false;
        ASSERT_NO_THROW(jpeg.LoadFromData(ReadAll(RegressionRoot() + u'/' + QLatin1String(c.file))));
        EXPECT_EQ(jpeg.Width(), c.width);
        EXPECT_EQ(jpeg.Height(), c.height);
        for (const bool quantize : {false, true}) {
            jpeg.Quantize236 = quantize;
            if (*c.reason == '\0') {
                EXPECT_EQ(jpeg.ToBitmap().Width(), c.width);
                continue;
            }
            try {
                jpeg.ToBitmap();
                ADD_FAILURE() << "decoded";
            } catch (const EJpegError& e) {
                EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
            }
        }
    }
}

}  // namespace
