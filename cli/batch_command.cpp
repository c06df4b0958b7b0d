// bildoro-batch LIST -o FOLDER: the batch run without windows, up to N pages loading at once in one browser.
#include "commands.h"

#include "browser_host.h"
#include "chromium_process.h"
#include "html_report.h"
#include "list_file.h"
#include "list_rows.h"
#include "row_pipeline.h"
#include "run_engine.h"
#include "run_report.h"
#include "safe_files.h"
#include "script_fonts.h"
#include "terminal_text.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

// One row under way: where it stands in the list, and how often it has been tried.
struct PendingRow {
    qint64 index = 0;
    // The row, with the picture name it writes (made from the address when the list gave none).
    WebsiteEntry entry;
    QString refusal;  // why the row fails before its page loads (an earlier row writes its picture)
    int attempts = 0;
};

// The command line's side of a run: rows from the list as they come (or, in a later round, the rows to try
// again), one result line per row, a report line per row, a progress line on a terminal.
class CliRun : public TRunClient {
  public:
    CliRun(const BatchOptions& options, TListRows& list, const TDoneRows& done, TRunReport* report,
           QFile* failedList, TEarlierRun* earlier, const TRunEngine& engine, FILE* out, FILE* err)
        : m_options(options),
          m_earlier(earlier),
          m_capture(std::make_shared<const TCaptureOptions>(options.capture)),
          m_list(list),
          m_done(done),
          m_report(report),
          m_engine(engine),
          m_failedList(failedList),
          m_out(out),
          m_err(err),
          m_tty(isatty(fileno(err))),
          m_timings(qEnvironmentVariableIsSet("BILDORO_BATCH_TIMINGS")) {
        m_clock.start();
    }

    ~CliRun() override { ClearProgress(); }

    // The rows of this run when known before it (a list file, not standard input): the progress line then
    // shows how far the run is and the time left.
    void SetTotal(qint64 rows) { m_total = rows; }
    // Ends the run early (Ctrl-C): no row begins any more.
    void Interrupt() { m_interrupted = true; }
    bool Interrupted() const { return m_interrupted; }
    bool Stopping() const override { return m_interrupted; }

    int Ok() const { return m_ok; }
    int Failed() const { return m_failed; }
    int Skipped() const { return m_skipped; }
    // With a comparison: this run's rows by what the earlier run says of them.
    struct Compared {
        int changed = 0, unchanged = 0, fresh = 0, failedNowOkBefore = 0;
    };
    const Compared& Comparison() const { return m_compared; }
    // What the report says of each row that ended, kept when there is no report file to read back.
    std::vector<ReportEntry> TakeEntries() { return std::exchange(m_entries, {}); }
    QString ReadError() const { return m_readError; }
    // Rows to try again after this round.
    std::vector<PendingRow> TakeRetries() { return std::exchange(m_retries, {}); }

    // The next round takes these rows instead of the list's.
    void StartRound(std::vector<PendingRow> rows) {
        m_round = std::move(rows);
        m_roundAt = 0;
        m_fromList = false;
        m_pending.clear();
    }

    bool HasRow(int run) override {
        std::optional<PendingRow> next = m_fromList ? NextFromList() : NextFromRound();
        if (!next) return false;
        m_pending[run] = std::move(*next);
        return true;
    }

    QString BeginRow(int run) override { return m_pending.at(run).entry.url; }

    RowSettings SettingsOf(int run) override {
        const BatchOptions& o = m_options;
        const PendingRow& row = m_pending.at(run);
        const QString picture = row.entry.picture;
        return {[&o] { return o.outputFolder; },
                [picture] { return picture; },
                [&o] { return o.widthText; },
                [&o] { return o.filter; },
                row.refusal,
                m_capture};
    }

