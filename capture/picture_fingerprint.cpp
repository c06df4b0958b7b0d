// The perceptual hash and mean colour of a picture.
#include "picture_fingerprint.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <numbers>

namespace {

constexpr int kGrid = 32;  // the grey grid the cosine transform reads
constexpr int kBand = 8;   // the frequencies kept each way, after the first

// The source pixels of grid cell `cell` along a side of `size` pixels: equal shares, at least one pixel (a
// side shorter than the grid repeats its pixels).
std::pair<int, int> CellSpan(int cell, int size) {
    const int from = int(int64_t(cell) * size / kGrid);
    const int to = int(int64_t(cell + 1) * size / kGrid);
    return {from, std::max(to, from + 1)};
}

// cos((2x + 1) u pi / 64) for the frequencies 1 .. 8 and the grid's positions.
const std::array<std::array<double, kGrid>, kBand + 1>& Cosines() {
    static const auto table = [] {
        std::array<std::array<double, kGrid>, kBand + 1> t{};
        for (int u = 0; u <= kBand; ++u)
            for (int x = 0; x < kGrid; ++x)
                t[u][x] = std::cos((2 * x + 1) * u * std::numbers::pi / (2 * kGrid));
        return t;
    }();
    return table;
}

}  // namespace

TFingerprint PictureFingerprint(const TBitmap24& picture) {
    TFingerprint print;
    const int w = picture.Width(), h = picture.Height();
    if (w <= 0 || h <= 0) return print;
    // Grey per grid cell, as the mean of its pixels; the colour sums of the whole picture beside it, where
    // the cells hold every pixel once (a side shorter than the grid is summed apart).
    std::array<std::pair<int, int>, kGrid> xs;
    for (int cx = 0; cx < kGrid; ++cx) xs[size_t(cx)] = CellSpan(cx, w);
    const bool partitioned = w >= kGrid && h >= kGrid;
    std::array<std::array<double, kGrid>, kGrid> grey{};
    uint64_t sums[3] = {0, 0, 0};
    for (int cy = 0; cy < kGrid; ++cy) {
        const auto [y0, y1] = CellSpan(cy, h);
        uint64_t cells[kGrid] = {};
        for (int y = y0; y < y1; ++y) {
            const uint8_t* row = picture.ScanLine(y);
            for (int cx = 0; cx < kGrid; ++cx) {
                uint64_t cell = 0, b = 0, g = 0, r = 0;
                for (const uint8_t *p = row + 3 * xs[size_t(cx)].first,
                                   *end = row + 3 * xs[size_t(cx)].second;
                     p < end; p += 3) {
                    b += p[0];
                    g += p[1];
                    r += p[2];
                    cell += 114u * p[0] + 587u * p[1] + 299u * p[2];
                }
                cells[cx] += cell;
                if (partitioned) {
                    sums[0] += b;
                    sums[1] += g;
                    sums[2] += r;
                }
            }
        }
        for (int cx = 0; cx < kGrid; ++cx) {
            const auto [x0, x1] = xs[size_t(cx)];
            grey[size_t(cy)][size_t(cx)] = double(cells[cx]) / (1000.0 * double(x1 - x0) * double(y1 - y0));
        }
    }
    if (!partitioned)
        for (int y = 0; y < h; ++y)
            for (const uint8_t *p = picture.ScanLine(y), *end = p + 3 * w; p < end; p += 3)
                for (int k = 0; k < 3; ++k) sums[k] += p[k];
    const uint64_t pixels = uint64_t(w) * uint64_t(h);
    print.blue = uint8_t((sums[0] + pixels / 2) / pixels);
    print.green = uint8_t((sums[1] + pixels / 2) / pixels);
    print.red = uint8_t((sums[2] + pixels / 2) / pixels);
    // The 2-D cosine transform at the kept frequencies: down the columns first, then along the rows.
    const auto& c = Cosines();
    double columns[kBand][kGrid];
    for (int v = 1; v <= kBand; ++v)
        for (int x = 0; x < kGrid; ++x) {
            double sum = 0;
            for (int y = 0; y < kGrid; ++y) sum += c[size_t(v)][size_t(y)] * grey[size_t(y)][size_t(x)];
            columns[v - 1][x] = sum;
        }
    std::array<double, kBand * kBand> coefficients{};
    for (int v = 0; v < kBand; ++v)
        for (int u = 1; u <= kBand; ++u) {
            double sum = 0;
            for (int x = 0; x < kGrid; ++x) sum += c[u][x] * columns[v][x];
            // Below the grey levels' own precision a coefficient is nothing: a picture of one colour gives
            // only such coefficients, and the same hash whatever rounding the machine does.
            coefficients[size_t(v * kBand + u - 1)] = std::abs(sum) < 1e-6 ? 0.0 : sum;
        }
    std::array<double, kBand* kBand> sorted = coefficients;
    std::sort(sorted.begin(), sorted.end());
    const double median = (sorted[31] + sorted[32]) / 2;
    for (size_t k = 0; k < coefficients.size(); ++k)
        if (coefficients[k] > median) print.hash |= uint64_t(1) << (63 - k);
    return print;
}

int HashDistance(uint64_t a, uint64_t b) {
    return std::popcount(a ^ b);
}

QString HashText(uint64_t hash) {
    return QStringLiteral("%1").arg(hash, 16, 16, QLatin1Char('0'));
}

std::optional<uint64_t> HashFromText(const QString& text) {
    if (text.size() != 16) return std::nullopt;
    for (const QChar ch : text)
        if (!((ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f'))) return std::nullopt;
    bool ok = false;
    const uint64_t hash = text.toULongLong(&ok, 16);
    return ok ? std::optional<uint64_t>(hash) : std::nullopt;
}

QString ColourText(const TFingerprint& print) {
    return QStringLiteral("#%1%2%3")
        .arg(print.red, 2, 16, QLatin1Char('0'))
        .arg(print.green, 2, 16, QLatin1Char('0'))
        .arg(print.blue, 2, 16, QLatin1Char('0'));
}

std::optional<TFingerprint> FingerprintFromText(const QString& hash, const QString& colour) {
    const std::optional<uint64_t> bits = HashFromText(hash);
    if (!bits || colour.size() != 7 || colour[0] != u'#') return std::nullopt;
    const std::optional<uint64_t> rgb = HashFromText(QStringLiteral("0000000000") + colour.mid(1));
    if (!rgb) return std::nullopt;
    return TFingerprint{*bits, uint8_t(*rgb >> 16), uint8_t(*rgb >> 8), uint8_t(*rgb)};
}
