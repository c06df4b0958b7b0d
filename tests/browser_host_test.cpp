// The browser host against the real Chromium and a local HTTP server: loading, readiness, events, capture,
// a killed browser, and nothing left behind afterwards.
#include "browser_host.h"
#include "browser_error.h"
#include "chromium_process.h"
#include "devtools_client.h"
#include "local_http_server.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <set>
#include <tuple>

namespace {

// Every browser the tests saw: after the suite none of its processes and none of its profile folders remain.
struct SeenBrowser {
    qint64 pid;
    qint64 guardian;
    QString profile;
    bool operator<(const SeenBrowser& o) const { return pid < o.pid; }
};
std::set<SeenBrowser>& Seen() {
    static std::set<SeenBrowser> seen;
    return seen;
}

bool ProcessGroupGone(qint64 pgid) {
    return kill(-static_cast<pid_t>(pgid), 0) == -1 && errno == ESRCH;
}

// The browser the suite's hosts share (a test's own host may take another).
std::shared_ptr<TBrowser>& SuiteBrowser() {
    static auto browser = std::make_shared<TBrowser>();
    return browser;
}

void Remember(const TBrowserHost& host) {
    if (host.BrowserProcessId() == 0) return;
    auto client = SuiteBrowser()->Running();  // the running one: a host holds it
    if (!client) return;
    Seen().insert({client->BrowserProcessId(), client->GuardianProcessId(), client->ProfileDir()});
}

void ExpectNothingLeft(const SeenBrowser& b) {
    EXPECT_TRUE(ProcessGroupGone(b.pid)) << "processes of Chromium " << b.pid << " are still alive";
    EXPECT_TRUE(kill(static_cast<pid_t>(b.guardian), 0) == -1 && errno == ESRCH)
        << "guardian " << b.guardian << " is still there";
    EXPECT_FALSE(QFileInfo::exists(b.profile)) << qPrintable(b.profile) << " was left behind";
}

class LeftoverCheck : public ::testing::Environment {
  public:
    void TearDown() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(Seen().empty());
        for (const SeenBrowser& b : Seen()) ExpectNothingLeft(b);
    }
};
[[maybe_unused]] ::testing::Environment* const g_leftoverCheck =
    ::testing::AddGlobalTestEnvironment(new LeftoverCheck);

void Sleep(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Sleeps in the event loop until the host is complete or failed, at most ms. True when complete.
bool WaitComplete(TBrowserHost& host, int ms = 15000) {
    auto settled = [&] { return !host.FailureText().isEmpty() || host.ReadyState() == 4; };
    if (!settled()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&host, &TBrowserHost::ReadyStateChanged, &loop, [&] {
            if (settled()) loop.quit();
        });
        timer.start(ms);
        loop.exec();
    }
    Remember(host);
    return host.FailureText().isEmpty() && host.ReadyState() == 4;
}

// Sleeps in the event loop until the host reports a failure, at most ms.
bool WaitFailure(TBrowserHost& host, int ms = 15000) {
    if (host.FailureText().isEmpty()) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        QObject::connect(&host, &TBrowserHost::ReadyStateChanged, &loop, [&] {
            if (!host.FailureText().isEmpty()) loop.quit();
        });
        loop.exec();
    }
    return !host.FailureText().isEmpty();
}

bool Near(QRgb pixel, int r, int g, int b, int tolerance = 10) {
    return std::abs(qRed(pixel) - r) <= tolerance && std::abs(qGreen(pixel) - g) <= tolerance &&
           std::abs(qBlue(pixel) - b) <= tolerance;
}

QByteArray Page(const QByteArray& body, const QByteArray& head = {}) {
    return "<!DOCTYPE html><html><head>" + head + "</head>" + body + "</html>";
}

class BrowserHostTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server = new LocalHttpServer;
        server->AddRoute("/red", Page("<body style='margin:0;background:#ff0000'></body>"));
        server->AddRoute("/blue", Page("<body style='margin:0;background:#0000ff'></body>"));
        server->AddRoute("/tall",
                         Page("<body style='margin:0'><div style='height:2000px;background:#ff0000'></div>"
                              "<div style='height:8000px;background:#0000ff'></div></body>"));
        server->AddRoute("/small",
                         Page("<body style='margin:0;background:#00ff00'>"
                              "<div style='width:100px;height:100px;background:#0000ff'></div></body>"));
        server->AddRoute("/halves", Page("<body style='margin:0'>"
                                         "<div style='position:fixed;left:0;top:0;width:50%;height:100%;"
                                         "background:#ff0000'></div>"
                                         "<div style='position:fixed;right:0;top:0;width:50%;height:100%;"
                                         "background:#0000ff'></div></body>"));
        server->AddRoute("/frames/top", Page("<body><iframe src='/frames/f1'></iframe></body>"));
        server->AddRoute("/frames/f1", Page("<body>one<iframe src='/frames/f2'></iframe></body>"));
        server->AddRoute("/frames/f2", Page("<body>two</body>"), "text/html", 300);
        server->AddRoute("/cross",
                         Page(QStringLiteral("<body><iframe src='http://localhost:%1/frames/f2'></iframe>"
                                             "</body>")
                                  .arg(server->Port())
                                  .toUtf8()));
        server->AddNeverAnswering("/never");
        server->AddRoute("/never-image", Page("<body><img src='/never'></body>"));
        server->AddRoute("/slow", Page("<body style='background:#0000ff'></body>"), "text/html", 700);
        server->AddRoute("/missing", Page("<body>gone</body>"), "text/html", 0, 404);
        server->AddRoute(
            "/dialogs", Page("<body style='background:#ff0000'><script>alert('a'); confirm('c'); prompt('p');"
                             "window.onload = function () { alert('loaded'); };</script></body>"));
        server->AddRoute("/script-redirect", Page("<body><script>location.replace('/blue')</script></body>"));
        server->AddRoute("/worker-page", Page("<body><script>new Worker('/worker.js')</script></body>"));
        server->AddRoute("/worker.js", "fetch('/worker-ping');", "text/javascript");
        server->AddRoute("/worker-ping", "pong", "text/plain");
        host = new TBrowserHost(SuiteBrowser());
    }
    static void TearDownTestSuite() {
        delete host;
        host = nullptr;
        SuiteBrowser() =
            std::make_shared<TBrowser>();  // the suite's browser ends here (a new one is not started)
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        host->SetWidth(1024);
        host->SetHeight(768);
        ASSERT_TRUE(dir.isValid());
    }

    // Loads path at width x height and captures it at that size; the decoded picture, or a null one.
    QImage LoadAndCapture(const QString& path, int width, int height) {
        host->SetWidth(width);
        host->SetHeight(height);
        host->Navigate(server->Url(path));
        if (!WaitComplete(*host)) return {};
        const QString file = dir.filePath(QStringLiteral("shot.jpg"));
        if (!host->CaptureToJpeg(file, height, width, height, width)) return {};
        return QImage(file);
    }

    static inline LocalHttpServer* server = nullptr;
    static inline TBrowserHost* host = nullptr;
    QTemporaryDir dir;
};

// ---- Capture ----

TEST_F(BrowserHostTest, FullViewportRedPageCapturesRedAtViewSize) {
    const QImage shot = LoadAndCapture("/red", 1024, 768);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(1024, 768));
    for (QPoint p : {QPoint(0, 0), QPoint(1023, 0), QPoint(0, 767), QPoint(1023, 767), QPoint(512, 384)})
        EXPECT_TRUE(Near(shot.pixel(p), 255, 0, 0))
            << p.x() << "," << p.y() << " " << std::hex << shot.pixel(p);
    QFile file(dir.filePath(QStringLiteral("shot.jpg")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    EXPECT_TRUE(data.contains("\xFF\xC0")) << "not a baseline JPEG";  // SOF0
    EXPECT_FALSE(data.contains("\xFF\xC2"));                          // no progressive frame
}

class CaptureSizeTest : public BrowserHostTest, public ::testing::WithParamInterface<QSize> {};

TEST_P(CaptureSizeTest, ComesOutExact) {
    const QSize size = GetParam();
    const QImage shot = LoadAndCapture("/blue", size.width(), size.height());
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), size);
    EXPECT_TRUE(Near(shot.pixel(size.width() - 1, size.height() - 1), 0, 0, 255));
}

