// bildoro-batch as a user runs it: exit status, result lines, parallel pages, and its clear messages.
#include "batch_process.h"
#include "chromium_process.h"
#include "devtools_client.h"
#include "html_report.h"
#include "local_http_server.h"
#include "picture_outputs.h"
#include "test_pages.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <csignal>

namespace {

// A port on this machine where nothing listens.
quint16 UnusedPort() {
    static const quint16 port = [] {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        return probe.serverPort();
    }();
    return port;
}

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
    EXPECT_LE(r.err.count(QStringLiteral("fonts-noto-cjk")), 1);  // said once per run, not per page
    EXPECT_TRUE(QDir(out).entryList({QStringLiteral("*.$$$")}, QDir::Files).isEmpty());
}

TEST_F(BatchCliTest, FailedRowsGiveExitStatusOneAndReasons) {
    const QString list = WriteList(
        {QStringLiteral("ftp://x/;a"), server.Url(QStringLiteral("/blue")) + QStringLiteral(";../b")});
    const BatchProcess r = RunBatchProcess({list, QStringLiteral("-o"), dir.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.count(QStringLiteral("failed: ")), 2) << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("An address with the scheme ftp: is not loaded")))
        << qPrintable(r.out);
    EXPECT_TRUE(r.out.contains(QStringLiteral("2 rows: 0 ok, 2 failed")));
    // In a German locale the program's own messages are German; a row's line stays English, reason and all,
    // like the report that keeps it.
    QProcessEnvironment german = QProcessEnvironment::systemEnvironment();
    german.insert(QStringLiteral("LC_ALL"), QStringLiteral("de_DE.UTF-8"));
    const BatchProcess de = RunBatchProcess({list, QStringLiteral("-o"), dir.path()}, german);
    EXPECT_TRUE(de.out.contains(QStringLiteral("2 Zeilen: 0 ok, 2 fehlgeschlagen"))) << qPrintable(de.out);
    for (const QString& line : de.out.split(u'\n'))
        if (line.startsWith(QStringLiteral("failed: ")))
            EXPECT_TRUE(line.endsWith(QStringLiteral("(load)")) || line.endsWith(QStringLiteral("(check)")))
                << qPrintable(line);
    EXPECT_TRUE(de.out.contains(QStringLiteral("uses \"..\" and leads out of the output folder")))
        << qPrintable(de.out);
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
         3,
         QStringLiteral("File %1/none.csv cannot be opened.").arg(dir.path())},
        {{list, QStringLiteral("-o"), dir.path() + QStringLiteral("/file/sub")},
         3,
         QStringLiteral("cannot be made")},
        {{list}, 2, QStringLiteral("-o FOLDER")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--jobs"), QStringLiteral("0")},
         2,
         QStringLiteral("--jobs")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--resolution"), QStringLiteral("640x480")},
         2,
         QStringLiteral("unknown resolution")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--resume")}, 2, QStringLiteral("--report")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--shard"), QStringLiteral("3/2")},
         2,
         QStringLiteral("--shard")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--shard"), QStringLiteral("0/2")},
         2,
         QStringLiteral("--shard")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--retry"), QStringLiteral("-1")},
         2,
         QStringLiteral("--retry")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--filter"), QStringLiteral("Smooth")},
         2,
         QStringLiteral("unknown filter 'Smooth' (exact or smooth)")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--format"), QStringLiteral("gif")},
         2,
         QStringLiteral("unknown format 'gif'")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--scale"), QStringLiteral("9")},
         2,
         QStringLiteral("--scale needs a number from 1 to 4")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--header"), QStringLiteral("X-Key=1")},
         2,
         QStringLiteral("is not of the form \"Name: value\"")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--cookies"),
          dir.path() + QStringLiteral("/none")},
         2,
         QStringLiteral("cannot be read")},
        {{list, QStringLiteral("-o"), dir.path(), QStringLiteral("--wait-for"), QStringLiteral("div[x")},
         2,
         QStringLiteral("is not a CSS selector")},
    };
    for (const Case& c : cases) {
        const BatchProcess r = RunBatchProcess(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << qPrintable(c.args.join(u' '));
        EXPECT_TRUE(r.err.contains(c.message)) << qPrintable(r.err);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BILDORO_CHROMIUM"), QStringLiteral("/no/such/chromium"));
    const BatchProcess noBrowser = RunBatchProcess({list, QStringLiteral("-o"), dir.path()}, env);
    EXPECT_EQ(noBrowser.exitCode, 3);
    EXPECT_TRUE(noBrowser.err.contains(QStringLiteral("/no/such/chromium"))) << qPrintable(noBrowser.err);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + QStringLiteral("/a.jpg")));
}

// The report's lines, each parsed; a line that is no JSON object fails the test, or is counted in `broken`.
QList<QJsonObject> ReportLines(const QString& path, int* broken = nullptr, bool cutOffLast = false) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(path);
    QList<QJsonObject> lines;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.isEmpty()) continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject())
            lines << doc.object();
        else if (cutOffLast && !line.endsWith('}'))
            continue;
        else if (broken)
            ++*broken;
        else
            ADD_FAILURE() << "not a JSON object: " << line.constData();
    }
    return lines;
}

