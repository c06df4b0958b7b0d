// Reading and writing website list files: one row per line, URL ";" picture name.
#include "list_file.h"

#include "split_by_delimiter.h"
#include "windows1252.h"

#include <unistd.h>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr qint64 kReadChunk = 64 * 1024;

QString DisplayPath(const QString& path) {
    if (path == QLatin1String(kStandardInputPath)) return QStringLiteral("(Standardeingabe)");
    return QFileInfo(path).absoluteFilePath();
}

[[noreturn]] void ThrowCannotOpen(const QString& path, const QString& reason) {
    throw ListFileError(
        QStringLiteral("Datei %1 kann nicht geöffnet werden. %2").arg(DisplayPath(path), reason));
}

[[noreturn]] void ThrowTooLarge() {
    throw ListFileError(QStringLiteral("Text überschreitet Memo-Kapazität"));
}

[[noreturn]] void ThrowCannotCreate(const QString& path, const QString& reason) {
    throw ListFileError(
        QStringLiteral("Datei \"%1\" kann nicht erstellt werden. %2").arg(DisplayPath(path), reason));
}

// True when the text starts with a UTF-16 byte-order mark: FF FE (little endian) or FE FF (big endian).
bool HasUtf16Mark(QByteArrayView bytes) {
    return bytes.size() >= 2 && ((uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xFE) ||
                                 (uchar(bytes[0]) == 0xFE && uchar(bytes[1]) == 0xFF));
}

// UTF-16 text after its byte-order mark, up to the first NUL character. What is no character becomes
// U+FFFD: a surrogate without its partner, and a last byte without its pair (a file cut off).
QString DecodeUtf16(QByteArrayView bytes) {
    const bool bigEndian = uchar(bytes[0]) == 0xFE;
    QString text;
    text.reserve(bytes.size() / 2);
    qsizetype at = 2;
    for (; at + 1 < bytes.size(); at += 2) {
        const uchar first = uchar(bytes[at]), second = uchar(bytes[at + 1]);
        const char16_t unit = bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
        if (unit == 0) break;
        text += QChar(unit);
    }
    if (at + 1 == bytes.size()) text += QChar::ReplacementCharacter;
    QChar* p = text.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (p[i].isHighSurrogate() && i + 1 < text.size() && p[i + 1].isLowSurrogate())
            ++i;
        else if (p[i].isSurrogate())
            p[i] = QChar::ReplacementCharacter;
    }
    return text;
}

// Without a UTF-16 mark the text ends at the first NUL byte and is UTF-8 (an initial byte-order mark is
// dropped), or Windows-1252 when it is not valid UTF-8.
QString DecodeListText(QByteArrayView bytes) {
    if (HasUtf16Mark(bytes)) return DecodeUtf16(bytes);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) bytes = bytes.first(nul);
    // Stateless: a sequence cut off at the end is an error too.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError()) return text;
    return DecodeWindows1252(bytes);
}

// The first kListFileMaxLineLength code points of the line; a surrogate pair is never cut in half.
QString LimitLine(QStringView line) {
    if (line.size() <= kListFileMaxLineLength) return line.toString();
    qsizetype units = 0;
    for (int points = 0; points < kListFileMaxLineLength && units < line.size(); ++points) {
        const bool pair =
            line[units].isHighSurrogate() && units + 1 < line.size() && line[units + 1].isLowSurrogate();
        units += pair ? 2 : 1;
    }
    return line.first(units).toString();
}

