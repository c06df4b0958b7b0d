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

struct Expected {
    bool ok = true;
    RowStage stage = RowStage::Load;
    const char* reason = "";  // a part of the reason
    bool passing = false;
    bool timedOut = false;  // captured as far as it loaded, after the bound
};

// Each case's page (http://fake<path>) is the second of four rows: after a document that loads before the
// browser's answer, and before two plain ones, which must come out whole.
TEST(RunEngine, BrokenPagesFailTheirRowOnlyAndTheRunGoesOn) {
    const struct {
        const char* name;
        const char* path;
        int slots;
        Expected row;
        int launches;  // browsers started
    } cases[] = {
        {"a page that never completes is captured after the bound",
         "/stall",
         1,
         {true, RowStage::Load, "", false, true},
         1},
        {"a page that moves on by itself", "/moves-on", 1, {}, 1},
        {"a page that never completes does not reach the next row with a late document",
         "/reload-late",
         1,
         {true, RowStage::Load, "", false, true},
         1},
        {"a document never shown is not captured from the one before it",
         "/never-shown",
         1,
         {false, RowStage::Load, "No answer from", true, true},
         1},
        {"a page that never answers is replaced",
         "/never",
         1,
         {false, RowStage::Load, "No answer from", true},
         1},
        {"a crashed page", "/crash", 1, {false, RowStage::Load, "The page crashed in Chromium", true}, 1},
        {"a session detached",
         "/detach",
         1,
         {false, RowStage::Load, "The page was closed by Chromium", true},
         1},
        {"a browser that dies", "/die", 1, {false, RowStage::Load, "Chromium exited while loading", true}, 2},
        {"a capture that never comes (another page may get one)",
         "/hang-capture",
         1,
         {false, RowStage::Capture, "did not answer Page.captureScreenshot", true},
         1},
        {"a page that replaces its document at every screenshot ends at once",
         "/refresh",
         1,
         {false, RowStage::Capture, "replaced its document", false},
         1},
        {"a browser that stops answering at the capture is ended before a second attempt",
         "/freeze-capture",
         1,
         {false, RowStage::Capture, "Chromium stopped answering", true},
         2},
        {"a browser that stops answering", "/freeze", 1, {false, RowStage::Load, "No answer from", true}, 2},
        {"a page that never answers beside another",
         "/never",
         2,
         {false, RowStage::Load, "No answer from", true},
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFakeChromium chromium;
        const auto browser = chromium.Browser();
        std::vector<std::unique_ptr<TBrowserHost>> hosts;
        std::vector<TBrowserHost*> slots;
        for (int i = 0; i < c.slots; ++i) {
            hosts.push_back(std::make_unique<TBrowserHost>(browser));
            hosts.back()->SetWidth(320);
            hosts.back()->SetHeight(240);
            // Short bounds: what takes seconds with Chromium takes milliseconds here.
            hosts.back()->SetBounds({.setupMs = 500,
                                     .firstScriptWaitMs = 200,
                                     .firstCaptureMs = 300,
                                     .captureAttemptMs = 300,
                                     .statusMs = 200,
                                     .browserCheckMs = 300,
                                     .reopenPauseMs = 10});
            slots.push_back(hosts.back().get());
        }
        TRunEngine engine(slots, 400);
        engine.SetSettleMs(0);
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
            if (i != 1)
                EXPECT_EQ(r.finalUrl.toStdString(), urls.at(i).toStdString())
                    << "row " << i << " shows its own document";
            if (e.ok) continue;
            EXPECT_EQ(r.stage, e.stage);
            EXPECT_TRUE(r.reason.contains(QLatin1String(e.reason))) << qPrintable(r.reason);
            EXPECT_EQ(r.passing, e.passing);
        }
        EXPECT_EQ(chromium.launches, c.launches);
    }
}

}  // namespace
