// The batch run over a list of rows: page slots over the one browser.
#include "run_engine.h"

#include "browser_host.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>
#include <algorithm>
#include <exception>
#include <limits>

namespace {

// Network failures that may pass: the server or the way to it was not there for the moment.
bool NetworkErrorPasses(const QString& error) {
    static const QStringList passing = {
        QStringLiteral("net::ERR_CONNECTION_REFUSED"),    QStringLiteral("net::ERR_CONNECTION_RESET"),
        QStringLiteral("net::ERR_CONNECTION_CLOSED"),     QStringLiteral("net::ERR_CONNECTION_TIMED_OUT"),
        QStringLiteral("net::ERR_CONNECTION_FAILED"),     QStringLiteral("net::ERR_TIMED_OUT"),
        QStringLiteral("net::ERR_NAME_NOT_RESOLVED"),     QStringLiteral("net::ERR_NAME_RESOLUTION_FAILED"),
        QStringLiteral("net::ERR_EMPTY_RESPONSE"),        QStringLiteral("net::ERR_NETWORK_CHANGED"),
        QStringLiteral("net::ERR_INTERNET_DISCONNECTED"), QStringLiteral("net::ERR_ADDRESS_UNREACHABLE"),
        QStringLiteral("net::ERR_NETWORK_IO_SUSPENDED")};
    return passing.contains(error);
}

}  // namespace

struct TRunEngine::Slot {
    TBrowserHost* host = nullptr;
    QTimer bound;   // the page's time to complete
    QTimer retake;  // the pause before a blank capture is taken again
    bool retaken = false;
    int row = -1;
    QString url;
    RowSettings settings;  // each read at the moment of use
    bool loading = false;
    bool settling = false;    // complete, waiting for late content
    bool consenting = false;  // then waiting for a consent dialog to be refused
    QTimer consentBound;
    bool timedOut = false;
    QElapsedTimer clock;  // from Navigate to complete, then from complete to the capture
    double loadMs = 0;
    TReplyScope steps;  // the steps before the capture that the run asks for; renewed when the row ends
};

TRunEngine::TRunEngine(std::vector<TBrowserHost*> hosts, int pageTimeoutMs)
    : m_pageTimeoutMs(pageTimeoutMs), m_writer(new QObject) {
    for (TBrowserHost* host : hosts) {
        auto slot = std::make_unique<Slot>();
        slot->host = host;
        slot->bound.setSingleShot(true);
        Slot* s = slot.get();
        connect(host, &TBrowserHost::ReadyStateChanged, this, [this, s] { CheckLoaded(s); });
        connect(&s->bound, &QTimer::timeout, this, [this, s] { LoadEnded(s, true); });
        connect(host, &TBrowserHost::Settled, this, [this, s] {
            if (s->settling) SettleEnded(s);
        });
        connect(host, &TBrowserHost::ConsentChanged, this, [this, s] { CheckConsent(s); });
        slot->consentBound.setSingleShot(true);
        connect(&s->consentBound, &QTimer::timeout, this, [this, s] {
            if (s->consenting) Ready(s);
        });
        slot->retake.setSingleShot(true);
        connect(&s->retake, &QTimer::timeout, this, [this, s] {
            if (s->row >= 0) Capture(s);
        });
        m_slots.push_back(std::move(slot));
    }
}

void TRunEngine::SetWritesInShadow(bool on) {
    m_shadowWrites = on;
    if (on && !m_writerThread.isRunning()) {
        m_writerThread.setObjectName(QStringLiteral("picture writer"));
        m_writer->moveToThread(&m_writerThread);
        m_writerThread.start();
    }
}

TRunEngine::~TRunEngine() {
    m_writerThread.quit();
    m_writerThread.wait();
    delete m_writer;
}

bool TRunEngine::Stopping() const {
    return m_stopped || (m_client && m_client->Stopping());
}