INSTANTIATE_TEST_SUITE_P(Resolutions, CaptureSizeTest,
                         ::testing::Values(QSize(1280, 1024), QSize(1280, 990), QSize(1024, 768),
                                           QSize(800, 600)));

TEST_F(BrowserHostTest, SizeChangedAfterLoadAppliesToTheNextCapture) {
    ASSERT_FALSE(LoadAndCapture("/red", 1024, 768).isNull());
    host->SetWidth(800);
    host->SetHeight(600);
    const QString file = dir.filePath(QStringLiteral("resized.jpg"));
    ASSERT_TRUE(host->CaptureToJpeg(file, 600, 800, 600, 800));
    const QImage shot(file);
    EXPECT_EQ(shot.size(), QSize(800, 600));
    EXPECT_TRUE(Near(shot.pixel(799, 599), 255, 0, 0));
}

TEST_F(BrowserHostTest, TallPageGivesOnlyTheViewport) {
    const QImage shot = LoadAndCapture("/tall", 1024, 768);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(1024, 768));
    // The red top part fills the view down to its last row; the blue below is not in view.
    EXPECT_TRUE(Near(shot.pixel(0, 767), 255, 0, 0));
    EXPECT_TRUE(Near(shot.pixel(500, 767), 255, 0, 0));
    // The overflowing page has a vertical scroll bar at the right edge, as a window would show.
    EXPECT_FALSE(Near(shot.pixel(1018, 400), 255, 0, 0, 40));
}

TEST_F(BrowserHostTest, SmallPageShowsThePageBackgroundAroundIt) {
    const QImage shot = LoadAndCapture("/small", 1024, 768);
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(Near(shot.pixel(50, 50), 0, 0, 255));
    EXPECT_TRUE(Near(shot.pixel(1000, 700), 0, 255, 0));
    EXPECT_TRUE(Near(shot.pixel(300, 50), 0, 255, 0));
}

TEST_F(BrowserHostTest, DifferentTargetSizeIsStretchedWithoutSmoothing) {
    host->Navigate(server->Url("/halves"));
    ASSERT_TRUE(WaitComplete(*host));
    const QString file = dir.filePath(QStringLiteral("half.jpg"));
    ASSERT_TRUE(host->CaptureToJpeg(file, 768, 1024, 240, 320));
    const QImage shot(file);
    ASSERT_EQ(shot.size(), QSize(320, 240));
    EXPECT_TRUE(Near(shot.pixel(20, 120), 255, 0, 0));
    EXPECT_TRUE(Near(shot.pixel(300, 120), 0, 0, 255));
}

TEST_F(BrowserHostTest, MissingFolderGivesFalseAndNoFile) {
    host->Navigate(server->Url("/red"));
    ASSERT_TRUE(WaitComplete(*host));
    const QString file = dir.filePath(QStringLiteral("no-such-folder/shot.jpg"));
    EXPECT_FALSE(host->CaptureToJpeg(file, 768, 1024, 768, 1024));
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("no-such-folder"))));
    EXPECT_TRUE(host->LastCaptureError().contains(file)) << qPrintable(host->LastCaptureError());
    ASSERT_TRUE(host->CaptureToJpeg(dir.filePath(QStringLiteral("ok.jpg")), 768, 1024, 768, 1024));
    EXPECT_TRUE(host->LastCaptureError().isEmpty());
}

TEST_F(BrowserHostTest, ExistingFileIsReplaced) {
    const QString file = dir.filePath(QStringLiteral("old.jpg"));
    {
        QFile old(file);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(500000, 'x'));  // longer than the new picture: a leftover tail would show
    }
    host->Navigate(server->Url("/red"));
    ASSERT_TRUE(WaitComplete(*host));
    ASSERT_TRUE(host->CaptureToJpeg(file, 768, 1024, 768, 1024));
    const QImage shot(file);
    EXPECT_EQ(shot.size(), QSize(1024, 768));
    EXPECT_LT(QFileInfo(file).size(), 500000);
}

