// Faults injected into whole batch runs with the real Chromium and pages served on 127.0.0.1, in the window
// and in bildoro-batch: the browser killed while a page loads, as its capture starts, during a capture,
// between rows and at random moments; renderers killed; a page that crashes; a browser that stops answering;
// the output folder removed in the middle of the run; a file size limit. After each run: it ended with the
// completion message (window) or its exit status and summary (CLI); every row is a finished thumbnail or
// reported failed; no ".$$$" file and no half-written picture is left; no browser process and no profile
// folder survives.
#include "Unit1.h"
#include "fake_dialogs.h"
#include "jpeg_image.h"
#include "leftover_check.h"
#include "local_http_server.h"
#include "picture_samples.h"
#include "test_pages.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <QBuffer>
#include <QEventLoop>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <thread>

namespace {

using namespace leftovers;

[[maybe_unused]] ::testing::Environment* const g_tmpEnv =
    ::testing::AddGlobalTestEnvironment(new PrivateTmpEnvironment);

constexpr int kRows = 30;
// Above every thumbnail of the plain pages (about 2 KB), below every capture (about 16 KB).
constexpr rlim_t kFileSizeLimit = 8000;

// The pages of the runs: varied ordinary pages, and the ones that make faults happen at known moments.
void AddCorpus(LocalHttpServer& s) {
    const char* colours[] = {"#c00000", "#00a000", "#0000c0", "#c0c000", "#00c0c0", "#c000c0"};
    for (int i = 0; i < 6; ++i)
        s.AddRoute(QStringLiteral("/c%1").arg(i),
                   Page("<h1>Seite " + QByteArray::number(i) + "</h1><p>Text</p>",
                        QByteArray("<style>body{background:") + colours[i] + "}</style>"));
    s.AddRoute(QStringLiteral("/pic.png"), PngOf(Qt::darkGreen), "image/png");
    s.AddRoute(QStringLiteral("/img"), Page("<img src='/pic.png' width=600><img src='/pic.png'>"));
    s.AddRoute(QStringLiteral("/frame"), Page("<iframe src='/c1' width=500 height=300></iframe>"));
    s.AddRoute(QStringLiteral("/grid"),
               Page("<div style='display:grid;grid-template-columns:repeat(4,1fr);gap:8px'>" +
                    QByteArray("<div style='background:#345;height:90px'></div>").repeated(16) + "</div>"));
    // The document arrives after 1.5 s: a fault injected meanwhile hits the loading stage.
    s.AddRoute(QStringLiteral("/slow"), Page("<p>langsam</p>", "<style>body{background:#804000}</style>"),
               "text/html", 1500);
    // Repaints a blurred picture all the time, so that a capture waits for an expensive frame; tells the
    // server when its load event fires (the capture follows at once).
    s.AddRoute(
        QStringLiteral("/heavy"),
        Page(QByteArray("<div class=b></div>").repeated(12) +
                 "<script>onload=function(){fetch('/beacon'+location.search)}</script>",
             "<style>.b{width:300px;height:200px;display:inline-block;background:linear-gradient(#f00,#00f);"
             "filter:blur(18px);animation:s 0.3s infinite alternate}"
             "@keyframes s{to{transform:rotate(20deg) scale(1.2)}}</style>"));
    s.AddRoute(QStringLiteral("/beacon"), "ok", "text/plain");
}

// The ordinary pages of a run, one per row; the test puts its special pages in chosen rows.
QStringList PlainRows() {
    const QStringList kinds = {"/c0", "/img", "/c1", "/frame", "/c2", "/grid", "/c3", "/c4", "/c5"};
    QStringList rows;
    for (int i = 0; i < kRows; ++i) rows << kinds[i % kinds.size()] + QStringLiteral("?row=%1").arg(i);
    return rows;
}

QString PictureName(int row) {
    return QStringLiteral("r%1").arg(row, 2, 10, QLatin1Char('0'));
}

bool IsThumbnail(const QString& file) {
    return DecodedSize(file) == QSize(320, 240);
}

// Files of a folder that must not be there after a run: ".$$$" files and pictures that do not decode.
QStringList BadFiles(const QString& folder) {
    QStringList bad;
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString& f : files) {
        if (f.endsWith(QStringLiteral(".$$$")))
            bad << f + QStringLiteral(" (temporary file left)");
        else if (f.endsWith(QStringLiteral(".jpg")) && !DecodedSize(folder + u'/' + f).isValid())
            bad << f + QStringLiteral(" (not an intact picture)");
    }
    return bad;
}

