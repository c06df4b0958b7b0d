// The fuzzed entry points and the promises they check; see fuzz_entry_points.h.
#include "fuzz_entry_points.h"

#include "jpeg_image.h"
#include "list_file.h"
#include "mul_div.h"
#include "split_by_delimiter.h"
#include "thumbnail.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>

namespace {

void Check(bool condition, const std::string& what) {
    if (!condition) throw FuzzCheckFailure(what);
}

QByteArray Bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

qsizetype CodePoints(const QString& text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count)
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
    return count;
}

// Splitting by `delimiter` cuts `line` at every occurrence found from left to right and loses nothing.
void CheckSplit(const QString& line, const QString& delimiter) {
    const QStringList fields = SplitByDelimiter(line, delimiter);
    Check(!fields.isEmpty(), "SplitByDelimiter gave no field");
    if (delimiter.isEmpty()) {
        Check(fields == QStringList{line}, "an empty delimiter cut the line");
        return;
    }
    Check(fields.join(delimiter) == line, "the fields do not join back into the line");
    for (const QString& field : fields)
        Check(!field.contains(delimiter), "a field still holds the delimiter");
}

// A private folder for the file-based entry points, made once and removed at exit.
const QString& ScratchFolder() {
    static const std::unique_ptr<QTemporaryDir> dir = [] {
        auto made =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/bildoro-fuzz-XXXXXX"));
        if (!made->isValid()) throw std::runtime_error("fuzz setup: cannot make a temporary folder");
        return made;
    }();
    static const QString path = dir->path() + u'/';
    return path;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("fuzz setup: cannot write " + path.toStdString());
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

// The picture of `data` as TJpegImage decodes it, or nothing when it is not an intact JPEG.
std::optional<TBitmap24> DecodeOrNothing(const QByteArray& data) {
    try {
        TJpegImage jpeg;
        jpeg.Quantize236 = false;
        jpeg.LoadFromData(data);
        return jpeg.ToBitmap();
    } catch (const EJpegError&) {
        return std::nullopt;
    }
}

}  // namespace

void FuzzListFile(const uint8_t* data, size_t size) {
    const QByteArray bytes = Bytes(data, size);
    QStringList lines;
    try {
        lines = ListFileLinesFromBytes(bytes);
    } catch (const ListFileError&) {
        Check(bytes.count('\n') + bytes.count('\r') >= kListFileMaxLines, "refused a list of few lines");
        return;
    }
    if (bytes.isEmpty() || bytes.startsWith('\0')) Check(lines.isEmpty(), "no text gave lines");
    for (const QString& line : lines) {
        Check(!line.contains(u'\r') && !line.contains(u'\n'), "a line holds a line break");
        Check(!line.contains(QChar(0)), "a line holds a NUL character");
        Check(CodePoints(line) <= kListFileMaxLineLength, "a line is longer than the limit");
        const WebsiteEntry entry = EntryFromListFileLine(line);
        const QStringList fields = line.split(u';');
        Check(entry.url == fields[0], "the URL is not the first field");
        Check(entry.picture == fields.value(1), "the picture name is not the second field");
        Check(!entry.checked, "a read row is checked");
        CheckSplit(line, QStringLiteral(";"));
    }
    // A delimiter from the input: the last line, cut on the first.
    if (!lines.isEmpty()) CheckSplit(lines.first(), lines.last().left(4));

    // What is written reads back as the same lines, unless the first line itself begins with a byte-order
    // mark (which reading drops, as it must).
    if (lines.isEmpty() || !lines.first().startsWith(QChar(0xFEFF)))
        Check(ListFileLinesFromBytes(ListFileBytes(lines)) == lines, "written lines read back differently");
}

