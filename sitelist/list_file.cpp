// Reading and writing website list files: one row per line, URL ";" picture name.
#include "list_file.h"

#include "split_by_delimiter.h"
#include "windows1252.h"

#include <unistd.h>
#include <QCoreApplication>
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
    if (path == QLatin1String(kStandardInputPath))
        return QCoreApplication::translate("bildoro", "(standard input)");
    return QFileInfo(path).absoluteFilePath();
}

// The system's reason ("No such file or directory") in the texts' language: the common ones are among
// the translated texts under the words the system uses.
QString SystemReason(const QString& reason) {
    return QCoreApplication::translate("bildoro", reason.toUtf8().constData());
}

[[noreturn]] void ThrowCannotOpen(const QString& path, const QString& reason) {
    throw ListFileError(QCoreApplication::translate("bildoro", "File %1 cannot be opened. %2")
                            .arg(DisplayPath(path), SystemReason(reason)));
}

[[noreturn]] void ThrowTooLarge() {
    throw ListFileError(QCoreApplication::translate("bildoro", "Text exceeds the list's capacity"));
}

[[noreturn]] void ThrowCannotCreate(const QString& path, const QString& reason) {
    throw ListFileError(QCoreApplication::translate("bildoro", "File \"%1\" cannot be created. %2")
                            .arg(DisplayPath(path), SystemReason(reason)));
}

