// The in-place reduction of a capture: decode, bilinear resampling, the ".$$$" file steps, encode.
#include "thumbnail.h"

#include "jpeg_image.h"
#include "mul_div.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kThumbnailQuality = 75;
// A 16.16 position reaches 65535 plus a fraction.
constexpr int kMaxSide = 65536;

std::string Quoted(const QString& text) {
    return "\"" + text.toStdString() + "\"";
}

fs::path PathOf(const QString& name) {
    return fs::path(QFile::encodeName(name).toStdString());
}

// One target column's source pixels and horizontal fraction; the same for every row.
struct ColumnTap {
    uint32_t left;   // byte offset of source column t
    uint32_t right;  // byte offset of column t + 1 (t itself at the right edge)
    uint32_t z;      // fraction of the way from t to t + 1, in 1/65536
};

// Makes sure the folder exists, creating missing levels. An empty text is an error, as it names no folder.
bool ForceFolder(const QString& folder, const QString& fileName) {
    if (folder.isEmpty())
        throw std::runtime_error("Cannot write " + Quoted(fileName) + ": no folder given (I/O error 3)");
    QString dir = folder;
    while (dir.size() > 1 && dir.endsWith(u'/')) dir.chop(1);
    std::error_code ec;
    const fs::path path = PathOf(dir);
    if (fs::is_directory(path, ec)) return true;
    fs::create_directories(path, ec);
    return !ec && fs::is_directory(path, ec);
}

}  // namespace

namespace {

// One target row from source rows r0 (weight a) and r1 (weight b); a + b = 65537.
void ScaleRowScalar(const uint8_t* r0, const uint8_t* r1, uint32_t a, uint32_t b, const ColumnTap* taps,
                    int count, uint8_t* out) {
    for (int x = 0; x < count; ++x, out += 3) {
        const ColumnTap& tap = taps[x];
        // MulDiv(z, a, 65536) for these non-negative operands; z x a + 32768 < 2^32.
        const uint32_t w2 = (tap.z * a + 32768) >> 16, w1 = a - w2;
        const uint32_t w4 = (tap.z * b + 32768) >> 16, w3 = b - w4;
        const uint8_t* const p0 = r0 + tap.left;
        const uint8_t* const p1 = r0 + tap.right;
        const uint8_t* const q0 = r1 + tap.left;
        const uint8_t* const q1 = r1 + tap.right;
        // At most (255 x 65537) >> 16 = 255: always fits the byte.
        out[2] = static_cast<uint8_t>((p0[2] * w1 + p1[2] * w2 + q0[2] * w3 + q1[2] * w4) >> 16);
        out[1] = static_cast<uint8_t>((p0[1] * w1 + p1[1] * w2 + q0[1] * w3 + q1[1] * w4) >> 16);
        out[0] = static_cast<uint8_t>((p0[0] * w1 + p1[0] * w2 + q0[0] * w3 + q1[0] * w4) >> 16);
    }
}

#if defined(__x86_64__) || defined(__i386__)
#define BILDORO_HAVE_SSE41_KERNEL 1

// The same arithmetic with the three bytes of a pixel side by side in 32-bit lanes: identical results, about
// twice as fast. Loads 4 bytes per pixel, which TBitmap24's spare bytes keep inside the allocation.
__attribute__((target("sse4.1"))) inline __m128i PixelLanes(const uint8_t* pixel) {
    uint32_t bytes;
    std::memcpy(&bytes, pixel, 4);
    return _mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int>(bytes)));
}

__attribute__((target("sse4.1"))) void ScaleRowSse41(const uint8_t* r0, const uint8_t* r1, uint32_t a,
                                                     uint32_t b, const ColumnTap* taps, int count,
                                                     uint8_t* out) {
    for (int x = 0; x < count; ++x, out += 3) {
        const ColumnTap& tap = taps[x];
        const uint32_t w2 = (tap.z * a + 32768) >> 16, w1 = a - w2;
        const uint32_t w4 = (tap.z * b + 32768) >> 16, w3 = b - w4;
        const __m128i top =
            _mm_add_epi32(_mm_mullo_epi32(PixelLanes(r0 + tap.left), _mm_set1_epi32(int(w1))),
                          _mm_mullo_epi32(PixelLanes(r0 + tap.right), _mm_set1_epi32(int(w2))));
        const __m128i bottom =
            _mm_add_epi32(_mm_mullo_epi32(PixelLanes(r1 + tap.left), _mm_set1_epi32(int(w3))),
                          _mm_mullo_epi32(PixelLanes(r1 + tap.right), _mm_set1_epi32(int(w4))));
        __m128i value = _mm_srli_epi32(_mm_add_epi32(top, bottom), 16);
        value = _mm_packs_epi32(value, value);
        value = _mm_packus_epi16(value, value);
        const uint32_t pixel = static_cast<uint32_t>(_mm_cvtsi128_si32(value));
        std::memcpy(out, &pixel, 2);
        out[2] = static_cast<uint8_t>(pixel >> 16);
    }
}
#endif