QJsonObject LineOfRow(const QList<QJsonObject>& lines, int row, const QString& status = {}) {
    for (const QJsonObject& o : lines)
        if (o.value("row").toInt(-1) == row && (status.isEmpty() || o.value("status").toString() == status))
            return o;
    return {};
}

TEST_F(BatchCliTest, ReportRetriesAndFailedList) {
    server.AddRoute(QStringLiteral("/titled"),
                    Page("x", "<title>Red \xc3\xa4</title><style>body{background:red}</style>"));
    server.AddRoute(QStringLiteral("/flaky"), ColourPage("green"));
    server.SetBusyFirst(QStringLiteral("/flaky"), 1);
    const QString list = WriteList({server.Url(QStringLiteral("/titled")) + QStringLiteral(";good"),
                                    server.Url(QStringLiteral("/flaky")) + QStringLiteral(";flaky"),
                                    QStringLiteral("javascript:void(0);refused"),
                                    QStringLiteral("http://127.0.0.1:%1/;down").arg(UnusedPort())});
    const QString report = dir.filePath(QStringLiteral("report.jsonl"));
    const QString failed = dir.filePath(QStringLiteral("failed.csv"));
    const BatchProcess r = RunBatchProcess(
        {list, QStringLiteral("-o"), dir.filePath(QStringLiteral("out")), QStringLiteral("--report"), report,
         QStringLiteral("--failed-list"), failed, QStringLiteral("--jobs"), QStringLiteral("2")});
    EXPECT_EQ(r.exitCode, 1) << qPrintable(r.out + r.err);
    const QList<QJsonObject> lines = ReportLines(report);
    ASSERT_EQ(lines.size(), 4) << qPrintable(r.out);
    const QJsonObject good = LineOfRow(lines, 0), flaky = LineOfRow(lines, 1);
    const QJsonObject refused = LineOfRow(lines, 2), down = LineOfRow(lines, 3);
    EXPECT_EQ(good.value("status").toString(), "ok");
    EXPECT_EQ(good.value("width").toInt(), 320);
    EXPECT_EQ(good.value("height").toInt(), 240);
    EXPECT_EQ(good.value("bytes").toInteger(),
              QFileInfo(dir.filePath(QStringLiteral("out/good.jpg"))).size());
    EXPECT_EQ(good.value("http_status").toInt(), 200);
    EXPECT_EQ(good.value("title").toString(), QStringLiteral("Red ä"));
    EXPECT_TRUE(good.value("consent").isNull());
    // Busy once, then there: ok on the second attempt, after the other rows.
    EXPECT_EQ(flaky.value("status").toString(), "ok") << qPrintable(r.out);
    EXPECT_EQ(flaky.value("attempts").toInt(), 2);
    EXPECT_EQ(server.RequestsFor(QStringLiteral("/flaky")).size(), 2);
    // A refused address does not pass: tried once. A server that is not there may: tried twice.
    EXPECT_EQ(refused.value("status").toString(), "failed");
    EXPECT_EQ(refused.value("attempts").toInt(), 1);
    EXPECT_EQ(refused.value("stage").toString(), "load");
    EXPECT_EQ(down.value("attempts").toInt(), 2);
    EXPECT_EQ(down.value("reason").toString(), "net::ERR_CONNECTION_REFUSED");
    QFile f(failed);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QStringLiteral("javascript:void(0);refused\r\nhttp://127.0.0.1:%1/;down\r\n")
                               .arg(UnusedPort())
                               .toUtf8());
}

// The JPEG's first luminance quantizer (16 scaled by the quality: 8 at 75, 27 at 30), and the leading bytes
// of a file.
int FirstQuantizer(const QByteArray& jpeg) {
    const qsizetype dqt = jpeg.indexOf("\xff\xdb");
    return dqt < 0 ? -1 : quint8(jpeg.at(dqt + 5));
}
QByteArray Head(const QString& file, int bytes) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.read(bytes) : QByteArray();
}

