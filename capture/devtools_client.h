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

    // A client over a transport that is already running (Chromium's pipe, a test's in-memory browser). Sends
    // nothing by itself. When the last reference goes while a message is being handled, the client (and the
    // transport with its browser) ends from the event loop.
    static std::shared_ptr<TDevToolsClient> Over(std::unique_ptr<TDevToolsTransport> transport);

    ~TDevToolsClient() override;

    bool IsAlive() const;
    // Why the browser is gone ("Chromium exited", ...); empty while it runs.
    QString DeathReason() const { return m_deathReason; }
    qint64 BrowserProcessId() const;
    qint64 GuardianProcessId() const;
    QString ProfileDir() const;

    // Sends a command, with sessionId when not empty; returns its id. The handler runs once: when the reply
    // arrives, when the browser dies, when the command's session is detached (the page closed or crashed),
    // or when timeoutMs (if positive) pass without a reply, with an error IsNoAnswer() recognises; a reply
    // that comes later is dropped. It runs only while context is alive (null context: always). Without a
    // handler nobody waits for the reply, and it is dropped when it comes.
    // Throws TBrowserError when the browser is not running.
    int Send(const QString& method, const QJsonObject& params = {}, const QString& sessionId = {},
             QObject* context = nullptr, ReplyHandler handler = {}, int timeoutMs = 0);
    // Whether a reply handler's error says that no answer came within the command's bound (the browser or
    // its page may be stuck), not that the browser answered with an error or died.
    static bool IsNoAnswer(const QString& error);
    // Ends a browser that no longer answers: every pending command is answered with `reason`, and Died is
    // emitted. Nothing when the browser has gone already.
    void Terminate(const QString& reason);
    // Answers command `id` with `error` now, as a reply from the browser: for a command the browser dropped
    // without a word (a screenshot of a document that was replaced meanwhile). Nothing when it was answered.
    void GiveUp(int id, const QString& error) { FailPending(id, error); }
    // Handles traffic without the event loop until done() holds, the browser dies, or timeoutMs passed.
    // Returns done(). For tools and tests that wait without an event loop; the program's own waits run in
    // the event loop.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

    // Events of a session (those whose message carries it, and the browser's Target.detachedFromTarget
    // about it) go to its handler while context lives.
    void SetSessionHandler(const QString& sessionId, QObject* context, EventHandler handler);
    void RemoveSessionHandler(const QString& sessionId);

    // Commands whose reply a handler still waits for.
    int PendingReplyCount() const { return static_cast<int>(m_pending.size()); }

    // Asks the browser for its own user agent, once, right after the start (the pages' set-up needs it).
    void AskUserAgent();
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
        QString sessionId;
        QString method;
    };
    // Answers pending command `id` with `error` (no result), if it still waits.
    void FailPending(int id, const QString& error);
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
    bool m_userAgentAsked = false;
    QString m_deathReason;
    int m_dispatchDepth = 0;
    bool m_released = false;
};
