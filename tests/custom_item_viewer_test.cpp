// The grid control driven through real input: layout, items, selection, keyboard, mouse, wheel, scroll bar,
// and the requests it posts to itself.
#include "custom_item_viewer.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <map>
#include <memory>
#include <vector>

namespace {

class TTestViewer;

// An item that counts how often it gave up its picture and can ask to leave the list.
class TTestItem : public TViewerItem {
  public:
    explicit TTestItem(TCustomItemViewer* owner) : TViewerItem(owner) {}
    bool HasFileName() const override { return true; }
    void GiveUpPicture() override {
        if (holdsPicture) ++released;
        holdsPicture = false;
    }
    void Leave() { RequestRemoval(); }
    bool holdsPicture = false;
    int released = 0;
};

// A grid that records which item it drew where, in paint order.
class TTestViewer : public TCustomItemViewer {
  public:
    TTestViewer() {
        QFont f(QStringLiteral("Sans Serif"));
        f.setPixelSize(11);  // the program's font: 8 points at 96 dots per inch
        setFont(f);
        TCustomItemViewerOptions o;
        o.width = 200;
        o.height = 200;
        o.horzSpacing = 2;
        o.vertSpacing = 2;
        o.autoCenter = true;
        o.reduceMemoryUsage = true;
        SetItemOptions(o);
    }
    struct Drawn {
        TViewerItem* item;
        QRect area;
        bool selected;
    };
    std::vector<Drawn> drawn;
    int created = 0;