// Each capture control seen from the pages and in the files, in five runs of their own options: a server
// that answers green only to the header, cookies and credentials, the user agent it sees, a proxy asked for a
// name that does not resolve; a block that comes 2.5 s after the load, a hidden overlay, the dark scheme; a
// tall page whole; one element of a phone's page; a high-density capture kept beside its thumbnail.
TEST_F(BatchCliTest, CaptureControlsShapeWhatIsTakenAndWritten) {
    const QByteArray green = ColourPage("#00a000"), red = ColourPage("#a00000");
    for (const char* path : {"/hdr", "/ck", "/ckfile", "/auth", "/ua", "/green"})
        server.AddRoute(QString::fromLatin1(path), green);
    server.SetRequired(QStringLiteral("/hdr"), "x-key", "1", 200, red);
    server.SetRequired(QStringLiteral("/ck"), "cookie", "k=v", 200, red);
    server.SetRequired(QStringLiteral("/ckfile"), "cookie", "f=w", 200, red);
    server.SetRequired(QStringLiteral("/auth"), "authorization", "Basic dTpw", 401, red,
                       "WWW-Authenticate: Basic realm=\"bildoro\"\r\n");
    // Every page of the second run has the element it waits for; /late only 2.5 s after its load.
    const QByteArray mark = "<div id=late style='width:4px;height:4px'></div>";
    server.AddRoute(QStringLiteral("/late"),
                    Page("<script>onload=()=>setTimeout(()=>document.body.innerHTML=\"<div id=late "
                         "style='height:100vh;background:#00a000'></div>\",2500)</script>",
                         "<style>body{margin:0;background:#a00000}</style>"));
    server.AddRoute(QStringLiteral("/overlay"),
                    Page(mark + "<div class=ov style='position:fixed;inset:0;background:#f0f'></div>",
                         "<style>body{margin:0;background:#00a000}</style>"));
    server.AddRoute(QStringLiteral("/dark"),
                    Page(mark,
                         "<style>body{margin:0;background:#a00000}"
                         "@media (prefers-color-scheme:dark){body{background:#0000a0}}</style>"));
    server.AddRoute(QStringLiteral("/tall"), Page("<div style='height:3900px;background:#00a000'></div>"
                                                  "<div style='height:100px;background:#0000a0'></div>",
                                                  "<style>body{margin:0}</style>"));
    server.AddRoute(
        QStringLiteral("/phone"),
        Page("<div id=box style='width:200px;height:100px;margin:40px'></div>",
             "<meta name=viewport content='width=device-width'><style>#box{background:#a00000}@media "
             "(max-width:500px){#box{background:#00a000}}"
             "</style>"));
    const QString cookies = dir.filePath(QStringLiteral("cookies.txt"));
    {
        QFile f(cookies);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\tFALSE\t0\tf\tw\n");
    }
    struct Row {
        QString url;
        QString file;  // the thumbnail's name in the run's folder
        QPoint at;     // where its colour is looked at (x, y; negative y from the bottom)
        QColor colour;
        QSize size;          // of the thumbnail
        QStringList beside;  // more files written for the row, with their width (0: not looked at)
    };
    struct Run {
        QStringList args;
        QList<Row> rows;
    };
    const QColor g(0, 160, 0), b(0, 0, 160);
    const QString u = server.Url(QStringLiteral("/"));
    const QList<Run> runs = {
        {{QStringLiteral("--header"), QStringLiteral("X-Key: 1"), QStringLiteral("--cookie"),
          QStringLiteral("k=v"), QStringLiteral("--cookies"), cookies, QStringLiteral("--auth"),
          QStringLiteral("u:p"), QStringLiteral("--user-agent"), QStringLiteral("BildoroTest/1"),
          QStringLiteral("--proxy"), u.chopped(1)},
         {{u + QStringLiteral("hdr"), QStringLiteral("hdr.jpg"), {160, 120}, g, {320, 240}, {}},
          {u + QStringLiteral("ck"), QStringLiteral("ck.jpg"), {160, 120}, g, {320, 240}, {}},
          {u + QStringLiteral("ckfile"), QStringLiteral("ckfile.jpg"), {160, 120}, g, {320, 240}, {}},
          {u + QStringLiteral("auth"), QStringLiteral("auth.jpg"), {160, 120}, g, {320, 240}, {}},
          {QStringLiteral("http://nosuch.invalid/green"),
           QStringLiteral("green.jpg"),
           {160, 120},
           g,
           {320, 240},
           {}}}},
        {{QStringLiteral("--wait-for"), QStringLiteral("#late"), QStringLiteral("--delay"),
          QStringLiteral("300"), QStringLiteral("--hide"), QStringLiteral(".ov"), QStringLiteral("--dark"),
          QStringLiteral("--format"), QStringLiteral("png"), QStringLiteral("--widths"),
          QStringLiteral("100"), QStringLiteral("--keep-capture")},
         {{u + QStringLiteral("late"),
           QStringLiteral("late.png"),
           {160, 120},
           g,
           {320, 240},
           {QStringLiteral("late.100.png"), QStringLiteral("late.full.png")}},
          {u + QStringLiteral("overlay"), QStringLiteral("overlay.png"), {160, 120}, g, {320, 240}, {}},
          {u + QStringLiteral("dark"), QStringLiteral("dark.png"), {160, 120}, b, {320, 240}, {}}}},
        {{QStringLiteral("--full-page"), QStringLiteral("--format"), QStringLiteral("png")},
         {{u + QStringLiteral("tall"), QStringLiteral("tall.png"), {160, -3}, b, {320, 1250}, {}}}},
        {{QStringLiteral("--element"), QStringLiteral("#box"), QStringLiteral("--mobile"),
          QStringLiteral("--format"), QStringLiteral("webp"), QStringLiteral("--quality"),
          QStringLiteral("50")},
         {{u + QStringLiteral("phone"), QStringLiteral("phone.webp"), {160, 80}, g, {320, 160}, {}}}},
        {{QStringLiteral("--scale"), QStringLiteral("2"), QStringLiteral("--keep-capture"),
          QStringLiteral("--quality"), QStringLiteral("30")},
         {{u + QStringLiteral("green"),
           QStringLiteral("green.jpg"),
           {160, 120},
           g,
           {320, 240},
           {QStringLiteral("green.full.jpg")}}}},
    };
    for (int i = 0; i < runs.size(); ++i) {
        const Run& run = runs[i];
        SCOPED_TRACE(run.args.join(u' ').toStdString());
        QStringList lines;
        for (const Row& row : run.rows) lines << row.url + u';' + row.file.section(u'.', 0, 0);
        const QString out = dir.filePath(QStringLiteral("run%1").arg(i));
        const BatchProcess r =
            RunBatchProcess(QStringList{WriteList(lines), QStringLiteral("-o"), out} + run.args);
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.out + r.err);
        for (const Row& row : run.rows) {
            const QString file = out + u'/' + row.file;
            // The phone's page is green only where the view is a phone's.
            const QImage picture =
                file.endsWith(QLatin1String(".webp")) ? DecodeWebp(Head(file, 1 << 20)) : QImage(file);
            ASSERT_EQ(picture.size(), row.size) << qPrintable(file);
            const QPoint at(row.at.x(), row.at.y() < 0 ? picture.height() + row.at.y() : row.at.y());
            EXPECT_TRUE(NearColour(picture.pixelColor(at), row.colour))
                << qPrintable(file) << " " << qPrintable(picture.pixelColor(at).name());
            for (const QString& name : row.beside)
                EXPECT_TRUE(QFileInfo::exists(out + u'/' + name)) << qPrintable(name);
        }
    }
    // The pages' own sight: the user agent as given, a phone's for --mobile, and a name the proxy was asked
    // for.
    bool proxied = false;
    for (const LocalHttpServer::Request& request : server.Requests()) {
        proxied = proxied || request.path.startsWith("http://nosuch.invalid/");
        if (request.path.endsWith("/hdr")) EXPECT_EQ(request.Header("user-agent"), "BildoroTest/1");
        if (request.path.endsWith("/phone")) EXPECT_TRUE(request.Header("user-agent").contains("Mobile"));
    }
    EXPECT_TRUE(proxied);
    // Files of their formats, qualities and sizes.
    EXPECT_TRUE(Head(dir.filePath(QStringLiteral("run1/late.png")), 8).startsWith("\x89PNG"));
    EXPECT_EQ(QImage(dir.filePath(QStringLiteral("run1/late.100.png"))).width(), 100);
    EXPECT_EQ(QImage(dir.filePath(QStringLiteral("run1/late.full.png"))).size(), QSize(1024, 768));
    EXPECT_EQ(QImage(dir.filePath(QStringLiteral("run4/green.full.jpg"))).size(), QSize(2048, 1536));
    EXPECT_EQ(FirstQuantizer(Head(dir.filePath(QStringLiteral("run4/green.jpg")), 1000)), 27);
}

