// The run engine's decisions on pages that break, over an in-memory Chromium: a page that never answers, a
// crash, a detached session, a browser that dies or stops answering, a capture that never comes. Each row
// ends with its stage and whether it may pass another time, the rows after it are untouched, and a browser is
// started again only when the old one is gone.
#include "run_engine.h"
#include "browser_host.h"
#include "fake_chromium.h"
#include "page_memory.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <map>

namespace {

class Rows : public TRunClient {
  public:
    explicit Rows(QStringList urls) : m_urls(std::move(urls)) {}
    QString BeginRow(int row) override { return m_urls.at(row); }
    RowSettings SettingsOf(int row) override {
        const QString folder = m_dir.path();
        return {[folder] { return folder; },
                [row] { return QStringLiteral("r%1").arg(row); },
                [] { return QStringLiteral("80"); },
                {},
                {}};
    }
    void EndRow(int row, const QString&, const RowResult& result) override { ended.emplace(row, result); }

    std::multimap<int, RowResult> ended;

  private:
    QStringList m_urls;
    QTemporaryDir m_dir;
};

// Rows that tell when a page begins loading (its settings are read when it is sent there) and ends.
class CountingRows : public Rows {
  public:
    using Rows::Rows;
    std::function<void(int row, int step)> onLoad;
    std::function<bool()> stopping = [] { return false; };
    RowSettings SettingsOf(int row) override {
        onLoad(row, +1);
        return Rows::SettingsOf(row);
    }
    void EndRow(int row, const QString& url, const RowResult& result) override {
        onLoad(row, -1);
        Rows::EndRow(row, url, result);
    }
    bool Stopping() const override { return stopping(); }
};

// `count` small pages over one fake browser.
struct Slots {
    TFakeChromium chromium;
    std::vector<std::unique_ptr<TBrowserHost>> hosts;
    std::vector<TBrowserHost*> slots;
    explicit Slots(int count) {
        const auto browser = chromium.Browser();
        for (int i = 0; i < count; ++i) {
            hosts.push_back(std::make_unique<TBrowserHost>(browser));
            hosts.back()->SetWidth(80);
            hosts.back()->SetHeight(60);
            slots.push_back(hosts.back().get());
        }
    }
};

struct Expected {
    bool ok = true;
    RowStage stage = RowStage::Load;
    const char* reason = "";  // a part of the reason
    bool passing = false;
    bool timedOut = false;  // captured as far as it loaded, after the bound
};

// Each case's page (http://fake<path>, see fake_chromium.h) is the second of four rows: after a document that
// loads before the browser's answer, and before two plain ones, which must come out whole, each showing its
// own document.
TEST(RunEngine, BrokenPagesFailTheirRowOnlyAndTheRunGoesOn) {
    using enum RowStage;
    const struct {
        const char* path;
        int slots;
        int launches;     // browsers started
        int screenshots;  // asked for, 4 when each row's picture is taken at the first try
        Expected row;
    } cases[] = {
        {"/stall", 1, 1, 4, {true, Load, "", false, true}},  // captured after the bound
        {"/moves-on", 1, 1, 4, {}},
        {"/reload-late", 1, 1, 4, {true, Load, "", false, true}},
        {"/never-shown", 1, 1, 3, {false, Load, "No answer from", true, true}},  // not the document before
        {"/never", 1, 1, 3, {false, Load, "No answer from", true}},
        {"/never", 2, 1, 3, {false, Load, "No answer from", true}},  // beside another page
        {"/crash", 1, 1, 3, {false, Load, "The page crashed in Chromium", true}},
        {"/detach", 1, 1, 3, {false, Load, "The page was closed by Chromium", true}},
        {"/die", 1, 2, 3, {false, Load, "Chromium exited while loading", true}},
        {"/freeze", 1, 2, 3, {false, Load, "No answer from", true}},
        {"/stall-freeze",
         1,
         2,
         3,
         {false, Capture, "Chromium stopped answering", true, true}},  // not the script
        {"/hang-capture", 1, 1, 5, {false, Capture, "did not answer Page.captureScreenshot", true}},
        {"/refresh", 1, 1, 7, {false, Capture, "replaced its document", false}},  // ends at once
        {"/freeze-capture", 1, 2, 4, {false, Capture, "Chromium stopped answering", true}},
        {"/loop-after-load", 1, 1, 4, {}},  // its script is ended before its capture, not after
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " in " + std::to_string(c.slots) + " slot(s)");
        TFakeChromium chromium;
        const auto browser = chromium.Browser();
        std::vector<std::unique_ptr<TBrowserHost>> hosts;
        std::vector<TBrowserHost*> slots;
        for (int i = 0; i < c.slots; ++i) {
            hosts.push_back(std::make_unique<TBrowserHost>(browser));
            hosts.back()->SetWidth(320);
            hosts.back()->SetHeight(240);
            // Short bounds: what takes seconds with Chromium takes milliseconds here.
            hosts.back()->SetBounds({500, 200, 300, 300, 200, 3000, 300, 10});  // in the order of TPageBounds
            slots.push_back(hosts.back().get());
        }
        TRunEngine engine(slots, 400);
        engine.SetSettleMs(100);
        engine.SetWaits({100, 300, 20, 50, 100});
        const QStringList urls{QStringLiteral("http://fake/early-load"),
                               QStringLiteral("http://fake") + QLatin1String(c.path),
                               QStringLiteral("http://fake/ok"), QStringLiteral("http://fake/ok")};
        Rows rows(urls);
        engine.Run(4, rows);
        ASSERT_EQ(rows.ended.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(rows.ended.count(i), 1u) << "row " << i << " ends once";
            const RowResult& r = rows.ended.find(i)->second;
            const Expected e = i == 1 ? c.row : Expected{};
            EXPECT_EQ(r.ok, e.ok) << "row " << i << ": " << qPrintable(r.reason);
            EXPECT_EQ(r.timedOut, e.timedOut) << "row " << i;
            if (i != 1) {
                EXPECT_EQ(r.finalUrl.toStdString(), urls.at(i).toStdString())
                    << "row " << i << " shows its own document";
            }
            if (e.ok) continue;
            EXPECT_EQ(r.stage, e.stage);
            EXPECT_TRUE(r.reason.contains(QLatin1String(e.reason))) << qPrintable(r.reason);
            EXPECT_EQ(r.passing, e.passing);
        }
        EXPECT_EQ(chromium.launches, c.launches);
        EXPECT_EQ(chromium.screenshots, c.screenshots);
    }
}

