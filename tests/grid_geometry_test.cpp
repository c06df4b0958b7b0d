// Grid arithmetic: cell size, columns and rows, origin, rectangles, hit test, visible rows, scrolling,
// fitting.
#include "grid_geometry.h"

#include <gtest/gtest.h>

namespace {

// The gallery's cells: 200 x 200 pictures, spacing 2, centred, a caption strip of C pixels.
TGridMetrics Gallery(int captionHeight = 17) {
    return TGridMetrics{200, 200, 2, 2, captionHeight, true};
}

// The designed window: five pictures in a client area of 804 x 564, not scrolled.
TGridGeometry DesignedExample() {
    TGridGeometry grid(Gallery());
    EXPECT_TRUE(grid.Arrange(5, 804));
    grid.PlaceOrigin(QSize(804, 564), 0, 0);
    return grid;
}

TEST(GridGeometry, DesignedWindowWithFivePictures) {
    const TGridGeometry grid = DesignedExample();
    EXPECT_EQ(grid.CellWidth(), 202);
    EXPECT_EQ(grid.CellHeight(), 219);
    EXPECT_EQ(grid.Columns(), 3);  // 804 is narrower than four cells (808)
    EXPECT_EQ(grid.Rows(), 2);
    EXPECT_EQ(grid.RangeWidth(), 606);
    EXPECT_EQ(grid.RangeHeight(), 438);  // fits into 564: no scroll bar
    EXPECT_EQ(grid.X0(), 99);
    EXPECT_EQ(grid.Y0(), 63);
}

TEST(GridGeometry, RectanglesOfOneCell) {
    const TGridGeometry grid = DesignedExample();
    // Item 4: column 1, row 1.
    EXPECT_EQ(grid.CellRect(4), QRect(99 + 202, 63 + 219, 202, 219));
    EXPECT_EQ(grid.ItemRect(4), QRect(99 + 202 + 2, 63 + 219 + 2, 198, 198 + 17));
    EXPECT_EQ(grid.PictureArea(4), QRect(303, 284, 198, 198));
    EXPECT_EQ(grid.CaptionStrip(4), QRect(303, 284 + 198, 198, 17));
    EXPECT_EQ(grid.CaptionTextRect(4), QRect(303, 284 + 200, 198, 15));
}

TEST(GridGeometry, CellHeightFollowsCaptionStrip) {
    EXPECT_EQ(CaptionStripHeight(13), 17);
    for (const int c : {0, 14, 17, 23}) {
        TGridGeometry grid(Gallery(c));
        EXPECT_EQ(grid.CellHeight(), 202 + c);
        EXPECT_EQ(grid.PictureArea(0).height(), 198);
        EXPECT_EQ(grid.CaptionStrip(0).height(), c);
    }
}

struct ArrangeCase {
    int items;
    int clientWidth;
    int columns;
    int rows;
};

class GridArrange : public ::testing::TestWithParam<ArrangeCase> {};

TEST_P(GridArrange, ColumnsAndRows) {
    const ArrangeCase c = GetParam();
    TGridGeometry grid(Gallery());
    ASSERT_TRUE(grid.Arrange(c.items, c.clientWidth));
    EXPECT_EQ(grid.Columns(), c.columns);
    EXPECT_EQ(grid.Rows(), c.rows);
    EXPECT_GE(grid.Columns() * grid.Rows(), c.items);
}

INSTANTIATE_TEST_SUITE_P(Table, GridArrange,
                         ::testing::Values(ArrangeCase{5, 804, 3, 2},    // the designed window
                                           ArrangeCase{1, 804, 1, 1},    // never more columns than items
                                           ArrangeCase{2, 804, 2, 1},    //
                                           ArrangeCase{6, 606, 3, 2},    // exactly three cells wide
                                           ArrangeCase{6, 605, 2, 3},    // one pixel short of three
                                           ArrangeCase{7, 808, 4, 2},    // remainder adds a row
                                           ArrangeCase{10, 100, 1, 10},  // narrower than a cell: 1 column
                                           ArrangeCase{10, 0, 1, 10},    //
                                           ArrangeCase{10000, 788, 3, 3334}));

TEST(GridGeometry, ArrangeStopsWithoutItemsOrCells) {
    TGridGeometry grid(Gallery());
    ASSERT_TRUE(grid.Arrange(5, 804));
    EXPECT_FALSE(grid.Arrange(0, 804));
    EXPECT_EQ(grid.Columns(), 3);  // unchanged
    EXPECT_EQ(grid.Rows(), 2);
    TGridGeometry empty(TGridMetrics{0, 0, 0, 0, 0, true});
    EXPECT_FALSE(empty.Arrange(5, 804));
}

TEST(GridGeometry, SinglePictureIsCentredBothWays) {
    TGridGeometry grid(Gallery());
    ASSERT_TRUE(grid.Arrange(1, 804));
    grid.PlaceOrigin(QSize(804, 564), 0, 0);
    EXPECT_EQ(grid.X0(), (804 - 202) / 2);
    EXPECT_EQ(grid.Y0(), (564 - 219) / 2);
}

TEST(GridGeometry, TallGridStartsOnePixelDownAndMovesWithScroll) {
    TGridGeometry grid(Gallery());
    ASSERT_TRUE(grid.Arrange(30, 804));
    grid.PlaceOrigin(QSize(804, 564), 0, 0);
    EXPECT_EQ(grid.Y0(), 1);  // raised to spacing div 2
    EXPECT_EQ(grid.X0(), 99);
    grid.PlaceOrigin(QSize(804, 564), 0, 500);
    EXPECT_EQ(grid.Y0(), 1 - 500);
    // A client narrower than one cell: the origin never goes left of spacing div 2.
    grid.Arrange(30, 150);
    grid.PlaceOrigin(QSize(150, 564), 0, 0);
    EXPECT_EQ(grid.X0(), 1);
}

TEST(GridGeometry, WithoutAutoCenterTheGridStartsAtHalfTheSpacing) {
    TGridMetrics metrics = Gallery();
    metrics.autoCenter = false;
    TGridGeometry grid(metrics);
    ASSERT_TRUE(grid.Arrange(5, 804));
    grid.PlaceOrigin(QSize(804, 564), 0, 0);
    EXPECT_EQ(grid.X0(), 1);
    EXPECT_EQ(grid.Y0(), 1);
}

struct HitCase {
    const char* what;
    int x;
    int y;
    bool existingOnly;
    int expected;
};

class GridHitTest : public ::testing::TestWithParam<HitCase> {};

TEST_P(GridHitTest, IndexAt) {
    const HitCase c = GetParam();
    const TGridGeometry grid = DesignedExample();  // origin (99, 63), cells 202 x 219, 5 items
    EXPECT_EQ(grid.IndexAt(c.x, c.y, c.existingOnly, 5), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    DesignedWindow, GridHitTest,
    ::testing::Values(HitCase{"centre of item 0", 99 + 100, 63 + 100, true, 0},
                      HitCase{"spacing left of item 0's picture", 99, 63 + 100, true, 0},
                      HitCase{"spacing between items 0 and 1", 99 + 201, 63 + 100, true, 0},
                      HitCase{"first pixel of item 1's cell", 99 + 202, 63 + 100, true, 1},
                      HitCase{"caption strip of item 4", 99 + 202 + 100, 63 + 219 + 205, true, 4},
                      HitCase{"empty part of the last row", 99 + 404 + 100, 63 + 219 + 100, true, -1},
                      HitCase{"below the grid", 99 + 100, 63 + 438 + 5, true, -1},
                      HitCase{"right of the grid", 99 + 606 + 5, 63 + 10, true, -1},
                      HitCase{"one pixel left of the grid: truncation toward zero", 98, 63 + 100, true, 0},
                      HitCase{"less than a cell left of the grid, row 1", 99 - 150, 63 + 219 + 10, true, 3},
                      HitCase{"less than a cell above the grid", 99 + 202 + 10, 63 - 50, true, 1},
                      HitCase{"more than a cell left of the grid", 99 - 250, 63 + 10, true, -1},
                      HitCase{"flag off: the empty part of the last row", 99 + 404 + 100, 63 + 219 + 100,
                              false, 5},
                      HitCase{"flag off: right of the grid", 99 + 606 + 5, 63 + 10, false, 3},
                      HitCase{"flag off: bottom-right client corner", 804, 564, false, 2 * 3 + 3},
                      HitCase{"flag off: more than a cell left", 99 - 250, 63 + 10, false, -1}));

TEST(GridGeometry, HitTestWithoutCellsAnswersNothing) {
    TGridGeometry grid(TGridMetrics{0, 0, 0, 0, 0, true});
    EXPECT_EQ(grid.IndexAt(10, 10, false, 5), -1);
}

TEST(GridGeometry, VisibleRows) {
    EXPECT_EQ(DesignedExample().VisibleRange(QSize(804, 564), 5).first, 0);
    EXPECT_EQ(DesignedExample().VisibleRange(QSize(804, 564), 5).last, 4);  // clamped to the last item

    TGridGeometry grid(Gallery());
    ASSERT_TRUE(grid.Arrange(30, 804));
    grid.PlaceOrigin(QSize(804, 564), 0, 0);
    auto range = grid.VisibleRange(QSize(804, 564), 30);
    EXPECT_EQ(range.first, 0);
    EXPECT_EQ(range.last, 8);                   // rows 0..2; row 2 is cut by the bottom edge
    grid.PlaceOrigin(QSize(804, 564), 0, 438);  // two rows down: row 1 keeps its last pixel line in view
    range = grid.VisibleRange(QSize(804, 564), 30);
    EXPECT_EQ(range.first, 3);
    EXPECT_EQ(range.last, 14);
    grid.PlaceOrigin(QSize(804, 564), 0, 10 * 219 - 564);  // bottom of the range
    range = grid.VisibleRange(QSize(804, 564), 30);
    EXPECT_EQ(range.first, 21);
    EXPECT_EQ(range.last, 29);

    // One centred picture: the corners lie outside the grid, and both ends clamp to item 0.
    TGridGeometry single(Gallery());
    ASSERT_TRUE(single.Arrange(1, 804));
    single.PlaceOrigin(QSize(804, 564), 0, 0);
    range = single.VisibleRange(QSize(804, 564), 1);
    EXPECT_EQ(range.first, 0);
    EXPECT_EQ(range.last, 0);
}

TEST(GridScroll, ClampScrollPosition) {
    struct Case {
        int position, range, visible, expected;
    };
    for (const Case c : {Case{120, 2190, 564, 120}, Case{-5, 2190, 564, 0}, Case{5000, 2190, 564, 1626},
                         Case{1626, 2190, 564, 1626}, Case{50, 438, 564, 0}, Case{0, 0, 0, 0}}) {
        EXPECT_EQ(ClampScrollPosition(c.position, c.range, c.visible), c.expected)
            << c.position << " in " << c.range << " / " << c.visible;
    }
}

TEST(GridScroll, ScrollPositionToShow) {
    struct Case {
        const char* what;
        int position, top, bottom, clientHeight, expected;
    };
    for (const Case c :
         {Case{"inside", 100, 10, 229, 564, 100}, Case{"above", 500, -93, 126, 564, 407},
          Case{"below", 0, 439, 658, 564, 94}, Case{"exactly at the bottom", 0, 345, 564, 564, 0},
          Case{"taller than the view: top at the top", 0, 300, 1300, 564, 300}}) {
        EXPECT_EQ(ScrollPositionToShow(c.position, c.top, c.bottom, c.clientHeight), c.expected) << c.what;
    }
}

struct FitCase {
    int w, h, a, b, fw, fh;
};

class FitPicture : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitPicture, NeverEnlargesAndKeepsProportions) {
    const FitCase c = GetParam();
    EXPECT_EQ(FitPictureRect(c.w, c.h, c.a, c.b), QSize(c.fw, c.fh)) << c.w << "x" << c.h;
}

INSTANTIATE_TEST_SUITE_P(GalleryArea, FitPicture,
                         ::testing::Values(FitCase{320, 240, 198, 198, 198, 148},  // 148.5 truncated
                                           FitCase{120, 90, 198, 198, 120, 90},    // fits: natural size
                                           FitCase{198, 198, 198, 198, 198, 198},  // exactly fits
                                           FitCase{240, 320, 198, 198, 148, 198},  // upright
                                           FitCase{400, 400, 198, 198, 198, 198},  // square
                                           FitCase{199, 198, 198, 198, 198, 197},  // 197.005 truncated
                                           FitCase{1280, 200, 198, 198, 198, 30},  // 30.9375
                                           FitCase{10000, 1, 198, 198, 198, 0},    // flat to nothing
                                           FitCase{0, 50, 198, 198, 0, 50},        // fits: kept as it is
                                           FitCase{0, 500, 198, 198, 198, 198},    // no proportions
                                           FitCase{-3, 500, 198, 198, 198, 198},
                                           FitCase{300, 100, 198, 50, 150, 50}));  // height limits

}  // namespace