TEST_F(BrowserHostTest, SizesThatAreNotPositiveGiveFalse) {
    host->Navigate(server->Url("/red"));
    ASSERT_TRUE(WaitComplete(*host));
    const QString file = dir.filePath(QStringLiteral("zero.jpg"));
    for (auto [sh, sw, dh, dw] : {std::tuple{0, 1024, 768, 1024}, std::tuple{768, -1, 768, 1024},
                                  std::tuple{768, 1024, 0, 1024}, std::tuple{768, 1024, 768, 0}}) {
        EXPECT_FALSE(host->CaptureToJpeg(file, sh, sw, dh, dw));
        EXPECT_FALSE(QFileInfo::exists(file));
    }
}

TEST_F(BrowserHostTest, HostWithoutPageCapturesNothing) {
    TBrowserHost fresh(SuiteBrowser());
    const QString file = dir.filePath(QStringLiteral("none.jpg"));
    EXPECT_EQ(fresh.ReadyState(), 0);
    EXPECT_FALSE(fresh.CaptureToJpeg(file, 768, 1024, 768, 1024));
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(fresh.LastCaptureError().isEmpty());
    EXPECT_EQ(fresh.BrowserProcessId(), 0);  // nothing was started for it
}

// ---- Loading, readiness and events ----

TEST_F(BrowserHostTest, NestedFramesRaiseEventsForEveryDocument) {
    QStringList before, complete;
    auto c1 = QObject::connect(host, &TBrowserHost::BeforeNavigate2, [&](const QString& u) { before << u; });
    auto c2 =
        QObject::connect(host, &TBrowserHost::DocumentComplete, [&](const QString& u) { complete << u; });
    host->Navigate(server->Url("/frames/top"));
    const bool done = WaitComplete(*host);
    QObject::disconnect(c1);
    QObject::disconnect(c2);
    ASSERT_TRUE(done);
    for (const char* path : {"/frames/top", "/frames/f1", "/frames/f2"}) {
        EXPECT_TRUE(before.contains(server->Url(path))) << path << ": " << qPrintable(before.join(' '));
        EXPECT_TRUE(complete.contains(server->Url(path))) << path << ": " << qPrintable(complete.join(' '));
    }
    EXPECT_EQ(complete.value(complete.size() - 1),
              server->Url("/frames/top"));  // the top document comes last
}

TEST_F(BrowserHostTest, FrameOfAnotherSiteCompletesAndCarriesTheToken) {
    server->ClearRequests();
    QStringList complete;
    auto c =
        QObject::connect(host, &TBrowserHost::DocumentComplete, [&](const QString& u) { complete << u; });
    host->Navigate(server->Url("/cross"));
    const bool done = WaitComplete(*host);
    QObject::disconnect(c);
    ASSERT_TRUE(done);
    const QString frameUrl = QStringLiteral("http://localhost:%1/frames/f2").arg(server->Port());
    EXPECT_TRUE(complete.contains(frameUrl)) << qPrintable(complete.join(' '));
    const auto requests = server->RequestsFor("/frames/f2");
    ASSERT_FALSE(requests.isEmpty());
    EXPECT_TRUE(requests.last().Header("user-agent").endsWith(" Morzilla"));
}

TEST_F(BrowserHostTest, ServerSeesTheBrowsersOwnAgentWithTheToken) {
    server->ClearRequests();
    host->Navigate(server->Url("/red"));
    ASSERT_TRUE(WaitComplete(*host));
    const auto requests = server->RequestsFor("/red");
    ASSERT_EQ(requests.size(), 1);
    const QByteArray agent = requests.first().Header("user-agent");
    EXPECT_TRUE(agent.startsWith("Mozilla/5.0 ")) << agent.constData();
    EXPECT_TRUE(agent.contains(" Chrome/")) << agent.constData();
    EXPECT_FALSE(agent.contains("HeadlessChrome")) << agent.constData();
    EXPECT_TRUE(agent.endsWith(" Morzilla")) << agent.constData();
}

