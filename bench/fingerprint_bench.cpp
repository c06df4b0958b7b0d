// Times the picture fingerprint (per row, on the writer's thread) and the grouping of many rows' hashes.
// Run: build/bench/fingerprint_bench [ROWS]   (default 100000 hashes to group)
#include "picture_fingerprint.h"
#include "picture_groups.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// A picture with some structure: bands, blocks and noise, as a page's capture has.
TBitmap24 Picture(int w, int h, int seed) {
    TBitmap24 picture(w, h);
    QRandomGenerator random{quint32(seed)};
    for (int y = 0; y < h; ++y) {
        uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < w; ++x) {
            const bool block = (x / 97 + y / 61 + seed) % 3 == 0;
            row[3 * x] = uint8_t(block ? 200 : 240 - (y % 40));
            row[3 * x + 1] = uint8_t(block ? 90 : 235);
            row[3 * x + 2] = uint8_t((x * 3 + random.bounded(16)) & 0xff);
        }
    }
    return picture;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    struct Size {
        const char* name;
        int w, h;
    } sizes[] = {{"800 x 600", 800, 600},
                 {"1024 x 768", 1024, 768},
                 {"1280 x 990", 1280, 990},
                 {"1024 x 8000 (full page)", 1024, 8000}};
    std::printf("| picture | fingerprint, median of 30 |\n|---|---|\n");
    for (const Size& s : sizes) {
        const TBitmap24 picture = Picture(s.w, s.h, 1);
        std::vector<double> times;
        for (int i = 0; i < 30; ++i) {
            QElapsedTimer clock;
            clock.start();
            volatile uint64_t hash = PictureFingerprint(picture).hash;
            (void)hash;
            times.push_back(clock.nsecsElapsed() / 1e6);
        }
        std::printf("| %s | %.2f ms |\n", s.name, Median(times));
    }
    // Rows of a crawl: most pages of their own, a big group of one parked page with small differences, and
    // smaller groups of error and login pages.
    QRandomGenerator random{quint32(7)};
    auto near = [&random](uint64_t hash, int bits) {
        for (int i = 0; i < bits; ++i) hash ^= uint64_t(1) << random.bounded(64);
        return hash;
    };
    std::vector<uint64_t> hashes;
    const uint64_t parked = random.generate64(), error = random.generate64(), login = random.generate64();
    for (int i = 0; i < rows; ++i) {
        const int kind = i % 80;
        hashes.push_back(kind == 0   ? near(parked, int(random.bounded(3)))
                         : kind == 1 ? error
                         : kind == 2 ? near(login, 1)
                                     : random.generate64());
    }
    std::printf(
        "\n| hashes | distance | grouping | groups of 2 or more | largest |\n|---|---|---|---|---|\n");
    for (const int distance : {4, 6, 10}) {
        QElapsedTimer clock;
        clock.start();
        const std::vector<int> groups = GroupByHash(hashes, distance);
        const double ms = clock.nsecsElapsed() / 1e6;
        std::vector<int> sizes(size_t(*std::max_element(groups.begin(), groups.end())) + 1, 0);
        for (int g : groups) ++sizes[size_t(g)];
        sizes[0] = 0;
        std::printf("| %d | %d | %.0f ms | %zu | %d |\n", rows, distance, ms, sizes.size() - 1,
                    *std::max_element(sizes.begin(), sizes.end()));
    }
    return 0;
}