// Pages whose content comes late: each thumbnail shows `colour` at its centre; a page that stays one colour
// is ok but marked blank.
TEST_F(BatchCliTest, LateContentIsWaitedForAndBlankPagesMarked) {
    struct Case {
        const char *path, *colour;
        bool blank;
        QByteArray page;
    };
    // Half the view red, about the centre, the rest white: not one colour.
    const QByteArray paintRed =
        "document.body.innerHTML=\"<div style='margin-top:20vh;height:60vh;background:red'></div>\"";
    const QList<Case> cases = {
        {"/white-then-red", "red", false,
         Page("", "<script>onload=()=>setTimeout(()=>{" + paintRed + "},1100)</script>")},
        {"/white", "white", true, ColourPage("white")},
        // Content fetched at the load event, answered 600 ms later (the first picture is not blank).
        {"/fetched-red", "red", false,
         Page("<div style='height:10vh;background:blue'></div>",
              "<script>onload=()=>fetch('/late-part').then(r=>r.text()).then(t=>{" + paintRed +
                  "})</script>")},
        // A request that never ends: captured at the settle bound, with what the page drew meanwhile.
        {"/never-ending-fetch", "blue", false,
         Page("<div "
              "style='margin-top:20vh;height:60vh;background:blue'></div><script>fetch('/never')</script>")},
    };
    server.AddRoute(QStringLiteral("/late-part"), "x", "text/plain", 600);
    server.AddNeverAnswering(QStringLiteral("/never"));
    QStringList lines;
    for (const Case& c : cases) {
        server.AddRoute(QString::fromLatin1(c.path), c.page);
        lines << server.Url(QString::fromLatin1(c.path)) + u';' + QString::fromLatin1(c.path + 1);
    }
    const QString report = dir.filePath(QStringLiteral("report.jsonl"));
    const BatchProcess r =
        RunBatchProcess({WriteList(lines), QStringLiteral("-o"), dir.path(), QStringLiteral("--report"),
                         report, QStringLiteral("--jobs"), QStringLiteral("2")});
    EXPECT_EQ(r.exitCode, 0) << qPrintable(r.out + r.err);
    const QList<QJsonObject> reported = ReportLines(report);
    for (int i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const QImage thumbnail(dir.filePath(QString::fromLatin1(c.path + 1) + QStringLiteral(".jpg")));
        EXPECT_TRUE(NearColour(thumbnail.pixelColor(thumbnail.rect().center()), QColor(c.colour))) << c.path;
        EXPECT_EQ(LineOfRow(reported, i).value("blank").toBool(), c.blank) << c.path;
        EXPECT_EQ(r.LineFor(QString::fromLatin1(c.path + 1)).contains(QStringLiteral("blank")), c.blank)
            << qPrintable(r.out);
    }
}