    void EndRow(int run, const QString& url, const RowResult& r) override {
        PendingRow row = std::move(m_pending.at(run));
        m_pending.erase(run);
        ++row.attempts;
        const QString path = PathOf(row.entry.picture);
        ClearProgress();
        if (m_timings && (r.ok || r.stage != RowStage::Load))
            std::fprintf(m_err, "timing: %s load %.1f ms, queued %.1f ms, capture %.1f ms, reduce %.1f ms\n",
                         TerminalText(url).constData(), m_engine.LastTimings().loadMs,
                         m_engine.LastTimings().queuedMs, r.captureMs, r.reduceMs);
        // A failed row's line: "again later" when it is tried once more, "failed" when it is given up.
        auto printFailure = [&](const char* word) {
            std::fprintf(m_out, "%s: %s -> %s: %s (%s)\n", word, TerminalText(url).constData(),
                         TerminalText(path).constData(), TerminalText(r.reason).constData(),
                         RowStageName(r.stage).toUtf8().constData());
        };
        if (!r.ok && r.passing && row.attempts <= m_options.retries) {
            printFailure("again later");
            m_retries.push_back(std::move(row));
        } else {
            if (r.ok) {
                ++m_ok;
                QString notes;
                // A row's line is English whatever the locale, like its reason.
                if (r.timedOut)
                    notes += QStringLiteral(" (not complete after %1 s; captured as far as loaded)")
                                 .arg(m_options.timeoutSeconds);
                if (r.blank)
                    notes +=
                        QStringLiteral(" (blank: the page showed one colour only, also when taken again)");
                std::fprintf(m_out, "ok: %s -> %s%s\n", TerminalText(url).constData(),
                             TerminalText(path).constData(), notes.toUtf8().constData());
            } else {
                ++m_failed;
                printFailure("failed");
            }
            std::optional<TEarlierRun::Verdict> verdict;
            if (m_earlier) {
                verdict = m_earlier->Compare(row.entry.url, row.entry.picture, r.fingerprint,
                                             m_options.changeDistance);
                m_compared.fresh += verdict->isNew;
                m_compared.changed += verdict->changed.value_or(false);
                m_compared.unchanged += !verdict->changed.value_or(true);
                m_compared.failedNowOkBefore += !r.ok && verdict->wasOk;
            }
            const QJsonObject line =
                ReportLine({row.index, row.entry.url, row.entry.picture, path,
                            r.ok ? ReportRow::Status::Ok : ReportRow::Status::Failed, row.attempts, &r,
                            &m_options.capture, verdict ? &*verdict : nullptr});
            Report(line);
            // With a report the end of the run reads the rows back from it (those of earlier rounds too).
            if (!m_report) m_entries.push_back(EntryFromLine(line));
            if (!r.ok) WriteFailed(row.entry);
        }
        std::fflush(m_out);
        ShowProgress();
    }

  private:
    QString PathOf(const QString& picture) const {
        return OutputPicturePath(m_options.outputFolder, picture, PictureExtension(m_options.capture.format));
    }

    std::optional<PendingRow> NextFromList() {
        try {
            while (std::optional<ListRow> next = m_list.Next()) {
                const QString path = PathOf(next->entry.picture);
                if (next->sameAs >= 0)
                    return PendingRow{next->index, std::move(next->entry),
                                      TPictureNames::SamePictureText(next->sameAs), 0};
                // Done by an earlier run of this report, and its picture still there: not loaded again. The
                // report already has its line (one line per row, so that the reports of shares merge by
                // concatenation).
                if (!m_done.Contains(next->index, next->entry.url, path) ||
                    (!m_options.picturesMoved && !QFileInfo(path).isFile()))
                    return PendingRow{next->index, std::move(next->entry), {}, 0};
                ++m_skipped;
                ClearProgress();
                std::fprintf(m_out, "skipped: %s -> %s (done before)\n",
                             TerminalText(next->entry.url).constData(), TerminalText(path).constData());
                ShowProgress();
            }
        } catch (const ListFileError& e) {
            m_readError = e.Message();
        }
        return std::nullopt;
    }

    std::optional<PendingRow> NextFromRound() {
        if (m_roundAt >= m_round.size()) return std::nullopt;
        return std::move(m_round[m_roundAt++]);
    }

