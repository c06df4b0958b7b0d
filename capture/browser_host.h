// The hidden browser view WB1: one page of a headless Chromium, exactly Width() x Height() pixels.
#pragma once

#include "bitmap24.h"
#include "bounds.h"
#include "capture_options.h"
#include "consent.h"
#include "page_frames.h"
#include "page_lifecycle.h"
#include "page_settle.h"
#include "reply_scope.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QTimer;
class TBrowser;
class TDevToolsClient;

// The hosts of a run share one browser (handed in; started on the first Navigate), each with a page in a
// window of its own, so that several pages load at once at full speed. All calls on the thread of the event
// loop; the browser's events and the answers to the host's questions arrive only while that loop runs, and
// no call waits for the browser on its caller's stack: what needs the page's answer takes a callback, run
// later from the event loop (never before the call returns), and only while the host lives.
class TBrowserHost : public QObject {
    Q_OBJECT
  public:
    explicit TBrowserHost(std::shared_ptr<TBrowser> browser, QObject* parent = nullptr);
    // Closes the page; the browser ends with its last host.
    ~TBrowserHost() override;

    // How long the host waits for the browser's answers (TPageBounds' defaults unless set).
    void SetBounds(const TPageBounds& bounds) { m_bounds = bounds; }

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The size applies to the next navigation and the next capture.
    void SetWidth(int width);
    void SetHeight(int height);

    // Starts loading url (passed to the browser as it stands) and returns at once; ReadyState() reads below 4
    // from here until this navigation is complete. Starts the browser if none runs (also after it died).
    // Throws TBrowserError when no browser can be started.
    void Navigate(const QString& url);
    // 0 before the first navigation, 1 loading, 3 the top document is parsed, 4 complete: the top document of
    // the latest navigation has fired its load event, with all its frames. Throws TBrowserError when the
    // latest navigation failed: the browser died, the page crashed or was closed, or the browser refused
    // the URL; the next Navigate clears that. When the page replaces its top document by itself (a script or
    // a refresh), it reads below 4 again until that document has loaded.
    int ReadyState() const;
    // Stops loading the current page; what has arrived stays in view. ReadyState stays as it is.
    void StopLoading();
    // True once the browser has answered the latest navigation: with a document, an error page, or why no
    // document came (LastNavigationError). False while nothing came back for the request.
    bool NavigationAnswered() const { return m_nav.life.Answered(); }
    // Milliseconds since the latest navigation was sent (0 before: the browser is starting or the page is
    // being opened, each with a bound of its own).
    qint64 MsSinceNavigationSent() const { return m_nav.sent ? m_nav.sentClock.elapsed() : 0; }
    // True when the latest navigation is the first of a freshly opened page (whose browser may have started
    // for it): it also waits for the page's processes to start.
    bool FirstLoadOfPage() const { return m_nav.freshPage; }
    // True once the latest navigation's document request has gone out to the network (the browser and the
    // page's processes are up; what is missing now is the server's answer).
    bool DocumentRequested() const { return m_nav.requestClock.isValid(); }
    // Milliseconds since then; 0 before.
    qint64 MsSinceDocumentRequested() const {
        return m_nav.requestClock.isValid() ? m_nav.requestClock.elapsed() : 0;
    }

    // Waits, for at most boundMs, until the page of the latest navigation is quiet: no request it started
    // (documents, fetch and XHR, pictures, style sheets, fonts, in its frames too) is still under way, and
    // its web fonts are ready. Returns at once; Settled() is signalled once, when the page is quiet or the
    // bound has passed (also when the page failed meanwhile). A page quiet at the start costs one round trip.
    void StartSettle(int boundMs);

    // True when the latest settle wait ended at its bound with the page's answer to its question still
    // missing: a script of the page may hold it (CheckAnswering tells).
    bool SettleUnanswered() const { return m_settle.Unanswered(); }

