// List files: line splitting, encodings, the size limit, the byte layout written, and failures.
#include "list_file.h"
#include "test_support.h"
#include "windows1252.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <csignal>

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// --- Lines from the file's bytes ---------------------------------------------------------------------

struct LinesCase {
    const char* name;
    QByteArray bytes;
    QStringList lines;
};

class LinesFromBytes : public ::testing::TestWithParam<LinesCase> {};

TEST_P(LinesFromBytes, SplitsAsTheImportReads) {
    EXPECT_EQ(ListFileLinesFromBytes(GetParam().bytes), GetParam().lines);
    // The same from a file, read as the import reads it.
    QTemporaryDir dir;
    WriteBytes(dir.filePath("list.csv"), GetParam().bytes);
    EXPECT_EQ(ReadListFileLines(dir.filePath("list.csv")), GetParam().lines);
    // And read as a stream in small pieces, as the command line reads lists of any size: a break, a
    // character or a byte-order mark cut between two pieces changes nothing.
    for (qint64 chunk : {1, 2, 3, 7}) {
        TListFileReader reader(dir.filePath("list.csv"), chunk);
        QStringList lines;
        while (std::optional<QString> line = reader.NextLine()) lines << *line;
        EXPECT_EQ(lines, GetParam().lines) << "pieces of " << chunk << " bytes";
    }
}

const QByteArray kLong5000 = QByteArray(5000, 'x');

