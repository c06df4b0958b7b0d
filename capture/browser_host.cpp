// The hidden browser view WB1: one page of the shared headless Chromium, driven over DevTools.
#include "browser_host.h"

#include "browser_error.h"
#include "chromium_process.h"
#include "devtools_client.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <functional>
#include <stdexcept>
#include <utility>

namespace {

// The top document's HTTP status (0 when none came) and its title, as the page itself knows them.
constexpr char kStatusAndTitleScript[] =
    "[(performance.getEntriesByType('navigation')[0] || {}).responseStatus || 0, String(document.title)]";

// How often a fresh page that crashed while it was being set up is opened again, before its row fails.
constexpr int kReopenLimit = 3;

const QString kTokenSuffix = QStringLiteral(" Morzilla");

QString Str(const QJsonObject& o, const char* key) {
    return o.value(QLatin1String(key)).toString();
}

}  // namespace

TBrowserHost::TBrowserHost(std::shared_ptr<TBrowser> browser, QObject* parent)
    : QObject(parent),
      m_browser(std::move(browser)),
      m_settle([this](const QString& expression, const TReplyScope& scope, std::function<void()> answered) {
          if (m_sessionId.isEmpty() || BrowserGone()) return false;
          Post(
              QStringLiteral("Runtime.evaluate"),
              {{QStringLiteral("expression"), expression}, {QStringLiteral("awaitPromise"), true}},
              m_sessionId, [answered](const QJsonObject&, const QString&) { answered(); }, 0, &scope);
          return true;
      }) {
    connect(&m_settle, &TPageSettle::Settled, this, &TBrowserHost::Settled);
}

TBrowserHost::~TBrowserHost() {
    m_nav.scope.Renew();
    DropPage(true);
    m_client.reset();
}

void TBrowserHost::SetWidth(int width) {
    m_width = width;
}

void TBrowserHost::SetHeight(int height) {
    m_height = height;
}

qint64 TBrowserHost::BrowserProcessId() const {
    return m_client ? m_client->BrowserProcessId() : 0;
}

int TBrowserHost::ReadyState() const {
    if (!m_nav.error.isEmpty()) throw TBrowserError(m_nav.error);
    return m_state;
}

void TBrowserHost::SetState(int state) {
    if (m_state == state) return;
    m_state = state;
    Q_EMIT ReadyStateChanged();
}

void TBrowserHost::Fail(const QString& message, bool passes) {
    if (!m_nav.error.isEmpty()) return;
    m_nav.error = message;
    m_nav.errorPasses = passes;
    Q_EMIT ReadyStateChanged();
}

void TBrowserHost::Post(const QString& method, const QJsonObject& params, const QString& sessionId,
                        std::function<void(const QJsonObject&, const QString&)> handler, int timeoutMs,
                        const TReplyScope* scope) {
    std::shared_ptr<TDevToolsClient> client = m_client;  // a death while sending releases m_client
    if (!client || !client->IsAlive()) return;           // the death itself is reported by BrowserDied
    try {
        client->Send(method, params, sessionId, scope ? scope->Context() : this, std::move(handler),
                     timeoutMs);
    } catch (const TBrowserError&) {
        // Same: the pipe broke, and BrowserDied has been told.
    }
}

bool TBrowserHost::BrowserGone() const {
    return !m_client || !m_client->IsAlive();
}

void TBrowserHost::EnsureBrowser() {
    if (!BrowserGone()) return;
    DropPage(false);
    if (m_client) disconnect(m_client.get(), nullptr, this, nullptr);
    m_client.reset();
    std::shared_ptr<TDevToolsClient> client = m_browser->Client();
    if (!client->IsAlive())
        throw TBrowserError(QCoreApplication::translate("bildoro", "Chromium quit right after its start: ") +
                            client->DeathReason());
    m_client = client;
    connect(m_client.get(), &TDevToolsClient::Died, this, &TBrowserHost::BrowserDied);
}

void TBrowserHost::Navigate(const QString& url) {
    m_nav = Navigation{};  // what the navigations before still send is dropped
    m_nav.url = url;
    m_settle.Clear();
    m_pageFaulted = false;
    if (m_commitWatch) m_commitWatch->stop();
    SetState(1);
    if (!m_checkingBrowser) StartNavigation();  // else once the browser check has ended (ReplacePage)
}

