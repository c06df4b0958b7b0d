// The in-place reduction of a capture to a thumbnail, and the routines it is built from.
#pragma once

#include "bilinear_resampler.h"
#include "bitmap24.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Decodes folder + fileName (joined as they stand) into `bitmap`. True when decoded; false for an empty file
// name, a missing or unreadable file, or anything that is not an intact JPEG, with the JPEG reader's own
// message of why left in *why when given. Never throws.
bool LoadJpegBitmap(TBitmap24& bitmap, const QString& folder, const QString& fileName,
                    std::string* why = nullptr) noexcept;

// Writes `bitmap` as a JPEG of `quality` (1..100) to folder + fileName, creating missing folder levels first.
// False, with nothing written, when the folder cannot be made; throws std::runtime_error for an empty folder
// text, a file that cannot be created or written, or an encoder failure (the file may then be partial).
bool SaveJpegBitmap(const TBitmap24& bitmap, const QString& folder, const QString& fileName, int quality);

// Deletes one file permanently, without asking. True when the file was deleted.
bool RemoveFileSilently(const QString& fileName) noexcept;

// The parts of a full file name: the folder is everything up to and including the last "/" (empty when there
// is none), the file name the rest. TemporaryNameFor replaces the extension (from the last "." after the last
// "/") by ".$$$", or appends ".$$$" when there is none: /out/news.home.jpg -> /out/news.home.$$$.
QString FolderOf(const QString& fullName);
QString FileNameOf(const QString& fullName);
QString TemporaryNameFor(const QString& fullName);

// Renames a file only when nothing has the new name yet; never replaces a file. True when renamed.
bool RenameWithoutReplacing(const QString& from, const QString& to) noexcept;

// True when the picture is almost one colour, a page that drew nothing: every pixel is within
// kOneColourNoise steps of the first pixel in each channel (JPEG noise), except at most
// OneColourStrayPixels of them (a text caret, a stray dot; far fewer than a word of text). An empty
// picture counts as one colour.
constexpr int kOneColourNoise = 6;
int64_t OneColourStrayPixels(int width, int height);  // one in 10 000 pixels, rounded down
bool IsOneColour(const TBitmap24& picture);

// The JPEG quality of a thumbnail unless a run asks for another.
constexpr int kThumbnailQuality = 75;

// How a capture is reduced. Exact is the program's own bilinear resampler, byte for byte (the default
// everywhere); Smooth is the anti-aliased reduction (ScaleImageSmooth), for legible text on thumbnails.
enum class ThumbnailFilter { Exact, Smooth };

// The filter named "exact" or "smooth" (as written on the command line); nothing for any other text.
std::optional<ThumbnailFilter> ThumbnailFilterOfText(const QString& text);

// The smooth filter's decoder scale denominator (1, 2, 4 or 8) for reducing a picture `fileWidth` pixels
// wide to `width`: the largest that leaves the decoded picture at least one and a half times as wide as the
// thumbnail, so the decoder's scaled transform does the bulk of the work (and most of the time goes) while
// the filter still has pixels to average.
int SmoothDecodeScale(int fileWidth, int width);

// What ShrinkJpegToWidth did; callers in the batch run may ignore it.
struct ShrinkResult {
    enum class Outcome {
        NotRead,        // the file could not be decoded; nothing touched
        NotWider,       // the picture is not wider than the thumbnail width; file unchanged
        FolderNotMade,  // the folder could not be made; the capture keeps its name and size
        Reduced,        // the file now holds the thumbnail
    };
    Outcome outcome = Outcome::NotRead;
    int width = 0;  // size of the picture in the file afterwards (0 x 0 when not read)
    int height = 0;
    bool blank = false;  // Reduced: the thumbnail shows one colour only
    std::string reason;  // NotRead: why, in the JPEG reader's own words
};

// Reduces the JPEG file `fileName` in place to `width` pixels (height in proportion, by MulDiv, at least 1)
// with `filter`, written at quality 75; both filters give the same size and take the same file steps. While
// the thumbnail is written the capture waits under TemporaryNameFor(fileName) and is deleted afterwards.
// Nothing happens when the file cannot be read or is not wider than `width`. Throws std::invalid_argument for
// a width below 1 (file untouched), and std::runtime_error when writing the thumbnail fails: the partial file
// is then removed and the capture has its own name back.
ShrinkResult ShrinkJpegToWidth(const QString& fileName, int width,
                               ThumbnailFilter filter = ThumbnailFilter::Exact,
                               int quality = kThumbnailQuality);

// The writing step of ShrinkJpegToWidth, replaceable so the recovery paths can be exercised.
using SaveJpegStep =
    std::function<bool(const TBitmap24&, const QString& folder, const QString& name, int quality)>;
ShrinkResult ShrinkJpegToWidthWith(const QString& fileName, int width, const SaveJpegStep& save,
                                   ThumbnailFilter filter = ThumbnailFilter::Exact,
                                   int quality = kThumbnailQuality);
