// bildoro-batch as a user runs it: exit status, result lines, parallel pages, and its clear messages.
#include "batch_process.h"
#include "local_http_server.h"
#include "test_pages.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

class BatchCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* c : {"red", "green", "blue", "yellow", "black", "white"})
            server.AddRoute(QStringLiteral("/") + c, ColourPage(c));
    }

    QString WriteList(const QStringList& lines) {
        const QString path = dir.path() + QStringLiteral("/list.csv");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        for (const QString& l : lines) f.write((l + QStringLiteral("\r\n")).toUtf8());
        return path;
    }

    LocalHttpServer server;
    QTemporaryDir dir;
};

TEST_F(BatchCliTest, ParallelPagesWriteEveryRow) {
    QStringList lines;
    for (const char* c : {"red", "green", "blue", "yellow", "black", "white"})
        lines << server.Url(QStringLiteral("/") + c) + u';' + QString::fromLatin1(c);
    const QString out = dir.path() + QStringLiteral("/new/pics");  // made when missing
    const BatchProcess r = RunBatchProcess(
        {WriteList(lines), QStringLiteral("-o"), out, QStringLiteral("--jobs"), QStringLiteral("3")});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.out + r.err);
    EXPECT_EQ(r.out.count(QStringLiteral("ok: ")), 6);
    EXPECT_TRUE(r.out.contains(QStringLiteral("6 rows: 6 ok, 0 failed")));
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 6);
    EXPECT_TRUE(QDir(out).entryList({QStringLiteral("*.$$$")}, QDir::Files).isEmpty());
}

TEST_F(BatchCliTest, FailedRowsGiveExitStatusOneAndReasons) {
    const QString list = WriteList({server.Url(QStringLiteral("/red")) + QStringLiteral(";a"),
                                    server.Url(QStringLiteral("/blue")) + QStringLiteral(";b")});
    const BatchProcess r = RunBatchProcess(
        {list, QStringLiteral("-o"), dir.path(), QStringLiteral("--width"), QStringLiteral("x1")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.count(QStringLiteral("failed: ")), 2) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("'x1' ist kein gültiger Integerwert"))) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("2 rows: 0 ok, 2 failed")));
}

TEST_F(BatchCliTest, ClearMessagesForBadInput) {
    const QString list = WriteList({server.Url(QStringLiteral("/red")) + QStringLiteral(";a")});
    struct Case {
        QStringList args;
        int exitCode;
        QString message;
    };
    QFile blocker(dir.path() + QStringLiteral("/file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const Case cases[] = {
        {{dir.path() + QStringLiteral("/none.csv"), QStringLiteral("-o"), dir.path()},
         1,
         QStringLiteral("Datei %1/none.csv kann nicht geöffnet werden.").arg(dir.path())},
        {{list, QStringLiteral("-o"), dir.path() + QStringLiteral("/file/sub")},
         1,
         QStringLiteral("cannot be made")},
        {{list}, 2, QStringLiteral("-o FOLDER")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--jobs"), QStringLiteral("0")},
         2,
         QStringLiteral("--jobs")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--resolution"), QStringLiteral("640x480")},
         2,
         QStringLiteral("unknown resolution")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--filter"), QStringLiteral("Smooth")},
         2,
         QStringLiteral("unknown filter 'Smooth' (exact or smooth)")},
    };
    for (const Case& c : cases) {
        const BatchProcess r = RunBatchProcess(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << qPrintable(c.args.join(u' '));
        EXPECT_TRUE(r.err.contains(c.message)) << qPrintable(r.err);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BILDORO_CHROMIUM"), QStringLiteral("/no/such/chromium"));
    const BatchProcess noBrowser = RunBatchProcess({list, QStringLiteral("-o"), dir.path()}, env);
    EXPECT_EQ(noBrowser.exitCode, 1);
    EXPECT_TRUE(noBrowser.err.contains(QStringLiteral("/no/such/chromium"))) << qPrintable(noBrowser.err);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/a.jpg")));
}

TEST_F(BatchCliTest, HelpAndVersion) {
    const BatchProcess help = RunBatchProcess({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--output", "--resolution", "--width", "--timeout", "--jobs", "--dry-run", "--shrink", "--filter"})
        EXPECT_TRUE(help.out.contains(QString::fromLatin1(option))) << option;
    const BatchProcess version = RunBatchProcess({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.contains(QStringLiteral("1.0.0.35")));
}

}  // namespace