void TBrowserHost::StartNavigation() {
    try {
        EnsureBrowser();
        m_nav.freshPage = m_sessionId.isEmpty();
        if (!m_sessionId.isEmpty())
            SendNavigate();
        else if (!m_setupRunning)
            StartPageSetup();  // navigates to m_nav.url once the page is ready
    } catch (const TBrowserError& e) {
        Fail(QString::fromStdString(e.what()));
        throw;
    }
}

void TBrowserHost::StartPageSetup() {
    m_setupRunning = true;
    m_pageScope.Renew();
    auto failSetup = [this](const QString& step, const QString& error) {
        SetupEnded();
        Fail(QCoreApplication::translate("bildoro", "Chromium could not open a page (%1): %2")
                 .arg(step, error));
    };
    // A browser that does not even open a page within the bound is suspected of no longer answering.
    Post(
        QStringLiteral("Target.createTarget"),
        {{QStringLiteral("url"), QStringLiteral("about:blank")}, {QStringLiteral("newWindow"), true}}, {},
        [this, failSetup](const QJsonObject& created, const QString& error) {
            if (TDevToolsClient::IsNoAnswer(error)) m_pageFaulted = true;
            if (!error.isEmpty()) return failSetup(QStringLiteral("Target.createTarget"), error);
            m_targetId = Str(created, "targetId");
            Post(
                QStringLiteral("Target.attachToTarget"),
                {{QStringLiteral("targetId"), m_targetId}, {QStringLiteral("flatten"), true}}, {},
                [this, failSetup](const QJsonObject& attached, const QString& error) {
                    if (!error.isEmpty()) return failSetup(QStringLiteral("Target.attachToTarget"), error);
                    m_sessionId = Str(attached, "sessionId");
                    if (!m_client) return;
                    m_client->WhenUserAgentKnown(m_pageScope.Context(), [this](const QString& userAgent) {
                        m_userAgent = userAgent;
                        ConfigureSession(m_sessionId, true);
                        m_viewport = QSize();
                        auto navigate = [this] {  // once: on the answer or at the wait's end
                            if (!m_setupRunning) return;
                            SetupEnded();
                            if (m_state != 0 && m_state != 4 && m_nav.error.isEmpty() &&
                                !m_nav.life.Answered())
                                SendNavigate();
                        };
                        // The page's first document gets the consent script only when the page has
                        // answered after taking it: a navigation sent at once may come first.
                        if (!m_consentHandling) return navigate();
                        Post(
                            QStringLiteral("Runtime.evaluate"),
                            {{QStringLiteral("expression"), QStringLiteral("0")}}, m_sessionId,
                            [navigate](const QJsonObject&, const QString&) { navigate(); },
                            m_bounds.firstScriptWaitMs, &m_pageScope);
                    });
                },
                0, &m_pageScope);
        },
        m_bounds.setupMs, &m_pageScope);
}

