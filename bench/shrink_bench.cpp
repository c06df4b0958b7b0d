// Times ShrinkJpegToWidth on a 1024 x 768 quality-90 capture reduced to width 320 (decode, resample, encode
// and the file steps), against the floor of one decode of the capture plus one encode of the thumbnail in
// memory, and against ImageMagick's `convert FILE -resize 320x -quality 75 OUT` on the same file.
// Run: build/bench/shrink_bench [ROUNDS]   (default 30; ImageMagick gets a third of the rounds)
//      build/bench/shrink_bench --write-capture FILE   (only writes the capture, for profiling elsewhere)
#include "jpeg_image.h"
#include "mul_div.h"
#include "thumbnail.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

// Something like a rendered page: white, a coloured header bar, lines of dark "words", a photo-like block.
TBitmap24 PageLikeCapture(int w, int h) {
    TBitmap24 page(w, h);
    page.Fill(255, 255, 255);
    uint32_t seed = 99;
    auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 16; };
    for (int y = 0; y < h; ++y) {
        uint8_t* row = page.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            uint8_t* p = row + 3 * x;
            if (y < 70) {
                p[0] = 140, p[1] = 80, p[2] = 30;
            } else if (x > w * 6 / 10 && y > 120 && y < 520) {
                p[0] = static_cast<uint8_t>((x * 3 + y) & 255);
                p[1] = static_cast<uint8_t>((x ^ y) & 255);
                p[2] = static_cast<uint8_t>((y * 2) & 255);
            }
        }
    }
    // Lines of text: short dark runs, 9 pixels high, every 18 rows, in the left part.
    for (int line = 100; line + 9 < h; line += 18) {
        int x = 20;
        while (x < w * 58 / 100) {
            const int word = 10 + static_cast<int>(next() % 50);
            for (int y = line; y < line + 9; ++y)
                for (int i = x; i < std::min(x + word, w * 58 / 100); ++i)
                    if ((next() & 3) != 0) {
                        uint8_t* p = page.ScanLine(y) + 3 * i;
                        p[0] = p[1] = p[2] = 30;
                    }
            x += word + 6;
        }
    }
    return page;
}

// The floor measured on libjpeg itself, with every buffer allocated once: a decode of the capture into BGR
// rows with the same settings as TJpegImage, and an encode of a 320 x 240 BGR picture at quality 75.
struct RawCodec {
    std::vector<uint8_t> decoded = std::vector<uint8_t>(1024 * 768 * 3);
    std::vector<uint8_t> small = std::vector<uint8_t>(320 * 240 * 3, 128);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    ~RawCodec() { std::free(out); }

    void Decode(const QByteArray& data) {
        jpeg_decompress_struct info;
        jpeg_error_mgr err;
        info.err = jpeg_std_error(&err);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), data.size());
        jpeg_read_header(&info, TRUE);
        info.out_color_space = JCS_EXT_BGR;
        info.dct_method = JDCT_ISLOW;
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            JSAMPROW rows[16];
            const int y0 = static_cast<int>(info.output_scanline);
            for (int i = 0; i < 16; ++i) rows[i] = decoded.data() + std::min(y0 + i, 767) * 1024 * 3;
            jpeg_read_scanlines(&info, rows, 16);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
    }
    void Encode() {
        jpeg_compress_struct info;
        jpeg_error_mgr err;
        info.err = jpeg_std_error(&err);
        jpeg_create_compress(&info);
        jpeg_mem_dest(&info, &out, &outSize);
        info.image_width = 320;
        info.image_height = 240;
        info.input_components = 3;
        info.in_color_space = JCS_EXT_BGR;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 75, TRUE);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = small.data() + info.next_scanline * 320 * 3;
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
    }
};

template <typename Prepare, typename Work>
std::vector<double> TimesMs(int rounds, Prepare prepare, Work work) {
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        prepare();
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times;
}

