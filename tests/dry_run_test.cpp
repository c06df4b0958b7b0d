// bildoro-batch --dry-run: the rows and paths it prints, standard input, and an unreadable list.
#include "commands.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Everything written to a temporary stream, as text.
QString Drain(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    QByteArray bytes;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, static_cast<qsizetype>(n));
    std::fclose(f);
    return QString::fromUtf8(bytes);
}

class DryRun : public ::testing::Test {
  protected:
    QString Write(const QByteArray& bytes) {
        const QString path = m_dir.filePath("list.csv");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    int Run(const QString& list, const QString& folder) {
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        const int rc = RunDryRun(list, folder, out, err);
        m_out = Drain(out);
        m_err = Drain(err);
        return rc;
    }
    QTemporaryDir m_dir;
    QString m_out, m_err;
};

TEST_F(DryRun, PrintsUrlPictureAndPathJoinedAsTheyStand) {
    // Lists as people write them: bare addresses (the name is made from host and path, "-2" when taken),
    // blank and "#" lines that are no rows, a name an earlier row writes already.
    const QString list = Write(
        "http://a.de;a\r\nhttp://b.de;b;c\nhttp://bare.de\r\n;\r\nhttp://m\xfc.de;B\xe4r\r\n"
        "http://e.de/\x1b[2J\\;p\tic\x7f\x1b[0m\x07\r\n"
        "\r\n  # comment;x\n \t\nhttps://Example.com:8080/shop/item-7?q=1#top\nhttp://bare.de/\n"
        "file:///home/u/.secret page.html\nhttp://x.de/a;a\n");
    EXPECT_EQ(Run(list, "/out/"), 0);
    // Control characters are escaped, a backslash stays as it is.
    EXPECT_EQ(
        m_out,
        u"http://a.de\ta\t/out//a.jpg\n"
        "http://b.de\tb\t/out//b.jpg\n"
        "http://bare.de\tbare.de\t/out//bare.de.jpg\n"
        "\tpage\t/out//page.jpg\n"
        "http://mü.de\tBär\t/out//Bär.jpg\n"
        "http://e.de/\\x1b[2J\\\tp\\x09ic\\x7f\\x1b[0m\\x07\t/out//p\\x09ic\\x7f\\x1b[0m\\x07.jpg\n"
        "https://Example.com:8080/shop/item-7?q=1#top\texample.com-8080_shop_item-7\t"
        "/out//example.com-8080_shop_item-7.jpg\n"
        "http://bare.de/\tbare.de-2\t/out//bare.de-2.jpg\n"
        "file:///home/u/.secret page.html\thome_u_.secret-page.html\t/out//home_u_.secret-page.html.jpg\n"
        "http://x.de/a\ta\tThe same picture as row 1\n"_qs);
    EXPECT_TRUE(m_err.isEmpty());
}

TEST_F(DryRun, ASameNameIsFoundAmongThousands) {
    QByteArray list;
    for (int i = 0; i < 3000; ++i) list += "http://x/;p" + QByteArray::number(i) + "\n";
    EXPECT_EQ(Run(Write(list + "http://y/;p7\nhttp://y/;./p2999\n"), "o"), 0);
    EXPECT_TRUE(
        m_out.endsWith(u"http://y/\tp7\tThe same picture as row 8\n"
                       "http://y/\t./p2999\tThe same picture as row 3000\n"_qs))
        << qPrintable(m_out.right(200));
}

TEST_F(DryRun, EmptyListPrintsNothing) {
    EXPECT_EQ(Run(Write(""), "out"), 0);
    EXPECT_TRUE(m_out.isEmpty());
}

TEST_F(DryRun, UnreadableListFailsWithTheMessage) {
    const QString missing = m_dir.filePath("nope.csv");
    EXPECT_EQ(Run(missing, "out"), 3);
    EXPECT_TRUE(m_out.isEmpty());
    EXPECT_EQ(m_err, u"bildoro-batch: File %1 cannot be opened. No such file or directory\n"_qs.arg(missing));
}

// The real program reading the list from standard input.
QProcess* StartBatch(const QStringList& args) {
    auto* p = new QProcess;
    p->start(QStringLiteral(BILDORO_BINARY_DIR "/cli/bildoro-batch"), args);
    return p;
}

TEST(DryRunProgram, ReadsStandardInputWithTheSameRules) {
    std::unique_ptr<QProcess> p(StartBatch({"--dry-run", "-", "-o", "pics"}));
    ASSERT_TRUE(p->waitForStarted());
    p->write(QByteArray("a;1\rb;2\n\xc4;3", 11));
    p->closeWriteChannel();
    ASSERT_TRUE(p->waitForFinished(30000));
    EXPECT_EQ(p->exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(p->readAllStandardOutput()),
              u"a\t1\tpics/1.jpg\nb\t2\tpics/2.jpg\nÄ\t3\tpics/3.jpg\n"_qs);
}

TEST(DryRunProgram, StandardInputBeyondTheWindowsLimitIsReadAsAStream) {
    std::unique_ptr<QProcess> p(StartBatch({"--dry-run", "-", "-o", "pics"}));
    ASSERT_TRUE(p->waitForStarted());
    QByteArray block;
    while (block.size() < 1024 * 1024) block += "http://example.org/;p\n";
    const int blocks = 40;  // more than the 32 MiB the window's list takes
    for (int i = 0; i < blocks && p->state() == QProcess::Running; ++i) {
        p->write(block);
        p->waitForBytesWritten(30000);
    }
    p->closeWriteChannel();
    ASSERT_TRUE(p->waitForFinished(60000));
    EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().constData();
    EXPECT_EQ(p->readAllStandardOutput().count('\n'), blocks * block.count('\n'));
}

}  // namespace
