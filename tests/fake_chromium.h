// TFakeChromium: an in-memory Chromium for the engine's tests. It opens pages, loads each address as its path
// says and takes screenshots, all over TFakeTransport, so that what the engine decides on a page that breaks
// is seen in milliseconds. The paths (http://fake<path>):
//   /ok             loads
//   /early-load     its whole document comes before the browser's answer to the navigation
//   /moves-on       replaces its document by another one of its own once loaded
//   /stall          is parsed, but its load event never comes
//   /slow           loads 100 ms after its navigation (a page that waits on the network)
//   /reload-late    as /stall, and its own reload commits after the next navigation of its page
//   /never-shown    its body never comes: the page goes on showing the document before it
//   /never          the navigation is never answered
//   /crash /detach  the page crashes, or its session is detached, once its document is shown
//   /die /freeze    the browser exits, or stops answering anything
//   /stall-freeze   as /stall, and then the browser stops answering anything
//   /hang-capture   its screenshots never come
//   /freeze-capture the browser stops answering at its screenshot
//   /refresh        replaces its document at every screenshot, which is lost with it
//   /loop-after-load loads, then answers nothing (a script that never lets go) until its script is ended
#pragma once

#include "chromium_process.h"
#include "devtools_client.h"
#include "fake_transport.h"
#include "test_pages.h"

#include <QHash>
#include <QJsonArray>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <memory>

class TFakeChromium {
  public:
    // Browsers started so far (a new one after each death).
    int launches = 0;
    // Screenshots asked for, in all browsers.
    int screenshots = 0;

    // A browser for the hosts of a run: each launch is a fresh fake Chromium.
    std::shared_ptr<TBrowser> Browser() {
        return std::make_shared<TBrowser>([this] {
            ++launches;
            auto* fake = new TFakeTransport;  // owned by the client
            auto state = std::make_shared<State>();
            state->screenshots = &screenshots;
            fake->onCommand = [fake, state](const QJsonObject& command) { Answer(*fake, *state, command); };
            auto client = TDevToolsClient::Over(std::unique_ptr<TDevToolsTransport>(fake));
            client->AskUserAgent();
            return client;
        });
    }

  private:
    struct State {
        int next = 0;
        bool frozen = false;           // answers nothing any more
        QHash<QString, QString> kind;  // of the page each session shows last
        QSet<QString> stuck;           // sessions whose page's script does not let go
        int* screenshots = nullptr;
    };

    static QString Text(const QJsonObject& o, const char* key) {
        return o.value(QLatin1String(key)).toString();
    }

    static void Event(TFakeTransport& fake, const QString& session, const QString& method,
                      const QJsonObject& params) {
        QJsonObject message{{QStringLiteral("method"), method}, {QStringLiteral("params"), params}};
        if (!session.isEmpty()) message.insert(QStringLiteral("sessionId"), session);
        fake.Arrive(message);
    }

