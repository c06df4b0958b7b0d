// TFakeChromium: an in-memory Chromium for the engine's tests. It opens pages, loads each address as its path
// says (http://fake/ok, /early-load, /moves-on, /stall, /never, /crash, /detach, /die, /freeze,
// /hang-capture, /freeze-capture, /refresh, /never-shown, /reload-late) and takes screenshots, all over
// TFakeTransport, so that what the engine decides on a page that breaks is seen in milliseconds.
#pragma once

#include "chromium_process.h"
#include "devtools_client.h"
#include "fake_transport.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>
#include <QSet>
#include <QUrl>
#include <memory>

class TFakeChromium {
  public:
    // Browsers started so far (a new one after each death).
    int launches = 0;

    // A browser for the hosts of a run: each launch is a fresh fake Chromium.
    std::shared_ptr<TBrowser> Browser() {
        return std::make_shared<TBrowser>([this] {
            ++launches;
            auto* fake = new TFakeTransport;  // owned by the client
            auto state = std::make_shared<State>();
            fake->onCommand = [this, fake, state](const QJsonObject& command) {
                Answer(*fake, *state, command);
            };
            auto client = TDevToolsClient::Over(std::unique_ptr<TDevToolsTransport>(fake));
            client->AskUserAgent();
            return client;
        });
    }

  private:
    struct State {
        int next = 0;
        bool frozen = false;          // answers nothing any more
        QSet<QString> hangCapture;    // sessions whose screenshots never come
        QSet<QString> freezeCapture;  // sessions whose screenshot the whole browser stops answering at
        QSet<QString> refresh;        // sessions whose page replaces its document at every screenshot
        QSet<QString> reloadLate;     // sessions whose page's own reload commits after the next navigation
    };

    static QString Png() {
        static const QString data = [] {
            QImage image(4, 4, QImage::Format_RGB32);
            image.fill(Qt::white);
            image.setPixel(1, 1, qRgb(200, 0, 0));
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            return QString::fromLatin1(png.toBase64());
        }();
        return data;
    }

    static void Event(TFakeTransport& fake, const QString& session, const QString& method,
                      const QJsonObject& params) {
        QJsonObject message{{QStringLiteral("method"), method}, {QStringLiteral("params"), params}};
        if (!session.isEmpty()) message.insert(QStringLiteral("sessionId"), session);
        fake.Arrive(message);
    }

    void Answer(TFakeTransport& fake, State& state, const QJsonObject& command) {
        if (state.frozen) return;
        const int id = command.value(QStringLiteral("id")).toInt();
        const QString method = command.value(QStringLiteral("method")).toString();
        const QString session = command.value(QStringLiteral("sessionId")).toString();
        const QJsonObject params = command.value(QStringLiteral("params")).toObject();
        const QString target = session.mid(1);  // session "S<target>"
        if (method == QLatin1String("Browser.getVersion")) {
            fake.Reply(id, {{QStringLiteral("userAgent"), QStringLiteral("Mozilla/5.0 HeadlessChrome/1.0")}});
        } else if (method == QLatin1String("Target.createTarget")) {
            fake.Reply(id, {{QStringLiteral("targetId"), QStringLiteral("T%1").arg(++state.next)}});
        } else if (method == QLatin1String("Target.attachToTarget")) {
            fake.Reply(id, {{QStringLiteral("sessionId"),
                             u'S' + params.value(QStringLiteral("targetId")).toString()}});
        } else if (method == QLatin1String("Target.closeTarget")) {
            fake.Reply(id, {{QStringLiteral("success"), true}});
            Event(
                fake, {}, QStringLiteral("Target.detachedFromTarget"),
                {{QStringLiteral("sessionId"), u'S' + params.value(QStringLiteral("targetId")).toString()}});
        } else if (method == QLatin1String("Page.navigate")) {
            const bool reloadLate = state.reloadLate.remove(session);
            Navigate(fake, state, id, session, target, params.value(QStringLiteral("url")).toString());
            if (reloadLate && !state.frozen)
                MoveOn(fake, state, session, target, QStringLiteral("http://fake/reload-late"));
        } else if (method == QLatin1String("Page.captureScreenshot")) {
            // A page that refreshes without end: the screenshot is lost with the document, unanswered.
            if (state.refresh.contains(session))
                return MoveOn(fake, state, session, target, QStringLiteral("http://fake/refresh"));
            state.frozen = state.freezeCapture.contains(session);
            if (!state.hangCapture.contains(session) && !state.frozen)
                fake.Reply(id, {{QStringLiteral("data"), Png()}});
        } else if (method == QLatin1String("Runtime.evaluate")) {
            const QString expression = params.value(QStringLiteral("expression")).toString();
            QJsonValue value = false;  // nothing more to draw later
            if (expression.contains(QLatin1String("responseStatus")))
                value = QJsonArray{QJsonValue(200), QJsonValue(QStringLiteral("Fake page"))};
            else if (expression.contains(QLatin1String("document.body")))
                value = true;  // something to draw
            fake.Reply(id, {{QStringLiteral("result"), QJsonObject{{QStringLiteral("value"), value}}}});
        } else {
            fake.Reply(id, {});
        }
    }