  public:
    void Report(const QJsonObject& line) {
        if (!m_report) return;
        try {
            m_report->Write(line);
        } catch (const std::exception& e) {
            // The run goes on; the report's loss is said once.
            if (!m_reportFailed)
                std::fprintf(m_err, "bildoro-batch: %s\n",
                             TerminalText(QString::fromUtf8(e.what())).constData());
            m_reportFailed = true;
        }
    }

  private:
    // The failed row's line goes to the failed list at once, so that a run that is killed leaves it too.
    void WriteFailed(const WebsiteEntry& entry) {
        if (!m_failedList) return;
        const QByteArray line = ListFileBytes({ListFileLine(entry)});
        if (m_failedList->write(line) == line.size() && m_failedList->flush()) return;
        std::fprintf(m_err, "bildoro-batch: %s\n",
                     TerminalText(QCoreApplication::translate("bildoro-batch",
                                                              "the failed list \"%1\" cannot be written: %2")
                                      .arg(m_failedList->fileName(), m_failedList->errorString()))
                         .constData());
        m_failedList = nullptr;
    }

  public:
    void ClearProgress() {
        if (!m_progressShown) return;
        std::fprintf(m_err, "\r\033[K");
        std::fflush(m_err);
        m_progressShown = false;
    }

  private:
    // One line on the terminal, rewritten after each row: done (of how many), ok and failed, pages per
    // minute and the time left (once a few rows give a rate).
    void ShowProgress() {
        if (!m_tty) return;
        const qint64 done = m_ok + m_failed + m_skipped;
        const qint64 loaded = m_ok + m_failed;  // skipped rows cost no time
        QString line =
            m_total > 0 ? QStringLiteral("[%1/%2]").arg(done).arg(m_total) : QStringLiteral("[%1]").arg(done);
        line += QCoreApplication::translate("bildoro-batch", " %1 ok, %2 failed").arg(m_ok).arg(m_failed);
        const double minutes = m_clock.elapsed() / 60000.0;
        if (loaded >= 2 && minutes > 0) {
            const double perMinute = loaded / minutes;
            line += QCoreApplication::translate("bildoro-batch", ", %1 pages/min").arg(perMinute, 0, 'f', 1);
            if (m_total > done) {
                const qint64 left = qint64((m_total - done) / perMinute * 60);
                line += QCoreApplication::translate("bildoro-batch", ", %1 left")
                            .arg(left >= 3600 ? QStringLiteral("%1:%2:%3")
                                                    .arg(left / 3600)
                                                    .arg(left / 60 % 60, 2, 10, QLatin1Char('0'))
                                                    .arg(left % 60, 2, 10, QLatin1Char('0'))
                                              : QStringLiteral("%1:%2").arg(left / 60).arg(left % 60, 2, 10,
                                                                                           QLatin1Char('0')));
            }
        }
        std::fprintf(m_err, "\r\033[K%s", qPrintable(line));
        std::fflush(m_err);
        m_progressShown = true;
    }

    const BatchOptions& m_options;
    TEarlierRun* m_earlier;  // null without --compare
    Compared m_compared;
    std::vector<ReportEntry> m_entries;
    const std::shared_ptr<const TCaptureOptions> m_capture;
    TListRows& m_list;
    const TDoneRows& m_done;
    TRunReport* m_report;
    const TRunEngine& m_engine;
    QFile* m_failedList;  // null without --failed-list, or once writing it failed
    FILE* m_out;
    FILE* m_err;
    bool m_tty;
    bool m_timings;  // BILDORO_BATCH_TIMINGS set: one line per row on the error stream with its stage times
    bool m_progressShown = false;
    bool m_reportFailed = false;
    bool m_fromList = true;
    std::map<int, PendingRow> m_pending;  // by the engine's row number; only the rows under way
    std::vector<PendingRow> m_round;
    size_t m_roundAt = 0;
    std::vector<PendingRow> m_retries;
    QString m_readError;
    int m_ok = 0;
    int m_failed = 0;
    int m_skipped = 0;
    qint64 m_total = 0;     // 0: not known
    QElapsedTimer m_clock;  // from the start of the run
    bool m_interrupted = false;
};

