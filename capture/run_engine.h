// The batch run over a list of rows, for the window and bildoro-batch alike: page slots over the one browser,
// each taking a row through load, the bounded wait, capture and reduction, then the next row.
#pragma once

#include "page_memory.h"
#include "pages_in_flight.h"
#include "row_pipeline.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class TBrowserHost;

// What the engine asks of its front end. Every call comes on the thread of the event loop.
class TRunClient {
  public:
    virtual ~TRunClient() = default;
    // Whether row `row` exists; asked before its BeginRow, for rows below the count given to Run. A front end
    // that reads its rows as they come says false at their end.
    virtual bool HasRow(int row) {
        (void)row;
        return true;
    }
    // Row `row` is about to load: returns its URL, read now (the window writes its status texts here). May
    // throw; the row then fails at the load stage with that reason.
    virtual QString BeginRow(int row) = 0;
    // The settings of `row`, each read at the moment of use.
    virtual RowSettings SettingsOf(int row) = 0;
    // `row` has ended, ok or failed; rows end in the order their pages finish.
    virtual void EndRow(int row, const QString& url, const RowResult& result) = 0;
    // True when the run is to end early: no further row begins, and a row whose page is loading ends
    // unreported.
    virtual bool Stopping() const { return false; }
};

class TRunEngine : public QObject {
  public:
    // One slot per host (not owned; each host's size is read at its capture). A page gets pageTimeoutMs to
    // complete; then it is captured as far as it got.
    TRunEngine(std::vector<TBrowserHost*> hosts, int pageTimeoutMs);
    ~TRunEngine() override;

    // Takes rows 0 .. rowCount - 1 through the slots, in order, as many at once as there are slots, and
    // returns when each has ended (or, after Stop or the client's Stopping, when no row is under way). Runs
    // the event loop meanwhile. Each page is captured once it is ready; the pictures are written and reduced
    // one at a time (see SetWritesInShadow).
    void Run(int rowCount, TRunClient& client);
    // Ends the run at once: no row begins any more, a page still loading is stopped and its row ends
    // unreported, and Run returns once no capture is under way (a capture and its reduction are never cut
    // off halfway, so no half-written file is left).
    void Stop();
    // When set, a page whose server answered 502, 503 or 504 (busy or down for now) fails its row without a
    // capture, as a failure that may pass; otherwise such a page is captured like any other.
    void SetServerBusyFails(bool fails) { m_serverBusyFails = fails; }
    // The longest wait, after a page has completed, for the requests it still has under way and its web
    // fonts (late content); 0 captures at once. kDefaultSettleMs unless set.
    void SetSettleMs(int ms) { m_settleMs = ms; }
    // Whether rows may load local files (file:); allowed unless set otherwise.
    void SetLocalFilesAllowed(bool allowed) { m_localFiles = allowed; }
    // The engine's waits for a page on top of the page bound (TRunWaits' defaults unless set).
    void SetWaits(const TRunWaits& waits) { m_waits = waits; }
    // At most `pages` pages of one host load at once (0: no limit). A row whose host has as many under way
    // waits, and the rows after it take the free slots; at most kHeldRows rows wait so, then the slots wait
    // too (a list of one site does not make the engine read it all ahead).
    void SetPerHost(int pages) { m_perHost = pages; }
    // A page whose renderer takes more than `mib` MiB of private memory is ended while the run goes (its row
    // fails saying so, the next row gets a fresh page); 0: no limit.
    void SetPageMemoryLimit(qint64 mib);
    static constexpr size_t kHeldRows = 256;
    // The pages under way follow `count` instead of the number of slots: every `everyMs` while a run goes the
    // machine is sampled (`probe`: its idle time and memory; the engine adds the pages under way and whether
    // rows wait) and the count taken anew. Slots beyond the count rest with their page closed. Without a
    // probe, the machine's /proc is read.
    void SetPagesInFlight(std::unique_ptr<TPagesInFlight> count,
                          std::function<TPagesInFlight::Sample()> probe = {}, int everyMs = 500);
    // The pages that may be under way now.
    int PagesInFlight() const { return m_inFlight ? m_inFlight->Count() : int(m_slots.size()); }
    // The governed count (null when the slots set it).
    const TPagesInFlight* InFlight() const { return m_inFlight.get(); }

