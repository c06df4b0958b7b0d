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
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kThumbnailQuality = 75;

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

}  // namespace

bool LoadJpegBitmap(TBitmap24& bitmap, const QString& folder, const QString& fileName,
                    std::string* why) noexcept {
    // An empty file name leaves the folder, which the reader refuses like any other file it cannot read.
    try {
        TJpegImage jpeg;
        jpeg.LoadFromFile(folder + fileName);
        bitmap = jpeg.ToBitmap();
        return true;
    } catch (const std::exception& error) {
        if (why) Keep(*why, error.what());
    } catch (...) {
        if (why) Keep(*why, "cannot be read");
    }
    return false;
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

bool IsOneColour(const TBitmap24& picture) {
    if (picture.IsEmpty()) return true;
    constexpr int kNoise = 6;
    const uint8_t* first = picture.ScanLine(0);
    for (int y = 0; y < picture.Height(); ++y) {
        const uint8_t* p = picture.ScanLine(y);
        for (int i = 0; i < 3 * picture.Width(); ++i)
            if (std::abs(int(p[i]) - int(first[i % 3])) > kNoise) return false;
    }
    return true;
}

ShrinkResult ShrinkJpegToWidthWith(const QString& fileName, int width, const SaveJpegStep& save) {
    ShrinkResult result;
    const QString folder = FolderOf(fileName), name = FileNameOf(fileName);
    TBitmap24 source;
    if (!LoadJpegBitmap(source, folder, name, &result.reason)) return result;
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