// The output folder made for a run, and the parents made with it, so that a run that cannot start after all
// leaves none of them behind.
class TMadeFolders {
  public:
    // Makes `folder` with its missing parents; false when that fails (what was made is taken back).
    bool Make(const QString& folder) {
        for (QString at = QDir::cleanPath(folder); !QFileInfo::exists(at);) {
            m_made.push_back(at);
            const QString parent = QFileInfo(at).dir().path();
            if (parent == at) break;
            at = parent;
        }
        if (QDir().mkpath(folder)) return true;
        RemoveIfEmpty();
        return false;
    }
    // Removes the folders it made, deepest first, as long as they are empty.
    void RemoveIfEmpty() {
        for (const QString& at : m_made)
            if (!QDir().rmdir(at)) break;
        m_made.clear();
    }

  private:
    std::vector<QString> m_made;  // deepest first
};

// The rows of this run's share, counted before it for the progress line (a list file is read twice).
qint64 CountRows(const BatchOptions& options) {
    try {
        TListRows rows(options.listFile, options.shard, options.shards);
        qint64 n = 0;
        while (rows.Next()) ++n;
        return n;
    } catch (const ListFileError&) {
        return 0;  // the run itself says why
    }
}

// Turns SIGINT and SIGTERM into a call on the event loop's thread, while it lives; a second signal ends the
// program as the system does.
class TInterruptWatch {
  public:
    explicit TInterruptWatch(std::function<void()> onInterrupt) : m_onInterrupt(std::move(onInterrupt)) {
        if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
            char byte;
            while (::read(s_pipe[0], &byte, 1) > 0) {
            }
            m_onInterrupt();
        });
        struct sigaction action {};
        action.sa_handler = [](int) {
            const int saved = errno;
            [[maybe_unused]] const ssize_t n = ::write(s_pipe[1], "i", 1);
            errno = saved;
        };
        action.sa_flags = SA_RESETHAND;  // the second one is the system's
        sigemptyset(&action.sa_mask);
        for (int sig : {SIGINT, SIGTERM}) ::sigaction(sig, &action, &m_old[sig == SIGINT ? 0 : 1]);
    }
    ~TInterruptWatch() {
        if (!m_notifier) return;
        ::sigaction(SIGINT, &m_old[0], nullptr);
        ::sigaction(SIGTERM, &m_old[1], nullptr);
        m_notifier.reset();
        ::close(s_pipe[0]);
        ::close(s_pipe[1]);
    }
    TInterruptWatch(const TInterruptWatch&) = delete;
    TInterruptWatch& operator=(const TInterruptWatch&) = delete;

  private:
    static inline int s_pipe[2] = {-1, -1};
    std::function<void()> m_onInterrupt;
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_old[2]{};
};

