// The run engine's decisions on pages that break, over an in-memory Chromium: a page that never answers, a
// crash, a detached session, a browser that dies or stops answering, a capture that never comes. Each row
// ends with its stage and whether it may pass another time, the rows after it are untouched, and a browser is
// started again only when the old one is gone.
#include "run_engine.h"
#include "browser_host.h"
#include "fake_chromium.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
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

// Short bounds: what takes seconds with Chromium takes milliseconds here.
TPageBounds ShortBounds() {
    TPageBounds b;
    b.setupMs = 500;
    b.firstScriptWaitMs = 200;
    b.firstCaptureMs = 300;
    b.captureAttemptMs = 300;
    b.statusMs = 200;
    b.browserCheckMs = 300;
    b.reopenPauseMs = 10;
    return b;
}

struct Expected {
    bool ok = true;
    RowStage stage = RowStage::Load;
    const char* reason = "";  // a part of the reason
    bool passing = false;
};

struct Case {
    const char* name;
    QStringList paths;  // http://fake<path>
    int slots;
    std::vector<Expected> rows;
    int launches;
};

TEST(RunEngine, BrokenPagesFailTheirRowOnlyAndTheRunGoesOn) {
    const Expected ok;
    const Case cases[] = {
        {"documents that load before the answer, or move on by themselves",
         {"/early-load", "/moves-on", "/ok"},
         1,
         {ok, ok, ok},
         1},
        {"a page that never answers is replaced",
         {"/ok", "/never", "/ok"},
         1,
         {ok, {false, RowStage::Load, "No answer from", true}, ok},
         1},
        {"a crashed page",
         {"/ok", "/crash", "/ok"},
         1,
         {ok, {false, RowStage::Load, "The page crashed in Chromium", true}, ok},
         1},
        {"a session detached by the browser",
         {"/ok", "/detach", "/ok"},
         1,
         {ok, {false, RowStage::Load, "The page was closed by Chromium", true}, ok},
         1},
        {"a browser that dies is started again",
         {"/ok", "/die", "/ok"},
         1,
         {ok, {false, RowStage::Load, "Chromium exited while loading", true}, ok},
         2},
        {"a capture that never comes",
         {"/ok", "/hang-capture", "/ok"},
         1,
         {ok, {false, RowStage::Capture, "did not answer Page.captureScreenshot", false}, ok},
         1},
        {"a browser that stops answering is ended and replaced",
         {"/ok", "/freeze", "/ok"},
         1,
         {ok, {false, RowStage::Load, "No answer from", true}, ok},
         2},
        {"a page that never answers beside another slot",
         {"/ok", "/never", "/ok", "/ok", "/ok"},
         2,
         {ok, {false, RowStage::Load, "No answer from", true}, ok, ok, ok},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeChromium chromium;
        const auto browser = chromium.Browser();
        std::vector<std::unique_ptr<TBrowserHost>> hosts;
        std::vector<TBrowserHost*> slots;
        for (int i = 0; i < c.slots; ++i) {
            hosts.push_back(std::make_unique<TBrowserHost>(browser));
            hosts.back()->SetWidth(320);
            hosts.back()->SetHeight(240);
            hosts.back()->SetBounds(ShortBounds());
            slots.push_back(hosts.back().get());
        }
        TRunEngine engine(slots, 400);
        engine.SetSettleMs(0);
        engine.SetWaits({100, 300, 20, 50, 100});
        QStringList urls;
        for (const QString& path : c.paths) urls << QStringLiteral("http://fake") + path;
        Rows rows(urls);
        engine.Run(int(urls.size()), rows);
        ASSERT_EQ(rows.ended.size(), c.rows.size());
        for (int i = 0; i < int(c.rows.size()); ++i) {
            ASSERT_EQ(rows.ended.count(i), 1u) << "row " << i << " ends once";
            const RowResult& r = rows.ended.find(i)->second;
            const Expected& e = c.rows[size_t(i)];
            EXPECT_EQ(r.ok, e.ok) << "row " << i << ": " << qPrintable(r.reason);
            if (e.ok) continue;
            EXPECT_EQ(r.stage, e.stage) << "row " << i;
            EXPECT_TRUE(r.reason.contains(QLatin1String(e.reason)))
                << "row " << i << ": " << qPrintable(r.reason);
            EXPECT_EQ(r.passing, e.passing) << "row " << i;
        }
        EXPECT_EQ(chromium.launches, c.launches);
    }
}

}  // namespace