void TRunEngine::Run(int rowCount, TRunClient& client) {
    m_client = &client;
    m_rowCount = rowCount;
    m_next = 0;
    m_active = 0;
    m_stopped = false;
    m_hostPages.clear();
    m_held.clear();
    m_waiting.clear();
    m_resting.clear();
    m_rowsEnded = false;
    if (m_memory) m_memoryTimer.start(250);
    if (m_inFlight) {
        m_probe();  // the idle time counts from here
        m_inFlightTimer.start();
    }
    QEventLoop loop;
    m_loop = &loop;
    for (auto& s : m_slots) StartNext(s.get());
    if (m_active > 0 || m_pictures > 0) loop.exec();
    m_memoryTimer.stop();
    m_inFlightTimer.stop();
    m_loop = nullptr;
    // A row cut off by a stop ends here: its page stops loading (nothing of it was written yet, since
    // captures and reductions finish before a stop takes effect), and its timer must not fire into the next
    // run.
    for (auto& s : m_slots) {
        if (s->loading) s->host->StopLoading();
        s->bound.stop();
        s->retake.stop();
        s->loading = false;
        s->settling = false;
        s->consenting = false;
        s->consentBound.stop();
        s->steps.Renew();
        s->row = -1;
    }
    m_client = nullptr;
}

void TRunEngine::Stop() {
    m_stopped = true;
    QuitWhenDone();
}

QString TRunEngine::HostOf(const QString& url) {
    return QUrl(url).host().toLower();
}

bool TRunEngine::HostFull(const QString& url) const {
    if (m_perHost <= 0) return false;
    const QString host = HostOf(url);
    // The limit spares others' servers: one on this machine is the user's own and takes as many as the slots.
    if (host.isEmpty() || host == u"localhost" || host.startsWith(u"127.") || host == u"::1") return false;
    const auto at = m_hostPages.find(host);
    return at != m_hostPages.end() && at->second >= m_perHost;
}

void TRunEngine::StartNext(Slot* s) {
    std::erase(m_waiting, s);
    std::erase(m_resting, s);
    if (m_inFlight && m_active >= m_inFlight->Count() && !Stopping()) {
        // Beyond the count: the slot rests, and its page goes with its window and renderer.
        s->row = -1;
        s->host->LeavePage();
        m_resting.push_back(s);
        return QuitWhenDone();
    }
    // A held row whose host has room now goes first, in the order the rows came.
    for (auto it = m_held.begin(); !Stopping() && it != m_held.end();) {
        if (HostFull(it->second)) {
            ++it;
            continue;
        }
        const auto [row, url] = *it;
        it = m_held.erase(it);
        if (Launch(s, row, url)) return;
        it = m_held.begin();  // ended at once: look again from the start
    }
    while (!Stopping() && m_next < m_rowCount && m_held.size() < kHeldRows && m_client->HasRow(m_next)) {
        const int row = m_next++;
        QString url;
        try {
            url = m_client->BeginRow(row);
        } catch (const std::exception& e) {
            RowResult r;
            r.Fail(RowStage::Load, QString::fromUtf8(e.what()));
            m_client->EndRow(row, url, r);
            continue;
        }
        if (Stopping()) break;
        if (HostFull(url) && RefusedAddressReason(url, m_localFiles).isEmpty()) {
            m_held.emplace_back(row, url);
            continue;
        }
        if (Launch(s, row, url)) return;
    }
    s->row = -1;
    if (m_held.empty() && !Stopping()) m_rowsEnded = true;
    // Rows still held start when a page of their host ends.
    if (!m_held.empty() && !Stopping()) m_waiting.push_back(s);
    QuitWhenDone();
}

