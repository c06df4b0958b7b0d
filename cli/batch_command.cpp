// bildoro-batch LIST -o FOLDER: the batch run without windows, up to N pages loading at once in one browser.
#include "commands.h"

#include "browser_host.h"
#include "chromium_process.h"
#include "list_file.h"
#include "row_pipeline.h"
#include "run_engine.h"
#include "terminal_text.h"

#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <memory>
#include <vector>

namespace {

// The command line's side of a run: rows from the list file, one result line per row, a progress line on a
// terminal.
class CliRun : public TRunClient {
  public:
    CliRun(const BatchOptions& options, std::vector<WebsiteEntry> rows, const TRunEngine& engine, FILE* out,
           FILE* err)
        : m_options(options),
          m_rows(std::move(rows)),
          m_engine(engine),
          m_out(out),
          m_err(err),
          m_tty(isatty(fileno(err))),
          m_timings(qEnvironmentVariableIsSet("BILDORO_BATCH_TIMINGS")) {}

    ~CliRun() override { ClearProgress(); }

    int Failed() const { return m_failed; }

    QString BeginRow(int row) override { return m_rows[row].url; }

    RowSettings SettingsOf(int row) override {
        const BatchOptions& o = m_options;
        const QString picture = m_rows[row].picture;
        return {[&o] { return o.outputFolder; }, [picture] { return picture; }, [&o] { return o.widthText; },
                [&o] { return o.filter; }};
    }

    void EndRow(int index, const QString& url, const RowResult& r) override {
        ++m_done;
        const WebsiteEntry& row = m_rows[index];
        const QByteArray path = TerminalText(OutputPicturePath(m_options.outputFolder, row.picture));
        ClearProgress();
        if (m_timings && (r.ok || r.stage != RowStage::Load))
            std::fprintf(m_err, "timing: %s load %.1f ms, queued %.1f ms, capture %.1f ms, reduce %.1f ms\n",
                         TerminalText(url).constData(), m_engine.LastTimings().loadMs,
                         m_engine.LastTimings().queuedMs, r.captureMs, r.reduceMs);
        if (r.ok) {
            std::fprintf(
                m_out, "ok: %s -> %s%s\n", TerminalText(url).constData(), path.constData(),
                r.timedOut
                    ? qPrintable(QStringLiteral(" (not complete after %1 s; captured as far as loaded)")
                                     .arg(m_options.timeoutSeconds))
                    : "");
        } else {
            ++m_failed;
            std::fprintf(m_out, "failed: %s -> %s: %s (%s)\n", TerminalText(url).constData(),
                         path.constData(), TerminalText(r.reason).constData(),
                         RowStageName(r.stage).toUtf8().constData());
        }
        std::fflush(m_out);
        ShowProgress();
    }

  private:
    void ShowProgress() {
        if (!m_tty) return;
        std::fprintf(m_err, "\r[%d/%zu] %d failed", m_done, m_rows.size(), m_failed);
        std::fflush(m_err);
        m_progressShown = true;
    }

    void ClearProgress() {
        if (!m_progressShown) return;
        std::fprintf(m_err, "\r\033[K");
        std::fflush(m_err);
        m_progressShown = false;
    }

    const BatchOptions& m_options;
    std::vector<WebsiteEntry> m_rows;
    const TRunEngine& m_engine;
    FILE* m_out;
    FILE* m_err;
    bool m_tty;
    bool m_timings;  // BILDORO_BATCH_TIMINGS set: one line per row on the error stream with its stage times
    bool m_progressShown = false;
    int m_done = 0;
    int m_failed = 0;
};

// Runs every row through `jobs` pages of one browser; returns the number of failed rows.
int RunRows(const BatchOptions& options, std::vector<WebsiteEntry> rows, FILE* out, FILE* err) {
    const int count = int(rows.size());
    const int jobs = std::max(1, std::min(options.jobs, count));
    std::vector<std::unique_ptr<TBrowserHost>> hosts;
    std::vector<TBrowserHost*> slots;
    for (int i = 0; i < jobs; ++i) {
        hosts.push_back(std::make_unique<TBrowserHost>());
        hosts.back()->SetWidth(options.captureWidth);
        hosts.back()->SetHeight(options.captureHeight);
        slots.push_back(hosts.back().get());
    }
    TRunEngine engine(slots, int(options.timeoutSeconds * 1000));
    CliRun run(options, std::move(rows), engine, out, err);
    engine.Run(count, run);
    return run.Failed();
}

}  // namespace

int RunBatch(const BatchOptions& options, FILE* out, FILE* err) {
    std::vector<WebsiteEntry> rows;
    try {
        rows = ReadListFile(options.listFile);
    } catch (const std::exception& e) {
        std::fprintf(err, "bildoro-batch: %s\n", TerminalText(QString::fromUtf8(e.what())).constData());
        return 1;
    }
    if (rows.empty()) {
        std::fprintf(err, "bildoro-batch: Keine Einträge vorhanden (%s)\n",
                     TerminalText(options.listFile).constData());
        return 1;
    }
    if (const QString why = RefusedOutputFolderReason(options.outputFolder); !why.isEmpty()) {
        std::fprintf(err, "bildoro-batch: %s (an empty folder would mean the file system's root)\n",
                     why.toUtf8().constData());
        return 1;
    }
    if (!QDir().mkpath(options.outputFolder)) {
        std::fprintf(err, "bildoro-batch: the output folder \"%s\" cannot be made\n",
                     TerminalText(options.outputFolder).constData());
        return 1;
    }
    const QString chromium = TChromiumProcess::FindExecutable();
    if (chromium.isEmpty()) {
        std::fprintf(
            err,
            "bildoro-batch: no Chromium found (looked for chromium, chromium-browser and google-chrome on "
            "PATH; set BILDORO_CHROMIUM to use another)\n");
        return 1;
    }
    if (!QFileInfo(chromium).isFile() || !QFileInfo(chromium).isExecutable()) {
        std::fprintf(err,
                     "bildoro-batch: Chromium \"%s\" (from BILDORO_CHROMIUM) is not an executable program\n",
                     TerminalText(chromium).constData());
        return 1;
    }
    if (geteuid() == 0)
        std::fprintf(err,
                     "bildoro-batch: running as root, so Chromium runs without its sandbox: a hostile page "
                     "that breaks into the browser has the rights of root. Run as a normal user to keep "
                     "the sandbox.\n");
    const size_t total = rows.size();
    const int failed = RunRows(options, std::move(rows), out, err);
    std::fprintf(out, "%zu rows: %zu ok, %d failed\n", total, total - size_t(failed), failed);
    return failed == 0 ? 0 : 1;
}