    static void Answer(TFakeTransport& fake, State& state, const QJsonObject& command) {
        if (state.frozen) return;
        const int id = command.value(QStringLiteral("id")).toInt();
        const QString method = Text(command, "method"), session = Text(command, "sessionId");
        if (method == QLatin1String("Runtime.terminateExecution")) state.stuck.remove(session);
        if (method == QLatin1String("Page.captureScreenshot")) ++*state.screenshots;
        if (state.stuck.contains(session)) return;
        const QJsonObject params = command.value(QStringLiteral("params")).toObject();
        const QString target = session.mid(1);  // session "S<target>"
        const QString kind = state.kind.value(session);
        if (method == QLatin1String("Browser.getVersion")) {
            fake.Reply(id, {{QStringLiteral("userAgent"), QStringLiteral("Mozilla/5.0 HeadlessChrome/1.0")}});
        } else if (method == QLatin1String("Target.createTarget")) {
            fake.Reply(id, {{QStringLiteral("targetId"), QStringLiteral("T%1").arg(++state.next)}});
        } else if (method == QLatin1String("Target.attachToTarget")) {
            fake.Reply(id, {{QStringLiteral("sessionId"), u'S' + Text(params, "targetId")}});
        } else if (method == QLatin1String("Target.closeTarget")) {
            fake.Reply(id, {{QStringLiteral("success"), true}});
            Event(fake, {}, QStringLiteral("Target.detachedFromTarget"),
                  {{QStringLiteral("sessionId"), u'S' + Text(params, "targetId")}});
        } else if (method == QLatin1String("Page.navigate")) {
            Navigate(fake, state, id, session, target, Text(params, "url"));
            if (kind == QLatin1String("/reload-late") && !state.frozen)
                MoveOn(fake, state, session, target, QStringLiteral("http://fake/reload-late"));
        } else if (method == QLatin1String("Page.captureScreenshot")) {
            if (kind == QLatin1String("/refresh"))
                return MoveOn(fake, state, session, target, QStringLiteral("http://fake/refresh"));
            state.frozen = kind == QLatin1String("/freeze-capture");
            if (kind != QLatin1String("/hang-capture") && !state.frozen)
                fake.Reply(id, {{QStringLiteral("data"), QString::fromLatin1(PngOf(Qt::white).toBase64())}});
        } else if (method == QLatin1String("Runtime.evaluate")) {
            const QString expression = Text(params, "expression");
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

    static void Navigate(TFakeTransport& fake, State& state, int id, const QString& session,
                         const QString& target, const QString& url) {
        const QString kind = QUrl(url).path();
        state.kind.insert(session, kind);
        if (kind == QLatin1String("/never")) return;
        if (kind == QLatin1String("/die")) return fake.End(QStringLiteral("Chromium exited"));
        if (kind == QLatin1String("/freeze")) {
            state.frozen = true;
            return;
        }
        const QString loader = QStringLiteral("L%1").arg(++state.next);
        const QJsonObject answer{{QStringLiteral("frameId"), target}, {QStringLiteral("loaderId"), loader}};
        const bool early = kind == QLatin1String("/early-load");
        if (!early) fake.Reply(id, answer);
        Event(fake, session, QStringLiteral("Network.requestWillBeSent"),
              {{QStringLiteral("requestId"), loader}, {QStringLiteral("type"), QStringLiteral("Document")}});
        if (kind == QLatin1String("/never-shown")) return;
        Shown(fake, session, target, url, loader);
        if (kind == QLatin1String("/crash"))
            return Event(fake, session, QStringLiteral("Inspector.targetCrashed"), {});
        if (kind == QLatin1String("/detach"))
            return Event(fake, {}, QStringLiteral("Target.detachedFromTarget"),
                         {{QStringLiteral("sessionId"), session}});
        if (kind == QLatin1String("/stall") || kind == QLatin1String("/reload-late") ||
            kind == QLatin1String("/stall-freeze")) {
            state.frozen = kind == QLatin1String("/stall-freeze");
            return Lifecycle(fake, session, target, loader, QStringLiteral("DOMContentLoaded"));
        }
        if (kind == QLatin1String("/slow")) {
            return QTimer::singleShot(
                100, &fake, [&fake, session, target, loader] { Load(fake, session, target, loader); });
        }
        Load(fake, session, target, loader);
        if (early) fake.Reply(id, answer);
        if (kind == QLatin1String("/moves-on"))
            MoveOn(fake, state, session, target, url + QStringLiteral("-next"));
        if (kind == QLatin1String("/loop-after-load")) state.stuck.insert(session);
    }

    static void MoveOn(TFakeTransport& fake, State& state, const QString& session, const QString& target,
                       const QString& url) {
        const QString next = QStringLiteral("L%1").arg(++state.next);
        Shown(fake, session, target, url, next);
        Load(fake, session, target, next);
    }

    static void Shown(TFakeTransport& fake, const QString& session, const QString& target, const QString& url,
                      const QString& loader) {
        Event(fake, session, QStringLiteral("Page.frameNavigated"),
              {{QStringLiteral("frame"), QJsonObject{{QStringLiteral("id"), target},
                                                     {QStringLiteral("url"), url},
                                                     {QStringLiteral("loaderId"), loader}}}});
    }

    static void Lifecycle(TFakeTransport& fake, const QString& session, const QString& target,
                          const QString& loader, const QString& name) {
        Event(fake, session, QStringLiteral("Page.lifecycleEvent"),
              {{QStringLiteral("frameId"), target},
               {QStringLiteral("loaderId"), loader},
               {QStringLiteral("name"), name}});
    }

    static void Load(TFakeTransport& fake, const QString& session, const QString& target,
                     const QString& loader) {
        Lifecycle(fake, session, target, loader, QStringLiteral("DOMContentLoaded"));
        Event(fake, session, QStringLiteral("Network.loadingFinished"),
              {{QStringLiteral("requestId"), loader}});
        Lifecycle(fake, session, target, loader, QStringLiteral("load"));
    }
};
