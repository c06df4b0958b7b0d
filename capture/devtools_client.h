// The DevTools protocol over one browser's transport: commands with ids, replies matched to them, events by
// session.
#pragma once

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

class TDevToolsTransport;

class TDevToolsClient : public QObject {
    Q_OBJECT
  public:
    // result is the command's "result" object; error is empty on success, else the browser's message
    // (or why no reply will come: the browser exited).
    using ReplyHandler = std::function<void(const QJsonObject& result, const QString& error)>;
    using EventHandler = std::function<void(const QString& method, const QJsonObject& params)>;

    // The client that every browser host of this program shares: the running one, or a new one whose browser
    // is started now. Throws TBrowserError when no browser can be started. The browser ends when the last
    // holder lets go.
    static std::shared_ptr<TDevToolsClient> Shared();
    // A client of its own with a freshly started browser (throws TBrowserError). When the last reference goes
    // while a message is being handled, the client (and its browser) ends from the event loop.
    static std::shared_ptr<TDevToolsClient> Launch();
    // A client over a transport that is already running (a test's in-memory one, say). Sends nothing by
    // itself; the transport ends with the client, as with Launch.
    static std::shared_ptr<TDevToolsClient> Over(std::unique_ptr<TDevToolsTransport> transport);

    ~TDevToolsClient() override;

    bool IsAlive() const;
    // Why the browser is gone ("Chromium exited", ...); empty while it runs.
    QString DeathReason() const { return m_deathReason; }
    qint64 BrowserProcessId() const;
    qint64 GuardianProcessId() const;
    QString ProfileDir() const;

    // Sends a command, with sessionId when not empty; returns its id. The handler runs once, when the reply
    // arrives or the browser dies, and only while context is alive (null context: always). Without a handler
    // nobody waits for the reply, and it is dropped when it comes.
    // Throws TBrowserError when the browser is not running.
    int Send(const QString& method, const QJsonObject& params = {}, const QString& sessionId = {},
             QObject* context = nullptr, ReplyHandler handler = {});
    // Sends a command and waits for its reply without running the event loop (other traffic meanwhile is
    // handled as usual), until the reply comes, the browser dies, timeoutMs pass, or abandon() names a reason
    // to stop waiting (asked before each wait for traffic; empty: keep waiting). Returns the result; throws
    // TBrowserError with "<method> failed: <why>" on an error reply or death, with abandon's reason, or with
    // "Chromium did not answer <method> within <timeoutMs> ms". A reply that comes after the wait ended is
    // dropped.
    QJsonObject Call(const QString& method, const QJsonObject& params, const QString& sessionId,
                     int timeoutMs, const std::function<QString()>& abandon = {});
    // Ends a browser that no longer answers: every pending command is answered with `reason`, Died is
    // emitted, and the next Shared() starts a new browser. Nothing when the browser has gone already.
    void Terminate(const QString& reason);
    // Handles traffic without the event loop until done() holds, the browser dies, or timeoutMs passed.
    // Returns done().
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

    // Events of a session (those whose message carries it, and the browser's Target.detachedFromTarget
    // about it) go to its handler while context lives.
    void SetSessionHandler(const QString& sessionId, QObject* context, EventHandler handler);
    void RemoveSessionHandler(const QString& sessionId);

    // Commands whose reply a handler still waits for.
    int PendingReplyCount() const { return static_cast<int>(m_pending.size()); }

    // The browser's own user agent, "HeadlessChrome" reading "Chrome" as the browser with a window sends it.
    // Calls back at once when known, else when the browser has told it (empty text if it could not);
    // never when the browser has died already.
    void WhenUserAgentKnown(QObject* context, std::function<void(const QString& userAgent)> handler);

  Q_SIGNALS:
    // The browser exited or crashed; every pending command has been answered with an error before this.
    void Died(const QString& reason);

  private:
    explicit TDevToolsClient(std::unique_ptr<TDevToolsTransport> transport);
    static void Release(TDevToolsClient* client);
    static void Deliver(const std::function<void()>& call);
    void HandleMessage(const QByteArray& message);
    void HandleExit(const QString& reason);
    void EnterDispatch() { ++m_dispatchDepth; }
    void LeaveDispatch();

    struct Pending {
        QPointer<QObject> context;
        bool hasContext = false;
        ReplyHandler handler;
    };
    struct SessionHandler {
        QPointer<QObject> context;
        bool hasContext = false;
        EventHandler handler;
    };

    std::unique_ptr<TDevToolsTransport> m_transport;
    int m_nextId = 1;
    QHash<int, Pending> m_pending;  // the one registry of replies someone waits for, by command id
    QHash<QString, SessionHandler> m_sessions;
    QString m_userAgent;
    bool m_userAgentKnown = false;
    QString m_deathReason;
    int m_dispatchDepth = 0;
    bool m_released = false;
};