    // When set, every captured picture is written and reduced on a thread of its own (one at a time) while
    // its page goes on to the next row, and its row ends when that is done (later than the next row's begin);
    // a page waits when the writer is a picture per slot behind. Otherwise each row is written on the event
    // loop's thread and ends before the slot's next begins (the window's status texts and gauge follow the
    // rows one by one).
    void SetWritesInShadow(bool on);
    // Wall times of the row that just ended (for BILDORO_BATCH_TIMINGS): navigation to complete, and from
    // then to its capture (late content, a consent dialog, the answer check).
    struct Timings {
        double loadMs = 0;
        double queuedMs = 0;
    };
    const Timings& LastTimings() const { return m_lastTimings; }

  private:
    struct Slot;
    void StartNext(Slot* slot);
    // Takes the machine's sample and the count of pages under way anew; slots that rest start when it rose.
    void TakeInFlight();
    // Loads `row` (begun, its address known) in the slot; false when it ended at once (refused, unusable).
    bool Launch(Slot* slot, int row, const QString& url);
    // The host that the per-host limit counts for an address; empty for none (files, data).
    static QString HostOf(const QString& url);
    bool HostFull(const QString& url) const;
    // The slot's page no longer loads a row: one page fewer under way, and for its host.
    void EndLoading(Slot* slot);
    void CheckLoaded(Slot* slot);
    void LoadEnded(Slot* slot, bool timedOut);
    void SettleEnded(Slot* slot);
    void CheckConsent(Slot* slot);
    void Ready(Slot* slot);
    void FinishLoadFailed(Slot* slot, const QString& reason, bool passing);
    // Takes the ready slot's picture (CaptureRow), then writes it (Captured).
    void Capture(Slot* slot);
    // What a row reports of its page as the page shows now: bound, times, status, address, title, consent.
    static void ReadPage(const Slot& slot, RowResult& result);
    // What a captured row reports of its page, read at its capture.
    struct CapturedRow {
        int row = -1;
        QString url;
        QString path;
        double queuedMs = 0;
        bool pageDied = false;  // the page or its browser died: a failed capture may pass
        RowResult page;         // timedOut, loadMs, httpStatus, finalUrl, title, consent
    };
    // Takes the slot's picture (after looking at a page that did not complete) and calls done with it.
    void CaptureRow(Slot* slot, std::function<void(CapturedPicture, const CapturedRow&)> done);
    void Captured(Slot* slot, CapturedPicture picture, const CapturedRow& row);
    RowResult Completed(const CapturedRow& row, RowResult written);
    // A picture's row ends once the writer has written it; a slot held for it goes on then.
    void Written(const CapturedRow& row, const RowResult& written, Slot* held);
    void Finish(Slot* slot, const RowResult& result);
    // The slot goes on to its next row; its row ends now with `endsNow`, or (null) when its picture is
    // written.
    void Release(Slot* slot, const RowResult* endsNow);
    void QuitWhenDone();
    // Why a row fails whose page brought nothing within the page bound.
    QString NoAnswerText(const QString& url) const;
    bool Stopping() const;

    std::vector<std::unique_ptr<Slot>> m_slots;
    int m_pageTimeoutMs;
    TRunClient* m_client = nullptr;
    int m_rowCount = 0;
    int m_next = 0;
    int m_active = 0;  // slots with a row under way
    int m_perHost = 0;
    std::unique_ptr<TPageMemoryWatch> m_memory;
    QTimer m_memoryTimer;                        // looks at the renderers while a run goes
    std::map<QString, int> m_hostPages;          // pages loading per host, with a limit
    std::deque<std::pair<int, QString>> m_held;  // begun rows whose host was full, with their address
    std::vector<Slot*> m_waiting;                // slots without a row while rows are held
    std::unique_ptr<TPagesInFlight> m_inFlight;  // the count of pages under way, when it is governed
    std::function<TPagesInFlight::Sample()> m_probe;
    QTimer m_inFlightTimer;
    std::vector<Slot*> m_resting;  // slots beyond the count
    bool m_rowsEnded = false;      // no row is left to begin
    bool m_stopped = false;
    int m_capturing = 0;  // rows whose picture is being taken
    bool m_serverBusyFails = false;
    bool m_localFiles = true;
    int m_settleMs = kDefaultSettleMs;
    TRunWaits m_waits;
    QThread m_writerThread;  // writes and reduces the captured pictures (WriteAndReduce), once asked for
    QObject* m_writer;       // lives in m_writerThread
    int m_pictures = 0;      // pictures handed to the writer and not yet written
    bool m_shadowWrites = false;
    Timings m_lastTimings;
    QEventLoop* m_loop = nullptr;
};