using RowKernel = void (*)(const uint8_t*, const uint8_t*, uint32_t, uint32_t, const ColumnTap*, int,
                           uint8_t*);

RowKernel ChooseKernel(ResamplerKernel kernel) {
#ifdef BILDORO_HAVE_SSE41_KERNEL
    static const bool haveSse41 = __builtin_cpu_supports("sse4.1");
    if (kernel == ResamplerKernel::Automatic && haveSse41) return ScaleRowSse41;
#else
    (void)kernel;
#endif
    return ScaleRowScalar;
}

}  // namespace

void ScaleBitmapBilinear(const TBitmap24& source, TBitmap24& target) {
    ScaleBitmapBilinear(source, target, ResamplerKernel::Automatic);
}

void ScaleBitmapBilinear(const TBitmap24& source, TBitmap24& target, ResamplerKernel kernel) {
    const int W = source.Width(), H = source.Height();
    const int w = target.Width(), h = target.Height();
    if (target.IsEmpty()) return;
    if (source.IsEmpty())
        throw std::invalid_argument("Cannot resample an empty picture to " + std::to_string(w) + " x " +
                                    std::to_string(h));
    if (W == w && H == h) {
        target = source;
        return;
    }
    if (std::max({W, H, w, h}) > kMaxSide)
        throw std::invalid_argument("Cannot resample " + std::to_string(W) + " x " + std::to_string(H) +
                                    " to " + std::to_string(w) + " x " + std::to_string(h) +
                                    ": sides are limited to 65536 pixels");

    // With one column or row the step is never added, so its value (MulDiv's -1 on overflow) does not matter.
    const uint32_t xstep = static_cast<uint32_t>(MulDiv(W - 1, 65536, w));
    const uint32_t ystep = static_cast<uint32_t>(MulDiv(H - 1, 65536, h));

    std::vector<ColumnTap> taps(static_cast<size_t>(w));
    uint32_t sx = 0;
    for (ColumnTap& tap : taps) {
        // Clamping only matters when enlarging: a reduction never reaches past column W - 2.
        const uint32_t t = std::min<uint32_t>(sx >> 16, static_cast<uint32_t>(W - 1));
        tap.left = t * 3;
        tap.right = std::min<uint32_t>(t + 1, static_cast<uint32_t>(W - 1)) * 3;
        tap.z = sx & 0xFFFF;
        sx += xstep;
    }

    const RowKernel scaleRow = ChooseKernel(kernel);
    uint8_t* out = target.ScanLine(0);
    const std::ptrdiff_t rowDistance = h > 1 ? target.ScanLine(1) - out : 0;  // measured, not assumed
    uint32_t sy = 0;
    for (int y = 0; y < h; ++y, sy += ystep, out += rowDistance) {
        const int iy = std::min(static_cast<int>(sy >> 16), H - 1);
        const uint8_t* const r0 = source.ScanLine(iy);
        const uint8_t* const r1 =
            iy < H - 1 ? source.ScanLine(iy + 1) : r0;  // the last row pairs with itself
        // Row weights total 65537, so a uniform colour c gives (c x 65537) >> 16 = c exactly.
        const uint32_t a = ((~sy) & 0xFFFF) + 1;
        const uint32_t b = (sy & 0xFFFF) + 1;
        scaleRow(r0, r1, a, b, taps.data(), w, out);
    }
}

bool LoadJpegBitmap(TBitmap24& bitmap, const QString& folder, const QString& fileName) noexcept {
    if (fileName.isEmpty()) return false;
    try {
        TJpegImage jpeg;
        jpeg.LoadFromFile(folder + fileName);
        bitmap = jpeg.ToBitmap();
        return true;
    } catch (...) {
        return false;
    }
}