    // Whether consent dialogs are refused (or hidden where no refusal exists) on the pages of this host: the
    // rule library's content script is put into every document and frame before it loads, and this host
    // answers it. Applies to pages opened afterwards; off by default.
    void SetConsentHandling(bool on) { m_consentHandling = on; }
    bool ConsentHandling() const { return m_consentHandling; }
    // True while the rule library works on a dialog it found (ConsentChanged() is signalled when that may
    // have changed). A page where it has found none by then is not held: it keeps looking for many seconds,
    // and its hiding of the known platforms' dialogs is in force from the document's start.
    bool ConsentPending() const;
    // The dialog found on the latest navigation's pages: the consent platform's name (empty when none was
    // found), and whether it was refused or hidden.
    QString ConsentPlatform() const { return m_nav.consent.Platform(); }
    bool ConsentHandled() const { return m_nav.consent.Handled(); }

    // Makes sure the page answers before a capture: a page whose script has not let go for `boundMs` gets
    // that script ended and twice as long again. done(false) when the page still does not answer (it cannot
    // be captured). A page that never completed has its document's status and title read here.
    void CheckAnswering(int boundMs, std::function<void(bool answers)> done);
    // done(false) when the page of a load stopped early has nothing of the row's to draw: its document was
    // cut off before its body began (Chromium then never makes a picture of it, and a capture would wait in
    // vain), or was never shown (the page still shows the document before it).
    void CheckSomethingToDraw(std::function<void(bool)> done);
    // True when the page failed to answer a command within its bound since the latest Navigate (a capture,
    // a probe): the page should be replaced before the next row.
    bool PageFaulted() const { return m_pageFaulted; }
    // True when the latest navigation found its page held by the previous document (a handler of its unload
    // that runs without end) and went on in a fresh page: a failure of the row may pass another time.
    bool PreviousDocumentHeld() const { return m_nav.previousDocumentHeld; }
    // Replaces a page that stopped answering: closes it, so that the next Navigate opens a fresh one; when
    // the browser itself no longer answers (checked within a few seconds), ends it, so that the next Navigate
    // starts a new one (a Navigate meanwhile waits for that check). Rows of other hosts in a browser that is
    // ended fail with that reason.
    void ReplacePage();
    // Closes a page that still answers but may go on doing things of its own, without asking the browser:
    // the next Navigate opens a fresh one.
    void LeavePage();

    // Why the latest navigation showed Chromium's error page instead of the document (for example
    // "net::ERR_CONNECTION_REFUSED"); empty when the document arrived (whatever its HTTP status).
    QString LastNavigationError() const { return m_nav.life.NavigationError(); }
    // HTTP status of the latest navigation's top document once complete; 0 when there was none.
    int LastHttpStatus() const { return m_nav.httpStatus; }
    // The failure that ReadyState() raises, or empty.
    QString FailureText() const { return m_nav.error; }
    // True when that failure may pass if the row is tried again: the browser or the page died, or could not
    // be opened. False for what the browser refused (an address it cannot load).
    bool FailurePasses() const { return m_nav.errorPasses; }
    // Whether the page's renderer crashed (or was ended) during the latest navigation.
    bool PageCrashed() const { return m_nav.crashed; }
    // The address of the top document now shown (after redirects and page-made moves), and its title once
    // the page is complete (at most 1000 characters); empty before.
    QString FinalUrl() const { return m_nav.topUrl; }
    QString LastTitle() const { return m_nav.title; }

    // What a capture brought: the picture, or why there is none.
    struct Capture {
        TBitmap24 picture;  // empty on failure
        QString error;  // what failed: no page, the browser, a size that is not positive; empty on success
        bool blank = false;  // the picture is almost one colour (IsOneColour): the page had drawn nothing yet
        bool mayChange = false;  // a blank picture's page may still draw (it has scripts, animations or
                                 // frames, or is still loading): only then is it worth capturing again
    };
    // Takes the view's current visible content (the view's size at this moment, device scale 1) as the
    // capture's picture (PictureFromScreenshot) and calls done with it.
    void CapturePicture(int srcHeight, int srcWidth, int dstHeight, int dstWidth,
                        std::function<void(Capture)> done);
    // How the pages opened from now on are set up: their scale, a phone's view, the dark colour scheme, the
    // user agent, headers, cookies and credentials (TCaptureOptions' "who is asking" and "what to shoot").
    // A page open now that was set up otherwise is left, and the next Navigate opens a fresh one.
    void SetPageOptions(const TCaptureOptions& options);
    const TCaptureOptions& PageOptions() const { return m_options; }
    // Asks the page every 100 ms, for at most boundMs, whether an element matching `selector` is there and
    // visible (drawn with a size, neither hidden nor transparent). done(true) once it is; done(false) with
    // an empty error when the bound passed, or with why the page could not be asked (or does not understand
    // the selector).
    void WaitForElement(const QString& selector, int boundMs,
                        std::function<void(bool shown, const QString& error)> done);
    // Hides the elements matching the selectors in their place (visibility), then calls done.
    void HideElements(const QStringList& selectors, std::function<void()> done);
    // The capture as `shot` says: the view, the whole page down to its maxHeight CSS pixels (at least the
    // view), or the box of the first element matching its element selector (none: the capture fails); at
    // the pages' scale (SetPageOptions), so the picture has that many device pixels per CSS pixel. A blank
    // picture is reported as CapturePicture reports it.
    void CaptureShot(const TCaptureOptions& shot, std::function<void(Capture)> done);