// Consent dialogs of common platforms are refused (or hidden) before the capture, and reported; with
// --keep-banners they stay.
TEST_F(BatchCliTest, ConsentDialogsAreRefusedUnlessKept) {
    const QList<ConsentPlatformPage> pages = ConsentPlatformPages();
    QStringList lines;
    for (const ConsentPlatformPage& p : pages) {
        server.AddRoute(p.path, p.page);
        lines << server.Url(p.path) + u';' + p.path.mid(9);
    }
    server.AddRoute(QStringLiteral("/consent/slow.png"), PngOf(Qt::blue, QSize(8, 8)), "image/png", 400);
    lines << server.Url(QStringLiteral("/red")) + QStringLiteral(";none");
    const QString list = WriteList(lines), report = dir.filePath(QStringLiteral("report.jsonl"));
    for (const bool keep : {false, true}) {
        QStringList args{list,
                         QStringLiteral("-o"),
                         dir.filePath(keep ? "kept" : "refused"),
                         QStringLiteral("--report"),
                         report,
                         QStringLiteral("--jobs"),
                         QStringLiteral("2")};
        if (keep) args << QStringLiteral("--keep-banners");
        QFile::remove(report);
        const BatchProcess r = RunBatchProcess(args);
        EXPECT_EQ(r.exitCode, 0) << qPrintable(r.out + r.err);
        const QList<QJsonObject> reported = ReportLines(report);
        for (int i = 0; i < pages.size(); ++i) {
            const QImage thumbnail(dir.filePath(keep ? "kept" : "refused") + u'/' + pages[i].path.mid(9) +
                                   ".jpg");
            const QColor centre = thumbnail.pixelColor(thumbnail.rect().center());
            EXPECT_TRUE(NearColour(centre, keep ? QColor(Qt::white) : QColor(0, 0xaa, 0)))
                << qPrintable(pages[i].path) << " kept " << keep << " " << qPrintable(centre.name());
            const QJsonValue consent = LineOfRow(reported, i).value("consent");
            EXPECT_EQ(consent.isNull(), keep) << qPrintable(pages[i].path);
            if (!keep) {
                EXPECT_EQ(consent["platform"].toString().toStdString(), pages[i].platform)
                    << qPrintable(pages[i].path);
                EXPECT_TRUE(consent["handled"].toBool()) << qPrintable(pages[i].path);
            }
        }
        EXPECT_TRUE(LineOfRow(reported, int(pages.size())).value("consent").isNull());
    }
}

