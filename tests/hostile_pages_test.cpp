// Hostile pages of the web in whole batch runs, in bildoro-batch (three pages at once) and in the
// window: each hostile row ends, ok or failed with its reason; the normal row of the same site right after it
// is ok and shows its own colour; nothing is left behind (browser processes, profile folders, ".$$$" files).
#include "Unit1.h"
#include "batch_process.h"
#include "fake_dialogs.h"
#include "leftover_check.h"
#include "picture_samples.h"
#include "test_pages.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

using namespace leftovers;

[[maybe_unused]] ::testing::Environment* const g_tmpEnv =
    ::testing::AddGlobalTestEnvironment(new PrivateTmpEnvironment);

// The rows of a run: each hostile page, then a normal page of the same site in a colour of its own.
struct Row {
    QString url;
    QString picture;
    bool hostile;
    QColor colour;  // of a normal row
    const char* what;
};

class HostilePages : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        hostile = AddHostilePages(server);
    }

    QList<Row> Rows(const QList<HostilePage>& pages) {
        QList<Row> rows;
        for (int i = 0; i < pages.size(); ++i) {
            const QColor colour = RowColour(i);
            const QString path = QStringLiteral("/n%1").arg(i);
            server.AddRoute(path, ColourPage(colour.name().toLatin1()));
            rows.append({server.Url(pages[i].path),
                         QStringLiteral("h%1").arg(i, 2, 10, QLatin1Char('0')),
                         true,
                         {},
                         pages[i].what});
            rows.append(
                {server.Url(path), QStringLiteral("n%1").arg(i, 2, 10, QLatin1Char('0')), false, colour, ""});
        }
        return rows;
    }

    // What every run must leave: each normal row a thumbnail of its own colour, no temporary file, nothing of
    // the browser once it has ended.
    void ExpectNormalRowsAndNothingLeft(const QList<Row>& rows, const QString& folder) {
        for (const Row& row : rows) {
            if (row.hostile) continue;
            const QString file = folder + u'/' + row.picture + QStringLiteral(".jpg");
            ASSERT_EQ(DecodedSize(file), QSize(320, 240)) << qPrintable(row.url);
            EXPECT_TRUE(NearColour(CentreColour(file), row.colour))
                << qPrintable(row.url) << " shows " << qPrintable(CentreColour(file).name()) << " instead of "
                << qPrintable(row.colour.name());
        }
        EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.$$$")}, QDir::Files | QDir::Hidden),
                  QStringList());
    }

    LocalHttpServer server;
    QTemporaryDir dir;
    QList<HostilePage> hostile;
};

TEST_F(HostilePages, BatchThreePagesAtOnce) {
    const QList<Row> rows = Rows(hostile);
    const QString list = dir.path() + QStringLiteral("/list.csv");
    {
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (const Row& r : rows) f.write((r.url + u';' + r.picture + QStringLiteral("\r\n")).toUtf8());
    }
    // Three pages at once (one at a time is the window's run below, over the same engine).
    const QString folder = dir.path() + QStringLiteral("/out");
    const QString report = folder + QStringLiteral(".jsonl");
    const BatchProcess r = RunBatchProcess(
        {list, QStringLiteral("-o"), folder, QStringLiteral("--timeout"), QStringLiteral("4"),
         QStringLiteral("--jobs"), QStringLiteral("3"), QStringLiteral("--report"), report,
         // Each row once: what is asked here is how a row ends, not whether it passes another time.
         QStringLiteral("--retry"), QStringLiteral("0")},
        QProcessEnvironment::systemEnvironment(), {}, 400000);
    // No page has a consent dialog: whatever one forges reaches no row, its own or the next.
    QFile reportFile(report);
    ASSERT_TRUE(reportFile.open(QIODevice::ReadOnly));
    for (const QByteArray& line : reportFile.readAll().split('\n'))
        EXPECT_FALSE(line.contains("\"consent\":{")) << line.constData();
    EXPECT_FALSE(r.crashed) << qPrintable(r.err);
    for (const Row& row : rows) {
        const QString line = r.LineFor(row.picture);
        if (row.hostile)
            EXPECT_TRUE(line.startsWith(QStringLiteral("ok: ")) ||
                        QRegularExpression(QStringLiteral("^failed: .* -> .*: .+ \\(\\w+\\)$"))
                            .match(line)
                            .hasMatch())
                << row.what << ": " << qPrintable(line);
        else
            EXPECT_TRUE(line.startsWith(QStringLiteral("ok: "))) << qPrintable(line);
    }
    // Navigations that bring no page fail at the load stage with the browser's reason.
    for (const char* path : {"/h/never-doc", "/h/never-body", "/h/download", "/h/204", "/h/redirect0"}) {
        const QString pattern = QStringLiteral("failed: %1 -> .*\\(load\\)")
                                    .arg(QRegularExpression::escape(server.Url(QLatin1String(path))));
        EXPECT_TRUE(QRegularExpression(pattern).match(r.out).hasMatch()) << path << "\n" << qPrintable(r.out);
    }
    ExpectNormalRowsAndNothingLeft(rows, folder);
    const QString left = WaitUntilNothingLeft(10000);
    EXPECT_TRUE(left.isEmpty()) << qPrintable(left);
}

// The window's own run over the same engine: dialogs, a document that never comes (its message), a download,
// no content, and an unload handler that holds the page (the endless scripts are bildoro-batch's above).
TEST_F(HostilePages, WindowRunsAShorterList) {
    QList<HostilePage> pages;
    for (const HostilePage& p : hostile)
        if (p.path.contains(QStringLiteral("alerts")) || p.path.contains(QStringLiteral("never-doc")) ||
            p.path.contains(QStringLiteral("download")) || p.path.contains(QStringLiteral("204")) ||
            p.path.contains(QStringLiteral("unload")))
            pages << p;
    const QList<Row> rows = Rows(pages);
    TFakeDialogs dialogs;
    {
        TForm1 form(&dialogs);
        form.show();
        form.SetPageTimeoutMs(4000);
        form.sDirectoryEdit1->setText(dir.path());
        for (const Row& r : rows) form.AppendRow(r.url, r.picture);
        QTest::mouseClick(form.sBitBtn3, Qt::LeftButton);
        EXPECT_FALSE(form.IsRunning());
    }
    EXPECT_TRUE(dialogs.errors.isEmpty()) << qPrintable(dialogs.errors.join(u'\n'));
    ASSERT_EQ(dialogs.notices.size(), 1);
    const QString message = dialogs.notices[0];
    EXPECT_TRUE(message.startsWith(QStringLiteral("Verarbeitung abgeschlossen\n\n"))) << qPrintable(message);
    for (const Row& row : rows) {
        if (!row.hostile) {
            EXPECT_FALSE(message.contains(row.url + QStringLiteral(" – "))) << qPrintable(message);
        }
    }
    // The navigations that fail say so with the browser's reason, as bildoro-batch does.
    EXPECT_TRUE(
        message.contains(server.Url(QStringLiteral("/h/never-doc")) + QStringLiteral(" – Keine Antwort")))
        << qPrintable(message);
    ExpectNormalRowsAndNothingLeft(rows, dir.path());
    const QString left = WaitUntilNothingLeft(10000);
    EXPECT_TRUE(left.isEmpty()) << qPrintable(left);
}

}  // namespace