    // The view's current visible content as PNG data of exactly Width() x Height() pixels (the size is
    // applied first when it changed), or why there is none: no page, or the browser failed (a screenshot that
    // is not answered within its bound is asked once more, with the page stopped and its script ended).
    // With a clip (x, y, width, height and scale 1, in CSS pixels), that part of the page, beyond the view.
    void CaptureViewPng(std::function<void(const QByteArray& png, const QString& error)> done,
                        const QJsonObject& clip = {});
    // CapturePicture written to fileName as the capture's JPEG (WriteCaptureJpeg), waiting in an event loop
    // of its own: for tools and tests that drive one page by hand. True only when the file was written;
    // LastCaptureError then says why not.
    bool CaptureToJpeg(const QString& fileName, int srcHeight, int srcWidth, int dstHeight, int dstWidth);
    QString LastCaptureError() const { return m_captureError; }

    // The Chromium this host uses (for diagnostics and tests); 0 when none runs for it.
    qint64 BrowserProcessId() const;

  Q_SIGNALS:
    // Before each navigation (top level and frames), with its URL.
    void BeforeNavigate2(const QString& url);
    // After each document (top level and frames) has completed, with its URL. The top document's comes last,
    // when ReadyState() has become 4.
    void DocumentComplete(const QString& url);
    // ReadyState() may read differently now, or has started to raise a failure: lets a wait sleep in an
    // event loop instead of polling.
    void ReadyStateChanged();
    // The wait begun by StartSettle has ended.
    void Settled();
    // ConsentPending() may read differently now.
    void ConsentChanged();