  protected:
    std::unique_ptr<TViewerItem> CreateItem() override {
        ++created;
        return std::make_unique<TTestItem>(this);
    }
    void DrawItem(QPainter&, TViewerItem& item, const QRect& area, const QRect&) override {
        static_cast<TTestItem&>(item).holdsPicture = true;
        drawn.push_back({&item, area, item.IsSelected()});
    }
};

// A viewer at the gallery's designed size: 808 x 568 outside, so 804 x 564 inside its sunken edge.
class ViewerTest : public ::testing::Test {
  protected:
    void Open(int items, QSize size = QSize(808, 568)) {
        viewer.resize(size);
        viewer.SetItemCount(items);
        viewer.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
        viewer.setFocus();
        Settle();
    }
    void Settle() {
        QCoreApplication::processEvents();
        viewer.viewport()->repaint();
    }
    TTestItem* At(int i) { return static_cast<TTestItem*>(viewer.Item(i)); }
    QWidget* Port() { return viewer.viewport(); }
    // A point inside item i's picture area.
    QPoint Centre(int i) { return viewer.Geometry().PictureArea(i).center(); }
    void Click(QPoint p, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseClick(Port(), b, {}, p); }
    void Key(int key, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(&viewer, Qt::Key(key), mods); }
    void Wheel(int delta, Qt::KeyboardModifiers mods = {}) {
        const QPoint at(100, 100);
        QWheelEvent event(at, Port()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(Port(), &event);
    }
    std::vector<int> MarkedItems() {
        std::vector<int> marked;
        for (int i = 0; i < viewer.Count(); ++i)
            if (viewer.CreatedItem(i) && viewer.CreatedItem(i)->IsSelected()) marked.push_back(i);
        return marked;
    }

    TTestViewer viewer;
};

// --- Layout --------------------------------------------------------------------------------------------

TEST_F(ViewerTest, DesignedWindowWithFivePictures) {
    Open(5);
    const QFontMetrics metrics(viewer.font());
    const int c =
        metrics
            .boundingRect(QRect(0, 0, 100, 100), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                          QStringLiteral("Wg"))
            .height() +
        4;
    EXPECT_EQ(viewer.CaptionHeight(), c);
    EXPECT_EQ(Port()->size(), QSize(804, 564));
    const TGridGeometry& g = viewer.Geometry();
    EXPECT_EQ(g.CellWidth(), 202);
    EXPECT_EQ(g.CellHeight(), 202 + c);
    EXPECT_EQ(g.Columns(), 3);
    EXPECT_EQ(g.Rows(), 2);
    EXPECT_EQ(g.X0(), 99);
    EXPECT_EQ(g.Y0(), (564 - 2 * (202 + c)) / 2);
    EXPECT_FALSE(viewer.verticalScrollBar()->isVisible());
    EXPECT_EQ(viewer.verticalScrollBar()->maximum(), 0);
    if (c == 17) {
        EXPECT_EQ(g.Y0(), 63);  // with the program's font at 8 points: text height 13
    }
}

TEST_F(ViewerTest, ColumnsFollowTheWidth) {
    Open(30);
    EXPECT_EQ(viewer.Geometry().Columns(), 3);
    viewer.resize(1100, 568);
    Settle();
    EXPECT_EQ(viewer.Geometry().Columns(), (Port()->width()) / 202);
    EXPECT_EQ(viewer.Geometry().Columns(), 5);
    viewer.resize(150, 568);
    Settle();
    EXPECT_EQ(viewer.Geometry().Columns(), 1);  // never below one
}

TEST_F(ViewerTest, ScrollBarAppearsForATallGridAndNarrowsTheClient) {
    Open(30);
    QScrollBar* bar = viewer.verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_LT(Port()->width(), 804);
    EXPECT_EQ(bar->pageStep(), Port()->height());
    EXPECT_EQ(bar->maximum(), viewer.Geometry().RangeHeight() - Port()->height());
    EXPECT_EQ(viewer.LineStep(), 50);  // 9/100 of the client height when first shown
    viewer.resize(808, 300);
    Settle();
    EXPECT_EQ(viewer.LineStep(), 50);  // and it stays
}

// --- Items ---------------------------------------------------------------------------------------------

TEST_F(ViewerTest, ItemsAreCreatedOnFirstAccess) {
    viewer.SetItemCount(5);
    EXPECT_EQ(viewer.created, 0);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(viewer.CreatedItem(i), nullptr);
    TViewerItem* third = viewer.Item(3);
    EXPECT_EQ(viewer.created, 1);
    EXPECT_EQ(viewer.Item(3), third);
    EXPECT_EQ(viewer.Item(5), nullptr);
    viewer.SetItemCount(8);  // growing keeps the items there are
    EXPECT_EQ(viewer.CreatedItem(3), third);
    EXPECT_EQ(viewer.CreatedItem(6), nullptr);
}

TEST_F(ViewerTest, PaintingDrawsOnlyCellsInView) {
    Open(30);
    std::vector<int> drawn;
    for (const auto& d : viewer.drawn) drawn.push_back(viewer.IndexOf(d.item));
    EXPECT_EQ(viewer.created, 30);  // painting walks every item
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.front(), 0);
    EXPECT_EQ(drawn.back(), 8);  // three rows are (partly) in view
    // The scroll bar narrows the client; the grid stays centred in what is left.
    EXPECT_EQ(viewer.Geometry().X0(), (Port()->width() - 606) / 2);
    EXPECT_EQ(viewer.drawn.front().area, QRect(viewer.Geometry().X0() + 2, 1 + 2, 198, 198));
}

TEST_F(ViewerTest, UpdateCounterHoldsPaintingBack) {
    Open(5);
    viewer.drawn.clear();
    viewer.BeginUpdate();
    viewer.BeginUpdate();
    viewer.viewport()->repaint();
    viewer.EndUpdate();
    viewer.viewport()->repaint();
    EXPECT_TRUE(viewer.drawn.empty());
    viewer.EndUpdate();
    viewer.viewport()->repaint();
    EXPECT_EQ(viewer.drawn.size(), 5u);
    viewer.EndUpdate();  // an extra one does not go below zero
    EXPECT_EQ(viewer.UpdateCount(), 0);
}

TEST_F(ViewerTest, SettingTheCountToZeroClearsTheSelection) {
    Open(5);
    viewer.SetSelectedIndex(4);
    viewer.SetItemCount(0);
    EXPECT_EQ(viewer.SelectedIndex(), -1);
    viewer.SetItemCount(3);
    EXPECT_EQ(viewer.SelectedIndex(), -1);
    EXPECT_TRUE(MarkedItems().empty());
}

// --- Selection and keyboard ----------------------------------------------------------------------------

TEST_F(ViewerTest, SelectionMovesTheMark) {
    Open(5);
    viewer.SetSelectedIndex(1);
    EXPECT_EQ(MarkedItems(), std::vector<int>{1});
    viewer.SetSelectedIndex(3);
    EXPECT_EQ(MarkedItems(), std::vector<int>{3});
    viewer.SetSelectedIndex(-1);
    EXPECT_TRUE(MarkedItems().empty());
    EXPECT_EQ(viewer.ScrollPosition(), 0);  // selection never scrolls
}

struct KeyCase {
    const char* what;
    int items;
    int start;  // -1: nothing selected
    int key;
    Qt::KeyboardModifiers mods;
    int expected;
};

class ViewerKeys : public ViewerTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(ViewerKeys, TargetIndex) {
    const KeyCase c = GetParam();
    Open(c.items);
    if (c.start >= 0) viewer.SetSelectedIndex(c.start);
    Key(c.key, c.mods);
    EXPECT_EQ(viewer.SelectedIndex(), c.expected) << c.what;
    if (c.expected >= 0) {
        EXPECT_EQ(MarkedItems(), std::vector<int>{c.expected}) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ViewerKeys,
    ::testing::Values(KeyCase{"Right from none: item 0", 5, -1, Qt::Key_Right, {}, 0},
                      KeyCase{"Down from none: last of the first row", 5, -1, Qt::Key_Down, {}, 2},
                      KeyCase{"Left from none: nothing", 5, -1, Qt::Key_Left, {}, -1},
                      KeyCase{"Up from none: nothing", 5, -1, Qt::Key_Up, {}, -1},
                      KeyCase{"Home: nothing", 5, -1, Qt::Key_Home, {}, -1},
                      KeyCase{"End: nothing", 5, -1, Qt::Key_End, {}, -1},
                      KeyCase{"Page Down: nothing", 5, -1, Qt::Key_PageDown, {}, -1},
                      KeyCase{"Space: nothing", 5, -1, Qt::Key_Space, {}, -1},
                      KeyCase{"Shift+Right: not handled", 5, -1, Qt::Key_Right, Qt::ShiftModifier, -1},
                      KeyCase{"Ctrl+Right: not handled", 5, 1, Qt::Key_Right, Qt::ControlModifier, 1},
                      KeyCase{"Down from none with one column", 1, -1, Qt::Key_Down, {}, 0},
                      KeyCase{"Right at the end of a row: next row", 5, 2, Qt::Key_Right, {}, 3},
                      KeyCase{"Left at the start of a row: previous row", 5, 3, Qt::Key_Left, {}, 2},
                      KeyCase{"Right at the last item: stays", 5, 4, Qt::Key_Right, {}, 4},
                      KeyCase{"Left at item 0: stays, no wrap", 5, 0, Qt::Key_Left, {}, 0},
                      KeyCase{"Down below the last item: stays", 5, 2, Qt::Key_Down, {}, 2},
                      KeyCase{"Up from the second row", 5, 4, Qt::Key_Up, {}, 1},
                      KeyCase{"Up from the first row: stays", 5, 1, Qt::Key_Up, {}, 1}));

TEST_F(ViewerTest, SpaceRaisesTheClickNotification) {
    Open(5);
    QSignalSpy clicks(&viewer, &TCustomItemViewer::Click);
    Key(Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ViewerTest, ArrowKeysScrollTheSelectedCellIntoView) {
    Open(30);
    Key(Qt::Key_Down);  // 2, row 0
    Key(Qt::Key_Down);  // 5, row 1
    EXPECT_EQ(viewer.ScrollPosition(), 0);
    Key(Qt::Key_Down);  // 8, row 2: its bottom (1 + 3 x 219 = 658) is below the view
    const int h = viewer.Geometry().CellHeight();
    const int clientHeight = Port()->height();
    EXPECT_EQ(viewer.ScrollPosition(), 1 + 3 * h - clientHeight);
    Key(Qt::Key_Up);  // 5: in view, no scrolling
    EXPECT_EQ(viewer.ScrollPosition(), 1 + 3 * h - clientHeight);
    Key(Qt::Key_Up);  // 2: its top is above the view; the 1-pixel margin above the grid stays scrolled away
    EXPECT_EQ(viewer.ScrollPosition(), 1);
    EXPECT_EQ(viewer.SelectedIndex(), 2);
}

// --- Mouse ---------------------------------------------------------------------------------------------

TEST_F(ViewerTest, ClickSelectsTheItemUnderThePointer) {
    Open(5);
    viewer.clearFocus();
    const TGridGeometry& g = viewer.Geometry();
    Click(Centre(4));
    EXPECT_EQ(viewer.focusWidget(), &viewer);  // a press gives the viewer the keyboard focus
    EXPECT_EQ(viewer.SelectedIndex(), 4);
    Click(QPoint(g.CellRect(1).left(), g.CellRect(1).center().y()));  // on the spacing
    EXPECT_EQ(viewer.SelectedIndex(), 1);
    Click(g.CaptionStrip(0).center());  // on the caption
    EXPECT_EQ(viewer.SelectedIndex(), 0);
    Click(QPoint(g.X0() - 50, g.CellRect(3).center().y()));  // left of the grid by less than a cell
    EXPECT_EQ(viewer.SelectedIndex(), 3);
    EXPECT_EQ(MarkedItems(), std::vector<int>{3});
}

TEST_F(ViewerTest, PressAndReleaseOnDifferentItemsSelectNothing) {
    Open(5);
    QTest::mousePress(Port(), Qt::LeftButton, {}, Centre(0));
    QTest::mouseRelease(Port(), Qt::LeftButton, {}, Centre(1));
    EXPECT_EQ(viewer.SelectedIndex(), -1);
    Click(Centre(2), Qt::RightButton);
    EXPECT_EQ(viewer.SelectedIndex(), -1);
    QTest::mouseDClick(Port(), Qt::LeftButton, {}, Centre(2));  // press, second press
    QTest::mouseRelease(Port(), Qt::LeftButton, {}, Centre(2));
    EXPECT_EQ(viewer.SelectedIndex(), 2);
}

TEST_F(ViewerTest, ClickOnNoItemClearsMarksLaterButKeepsTheIndex) {
    Open(5);
    Click(Centre(1));
    ASSERT_EQ(viewer.SelectedIndex(), 1);
    const QRect emptyCell = viewer.Geometry().CellRect(5);  // the empty part of the last row
    Click(emptyCell.center());
    EXPECT_EQ(MarkedItems(), std::vector<int>{1});  // the request is handled by the event loop
    QCoreApplication::processEvents();
    EXPECT_TRUE(MarkedItems().empty());
    EXPECT_EQ(viewer.SelectedIndex(), 1);
    Key(Qt::Key_Right);  // moves on from the kept index
    EXPECT_EQ(viewer.SelectedIndex(), 2);
    EXPECT_EQ(MarkedItems(), std::vector<int>{2});

    Click(QPoint(Centre(0).x(), viewer.Geometry().Y0() + viewer.Geometry().RangeHeight() + 10));  // below
    QCoreApplication::processEvents();
    EXPECT_TRUE(MarkedItems().empty());
    EXPECT_EQ(viewer.SelectedIndex(), 2);
}

// --- Wheel and scroll bar ------------------------------------------------------------------------------

TEST_F(ViewerTest, WheelScrollsByTheDeltaAndClamps) {
    Open(30);
    const int maximum = viewer.Geometry().RangeHeight() - Port()->height();
    Wheel(-120);  // one notch towards the user
    EXPECT_EQ(viewer.ScrollPosition(), 120);
    Wheel(-120, Qt::ShiftModifier);
    EXPECT_EQ(viewer.ScrollPosition(), 480);
    Wheel(-120, Qt::ShiftModifier | Qt::ControlModifier);  // Shift counts only alone
    EXPECT_EQ(viewer.ScrollPosition(), 600);
    Wheel(120);
    EXPECT_EQ(viewer.ScrollPosition(), 480);
    for (int i = 0; i < 40; ++i) Wheel(-120);
    EXPECT_EQ(viewer.ScrollPosition(), maximum);
    for (int i = 0; i < 40; ++i) Wheel(120);
    EXPECT_EQ(viewer.ScrollPosition(), 0);
    EXPECT_EQ(viewer.Geometry().Y0(), 1);
}

TEST_F(ViewerTest, WheelLetsGoOfThePicturesItScrolledPast) {
    Open(30);
    for (int i = 0; i < 10; ++i) Wheel(-120);
    EXPECT_EQ(viewer.Geometry().Y0(), 1 - 1200);  // the origin follows
    const auto visible = viewer.VisibleRows();
    EXPECT_EQ(visible.first, (1200 - 1) / viewer.Geometry().CellHeight() * 3);
    ASSERT_GT(visible.first, 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(At(i)->released, 1) << i;  // the first screen's pictures
    EXPECT_EQ(viewer.Geometry().Columns(), 3);
}

TEST_F(ViewerTest, ScrollBarStepsRunALayoutPassAndReleaseHiddenPictures) {
    Open(30);
    QSignalSpy scrolled(&viewer, &TCustomItemViewer::Scrolled);
    QScrollBar* bar = viewer.verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(viewer.ScrollPosition(), 50);
    EXPECT_EQ(scrolled.count(), 1);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(viewer.ScrollPosition(), 50 + Port()->height());
    Settle();
    const auto visible = viewer.VisibleRows();
    EXPECT_EQ(visible.first, ((Port()->height() + 50 - 1) / viewer.Geometry().CellHeight()) * 3);
    for (int i = 0; i < visible.first; ++i) {
        EXPECT_FALSE(At(i)->holdsPicture) << i;
        EXPECT_EQ(At(i)->released, 1) << i;
    }
    for (int i = visible.first; i <= visible.last; ++i) EXPECT_EQ(At(i)->released, 0) << i;
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(viewer.ScrollPosition(), bar->maximum());
    EXPECT_EQ(viewer.VisibleRows().last, 29);
}

TEST_F(ViewerTest, ReloadKeepsTheScrollPositionWithinTheNewRange) {
    Open(30);
    viewer.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    const int bottom = viewer.ScrollPosition();
    viewer.BeginUpdate();
    viewer.SetItemCount(0);
    viewer.SetItemCount(60);
    viewer.EndUpdate();
    EXPECT_EQ(viewer.ScrollPosition(), bottom);
    viewer.BeginUpdate();
    viewer.SetItemCount(0);
    viewer.SetItemCount(12);
    viewer.EndUpdate();
    Settle();
    EXPECT_EQ(viewer.ScrollPosition(), viewer.Geometry().RangeHeight() - Port()->height());
}

// --- Requests posted to the viewer ---------------------------------------------------------------------

TEST_F(ViewerTest, RemovedLastItemPassesTheSelectionToTheNewLast) {
    Open(5);
    viewer.SetSelectedIndex(4);
    QSignalSpy deletion(&viewer, &TCustomItemViewer::Deletion);
    At(4)->Leave();
    EXPECT_EQ(viewer.Count(), 5);  // handled later, by the event loop
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer.Count(), 4);
    ASSERT_EQ(deletion.count(), 1);
    EXPECT_EQ(deletion.at(0).at(0).toInt(), 4);
    EXPECT_EQ(viewer.SelectedIndex(), 3);
    EXPECT_EQ(MarkedItems(), std::vector<int>{3});
    EXPECT_EQ(viewer.Geometry().Rows(), 2);  // no layout pass: the grid keeps its shape until the next one
}

TEST_F(ViewerTest, RemovingAnItemBeforeTheSelectedOneKeepsIndexAndMarkTogether) {
    Open(5);
    viewer.SetSelectedIndex(3);
    TViewerItem* selected = viewer.Item(3);
    At(1)->Leave();
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer.SelectedIndex(), 2);
    EXPECT_EQ(viewer.Item(2), selected);
    Click(Centre(0));
    EXPECT_EQ(MarkedItems(), std::vector<int>{0});  // one mark only
}

TEST_F(ViewerTest, LeavingItemTakesNoCellUntilItIsRemoved) {
    Open(5);
    TViewerItem* third = viewer.Item(2);
    At(1)->Leave();
    viewer.drawn.clear();
    viewer.viewport()->repaint();
    ASSERT_EQ(viewer.drawn.size(), 4u);
    EXPECT_EQ(viewer.drawn[1].item, third);  // moved up into the leaving item's cell
    EXPECT_EQ(viewer.drawn[1].area, viewer.Geometry().PictureArea(1));
}

TEST_F(ViewerTest, RequestForAnItemThatHasGoneIsIgnored) {
    Open(5);
    At(2)->Leave();
    viewer.SetItemCount(0);  // a reload frees every item before the request arrives
    viewer.SetItemCount(5);
    for (int i = 0; i < 5; ++i) viewer.Item(i);  // new items, possibly at the old addresses
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer.Count(), 5);
}

}  // namespace
