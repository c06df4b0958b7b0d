// TDevToolsTransport: the message pipe under the DevTools client, whatever carries it.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// Carries whole DevTools messages to and from one browser. Messages arrive only while the event loop runs or
// while Pump runs; the end of the browser is reported once.
class TDevToolsTransport : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

    // Queues one message and writes what the other side takes without blocking.
    // Throws TBrowserError when the browser is not running.
    virtual void SendMessage(const QByteArray& message) = 0;
    // Waits up to timeoutMs for traffic without running the event loop, and delivers every complete message
    // (MessageReceived) and an end (Exited) before returning. False when nothing happened within timeoutMs.
    virtual bool Pump(int timeoutMs) = 0;
    // True until the browser has ended or the transport was shut down.
    virtual bool IsRunning() const = 0;
    // Ends the browser and frees what the transport holds, bounded in time; safe to call more than once.
    virtual void Shutdown() = 0;
    // Ends a browser that no longer answers: it gets no time to exit by itself, which it would not use.
    virtual void Kill() { Shutdown(); }

    // The browser's process, the guardian that reaps it, and its profile folder; 0 or empty when there is
    // none.
    virtual qint64 ProcessId() const { return 0; }
    virtual qint64 GuardianProcessId() const { return 0; }
    virtual QString ProfileDir() const { return {}; }

  Q_SIGNALS:
    // One complete message from the browser.
    void MessageReceived(const QByteArray& message);
    // The browser exited or crashed. Emitted once.
    void Exited(const QString& reason);
};