  private:
    // Sends a command for this host; nothing when the browser has gone (its death is reported separately).
    // Without a handler, nobody waits for the answer; with one, timeoutMs (if positive) bounds the wait, and
    // the handler runs only while its scope is current (without one, while the host lives).
    void Post(const QString& method, const QJsonObject& params = {}, const QString& sessionId = {},
              std::function<void(const QJsonObject&, const QString&)> handler = {}, int timeoutMs = 0,
              const TReplyScope* scope = nullptr);
    void EnsureBrowser();
    // True when no browser runs for this host any more (its death is reported by BrowserDied).
    bool BrowserGone() const;
    void StartPageSetup();
    void ConfigureSession(const QString& sessionId, bool topLevel);
    void SendViewport();
    QJsonObject ViewportParams() const;
    void SendNavigate();
    static QJsonObject CookieParams(const TCookie& cookie, const QString& url);
    // Watches that the document of an answered navigation is shown within TPageBounds::commitMs.
    void WatchCommit();
    void HandleEvent(const QString& sessionId, const QString& method, const QJsonObject& params);
    void BeginFinish();
    void SetState(int state);
    void Fail(const QString& message, bool passes = true);
    void DropPage(bool closeTarget);
    bool ReopenCrashedFreshPage(const QString& error);
    void BrowserDied(const QString& reason);
    // Sends a command to the page, bounded by timeoutMs, and calls done with the result or why it failed:
    // "<method> failed: <why>", no answer in time, or the page crashed or was closed meanwhile (then the
    // page's failure). Any failure marks the page as faulted. Without a page, done is told so at once (from
    // the event loop). Returns the command's id (0 without a page).
    int OnPage(const QString& method, const QJsonObject& params, int timeoutMs,
               std::function<void(const QJsonObject& result, const QString& error)> done);
    // The page's answer to a script that returns a boolean; `otherwise` when it gives none within a short
    // bound.
    void PageSays(const QString& expression, bool otherwise, std::function<void(bool)> done);
    // Runs `then` from the event loop once no page set-up is under way.
    void WhenSetUp(std::function<void()> then);
    void SetupEnded();
    // Sends the latest navigation, opening a page (and starting a browser) first when there is none. Throws
    // TBrowserError when no browser can be started; the navigation has failed with it then.
    void StartNavigation();
    // Starts the navigation that waited for a browser check (ReplacePage).
    void ResumeNavigation();
    // Asks the browser whether it still answers, within TPageBounds::browserCheckMs; one that does not is
    // ended (its pages fail as at its death).
    void CheckBrowser(std::function<void(bool answers)> done);
    struct AnswerCheck {
        QString session;
        QPointer<QObject> navigation;  // the scope of the navigation it began in
        bool faultedBefore = false;
        int boundMs = 0;
    };
    // A wait for an element (WaitForElement), asked again every 100 ms within its bound.
    struct ElementWait {
        QString selector;
        int boundMs = 0;
        QElapsedTimer clock;
        std::function<void(bool shown, const QString& error)> done;
    };
    void AskForElement(const std::shared_ptr<ElementWait>& wait);
    // Tells done of the picture a screenshot gave (decoded by `decode`), or why there is none: blank or not,
    // and whether a blank one's page may still draw.
    void Report(const QByteArray& png, const QString& error,
                const std::function<TBitmap24(const QByteArray&)>& decode,
                const std::function<void(Capture)>& done);
    // Sends the view's size when the page was last given another one.
    void ApplyViewport();
    void AskAnswering(const AnswerCheck& check, int ms, bool last, std::function<void(bool)> done);
    // One screenshot attempt of a capture; `lost` screenshots of it went with a document the page replaced.
    void TakeScreenshot(const QJsonObject& params, int timeoutMs, bool lastAttempt, int lost,
                        std::function<void(const QByteArray& png, const QString& error)> done);

    TPageBounds m_bounds;
    TCaptureOptions m_options;  // SetPageOptions
    int m_width = 1024;
    int m_height = 768;

    std::shared_ptr<TBrowser> m_browser;
    std::shared_ptr<TDevToolsClient> m_client;
    QString m_userAgent;
    QString m_targetId;  // also the id of the page's top frame
    QString m_sessionId;
    QSet<QString> m_childSessions;
    bool m_setupRunning = false;
    std::vector<std::function<void()>> m_afterSetup;  // WhenSetUp
    bool m_checkingBrowser = false;                   // ReplacePage asks the browser whether it still answers
    TReplyScope m_pageScope;  // the page's set-up and configuration; renewed when the page is dropped
    QSize m_viewport;         // the size the page was last given

    // The latest navigation; a new one starts from a fresh copy.
    struct Navigation {
        QString url;
        bool sent = false;
        QElapsedTimer sentClock;
        bool freshPage = false;
        int reopened = 0;  // fresh pages that crashed before the row's document arrived and were opened again
        QString error;     // what ReadyState() raises
        bool errorPasses = true;     // FailurePasses()
        bool crashed = false;        // PageCrashed()
        QElapsedTimer requestClock;  // from the first time the document went out
        TPageLifecycle life;         // which document it brought, shown, parsed, loaded
        bool finishing = false;
        int httpStatus = 0;
        QString topUrl;
        QString title;
        TConsentState consent;              // what the documents of this navigation told of a consent dialog
        bool previousDocumentHeld = false;  // PreviousDocumentHeld
        QSet<QString> authAnswered;         // requests given the credentials
        TReplyScope scope;  // its document's answers; renewed when another document takes over
    };
    Navigation m_nav;
    int m_state = 0;
    TPageFrames m_frames;

    bool m_consentHandling = false;
    TPageSettle m_settle;  // the wait for late content, and the requests under way
    QTimer* m_commitWatch = nullptr;
    QString m_captureError;
    bool m_pageFaulted = false;
    int m_screenshotId = 0;         // the screenshot under way, which a new top document loses
    bool m_screenshotLost = false;  // it was lost so
};
