// The bilinear resampler against the worked numbers and an independent computation, with either row kernel.
#include "bilinear_resampler.h"
#include "mul_div.h"
#include "picture_samples.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <stdexcept>

namespace {

// The resampler written out step by step from its definition, with MulDiv for every weight and the row
// distance measured on the target; the right-hand neighbour is clamped (enlargement).
TBitmap24 ReferenceScale(const TBitmap24& s, int w, int h) {
    TBitmap24 t(w, h);
    const int W = s.Width(), H = s.Height();
    const uint32_t xstep = static_cast<uint32_t>(MulDiv(W - 1, 65536, w));
    const uint32_t ystep = static_cast<uint32_t>(MulDiv(H - 1, 65536, h));
    uint32_t sy = 0;
    for (int y = 0; y < h; ++y, sy += ystep) {
        const int iy = static_cast<int>(sy >> 16);
        const uint8_t* r0 = s.ScanLine(iy);
        const uint8_t* r1 = iy < H - 1 ? s.ScanLine(iy + 1) : r0;
        const int a = static_cast<int>(((~sy) & 0xFFFF) + 1), b = static_cast<int>((sy & 0xFFFF) + 1);
        uint32_t sx = 0;
        for (int x = 0; x < w; ++x, sx += xstep) {
            const int tl = static_cast<int>(sx >> 16), tr = std::min(tl + 1, W - 1);
            const int z = static_cast<int>(sx & 0xFFFF);
            const int w2 = MulDiv(z, a, 65536), w1 = a - w2, w4 = MulDiv(z, b, 65536), w3 = b - w4;
            EXPECT_EQ(w1 + w2 + w3 + w4, 65537);
            for (int k = 2; k >= 0; --k) {
                const uint32_t v = (uint32_t(r0[3 * tl + k]) * w1 + uint32_t(r0[3 * tr + k]) * w2 +
                                    uint32_t(r1[3 * tl + k]) * w3 + uint32_t(r1[3 * tr + k]) * w4) >>
                                   16;
                t.ScanLine(y)[3 * x + k] = static_cast<uint8_t>(v);
            }
        }
    }
    return t;
}

TBitmap24 Scaled(const TBitmap24& source, int w, int h) {
    TBitmap24 target(w, h);
    ScaleBitmapBilinear(source, target);
    return target;
}

// The worked example, in each of the three bytes of the pixel in turn (the other two hold other values).
class WorkedExample : public ::testing::TestWithParam<int> {};

TEST_P(WorkedExample, FourByTwoToTwoByTwo) {
    const int k = GetParam();
    const int top[4] = {0, 100, 200, 255}, bottom[4] = {50, 150, 250, 10};
    TBitmap24 source(4, 2);
    source.Fill(7, 7, 7);
    for (int x = 0; x < 4; ++x) {
        source.ScanLine(0)[3 * x + k] = static_cast<uint8_t>(top[x]);
        source.ScanLine(1)[3 * x + k] = static_cast<uint8_t>(bottom[x]);
    }
    const TBitmap24 t = Scaled(source, 2, 2);
    EXPECT_EQ(t.ScanLine(0)[k], 0);  // weight 1 from the lower row: 50 x 1 >> 16 = 0
    EXPECT_EQ(t.ScanLine(0)[3 + k], 150);
    EXPECT_EQ(t.ScanLine(1)[k], 25);
    EXPECT_EQ(t.ScanLine(1)[3 + k], 175);  // weights 16384, 16384, 16384, 16385
    EXPECT_EQ(t.ScanLine(0)[(k + 1) % 3], 7);
}

INSTANTIATE_TEST_SUITE_P(BlueGreenRed, WorkedExample, ::testing::Values(0, 1, 2));

TEST(ScaleBitmapBilinear, UniformColourStaysExact) {
    for (int c = 0; c < 256; c += 17) {
        TBitmap24 source(1024, 768);
        source.Fill(static_cast<uint8_t>(c), static_cast<uint8_t>(255 - c), static_cast<uint8_t>(c / 2));
        TBitmap24 expected(200, 150);
        expected.Fill(static_cast<uint8_t>(c), static_cast<uint8_t>(255 - c), static_cast<uint8_t>(c / 2));
        EXPECT_EQ(Scaled(source, 200, 150), expected) << "colour " << c;
    }
}

TEST(ScaleBitmapBilinear, EqualSizeIsAnExactCopy) {
    const TBitmap24 source = NoiseBitmap(37, 11);
    EXPECT_EQ(Scaled(source, 37, 11), source);
}

// 1024 -> 200: xstep = MulDiv(1023, 65536, 200) = 335217; the last column samples 199 x 335217, that is
// column 1017 plus 58071/65536, never the last column 1023.
TEST(ScaleBitmapBilinear, FirstAndLastSamplePositions) {
    TBitmap24 source(1024, 2);
    for (int y = 0; y < 2; ++y) {
        uint8_t* row = source.ScanLine(y);
        row[0] = 200;             // column 0, blue
        row[3 * 1018 + 1] = 255;  // column 1018, green
        row[3 * 1023 + 2] = 255;  // column 1023, red: never sampled
    }
    const TBitmap24 t = Scaled(source, 200, 2);
    EXPECT_EQ(MulDiv(1023, 65536, 200), 335217);
    EXPECT_EQ(t.ScanLine(0)[0], 200);  // column 0 exactly
    EXPECT_EQ(t.ScanLine(0)[3], 0);
    // (255 x (58071 + 1)) >> 16: the fraction of the way to column 1018, plus the lower row's weight 1.
    EXPECT_EQ(t.ScanLine(0)[3 * 199 + 1], (255 * (58071 + 1)) >> 16);
    EXPECT_EQ(t.ScanLine(0)[3 * 199 + 2], 0);
}

struct ScaleCase {
    int W, H, w, h;
};

class AgainstReference : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(AgainstReference, EveryByteMatchesWithEitherKernel) {
    const ScaleCase c = GetParam();
    const TBitmap24 source = NoiseBitmap(c.W, c.H, static_cast<uint32_t>(c.W * 31 + c.w));
    const TBitmap24 reference = ReferenceScale(source, c.w, c.h);
    EXPECT_EQ(Scaled(source, c.w, c.h), reference);
    TBitmap24 portable(c.w, c.h);
    ScaleBitmapBilinear(source, portable, ResamplerKernel::Portable);
    EXPECT_EQ(portable, reference);
}

INSTANTIATE_TEST_SUITE_P(Reductions, AgainstReference,
                         ::testing::Values(ScaleCase{1024, 768, 320, 240}, ScaleCase{1280, 990, 320, 248},
                                           ScaleCase{800, 600, 10, 8}, ScaleCase{1024, 768, 200, 150},
                                           ScaleCase{333, 77, 101, 23}, ScaleCase{5, 5, 2, 3},
                                           ScaleCase{4, 2, 2, 2}, ScaleCase{3, 1, 2, 1}));

INSTANTIATE_TEST_SUITE_P(OneRowOrColumn, AgainstReference,
                         ::testing::Values(ScaleCase{4, 2, 2, 1}, ScaleCase{2000, 3, 100, 1},
                                           ScaleCase{40, 30, 1, 30}, ScaleCase{40, 30, 1, 1}));

INSTANTIATE_TEST_SUITE_P(Enlargements, AgainstReference,
                         ::testing::Values(ScaleCase{2, 2, 400, 400}, ScaleCase{2, 2, 1000, 3},
                                           ScaleCase{3, 1, 900, 1}, ScaleCase{10, 10, 33, 17},
                                           ScaleCase{1, 1, 5, 5}));

// Enlarging far enough makes the last position reach column W - 1; its right-hand neighbour must be itself,
// not the row's padding or the next row.
TEST(ScaleBitmapBilinear, EnlargementNeverReadsPastTheRow) {
    TBitmap24 source(2, 2);
    source.Fill(255, 255, 255);
    source.ScanLine(0)[0] = source.ScanLine(0)[1] = source.ScanLine(0)[2] = 0;
    int reachedLastColumn = 0;
    for (int w = 300; w <= 1500; ++w) {
        const uint32_t last = static_cast<uint32_t>(w - 1) * static_cast<uint32_t>(MulDiv(1, 65536, w));
        if ((last >> 16) < 1) continue;
        ++reachedLastColumn;
        const TBitmap24 t = Scaled(source, w, 2);
        EXPECT_EQ(t.ScanLine(0)[3 * (w - 1)], 255) << "width " << w;
    }
    EXPECT_GT(reachedLastColumn, 0);
}

TEST(ScaleBitmapBilinear, EmptyCases) {
    TBitmap24 target;
    EXPECT_NO_THROW(ScaleBitmapBilinear(NoiseBitmap(4, 4), target));
    TBitmap24 some(3, 3);
    EXPECT_THROW(ScaleBitmapBilinear(TBitmap24(), some), std::invalid_argument);
}

}  // namespace
