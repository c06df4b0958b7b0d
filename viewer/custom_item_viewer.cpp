// The scrolling grid control.
#include "custom_item_viewer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

namespace {

// Requests the viewer posts to itself; the event loop delivers them later on the same thread.
const QEvent::Type kClearMarksEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kRemoveItemEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class TClearMarksEvent : public QEvent {
  public:
    explicit TClearMarksEvent(const TCustomItemViewer* viewer) : QEvent(kClearMarksEvent), viewer(viewer) {}
    const TCustomItemViewer* viewer;
};

class TRemoveItemEvent : public QEvent {
  public:
    explicit TRemoveItemEvent(std::uint64_t serial) : QEvent(kRemoveItemEvent), serial(serial) {}
    std::uint64_t serial;
};

// A layout pass that changes the scroll bar's visibility changes the client width; a few rounds settle it
// (a width on the edge between two column counts could otherwise flip for ever).
constexpr int kLayoutRounds = 4;

}  // namespace

TCustomItemViewer::TCustomItemViewer(QWidget* parent) : QAbstractScrollArea(parent) {
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);  // the 2-pixel sunken client edge
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);  // the system window colour, not the parent's
    viewport()->setAutoFillBackground(true);
    m_geometry.SetMetrics(TGridMetrics{m_options.width, m_options.height, m_options.horzSpacing,
                                       m_options.vertSpacing, 0, m_options.autoCenter});
}

TCustomItemViewer::~TCustomItemViewer() {
    m_destroying = true;
    m_items.clear();
}

TViewerItem* TCustomItemViewer::Item(int index) {
    if (!IsValidIndex(index)) return nullptr;
    auto& slot = m_items[static_cast<size_t>(index)];
    if (!slot) slot = CreateItem();
    return slot.get();
}

TViewerItem* TCustomItemViewer::CreatedItem(int index) const {
    return IsValidIndex(index) ? m_items[static_cast<size_t>(index)].get() : nullptr;
}

int TCustomItemViewer::IndexOf(const TViewerItem* item) const {
    if (!item) return -1;
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].get() == item) return static_cast<int>(i);
    return -1;
}

void TCustomItemViewer::SetItemCount(int count) {
    count = std::max(0, count);
    if (count == Count()) return;
    BeginUpdate();
    if (count == 0) {
        m_items.clear();
    } else {
        m_items.resize(static_cast<size_t>(count));
    }
    if (m_selectedIndex >= count) m_selectedIndex = -1;
    --m_updateCount;
    UpdateLayout();
    if (m_updateCount == 0) viewport()->update();
}

void TCustomItemViewer::SetSelectedIndex(int index) {
    if (IsValidIndex(m_selectedIndex)) {
        TViewerItem* old = CreatedItem(m_selectedIndex);
        if (old && old->IsSelected()) old->SetState(TViewerItem::Selected, false);
    }
    m_selectedIndex = index;
    if (IsValidIndex(index)) {
        TViewerItem* item = Item(index);
        if (!item->IsSelected()) item->SetState(TViewerItem::Selected, true);
    }
}

int TCustomItemViewer::ItemIndexAt(int x, int y, bool existingOnly) const {
    return m_geometry.IndexAt(x, y, existingOnly, Count());
}

void TCustomItemViewer::ScrollToItem(int index) {
    if (!IsValidIndex(index)) return;
    const QRect cell = m_geometry.CellRect(index);
    const int clientHeight = viewport()->height();
    const int wanted =
        ScrollPositionToShow(ScrollPosition(), cell.top(), cell.top() + cell.height(), clientHeight);
    SetScrollQuietly(ClampScrollPosition(wanted, m_geometry.RangeHeight(), clientHeight));
    UpdateLayout();
    viewport()->update();
}

int TCustomItemViewer::CaptionHeight() const {
    if (!m_options.showCaptions) return 0;
    const QFontMetrics metrics(font());
    const QRect text = metrics.boundingRect(
        QRect(0, 0, 100, 100), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, QStringLiteral("Wg"));
    return CaptionStripHeight(text.height());
}

int TCustomItemViewer::ScrollPosition() const {
    return verticalScrollBar()->value();
}

int TCustomItemViewer::LineStep() const {
    return verticalScrollBar()->singleStep();
}

void TCustomItemViewer::EndUpdate() {
    if (m_updateCount <= 0) return;
    if (--m_updateCount > 0) return;
    UpdateLayout();
    viewport()->update();
}