void TBrowserHost::ConfigureSession(const QString& sessionId, bool topLevel) {
    if (!m_client) return;
    const QString session = sessionId;
    m_client->SetSessionHandler(session, this,
                                [this, session](const QString& method, const QJsonObject& params) {
                                    HandleEvent(session, method, params);
                                });
    // Commands of one session run in order, so the navigation sent after these finds them in force.
    auto check = [this, topLevel](const QString& method) {
        return [this, topLevel, method](const QJsonObject&, const QString& error) {
            if (!topLevel || error.isEmpty() || BrowserGone() || ReopenCrashedFreshPage(error)) return;
            Fail(QStringLiteral("Chromium refused %1: %2").arg(method, error), false);
        };
    };
    auto send = [&](const QString& method, const QJsonObject& params) {
        Post(method, params, session, check(method), 0, &m_pageScope);
    };
    send(QStringLiteral("Page.enable"), {});
    send(QStringLiteral("Page.setLifecycleEventsEnabled"), {{QStringLiteral("enabled"), true}});
    // Requests under way tell when a loaded page is quiet (StartSettle); no bodies are kept for us.
    send(QStringLiteral("Network.enable"),
         {{QStringLiteral("maxTotalBufferSize"), 0}, {QStringLiteral("maxResourceBufferSize"), 0}});
    // Frames of other sites run as targets of their own; they wait for us until configured.
    send(QStringLiteral("Target.setAutoAttach"), {{QStringLiteral("autoAttach"), true},
                                                  {QStringLiteral("waitForDebuggerOnStart"), true},
                                                  {QStringLiteral("flatten"), true}});
    if (m_consentHandling && !ConsentScript().isEmpty()) {
        // The library's messages arrive as calls of a page function (reported with Runtime enabled).
        send(QStringLiteral("Runtime.enable"), {});
        send(QStringLiteral("Runtime.addBinding"), {{QStringLiteral("name"), kConsentBinding}});
        send(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
             {{QStringLiteral("source"), ConsentScript()}});
    }
    // A user agent given replaces the whole text; else the browser's own (a phone's when asked) carries the
    // program's token.
    const QString userAgent =
        !m_options.userAgent.isEmpty() ? m_options.userAgent
        : m_userAgent.isEmpty()
            ? QString()
            : (m_options.mobile ? MobileUserAgent(m_userAgent) : m_userAgent) + kTokenSuffix;
    if (!userAgent.isEmpty())
        send(QStringLiteral("Network.setUserAgentOverride"), {{QStringLiteral("userAgent"), userAgent}});
    if (!m_options.headers.isEmpty()) {
        QJsonObject headers;
        for (const auto& [name, value] : m_options.headers) headers.insert(name, value);
        send(QStringLiteral("Network.setExtraHTTPHeaders"), {{QStringLiteral("headers"), headers}});
    }
    if (m_options.dark)
        send(QStringLiteral("Emulation.setEmulatedMedia"),
             {{QStringLiteral("features"),
               QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("prefers-color-scheme")},
                                      {QStringLiteral("value"), QStringLiteral("dark")}}}}});
    if (topLevel) {
        if (m_options.mobile)
            send(QStringLiteral("Emulation.setTouchEmulationEnabled"),
                 {{QStringLiteral("enabled"), true}, {QStringLiteral("maxTouchPoints"), 5}});
        // Cookies of their own domains go to the browser once; those for each row's own site before its
        // navigation (SendNavigate).
        QJsonArray cookies;
        for (const TCookie& c : m_options.cookies)
            if (!c.domain.isEmpty()) cookies.append(CookieParams(c, {}));
        if (!cookies.isEmpty())
            send(QStringLiteral("Network.setCookies"), {{QStringLiteral("cookies"), cookies}});
        // HTTP authentication is answered by the host: every request waits for its word (Fetch).
        if (m_options.credentials)
            send(QStringLiteral("Fetch.enable"), {{QStringLiteral("handleAuthRequests"), true}});
        SendViewport();
    } else {
        send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {});
    }
}

QJsonObject TBrowserHost::ViewportParams() const {
    // Without the screen size, scripts read the screen as 800 x 600 whatever the view.
    return {{QStringLiteral("width"), m_width},
            {QStringLiteral("height"), m_height},
            {QStringLiteral("deviceScaleFactor"), m_options.DeviceScale()},
            {QStringLiteral("mobile"), m_options.mobile},
            {QStringLiteral("screenWidth"), m_width},
            {QStringLiteral("screenHeight"), m_height}};
}

QJsonObject TBrowserHost::CookieParams(const TCookie& cookie, const QString& url) {
    QJsonObject o{{QStringLiteral("name"), cookie.name},
                  {QStringLiteral("value"), cookie.value},
                  {QStringLiteral("path"), cookie.path},
                  {QStringLiteral("secure"), cookie.secure},
                  {QStringLiteral("httpOnly"), cookie.httpOnly}};
    if (cookie.domain.isEmpty())
        o.insert(QStringLiteral("url"), url);
    else
        o.insert(QStringLiteral("domain"), cookie.domain);
    if (cookie.expires > 0) o.insert(QStringLiteral("expires"), double(cookie.expires));
    return o;
}

void TBrowserHost::SetPageOptions(const TCaptureOptions& options) {
    if (options == m_options) return;
    m_options = options;
    // The page open now was set up otherwise: the next navigation opens a fresh one.
    LeavePage();
}

void TBrowserHost::SendViewport() {
    const QSize size(m_width, m_height);
    Post(
        QStringLiteral("Emulation.setDeviceMetricsOverride"), ViewportParams(), m_sessionId,
        [this, size](const QJsonObject&, const QString& error) {
            if (error.isEmpty() || BrowserGone() || ReopenCrashedFreshPage(error)) return;
            Fail(QStringLiteral("Chromium refused the view size %1 x %2: %3")
                     .arg(size.width())
                     .arg(size.height())
                     .arg(error),
                 false);
        },
        0, &m_pageScope);
    m_viewport = size;
}