void KillBrowsers() {
    EXPECT_GT(KillAll(BrowserProcesses()), 0) << "no browser to kill";
}

// Kills from another thread: during a capture the program runs no event loop, so a timer of ours would wait.
class Killer {
  public:
    ~Killer() { Join(); }
    void After(int ms, std::function<void()> what) {
        Join();
        m_thread = std::thread([ms, what = std::move(what)] {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            what();
        });
    }
    void Join() {
        if (m_thread.joinable()) m_thread.join();
    }

  private:
    std::thread m_thread;
};

// ------------------------------------------------------------------------------------------------------------
// The window

class WindowFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        AddCorpus(server);
        ASSERT_TRUE(out.isValid());
        form = std::make_unique<TForm1>(&dialogs);
        form->show();
        form->SetPageTimeoutMs(4000);
        form->sDirectoryEdit1->setText(out.path());
    }

    void TearDown() override {
        killer.Join();
        form.reset();  // the window's browser ends with it
        const QString left = WaitUntilNothingLeft(10000);
        EXPECT_TRUE(left.isEmpty()) << "after the window closed:\n" << qPrintable(left);
    }

    void AddRows(const QStringList& paths) {
        for (int i = 0; i < paths.size(); ++i) {
            const QString url = paths[i].startsWith(u'/') ? server.Url(paths[i]) : paths[i];
            form->AppendRow(url, PictureName(i));
        }
    }
    QString Url(int row) const { return form->Row(row).url; }
    QString Out(int row) const { return out.path() + u'/' + PictureName(row) + QStringLiteral(".jpg"); }

    // Runs the list, then checks what every run must leave: one completion message, no error box, every row a
    // thumbnail or counted failed, no bad file, and no browser but the window's own. Returns the failed
    // count.
    int RunAndCheck() {
        QTest::mouseClick(form->sBitBtn3, Qt::LeftButton);
        return Check();
    }
    int Check() {
        killer.Join();
        EXPECT_FALSE(form->IsRunning());
        EXPECT_TRUE(dialogs.errors.isEmpty()) << qPrintable(dialogs.errors.join(u'\n'));
        EXPECT_EQ(dialogs.notices.size(), 1) << qPrintable(dialogs.notices.join(u'\n'));
        message = dialogs.notices.value(0);
        EXPECT_TRUE(message.startsWith(QStringLiteral("Verarbeitung abgeschlossen"))) << qPrintable(message);
        int failed = 0;
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("\n\n(\\d+) von (\\d+) Einträgen fehlgeschlagen:"))
                .match(message);
        if (m.hasMatch()) {
            failed = m.captured(1).toInt();
            EXPECT_EQ(m.captured(2).toInt(), form->RowCount());
        }
        int thumbnails = removedThumbnails;
        for (int i = 0; i < form->RowCount(); ++i) thumbnails += IsThumbnail(Out(i));
        EXPECT_GE(thumbnails + failed, form->RowCount()) << "rows neither finished nor reported failed\n"
                                                         << qPrintable(message);
        EXPECT_EQ(BadFiles(out.path()), QStringList());
        // Browsers killed during the run are gone; only the window's current one may remain.
        const QString left = WaitUntilNothingLeft(10000, 1);
        EXPECT_TRUE(left.isEmpty()) << "after the run:\n" << qPrintable(left);
        return failed;
    }

    // The reasons listed in the message for a row's URL (the message lists the first five failures).
    bool Listed(int row) const { return message.contains(u'\n' + Url(row) + QStringLiteral(" – ")); }

    LocalHttpServer server;
    QTemporaryDir out;
    TFakeDialogs dialogs;
    std::unique_ptr<TForm1> form;
    Killer killer;
    QString message;
    int removedThumbnails = 0;  // finished thumbnails that the test itself removed during the run
};