TEST_F(BrowserHostTest, RequestsOfAWorkerCarryTheTokenToo) {
    server->ClearRequests();
    host->Navigate(server->Url("/worker-page"));
    ASSERT_TRUE(WaitComplete(*host));
    for (int i = 0; i < 50 && server->RequestsFor("/worker-ping").isEmpty(); ++i) Sleep(100);
    const auto requests = server->RequestsFor("/worker-ping");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests.first().Header("user-agent").endsWith(" Morzilla"))
        << requests.first().Header("user-agent").constData();
}

TEST_F(BrowserHostTest, ReadsBelowCompleteFromTheRequestUntilTheDocumentHasLoaded) {
    host->Navigate(server->Url("/red"));
    ASSERT_TRUE(WaitComplete(*host));
    host->Navigate(server->Url("/slow"));
    EXPECT_LT(host->ReadyState(), 4);  // straight after the request, before any event
    Sleep(300);
    EXPECT_LT(host->ReadyState(), 4);
    ASSERT_TRUE(WaitComplete(*host));
    EXPECT_EQ(host->LastHttpStatus(), 200);
}

TEST_F(BrowserHostTest, EarlierPageNeverCompletesALaterNavigation) {
    host->Navigate(server->Url("/red"));
    host->Navigate(server->Url("/never"));  // the red page's events are still on their way
    EXPECT_FALSE(WaitComplete(*host, 1500));
    EXPECT_LT(host->ReadyState(), 4);
    host->StopLoading();
    host->Navigate(server->Url("/blue"));
    EXPECT_TRUE(WaitComplete(*host));
}

TEST_F(BrowserHostTest, ResourceThatNeverAnswersKeepsTheStateBelowComplete) {
    host->Navigate(server->Url("/never-image"));
    EXPECT_FALSE(WaitComplete(*host, 1500));
    EXPECT_LT(host->ReadyState(), 4);
    // The run's bound then stops the page and captures it as far as it got.
    host->StopLoading();
    const QString file = dir.filePath(QStringLiteral("partial.jpg"));
    EXPECT_TRUE(host->CaptureToJpeg(file, 768, 1024, 768, 1024));
    host->Navigate(server->Url("/red"));
    EXPECT_TRUE(WaitComplete(*host));
}

TEST_F(BrowserHostTest, UnreachableAddressEndsCompleteOnChromiumsErrorPage) {
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    host->Navigate(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort));
    ASSERT_TRUE(WaitComplete(*host));
    EXPECT_EQ(host->LastNavigationError(), QStringLiteral("net::ERR_CONNECTION_REFUSED"));
    const QString file = dir.filePath(QStringLiteral("error.jpg"));
    EXPECT_TRUE(host->CaptureToJpeg(file, 768, 1024, 768, 1024));
}

TEST_F(BrowserHostTest, HttpErrorStatusIsReportedAndThePageCompletes) {
    host->Navigate(server->Url("/missing"));
    ASSERT_TRUE(WaitComplete(*host));
    EXPECT_EQ(host->LastHttpStatus(), 404);
    EXPECT_TRUE(host->LastNavigationError().isEmpty());
}

TEST_F(BrowserHostTest, UrlChromiumCannotParseFailsTheNavigation) {
    host->Navigate(QStringLiteral("not a url at all"));
    WaitComplete(*host, 5000);
    if (host->FailureText().isEmpty()) {
        // Chromium may also show its error page for it; then the state must still end complete.
        EXPECT_EQ(host->ReadyState(), 4);
    } else {
        EXPECT_THROW(host->ReadyState(), TBrowserError);
        EXPECT_TRUE(host->FailureText().contains(QStringLiteral("not a url at all")));
    }
    host->Navigate(server->Url("/red"));
    EXPECT_TRUE(WaitComplete(*host));
}

TEST_F(BrowserHostTest, JavaScriptDialogsAreDismissed) {
    const QImage shot = LoadAndCapture("/dialogs", 1024, 768);
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(Near(shot.pixel(512, 384), 255, 0, 0));
}

