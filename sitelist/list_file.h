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
#include <vector>

// Largest readable text in bytes (up to the first NUL byte; UTF-16 text: the whole file) and most lines. They
// protect memory: 32 MiB of text are about half a million ordinary rows, and a file of nothing but line
// breaks stops at 2^20 rows. Beyond either, reading fails with "Text überschreitet Memo-Kapazität".
inline constexpr qint64 kListFileMaxBytes = 32 * 1024 * 1024;
inline constexpr qsizetype kListFileMaxLines = 1024 * 1024;
// Characters (Unicode code points) kept of each line; the rest of a longer line is dropped.
inline constexpr int kListFileMaxLineLength = 4096;
// The path that names standard input.
inline constexpr char kStandardInputPath[] = "-";

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