bool TRunEngine::Launch(Slot* s, int row, const QString& url) {
    s->row = row;
    s->url = url;
    s->timedOut = false;
    s->retaken = false;
    s->loadMs = 0;
    s->clock.start();
    if (const QString refused = RefusedAddressReason(s->url, m_localFiles); !refused.isEmpty()) {
        RowResult r;
        r.Fail(RowStage::Load, refused);
        m_client->EndRow(s->row, s->url, r);
        return false;
    }
    // A row that could write nothing is not loaded (the capture checks again with the settings of then).
    s->settings = m_client->SettingsOf(s->row);
    const RowSettings& settings = s->settings;
    QString unusable = UnusablePictureReason(settings.outputFolder(), settings.pictureName());
    if (unusable.isEmpty()) unusable = settings.refusal;
    if (!unusable.isEmpty()) {
        RowResult r;
        r.Fail(RowStage::Check, unusable);
        m_client->EndRow(s->row, s->url, r);
        return false;
    }
    // Marked as loading only after Navigate: a navigation refused at once signals before it throws, and
    // the row is reported once, here.
    s->loading = false;
    try {
        s->host->Navigate(s->url);
    } catch (const std::exception& e) {
        RowResult r;
        r.Fail(RowStage::Load, QString::fromUtf8(e.what()));
        m_client->EndRow(s->row, s->url, r);
        return false;
    }
    s->loading = true;
    ++m_active;
    if (m_perHost > 0)
        if (const QString host = HostOf(s->url); !host.isEmpty()) ++m_hostPages[host];
    s->bound.start(m_pageTimeoutMs);
    // The page may read complete already (a browser error page can come at once).
    QTimer::singleShot(0, this, [this, s, row = s->row] {
        if (s->row == row) CheckLoaded(s);
    });
    return true;
}

void TRunEngine::CheckLoaded(Slot* s) {
    if (!s->loading) return;
    if (!s->host->FailureText().isEmpty()) {
        FinishLoadFailed(s, s->host->FailureText(), s->host->FailurePasses());
        return;
    }
    if (s->host->ReadyState() == 4) LoadEnded(s, false);
}

void TRunEngine::FinishLoadFailed(Slot* s, const QString& reason, bool passing) {
    s->loading = false;
    s->bound.stop();
    RowResult r;
    r.Fail(RowStage::Load, reason);
    r.passing = passing;
    r.loadMs = s->clock.nsecsElapsed() / 1e6;
    Finish(s, r);
}

void TRunEngine::LoadEnded(Slot* s, bool timedOut) {
    if (!s->loading) return;
    if (const qint64 used = s->host->MsSinceNavigationSent();
        timedOut && used < m_pageTimeoutMs && s->host->FailureText().isEmpty()) {
        // The page's own time begins when its navigation is sent: not while the browser is still starting or
        // opening the page (0 used), and a fresh page's after its set-up.
        s->bound.start(int(m_pageTimeoutMs - used));
        return;
    }
    if (timedOut && !s->host->NavigationAnswered() && s->host->FirstLoadOfPage() &&
        s->host->FailureText().isEmpty()) {
        // The first page of a fresh page (or browser) also waits for its processes to start, which takes
        // seconds on a busy machine. Up to the fresh page's grace of that is not the server's time: until its
        // document has gone out the page is looked at again shortly, and from then on it gets the bound
        // again. A server that is slow to answer gets the bound, no more.
        if (!s->host->DocumentRequested() &&
            s->host->MsSinceNavigationSent() < m_pageTimeoutMs + m_waits.freshPageGraceMs) {
            s->bound.start(m_waits.freshPageLookMs);
            return;
        }
        if (const qint64 sinceRequest = s->host->MsSinceDocumentRequested();
            s->host->DocumentRequested() && sinceRequest < m_pageTimeoutMs) {
            s->bound.start(int(m_pageTimeoutMs - sinceRequest));
            return;
        }
    }
    if (timedOut && !s->host->NavigationAnswered()) {
        // Nothing came for the request: the view still shows what was there before, which is not this row's.
        // The row is settled before the page is replaced, since a browser that is ended meanwhile signals.
        s->loading = false;
        s->host->StopLoading();
        s->host->ReplacePage();
        RowResult r;
        r.Fail(RowStage::Load, NoAnswerText(s->url));
        r.passing = true;
        r.loadMs = s->clock.nsecsElapsed() / 1e6;
        Finish(s, r);
        return;
    }
    s->loading = false;
    s->bound.stop();
    s->timedOut = timedOut;
    s->loadMs = s->clock.nsecsElapsed() / 1e6;
    s->clock.start();
    if (timedOut) s->host->StopLoading();
    if (!s->host->LastNavigationError().isEmpty()) {
        // The browser showed its own error page, or nothing new: no picture of this row exists.
        RowResult r;
        r.Fail(RowStage::Load, s->host->LastNavigationError());
        r.passing = NetworkErrorPasses(s->host->LastNavigationError());
        r.loadMs = s->loadMs;
        Finish(s, r);
        return;
    }
    if (const int status = s->host->LastHttpStatus(); m_serverBusyFails && status >= 502 && status <= 504) {
        RowResult r;
        r.Fail(RowStage::Load,
               QCoreApplication::translate("bildoro", "The server answered HTTP %1 (unavailable for now)")
                   .arg(status));
        r.passing = true;
        r.httpStatus = status;
        r.finalUrl = s->host->FinalUrl();
        r.loadMs = s->loadMs;
        Finish(s, r);
        return;
    }
    if (!timedOut && m_settleMs > 0) {
        s->settling = true;
        s->host->StartSettle(m_settleMs);
        return;
    }
    SettleEnded(s);
}

