// Reading and writing website list files: one row per line, URL ";" picture name.
//
// Written: UTF-8 without byte-order mark, every line (the last one too) ended by CR LF.
// Read: lines end at CR LF, a lone CR or a lone LF; a final line break adds no line; a 0-byte file has no
// lines; each line keeps at most its first 4096 characters. A file that starts with a UTF-16 byte-order mark
// (FF FE little endian, FE FF big endian: Windows "Unicode" text) is UTF-16 up to its first NUL character; a
// surrogate without its partner and a last odd byte each become U+FFFD. Any other file's text ends at its
// first NUL byte and is UTF-8 (an initial byte-order mark is dropped), or Windows-1252 when it is not valid
// UTF-8.
#pragma once

#include "list_file_error.h"
#include "website_entry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

class QFile;
class QStringDecoder;

// Largest readable text in bytes (up to the first NUL byte; UTF-16 text: the whole file) and most lines. They
// protect memory: 32 MiB of text are about half a million ordinary rows, and a file of nothing but line
// breaks stops at 2^20 rows. Beyond either, reading fails with "Text überschreitet Memo-Kapazität".
inline constexpr qint64 kListFileMaxBytes = 32 * 1024 * 1024;
inline constexpr qsizetype kListFileMaxLines = 1024 * 1024;
// Characters (Unicode code points) kept of each line; the rest of a longer line is dropped.
inline constexpr int kListFileMaxLineLength = 4096;
// The path that names standard input.
inline constexpr char kStandardInputPath[] = "-";

// Reads list-file text line by line by the rules above, holding only what the current line needs: lists of
// any size. The choice between UTF-8 and Windows-1252 is made on the text up to kListFileMaxBytes (the whole
// text of any list the window can import); in a longer text, a later byte that is no UTF-8 becomes U+FFFD.
class TListFileReader {
  public:
    // Reads the file at `path` ("-": standard input). Throws ListFileError "Datei %s kann nicht geöffnet
    // werden. %s" (absolute path, system reason) when it cannot be opened.
    explicit TListFileReader(const QString& path, qint64 chunkBytes = 64 * 1024);
    // Reads `bytes` (not copied: they must outlive the reader).
    explicit TListFileReader(QByteArrayView bytes, qint64 chunkBytes = 64 * 1024);
    ~TListFileReader();
    TListFileReader(const TListFileReader&) = delete;
    TListFileReader& operator=(const TListFileReader&) = delete;

    // The next line, or std::nullopt after the last. Throws ListFileError "Datei %s kann nicht geöffnet
    // werden. %s" when reading fails.
    std::optional<QString> NextLine();
    // Bytes of text read so far: up to the first NUL byte, in UTF-16 text all of them.
    qint64 TextBytes() const { return m_textBytes; }

  private:
    enum class Encoding { Undecided, Utf16Le, Utf16Be, Utf8, Windows1252 };
    QByteArray ReadChunk();
    void Rewind();
    bool Fill();
    bool CheckUtf8(QByteArrayView piece, bool last);
    void Decode(QByteArrayView bytes, bool last);
    void DecodeUtf16(QByteArrayView bytes, bool last);

    QString m_path;
    std::unique_ptr<QFile> m_file;
    QByteArrayView m_bytes;
    qint64 m_bytesAt = 0;
    qint64 m_chunk;
    bool m_inputEnded = false;
    bool m_textEnded = false;  // a NUL ended the text: what follows does not count
    qint64 m_textBytes = 0;
    Encoding m_encoding = Encoding::Undecided;
    QByteArray m_head;       // the first two bytes, for the UTF-16 mark
    qint64 m_checked = 0;    // bytes checked as UTF-8 before the encoding was chosen
    QByteArray m_carry;      // the start of a UTF-8 sequence cut off at the end of the piece checked last
    QByteArray m_undecided;  // standard input read before the encoding was chosen, read again after
    QByteArray m_replay;
    qsizetype m_replayAt = 0;
    int m_markLeft = 0;  // bytes of the UTF-16 mark not yet passed over
    std::unique_ptr<QStringDecoder> m_utf8;
    bool m_firstCharSeen = false;  // UTF-8: whether an initial byte-order mark can still come
    int m_oddByte = -1;            // UTF-16: the first byte of a unit whose second has not come yet
    QChar m_highSurrogate;         // UTF-16: a high surrogate waiting for its partner
    QString m_text;                // decoded, not yet split
    qsizetype m_textAt = 0;
    QString
        m_line;  // the current line's start (at most kListFileMaxLineLength code points and one more unit)
    bool m_lineTooLong = false;
    bool m_lineStarted = false;
    bool m_skipLf = false;  // a CR ended the last line: a LF right after it belongs to that break
};

// The lines of list-file text, decoded and split by the rules above. Throws ListFileError
// "Text überschreitet Memo-Kapazität" beyond kListFileMaxLines lines (the byte limit is checked while
// reading, not here).
QStringList ListFileLinesFromBytes(QByteArrayView bytes);

// The whole file at `path` ("-": standard input, read to its end) as lines.
// Throws ListFileError "Datei %s kann nicht geöffnet werden. %s" (absolute path, system reason) when it
// cannot be opened or read, and "Text überschreitet Memo-Kapazität" when its text exceeds kListFileMaxBytes
// or kListFileMaxLines.
QStringList ReadListFileLines(const QString& path);

// The row of one line: field 0 is the URL, field 1 the picture name (empty when the line has no ";"),
// later fields are dropped; nothing is trimmed. The row is unchecked.
WebsiteEntry EntryFromListFileLine(const QString& line);

// ReadListFileLines, each line made a row. Throws as ReadListFileLines.
std::vector<WebsiteEntry> ReadListFile(const QString& path);

// The line of a row: URL ";" picture name, as they stand (a ";" inside them is not escaped).
QString ListFileLine(const WebsiteEntry& entry);

// The bytes of a file holding `lines`: UTF-8, each line followed by CR LF.
QByteArray ListFileBytes(const QStringList& lines);

// Writes `lines` to `path`, replacing what the file held. An existing regular file is replaced only once
// the new contents are completely written, so a failed export leaves it as it was; a file that is not a
// regular file (a device, a pipe) is written directly. Throws ListFileError
// "Datei \"%s\" kann nicht erstellt werden. %s" (absolute path, system reason) on any failure.
void WriteListFileLines(const QString& path, const QStringList& lines);

// WriteListFileLines with the line of every row, in order.
void WriteListFile(const QString& path, const std::vector<WebsiteEntry>& rows);
