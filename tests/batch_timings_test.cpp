// bildoro-batch's stage times (BILDORO_BATCH_TIMINGS), which the batch benchmark reads: one line per row,
// the load time covering a slow page's delay, and nothing of the kind without the variable.
#include "batch_process.h"
#include "local_http_server.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

BatchProcess RunBatch(const QString& list, const QString& folder, bool timings) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("BILDORO_BATCH_TIMINGS"));
    if (timings) env.insert(QStringLiteral("BILDORO_BATCH_TIMINGS"), QStringLiteral("1"));
    return RunBatchProcess(
        // A long settle bound: a row held until it ends would stand out. Without the consent script a fresh
        // page's first navigation goes out at once, before its requests are watched.
        {list, QStringLiteral("-o"), folder, QStringLiteral("--jobs"), QStringLiteral("2"),
         QStringLiteral("--settle-ms"), QStringLiteral("30000"), QStringLiteral("--keep-banners")},
        env);
}

class BatchTimingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.AddRoute(QStringLiteral("/fast"), "<!doctype html><body style='background:red'></body>");
        server.AddRoute(QStringLiteral("/slow"), "<!doctype html><body style='background:blue'></body>",
                        "text/html; charset=utf-8", 600);
        server.AddRoute(QStringLiteral("/other"), "<!doctype html><p>Text</p>");
        list = dir.path() + QStringLiteral("/list.csv");
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (const char* p : {"fast", "slow", "other"})
            f.write((server.Url(QStringLiteral("/") + QLatin1String(p)) + u';' + QLatin1String(p) +
                     QStringLiteral("\r\n"))
                        .toUtf8());
    }

    LocalHttpServer server;
    QTemporaryDir dir;
    QString list;
};

TEST_F(BatchTimingsTest, OneLinePerRowWithItsStages) {
    const BatchProcess r = RunBatch(list, dir.path() + QStringLiteral("/out"), true);
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.out + r.err);
    const QRegularExpression line(
        QStringLiteral(
            R"(^timing: (\S+) load ([\d.]+) ms, queued ([\d.]+) ms, capture ([\d.]+) ms, reduce ([\d.]+) ms$)"),
        QRegularExpression::MultilineOption);
    QHash<QString, QList<double>> stages;
    for (auto it = line.globalMatch(r.err); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        EXPECT_FALSE(stages.contains(m.captured(1))) << "twice: " << qPrintable(m.captured(1));
        stages.insert(m.captured(1), {m.captured(2).toDouble(), m.captured(3).toDouble(),
                                      m.captured(4).toDouble(), m.captured(5).toDouble()});
    }
    ASSERT_EQ(stages.size(), 3) << qPrintable(r.err);
    for (const char* p : {"fast", "slow", "other"}) {
        const QList<double> s = stages.value(server.Url(QStringLiteral("/") + QLatin1String(p)));
        ASSERT_EQ(s.size(), 4) << p;
        EXPECT_GT(s[0], 0) << p;      // load
        EXPECT_GE(s[1], 0) << p;      // queued behind the other page's capture
        EXPECT_LT(s[1], 15000) << p;  // not held by a request whose end went unreported
        EXPECT_GT(s[2], 0) << p;      // capture
        EXPECT_GT(s[3], 0) << p;      // reduce
    }
    EXPECT_GE(stages.value(server.Url(QStringLiteral("/slow")))[0], 600);
    // The result lines stay as they are.
    EXPECT_TRUE(r.out.contains(QStringLiteral("3 rows: 3 ok, 0 failed"))) << qPrintable(r.out);
    EXPECT_FALSE(r.out.contains(QStringLiteral("timing:")));
}

TEST_F(BatchTimingsTest, NoTimesWithoutTheVariable) {
    const BatchProcess r = RunBatch(list, dir.path() + QStringLiteral("/out"), false);
    ASSERT_EQ(r.exitCode, 0) << qPrintable(r.out + r.err);
    EXPECT_FALSE(r.err.contains(QStringLiteral("timing:"))) << qPrintable(r.err);
}

}  // namespace