void TRunEngine::SettleEnded(Slot* s) {
    s->settling = false;
    if (s->row < 0) return;
    // A consent dialog the rule library found is waited for, bounded, until it is refused or hidden.
    if (!s->timedOut && s->host->ConsentPending()) {
        s->consenting = true;
        s->consentBound.start(m_waits.consentHandleMs);
        return;
    }
    Ready(s);
}

void TRunEngine::CheckConsent(Slot* s) {
    if (!s->consenting) return;
    if (!s->host->ConsentPending()) Ready(s);
}

void TRunEngine::Ready(Slot* s) {
    s->consenting = false;
    s->consentBound.stop();
    if (s->row < 0) return;
    const std::shared_ptr<const TCaptureOptions> options = s->settings.capture;
    if (!options || !options->StepsBeforeCapture()) return Capture(s);
    // What the run asks for before the capture: an element to appear (within what is left of the row's
    // bound), a pause, elements hidden. Each step goes on only while the row is still the slot's.
    const QPointer<QObject> steps = s->steps.Context();
    auto hide = [this, s, options, steps] {
        if (!steps) return;
        s->host->HideElements(options->hide, [this, s, steps] {
            if (steps && s->row >= 0) Capture(s);
        });
    };
    auto pause = [options, steps, hide] {
        if (steps) QTimer::singleShot(options->delayMs, steps, hide);
    };
    if (options->waitFor.isEmpty()) return pause();
    const int left = std::max(0, m_pageTimeoutMs - int(s->loadMs));
    s->host->WaitForElement(
        options->waitFor, left, [this, s, options, steps, pause](bool shown, const QString& error) {
            if (!steps || s->row < 0) return;
            if (shown) return pause();
            RowResult r;
            r.Fail(RowStage::Wait,
                   error.isEmpty()
                       ? QCoreApplication::translate("bildoro", "\"%1\" did not appear within %2 s")
                             .arg(options->waitFor)
                             .arg(m_pageTimeoutMs / 1000.0)
                       : QCoreApplication::translate("bildoro", "\"%1\" could not be waited for: %2")
                             .arg(options->waitFor, error));
            ReadPage(*s, r);
            Finish(s, r);
        });
}

void TRunEngine::Capture(Slot* s) {
    if (Stopping()) {
        s->row = -1;
        EndLoading(s);
        QuitWhenDone();
        return;
    }
    // Each page is captured once it is ready, beside the others: a page that holds its capture (a script
    // that never lets go, a screenshot the browser keeps to the end of its bound) holds only its own slot.
    ++m_capturing;
    CaptureRow(s, [this, s](CapturedPicture picture, const CapturedRow& row) {
        Captured(s, std::move(picture), row);
        --m_capturing;
        QuitWhenDone();
    });
}