void TCustomItemViewer::SetItemOptions(const TCustomItemViewerOptions& options) {
    const bool releaseNow = options.reduceMemoryUsage && !m_options.reduceMemoryUsage;
    m_options = options;
    if (m_options.reduceMemoryUsage) m_options.lazyRead = true;
    verticalScrollBar()->setTracking(m_options.tracking);
    UpdateLayout();
    if (releaseNow) ReleaseHiddenPictures();
    viewport()->update();
}

void TCustomItemViewer::PostRemoveItem(TViewerItem* item) {
    if (!item) return;
    QCoreApplication::postEvent(this, new TRemoveItemEvent(item->Serial()));
}

void TCustomItemViewer::ItemChanged(TViewerItem* item) {
    if (m_updateCount > 0) return;
    const int index = IndexOf(item);
    if (index < 0) return;
    if (item->IsSelected()) m_selectedIndex = index;
    viewport()->update(m_geometry.CellRect(index));
    Q_EMIT ItemChangedNotify(index);
}

void TCustomItemViewer::UpdateLayout() {
    if (m_destroying) return;
    if (m_inLayout) {
        // A change of the client size inside the pass (the scroll bar appeared or went): go round again.
        m_layoutAgain = true;
        return;
    }
    m_inLayout = true;
    bool arranged = false;
    for (int round = 0; round < kLayoutRounds; ++round) {
        m_layoutAgain = false;
        arranged = ArrangeCells();
        if (!m_layoutAgain) break;
    }
    if (arranged) {
        PlaceOrigin();
        m_visible = m_geometry.VisibleRange(viewport()->size(), Count());
        if (m_options.reduceMemoryUsage) ReleaseHiddenPictures();
    }
    m_inLayout = false;
}

bool TCustomItemViewer::ArrangeCells() {
    QScrollBar* bar = verticalScrollBar();
    bar->setTracking(m_options.tracking);
    horizontalScrollBar()->setTracking(m_options.tracking);

    m_geometry.SetMetrics(TGridMetrics{m_options.width, m_options.height, m_options.horzSpacing,
                                       m_options.vertSpacing, CaptionHeight(), m_options.autoCenter});
    const QSize client = viewport()->size();
    if (!m_geometry.Arrange(Count(), client.width())) return false;

    // The bar keeps its position, clamped into the new range; it disappears when the grid fits.
    bar->setPageStep(client.height());
    bar->setRange(0, std::max(0, m_geometry.RangeHeight() - client.height()));
    return true;
}

void TCustomItemViewer::PlaceOrigin() {
    m_geometry.PlaceOrigin(viewport()->size(), 0, ScrollPosition());
}

void TCustomItemViewer::ReleaseHiddenPictures() {
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        if (i >= m_visible.first && i <= m_visible.last) continue;
        TViewerItem* item = m_items[static_cast<size_t>(i)].get();
        if (item && item->HasFileName()) item->GiveUpPicture();
    }
}

void TCustomItemViewer::SetScrollQuietly(int position) {
    m_quietScroll = true;
    verticalScrollBar()->setValue(position);
    m_quietScroll = false;
}

void TCustomItemViewer::paintEvent(QPaintEvent* event) {
    if (m_updateCount > 0) return;
    QPainter painter(viewport());
    painter.setFont(font());
    painter.setBrush(palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::WindowText));

    const QSize client = viewport()->size();
    const int count = Count();
    if (count == 0 || client.width() < 1 || client.height() < 1) return;
    if (m_geometry.CellWidth() < 1 || m_geometry.CellHeight() < 1) return;

    const QRect clientRect(QPoint(0, 0), client);
    const QRect dirty = event->rect();
    int pos = 0;  // grid position: an item that is leaving takes no cell
    for (int i = 0; i < count; ++i) {
        TViewerItem* item = Item(i);
        if (item->Deleting()) continue;
        const QRect area = m_geometry.PictureArea(pos);
        const bool inView = area.intersects(clientRect) && m_geometry.CellRect(pos).intersects(dirty);
        if (inView || !m_options.lazyRead) {
            painter.save();
            DrawItem(painter, *item, area, m_geometry.CaptionTextRect(pos));
            painter.restore();
        }
        ++pos;
    }
}

void TCustomItemViewer::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateLayout();
    viewport()->update();
}

