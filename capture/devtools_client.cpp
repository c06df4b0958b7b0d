// The DevTools protocol over one browser's transport: commands, replies, events, the browser's end.
#include "devtools_client.h"

#include "browser_error.h"
#include "devtools_transport.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonValue>
#include <QTimer>
#include <algorithm>
#include <utility>
#include <vector>

TDevToolsClient::TDevToolsClient(std::unique_ptr<TDevToolsTransport> transport)
    : m_transport(std::move(transport)) {
    connect(m_transport.get(), &TDevToolsTransport::MessageReceived, this, &TDevToolsClient::HandleMessage);
    connect(m_transport.get(), &TDevToolsTransport::Exited, this, &TDevToolsClient::HandleExit);
}

TDevToolsClient::~TDevToolsClient() {
    m_sessions.clear();
    m_pending.clear();
    m_transport->Shutdown();
}

std::shared_ptr<TDevToolsClient> TDevToolsClient::Over(std::unique_ptr<TDevToolsTransport> transport) {
    return std::shared_ptr<TDevToolsClient>(new TDevToolsClient(std::move(transport)),
                                            &TDevToolsClient::Release);
}

void TDevToolsClient::Release(TDevToolsClient* client) {
    // Deleting it inside its own message dispatch would pull the floor away; it goes when the dispatch ends.
    if (client->m_dispatchDepth > 0)
        client->m_released = true;
    else
        delete client;
}

void TDevToolsClient::LeaveDispatch() {
    // Deleted from the event loop: the pipe reader that called us is still on the stack.
    if (--m_dispatchDepth == 0 && m_released) deleteLater();
}

bool TDevToolsClient::IsAlive() const {
    return m_deathReason.isEmpty() && m_transport->IsRunning();
}

qint64 TDevToolsClient::BrowserProcessId() const {
    return m_transport->ProcessId();
}

qint64 TDevToolsClient::GuardianProcessId() const {
    return m_transport->GuardianProcessId();
}

QString TDevToolsClient::ProfileDir() const {
    return m_transport->ProfileDir();
}

int TDevToolsClient::Send(const QString& method, const QJsonObject& params, const QString& sessionId,
                          QObject* context, ReplyHandler handler, int timeoutMs) {
    if (!IsAlive())
        throw TBrowserError(QStringLiteral("Cannot send %1: %2")
                                .arg(method, m_deathReason.isEmpty()
                                                 ? QStringLiteral("Chromium is not running")
                                                 : m_deathReason));
    const int id = m_nextId++;
    QJsonObject message{
        {QStringLiteral("id"), id}, {QStringLiteral("method"), method}, {QStringLiteral("params"), params}};
    if (!sessionId.isEmpty()) message.insert(QStringLiteral("sessionId"), sessionId);
    if (handler) {
        m_pending.insert(id, Pending{context, context != nullptr, std::move(handler), sessionId, method});
        if (timeoutMs > 0)
            QTimer::singleShot(timeoutMs, this, [this, id, method, timeoutMs] {
                FailPending(
                    id, QStringLiteral("Chromium did not answer %1 within %2 ms").arg(method).arg(timeoutMs));
            });
    }
    const QByteArray text = QJsonDocument(message).toJson(QJsonDocument::Compact);
    static const bool trace = qEnvironmentVariableIsSet("BILDORO_DEVTOOLS_TRACE");
    if (trace) qDebug("DevTools -> %s", text.left(400).constData());
    m_transport->SendMessage(text);
    return id;
}

bool TDevToolsClient::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    EnterDispatch();  // a release meanwhile only marks us
    bool reached = done();
    while (!reached && IsAlive()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0) break;
        m_transport->Pump(static_cast<int>(left));
        reached = done();
    }
    LeaveDispatch();
    return reached;
}

bool TDevToolsClient::IsNoAnswer(const QString& error) {
    return error.startsWith(QLatin1String("Chromium did not answer "));
}

void TDevToolsClient::FailPending(int id, const QString& error) {
    auto it = m_pending.find(id);
    if (it == m_pending.end()) return;
    Pending pending = std::move(it.value());
    m_pending.erase(it);
    if (!pending.hasContext || pending.context) {
        EnterDispatch();
        Deliver([&] { pending.handler({}, error); });
        LeaveDispatch();
    }
}

void TDevToolsClient::Terminate(const QString& reason) {
    if (!IsAlive()) return;
    m_transport->Kill();
    HandleExit(reason);
}

void TDevToolsClient::SetSessionHandler(const QString& sessionId, QObject* context, EventHandler handler) {
    m_sessions.insert(sessionId, SessionHandler{context, context != nullptr, std::move(handler)});
}

void TDevToolsClient::RemoveSessionHandler(const QString& sessionId) {
    m_sessions.remove(sessionId);
}