    void Navigate(TFakeTransport& fake, State& state, int id, const QString& session, const QString& target,
                  const QString& url) {
        const QString kind = QUrl(url).path();
        if (kind == QLatin1String("/never")) return;
        if (kind == QLatin1String("/die")) return fake.End(QStringLiteral("Chromium exited"));
        if (kind == QLatin1String("/freeze")) {
            state.frozen = true;
            return;
        }
        const QString loader = QStringLiteral("L%1").arg(++state.next);
        const QJsonObject answer{{QStringLiteral("frameId"), target}, {QStringLiteral("loaderId"), loader}};
        // /early-load: the whole document comes before the browser's answer to the navigation.
        const bool early = kind == QLatin1String("/early-load");
        if (!early) fake.Reply(id, answer);
        if (kind == QLatin1String("/hang-capture")) state.hangCapture.insert(session);
        if (kind == QLatin1String("/refresh")) state.refresh.insert(session);
        if (kind == QLatin1String("/freeze-capture")) state.freezeCapture.insert(session);
        Event(fake, session, QStringLiteral("Network.requestWillBeSent"),
              {{QStringLiteral("requestId"), loader}, {QStringLiteral("type"), QStringLiteral("Document")}});
        // /never-shown: the document's body never comes, and the page goes on showing the one before it.
        if (kind == QLatin1String("/never-shown")) return;
        Event(fake, session, QStringLiteral("Page.frameNavigated"),
              {{QStringLiteral("frame"), QJsonObject{{QStringLiteral("id"), target},
                                                     {QStringLiteral("url"), url},
                                                     {QStringLiteral("loaderId"), loader}}}});
        if (kind == QLatin1String("/crash"))
            return Event(fake, session, QStringLiteral("Inspector.targetCrashed"), {});
        if (kind == QLatin1String("/detach"))
            return Event(fake, {}, QStringLiteral("Target.detachedFromTarget"),
                         {{QStringLiteral("sessionId"), session}});
        // /stall: the document is parsed, but its load event never comes; /reload-late: so, and the page's
        // own reload commits after the next navigation of its page.
        if (kind == QLatin1String("/reload-late")) state.reloadLate.insert(session);
        if (kind == QLatin1String("/stall") || kind == QLatin1String("/reload-late"))
            return Event(fake, session, QStringLiteral("Page.lifecycleEvent"),
                         {{QStringLiteral("frameId"), target},
                          {QStringLiteral("loaderId"), loader},
                          {QStringLiteral("name"), QStringLiteral("DOMContentLoaded")}});
        Load(fake, session, target, loader);
        if (early) fake.Reply(id, answer);
        // /moves-on: the page replaces its document by another one of its own once loaded.
        if (kind == QLatin1String("/moves-on"))
            MoveOn(fake, state, session, target, url + QStringLiteral("-next"));
    }

    static void MoveOn(TFakeTransport& fake, State& state, const QString& session, const QString& target,
                       const QString& url) {
        const QString next = QStringLiteral("L%1").arg(++state.next);
        Event(fake, session, QStringLiteral("Page.frameNavigated"),
              {{QStringLiteral("frame"), QJsonObject{{QStringLiteral("id"), target},
                                                     {QStringLiteral("url"), url},
                                                     {QStringLiteral("loaderId"), next}}}});
        Load(fake, session, target, next);
    }

    static void Load(TFakeTransport& fake, const QString& session, const QString& target,
                     const QString& loader) {
        for (const char* name : {"DOMContentLoaded", "load"}) {
            if (name[0] == 'l')
                Event(fake, session, QStringLiteral("Network.loadingFinished"),
                      {{QStringLiteral("requestId"), loader}});
            Event(fake, session, QStringLiteral("Page.lifecycleEvent"),
                  {{QStringLiteral("frameId"), target},
                   {QStringLiteral("loaderId"), loader},
                   {QStringLiteral("name"), QString::fromLatin1(name)}});
        }
    }
};