// What the end of a run adds to its summary: the rows the earlier run had and this one has not (reported as
// vanished), the comparison's counts, the groups of rows that look alike (written into the report), and the
// report page.
QStringList AfterTheRun(const BatchOptions& options, CliRun& run, TEarlierRun* earlier,
                        std::unique_ptr<TRunReport> report, FILE* out, FILE* err) {
    auto warn = [err](const QString& why) {
        std::fprintf(err, "bildoro-batch: %s\n", TerminalText(why).constData());
    };
    QStringList parts;
    std::vector<ReportEntry> entries = run.TakeEntries();
    // A share, or a run that ended early, has not seen every row of the list: nothing is said to be gone.
    const bool whole = options.shards == 1 && !run.Interrupted() && run.ReadError().isEmpty();
    if (earlier) {
        const CliRun::Compared& c = run.Comparison();
        int vanished = 0;
        if (whole && !options.resume)
            for (const TEarlierRun::Row& row : earlier->Unseen()) {
                std::fprintf(out, "vanished: %s (%s)\n", TerminalText(row.url).constData(),
                             TerminalText(row.picture).constData());
                const QJsonObject line = VanishedLine(row);
                run.Report(line);
                if (!report) entries.push_back(EntryFromLine(line));
                ++vanished;
            }
        parts << QCoreApplication::translate(
                     "bildoro-batch", "; %1 changed, %2 unchanged, %3 new, %4 failed now but ok before")
                     .arg(c.changed)
                     .arg(c.unchanged)
                     .arg(c.fresh)
                     .arg(c.failedNowOkBefore);
        if (vanished > 0)
            parts << QCoreApplication::translate("bildoro-batch", ", %1 vanished").arg(vanished);
    }
    // The report holds the rows of earlier rounds of a resumed run too: it is read back whole.
    if (report) {
        report.reset();
        try {
            entries = ReadReportEntries(options.reportFile);
        } catch (const std::exception& e) {
            warn(QString::fromUtf8(e.what()));
        }
    }
    const std::vector<std::pair<int, size_t>> groups = GroupEntries(entries, options.groupDistance);
    if (!options.reportFile.isEmpty()) {
        try {
            WriteReportGroups(options.reportFile, entries);
        } catch (const std::exception& e) {
            warn(QString::fromUtf8(e.what()));
        }
    }
    for (size_t g = 0; g < groups.size() && g < 3; ++g) {
        const auto [size, first] = groups[g];
        parts << (g == 0 ? QStringLiteral("\n") : QStringLiteral("; ")) +
                     QCoreApplication::translate("bildoro-batch", "%1 pages look like row %2 (%3)")
                         .arg(size)
                         .arg(entries[first].row + 1)
                         .arg(entries[first].url);
    }
    if (!options.htmlFile.isEmpty()) {
        try {
            WriteHtmlReport(options.htmlFile, entries);
        } catch (const std::exception& e) {
            warn(QString::fromUtf8(e.what()));
        }
    }
    return parts;
}

}  // namespace

AutoJobsRange AutoJobs(int cores, qint64 memoryLimitMiB) {
    cores = std::max(1, cores);
    const qint64 byMemory = (memoryLimitMiB - TPagesInFlight::kBrowserMiB) / TPagesInFlight::kFirstPageMiB;
    AutoJobsRange range;
    range.most = int(std::clamp<qint64>(std::min<qint64>(8 * cores, byMemory), 1, kMaxJobs));
    range.first = std::min(2 * cores, range.most);
    range.least = std::min(cores, range.first);
    return range;
}

qint64 MachineMemoryMiB() {
    QFile info(QStringLiteral("/proc/meminfo"));
    if (info.open(QIODevice::ReadOnly))
        for (const QByteArray& line : info.readAll().split('\n'))
            if (line.startsWith("MemTotal:"))
                return line.mid(9).trimmed().split(' ').first().toLongLong() / 1024;
    return 4096;
}