TEST_F(BatchCliTest, KilledRunResumesWithEveryRowDoneOnce) {
    QStringList rows;
    for (int i = 0; i < 12; ++i) {
        server.AddRoute(QStringLiteral("/slow%1").arg(i), ColourPage("blue"), "text/html", 250);
        rows << server.Url(QStringLiteral("/slow%1").arg(i)) + QStringLiteral(";p%1").arg(i);
    }
    const QString list = WriteList(rows), report = dir.filePath(QStringLiteral("report.jsonl"));
    const QStringList args = {list, QStringLiteral("-o"), dir.filePath(QStringLiteral("out")),
                              QStringLiteral("--report"), report};
    QProcess first;
    first.start(QStringLiteral(BILDORO_BINARY_DIR "/cli/bildoro-batch"), args);
    ASSERT_TRUE(first.waitForStarted());
    for (int waited = 0; waited < 60000 && QFile(report).size() < 1200; waited += 20) QThread::msleep(20);
    // Ctrl-C: the pages under way end, the summary and how to go on are said, status 130.
    ::kill(pid_t(first.processId()), SIGINT);
    ASSERT_TRUE(first.waitForFinished(30000));
    EXPECT_EQ(first.exitCode(), 130);
    EXPECT_TRUE(first.readAllStandardOutput().contains(" rows: "));
    EXPECT_TRUE(first.readAllStandardError().contains("--resume"));
    // Lines a report from elsewhere may hold: row numbers no list has, forged to make the reader allocate.
    const QList<QJsonObject> before = ReportLines(report, nullptr, true);
    {
        QFile f(report);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        const QByteArray text = f.readAll();
        f.seek(text.lastIndexOf('\n') + 1);  // the forged lines take the place of a cut-off one
        f.resize(f.pos());
        for (const char* row : {"300000000", "1e12", "1e300", "-1", "2.5", "\"3\""})
            f.write(QByteArray("{\"row\":") + row + ",\"status\":\"ok\",\"url\":\"x\",\"path\":\"y\"}\n");
        f.write("{\"row\":1,\"status\":\"ok\"");  // cut off by the kill
    }
    // A row done before whose picture is gone runs again.
    const QJsonObject gone = before.value(0);
    ASSERT_TRUE(QFile::remove(gone.value("path").toString()));
    const BatchProcess again = RunBatchProcess(args + QStringList{QStringLiteral("--resume")});
    EXPECT_EQ(again.exitCode, 0) << qPrintable(again.out + again.err);
    int broken = 0;
    const QList<QJsonObject> after = ReportLines(report, &broken);
    EXPECT_EQ(broken, 0) << "the cut-off line is removed";
    for (int i = 0; i < 12; ++i) {
        int ok = 0;
        for (const QJsonObject& o : after) ok += o.value("row").toInt(-1) == i && o.value("status") == "ok";
        // One line per row, but for the row whose picture was gone.
        EXPECT_EQ(ok, i == gone.value("row").toInt() ? 2 : 1) << "row " << i;
        // A row done before the kill is skipped, not loaded again.
        if (again.out.contains(QStringLiteral("skipped: ") +
                               server.Url(QStringLiteral("/slow%1 -> ").arg(i)))) {
            EXPECT_EQ(server.RequestsFor(QStringLiteral("/slow%1").arg(i)).size(), 1) << "row " << i;
        }
    }
    EXPECT_TRUE(again.LineFor(gone.value("picture").toString()).startsWith(QStringLiteral("ok: ")));
    EXPECT_TRUE(QFileInfo::exists(gone.value("path").toString()));
    EXPECT_GT(again.out.count(QStringLiteral("skipped: ")), 0);
    EXPECT_LT(again.out.count(QStringLiteral("skipped: ")), 12);
}

// The bound of a warm browser: a page that sends nothing, and a server that answers only after the bound,
// each end their rows within the timeout and 5 s; a page captured after its bound whose document came still
// gives its status and title.
TEST_F(BatchCliTest, TheBoundIsABound) {
    server.AddNeverAnswering(QStringLiteral("/dead"));
    server.AddRoute(QStringLiteral("/late"), ColourPage("green"), "text/html", 9000);
    server.AddNeverAnswering(QStringLiteral("/never.png"));
    server.AddRoute(QStringLiteral("/half"), Page("<img src='/never.png'>", "<title>Halb</title>"),
                    "text/html", 0, 404);
    QStringList rows{server.Url(QStringLiteral("/red")) + QStringLiteral(";warm")};
    for (int i = 0; i < 3; ++i)
        rows << server.Url(QStringLiteral("/dead?%1").arg(i)) + QStringLiteral(";dead%1").arg(i);
    rows << server.Url(QStringLiteral("/late")) + QStringLiteral(";late")
         << server.Url(QStringLiteral("/half")) + QStringLiteral(";half");
    const QString report = dir.filePath(QStringLiteral("bound.jsonl"));
    const BatchProcess r =
        RunBatchProcess({WriteList(rows), QStringLiteral("-o"), dir.filePath(QStringLiteral("out")),
                         QStringLiteral("--timeout"), QStringLiteral("2"), QStringLiteral("--retry"),
                         QStringLiteral("0"), QStringLiteral("--report"), report});
    const QList<QJsonObject> lines = ReportLines(report);
    ASSERT_EQ(lines.size(), rows.size()) << qPrintable(r.out + r.err);
    for (const QJsonObject& o : lines) {
        SCOPED_TRACE(o.value("picture").toString().toStdString());
        EXPECT_LT(o.value("load_ms").toDouble(), 2000 + 5000);
        if (o.value("picture") == "half") {
            EXPECT_EQ(o.value("status").toString(), "ok");
            EXPECT_TRUE(o.value("timed_out").toBool());
            EXPECT_EQ(o.value("http_status").toInt(), 404);
            EXPECT_EQ(o.value("title").toString(), "Halb");
        } else if (o.value("picture") != "warm") {
            EXPECT_EQ(o.value("status").toString(), "failed");
            EXPECT_TRUE(o.value("capture_ms").isNull());
        }
    }
}