void TBrowserHost::SendNavigate() {
    if (m_viewport != QSize(m_width, m_height)) SendViewport();
    // Cookies for the row's own site, whatever it is; in force for the navigation sent after them.
    QJsonArray cookies;
    for (const TCookie& c : m_options.cookies)
        if (c.domain.isEmpty()) cookies.append(CookieParams(c, m_nav.url));
    if (!cookies.isEmpty())
        Post(QStringLiteral("Network.setCookies"), {{QStringLiteral("cookies"), cookies}}, m_sessionId);
    m_nav.sent = true;
    m_nav.sentClock.start();
    const QString session = m_sessionId;
    Post(
        QStringLiteral("Page.navigate"), {{QStringLiteral("url"), m_nav.url}}, m_sessionId,
        [this, session](const QJsonObject& result, const QString& error) {
            if (session != m_sessionId) return;
            if (!error.isEmpty()) {
                // A browser that died meanwhile is reported by BrowserDied, as a failure that may pass.
                if (BrowserGone() || ReopenCrashedFreshPage(error)) return;
                Fail(QStringLiteral("Chromium refused to load \"%1\": %2").arg(m_nav.url, error), false);
                return;
            }
            switch (m_nav.life.Answered(Str(result, "loaderId"), Str(result, "errorText"),
                                        result.value(QStringLiteral("isDownload")).toBool(),
                                        m_nav.freshPage)) {
                case TPageLifecycle::Answer::NoDocument:
                    BeginFinish();
                    break;
                case TPageLifecycle::Answer::WatchShowing:
                    WatchCommit();
                    break;
                case TPageLifecycle::Answer::Wait:
                    break;
            }
        },
        0, &m_nav.scope);
}

void TBrowserHost::WatchCommit() {
    if (!m_commitWatch) {
        m_commitWatch = new QTimer(this);
        m_commitWatch->setSingleShot(true);
        connect(m_commitWatch, &QTimer::timeout, this, [this] {
            if (m_state != 1 || !m_nav.error.isEmpty() || !m_nav.life.Answered() ||
                m_nav.life.ShownSinceAnswer())
                return;
            // The browser is ready to show the document, but the page's previous document does not let go
            // (a handler of its unload or pagehide that runs without end holds the page's process): the row
            // goes on in a fresh page, once.
            m_nav.previousDocumentHeld = true;
            m_nav.scope.Renew();  // what the held navigation still sends no longer counts
            DropPage(true);
            m_settle.Network().Clear();
            m_nav.sent = false;
            m_nav.life.Resend();
            m_nav.freshPage = true;
            StartPageSetup();
        });
    }
    m_commitWatch->start(m_bounds.commitMs);
}

