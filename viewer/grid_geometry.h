// Grid arithmetic of the item viewer: cell size, columns and rows, origin, cell rectangles, hit test.
#pragma once

#include <QRect>
#include <QSize>

// The part of the viewer's options that decides the grid's shape, in pixels.
struct TGridMetrics {
    int itemWidth = 120;     // picture cell width before spacing
    int itemHeight = 120;    // picture cell height before spacing and caption
    int horzSpacing = 4;     // added to the cell width; inset of the item rectangle left and right
    int vertSpacing = 4;     // added to the cell height; inset of the item rectangle top and bottom
    int captionHeight = 0;   // height of the caption strip, 0 without captions
    bool autoCenter = true;  // centre a grid that is narrower or lower than the client area
};

// Height of the caption strip for a font whose single line of text is textHeight pixels high.
constexpr int CaptionStripHeight(int textHeight) {
    return textHeight + 4;
}

// One layout of the grid: computed by Arrange() and PlaceOrigin(), read by painting, hit test and scrolling.
// Every division truncates toward zero, so a point less than a cell left of or above the grid still counts
// as column 0 or row 0.
class TGridGeometry {
  public:
    TGridGeometry() = default;
    explicit TGridGeometry(const TGridMetrics& metrics) { SetMetrics(metrics); }

    // Takes new metrics and recomputes the cell size; columns, rows and origin stay until the next Arrange().
    void SetMetrics(const TGridMetrics& metrics);
    const TGridMetrics& Metrics() const { return m_metrics; }

    int CellWidth() const { return m_cellWidth; }    // W = itemWidth + horzSpacing
    int CellHeight() const { return m_cellHeight; }  // H = itemHeight + vertSpacing + captionHeight
    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }
    int X0() const { return m_x0; }
    int Y0() const { return m_y0; }

    // Columns from the client width (at least 1, at most the item count) and rows enough for every item.
    // Answers false, and changes nothing, when the cell is empty or there is no item.
    bool Arrange(int itemCount, int clientWidth);

    // Grid width and height (the scroll ranges): columns x W and rows x H.
    int RangeWidth() const { return m_columns * m_cellWidth; }
    int RangeHeight() const { return m_rows * m_cellHeight; }

    // Origin of the grid in client coordinates: centred, at least half the spacing, then moved by the
    // scroll positions.
    void PlaceOrigin(QSize client, int scrollX, int scrollY);

    // Rectangles of the cell at grid position pos (pos mod columns, pos div columns) under the current
    // origin.
    QRect CellRect(int pos) const;
    QRect ItemRect(int pos) const;         // the cell inset by the spacing on each side
    QRect CaptionStrip(int pos) const;     // bottom captionHeight pixels of the item rectangle
    QRect PictureArea(int pos) const;      // the item rectangle above the caption strip
    QRect CaptionTextRect(int pos) const;  // caption strip with its top 2 pixels lower

    // Item index at client point (x, y), or -1. With existingOnly, points outside the grid or past the last
    // of itemCount items answer -1; without it the index is row x columns + column whatever it is.
    int IndexAt(int x, int y, bool existingOnly, int itemCount) const;

    // First and last item index of the rows in view, both clamped into 0 .. itemCount - 1.
    struct TVisibleRange {
        int first = 0;
        int last = -1;
    };
    TVisibleRange VisibleRange(QSize client, int itemCount) const;

  private:
    TGridMetrics m_metrics;
    int m_cellWidth = 0;
    int m_cellHeight = 0;
    int m_columns = 1;
    int m_rows = 1;
    int m_x0 = 0;
    int m_y0 = 0;
};

// A scroll position clamped into 0 .. range - visible (0 when the range fits).
int ClampScrollPosition(int position, int range, int visible);

// The scroll position that brings a cell [cellTop, cellBottom) (relative to the current view, client height
// clientHeight) into view: unchanged when it is inside, the cell's top at the top when it is above, its
// bottom at the bottom when it is below (a cell taller than the view keeps its top at the top).
int ScrollPositionToShow(int position, int cellTop, int cellBottom, int clientHeight);

// Size of a w x h picture fitted into an a x b area, keeping its proportions and never enlarging it.
// A picture with a zero or negative side that does not fit takes the whole area.
QSize FitPictureRect(int w, int h, int a, int b);