TEST_F(WindowFaults, BrowserKilledWhileLoadingAsCaptureStartsAndDuringCapture) {
    QStringList rows = PlainRows();
    rows[3] = QStringLiteral("/slow?row=3");
    rows[9] = QStringLiteral("/heavy?row=9");
    rows[15] = QStringLiteral("/heavy?row=15");
    AddRows(rows);
    int kills = 0;
    QObject::connect(form->WB1, &TBrowserHost::BeforeNavigate2, form.get(), [&](const QString& url) {
        if (url == Url(3)) QTimer::singleShot(300, form.get(), [&] { KillBrowsers(), ++kills; });
    });
    QObject::connect(form->WB1, &TBrowserHost::DocumentComplete, form.get(), [&](const QString& url) {
        if (url == Url(9)) KillBrowsers(), ++kills;  // the capture is the next thing the run does
        if (url == Url(15)) killer.After(40, [&] { KillBrowsers(), ++kills; });
    });
    const int failed = RunAndCheck();
    EXPECT_EQ(kills, 3);
    EXPECT_GE(failed, 2);
    EXPECT_TRUE(Listed(3)) << qPrintable(message);
    EXPECT_TRUE(Listed(9)) << qPrintable(message);
    EXPECT_FALSE(QFileInfo::exists(Out(3))) << "nothing was captured for the row whose browser died";
    for (int i : {0, 1, 2, 4, 10, 16, 29}) EXPECT_TRUE(IsThumbnail(Out(i))) << "row " << i;
}

TEST_F(WindowFaults, RendererKilledAndCrashingPageFailTheirRowsAndTheRunGoesOn) {
    QStringList rows = PlainRows();
    rows[4] = QStringLiteral("/slow?row=4");
    rows[12] = QStringLiteral("chrome://crash");
    rows[20] = QStringLiteral("/heavy?row=20");
    AddRows(rows);
    int renderersKilled = 0;
    QObject::connect(form->WB1, &TBrowserHost::BeforeNavigate2, form.get(), [&](const QString& url) {
        if (url == Url(4))
            QTimer::singleShot(400, form.get(), [&] { renderersKilled += KillAll(RendererProcesses()); });
    });
    QObject::connect(form->WB1, &TBrowserHost::DocumentComplete, form.get(), [&](const QString& url) {
        if (url == Url(20)) renderersKilled += KillAll(RendererProcesses());
    });
    const int failed = RunAndCheck();
    EXPECT_GT(renderersKilled, 0);
    EXPECT_GE(failed, 2);
    EXPECT_TRUE(Listed(4)) << qPrintable(message);
    // The capture that waited for the crashed page ends with the crash (reported by the page, or by the
    // screenshot call failing at once), not after its 20 s bound; or it took the frame the browser still
    // held.
    const qsizetype row20 = message.indexOf(u'\n' + Url(20) + QStringLiteral(" – "));
    if (row20 >= 0) {
        const QString line20 = message.mid(row20 + 1).section(u'\n', 0, 0);
        EXPECT_TRUE(line20.contains(QStringLiteral("abgestürzt")) ||
                    line20.contains(QStringLiteral("captureScreenshot failed")))
            << qPrintable(message);
    } else {
        EXPECT_TRUE(IsThumbnail(Out(20)));
    }
    // A page opened right after the kill that lands in the dying renderer is opened again: later rows are
    // whole.
    for (int i : {5, 6, 7, 13, 21, 29})
        EXPECT_TRUE(IsThumbnail(Out(i))) << "row " << i << qPrintable(message);
}

TEST_F(WindowFaults, OutputFolderRemovedMidRunFailsTheRestWithTheirPaths) {
    AddRows(PlainRows());
    QObject::connect(form->WB1, &TBrowserHost::BeforeNavigate2, form.get(), [&](const QString& url) {
        if (url != Url(10)) return;
        for (int i = 0; i < 10; ++i) removedThumbnails += IsThumbnail(Out(i));
        QDir(out.path()).removeRecursively();
    });
    const int failed = RunAndCheck();
    EXPECT_EQ(removedThumbnails, 10);
    EXPECT_EQ(failed, 20) << qPrintable(message);
    EXPECT_FALSE(QFileInfo::exists(out.path())) << "nothing recreates the folder";
    EXPECT_TRUE(message.contains(Out(10))) << "the reason names the picture it could not write\n"
                                           << qPrintable(message);
}