void TBrowserHost::HandleEvent(const QString& sessionId, const QString& method, const QJsonObject& params) {
    const bool top = sessionId == m_sessionId;
    if (method == QLatin1String("Page.lifecycleEvent")) {
        const QString name = Str(params, "name");
        const QString loader = Str(params, "loaderId");
        // A document has fully arrived once it is parsed. The end of its request (whose id is its loader's)
        // is not always reported: on a fresh page the first document's often comes before requests are
        // watched, and that request would hold the page until the settle bound.
        if (name == QLatin1String("DOMContentLoaded") && m_settle.Network().Ended(sessionId, loader))
            m_settle.Check();
        if (!top || Str(params, "frameId") != m_targetId) return;
        if (name == QLatin1String("load")) {
            if (m_nav.life.Loaded(loader) && m_state != 4) BeginFinish();
        } else if (name == QLatin1String("DOMContentLoaded")) {
            if (m_nav.life.Parsed(loader) && m_state == 1) SetState(3);
        }
    } else if (method == QLatin1String("Runtime.executionContextCreated")) {
        // A document (or world) of this navigation: the rule library may speak from it.
        if (m_consentHandling) {
            const int contextId = params.value(QStringLiteral("context")).toObject().value(u"id").toInt();
            m_nav.consent.DocumentCreated(sessionId + u' ' + QString::number(contextId));
        }
    } else if (method == QLatin1String("Runtime.bindingCalled")) {
        if (Str(params, "name") != kConsentBinding || !m_consentHandling) return;
        const int contextId = params.value(QStringLiteral("executionContextId")).toInt();
        const TConsentState::Reply reply =
            m_nav.consent.Take(sessionId + u' ' + QString::number(contextId), Str(params, "payload"));
        if (!reply.evaluate.isEmpty())
            Post(QStringLiteral("Runtime.evaluate"),
                 {{QStringLiteral("expression"), reply.evaluate}, {QStringLiteral("contextId"), contextId}},
                 sessionId);
        if (reply.changed) Q_EMIT ConsentChanged();
    } else if (method == QLatin1String("Network.requestWillBeSent")) {
        // The page's document has gone out to the network: from here on the row waits for its server, not
        // for the browser's processes to start.
        if (top && Str(params, "type") == QLatin1String("Document") && !m_nav.requestClock.isValid())
            m_nav.requestClock.start();
        m_settle.Network().Started(sessionId, Str(params, "requestId"), Str(params, "type"));
    } else if (method == QLatin1String("Network.loadingFinished") ||
               method == QLatin1String("Network.loadingFailed")) {
        if (m_settle.Network().Ended(sessionId, Str(params, "requestId"))) m_settle.Check();
    } else if (method == QLatin1String("Page.frameStartedNavigating")) {
        Q_EMIT BeforeNavigate2(Str(params, "url"));
    } else if (method == QLatin1String("Page.frameNavigated")) {
        const QJsonObject frame = params.value(QStringLiteral("frame")).toObject();
        const QString url = Str(frame, "url") + Str(frame, "urlFragment");
        const bool topDocument = top && Str(frame, "id") == m_targetId;
        m_frames.Navigated(Str(frame, "id"), url, topDocument);
        if (topDocument) {
            // Chromium drops a screenshot of the document it replaces without a word: it is taken again now,
            // not after its bound (a page that refreshes without end would hold every attempt).
            if (m_screenshotId != 0 && m_client) {
                m_screenshotLost = true;
                m_client->GiveUp(std::exchange(m_screenshotId, 0),
                                 QStringLiteral("the page replaced its document meanwhile"));
            }
            // A page that could not be loaded shows Chromium's own error document: its address is the one
            // that could not be reached.
            const QString unreachable = Str(frame, "unreachableUrl");
            m_nav.topUrl = unreachable.isEmpty() ? url : unreachable;
            const QString loader = Str(frame, "loaderId");
            m_nav.life.Shown(loader);
            // The top document was replaced by another one (a script or refresh moved on): that one counts
            // now.
            if (m_nav.error.isEmpty() && m_nav.life.TakeOver(loader)) {
                m_nav.scope.Renew();  // a status query of the replaced document no longer finishes anything
                m_nav.finishing = false;
                m_nav.httpStatus = 0;
                SetState(1);
            }
        }
    } else if (method == QLatin1String("Page.frameStoppedLoading")) {
        const QString frameId = Str(params, "frameId");
        if (frameId != m_targetId && m_frames.Has(frameId)) Q_EMIT DocumentComplete(m_frames.UrlOf(frameId));
    } else if (method == QLatin1String("Page.frameDetached")) {
        // "swap": the frame moved to a process (and target) of its own and lives on there.
        m_frames.Detached(Str(params, "frameId"), Str(params, "reason"));
    } else if (method == QLatin1String("Fetch.requestPaused")) {
        Post(QStringLiteral("Fetch.continueRequest"),
             {{QStringLiteral("requestId"), Str(params, "requestId")}}, sessionId);
    } else if (method == QLatin1String("Fetch.authRequired")) {
        // The credentials answer the row's own site only (its scheme, host and port), never a proxy or
        // another site the page leads to.
        const QUrl asking(Str(params.value(QStringLiteral("request")).toObject(), "url"));
        const QUrl row(m_nav.url);
        // Credentials the server refused are not sent again for the same request.
        const QString requestId = Str(params, "requestId");
        const bool own = m_options.credentials && !m_nav.authAnswered.contains(requestId) &&
                         Str(params.value(QStringLiteral("authChallenge")).toObject(), "source") !=
                             QLatin1String("Proxy") &&
                         asking.scheme() == row.scheme() &&
                         asking.host().compare(row.host(), Qt::CaseInsensitive) == 0 &&
                         asking.port(0) == row.port(0);
        QJsonObject answer{{QStringLiteral("response"),
                            own ? QStringLiteral("ProvideCredentials") : QStringLiteral("CancelAuth")}};
        if (own) {
            m_nav.authAnswered.insert(requestId);
            answer.insert(QStringLiteral("username"), m_options.credentials->first);
            answer.insert(QStringLiteral("password"), m_options.credentials->second);
        }
        Post(QStringLiteral("Fetch.continueWithAuth"),
             {{QStringLiteral("requestId"), requestId}, {QStringLiteral("authChallengeResponse"), answer}},
             sessionId);
    } else if (method == QLatin1String("Page.javascriptDialogOpening")) {
        // The page waits until the dialog is answered; nobody is there to see it.
        Post(QStringLiteral("Page.handleJavaScriptDialog"), {{QStringLiteral("accept"), true}}, sessionId);
    } else if (method == QLatin1String("Target.attachedToTarget")) {
        const QString child = Str(params, "sessionId");
        const QString type = Str(params.value(QStringLiteral("targetInfo")).toObject(), "type");
        m_childSessions.insert(child);
        if (type == QLatin1String("iframe")) {
            ConfigureSession(child, false);
        } else {
            // Workers: nothing to watch (their requests already carry the page's agent); only let them run.
            Post(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, child);
        }
    } else if (method == QLatin1String("Target.detachedFromTarget")) {
        const QString detached = Str(params, "sessionId");
        if (detached == m_sessionId) {
            const QString url = m_nav.url;
            DropPage(false);
            Fail(
                QCoreApplication::translate("bildoro", "The page was closed by Chromium while showing \"%1\"")
                    .arg(url));
        } else if (m_childSessions.remove(detached)) {
            m_client->RemoveSessionHandler(detached);
            // The frame's requests end with it, unreported.
            if (m_settle.Network().SessionGone(detached)) m_settle.Check();
        }
    } else if (method == QLatin1String("Inspector.targetCrashed") && top) {
        if (ReopenCrashedFreshPage(QStringLiteral("Target crashed"))) return;
        const QString url = m_nav.url;
        m_nav.crashed = true;
        DropPage(true);
        Fail(QCoreApplication::translate("bildoro", "The page crashed in Chromium while showing \"%1\"")
                 .arg(url));
    }
}