void Report(const char* what, const std::vector<double>& times) {
    std::printf("%-46s best %8.2f ms   median %8.2f ms\n", what, times.front(), times[times.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--write-capture") {
        TJpegImage capture;
        capture.Assign(PageLikeCapture(1024, 768));
        capture.SaveToFile(QString::fromLocal8Bit(argv[2]));
        return 0;
    }
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 30;
    QTemporaryDir dir;
    const QString capturePath = dir.filePath(QStringLiteral("capture.jpg"));
    const QString workPath = dir.filePath(QStringLiteral("work.jpg"));

    TJpegImage capture;
    capture.Assign(PageLikeCapture(1024, 768));
    const QByteArray captureData = capture.SaveToData();
    capture.SaveToFile(capturePath);
    std::printf("capture: 1024 x 768, quality 90, %lld bytes; thumbnail width 320\n",
                static_cast<long long>(captureData.size()));

    // Each round starts from a capture written the way the capture step writes it (QFile::copy would clone
    // the data on some file systems and make the later delete of the capture much dearer than in a run).
    auto restore = [&] {
        QFile::remove(workPath);
        QFile file(workPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(captureData) != captureData.size()) std::abort();
    };
    auto shrink = [&] {
        if (ShrinkJpegToWidth(workPath, 320).outcome != ShrinkResult::Outcome::Reduced) std::abort();
    };
    // The floor: what any reduction must do at least, one full decode and one encode of the same sizes.
    RawCodec raw;
    auto rawFloor = [&] {
        raw.Decode(captureData);
        raw.Encode();
    };
    const TBitmap24 thumbnail(320, MulDiv(320, 768, 1024));
    auto objectFloor = [&] {
        TJpegImage in;
        in.LoadFromData(captureData);
        const TBitmap24 decoded = in.ToBitmap();
        TJpegImage out;
        out.CompressionQuality = 75;
        out.Assign(thumbnail);
        if (decoded.Width() != 1024 || out.SaveToData().isEmpty()) std::abort();
    };

    // Rounds alternate between the reduction and the floor, so a busy machine slows both alike; the ratio is
    // taken per round and its median reported beside the ratio of the best times.
    std::vector<double> ours, floor, object, ratios;
    for (int i = 0; i < rounds; ++i) {
        const double f = TimesMs(
                             1, [] {}, rawFloor)
                             .front();
        const double o = TimesMs(1, restore, shrink).front();
        object.push_back(TimesMs(
                             1, [] {}, objectFloor)
                             .front());
        ours.push_back(o);
        floor.push_back(f);
        ratios.push_back(o / f);
    }
    for (auto* v : {&ours, &floor, &object, &ratios}) std::sort(v->begin(), v->end());
    Report("ShrinkJpegToWidth (file in, file out)", ours);
    Report("floor: libjpeg decode 1024x768 + encode 320x240", floor);
    Report("TJpegImage: decode 1024x768 + encode 320x240", object);

    TBitmap24 decoded;
    LoadJpegBitmap(decoded, dir.path() + u'/', QStringLiteral("capture.jpg"));
    const auto resample = TimesMs(
        rounds, [] {},
        [&] {
            TBitmap24 target(320, 240);
            ScaleBitmapBilinear(decoded, target);
        });
    Report("  of which ScaleBitmapBilinear alone", resample);
    const auto portable = TimesMs(
        rounds, [] {},
        [&] {
            TBitmap24 target(320, 240);
            ScaleBitmapBilinear(decoded, target, ResamplerKernel::Portable);
        });
    Report("  (portable kernel)", portable);

    std::printf("ratio to the libjpeg floor: best/best %.2f   median of per-round ratios %.2f\n",
                ours.front() / floor.front(), ratios[ratios.size() / 2]);

    const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
    if (convert.isEmpty()) {
        std::printf("ImageMagick convert not found; no comparison\n");
        return 0;
    }
    const QString magickOut = dir.filePath(QStringLiteral("magick.jpg"));
    const auto magick = TimesMs(
        std::max(3, rounds / 3), [] {},
        [&] {
            QProcess process;
            process.start(convert, {capturePath, QStringLiteral("-resize"), QStringLiteral("320x"),
                                    QStringLiteral("-quality"), QStringLiteral("75"), magickOut});
            if (!process.waitForFinished(60000) || process.exitCode() != 0) std::abort();
        });
    // For context: what starting ImageMagick costs without any picture work.
    const auto startup = TimesMs(
        std::max(3, rounds / 3), [] {},
        [&] {
            QProcess process;
            process.start(convert, {QStringLiteral("-size"), QStringLiteral("1x1"),
                                    QStringLiteral("xc:white"), QStringLiteral("null:")});
            if (!process.waitForFinished(60000) || process.exitCode() != 0) std::abort();
        });
    Report("ImageMagick convert -resize 320x (process)", magick);
    Report("  ImageMagick start-up alone (1x1 to null:)", startup);
    std::printf("ImageMagick / ours (best): %.1fx   (median): %.1fx\n", magick.front() / ours.front(),
                magick[magick.size() / 2] / ours[ours.size() / 2]);
    return 0;
}