// With a limit per host, the rows of a busy host wait and the next host's rows take the free slots; every row
// ends once, and no host ever has more pages loading than the limit (without one, three of a host at once).
TEST(RunEngine, PagesPerHostStayWithinTheLimit) {
    for (const int perHost : {1, 0}) {
        Slots slots(3);
        std::map<QString, int> loading, most;
        TRunEngine engine(slots.slots, 2000);
        engine.SetSettleMs(0);
        engine.SetPerHost(perHost);
        const QStringList urls{"http://a.test/ok", "http://a.test/ok", "http://a.test/ok",
                               "http://b.test/ok", "http://b.test/ok", "http://b.test/ok"};
        CountingRows rows(urls);
        rows.onLoad = [&](int row, int step) {
            const QString host = QUrl(urls.at(row)).host();
            most[host] = std::max(most[host], loading[host] += step);
        };
        engine.Run(6, rows);
        ASSERT_EQ(rows.ended.size(), 6u) << perHost;
        for (const auto& [row, result] : rows.ended)
            EXPECT_TRUE(result.ok) << row << qPrintable(result.reason);
        EXPECT_EQ(most["a.test"], perHost ? 1 : 3);
        EXPECT_EQ(most["b.test"], perHost ? 1 : 3);
    }
}

// Under a governed count the pages under way rise while the machine idles and rows wait, fall when the cores
// are saturated, and drain below the pages under way when the memory is over its budget; slots beyond the
// count rest.
TEST(RunEngine, PagesInFlightFollowTheMachine) {
    Slots slots(5);
    TRunEngine engine(slots.slots, 5000);
    engine.SetSettleMs(0);
    // The machine as the probe tells it: idle until the count reached the top, then saturated until the
    // pages under way are down at its least, then over the memory budget until one page is left.
    enum Phase { Idle, Saturated, OverBudget, Done } phase = Idle;
    int loading = 0, aboveCount = 0;
    engine.SetPagesInFlight(
        std::make_unique<TPagesInFlight>(2, 5, 2, 1000),
        [&] {
            const int count = engine.PagesInFlight();
            if (phase == Idle && count == 5 && loading == 5) phase = Saturated;
            if (phase == Saturated && count == 2 && loading <= 2) phase = OverBudget;
            if (phase == OverBudget && count == 1 && loading <= 1) phase = Done;
            return TPagesInFlight::Sample{phase == Idle ? 0.5 : 0.0, phase == OverBudget ? 2000 : 400};
        },
        10);
    CountingRows rows(QStringList(400, QStringLiteral("http://fake/slow")));
    rows.stopping = [&] { return phase == Done; };
    rows.onLoad = [&](int, int step) {
        loading += step;
        if (step > 0 && loading > engine.PagesInFlight()) ++aboveCount;
    };
    engine.Run(400, rows);
    EXPECT_EQ(phase, Done) << "the count went up to 5, down to 2, and down to 1";
    EXPECT_EQ(aboveCount, 0) << "a page began beyond the count";
    for (const auto& [row, result] : rows.ended) EXPECT_TRUE(result.ok) << row << qPrintable(result.reason);
}