void TBrowserHost::BeginFinish() {
    if (m_nav.finishing || m_state == 4) return;
    m_nav.finishing = true;
    auto finish = [this](int status, const QString& title) {
        if (m_state == 4 || !m_nav.error.isEmpty()) return;
        m_nav.httpStatus = status;
        m_nav.title = title.left(1000);
        m_nav.finishing = false;
        m_state = 4;
        Q_EMIT DocumentComplete(m_nav.topUrl.isEmpty() ? m_nav.url : m_nav.topUrl);
        Q_EMIT ReadyStateChanged();
    };
    Post(
        QStringLiteral("Runtime.evaluate"),
        {{QStringLiteral("expression"), QString::fromLatin1(kStatusAndTitleScript)},
         {QStringLiteral("returnByValue"), true}},
        m_sessionId,
        [finish](const QJsonObject& result, const QString&) {
            const QJsonArray value =
                result.value(QStringLiteral("result")).toObject().value(QStringLiteral("value")).toArray();
            finish(value.at(0).toInt(), value.at(1).toString());
        },
        m_bounds.statusMs, &m_nav.scope);
}

bool TBrowserHost::ConsentPending() const {
    if (!m_consentHandling || m_sessionId.isEmpty() || !m_nav.error.isEmpty()) return false;
    return m_nav.consent.Pending();
}

void TBrowserHost::StartSettle(int boundMs) {
    m_settle.Start(boundMs);
}

void TBrowserHost::StopLoading() {
    if (m_sessionId.isEmpty()) return;
    Post(QStringLiteral("Page.stopLoading"), {}, m_sessionId);
}

void TBrowserHost::CheckAnswering(int boundMs, std::function<void(bool)> done) {
    if (BrowserGone() || m_sessionId.isEmpty()) {
        QTimer::singleShot(0, this, [done] { done(false); });
        return;
    }
    AskAnswering({m_sessionId, m_nav.scope.Context(), m_pageFaulted, boundMs}, boundMs, false,
                 std::move(done));
}