int RunBatch(const BatchOptions& options, FILE* out, FILE* err) {
    auto cannotStart = [err](const QString& why) {
        std::fprintf(err, "bildoro-batch: %s\n", TerminalText(why).constData());
        return kExitCannotStart;
    };
    std::optional<TListRows> list;
    try {
        list.emplace(options.listFile, options.shard, options.shards, options.capture.Variants());
    } catch (const std::exception& e) {
        return cannotStart(QString::fromUtf8(e.what()));
    }
    if (const QString why = RefusedOutputFolderReason(options.outputFolder); !why.isEmpty())
        return cannotStart(why +
                           QCoreApplication::translate(
                               "bildoro-batch", " (an empty folder would mean the file system's root)"));
    // Found before any page loads; the folder itself is made only once nothing else stands in the way.
    if (const QString why = UnwritableOutputFolderReason(options.outputFolder, true); !why.isEmpty())
        return cannotStart(why);
    const QString chromium = TChromiumProcess::FindExecutable();
    if (chromium.isEmpty())
        return cannotStart(QCoreApplication::translate(
            "bildoro-batch",
            "no Chromium found (looked for chromium, chromium-browser and google-chrome on PATH; set "
            "BILDORO_CHROMIUM to use another)"));
    if (!QFileInfo(chromium).isFile() || !QFileInfo(chromium).isExecutable())
        return cannotStart(
            QCoreApplication::translate(
                "bildoro-batch", "Chromium \"%1\" (from BILDORO_CHROMIUM) is not an executable program")
                .arg(chromium));
    TDoneRows done;
    std::optional<TEarlierRun> earlier;
    try {
        if (options.resume) done = TDoneRows::FromReport(options.reportFile);
        // Read whole before this run's report is opened (it may be the same file).
        if (!options.compareFile.isEmpty()) earlier = TEarlierRun::FromReport(options.compareFile);
    } catch (const std::exception& e) {
        return cannotStart(QString::fromUtf8(e.what()));
    }
    TMadeFolders made;
    if (!made.Make(options.outputFolder))
        return cannotStart(
            QCoreApplication::translate("bildoro-batch", "the output folder \"%1\" cannot be made")
                .arg(options.outputFolder));
    // From here on a run that cannot start takes back the folders it made (those it left empty).
    auto cannotStartAfterMaking = [&](const QString& why) {
        made.RemoveIfEmpty();
        return cannotStart(why);
    };
    std::unique_ptr<TRunReport> report;
    try {
        if (!options.reportFile.isEmpty())
            report = std::make_unique<TRunReport>(options.reportFile, options.resume);
    } catch (const std::exception& e) {
        return cannotStartAfterMaking(QString::fromUtf8(e.what()));
    }
    std::unique_ptr<QFile> failedList;
    if (!options.failedListFile.isEmpty()) {
        failedList = std::make_unique<QFile>(options.failedListFile);
        try {
            // A FIFO or a device at the name is refused, never written to or waited on.
            OpenRegularFileForWriting(*failedList, false);
        } catch (const std::exception& e) {
            return cannotStartAfterMaking(QString::fromUtf8(e.what()));
        }
    }
    // Once per run: without these fonts, pages in those scripts come out with boxes for their text.
    if (const QStringList fonts = MissingScriptFontPackages(); !fonts.isEmpty())
        std::fprintf(err, "bildoro-batch: %s\n",
                     qPrintable(QCoreApplication::translate(
                                    "bildoro-batch",
                                    "fonts are missing (install %1): pages in Chinese, Japanese or Korean, "
                                    "or with emoji, may show boxes instead of text")
                                    .arg(fonts.join(u' '))));
    if (geteuid() == 0)
        std::fprintf(
            err, "bildoro-batch: %s\n",
            qPrintable(QCoreApplication::translate(
                "bildoro-batch",
                "running as root, so Chromium runs without its sandbox: a hostile page that breaks "
                "into the browser has the rights of root. Run as a normal user to keep the sandbox.")));

    std::vector<std::unique_ptr<TBrowserHost>> hosts;
    std::vector<TBrowserHost*> slots;
    // One Chromium, a page per slot.
    const QStringList switches =
        options.capture.proxy.isEmpty() ? QStringList() : ProxySwitches(options.capture.proxy);
    const auto browser = std::make_shared<TBrowser>([switches] { return LaunchChromium(switches); });
    // With --jobs auto there are as many slots as the count may reach.
    const std::optional<AutoJobsRange> range =
        options.autoJobs ? std::optional(AutoJobs(QThread::idealThreadCount(), options.memoryLimitMiB))
                         : std::nullopt;
    for (int i = 0; i < (range ? range->most : options.jobs); ++i) {
        hosts.push_back(std::make_unique<TBrowserHost>(browser));
        hosts.back()->SetWidth(options.captureWidth);
        hosts.back()->SetHeight(options.captureHeight);
        hosts.back()->SetConsentHandling(!options.keepBanners);
        hosts.back()->SetPageOptions(options.capture);
        slots.push_back(hosts.back().get());
    }
    TRunEngine engine(slots, int(options.timeoutSeconds * 1000));
    engine.SetServerBusyFails(true);
    engine.SetSettleMs(options.settleMs);
    engine.SetLocalFilesAllowed(options.allowFiles);
    engine.SetPerHost(options.perHost);
    engine.SetPageMemoryLimit(options.pageMemoryMiB);
    if (range)
        engine.SetPagesInFlight(std::make_unique<TPagesInFlight>(range->least, range->most, range->first,
                                                                 options.memoryLimitMiB));
    // The pictures are written and reduced while the pages load their next rows; the lines of the rows still
    // come in the order their pictures are done.
    engine.SetWritesInShadow(true);
    CliRun run(options, *list, done, report.get(), failedList.get(), earlier ? &*earlier : nullptr, engine,
               out, err);
    // Counted only where reading the list twice costs little: a list of millions of rows starts at once and
    // shows how many rows are done.
    if (isatty(fileno(err)) && options.listFile != QLatin1String("-") &&
        QFileInfo(options.listFile).size() <= kListFileMaxBytes)
        run.SetTotal(CountRows(options));
    // Ctrl-C ends the pages under way and the run with its summary; a second one ends the program at once.
    QEventLoop pause;  // between the rounds of retries; the browser's messages keep coming
    TInterruptWatch interrupt([&] {
        run.Interrupt();
        engine.Stop();
        pause.quit();
    });
    engine.Run(std::numeric_limits<int>::max(), run);
    if (const TPagesInFlight* count = engine.InFlight();
        count && qEnvironmentVariableIsSet("BILDORO_BATCH_TIMINGS"))
        std::fprintf(err, "timing: pages at once from %d to %d\n", count->Fewest(), count->Highest());
    // Rows that failed for a passing reason are tried again after all others, after a pause that grows with
    // each round.
    for (int round = 1; round <= options.retries && !run.Interrupted(); ++round) {
        std::vector<PendingRow> again = run.TakeRetries();
        if (again.empty()) break;
        const int pauseMs = std::min(60000, 1000 << (round - 1));
        std::fprintf(err, "bildoro-batch: %s\n",
                     qPrintable(QCoreApplication::translate("bildoro-batch", "trying %1 rows again in %2 s")
                                    .arg(again.size())
                                    .arg(pauseMs / 1000)));
        QTimer::singleShot(pauseMs, &pause, &QEventLoop::quit);
        pause.exec();
        if (run.Interrupted()) break;
        run.StartRound(std::move(again));
        engine.Run(std::numeric_limits<int>::max(), run);
    }
    run.ClearProgress();
    const int total = run.Ok() + run.Failed() + run.Skipped();
    if (total == 0 && options.shards == 1 && run.ReadError().isEmpty())
        return cannotStartAfterMaking(QCoreApplication::translate("bildoro-batch", "the list has no rows"));
    QString summary = QCoreApplication::translate("bildoro-batch", "%1 rows: %2 ok, %3 failed")
                          .arg(total)
                          .arg(run.Ok())
                          .arg(run.Failed());
    if (run.Skipped() > 0)
        summary += QCoreApplication::translate("bildoro-batch", ", %1 skipped").arg(run.Skipped());
    const QStringList after =
        AfterTheRun(options, run, earlier ? &*earlier : nullptr, std::move(report), out, err);
    for (const QString& part : after) summary += part;
    std::fprintf(out, "%s\n", qPrintable(summary));
    if (run.Interrupted()) {
        // How to go on: the same command once more skips what is done.
        std::fprintf(
            err, "bildoro-batch: %s\n",
            qPrintable(
                options.reportFile.isEmpty()
                    ? QCoreApplication::translate(
                          "bildoro-batch",
                          "interrupted; to go on later without doing the done rows again, run "
                          "with --report FILE --resume")
                    : QCoreApplication::translate(
                          "bildoro-batch", "interrupted; run the same command with --resume to go on")));
        std::fflush(out);
        return kExitInterrupted;
    }
    if (!run.ReadError().isEmpty()) {
        std::fprintf(err, "bildoro-batch: %s\n", TerminalText(run.ReadError()).constData());
        return kExitRowsFailed;
    }
    return run.Failed() == 0 ? kExitOk : kExitRowsFailed;
}