void FuzzJpegImage(const uint8_t* data, size_t size) {
    const QByteArray bytes = Bytes(data, size);
    TJpegImage jpeg;
    jpeg.Quantize236 = false;
    try {
        jpeg.LoadFromData(bytes);
    } catch (const EJpegError&) {
        return;
    }
    Check(jpeg.Width() >= 0 && jpeg.Height() >= 0, "negative header size");
    Check(bytes.isEmpty() || !jpeg.IsEmpty(), "a header without a size was accepted");
    Check(jpeg.SaveToData() == bytes, "the stream read is not the stream kept");

    for (const bool quantize : {false, true}) {
        jpeg.Quantize236 = quantize;
        TBitmap24 bitmap;
        try {
            bitmap = jpeg.ToBitmap();
        } catch (const EJpegError&) {
            continue;
        }
        Check(bitmap.Width() == jpeg.Width() && bitmap.Height() == jpeg.Height(),
              "decoded size differs from the header");
        // Small pictures go through the encoder and back at their odd sizes.
        if (quantize || bitmap.IsEmpty() || int64_t(bitmap.Width()) * bitmap.Height() > 65536) continue;
        TJpegImage again;
        again.ProgressiveEncoding = jpeg.ProgressiveEncoding;
        again.Grayscale = (size & 1) != 0;
        again.Assign(bitmap);
        const std::optional<TBitmap24> round = DecodeOrNothing(again.SaveToData());
        Check(round && round->Width() == bitmap.Width() && round->Height() == bitmap.Height(),
              "a decoded picture did not survive encoding");
    }
}

void FuzzLoadJpegBitmap(const uint8_t* data, size_t size) {
    const QByteArray bytes = Bytes(data, size);
    const QString folder = ScratchFolder();
    const QString name = QStringLiteral("picture.jpg");
    WriteFile(folder + name, bytes);
    TBitmap24 bitmap(3, 2);
    const bool loaded = LoadJpegBitmap(bitmap, folder, name);
    QFile::remove(folder + name);
    const std::optional<TBitmap24> expected = DecodeOrNothing(bytes);
    Check(loaded == expected.has_value(), loaded ? "LoadJpegBitmap read what TJpegImage refuses"
                                                 : "LoadJpegBitmap refused what TJpegImage reads");
    if (loaded) Check(bitmap == *expected, "LoadJpegBitmap decoded another picture");
}

void FuzzShrinkJpeg(const uint8_t* data, size_t size) {
    const QByteArray bytes = Bytes(data, size);
    const QString folder = ScratchFolder();
    const QString path = folder + QStringLiteral("capture.jpg");
    const int width = 1 + static_cast<int>(size % 48);
    WriteFile(path, bytes);

    const std::optional<TBitmap24> before = DecodeOrNothing(bytes);
    const ShrinkResult result = ShrinkJpegToWidth(path, width);
    const QByteArray after = ReadFile(path);
    const QStringList left =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QFile::remove(path);
    Check(left == QStringList{QStringLiteral("capture.jpg")},
          "the folder holds " + left.join(u' ').toStdString() + " instead of the one picture");

    using Outcome = ShrinkResult::Outcome;
    if (!before) {
        Check(result.outcome == Outcome::NotRead, "an unreadable file was not reported as such");
        Check(after == bytes, "an unreadable file was changed");
        return;
    }
    if (width >= before->Width()) {
        Check(result.outcome == Outcome::NotWider, "a narrow picture was not reported as not wider");
        Check(after == bytes, "a picture not wider than the thumbnail was changed");
        Check(result.width == before->Width() && result.height == before->Height(), "wrong size reported");
        return;
    }
    Check(result.outcome == Outcome::Reduced, "a wide picture was not reduced");
    const int height = std::max(1, MulDiv(width, before->Height(), before->Width()));
    const std::optional<TBitmap24> thumbnail = DecodeOrNothing(after);
    Check(thumbnail.has_value(), "the thumbnail is not a valid JPEG");
    Check(thumbnail->Width() == width && thumbnail->Height() == height, "the thumbnail has the wrong size");
    Check(result.width == width && result.height == height, "the reported size is not the thumbnail's");
}