// The count's steps, one sample after the other: it rises only when the count is reached, rows wait and
// one more page fits; the idle share is the mean of two samples; memory over the budget drains it.
TEST(PagesInFlight, StepsFollowTheSamples) {
    TPagesInFlight count(2, 6, 3, 1000);
    const struct {
        double idle;
        qint64 memoryMiB;
        int loading;
        bool rowsWaiting;
        int expected;
    } steps[] = {
        {0.2, 400, 3, true, 4},   // room: one more
        {0.5, 400, 3, true, 4},   // the count is not reached
        {0.5, 400, 4, false, 4},  // no row waits
        {0.0, 400, 4, true, 5},   // the mean of 0.5 and 0.0 still has room
        {0.9, 400, 5, true, 6},   // the mean 0.45 has room for three more (5 x 0.9 / 0.55), but the most is 6
        {0.0, 400, 6, true, 6},   // the mean 0.45 again, at the most
        {0.0, 400, 6, true, 5},   // saturated
        {0.0, 400, 5, true, 4},  {0.0, 400, 4, true, 3},
        {0.0, 400, 3, true, 2},  {0.0, 400, 2, true, 2},  // not below the least
        {0.5, 950, 2, true, 2},                           // (950 - 200) / 2 more does not fit
        {0.5, 1200, 2, true, 1},                          // over the budget: below the pages under way
        {0.5, 1200, 1, true, 1},
    };
    for (const auto& step : steps)
        EXPECT_EQ(count.Next({step.idle, step.memoryMiB, step.loading, step.rowsWaiting}), step.expected)
            << step.idle << " " << step.memoryMiB << " " << step.loading;
    EXPECT_EQ(count.Fewest(), 1);
    EXPECT_EQ(count.Highest(), 6);
}

// Only the renderers below the browser are looked at, and one above the limit is ended and said once.
TEST(PageMemoryWatch, EndsRenderersAboveTheLimitOnly) {
    QProcess renderer, other;
    renderer.start(QStringLiteral("bash"), {"-c", "exec -a 'chromium --type=renderer' sleep 30"});
    other.start(QStringLiteral("sleep"), {"30"});
    ASSERT_TRUE(renderer.waitForStarted() && other.waitForStarted());
    QThread::msleep(100);  // the exec has replaced the shell
    TPageMemoryWatch generous(1024), strict(0);
    EXPECT_EQ(generous.Check(QCoreApplication::applicationPid()), 0);
    EXPECT_EQ(strict.Check(other.processId()), 0) << "nothing below a process that has no renderers";
    EXPECT_EQ(strict.Check(QCoreApplication::applicationPid()), 1);
    EXPECT_TRUE(renderer.waitForFinished(5000));
    EXPECT_EQ(renderer.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(other.state(), QProcess::Running);
    const std::optional<qint64> used = strict.TakeEnded(10000);
    ASSERT_TRUE(used.has_value());
    EXPECT_TRUE(strict.Reason(*used).startsWith("The page used more than 0 MiB"));
    EXPECT_FALSE(strict.TakeEnded(10000)) << "one row per ended renderer";
    other.kill();
    other.waitForFinished();
}

}  // namespace
