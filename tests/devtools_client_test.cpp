// The DevTools client: replies matched to their commands, errors and silence raised, events routed by
// session, and a browser that dies answering everything still pending.
#include "devtools_client.h"
#include "browser_error.h"
#include "chromium_process.h"
#include "fake_transport.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Runs the test with BILDORO_CHROMIUM naming a stand-in browser (a shell script on the pipe's fds 3 and 4).
class FakeBrowser {
  public:
    explicit FakeBrowser(const QByteArray& body) {
        m_path = WriteShellScript(m_dir.filePath(QStringLiteral("fake-browser")), body);
        m_old = qgetenv("BILDORO_CHROMIUM");
        qputenv("BILDORO_CHROMIUM", QFile::encodeName(m_path));
    }
    ~FakeBrowser() {
        if (m_old.isNull())
            qunsetenv("BILDORO_CHROMIUM");
        else
            qputenv("BILDORO_CHROMIUM", m_old);
    }

  private:
    QTemporaryDir m_dir;
    QString m_path;
    QByteArray m_old;
};

void RunEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// ---- Over an in-memory transport ----

struct FakeClient {
    TFakeTransport* fake = new TFakeTransport;  // owned by the client
    std::shared_ptr<TDevToolsClient> client =
        TDevToolsClient::Over(std::unique_ptr<TDevToolsTransport>(fake));
};

int IdOf(const QJsonObject& command) {
    return command.value(QStringLiteral("id")).toInt();
}

// Replies come back in another order than their commands; a reply nobody waits for leaves nothing behind.
TEST(DevToolsClient, RepliesReachTheirOwnCommands) {
    FakeClient f;
    QStringList got;
    auto record = [&got](const char* name) {
        return [&got, name](const QJsonObject& r, const QString& e) {
            got << QString::fromLatin1(name) + QLatin1Char('=') + r.value(QStringLiteral("n")).toString() + e;
        };
    };
    f.client->Send(QStringLiteral("Target.getTargets"), {}, {}, nullptr, record("targets"));
    f.client->Send(QStringLiteral("Browser.setDownloadBehavior"));
    {
        QObject gone;
        f.client->Send(QStringLiteral("Page.enable"), {}, {}, &gone, record("gone"));
    }
    f.client->Send(QStringLiteral("Browser.getVersion"), {}, {}, nullptr, record("version"));
    EXPECT_EQ(f.client->PendingReplyCount(), 3);
    for (int i = f.fake->commands.size() - 1; i >= 0; --i)
        f.fake->Reply(IdOf(f.fake->commands[i]), {{QStringLiteral("n"), QString::number(i)}});
    ASSERT_TRUE(f.client->PumpUntil([&] { return got.size() == 2; }, 1000));
    EXPECT_EQ(got, (QStringList{QStringLiteral("version=3"), QStringLiteral("targets=0")}));
    EXPECT_EQ(f.client->PendingReplyCount(), 0);  // the one whose context died was dropped too
}

// What a command's handler is told, waiting in the event loop for at most 10 s.
QString ErrorOf(TDevToolsClient& client, const QString& method, const QString& session = {},
                int timeoutMs = 0, const std::function<void()>& meanwhile = {}) {
    QString error = QStringLiteral("(no call)");
    QEventLoop loop;
    client.Send(
        method, {}, session, nullptr,
        [&](const QJsonObject&, const QString& e) {
            error = e;
            loop.quit();
        },
        timeoutMs);
    if (meanwhile) meanwhile();
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return error;
}