// The window under a file size limit, set on this program while the run waits for row 3 (the browser, already
// running, keeps its own): the captures from there on fail with their reason and leave no partial file.
TEST_F(WindowFaults, FileSizeLimitFailsTheCaptureWritesCleanly) {
    // As the program's entry does: a write past the limit fails with EFBIG instead of ending the program.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    QStringList rows;
    for (int i = 0; i < 8; ++i) rows << QStringLiteral("/c%1?row=%2").arg(i % 6).arg(i);
    AddRows(rows);
    QObject::connect(form->WB1, &TBrowserHost::BeforeNavigate2, form.get(), [&](const QString& url) {
        if (url != Url(3)) return;
        const rlimit limit{kFileSizeLimit, old.rlim_max};
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    });
    QTest::mouseClick(form->sBitBtn3, Qt::LeftButton);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    const int failed = Check();
    EXPECT_EQ(failed, 5) << qPrintable(message);
    EXPECT_TRUE(message.contains(QStringLiteral("Datei zu groß"))) << qPrintable(message);
    for (int i : {0, 1, 2}) EXPECT_TRUE(IsThumbnail(Out(i))) << "row " << i;
    for (int i = 3; i < 8; ++i) EXPECT_FALSE(QFileInfo::exists(Out(i))) << "no partial capture of row " << i;
}

// ------------------------------------------------------------------------------------------------------------
// bildoro-batch

// One run of bildoro-batch with hooks: on every result line and every 10 ms while it runs.
class CliRun {
  public:
    struct Row {
        int lines = 0;
        bool ok = false;
        QString line;
    };

    QStringList prefix;  // e.g. prlimit and its options, before the program
    std::function<void(const QString& line, int count)> onLine;
    std::function<void()> onTick;

    std::atomic<qint64> pid{0};  // of the running program (read by the test server's thread too)
    int exitCode = -1;
    bool crashed = false;
    QString stdOut, stdErr;
    std::map<int, Row> rows;  // by row number (picture name rNN)
    int okLines = 0, failedLines = 0;
    int summaryOk = -1, summaryFailed = -1;

