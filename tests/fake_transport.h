// TFakeTransport: an in-memory browser for the DevTools client's tests, answering as the test tells it.
#pragma once

#include "browser_error.h"
#include "devtools_transport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QThread>
#include <algorithm>
#include <functional>

class TFakeTransport : public TDevToolsTransport {
  public:
    // Every command sent, in order; onCommand sees each as it is sent and may queue the browser's answer.
    QList<QJsonObject> commands;
    std::function<void(const QJsonObject& command)> onCommand;

    // Queues a message for the next Pump or Deliver, or for the event loop (as the pipe's would come).
    void Arrive(const QByteArray& message) {
        m_incoming << message;
        QMetaObject::invokeMethod(
            this, [this] { Deliver(); }, Qt::QueuedConnection);
    }
    void Arrive(const QJsonObject& message) { Arrive(QJsonDocument(message).toJson(QJsonDocument::Compact)); }
    void Reply(int id, const QJsonObject& result) {
        Arrive(QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("result"), result}});
    }
    // The browser's end, for the next Pump, Deliver or the event loop.
    void End(const QString& reason) {
        m_endReason = reason;
        QMetaObject::invokeMethod(
            this, [this] { Deliver(); }, Qt::QueuedConnection);
    }
    // Hands out what is queued, as the event loop would: messages in order, then the end.
    void Deliver() {
        while (!m_incoming.isEmpty()) Q_EMIT MessageReceived(m_incoming.takeFirst());
        if (!m_endReason.isNull() && m_running) {
            m_running = false;
            Q_EMIT Exited(m_endReason);
        }
    }

    void SendMessage(const QByteArray& message) override {
        if (!m_running) throw TBrowserError(QStringLiteral("Chromium is not running"));
        commands << QJsonDocument::fromJson(message).object();
        if (onCommand) onCommand(commands.last());
    }
    bool Pump(int timeoutMs) override {
        if (m_incoming.isEmpty() && (m_endReason.isNull() || !m_running)) {
            QThread::msleep(static_cast<unsigned long>(std::max(timeoutMs, 0)));
            return false;
        }
        Deliver();
        return true;
    }
    bool IsRunning() const override { return m_running; }
    void Shutdown() override { m_running = false; }

  private:
    QList<QByteArray> m_incoming;
    QString m_endReason;
    bool m_running = true;
};