void TCustomItemViewer::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    if (!m_lineStepSet) {
        // Fixed once, from the client height at the first showing; later resizing does not change it.
        verticalScrollBar()->setSingleStep(std::max(1, (viewport()->height() * 9 / 10) / 10));
        m_lineStepSet = true;
    }
    UpdateLayout();
}

void TCustomItemViewer::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateLayout();
        viewport()->update();
    }
}

void TCustomItemViewer::scrollContentsBy(int, int) {
    if (m_inLayout || m_quietScroll) {
        PlaceOrigin();
        viewport()->update();
        return;
    }
    UpdateLayout();
    viewport()->update();
    Q_EMIT Scrolled();
}

void TCustomItemViewer::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) {
        event->ignore();
        return;
    }
    int target = 0;
    switch (event->key()) {
        case Qt::Key_Left:
            target = m_selectedIndex - 1;
            break;
        case Qt::Key_Right:
            target = m_selectedIndex + 1;
            break;
        case Qt::Key_Up:
            target = m_selectedIndex - m_geometry.Columns();
            break;
        case Qt::Key_Down:
            target = m_selectedIndex + m_geometry.Columns();
            break;
        case Qt::Key_Space:
            Q_EMIT Click();
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            if (IsValidIndex(m_selectedIndex)) Q_EMIT ItemActivated(m_selectedIndex);
            return;
        default:
            event->ignore();
            return;
    }
    event->accept();
    if (!IsValidIndex(target)) return;
    SetSelectedIndex(target);
    ScrollToItem(target);
}

void TCustomItemViewer::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    m_pressedIndex = ItemIndexAt(at.x(), at.y(), true);
    setFocus(Qt::MouseFocusReason);
}

void TCustomItemViewer::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    const int index = ItemIndexAt(at.x(), at.y(), true);
    if (index == m_pressedIndex && IsValidIndex(index)) {
        SetSelectedIndex(index);
    } else if (index == -1) {
        QCoreApplication::postEvent(this, new TClearMarksEvent(this));
    }
    m_pressedIndex = -1;
}

// The second press of a double click is an ordinary press; on an item it also opens that item.
void TCustomItemViewer::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
    if (event->button() == Qt::LeftButton && IsValidIndex(m_pressedIndex))
        Q_EMIT ItemActivated(m_pressedIndex);
}

void TCustomItemViewer::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

void TCustomItemViewer::wheelEvent(QWheelEvent* event) {
    int delta = event->angleDelta().y();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::ShiftModifier) && !(mods & (Qt::ControlModifier | Qt::AltModifier))) delta *= 3;
    // Shift turns some platforms' wheel into a horizontal one; the notch still scrolls vertically here.
    if (delta == 0 && (mods & Qt::ShiftModifier)) delta = event->angleDelta().x() * 3;
    const int position =
        ClampScrollPosition(ScrollPosition() - delta, m_geometry.RangeHeight(), viewport()->height());
    SetScrollQuietly(position);
    PlaceOrigin();
    // No layout pass, but the pictures scrolled past are let go as a layout pass would: scrolling a long
    // list by wheel alone must not keep every picture it has shown.
    m_visible = m_geometry.VisibleRange(viewport()->size(), Count());
    if (m_options.reduceMemoryUsage) ReleaseHiddenPictures();
    viewport()->update();
    event->accept();
}

void TCustomItemViewer::customEvent(QEvent* event) {
    if (event->type() == kRemoveItemEvent) {
        RemoveItem(static_cast<TRemoveItemEvent*>(event)->serial);
    } else if (event->type() == kClearMarksEvent) {
        if (static_cast<TClearMarksEvent*>(event)->viewer == this) ClearMarks();
    } else {
        QAbstractScrollArea::customEvent(event);
    }
}

void TCustomItemViewer::RemoveItem(std::uint64_t serial) {
    int index = -1;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i] && m_items[i]->Serial() == serial) {
            index = static_cast<int>(i);
            break;
        }
    }
    if (index < 0) return;
    Q_EMIT Deletion(index);
    m_items.erase(m_items.begin() + index);
    // The selected item moved up with the others; the index follows it so that mark and index agree.
    if (index < m_selectedIndex) --m_selectedIndex;
    if (m_selectedIndex >= Count()) SetSelectedIndex(Count() - 1);
    viewport()->update();
}

void TCustomItemViewer::ClearMarks() {
    BeginUpdate();
    for (auto& item : m_items)
        if (item) item->SetState(TViewerItem::Selected, false);
    EndUpdate();
}