    void Run(const QStringList& args, int timeoutMs = 240000) {
        QProcess p;
        QStringList all = prefix;
        all << QStringLiteral(BILDORO_BINARY_DIR "/cli/bildoro-batch") << args;
        QString pending;
        int count = 0;
        QEventLoop loop;
        QObject::connect(&p, &QProcess::readyReadStandardOutput, &loop, [&] {
            pending += QString::fromUtf8(p.readAllStandardOutput());
            qsizetype nl;
            while ((nl = pending.indexOf(u'\n')) >= 0) {
                const QString line = pending.left(nl);
                pending.remove(0, nl + 1);
                Take(line);
                if (line.startsWith(QStringLiteral("ok: ")) || line.startsWith(QStringLiteral("failed: ")))
                    if (onLine) onLine(line, ++count);
            }
        });
        QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            if (onTick) onTick();
        });
        tick.start(10);
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, &loop, [&] {
            ADD_FAILURE() << "bildoro-batch did not end within " << timeoutMs << " ms";
            p.kill();
        });
        bound.start(timeoutMs);
        p.start(all.takeFirst(), all);
        if (!p.waitForStarted(10000)) {
            ADD_FAILURE() << "cannot start " << qPrintable(p.program());
            return;
        }
        pid = p.processId();
        loop.exec();
        p.waitForFinished(10000);
        pending += QString::fromUtf8(p.readAllStandardOutput());
        for (const QString& line : pending.split(u'\n', Qt::SkipEmptyParts)) Take(line);
        stdErr = QString::fromUtf8(p.readAllStandardError());
        crashed = p.exitStatus() != QProcess::NormalExit;
        exitCode = crashed ? -1 : p.exitCode();
    }

    // The checks every run must pass: it ended by itself with the status its summary gives, every row has
    // exactly one result line, each ok row is a finished thumbnail (in `folder`, or in `movedFolder` when the
    // folder was moved away meanwhile), no bad file is left, and no browser survives the program.
    void ExpectSound(int rowCount, const QString& folder, const QString& movedFolder = {}) const {
        EXPECT_FALSE(crashed) << "bildoro-batch crashed\n" << qPrintable(stdErr);
        EXPECT_EQ(summaryOk + summaryFailed, rowCount) << qPrintable(stdOut + stdErr);
        EXPECT_EQ(summaryFailed, failedLines);
        EXPECT_EQ(exitCode, failedLines > 0 ? 1 : 0) << qPrintable(stdErr);
        for (int i = 0; i < rowCount; ++i) {
            const auto it = rows.find(i);
            if (it == rows.end()) {
                ADD_FAILURE() << "row " << i << " has no result line\n" << qPrintable(stdOut);
                continue;
            }
            EXPECT_EQ(it->second.lines, 1) << "row " << i;
            if (it->second.ok) {
                const QString name = PictureName(i) + QStringLiteral(".jpg");
                const bool here = IsThumbnail(folder + u'/' + name);
                const bool moved = !movedFolder.isEmpty() && IsThumbnail(movedFolder + u'/' + name);
                EXPECT_TRUE(here || moved)
                    << "reported ok without a thumbnail: " << qPrintable(it->second.line);
            } else {
                EXPECT_TRUE(
                    it->second.line.contains(QStringLiteral("): ")) ||
                    QRegularExpression(QStringLiteral(": .+ \\(\\w+\\)$")).match(it->second.line).hasMatch())
                    << "a failed row says why: " << qPrintable(it->second.line);
            }
        }
        EXPECT_EQ(BadFiles(folder), QStringList());
        // A reduction under way when the folder was moved away leaves its temporary file there (it cannot
        // reach the folder any more); its row failed.
        for (const QString& bad : movedFolder.isEmpty() ? QStringList() : BadFiles(movedFolder)) {
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^r(\\d+)\\.\\$\\$\\$ \\(temporary file left\\)$"))
                    .match(bad);
            EXPECT_TRUE(m.hasMatch() && !RowOk(m.captured(1).toInt())) << qPrintable(bad);
        }
        const QString left = WaitUntilNothingLeft(10000);
        EXPECT_TRUE(left.isEmpty()) << "after bildoro-batch ended:\n" << qPrintable(left);
    }

    bool RowOk(int row) const {
        const auto it = rows.find(row);
        return it != rows.end() && it->second.ok;
    }
    QString RowLine(int row) const {
        const auto it = rows.find(row);
        return it == rows.end() ? QString() : it->second.line;
    }

  private:
    void Take(const QString& line) {
        stdOut += line + u'\n';
        const bool ok = line.startsWith(QStringLiteral("ok: "));
        if (ok || line.startsWith(QStringLiteral("failed: "))) {
            (ok ? okLines : failedLines)++;
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("/r(\\d\\d)\\.jpg")).match(line);
            if (!m.hasMatch()) return;
            Row& row = rows[m.captured(1).toInt()];
            ++row.lines;
            row.ok = ok;
            row.line = line;
            return;
        }
        const QRegularExpressionMatch s =
            QRegularExpression(QStringLiteral("^(\\d+) rows: (\\d+) ok, (\\d+) failed$")).match(line);
        if (s.hasMatch()) {
            summaryOk = s.captured(2).toInt();
            summaryFailed = s.captured(3).toInt();
        }
    }
};

class CliFaults : public ::testing::Test {
  public:
    void SetUp() override {
        AddCorpus(server);
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QStringLiteral("/out");
    }

    QString WriteList(const QStringList& paths) {
        const QString list = dir.path() + QStringLiteral("/list.csv");
        QFile f(list);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < paths.size(); ++i) {
            const QString url = paths[i].startsWith(u'/') ? server.Url(paths[i]) : paths[i];
            f.write((url + u';' + PictureName(i) + QStringLiteral("\r\n")).toUtf8());
        }
        return list;
    }

    QStringList Args(const QString& list, const QStringList& more = {}) const {
        return QStringList{list,
                           QStringLiteral("-o"),
                           folder,
                           QStringLiteral("--jobs"),
                           QStringLiteral("2"),
                           QStringLiteral("--timeout"),
                           QStringLiteral("4")} +
               more;
    }

    bool Requested(const QString& pathWithQuery) const {
        return !server.RequestsFor(pathWithQuery).isEmpty();
    }

    LocalHttpServer server;
    QTemporaryDir dir;
    QString folder;
    Killer killer;
};

