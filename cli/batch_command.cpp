// bildoro-batch LIST -o FOLDER: the batch run without windows, up to N pages loading at once in one browser.
#include "commands.h"

#include "browser_host.h"
#include "chromium_process.h"
#include "list_file.h"
#include "row_pipeline.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QEventLoop>
#include <QTimer>
#include <deque>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// Drives the rows through a fixed set of browser pages. Pages load in parallel; capture and reduction run
// one at a time (they are short and use the one browser anyway), and never re-enter each other.
class BatchRunner : public QObject {
public:
    BatchRunner(const BatchOptions& options, std::vector<WebsiteEntry> rows, FILE* out, FILE* err)
        : m_options(options),
          m_rows(std::move(rows)),
          m_out(out),
          m_err(err),
          m_tty(isatty(fileno(err))),
          m_timings(qEnvironmentVariableIsSet("BILDORO_BATCH_TIMINGS")) {}

    // Runs every row; returns the number of failed rows.
    int Run() {
        const int jobs = std::max(1, std::min<int>(m_options.jobs, int(m_rows.size())));
        for (int i = 0; i < jobs; ++i) {
            auto slot = std::make_unique<Slot>();
            slot->host = std::make_unique<TBrowserHost>();
            slot->host->SetWidth(m_options.captureWidth);
            slot->host->SetHeight(m_options.captureHeight);
            slot->timer.setSingleShot(true);
            Slot* s = slot.get();
            connect(s->host.get(), &TBrowserHost::ReadyStateChanged, this, [this, s] { CheckComplete(s); });
            connect(&s->timer, &QTimer::timeout, this, [this, s] { PageDone(s, true); });
            m_slots.push_back(std::move(slot));
        }
        for (auto& s : m_slots) StartNext(s.get());
        if (m_done < int(m_rows.size())) m_loop.exec();
        ClearProgress();
        m_slots.clear();  // closes the pages
        return m_failed;
    }

private:
    struct Slot {
        std::unique_ptr<TBrowserHost> host;
        QTimer timer;
        int row = -1;
        bool loading = false;
        QElapsedTimer clock;  // from Navigate to complete, then from complete to the start of the capture
        double loadMs = 0;
    };

    void StartNext(Slot* s) {
        while (m_next < int(m_rows.size())) {
            s->row = m_next++;
            try {
                // Not yet loading: a navigation that fails at once also signals its failure before it throws,
                // and the row must be reported once, here.
                s->loading = false;
                s->clock.start();
                s->host->Navigate(m_rows[s->row].url);
                s->loading = true;
                s->timer.start(int(m_options.timeoutSeconds * 1000));
                // A page may already read complete here (for example a browser error page).
                QTimer::singleShot(0, this, [this, s, row = s->row] {
                    if (s->row == row) CheckComplete(s);
                });
                return;
            } catch (const std::exception& e) {
                s->loading = false;
                RowResult r;
                r.Fail(RowStage::Load, QString::fromUtf8(e.what()));
                Report(s->row, r);
            }
        }
        s->row = -1;
        if (m_done == int(m_rows.size())) m_loop.quit();
    }

    void CheckComplete(Slot* s) {
        if (!s->loading) return;
        try {
            if (s->host->ReadyState() != 4) return;
        } catch (const std::exception& e) {
            s->loading = false;
            s->timer.stop();
            RowResult r;
            r.Fail(RowStage::Load, QString::fromUtf8(e.what()));
            Report(s->row, r);
            StartNext(s);
            return;
        }
        PageDone(s, false);
    }

    void PageDone(Slot* s, bool timedOut) {
        if (!s->loading) return;
        s->loading = false;
        s->timer.stop();
        s->loadMs = s->clock.nsecsElapsed() / 1e6;
        s->clock.start();
        m_ready.push_back({s, timedOut});
        ProcessReady();
    }