void TBrowserHost::AskAnswering(const AnswerCheck& check, int ms, bool last, std::function<void(bool)> done) {
    // Weakly: the handler waits in the client's own registry.
    const std::weak_ptr<TDevToolsClient> client = m_client;
    // Any answer will do, an error too: the page's main thread is free. A page that never completed has its
    // document's status and title read here, when its document came.
    OnPage(QStringLiteral("Runtime.evaluate"),
           {{QStringLiteral("expression"), QString::fromLatin1(kStatusAndTitleScript)},
            {QStringLiteral("returnByValue"), true}},
           ms, [this, client, check, last, done](const QJsonObject& result, const QString& error) {
               const auto alive = client.lock();
               const bool gone = !alive || !alive->IsAlive() || m_sessionId != check.session;
               if (error.isEmpty() || (!TDevToolsClient::IsNoAnswer(error) && !gone)) {
                   const QJsonArray value = result.value(QStringLiteral("result"))
                                                .toObject()
                                                .value(QStringLiteral("value"))
                                                .toArray();
                   if (check.navigation && m_state != 4 && m_nav.httpStatus == 0 && value.at(0).toInt() > 0) {
                       m_nav.httpStatus = value.at(0).toInt();
                       m_nav.title = value.at(1).toString().left(1000);
                   }
                   m_pageFaulted = check.faultedBefore;
                   return done(true);
               }
               // A browser that died meanwhile (another page's check ended it, and its pending questions are
               // answered before its death is told) fails the row as at that death, which may pass: not as a
               // page whose script never lets go.
               if (m_client && !m_client->IsAlive() && m_nav.error.isEmpty())
                   BrowserDied(m_client->DeathReason());
               if (gone || last) return done(false);  // OnPage has marked the page as faulted
               // A browser that answers nothing any more is ended at once (the row fails as at its death,
               // and may pass in the next one). In one that answers, a script that never lets go (an
               // endless loop) keeps the page from drawing: it is ended, and the page goes on as far as it
               // can.
               CheckBrowser([this, check, done](bool answers) {
                   if (!answers || m_sessionId != check.session) return done(false);
                   Post(QStringLiteral("Runtime.terminateExecution"), {}, m_sessionId);
                   AskAnswering(check, 2 * check.boundMs, true, done);
               });
           });
}

void TBrowserHost::ReplacePage() {
    std::shared_ptr<TDevToolsClient> client = m_client;
    m_pageFaulted = false;
    if (!client || !client->IsAlive() || m_checkingBrowser) return;
    // This page goes in any case; a browser that still answers only loses it, one that does not is ended.
    DropPage(true);
    m_checkingBrowser = true;
    CheckBrowser([this](bool) {
        m_checkingBrowser = false;
        ResumeNavigation();
    });
}

void TBrowserHost::LeavePage() {
    if (m_checkingBrowser || m_sessionId.isEmpty()) return;
    DropPage(true);
}

void TBrowserHost::CheckBrowser(std::function<void(bool)> done) {
    Post(
        QStringLiteral("Browser.getVersion"), {}, {},
        [weak = std::weak_ptr<TDevToolsClient>(m_client), done](const QJsonObject&, const QString& error) {
            const auto stuck = weak.lock();
            if (!stuck || !TDevToolsClient::IsNoAnswer(error)) return done(true);
            stuck->Terminate(QStringLiteral("Chromium stopped answering (%1)").arg(error));
            done(false);
        },
        m_bounds.browserCheckMs);
}

void TBrowserHost::ResumeNavigation() {
    if (m_state == 0 || m_state == 4 || m_nav.sent || !m_nav.error.isEmpty() || m_setupRunning) return;
    try {
        StartNavigation();
    } catch (const TBrowserError&) {
        // The navigation has failed with it (ReadyState raises it).
    }
}

void TBrowserHost::WhenSetUp(std::function<void()> then) {
    if (!m_setupRunning) {
        QTimer::singleShot(0, this, std::move(then));
        return;
    }
    m_afterSetup.push_back(std::move(then));
}

void TBrowserHost::SetupEnded() {
    m_setupRunning = false;
    if (m_afterSetup.empty()) return;
    // From the event loop: a page that crashed in its set-up may be opened again meanwhile, and is waited
    // for.
    QTimer::singleShot(0, this, [this] {
        std::vector<std::function<void()>> waiting;
        waiting.swap(m_afterSetup);
        for (auto& then : waiting) WhenSetUp(std::move(then));
    });
}