// Reads up to the first NUL byte (in UTF-16 text: to the end) or the end, failing beyond the size limit.
// The device is open.
QByteArray ReadText(QFile& file, const QString& path) {
    QByteArray bytes;
    if (!file.isSequential() && file.size() > 0) bytes.reserve(std::min(file.size(), kListFileMaxBytes + 1));
    char chunk[kReadChunk];
    bool utf16 = false;
    for (;;) {
        const qint64 got = file.read(chunk, kReadChunk);
        if (got < 0) ThrowCannotOpen(path, file.errorString());
        if (got == 0) break;
        const void* nul = utf16 ? nullptr : std::memchr(chunk, '\0', static_cast<size_t>(got));
        // The mark's two bytes are no NUL, so by the first NUL both have been read.
        if (nul) utf16 = HasUtf16Mark(bytes.left(2) + QByteArray(chunk, std::min<qint64>(got, 2)));
        if (utf16) nul = nullptr;
        const qint64 useful = nul ? static_cast<const char*>(nul) - chunk : got;
        if (bytes.size() + useful > kListFileMaxBytes) ThrowTooLarge();
        bytes.append(chunk, useful);
        if (nul) break;
    }
    return bytes;
}

// Writes every byte straight to the open file's descriptor. Qt's buffered writing loses the system's
// reason when a write stops halfway (disk full, file size limit), so the reason is taken here.
std::optional<QString> WriteAll(QFileDevice& file, const QByteArray& bytes) {
    const int fd = file.handle();
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return QString::fromLocal8Bit(std::strerror(n < 0 ? errno : EIO));
        p += n;
        left -= n;
    }
    return std::nullopt;
}

}  // namespace

QStringList ListFileLinesFromBytes(QByteArrayView bytes) {
    const QString text = DecodeListText(bytes);
    QStringList lines;
    const auto add = [&lines](QStringView line) {
        if (lines.size() == kListFileMaxLines) ThrowTooLarge();
        lines << LimitLine(line);
    };
    const QChar* p = text.constData();
    const qsizetype n = text.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] != u'\r' && p[i] != u'\n') continue;
        add(QStringView(p + start, i - start));
        if (p[i] == u'\r' && i + 1 < n && p[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    // The last line counts only when it has characters: a final line break starts no further line.
    if (start < n) add(QStringView(p + start, n - start));
    return lines;
}

QStringList ReadListFileLines(const QString& path) {
    QFile file;
    bool opened = false;
    if (path == QLatin1String(kStandardInputPath)) {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        // Qt refuses a folder with its own words; the user gets the system's.
        if (QFileInfo(path).isDir()) ThrowCannotOpen(path, QString::fromLocal8Bit(std::strerror(EISDIR)));
        file.setFileName(path);
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened) ThrowCannotOpen(path, file.errorString());
    return ListFileLinesFromBytes(ReadText(file, path));
}

WebsiteEntry EntryFromListFileLine(const QString& line) {
    const QStringList fields = SplitByDelimiter(line, QStringLiteral(";"));
    return {fields[0], fields.value(1), false};
}

std::vector<WebsiteEntry> ReadListFile(const QString& path) {
    const QStringList lines = ReadListFileLines(path);
    std::vector<WebsiteEntry> rows;
    rows.reserve(lines.size());
    for (const QString& line : lines) rows.push_back(EntryFromListFileLine(line));
    return rows;
}

QString ListFileLine(const WebsiteEntry& entry) {
    return entry.url + u';' + entry.picture;
}

QByteArray ListFileBytes(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += line.toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

void WriteListFileLines(const QString& path, const QStringList& lines) {
    const QByteArray bytes = ListFileBytes(lines);
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        // A device or pipe cannot be replaced by a new file; it takes the bytes as they come. A folder
        // fails here with the system's reason.
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            ThrowCannotCreate(path, file.errorString());
        if (const auto reason = WriteAll(file, bytes)) ThrowCannotCreate(path, *reason);
        return;
    }
    // A new file beside the old one, renamed over it once complete; in a folder where no new file can be
    // made, the existing file is overwritten directly.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) ThrowCannotCreate(path, file.errorString());
    if (const auto reason = WriteAll(file, bytes)) ThrowCannotCreate(path, *reason);
    if (!file.commit()) ThrowCannotCreate(path, file.errorString());
}

void WriteListFile(const QString& path, const std::vector<WebsiteEntry>& rows) {
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(rows.size()));
    for (const WebsiteEntry& row : rows) lines << ListFileLine(row);
    WriteListFileLines(path, lines);
}
