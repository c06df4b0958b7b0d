// The in-place reduction of a capture: decode, resampling (exact or smooth), the ".$$$" file steps, encode.
#include "thumbnail.h"

#include "jpeg_image.h"
#include "mul_div.h"
#include "smooth_resampler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QSize>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string Quoted(const QString& text) {
    return "\"" + text.toStdString() + "\"";
}

fs::path PathOf(const QString& name) {
    return fs::path(QFile::encodeName(name).toStdString());
}

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

// Stores a failure's text where even that may fail for want of memory; the failure itself is what counts.
void Keep(std::string& where, const char* text) noexcept {
    try {
        where = text;
    } catch (...) {
        where.clear();
    }
}

// A capture as read for its reduction: its size in the file, and its pixels in the form the filter takes
// (the smooth filter's decoded at SmoothDecodeScale).
struct DecodedCapture {
    QSize fileSize;
    TBitmap24 bitmap;  // Exact
    QImage rgb32;      // Smooth
};

bool ReadCapture(DecodedCapture& capture, const QString& path, std::string* why, ThumbnailFilter filter,
                 int width) noexcept {
    // An empty file name leaves the folder, which the reader refuses like any other file it cannot read.
    try {
        TJpegImage jpeg;
        jpeg.LoadFromFile(path);
        capture.fileSize = QSize(jpeg.Width(), jpeg.Height());
        if (filter == ThumbnailFilter::Smooth) {
            jpeg.Scale = static_cast<TJpegImage::TJpegScale>(SmoothDecodeScale(jpeg.Width(), width));
            capture.rgb32 = jpeg.ToRgb32Image();
        } else {
            capture.bitmap = jpeg.ToBitmap();
        }
        return true;
    } catch (const std::exception& error) {
        if (why) Keep(*why, error.what());
    } catch (...) {
        if (why) Keep(*why, "cannot be read");
    }
    return false;
}

}  // namespace

bool LoadJpegBitmap(TBitmap24& bitmap, const QString& folder, const QString& fileName,
                    std::string* why) noexcept {
    DecodedCapture capture;
    if (!ReadCapture(capture, folder + fileName, why, ThumbnailFilter::Exact, 0)) return false;
    bitmap = std::move(capture.bitmap);
    return true;
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

std::optional<ThumbnailFilter> ThumbnailFilterOfText(const QString& text) {
    if (text == u"exact") return ThumbnailFilter::Exact;
    if (text == u"smooth") return ThumbnailFilter::Smooth;
    return std::nullopt;
}

bool IsOneColour(const TBitmap24& picture) {
    if (picture.IsEmpty()) return true;
    const int64_t allowed = OneColourStrayPixels(picture.Width(), picture.Height());
    const uint8_t* first = picture.ScanLine(0);
    int64_t strays = 0;
    for (int y = 0; y < picture.Height(); ++y) {
        const uint8_t* p = picture.ScanLine(y);
        for (int x = 0; x < picture.Width(); ++x, p += 3)
            if (std::abs(int(p[0]) - int(first[0])) > kOneColourNoise ||
                std::abs(int(p[1]) - int(first[1])) > kOneColourNoise ||
                std::abs(int(p[2]) - int(first[2])) > kOneColourNoise) {
                if (++strays > allowed) return false;
            }
    }
    return true;
}

int64_t OneColourStrayPixels(int width, int height) {
    return int64_t(std::max(width, 0)) * std::max(height, 0) / 10000;
}

int SmoothDecodeScale(int fileWidth, int width) {
    if (width < 1) return 1;
    // Halving once more leaves fileWidth / (2 x denominator) pixels, which must stay >= 1.5 x width.
    int denominator = 1;
    while (denominator < 8 && int64_t(fileWidth) >= int64_t(width) * 3 * denominator) denominator *= 2;
    return denominator;
}

ShrinkResult ShrinkJpegToWidth(const QString& fileName, int width, ThumbnailFilter filter, int quality) {
    return ShrinkJpegToWidthWith(fileName, width, SaveJpegBitmap, filter, quality);
}

ShrinkResult ShrinkJpegToWidthWith(const QString& fileName, int width, const SaveJpegStep& save,
                                   ThumbnailFilter filter, int quality) {
    ShrinkResult result;
    const QString folder = FolderOf(fileName), name = FileNameOf(fileName);
    DecodedCapture source;
    if (!ReadCapture(source, folder + name, &result.reason, filter, width)) return result;
    const QSize size = source.fileSize;
    result.width = size.width();
    result.height = size.height();
    if (width >= size.width()) {
        result.outcome = ShrinkResult::Outcome::NotWider;
        return result;
    }
    if (width < 1)
        throw std::invalid_argument("Cannot reduce " + Quoted(fileName) + " to a width of " +
                                    std::to_string(width) +
                                    " pixels: the thumbnail width must be at least 1");

    // A very wide, low picture may round to no rows at all; it still gets one. The size comes from the file,
    // so a scaled decode gives the same thumbnail size as a full one.
    TBitmap24 thumbnail(width, std::max(1, MulDiv(width, size.height(), size.width())));
    // Before any rename, so a failure leaves the capture as it was.
    if (filter == ThumbnailFilter::Smooth)
        ScaleImageSmooth(source.rgb32, thumbnail);
    else
        ScaleBitmapBilinear(source.bitmap, thumbnail);

    const QString temporary = TemporaryNameFor(fileName);
    const bool moved = RenameWithoutReplacing(fileName, temporary);
    bool written = false;
    try {
        written = save(thumbnail, folder, name, quality);
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
        // Only the capture moved aside here is removed: a file of that name that was there before is not
        // ours.
        if (moved) RemoveFileSilently(temporary);
        result.outcome = ShrinkResult::Outcome::Reduced;
        result.width = thumbnail.Width();
        result.height = thumbnail.Height();
        result.blank = IsOneColour(thumbnail);
    } else {
        RenameWithoutReplacing(temporary, fileName);
        result.outcome = ShrinkResult::Outcome::FolderNotMade;
    }
    return result;
}