TEST_F(CliFaults, BrowserKilledWhileLoadingBetweenRowsAndDuringCapture) {
    QStringList rows = PlainRows();
    rows[4] = QStringLiteral("/slow?row=4");
    rows[18] = QStringLiteral("/heavy?row=18");
    const QString list = WriteList(rows);
    CliRun run;
    bool loadingKill = false, betweenKill = false, captureKill = false;
    run.onTick = [&] {
        if (!loadingKill && Requested(QStringLiteral("/slow?row=4"))) {
            loadingKill = true;
            QTimer::singleShot(300, [] { KillBrowsers(); });
        }
        if (!captureKill && Requested(QStringLiteral("/beacon?row=18"))) {
            captureKill = true;
            KillBrowsers();
        }
    };
    run.onLine = [&](const QString&, int count) {
        if (count == 12 && !betweenKill) {
            betweenKill = true;
            KillBrowsers();
        }
    };
    run.Run(Args(list));
    EXPECT_TRUE(loadingKill && betweenKill && captureKill);
    run.ExpectSound(kRows, folder);
    // The row loading when its browser died fails with that reason, as a failure that may pass: it is
    // loaded again after the others, in a new browser.
    const QRegularExpression first(QStringLiteral("^again later: %1 .*Chromium exited")
                                       .arg(QRegularExpression::escape(server.Url(rows[4]))),
                                   QRegularExpression::MultilineOption);
    EXPECT_TRUE(first.match(run.stdOut).hasMatch()) << qPrintable(run.stdOut);
    EXPECT_TRUE(run.RowOk(4)) << qPrintable(run.RowLine(4));
    for (int i : {0, 1, 2, 26, 27, 28, 29}) EXPECT_TRUE(run.RowOk(i)) << qPrintable(run.RowLine(i));
}

TEST_F(CliFaults, BrowserKilledAtRandomMoments) {
    const QString list = WriteList(PlainRows());
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    QElapsedTimer clock;
    clock.start();
    qint64 next = std::uniform_int_distribution<int>(300, 2000)(random);
    int kills = 0;
    CliRun run;
    run.onTick = [&] {
        if (kills < 4 && clock.elapsed() >= next) {
            kills += KillAll(BrowserProcesses()) > 0;
            next = clock.elapsed() + std::uniform_int_distribution<int>(300, 2000)(random);
        }
    };
    run.Run(Args(list));
    run.ExpectSound(kRows, folder);
    if (kills > 0) {
        // The row a kill hit fails, or fails once and is tried again after the others.
        EXPECT_GE(run.failedLines + run.stdOut.count(QStringLiteral("again later: ")), 1);
    }
}

TEST_F(CliFaults, RendererKilledAndCrashingPageFailTheirRowsAndTheRunGoesOn) {
    QStringList rows = PlainRows().mid(0, 16);
    rows[4] = QStringLiteral("/slow?row=4");
    rows[9] = QStringLiteral("chrome://crash");
    const QString list = WriteList(rows);
    CliRun run;
    bool killed = false;
    run.onTick = [&] {
        if (!killed && Requested(QStringLiteral("/slow?row=4"))) {
            killed = true;
            QTimer::singleShot(300, [] { EXPECT_GT(KillAll(RendererProcesses()), 0); });
        }
    };
    run.Run(Args(list));
    run.ExpectSound(rows.size(), folder);
    // The crash fails the row's first attempt; a crash may pass, so the row is tried again after the others.
    EXPECT_TRUE(run.stdOut.contains(QStringLiteral("again later: ") + server.Url(rows[4])))
        << qPrintable(run.stdOut);
    for (int i : {0, 4, 13, 14, 15}) EXPECT_TRUE(run.RowOk(i)) << qPrintable(run.RowLine(i));
}

// A browser that stops answering altogether (stopped, not dead) is ended and replaced by a new one.
TEST_F(CliFaults, BrowserThatStopsAnsweringIsReplaced) {
    QStringList rows = PlainRows().mid(0, 12);
    const QString list = WriteList(rows);
    CliRun run;
    int stopped = 0;
    run.onLine = [&](const QString&, int count) {
        if (count == 3)
            for (qint64 pid : BrowserProcesses()) stopped += kill(pid_t(pid), SIGSTOP) == 0;
    };
    run.Run({list, QStringLiteral("-o"), folder, QStringLiteral("--timeout"), QStringLiteral("3")});
    EXPECT_EQ(stopped, 1);
    run.ExpectSound(rows.size(), folder);
    for (int i : {9, 10, 11}) EXPECT_TRUE(run.RowOk(i)) << qPrintable(run.stdOut);
}