void TRunEngine::Captured(Slot* s, CapturedPicture picture, const CapturedRow& row) {
    if (picture.result.ok && picture.result.blank && picture.mayChange && !s->retaken && !Stopping()) {
        s->retaken = true;
        s->retake.start(m_waits.blankRetakeMs);
        return;
    }
    if (!m_shadowWrites || !picture.reduce) {
        // Written and reduced here (the window's rows end one by one), or nothing to write at all.
        Finish(s, Completed(row, WriteAndReduce(std::move(picture))));
        return;
    }
    // The picture is written and reduced on the writer's thread, the one owner of every picture file, while
    // the page goes on to its next row; a writer that is behind by a picture per slot holds the page until
    // this one is written.
    Slot* held = m_pictures >= int(m_slots.size()) ? s : nullptr;
    ++m_pictures;
    auto job = std::make_shared<CapturedPicture>(std::move(picture));
    QMetaObject::invokeMethod(
        m_writer,
        [this, job, row, held] {
            const RowResult written = WriteAndReduce(std::move(*job));
            QMetaObject::invokeMethod(
                this, [this, written, row, held] { Written(row, written, held); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    if (!held) Release(s, nullptr);
}

void TRunEngine::Written(const CapturedRow& row, const RowResult& written, Slot* held) {
    --m_pictures;
    const RowResult r = Completed(row, written);
    if (held)
        Finish(held, r);
    else if (m_client)
        m_client->EndRow(row.row, row.url, r);
    QuitWhenDone();
}

QString TRunEngine::NoAnswerText(const QString& url) const {
    return QCoreApplication::translate("bildoro", "No answer from \"%1\" within %2 s")
        .arg(url)
        .arg(m_pageTimeoutMs / 1000.0);
}

void TRunEngine::QuitWhenDone() {
    if (m_loop && m_capturing == 0 && m_pictures == 0 && (m_active == 0 || m_stopped)) m_loop->quit();
}

void TRunEngine::CaptureRow(Slot* s, std::function<void(CapturedPicture, const CapturedRow&)> done) {
    CapturedRow row;
    row.row = s->row;
    row.url = s->url;
    row.queuedMs = s->clock.nsecsElapsed() / 1e6;
    // What the row reports of its page is read once its picture is taken: the page goes on to the next row
    // before the picture is written.
    auto taken = [s, row, done](CapturedPicture picture) {
        CapturedRow read = row;
        ReadPage(*s, read.page);
        // A capture that failed because the page or its browser died may succeed another time.
        read.pageDied = !s->host->FailureText().isEmpty() && s->host->FailurePasses();
        read.path = picture.path;
        done(std::move(picture), read);
    };
    // A page that completed and answered while it settled is captured at once.
    if (!s->timedOut && !s->host->SettleUnanswered()) return CaptureRowPicture(*s->host, s->settings, taken);
    // A page that did not complete in time, or did not answer while it settled, may be held by a script that
    // never lets go (one that takes hold after the load event): it is looked at before its capture, which
    // would wait for it to the end of its bound.
    s->host->CheckAnswering(m_waits.answerMs, [this, s, taken](bool answers) {
        if (!answers) {
            // The page crashed or its browser died meanwhile, or a script of the page never lets go.
            CapturedPicture picture;
            picture.result.Fail(
                RowStage::Capture,
                !s->host->FailureText().isEmpty()
                    ? s->host->FailureText()
                    : QCoreApplication::translate(
                          "bildoro", "The page does not answer (a script of the page runs without end)"));
            // When the previous row's document held the page, another try in a fresh page may well pass.
            picture.result.passing = s->host->PreviousDocumentHeld();
            picture.reduce = false;
            return taken(std::move(picture));
        }
        s->host->CheckSomethingToDraw([this, s, taken](bool something) {
            if (something) return CaptureRowPicture(*s->host, s->settings, taken);
            // The document was cut off before its body began: nothing of the page came, and nothing is drawn.
            CapturedPicture picture;
            picture.result.Fail(RowStage::Load, NoAnswerText(s->url));
            picture.result.passing = true;
            picture.reduce = false;
            taken(std::move(picture));
        });
    });
}

void TRunEngine::ReadPage(const Slot& s, RowResult& r) {
    r.timedOut = s.timedOut;
    r.loadMs = s.loadMs;
    r.httpStatus = s.host->LastHttpStatus();
    r.finalUrl = s.host->FinalUrl();
    r.title = s.host->LastTitle();
    r.consentPlatform = s.host->ConsentPlatform();
    r.consentHandled = s.host->ConsentHandled();
}

RowResult TRunEngine::Completed(const CapturedRow& row, RowResult r) {
    if (r.ok && !QFileInfo(row.path).isFile())
        r.Fail(RowStage::Check,
               QCoreApplication::translate("bildoro", "The picture is missing after processing"));
    r.passing = r.passing || (!r.ok && r.stage == RowStage::Capture && row.pageDied);
    r.timedOut = row.page.timedOut;
    r.loadMs = row.page.loadMs;
    r.httpStatus = row.page.httpStatus;
    r.finalUrl = row.page.finalUrl;
    r.title = row.page.title;
    r.consentPlatform = row.page.consentPlatform;
    r.consentHandled = row.page.consentHandled;
    m_lastTimings = {row.page.loadMs, row.queuedMs};
    return r;
}

void TRunEngine::Finish(Slot* s, const RowResult& result) {
    // A page whose renderer was ended for its memory crashed: its row says why, and no try again would pass.
    if (!result.ok && m_memory && s->host->PageCrashed())
        if (const std::optional<qint64> used = m_memory->TakeEnded(10000)) {
            RowResult r = result;
            r.reason = m_memory->Reason(*used);
            r.passing = false;
            return Release(s, &r);
        }
    Release(s, &result);
}

void TRunEngine::SetPageMemoryLimit(qint64 mib) {
    m_memory = mib > 0 ? std::make_unique<TPageMemoryWatch>(mib) : nullptr;
    m_memoryTimer.disconnect();
    if (m_memory)
        connect(&m_memoryTimer, &QTimer::timeout, this, [this] {
            // The run's pages share one browser.
            if (m_memory && !m_slots.empty()) m_memory->Check(m_slots.front()->host->BrowserProcessId());
        });
}

void TRunEngine::SetPagesInFlight(std::unique_ptr<TPagesInFlight> count,
                                  std::function<TPagesInFlight::Sample()> probe, int everyMs) {
    m_inFlight = std::move(count);
    if (!probe) {
        // The machine's idle time, and the memory of the browser's processes as the page watch last saw it
        // (or, without one, a watch that only measures).
        probe = [this, idle = std::make_shared<TMachineIdle>(),
                 measure = std::make_shared<TPageMemoryWatch>(std::numeric_limits<qint64>::max() / 2048)] {
            TPagesInFlight::Sample sample;
            sample.idle = idle->Take();
            TPageMemoryWatch* watch = m_memory ? m_memory.get() : measure.get();
            if (!m_memory && !m_slots.empty()) watch->Check(m_slots.front()->host->BrowserProcessId());
            sample.memoryMiB = watch->TreeMiB();
            return sample;
        };
    }
    m_probe = std::move(probe);
    m_inFlightTimer.disconnect();
    m_inFlightTimer.setInterval(everyMs);
    if (m_inFlight) connect(&m_inFlightTimer, &QTimer::timeout, this, &TRunEngine::TakeInFlight);
}

void TRunEngine::TakeInFlight() {
    TPagesInFlight::Sample sample = m_probe();
    sample.loading = m_active;
    sample.rowsWaiting = !m_resting.empty() && !m_rowsEnded;
    m_inFlight->Next(sample);
    for (Slot* resting : std::vector<Slot*>(m_resting))
        if (m_active < m_inFlight->Count() && !Stopping() && !m_rowsEnded) StartNext(resting);
}

void TRunEngine::Release(Slot* s, const RowResult* endsNow) {
    // A page that stopped answering is replaced now, so that the next row finds a working one. A page that
    // did not complete in its bound is left: it may still load, or move on by itself (a reload without end),
    // and what it does next must not reach the next row.
    if (s->host->PageFaulted())
        s->host->ReplacePage();
    else if (s->timedOut)
        s->host->LeavePage();
    const int row = s->row;
    EndLoading(s);
    s->row = -1;
    s->steps.Renew();
    if (endsNow && m_client) m_client->EndRow(row, s->url, *endsNow);
    StartNext(s);
    // The page's host has room again: a slot that waited for a held row may take it now.
    for (Slot* waiting : std::vector<Slot*>(m_waiting))
        if (waiting->row < 0) StartNext(waiting);
}

void TRunEngine::EndLoading(Slot* s) {
    --m_active;
    if (m_perHost <= 0) return;
    if (const auto at = m_hostPages.find(HostOf(s->url)); at != m_hostPages.end() && --at->second <= 0)
        m_hostPages.erase(at);
}