TEST_F(BatchCliTest, ShardsCoverEveryRowOnce) {
    QStringList rows;
    for (int i = 0; i < 10; ++i) rows << QStringLiteral("http://x/%1;n%1").arg(i);
    const QString list = WriteList(rows);
    QStringList seen;
    for (int k = 1; k <= 3; ++k) {
        const BatchProcess r =
            RunBatchProcess({list, QStringLiteral("-o"), dir.path(), QStringLiteral("--dry-run"),
                             QStringLiteral("--shard"), QStringLiteral("%1/3").arg(k)});
        EXPECT_EQ(r.exitCode, 0);
        for (const QString& line : r.out.split(u'\n', Qt::SkipEmptyParts)) seen << line.section(u'\t', 1, 1);
    }
    std::sort(seen.begin(), seen.end(),
              [](const QString& a, const QString& b) { return a.mid(1).toInt() < b.mid(1).toInt(); });
    QStringList all;
    for (int i = 0; i < 10; ++i) all << QStringLiteral("n%1").arg(i);
    EXPECT_EQ(seen, all);
}

TEST_F(BatchCliTest, HelpAndVersion) {
    const BatchProcess help = RunBatchProcess({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--output", "--resolution", "--width", "--timeout", "--jobs", "--dry-run", "--shrink", "--report",
          "--resume", "--retry", "--failed-list", "--shard", "--filter"})
        EXPECT_TRUE(help.out.contains(QString::fromLatin1(option))) << option;
    const BatchProcess version = RunBatchProcess({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.contains(QStringLiteral("1.0.0.35")));
}

}  // namespace

namespace {

// A page whose picture has a structure of its own: a header bar and an orange block at place `k`.
QByteArray LayoutPage(int k) {
    return Page(QStringLiteral("<div style='height:90px;background:#258'></div><div style='position:absolute;"
                               "left:%1px;top:%2px;width:380px;height:300px;background:#d72'></div>")
                    .arg(20 + k % 3 * 300)
                    .arg(140 + k / 3 * 250)
                    .toUtf8());
}

}  // namespace

// Served twice, one of five pages changed between the runs, three identical error pages: the second run marks
// exactly the changed row, groups the three, and says so in its summary.
TEST_F(BatchCliTest, SecondRunSaysWhatChangedAndGroupsPagesThatLookAlike) {
    QStringList lines;
    for (int k = 0; k < 5; ++k) {
        server.AddRoute(QStringLiteral("/l%1").arg(k), LayoutPage(k));
        lines << server.Url(QStringLiteral("/l%1").arg(k)) + QStringLiteral(";l%1").arg(k);
    }
    for (int k = 0; k < 3; ++k) {
        server.AddRoute(QStringLiteral("/e%1").arg(k), Page("<h1>404 Not Found</h1><hr>nginx"), "text/html",
                        0, 404);
        lines << server.Url(QStringLiteral("/e%1").arg(k)) + QStringLiteral(";e%1").arg(k);
    }
    const QString list = WriteList(lines), out = dir.filePath(QStringLiteral("out"));
    const QString first = dir.filePath(QStringLiteral("first.jsonl")),
                  second = dir.filePath(QStringLiteral("second.jsonl"));
    const BatchProcess r1 = RunBatchProcess({list, "-o", out, "--report", first, "--jobs", "2"});
    ASSERT_EQ(r1.exitCode, 0) << qPrintable(r1.out + r1.err);
    server.AddRoute(QStringLiteral("/l2"), LayoutPage(5));
    const BatchProcess r2 =
        RunBatchProcess({list, "-o", out, "--report", second, "--compare", first, "--jobs", "2", "--html",
                         dir.filePath(QStringLiteral("page.html"))});
    ASSERT_EQ(r2.exitCode, 0) << qPrintable(r2.out + r2.err);
    EXPECT_TRUE(
        r2.out.contains("8 rows: 8 ok, 0 failed; 1 changed, 7 unchanged, 0 new, 0 failed now but ok before\n"
                        "3 pages look like row 6 (" +
                        server.Url("/e0") + ")\n"))
        << qPrintable(r2.out);
    const QList<QJsonObject> report = ReportLines(second);
    ASSERT_EQ(report.size(), 8);
    const QJsonValue errorGroup = LineOfRow(report, 5).value("group");
    for (int row = 0; row < 8; ++row) {
        const QJsonObject line = LineOfRow(report, row);
        EXPECT_EQ(line.value("changed").toBool(), row == 2)
            << row << " distance " << line.value("distance").toInt();
        EXPECT_EQ(line.value("previous_status").toString(), "ok");
        EXPECT_EQ(line.value("group"), row < 5 ? QJsonValue(QJsonValue::Null) : errorGroup) << row;
        EXPECT_EQ(line.value("phash").toString().size(), 16);
    }
    EXPECT_TRUE(errorGroup.isDouble());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("page.html"))).size() > 1000);
}

