// The DevTools client: replies matched to their commands, errors and silence raised, events routed by
// session, and a browser that dies answering everything still pending.
#include "devtools_client.h"
#include "browser_error.h"

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
        m_path = m_dir.filePath(QStringLiteral("fake-browser"));
        QFile file(m_path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
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

// ---- Against the real browser ----

TEST(DevToolsClient, RepliesReachTheirOwnCommands) {
    auto client = TDevToolsClient::Launch();
    QJsonObject version, targets;
    QString versionError = QStringLiteral("none"), targetsError = QStringLiteral("none");
    client->Send(QStringLiteral("Target.getTargets"), {}, {}, nullptr,
                 [&](const QJsonObject& r, const QString& e) {
                     targets = r;
                     targetsError = e;
                 });
    client->Send(QStringLiteral("Browser.getVersion"), {}, {}, nullptr,
                 [&](const QJsonObject& r, const QString& e) {
                     version = r;
                     versionError = e;
                 });
    ASSERT_TRUE(client->PumpUntil([&] { return !version.isEmpty() && !targets.isEmpty(); }, 10000));
    EXPECT_TRUE(versionError.isEmpty());
    EXPECT_TRUE(targetsError.isEmpty());
    EXPECT_TRUE(version.contains(QStringLiteral("product")));
    EXPECT_TRUE(targets.contains(QStringLiteral("targetInfos")));
}

TEST(DevToolsClient, ErrorReplyIsRaisedWithTheCommandAndTheBrowsersMessage) {
    auto client = TDevToolsClient::Launch();
    try {
        client->Call(QStringLiteral("No.suchCommand"), {}, {}, 10000);
        ADD_FAILURE() << "no error";
    } catch (const TBrowserError& e) {
        const std::string text = e.what();
        EXPECT_NE(text.find("No.suchCommand"), std::string::npos) << text;
        EXPECT_NE(text.find("failed: "), std::string::npos) << text;
    }
    // The client stays usable.
    EXPECT_TRUE(client->Call(QStringLiteral("Browser.getVersion"), {}, {}, 10000)
                    .contains(QStringLiteral("product")));
}

TEST(DevToolsClient, UserAgentIsTheBrowsersOwnWithAWindow) {
    auto client = TDevToolsClient::Launch();
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

TEST(DevToolsClient, SharedClientIsOneWhileItLives) {
    auto a = TDevToolsClient::Shared();
    auto b = TDevToolsClient::Shared();
    EXPECT_EQ(a.get(), b.get());
    const qint64 pid = a->BrowserProcessId();
    a.reset();
    b.reset();
    auto c = TDevToolsClient::Shared();  // the last holder let go: a new browser
    EXPECT_NE(c->BrowserProcessId(), pid);
}

// ---- Against stand-ins ----

TEST(DevToolsClient, NoBrowserFoundSaysWhereItLooked) {
    const QByteArray old = qgetenv("BILDORO_CHROMIUM");
    qputenv("BILDORO_CHROMIUM", "no-such-browser-here");
    try {
        TDevToolsClient::Launch();
        ADD_FAILURE() << "launched";
    } catch (const TBrowserError& e) {
        EXPECT_NE(std::string(e.what()).find("BILDORO_CHROMIUM"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("no-such-browser-here"), std::string::npos) << e.what();
    }
    qputenv("BILDORO_CHROMIUM", old);
}

TEST(DevToolsClient, SilentBrowserMakesACallFailAfterItsBound) {
    FakeBrowser fake("exec cat <&3 >/dev/null");
    auto client = TDevToolsClient::Launch();
    try {
        client->Call(QStringLiteral("Page.captureScreenshot"), {}, QStringLiteral("S"), 300);
        ADD_FAILURE() << "answered";
    } catch (const TBrowserError& e) {
        EXPECT_NE(std::string(e.what()).find("did not answer Page.captureScreenshot"), std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(client->IsAlive());
}

TEST(DevToolsClient, EventsGoToTheirSessionOnly) {
    FakeBrowser fake(
        R"(printf '{"method":"Page.a","sessionId":"S1","params":{"n":1}}\0' >&4
printf '{"method":"Page.b","sessionId":"S3","params":{"n":3}}\0' >&4
printf '{"method":"Target.detachedFromTarget","params":{"sessionId":"S2"}}\0' >&4
printf '{"method":"Page.c","sessionId":"S4","params":{}}\0' >&4
printf '{"method":"Page.done","sessionId":"S1","params":{}}\0' >&4
exec cat <&3 >/dev/null)");
    auto client = TDevToolsClient::Launch();
    QStringList s1, s2;
    client->SetSessionHandler(QStringLiteral("S1"), nullptr, [&](const QString& m, const QJsonObject& p) {
        s1 << m + QString::number(p.value(QStringLiteral("n")).toInt());
    });
    client->SetSessionHandler(QStringLiteral("S2"), nullptr, [&](const QString& m, const QJsonObject& p) {
        s2 << m + QLatin1Char(' ') + p.value(QStringLiteral("sessionId")).toString();
    });
    bool gone = false;
    {
        QObject context;
        client->SetSessionHandler(QStringLiteral("S4"), &context,
                                  [&](const QString&, const QJsonObject&) { gone = true; });
    }
    ASSERT_TRUE(client->PumpUntil([&] { return s1.contains(QStringLiteral("Page.done0")); }, 10000));
    EXPECT_EQ(s1, (QStringList{QStringLiteral("Page.a1"), QStringLiteral("Page.done0")}));
    EXPECT_EQ(s2, QStringList{QStringLiteral("Target.detachedFromTarget S2")});
    EXPECT_FALSE(gone);  // its context was deleted
}

TEST(DevToolsClient, BrowserThatQuitsAtOnceFailsTheFirstCommandWithTheReason) {
    FakeBrowser fake("exit 3");
    auto client = TDevToolsClient::Launch();
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

TEST(DevToolsClient, DeathAnswersEveryPendingCommandAndIsReportedOnce) {
    FakeBrowser fake("head -c 1 <&3 >/dev/null; exit 0");
    auto client = TDevToolsClient::Launch();
    QStringList errors;
    int deaths = 0;
    QObject::connect(client.get(), &TDevToolsClient::Died, [&] { ++deaths; });
    for (const char* m : {"Page.one", "Page.two"})
        client->Send(QString::fromLatin1(m), {}, {}, nullptr,
                     [&errors, m](const QJsonObject&, const QString& e) {
                         errors << QString::fromLatin1(m) + ": " + e;
                     });
    ASSERT_TRUE(client->PumpUntil([&] { return !client->IsAlive(); }, 10000));
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Page.one: Chromium exited"))) << qPrintable(errors[0]);
    EXPECT_TRUE(errors[1].startsWith(QStringLiteral("Page.two: Chromium exited"))) << qPrintable(errors[1]);
    EXPECT_EQ(deaths, 1);
    EXPECT_THROW(client->Send(QStringLiteral("Page.three")), TBrowserError);
    EXPECT_THROW(client->Call(QStringLiteral("Page.four"), {}, {}, 1000), TBrowserError);
}

TEST(DevToolsClient, LastHolderLettingGoWhileTheDeathIsReportedIsSafe) {
    FakeBrowser fake("sleep 0.2; exit 0");
    auto client = TDevToolsClient::Launch();
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