// A command ends with the browser's error, after its own bound, or when its page's session is detached; a
// reply after that is dropped, and the client stays usable.
TEST(DevToolsClient, CommandsEndWithAnErrorTheirBoundOrTheirSession) {
    FakeClient f;
    f.fake->onCommand = [&](const QJsonObject& command) {
        const QString method = command.value(QStringLiteral("method")).toString();
        if (method == QLatin1String("Browser.getVersion"))
            return f.fake->Reply(IdOf(command), {{QStringLiteral("product"), QStringLiteral("Fake/1")}});
        if (method == QLatin1String("No.suchCommand"))
            f.fake->Arrive(
                QStringLiteral(
                    R"({"id":%1,"error":{"code":-32601,"message":"'No.suchCommand' wasn't found"}})")
                    .arg(IdOf(command))
                    .toUtf8());
    };
    EXPECT_EQ(ErrorOf(*f.client, QStringLiteral("No.suchCommand")),
              QStringLiteral("'No.suchCommand' wasn't found"));
    EXPECT_EQ(ErrorOf(*f.client, QStringLiteral("Browser.getVersion")), QString());

    const QString silent =
        ErrorOf(*f.client, QStringLiteral("Page.captureScreenshot"), QStringLiteral("S"), 300);
    EXPECT_EQ(silent, QStringLiteral("Chromium did not answer Page.captureScreenshot within 300 ms"));
    EXPECT_TRUE(TDevToolsClient::IsNoAnswer(silent));
    EXPECT_FALSE(TDevToolsClient::IsNoAnswer(QStringLiteral("'No.suchCommand' wasn't found")));
    EXPECT_TRUE(f.client->IsAlive());
    EXPECT_EQ(f.client->PendingReplyCount(), 0);
    f.fake->Reply(IdOf(f.fake->commands.last()), {});  // too late: dropped

    // Another page's command (session T) is not touched by S's end.
    f.client->Send(QStringLiteral("Page.other"), {}, QStringLiteral("T"), nullptr, [](auto&, auto&) {});
    const QString closed =
        ErrorOf(*f.client, QStringLiteral("Page.captureScreenshot"), QStringLiteral("S"), 0, [&] {
            f.fake->Arrive(QJsonObject{
                {QStringLiteral("method"), QStringLiteral("Target.detachedFromTarget")},
                {QStringLiteral("params"), QJsonObject{{QStringLiteral("sessionId"), QStringLiteral("S")}}}});
        });
    EXPECT_EQ(closed, QStringLiteral("The page was closed during Page.captureScreenshot"));
    EXPECT_EQ(f.client->PendingReplyCount(), 1);
}

TEST(DevToolsClient, EventsGoToTheirSessionOnly) {
    FakeClient f;
    for (const char* message : {R"({"method":"Page.a","sessionId":"S1","params":{"n":1}})",
                                R"({"method":"Page.b","sessionId":"S3","params":{"n":3}})",
                                R"({"method":"Target.detachedFromTarget","params":{"sessionId":"S2"}})",
                                R"({"method":"Page.c","sessionId":"S4","params":{}})", "not a message",
                                R"({"method":"Page.done","sessionId":"S1","params":{}})"})
        f.fake->Arrive(QByteArray(message));
    QStringList s1, s2;
    f.client->SetSessionHandler(QStringLiteral("S1"), nullptr, [&](const QString& m, const QJsonObject& p) {
        s1 << m + QString::number(p.value(QStringLiteral("n")).toInt());
    });
    f.client->SetSessionHandler(QStringLiteral("S2"), nullptr, [&](const QString& m, const QJsonObject& p) {
        s2 << m + QLatin1Char(' ') + p.value(QStringLiteral("sessionId")).toString();
    });
    bool gone = false;
    {
        QObject context;
        f.client->SetSessionHandler(QStringLiteral("S4"), &context,
                                    [&](const QString&, const QJsonObject&) { gone = true; });
    }
    ASSERT_TRUE(f.client->PumpUntil([&] { return s1.contains(QStringLiteral("Page.done0")); }, 1000));
    EXPECT_EQ(s1, (QStringList{QStringLiteral("Page.a1"), QStringLiteral("Page.done0")}));
    EXPECT_EQ(s2, QStringList{QStringLiteral("Target.detachedFromTarget S2")});
    EXPECT_FALSE(gone);  // its context was deleted
}

TEST(DevToolsClient, DeathAnswersEveryPendingCommandAndIsReportedOnce) {
    FakeClient f;
    f.fake->onCommand = [&](const QJsonObject&) { f.fake->End(QStringLiteral("Chromium exited")); };
    QStringList errors;
    int deaths = 0;
    QObject::connect(f.client.get(), &TDevToolsClient::Died, [&] { ++deaths; });
    for (const char* m : {"Page.one", "Page.two"})
        f.client->Send(QString::fromLatin1(m), {}, {}, nullptr,
                       [&errors, m](const QJsonObject&, const QString& e) {
                           errors << QString::fromLatin1(m) + ": " + e;
                       });
    ASSERT_TRUE(f.client->PumpUntil([&] { return !f.client->IsAlive(); }, 1000));
    EXPECT_EQ(errors, (QStringList{QStringLiteral("Page.one: Chromium exited"),
                                   QStringLiteral("Page.two: Chromium exited")}));
    EXPECT_EQ(deaths, 1);
    EXPECT_EQ(f.client->DeathReason(), QStringLiteral("Chromium exited"));
    EXPECT_THROW(f.client->Send(QStringLiteral("Page.three")), TBrowserError);
    EXPECT_THROW(f.client->Send(
                     QStringLiteral("Page.four"), {}, {}, nullptr, [](auto&, auto&) {}, 1000),
                 TBrowserError);
}

// ---- Against the real browser ----

TEST(DevToolsClient, UserAgentIsTheBrowsersOwnWithAWindow) {
    auto client = LaunchChromium();
    QString agent;
    bool known = false;
    client->WhenUserAgentKnown(nullptr, [&](const QString& ua) {
        agent = ua;
        known = true;
    });
    ASSERT_TRUE(client->PumpUntil([&] { return known; }, 10000));
    EXPECT_TRUE(agent.startsWith(QStringLiteral("Mozilla/5.0"))) << qPrintable(agent);
    EXPECT_TRUE(agent.contains(QStringLiteral(" Chrome/"))) << qPrintable(agent);
    EXPECT_FALSE(agent.contains(QStringLiteral("Headless"))) << qPrintable(agent);
}

// The pages of a run share one browser while it runs; one asked for after its end is a new one.
TEST(DevToolsClient, BrowserIsOneWhileItRuns) {
    TBrowser browser;
    EXPECT_EQ(browser.Running(), nullptr);  // started on demand only
    auto a = browser.Client();
    EXPECT_EQ(browser.Client().get(), a.get());
    const qint64 pid = a->BrowserProcessId();
    a->Terminate(QStringLiteral("ended by the test"));
    EXPECT_EQ(browser.Running(), nullptr);
    EXPECT_NE(browser.Client()->BrowserProcessId(), pid);
}

// ---- Launching, against stand-in programs on the pipe ----

TEST(DevToolsClient, NoBrowserFoundSaysWhereItLooked) {
    const QByteArray old = qgetenv("BILDORO_CHROMIUM");
    qputenv("BILDORO_CHROMIUM", "no-such-browser-here");
    try {
        LaunchChromium();
        ADD_FAILURE() << "launched";
    } catch (const TBrowserError& e) {
        EXPECT_NE(std::string(e.what()).find("BILDORO_CHROMIUM"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("no-such-browser-here"), std::string::npos) << e.what();
    }
    qputenv("BILDORO_CHROMIUM", old);
}

TEST(DevToolsClient, BrowserThatQuitsAtOnceFailsTheFirstCommandWithTheReason) {
    FakeBrowser fake("exit 3");
    auto client = LaunchChromium();
    client->PumpUntil([&] { return !client->IsAlive(); }, 10000);
    EXPECT_FALSE(client->IsAlive());
    try {
        client->Send(QStringLiteral("Target.createTarget"));
        ADD_FAILURE() << "sent";
    } catch (const TBrowserError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot send Target.createTarget: Chromium"), std::string::npos)
            << e.what();
    }
}

TEST(DevToolsClient, LastHolderLettingGoWhileTheDeathIsReportedIsSafe) {
    FakeBrowser fake("sleep 0.2; exit 0");
    auto client = LaunchChromium();
    bool destroyed = false;
    QObject::connect(client.get(), &QObject::destroyed, [&] { destroyed = true; });
    QObject::connect(client.get(), &TDevToolsClient::Died, [&] { client.reset(); });
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    QObject::connect(client.get(), &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_FALSE(client);
    EXPECT_TRUE(destroyed);
    RunEventLoop(10);
}

}  // namespace
