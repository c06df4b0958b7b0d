// Compares the two thumbnail filters on a folder of captures against ImageMagick's Lanczos reduction of the
// same captures: PSNR of each filter's thumbnail against the reference, and the time of ShrinkJpegToWidth per
// picture (decode, resample, the file steps, encode at quality 75), rounds interleaved, median of the rounds.
// Built with libvips at hand, it measures the same against libvips' Lanczos3 reduction (vips_thumbnail from
// the file, encoded by our JPEG object), which the smooth filter was weighed against.
// Run: filter_bench CAPTURES REFERENCES [WIDTH] [ROUNDS]   (defaults 320 and 5)
//      CAPTURES holds NAME.jpg, REFERENCES the reference NAME.png of each (convert NAME.jpg -filter Lanczos
//      -resize WIDTHx NAME.png). Normally run by filter_bench.py, which makes both from the bench corpus.
#include "jpeg_image.h"
#include "mul_div.h"
#include "smooth_resampler.h"
#include "thumbnail.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef BILDORO_BENCH_VIPS
#include <vips/vips.h>
#endif

namespace {

constexpr double kPerfectPsnr = 60;  // a picture equal to the reference counts as 60 dB, not infinity

double Psnr(const TBitmap24& a, const TBitmap24& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        std::fprintf(stderr, "filter_bench: sizes differ (%d x %d, %d x %d)\n", a.Width(), a.Height(),
                     b.Width(), b.Height());
        std::exit(1);
    }
    double squares = 0;
    for (int y = 0; y < a.Height(); ++y) {
        const uint8_t *p = a.ScanLine(y), *q = b.ScanLine(y);
        for (int i = 0; i < 3 * a.Width(); ++i) squares += double(p[i] - q[i]) * (p[i] - q[i]);
    }
    const double mse = squares / (3.0 * a.Width() * a.Height());
    return mse == 0 ? kPerfectPsnr : std::min(kPerfectPsnr, 10 * std::log10(255.0 * 255.0 / mse));
}

TBitmap24 Decode(const QString& path) {
    TJpegImage jpeg;
    jpeg.LoadFromFile(path);
    return jpeg.ToBitmap();
}

// The thumbnail before encoding, as ShrinkJpegToWidth makes it: the filter alone, without the JPEG step.
TBitmap24 Resampled(const QString& capture, int width, ThumbnailFilter filter) {
    TJpegImage jpeg;
    jpeg.LoadFromFile(capture);
    const int w = jpeg.Width(), h = jpeg.Height();
    TBitmap24 thumbnail(width, std::max(1, MulDiv(width, h, w)));
    if (filter == ThumbnailFilter::Smooth) {
        jpeg.Scale = static_cast<TJpegImage::TJpegScale>(SmoothDecodeScale(w, width));
        ScaleImageSmooth(jpeg.ToRgb32Image(), thumbnail);
    } else {
        ScaleBitmapBilinear(jpeg.ToBitmap(), thumbnail);
    }
    return thumbnail;
}

#ifdef BILDORO_BENCH_VIPS
TBitmap24 VipsResampled(const QString& capture, int width, int height) {
    VipsImage* out = nullptr;
    if (vips_thumbnail(QFile::encodeName(capture).constData(), &out, width, "height", height, "size",
                       VIPS_SIZE_FORCE, nullptr) != 0) {
        std::fprintf(stderr, "filter_bench: libvips: %s\n", vips_error_buffer());
        std::exit(1);
    }
    size_t bytes = 0;
    auto* pixels = static_cast<uint8_t*>(vips_image_write_to_memory(out, &bytes));
    TBitmap24 thumbnail(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = pixels + (size_t(y) * width + x) * 3;
            uint8_t* q = thumbnail.ScanLine(y) + 3 * x;
            q[0] = p[2], q[1] = p[1], q[2] = p[0];
        }
    g_free(pixels);
    g_object_unref(out);
    return thumbnail;
}
#endif

struct Method {
    const char* name;
    double asWritten = 0;  // sum of PSNR of the file as written (quality 75) against the reference
    double alone = 0;      // sum of PSNR of the resampler's output before encoding
    std::vector<double> roundMs;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: filter_bench CAPTURES REFERENCES [WIDTH] [ROUNDS]\n");
        return 2;
    }
    const QString captures = QString::fromLocal8Bit(argv[1]), references = QString::fromLocal8Bit(argv[2]);
    const int width = argc > 3 ? std::atoi(argv[3]) : 320;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 5;
    const QStringList names = QDir(captures).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    if (names.isEmpty() || width < 1 || rounds < 1) {
        std::fprintf(stderr, "filter_bench: no captures in %s, or a width or round count below 1\n", argv[1]);
        return 2;
    }
    std::vector<Method> methods = {{"exact", 0, 0, {}}, {"smooth", 0, 0, {}}};
#ifdef BILDORO_BENCH_VIPS
    if (VIPS_INIT(argv[0]) != 0) return 1;
    methods.push_back({"libvips Lanczos3", 0, 0, {}});
#endif
    QTemporaryDir work;
    const ThumbnailFilter filters[] = {ThumbnailFilter::Exact, ThumbnailFilter::Smooth};

    for (int round = 0; round < rounds; ++round) {
        for (size_t m = 0; m < methods.size(); ++m) {
            double ms = 0;
            for (const QString& name : names) {
                const QString capture = captures + u'/' + name, copy = work.path() + u'/' + name;
                QFile::remove(copy);
                QFile::copy(capture, copy);
                const QString reference = references + u'/' + name.chopped(4) + QStringLiteral(".png");
                const TBitmap24 wanted = TBitmap24::FromQImage(QImage(reference));
                QElapsedTimer clock;
                clock.start();
                if (m < 2) {
                    ShrinkJpegToWidth(copy, width, filters[m]);
                } else {
#ifdef BILDORO_BENCH_VIPS
                    // The same steps with libvips in the filter's place: decode and reduce, encode at 75.
                    const TBitmap24 thumbnail = VipsResampled(copy, wanted.Width(), wanted.Height());
                    SaveJpegBitmap(thumbnail, work.path() + u'/', name, 75);
#endif
                }
                ms += clock.nsecsElapsed() / 1e6;
                if (round > 0) continue;
                methods[m].asWritten += Psnr(Decode(copy), wanted);
#ifdef BILDORO_BENCH_VIPS
                if (m == 2) {
                    methods[m].alone += Psnr(VipsResampled(capture, wanted.Width(), wanted.Height()), wanted);
                    continue;
                }
#endif
                methods[m].alone += Psnr(Resampled(capture, width, filters[m]), wanted);
            }
            methods[m].roundMs.push_back(ms / names.size());
        }
    }

    std::printf("%lld captures reduced to width %d, %d rounds\n\n", static_cast<long long>(names.size()),
                width, rounds);
    std::printf(
        "| filter | mean PSNR, thumbnail as written (q75) | mean PSNR, resampler alone | ms per picture "
        "(median of rounds) | rounds (ms per picture) |\n|---|---|---|---|---|\n");
    for (const Method& m : methods) {
        QStringList each;
        for (double r : m.roundMs) each << QString::number(r, 'f', 2);
        std::printf("| %s | %.2f dB | %.2f dB | %.2f | %s |\n", m.name, m.asWritten / names.size(),
                    m.alone / names.size(), Median(m.roundMs), qPrintable(each.join(QStringLiteral(", "))));
    }
    return 0;
}