// True when the text starts with a UTF-16 byte-order mark: FF FE (little endian) or FE FF (big endian).
bool HasUtf16Mark(QByteArrayView bytes) {
    return bytes.size() >= 2 && ((uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xFE) ||
                                 (uchar(bytes[0]) == 0xFE && uchar(bytes[1]) == 0xFF));
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

TListFileReader::TListFileReader(const QString& path, qint64 chunkBytes)
    : m_path(path), m_file(std::make_unique<QFile>()), m_chunk(std::max<qint64>(1, chunkBytes)) {
    bool opened = false;
    if (path == QLatin1String(kStandardInputPath)) {
        opened = m_file->open(stdin, QIODevice::ReadOnly);
    } else {
        // Qt refuses a folder with its own words; the user gets the system's.
        if (QFileInfo(path).isDir()) ThrowCannotOpen(path, QString::fromLocal8Bit(std::strerror(EISDIR)));
        m_file->setFileName(path);
        opened = m_file->open(QIODevice::ReadOnly);
    }
    if (!opened) ThrowCannotOpen(path, m_file->errorString());
}

TListFileReader::TListFileReader(QByteArrayView bytes, qint64 chunkBytes)
    : m_bytes(bytes), m_chunk(std::max<qint64>(1, chunkBytes)) {}

TListFileReader::~TListFileReader() = default;

std::optional<QString> TListFileReader::NextLine() {
    for (;;) {
        const QChar* p = m_text.constData();
        const qsizetype n = m_text.size();
        qsizetype i = m_textAt;
        if (m_skipLf && i < n) {
            m_skipLf = false;
            if (p[i] == u'\n') m_textAt = ++i;
        }
        while (i < n && p[i] != u'\r' && p[i] != u'\n') ++i;
        // The line's characters up to here, as far as the length limit can still use them.
        if (!m_lineTooLong) {
            const qsizetype room = 2 * kListFileMaxLineLength + 1 - m_line.size();
            m_line += QStringView(p + m_textAt, std::min(i - m_textAt, room));
            m_lineTooLong = i - m_textAt > room;
        }
        if (i < n) {
            m_skipLf = p[i] == u'\r';
            m_textAt = i + 1;
            QString line = LimitLine(m_line);
            m_line.clear();
            m_lineTooLong = false;
            return line;
        }
        m_text.clear();
        m_textAt = 0;
        if (!Fill()) {
            // The last line counts only when it has characters: a final line break starts no further line.
            if (m_line.isEmpty()) return std::nullopt;
            QString line = LimitLine(m_line);
            m_line.clear();
            return line;
        }
    }
}

// The next piece of the input: first what is kept to be read again, then the file's or the bytes' next.
QByteArray TListFileReader::ReadChunk() {
    if (m_replayAt < m_replay.size()) {
        const qsizetype take = std::min<qsizetype>(m_chunk, m_replay.size() - m_replayAt);
        QByteArray chunk = m_replay.sliced(m_replayAt, take);
        m_replayAt += take;
        if (m_replayAt == m_replay.size()) m_replay = QByteArray(), m_replayAt = 0;
        return chunk;
    }
    if (m_file) {
        QByteArray chunk(m_chunk, Qt::Uninitialized);
        const qint64 got = m_file->read(chunk.data(), m_chunk);
        if (got < 0) ThrowCannotOpen(m_path, m_file->errorString());
        chunk.truncate(got);
        return chunk;
    }
    const qint64 take = std::min(m_chunk, m_bytes.size() - m_bytesAt);
    QByteArray chunk = m_bytes.sliced(m_bytesAt, take).toByteArray();
    m_bytesAt += take;
    return chunk;
}

// Once the encoding is chosen, the text is read again from its start: a file or the bytes from their
// beginning, standard input from what was kept of it.
void TListFileReader::Rewind() {
    if (m_file && m_file->isSequential()) {
        m_replay = std::move(m_undecided);
        m_replayAt = 0;
    } else if (m_file) {
        if (!m_file->seek(0)) ThrowCannotOpen(m_path, m_file->errorString());
    } else {
        m_bytesAt = 0;
    }
    m_undecided = QByteArray();
    m_inputEnded = m_textEnded = false;
    m_textBytes = 0;
    m_markLeft = m_encoding == Encoding::Utf16Le || m_encoding == Encoding::Utf16Be ? 2 : 0;
}

// Reads and decodes the next piece into m_text; false once nothing more comes.
bool TListFileReader::Fill() {
    while (!m_inputEnded) {
        QByteArray chunk = ReadChunk();
        m_inputEnded = chunk.isEmpty();
        const bool utf16 = m_encoding == Encoding::Utf16Le || m_encoding == Encoding::Utf16Be;
        if (m_encoding == Encoding::Undecided) {
            // The first two bytes tell UTF-16; other text is checked as UTF-8 while it is read, up to its
            // first NUL byte, its end, or the limit; then it is read again in the encoding chosen.
            if (m_file && m_file->isSequential()) m_undecided += chunk;
            QByteArrayView rest = chunk;
            if (m_head.size() < 2) {
                const qsizetype take = std::min<qsizetype>(2 - m_head.size(), rest.size());
                m_head += rest.first(take);
                if (m_head.size() < 2 && !m_inputEnded) {
                    m_carry += rest.toByteArray();  // checked as UTF-8 with what follows
                    continue;
                }
            }
            if (HasUtf16Mark(m_head)) {
                m_encoding = uchar(m_head[0]) == 0xFE ? Encoding::Utf16Be : Encoding::Utf16Le;
                Rewind();
                continue;
            }
            if (const qsizetype nul = rest.indexOf('\0'); nul >= 0) {
                rest = rest.first(nul);
                m_inputEnded = true;
            }
            m_checked += rest.size();
            const bool utf8 = CheckUtf8(rest, m_inputEnded);
            if (!utf8 || m_inputEnded || m_checked > kListFileMaxBytes) {
                m_encoding = utf8 ? Encoding::Utf8 : Encoding::Windows1252;
                Rewind();
            }
            continue;
        }
        if (utf16) {
            m_textBytes += chunk.size();  // UTF-16 text counts to the end of the file
            const qsizetype mark = std::min<qsizetype>(m_markLeft, chunk.size());
            m_markLeft -= int(mark);
            if (!m_textEnded) Decode(QByteArrayView(chunk).sliced(mark), m_inputEnded);
        } else {
            // Text without a UTF-16 mark ends at its first NUL byte; nothing after it is read.
            if (const qsizetype nul = chunk.indexOf('\0'); nul >= 0) {
                chunk.truncate(nul);
                m_inputEnded = m_textEnded = true;
            }
            m_textBytes += chunk.size();
            Decode(chunk, m_inputEnded);
        }
        if (!m_text.isEmpty()) return true;
    }
    return false;
}

// Whether the text read so far is valid UTF-8, checked piece by piece: a sequence cut off at the end of a
// piece is checked with the next one, or, at the end of the text, counts as invalid.
bool TListFileReader::CheckUtf8(QByteArrayView piece, bool last) {
    const QByteArray text = m_carry + piece.toByteArray();
    qsizetype cut = text.size();
    if (!last) {
        for (qsizetype back = 1; back <= 3 && back <= text.size(); ++back) {
            const uchar b = uchar(text[text.size() - back]);
            if ((b & 0xC0) == 0x80) continue;  // a continuation byte: its sequence starts further back
            const int length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            if (length > back) cut = text.size() - back;
            break;
        }
    }
    m_carry = text.sliced(cut);
    QStringDecoder check(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = check(QByteArrayView(text).first(cut));
    return !check.hasError();
}

void TListFileReader::Decode(QByteArrayView bytes, bool last) {
    switch (m_encoding) {
        case Encoding::Utf8: {
            // The byte-order mark is dropped here, not by the decoder, which misses one that comes in pieces.
            if (!m_utf8)
                m_utf8 = std::make_unique<QStringDecoder>(QStringDecoder::Utf8,
                                                          QStringConverter::Flag::ConvertInitialBom);
            const qsizetype before = m_text.size();
            m_text += (*m_utf8)(bytes);
            if (!m_firstCharSeen && m_text.size() > before) {
                m_firstCharSeen = true;
                if (m_text.at(before) == QChar(0xFEFF)) m_text.remove(before, 1);
            }
            break;
        }
        case Encoding::Windows1252:
            m_text += DecodeWindows1252(bytes);
            break;
        case Encoding::Utf16Le:
        case Encoding::Utf16Be:
            DecodeUtf16(bytes, last);
            break;
        case Encoding::Undecided:
            break;
    }
}

// UTF-16 up to the first NUL character. What is no character becomes U+FFFD: a surrogate without its
// partner, and a last byte without its pair (a file cut off).
void TListFileReader::DecodeUtf16(QByteArrayView bytes, bool last) {
    const bool bigEndian = m_encoding == Encoding::Utf16Be;
    auto put = [this](char16_t unit) {
        const QChar c(unit);
        if (!m_highSurrogate.isNull()) {
            m_text += c.isLowSurrogate() ? m_highSurrogate : QChar(QChar::ReplacementCharacter);
            if (c.isLowSurrogate()) {
                m_text += c;
                m_highSurrogate = QChar();
                return;
            }
            m_highSurrogate = QChar();
        }
        if (c.isHighSurrogate())
            m_highSurrogate = c;
        else
            m_text += c.isSurrogate() ? QChar(QChar::ReplacementCharacter) : c;
    };
    for (qsizetype at = 0; at < bytes.size() && !m_textEnded; ++at) {
        if (m_oddByte < 0) {
            m_oddByte = uchar(bytes[at]);
            continue;
        }
        const uchar first = uchar(m_oddByte), second = uchar(bytes[at]);
        m_oddByte = -1;
        const char16_t unit = bigEndian ? char16_t(first << 8 | second) : char16_t(second << 8 | first);
        if (unit == 0) {
            m_textEnded = true;
            break;
        }
        put(unit);
    }
    if (!last && !m_textEnded) return;
    if (!m_highSurrogate.isNull()) m_text += QChar::ReplacementCharacter;
    m_highSurrogate = QChar();
    if (last && !m_textEnded && m_oddByte >= 0) m_text += QChar::ReplacementCharacter;
    m_oddByte = -1;
}

QStringList ListFileLinesFromBytes(QByteArrayView bytes) {
    TListFileReader reader(bytes, std::max<qsizetype>(bytes.size(), 1));
    QStringList lines;
    while (std::optional<QString> line = reader.NextLine()) {
        if (lines.size() == kListFileMaxLines) ThrowTooLarge();
        lines << *line;
    }
    return lines;
}

QStringList ReadListFileLines(const QString& path) {
    TListFileReader reader(path, kReadChunk);
    QStringList lines;
    while (std::optional<QString> line = reader.NextLine()) {
        if (reader.TextBytes() > kListFileMaxBytes || lines.size() == kListFileMaxLines) ThrowTooLarge();
        lines << *line;
    }
    if (reader.TextBytes() > kListFileMaxBytes) ThrowTooLarge();
    return lines;
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
    // A device, FIFO or socket is neither written through (a FIFO would wait for a reader) nor replaced
    // (others rely on it being what it is).
    if (info.exists() && !info.isFile() && !info.isDir())
        ThrowCannotCreate(path, QCoreApplication::translate("bildoro", "Not a regular file"));
    if (info.isDir()) {
        // Fails with the system's reason.
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