TEST_F(BrowserHostTest, ScriptRedirectDuringLoadCompletesOnTheNewDocument) {
    QStringList complete;
    auto c =
        QObject::connect(host, &TBrowserHost::DocumentComplete, [&](const QString& u) { complete << u; });
    const QImage shot = LoadAndCapture("/script-redirect", 1024, 768);
    QObject::disconnect(c);
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(Near(shot.pixel(512, 384), 0, 0, 255));
    EXPECT_EQ(complete.value(complete.size() - 1), server->Url("/blue"));
}

TEST_F(BrowserHostTest, SeveralHostsShareOneBrowserWithAPageEach) {
    TBrowserHost other(SuiteBrowser());
    host->Navigate(server->Url("/red"));
    other.Navigate(server->Url("/slow"));
    ASSERT_TRUE(WaitComplete(*host));
    ASSERT_TRUE(WaitComplete(other));
    EXPECT_EQ(other.BrowserProcessId(), host->BrowserProcessId());
    const QString a = dir.filePath(QStringLiteral("a.jpg")), b = dir.filePath(QStringLiteral("b.jpg"));
    ASSERT_TRUE(host->CaptureToJpeg(a, 768, 1024, 768, 1024));
    ASSERT_TRUE(other.CaptureToJpeg(b, 768, 1024, 768, 1024));
    EXPECT_TRUE(Near(QImage(a).pixel(512, 384), 255, 0, 0));
    EXPECT_TRUE(Near(QImage(b).pixel(512, 384), 0, 0, 255));
}

// ---- A browser that dies ----

TEST_F(BrowserHostTest, KilledBrowserFailsTheLoadAndTheNextLoadStartsANewOne) {
    host->Navigate(server->Url("/red"));
    ASSERT_TRUE(WaitComplete(*host));
    const qint64 oldPid = host->BrowserProcessId();
    host->Navigate(server->Url("/never"));
    Sleep(200);
    ASSERT_EQ(kill(static_cast<pid_t>(oldPid), SIGKILL), 0);
    ASSERT_TRUE(WaitFailure(*host));
    EXPECT_THROW(host->ReadyState(), TBrowserError);
    EXPECT_TRUE(host->FailureText().contains(server->Url("/never"))) << qPrintable(host->FailureText());
    EXPECT_FALSE(host->CaptureToJpeg(dir.filePath(QStringLiteral("dead.jpg")), 768, 1024, 768, 1024));

    const QImage shot = LoadAndCapture("/blue", 1024, 768);
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(Near(shot.pixel(512, 384), 0, 0, 255));
    EXPECT_NE(host->BrowserProcessId(), oldPid);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const SeenBrowser& b : Seen())
        if (b.pid == oldPid) ExpectNothingLeft(b);
}

TEST_F(BrowserHostTest, CrashedPageFailsTheLoadAndTheNextLoadWorks) {
    host->Navigate(QStringLiteral("chrome://crash"));
    if (!WaitFailure(*host, 5000)) GTEST_SKIP() << "this Chromium does not crash a page for chrome://crash";
    EXPECT_THROW(host->ReadyState(), TBrowserError);
    const QImage shot = LoadAndCapture("/red", 1024, 768);
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(Near(shot.pixel(512, 384), 255, 0, 0));
}

TEST_F(BrowserHostTest, LastHostToGoEndsTheBrowserAndRemovesItsProfile) {
    auto own = std::make_unique<TBrowserHost>(SuiteBrowser());
    own->Navigate(server->Url("/red"));
    ASSERT_TRUE(WaitComplete(*own));
    auto client = SuiteBrowser()->Running();
    ASSERT_TRUE(client);
    const SeenBrowser shared{client->BrowserProcessId(), client->GuardianProcessId(), client->ProfileDir()};
    client.reset();
    own.reset();
    // The suite's host still holds the browser.
    EXPECT_FALSE(ProcessGroupGone(shared.pid));

    // A browser of its own ends with its last holder, leaving nothing.
    auto single = LaunchChromium();
    const SeenBrowser alone{single->BrowserProcessId(), single->GuardianProcessId(), single->ProfileDir()};
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(alone.profile).constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);  // private to the user
    single.reset();
    ExpectNothingLeft(alone);
}

}  // namespace
