// The scrolling grid control: items in cells of one size, a vertical scroll bar, one selected item.
#pragma once

#include "grid_geometry.h"
#include "viewer_item.h"

#include <QAbstractScrollArea>
#include <cstdint>
#include <memory>
#include <vector>

class QPainter;

// Options of the grid itself; the images viewer adds the ones that only drawing and loading use.
struct TCustomItemViewerOptions {
    int width = 120;                 // picture cell width before spacing, pixels
    int height = 120;                // picture cell height before spacing and caption, pixels
    int horzSpacing = 4;             // added to the cell width; inset of the item rectangle left and right
    int vertSpacing = 4;             // added to the cell height; inset of the item rectangle top and bottom
    bool autoCenter = false;         // centre a grid smaller than the client area
    bool tracking = true;            // the content follows the scroll-bar thumb while it is dragged
    bool lazyRead = true;            // only cells whose picture area is in view are drawn (and so loaded)
    bool reduceMemoryUsage = false;  // pictures outside the visible rows are released at every layout pass
    bool showCaptions = true;        // a caption strip below each picture
};

class TCustomItemViewer : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit TCustomItemViewer(QWidget* parent = nullptr);
    ~TCustomItemViewer() override;

    // --- Items ----------------------------------------------------------------------------------------
    int Count() const { return static_cast<int>(m_items.size()); }
    // The item at index (0 .. Count() - 1), created on the spot when its slot is still empty.
    TViewerItem* Item(int index);
    // The item at index if it has been created, else nullptr.
    TViewerItem* CreatedItem(int index) const;
    // Index of a listed item, -1 when it is no longer in the list.
    int IndexOf(const TViewerItem* item) const;
    // Sets the number of slots: 0 frees every item, a larger count adds empty slots. Runs a layout pass.
    void SetItemCount(int count);

    // --- Selection ------------------------------------------------------------------------------------
    int SelectedIndex() const { return m_selectedIndex; }
    // Moves the selected mark from the old index's item to the new one; -1 selects nothing. Never scrolls.
    void SetSelectedIndex(int index);

    // --- Geometry -------------------------------------------------------------------------------------
    // Item index under the client point, or -1 (see TGridGeometry::IndexAt).
    int ItemIndexAt(int x, int y, bool existingOnly) const;
    // Scrolls the item's cell into view, then runs a layout pass and repaints.
    void ScrollToItem(int index);
    // Height of the caption strip in the viewer's font (text height of "Wg" plus 4), 0 without captions.
    int CaptionHeight() const;
    const TGridGeometry& Geometry() const { return m_geometry; }
    // Item indexes of the rows in view, as of the last layout pass.
    TGridGeometry::TVisibleRange VisibleRows() const { return m_visible; }
    int ScrollPosition() const;
    // Scroll-bar line step in pixels: 9/100 of the client height when the viewer is first shown.
    int LineStep() const;

    // --- Bulk changes ---------------------------------------------------------------------------------
    // While the counter is above zero nothing is painted and item changes are not handled; the last
    // EndUpdate runs a layout pass and repaints the whole client area.
    void BeginUpdate() { ++m_updateCount; }
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }

    const TCustomItemViewerOptions& ItemOptions() const { return m_options; }
    // Applies new grid options; switching ReduceMemoryUsage on also switches LazyRead on and releases the
    // hidden pictures at once.
    void SetItemOptions(const TCustomItemViewerOptions& options);

    // --- Called by items ------------------------------------------------------------------------------
    // Queues the removal of the item; handled later on this thread, ignored if the item has gone by then.
    void PostRemoveItem(TViewerItem* item);
    // An item's state or picture changed: syncs the selection and repaints its cell.
    void ItemChanged(TViewerItem* item);

    // The layout pass: cell size, columns, rows, scroll range, origin, visible rows, release of pictures.
    void UpdateLayout();

  Q_SIGNALS:
    void Click();                       // Space pressed
    void ItemActivated(int index);      // Enter on the selected item, or a double click on an item
    void ItemChangedNotify(int index);  // after an item's change has been handled
    void Deletion(int index);           // before a removed item is freed
    void Scrolled();                    // after the scroll bar moved the content

  protected:
    // Makes the item for an empty slot.
    virtual std::unique_ptr<TViewerItem> CreateItem() = 0;
    // Draws one cell: pictureArea and captionText are the item's rectangles in client coordinates.
    virtual void DrawItem(QPainter& painter, TViewerItem& item, const QRect& pictureArea,
                          const QRect& captionText) = 0;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void customEvent(QEvent* event) override;

  private:
    // Cell size, columns, rows and scroll range; false when there is nothing to arrange.
    bool ArrangeCells();
    void PlaceOrigin();
    void ReleaseHiddenPictures();
    void RemoveItem(std::uint64_t serial);
    void ClearMarks();
    void SetScrollQuietly(int position);
    bool IsValidIndex(int index) const { return index >= 0 && index < Count(); }

    std::vector<std::unique_ptr<TViewerItem>> m_items;
    TCustomItemViewerOptions m_options;
    TGridGeometry m_geometry;
    TGridGeometry::TVisibleRange m_visible;
    int m_selectedIndex = -1;
    int m_pressedIndex = -1;
    int m_updateCount = 0;
    bool m_inLayout = false;
    bool m_layoutAgain = false;
    bool m_quietScroll = false;
    bool m_lineStepSet = false;
    bool m_destroying = false;
};