// `text` as UTF-16 after its byte-order mark, followed by `tail` as it stands.
QByteArray Utf16(QStringView text, bool bigEndian, const QByteArray& tail = {}) {
    QStringEncoder encode(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
    return (bigEndian ? "\xfe\xff" : "\xff\xfe") + QByteArray(encode(text)) + tail;
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, LinesFromBytes,
    ::testing::Values(
        LinesCase{"CrLf", "a;1\r\nb;2\r\n", {"a;1", "b;2"}},
        LinesCase{"LfOnly", "a;1\nb;2\n", {"a;1", "b;2"}}, LinesCase{"CrOnly", "a;1\rb;2\r", {"a;1", "b;2"}},
        LinesCase{"Mixed", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        LinesCase{"NoFinalBreak", "a;1\r\nb;2", {"a;1", "b;2"}}, LinesCase{"ZeroBytes", "", {}},
        LinesCase{"OnlyABreak", "\r\n", {""}}, LinesCase{"BlankLineInside", "a\r\n\r\nb\r\n", {"a", "", "b"}},
        // LF CR is two breaks, not one.
        LinesCase{"LfCr", "a\n\rb", {"a", "", "b"}}, LinesCase{"TwoFinalBreaks", "a\r\n\r\n", {"a", ""}},
        LinesCase{"NulInTheMiddle", QByteArray("a;1\r\nb\0c;2\r\nd;3\r\n", 17), {"a;1", "b"}},
        LinesCase{"NulFirst", QByteArray("\0a;1\r\n", 6), {}},
        LinesCase{"NulAfterBreak", QByteArray("a;1\r\n\0", 6), {"a;1"}},
        LinesCase{"Utf8Umlauts", "http://m\xc3\xbcller.de;B\xc3\xa4r\r\n", {u"http://müller.de;Bär"_qs}},
        LinesCase{"Utf8ByteOrderMarkDropped",
                  "\xef\xbb\xbf"
                  "a;1\r\n",
                  {"a;1"}},
        LinesCase{"Windows1252Umlauts",
                  "http://m\xfcller.de;B\xe4r \x80\r\n\xd6l;\xdf\r\n",
                  {u"http://müller.de;Bär €"_qs, u"Öl;ß"_qs}},
        // A multi-byte sequence cut off at the end is not UTF-8: the file is read as Windows-1252.
        LinesCase{"CutUtf8SequenceAtEnd", "a;\xc3", {u"a;Ã"_qs}},
        LinesCase{"Line5000", kLong5000 + "\r\nb;2\r\n", {QString(4096, u'x'), "b;2"}},
        LinesCase{"Line4096Kept", QByteArray(4096, 'y'), {QString(4096, u'y')}},
        // Without a UTF-16 mark, UTF-8 text still ends at the first NUL byte.
        LinesCase{"Utf8ThenNul", QByteArray("B\xc3\xa4r\0\xff\xfe", 7), {u"Bär"_qs}},
        LinesCase{"Utf16LittleEndian",
                  Utf16(u"http://müller.de;Bär\r\nb;2\r\n", false),
                  {u"http://müller.de;Bär"_qs, "b;2"}},
        LinesCase{"Utf16BigEndian", Utf16(u"a;€\nb;\U0001F600", true), {u"a;€"_qs, u"b;\U0001F600"_qs}},
        LinesCase{"Utf16OnlyTheMark", Utf16(u"", false), {}},
        LinesCase{
            "Utf16NulCharacterEndsTheText", Utf16(u"a;1\r\n", false, QByteArray("\0\0b\0", 4)), {"a;1"}},
        // What is no character becomes U+FFFD: a cut-off last byte, surrogates without their partner.
        LinesCase{"Utf16OddByteCount", Utf16(u"a;1", false, "x"), {u"a;1\uFFFD"_qs}},
        LinesCase{"Utf16UnpairedSurrogates",
                  Utf16(u"a", true, QByteArray("\xd8\x3d\0b\xde\x00", 6)),
                  {u"a\uFFFDb\uFFFD"_qs}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LinesFromBytes, LongLineCountsCharactersNotBytes) {
    // 5000 two-byte characters: 4096 characters survive, not 4096 bytes.
    QByteArray bytes;
    for (int i = 0; i < 5000; ++i) bytes += "\xc3\xa4";
    const QStringList lines = ListFileLinesFromBytes(bytes + "\r\nnext");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QString(4096, u'ä'));
    EXPECT_EQ(lines[1], "next");
}

TEST(LinesFromBytes, LongLineNeverCutsACharacterOutsideTheBasicPlane) {
    // 4095 'x' and then U+1F600 (two UTF-16 units): the emoji is the 4096th character and stays whole.
    const QByteArray bytes = QByteArray(4095, 'x') + "\xf0\x9f\x98\x80" + "yyy";
    const QStringList lines = ListFileLinesFromBytes(bytes);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines[0], QString(4095, u'x') + QString::fromUtf8("\xf0\x9f\x98\x80"));
}

// --- Windows-1252 ------------------------------------------------------------------------------------

TEST(Windows1252, AgreesWithThePlatformCodecWhereItHasOne) {
    QStringDecoder platform("Windows-1252");
    if (!platform.isValid()) GTEST_SKIP() << "Qt without the Windows-1252 codec";
    for (int b = 1; b < 256; ++b) {
        if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;  // undefined bytes
        const QByteArray one(1, static_cast<char>(b));
        QStringDecoder d("Windows-1252");
        EXPECT_EQ(DecodeWindows1252(one), d(one)) << "byte " << b;
    }
}

TEST(Windows1252, UndefinedBytesBecomeTheControlOfTheSameValue) {
    EXPECT_EQ(DecodeWindows1252("\x81\x8d\x8f\x90\x9d"),
              QString::fromUtf16(u"\u0081\u008d\u008f\u0090\u009d"));
}

// --- Rows from lines ---------------------------------------------------------------------------------

struct EntryCase {
    const char* line;
    const char* url;
    const char* picture;
};

class EntryFromLine : public ::testing::TestWithParam<EntryCase> {};

TEST_P(EntryFromLine, TakesFieldsZeroAndOne) {
    const WebsiteEntry e = EntryFromListFileLine(QString::fromUtf8(GetParam().line));
    EXPECT_EQ(e.url, QString::fromUtf8(GetParam().url));
    EXPECT_EQ(e.picture, QString::fromUtf8(GetParam().picture));
    EXPECT_FALSE(e.checked);
}

INSTANTIATE_TEST_SUITE_P(Lines, EntryFromLine,
                         ::testing::Values(EntryCase{"a;b", "a", "b"}, EntryCase{"a;b;c", "a", "b"},
                                           EntryCase{";", "", ""}, EntryCase{"", "", ""},
                                           EntryCase{"http://bare.de", "http://bare.de", ""},
                                           EntryCase{" a ; b ", " a ", " b "}, EntryCase{";pic", "", "pic"}));

// --- Files -------------------------------------------------------------------------------------------

class ListFileOnDisk : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

TEST_F(ListFileOnDisk, WritesUtf8WithCrLfAfterEveryLineAndNoByteOrderMark) {
    const QString path = Path("list.csv");
    WriteListFile(path, {{"http://a.de", "a"}, {u"http://bär.de"_qs, u"Bär"_qs}});
    EXPECT_EQ(ReadBytes(path), QByteArray("http://a.de;a\r\nhttp://b\xc3\xa4r.de;B\xc3\xa4r\r\n"));
}

TEST_F(ListFileOnDisk, WritingNoRowsGivesAnEmptyFile) {
    const QString path = Path("empty.csv");
    WriteListFile(path, {});
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST_F(ListFileOnDisk, RoundTripKeepsRowsInOrderUnchecked) {
    const std::vector<WebsiteEntry> rows = {
        {"http://a.de", "a"}, {u"http://ü.de/ä?x=1"_qs, u"Straße"_qs}, {" spaced ", " "}, {"", ""}};
    const QString path = Path("rt.csv");
    WriteListFile(path, rows);
    EXPECT_EQ(ReadListFile(path), rows);
}

TEST_F(ListFileOnDisk, UrlWithSemicolonComesBackCutAndLosesThePictureName) {
    const QString path = Path("semi.csv");
    WriteListFile(path, {{"http://x.de/?a;b", "pic"}});
    EXPECT_EQ(ReadBytes(path), QByteArray("http://x.de/?a;b;pic\r\n"));
    EXPECT_EQ(ReadListFile(path), std::vector<WebsiteEntry>({{"http://x.de/?a", "b"}}));
}

TEST_F(ListFileOnDisk, WritingReplacesALongerExistingFileCompletely) {
    const QString path = Path("old.csv");
    WriteBytes(path, QByteArray(10000, 'o'));
    WriteListFile(path, {{"u", "p"}});
    EXPECT_EQ(ReadBytes(path), QByteArray("u;p\r\n"));
}

TEST_F(ListFileOnDisk, WritingKeepsTheFilesPermissionsAndWritesThroughASymbolicLink) {
    const QString real = Path("real.csv");
    WriteBytes(real, "old\r\n");
    ASSERT_TRUE(QFile::setPermissions(real, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_TRUE(QFile::link(real, Path("link.csv")));
    WriteListFile(Path("link.csv"), {{"u", "p"}});
    EXPECT_TRUE(QFileInfo(Path("link.csv")).isSymLink());
    EXPECT_EQ(ReadBytes(real), QByteArray("u;p\r\n"));
    const QFile::Permissions unixBits = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                        QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFile::permissions(real) & unixBits, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
}

TEST_F(ListFileOnDisk, FailedWriteLeavesTheExistingFileAsItWas) {
    // The process may write no file beyond 1 KiB: the export of 8 KiB fails midway.
    const QString path = Path("keep.csv");
    WriteBytes(path, "old;list\r\n");
    std::vector<WebsiteEntry> rows(1000, WebsiteEntry{"http://long.example", "pic"});
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        WriteListFile(path, rows);
    } catch (const ListFileError& e) {
        message = e.what();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(message, "File \"" + path.toStdString() + "\" cannot be created. File too large");
    EXPECT_EQ(ReadBytes(path), QByteArray("old;list\r\n"));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"keep.csv"}));
}

TEST_F(ListFileOnDisk, SpecialFilesAreRefusedAndStayWhatTheyWere) {
    for (const SpecialFile& special : MakeSpecialFiles(m_dir.path(), QStringLiteral("liste"))) {
        SCOPED_TRACE(special.kind.toStdString());
        try {
            WriteListFile(special.path, {{"u", "p"}});
            ADD_FAILURE() << "no error";
        } catch (const ListFileError& e) {
            EXPECT_EQ(e.Message(), u"File \"%1\" cannot be created. Not a regular file"_qs.arg(special.path));
        }
        EXPECT_TRUE(IsStillSpecial(special));
    }
}

struct FailureCase {
    const char* name;
    bool write;
    const char* relative;  // inside the temporary folder; "" is the folder itself
    const char* format;    // %1: absolute path
};

class ListFileFailure : public ListFileOnDisk, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ListFileFailure, NamesTheFullPathAndTheReason) {
    const FailureCase& c = GetParam();
    const QString path = QString::fromUtf8(c.relative).isEmpty() ? m_dir.path() : Path(c.relative);
    const QString expected = QString::fromUtf8(c.format).arg(path);
    try {
        if (c.write)
            WriteListFile(path, {{"u", "p"}});
        else
            ReadListFileLines(path);
        FAIL() << "no error";
    } catch (const ListFileError& e) {
        EXPECT_EQ(e.Message(), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ListFileFailure,
    ::testing::Values(FailureCase{"ReadMissingFile", false, "nope.csv",
                                  "File %1 cannot be opened. No such file or directory"},
                      FailureCase{"ReadMissingFolder", false, "no/such.csv",
                                  "File %1 cannot be opened. No such file or directory"},
                      FailureCase{"ReadFolder", false, "", "File %1 cannot be opened. Is a directory"},
                      FailureCase{"WriteMissingFolder", true, "no/such.csv",
                                  "File \"%1\" cannot be created. No such file or directory"},
                      FailureCase{"WriteFolder", true, "", "File \"%1\" cannot be created. Is a directory"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListFileOnDisk, RelativePathIsReportedInFull) {
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    try {
        ReadListFileLines("gone.csv");
        ADD_FAILURE() << "no error";
    } catch (const ListFileError& e) {
        EXPECT_EQ(e.Message(), u"File %1 cannot be opened. No such file or directory"_qs.arg(
                                   QDir(m_dir.path()).canonicalPath() + "/gone.csv"));
    }
    QDir::setCurrent(saved);
}

// --- Size limit --------------------------------------------------------------------------------------

TEST_F(ListFileOnDisk, TextUpToTheLimitIsRead) {
    QByteArray bytes(kListFileMaxBytes, 'a');
    for (qsizetype i = 99; i < bytes.size(); i += 100) bytes[i] = '\n';
    const QString path = Path("max.csv");
    WriteBytes(path, bytes);
    EXPECT_EQ(ReadListFileLines(path).size(), kListFileMaxBytes / 100 + (kListFileMaxBytes % 100 ? 1 : 0));
}

TEST_F(ListFileOnDisk, OneByteOverTheLimitFails) {
    const QString path = Path("big.csv");
    WriteBytes(path, QByteArray(kListFileMaxBytes + 1, '\n'));
    try {
        ReadListFileLines(path);
        FAIL() << "no error";
    } catch (const ListFileError& e) {
        EXPECT_EQ(e.Message(), u"Text exceeds the list's capacity"_qs);
    }
}

TEST(LinesFromBytes, MostLinesAreReadAndOneMoreFails) {
    const QByteArray breaks(kListFileMaxLines, '\n');
    EXPECT_EQ(ListFileLinesFromBytes(breaks).size(), kListFileMaxLines);
    for (const QByteArray& more : {breaks + "\n", breaks + "x"}) {
        try {
            ListFileLinesFromBytes(more);
            ADD_FAILURE() << "no error";
        } catch (const ListFileError& e) {
            EXPECT_EQ(e.Message(), u"Text exceeds the list's capacity"_qs);
        }
    }
}

TEST_F(ListFileOnDisk, BytesAfterANulDoNotCountTowardsTheLimit) {
    QByteArray bytes = "a;1\r\n" + QByteArray(1, '\0') + QByteArray(kListFileMaxBytes, 'z');
    const QString path = Path("nul.csv");
    WriteBytes(path, bytes);
    EXPECT_EQ(ReadListFileLines(path), QStringList({"a;1"}));
}

TEST_F(ListFileOnDisk, ZeroByteFileHasNoRows) {
    const QString path = Path("zero.csv");
    WriteBytes(path, "");
    EXPECT_TRUE(ReadListFile(path).empty());
}

}  // namespace