// The output folder moved away mid-run, and a file put in its place in the same instant (a reduction under
// way would otherwise make the folder again, as it does by design, and the run would go on there): the rows
// from then on fail, naming the picture they could not write.
TEST_F(CliFaults, OutputFolderMovedAwayMidRun) {
    const QString list = WriteList(PlainRows());
    const QString moved = dir.path() + QStringLiteral("/moved");
    const QString blocker = dir.path() + QStringLiteral("/blocker");
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // When row 12's page is asked for (in the server's thread: the result lines may reach this test late on a
    // busy machine), so rows 12 on cannot have written before.
    std::atomic<bool> swapped{false};
    server.SetOnRequest([&](const QByteArray& path) {
        if (path.endsWith("?row=12") && !swapped.exchange(true)) {
            EXPECT_EQ(::syscall(SYS_renameat2, AT_FDCWD, QFile::encodeName(blocker).constData(), AT_FDCWD,
                                QFile::encodeName(folder).constData(), RENAME_EXCHANGE),
                      0)
                << std::strerror(errno);
            EXPECT_TRUE(QDir().rename(blocker, moved));
        }
    });
    CliRun run;
    run.Run(Args(list));
    server.SetOnRequest({});
    EXPECT_TRUE(swapped);
    run.ExpectSound(kRows, folder, moved);
    EXPECT_GE(run.failedLines, 10) << qPrintable(run.stdOut);
    EXPECT_FALSE(run.RowOk(kRows - 1));
    EXPECT_TRUE(run.RowLine(kRows - 1).contains(folder + QStringLiteral("/r29.jpg\":")))
        << "the reason names the picture it could not write: " << qPrintable(run.RowLine(kRows - 1));
}

// A file size limit put on bildoro-batch once its browser runs (the browser keeps running without it): every
// later capture write fails with EFBIG. The limit lies above a thumbnail and below a capture, so the capture
// write is the one that fails; the thumbnail write under a real limit is covered by the reduction's own tests
// (a thumbnail is always smaller than its capture, so a run cannot reach it with the capture written).
TEST_F(CliFaults, FileSizeLimitFailsTheCaptureWritesCleanly) {
    QStringList rows;
    for (int i = 0; i < 12; ++i) rows << QStringLiteral("/c%1?row=%2").arg(i % 6).arg(i);
    const QString list = WriteList(rows);
    CliRun run;
    qint64 firstThumbnail = 0;
    run.onLine = [&](const QString& line, int count) {
        if (count != 1) return;
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("-> (\\S+\\.jpg)$")).match(line);
        firstThumbnail = QFileInfo(m.captured(1)).size();
    };
    // Limited when row 4's page is asked for (in the server's thread, whatever the load on this one): rows 4
    // on write their captures after it.
    std::atomic<bool> limited{false};
    server.SetOnRequest([&](const QByteArray& path) {
        if (path.endsWith("?row=4") && !limited.exchange(true)) {
            const rlimit limit{kFileSizeLimit, kFileSizeLimit};
            EXPECT_EQ(prlimit(pid_t(run.pid), RLIMIT_FSIZE, &limit, nullptr), 0) << std::strerror(errno);
        }
    });
    run.Run(Args(list));
    server.SetOnRequest({});
    EXPECT_TRUE(limited);
    EXPECT_GT(firstThumbnail, 0);
    EXPECT_LT(firstThumbnail, qint64(kFileSizeLimit));
    run.ExpectSound(rows.size(), folder);
    EXPECT_GE(run.failedLines, rows.size() - 4) << qPrintable(run.stdOut + run.stdErr);
    for (const auto& [row, result] : run.rows)
        if (!result.ok) {
            EXPECT_TRUE(result.line.contains(QStringLiteral("File too large"))) << qPrintable(result.line);
        }
}

}  // namespace