void TDevToolsClient::AskUserAgent() {
    if (m_userAgentAsked) return;
    m_userAgentAsked = true;
    Send(QStringLiteral("Browser.getVersion"), {}, {}, nullptr,
         [this](const QJsonObject& result, const QString&) {
             QString ua = result.value(QStringLiteral("userAgent")).toString();
             ua.replace(QStringLiteral("HeadlessChrome"), QStringLiteral("Chrome"));
             m_userAgent = ua;
             m_userAgentKnown = true;
         });
}

void TDevToolsClient::WhenUserAgentKnown(QObject* context, std::function<void(const QString&)> handler) {
    if (m_userAgentKnown) {
        handler(m_userAgent);
        return;
    }
    if (!IsAlive()) return;  // the caller hears of the death through Died
    AskUserAgent();
    // Replies come in order, so this one comes after the getVersion that tells the user agent.
    Send(QStringLiteral("Browser.getVersion"), {}, {}, context,
         [this, handler = std::move(handler)](const QJsonObject&, const QString&) { handler(m_userAgent); });
}

void TDevToolsClient::Deliver(const std::function<void()>& call) {
    // Handlers run inside the event loop's dispatch of the pipe: nothing may be thrown through it.
    try {
        call();
    } catch (const std::exception& e) {
        qWarning("DevTools: a message handler failed: %s", e.what());
    } catch (...) {
        qWarning("DevTools: a message handler failed");
    }
}

void TDevToolsClient::HandleMessage(const QByteArray& message) {
    static const bool trace = qEnvironmentVariableIsSet("BILDORO_DEVTOOLS_TRACE");
    if (trace) qDebug("DevTools <- %s", message.left(400).constData());
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(message, &parseError);
    if (!doc.isObject()) {
        qWarning("DevTools: unreadable message from Chromium (%s)", qPrintable(parseError.errorString()));
        return;
    }
    const QJsonObject object = doc.object();
    EnterDispatch();
    const QJsonValue idValue = object.value(QStringLiteral("id"));
    if (!idValue.isUndefined()) {
        const int id = idValue.toInt();
        QString error;
        if (object.contains(QStringLiteral("error"))) {
            const QJsonObject e = object.value(QStringLiteral("error")).toObject();
            error = e.value(QStringLiteral("message")).toString();
            if (error.isEmpty())
                error = QStringLiteral("error %1").arg(e.value(QStringLiteral("code")).toInt());
        }
        // A reply nobody waits for (sent without a handler, or its wait gave up) is dropped here.
        if (auto it = m_pending.find(id); it != m_pending.end()) {
            Pending pending = std::move(it.value());
            m_pending.erase(it);
            if (!pending.hasContext || pending.context)
                Deliver([&] { pending.handler(object.value(QStringLiteral("result")).toObject(), error); });
        }
    } else {
        const QString method = object.value(QStringLiteral("method")).toString();
        const QJsonObject params = object.value(QStringLiteral("params")).toObject();
        QString session = object.value(QStringLiteral("sessionId")).toString();
        const bool detached = session.isEmpty() && method == QLatin1String("Target.detachedFromTarget");
        if (detached) session = params.value(QStringLiteral("sessionId")).toString();
        if (auto it = m_sessions.find(session); !session.isEmpty() && it != m_sessions.end()) {
            SessionHandler target = it.value();  // a copy: the handler may remove itself
            if (!target.hasContext || target.context) Deliver([&] { target.handler(method, params); });
        }
        // Commands of a session that is gone are never answered: their senders hear of it now (after the
        // session's own handler, which learns first that its page is gone).
        if (detached && !session.isEmpty()) {
            std::vector<std::pair<int, QString>> gone;  // id and method, oldest first
            for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it)
                if (it->sessionId == session) gone.emplace_back(it.key(), it->method);
            std::sort(gone.begin(), gone.end());
            for (const auto& [id, what] : gone)
                FailPending(id, QStringLiteral("The page was closed during %1").arg(what));
        }
    }
    LeaveDispatch();
}

void TDevToolsClient::HandleExit(const QString& reason) {
    m_deathReason = reason.isEmpty() ? QStringLiteral("Chromium exited") : reason;
    EnterDispatch();
    // Pending commands will never be answered: tell their senders now, oldest first.
    QList<int> ids = m_pending.keys();
    std::sort(ids.begin(), ids.end());
    for (int id : ids) {
        auto it = m_pending.find(id);
        if (it == m_pending.end()) continue;
        Pending pending = std::move(it.value());
        m_pending.erase(it);
        if (!pending.hasContext || pending.context) Deliver([&] { pending.handler({}, m_deathReason); });
    }
    Q_EMIT Died(m_deathReason);
    LeaveDispatch();
}