bool SaveJpegBitmap(const TBitmap24& bitmap, const QString& folder, const QString& fileName, int quality) {
    if (!ForceFolder(folder, fileName)) return false;
    TJpegImage jpeg;
    jpeg.Assign(bitmap);
    jpeg.CompressionQuality = quality;
    jpeg.SaveToFile(folder + fileName);
    return true;
}

bool RemoveFileSilently(const QString& fileName) noexcept {
    std::error_code ec;
    return fs::remove(PathOf(fileName), ec) && !ec;
}

QString FolderOf(const QString& fullName) {
    return fullName.left(fullName.lastIndexOf(u'/') + 1);
}

QString FileNameOf(const QString& fullName) {
    return fullName.mid(fullName.lastIndexOf(u'/') + 1);
}

QString TemporaryNameFor(const QString& fullName) {
    const qsizetype dot = fullName.lastIndexOf(u'.');
    const qsizetype stem = dot > fullName.lastIndexOf(u'/') ? dot : fullName.size();
    return fullName.left(stem) + QStringLiteral(".$$$");
}

bool RenameWithoutReplacing(const QString& from, const QString& to) noexcept {
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    // The file system has no no-replace rename: a hard link fails just as well when the name is taken.
    if (::link(source.constData(), target.constData()) == 0) {
        if (::unlink(source.constData()) == 0) return true;
        ::unlink(target.constData());
        return false;
    }
    if (errno == EEXIST) return false;
    // No hard links either (FAT and the like): look, then move.
    struct stat st;
    if (::lstat(target.constData(), &st) == 0 || errno != ENOENT) return false;
    return std::rename(source.constData(), target.constData()) == 0;
}

ShrinkResult ShrinkJpegToWidth(const QString& fileName, int width) {
    return ShrinkJpegToWidthWith(fileName, width, SaveJpegBitmap);
}

ShrinkResult ShrinkJpegToWidthWith(const QString& fileName, int width, const SaveJpegStep& save) {
    ShrinkResult result;
    const QString folder = FolderOf(fileName), name = FileNameOf(fileName);
    TBitmap24 source;
    if (!LoadJpegBitmap(source, folder, name)) return result;
    result.width = source.Width();
    result.height = source.Height();
    if (width >= source.Width()) {
        result.outcome = ShrinkResult::Outcome::NotWider;
        return result;
    }
    if (width < 1)
        throw std::invalid_argument("Cannot reduce " + Quoted(fileName) + " to a width of " +
                                    std::to_string(width) +
                                    " pixels: the thumbnail width must be at least 1");

    // A very wide, low picture may round to no rows at all; it still gets one.
    TBitmap24 thumbnail(width, std::max(1, MulDiv(width, source.Height(), source.Width())));
    ScaleBitmapBilinear(source, thumbnail);  // before any rename, so a failure leaves the capture as it was

    const QString temporary = TemporaryNameFor(fileName);
    const bool moved = RenameWithoutReplacing(fileName, temporary);
    bool written = false;
    try {
        written = save(thumbnail, folder, name, kThumbnailQuality);
    } catch (const std::exception& error) {
        // No row may end with a half-written picture: the capture takes the place of the partial file.
        std::string outcome;
        if (moved) {
            std::error_code ec;
            fs::rename(PathOf(temporary), PathOf(fileName), ec);
            outcome = ec ? "; the capture remains as " + Quoted(temporary) + " (" + ec.message() + ")"
                         : "; the capture keeps its name";
        } else {
            // The capture was written over directly (the temporary name was taken). Whatever is left is
            // removed unless it is still an intact picture.
            TBitmap24 probe;
            if (!LoadJpegBitmap(probe, folder, name) && RemoveFileSilently(fileName))
                outcome = "; the partial file was removed";
        }
        throw std::runtime_error(std::string(error.what()) + outcome);
    }
    if (written) {
        RemoveFileSilently(temporary);
        result.outcome = ShrinkResult::Outcome::Reduced;
        result.width = thumbnail.Width();
        result.height = thumbnail.Height();
    } else {
        RenameWithoutReplacing(temporary, fileName);
        result.outcome = ShrinkResult::Outcome::FolderNotMade;
    }
    return result;
}