// The report page of 10,000 rows in the real browser, opened from its file: the filters and the search show
// the right rows, and a title of a page that holds markup is shown as text.
TEST(ReportPage, TenThousandRowsFilterAndSearchInTheBrowser) {
    QTemporaryDir dir;
    const QString hostile =
        QStringLiteral("<script>document.title='x'</script></script><b>fett</b> & \u2028");
    std::vector<ReportEntry> entries(10000);
    int failed = 0, changed = 0, fresh = 0, grouped = 0;
    for (int i = 0; i < 10000; ++i) {
        ReportEntry& e = entries[size_t(i)];
        e.row = i;
        e.url = QStringLiteral("https://row-%1.example/").arg(i);
        e.picture = QStringLiteral("p%1").arg(i);
        e.path = dir.filePath(e.picture + QStringLiteral(".jpg"));
        e.status = i % 10 == 1 ? QStringLiteral("failed") : QStringLiteral("ok");
        e.title = i == 0 ? hostile : QStringLiteral("Seite %1").arg(i);
        e.compared = true;
        e.isNew = i % 50 == 0;
        if (e.status == u"ok" && !e.isNew) e.changed = i % 7 == 0;
        e.group = i % 100 == 3 ? 2 : 0;
        failed += e.status == u"failed";
        changed += e.changed.value_or(false);
        fresh += e.isNew;
        grouped += e.group == 2;
    }
    const QString page = dir.filePath(QStringLiteral("report.html"));
    WriteHtmlReport(page, entries);
    const std::shared_ptr<TDevToolsClient> browser = LaunchChromium();
    auto call = [&](const QString& method, const QJsonObject& params, const QString& session = {}) {
        QJsonObject answer;
        bool done = false;
        browser->Send(method, params, session, nullptr, [&](const QJsonObject& result, const QString&) {
            answer = result;
            done = true;
        });
        EXPECT_TRUE(browser->PumpUntil([&] { return done; }, 30000)) << qPrintable(method);
        return answer;
    };
    QElapsedTimer clock;
    clock.start();
    const QString target = call("Target.createTarget", {{"url", QUrl::fromLocalFile(page).toString()}})
                               .value("targetId")
                               .toString();
    const QString session = call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}})
                                .value("sessionId")
                                .toString();
    auto evaluate = [&](const QString& script) {
        return call("Runtime.evaluate", {{"expression", script}, {"returnByValue", true}}, session)
            .value("result")
            .toObject()
            .value("value");
    };
    QJsonValue shown;
    for (int i = 0;
         i < 300 && !(shown = evaluate("document.getElementById('count')?.dataset.shown")).isString(); ++i)
        QThread::msleep(20);
    std::printf("report page of 10,000 rows shown after %lld ms\n", static_cast<long long>(clock.elapsed()));
    EXPECT_EQ(shown.toString(), "10000");
    const QJsonObject counts = QJsonDocument::fromJson(evaluate(R"((() => {
        const f = document.getElementById("filter"), s = document.getElementById("search");
        const n = () => +document.getElementById("count").dataset.shown, out = {};
        out.shownTitle = document.querySelector("main .title").textContent;
        for (const v of ["failed", "changed", "new", "group:2", "all"]) {
            f.value = v;
            f.dispatchEvent(new Event("change"));
            out[v] = n();
        }
        s.value = "ROW-4242.example";
        s.dispatchEvent(new Event("input"));
        out.search = n();
        out.title = document.title;
        out.markup = document.querySelectorAll("main b, main script").length;
        return JSON.stringify(out);
    })())")
                                                           .toString()
                                                           .toUtf8())
                                   .object();
    EXPECT_EQ(counts["failed"].toInt(), failed);
    EXPECT_EQ(counts["changed"].toInt(), changed);
    EXPECT_EQ(counts["new"].toInt(), fresh);
    EXPECT_EQ(counts["group:2"].toInt(), grouped);
    EXPECT_EQ(counts["all"].toInt(), 10000);
    EXPECT_EQ(counts["search"].toInt(), 1);
    EXPECT_EQ(counts["title"].toString(), QStringLiteral("Bildoro – Bericht"));
    EXPECT_EQ(counts["shownTitle"].toString(), hostile);
    EXPECT_EQ(counts["markup"].toInt(), 0);
}

// A page that allocates without end is ended at its memory limit: its row fails saying so, the next is fine.
TEST_F(BatchCliTest, PageThatAllocatesWithoutEndFailsItsOwnRow) {
    server.AddRoute(
        "/hog",
        Page("<script>const a=[];for(;;){const b=new Uint8Array(1<<27);b.fill(1);a.push(b)}</script>"));
    const BatchProcess r =
        RunBatchProcess({WriteList({server.Url("/hog") + ";hog", server.Url("/green") + ";green"}), "-o",
                         dir.path(), "--page-memory", "300", "--timeout", "20"});
    EXPECT_EQ(r.exitCode, 1) << qPrintable(r.out + r.err);
    EXPECT_TRUE(r.LineFor("hog").contains("The page used more than 300 MiB of memory")) << qPrintable(r.out);
    EXPECT_TRUE(r.LineFor("green").startsWith("ok: ")) << qPrintable(r.out);
}