void TBrowserHost::PageSays(const QString& expression, bool otherwise, std::function<void(bool)> done) {
    OnPage(QStringLiteral("Runtime.evaluate"),
           {{QStringLiteral("expression"), expression}, {QStringLiteral("returnByValue"), true}},
           m_bounds.statusMs, [otherwise, done](const QJsonObject& r, const QString& error) {
               const QJsonValue value =
                   r.value(QStringLiteral("result")).toObject().value(QStringLiteral("value"));
               done(error.isEmpty() && value.isBool() ? value.toBool() : otherwise);
           });
}

int TBrowserHost::OnPage(const QString& method, const QJsonObject& params, int timeoutMs,
                         std::function<void(const QJsonObject&, const QString&)> done) {
    const std::shared_ptr<TDevToolsClient> client = m_client;
    const QString session = m_sessionId;
    if (!client || !client->IsAlive() || session.isEmpty()) {
        QTimer::singleShot(0, this, [this, method, done] {
            done({}, !m_nav.error.isEmpty() ? m_nav.error : QStringLiteral("No page for %1").arg(method));
        });
        return 0;
    }
    auto answer = [this, method, session, done](const QJsonObject& result, const QString& error) {
        if (error.isEmpty()) return done(result, {});
        // No answer, "Not attached to an active page" and the like: the page is no longer fit for use.
        m_pageFaulted = true;
        if (TDevToolsClient::IsNoAnswer(error)) return done({}, error);
        // A page that crashed or was closed meanwhile never answers: its own failure says why.
        if (m_sessionId != session)
            return done({}, !m_nav.error.isEmpty()
                                ? m_nav.error
                                : QStringLiteral("The page was closed during %1").arg(method));
        done({}, QStringLiteral("%1 failed: %2").arg(method, error));
    };
    try {
        return client->Send(method, params, session, this, std::move(answer), timeoutMs);
    } catch (const TBrowserError& e) {
        const QString why = QString::fromUtf8(e.what());
        QTimer::singleShot(0, this, [done, why] { done({}, why); });
    }
    return 0;
}

// A fresh page can land in a renderer that is dying (one that crashed or was killed a moment ago); it then
// crashes before the row's document arrives. That is no fault of the row: the page is opened again, after a
// pause that lets the browser clear the dead renderer away.
bool TBrowserHost::ReopenCrashedFreshPage(const QString& error) {
    if (!error.contains(QLatin1String("Target crashed")) || !m_nav.freshPage || m_nav.life.Answered() ||
        !m_nav.error.isEmpty() || m_nav.reopened >= kReopenLimit)
        return false;
    ++m_nav.reopened;
    m_nav.sent = false;
    m_nav.life.Resend();
    DropPage(true);
    m_setupRunning = true;  // a capture or a next Navigate waits for the page instead of opening another one
    QTimer::singleShot(m_bounds.reopenPauseMs * m_nav.reopened, m_pageScope.Context(), [this] {
        if (m_state != 0) StartPageSetup();
    });
    return true;
}

void TBrowserHost::DropPage(bool closeTarget) {
    m_pageScope.Renew();
    SetupEnded();
    if (m_client) {
        for (const QString& s : std::as_const(m_childSessions)) m_client->RemoveSessionHandler(s);
        if (!m_sessionId.isEmpty()) m_client->RemoveSessionHandler(m_sessionId);
    }
    if (closeTarget && !m_targetId.isEmpty())
        Post(QStringLiteral("Target.closeTarget"), {{QStringLiteral("targetId"), m_targetId}});
    m_childSessions.clear();
    m_sessionId.clear();
    m_targetId.clear();
    m_viewport = QSize();
    m_frames.Clear();
}

void TBrowserHost::BrowserDied(const QString& reason) {
    const QString url = m_nav.url;
    DropPage(false);
    if (m_client) disconnect(m_client.get(), nullptr, this, nullptr);
    m_client.reset();  // the next Navigate starts a new browser
    // A navigation that waits for the browser check of ReplacePage opens on a new browser instead.
    if (m_state != 0 && !(m_checkingBrowser && !m_nav.sent))
        Fail(QStringLiteral("%1 while %2 \"%3\"")
                 .arg(reason, m_state == 4 ? QStringLiteral("showing") : QStringLiteral("loading"), url));
}