    void ProcessReady() {
        if (m_capturing) return;
        m_capturing = true;
        while (!m_ready.empty()) {
            const auto [s, timedOut] = m_ready.front();
            m_ready.pop_front();
            const WebsiteEntry& row = m_rows[s->row];
            const double queuedMs = s->clock.nsecsElapsed() / 1e6;
            RowResult r;
            try {
                if (timedOut) s->host->StopLoading();
                const RowSettings settings{[this] { return m_options.outputFolder; }, [&row] { return row.picture; },
                                           [this] { return m_options.widthText; }};
                r = CaptureAndReduce(*s->host, settings);
            } catch (const std::exception& e) {
                r.Fail(RowStage::Capture, QString::fromUtf8(e.what()));
            }
            r.timedOut = timedOut;
            if (r.ok && !QFileInfo(OutputPicturePath(m_options.outputFolder, row.picture)).isFile())
                r.Fail(RowStage::Check, QStringLiteral("Das Bild fehlt nach der Verarbeitung"));
            if (m_timings)
                std::fprintf(m_err, "timing: %s load %.1f ms, queued %.1f ms, capture %.1f ms, reduce %.1f ms\n",
                             row.url.toUtf8().constData(), s->loadMs, queuedMs, r.captureMs, r.reduceMs);
            Report(s->row, r);
            StartNext(s);
        }
        m_capturing = false;
    }

    void Report(int index, const RowResult& r) {
        ++m_done;
        const WebsiteEntry& row = m_rows[index];
        const QByteArray url = row.url.toUtf8();
        const QByteArray path = OutputPicturePath(m_options.outputFolder, row.picture).toUtf8();
        ClearProgress();
        if (r.ok) {
            std::fprintf(m_out, "ok: %s -> %s%s\n", url.constData(), path.constData(),
                         r.timedOut ? qPrintable(QStringLiteral(" (not complete after %1 s; captured as far as loaded)")
                                                     .arg(m_options.timeoutSeconds))
                                    : "");
        } else {
            ++m_failed;
            std::fprintf(m_out, "failed: %s -> %s: %s (%s)\n", url.constData(), path.constData(),
                         r.reason.toUtf8().constData(), RowStageName(r.stage).toUtf8().constData());
        }
        std::fflush(m_out);
        ShowProgress();
    }

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
    FILE* m_out;
    FILE* m_err;
    bool m_tty;
    bool m_timings;  // BILDORO_BATCH_TIMINGS set: one line per row on the error stream with its stage times
    bool m_progressShown = false;
    std::vector<std::unique_ptr<Slot>> m_slots;
    std::deque<std::pair<Slot*, bool>> m_ready;
    bool m_capturing = false;
    int m_next = 0;
    int m_done = 0;
    int m_failed = 0;
    QEventLoop m_loop;
};

}  // namespace

int RunBatch(const BatchOptions& options, FILE* out, FILE* err) {
    std::vector<WebsiteEntry> rows;
    try {
        rows = ReadListFile(options.listFile);
    } catch (const std::exception& e) {
        std::fprintf(err, "bildoro-batch: %s\n", e.what());
        return 1;
    }
    if (rows.empty()) {
        std::fprintf(err, "bildoro-batch: Keine Einträge vorhanden (%s)\n", qPrintable(options.listFile));
        return 1;
    }
    if (!QDir().mkpath(options.outputFolder)) {
        std::fprintf(err, "bildoro-batch: the output folder \"%s\" cannot be made\n",
                     options.outputFolder.toUtf8().constData());
        return 1;
    }
    const QString chromium = TChromiumProcess::FindExecutable();
    if (chromium.isEmpty()) {
        std::fprintf(err,
                     "bildoro-batch: no Chromium found (looked for chromium, chromium-browser and google-chrome on "
                     "PATH; set BILDORO_CHROMIUM to use another)\n");
        return 1;
    }
    if (!QFileInfo(chromium).isFile() || !QFileInfo(chromium).isExecutable()) {
        std::fprintf(err, "bildoro-batch: Chromium \"%s\" (from BILDORO_CHROMIUM) is not an executable program\n",
                     chromium.toUtf8().constData());
        return 1;
    }
    const size_t total = rows.size();
    BatchRunner runner(options, std::move(rows), out, err);
    const int failed = runner.Run();
    std::fprintf(out, "%zu rows: %zu ok, %d failed\n", total, total - size_t(failed), failed);
    return failed == 0 ? 0 : 1;
}
