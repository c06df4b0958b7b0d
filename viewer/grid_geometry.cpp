// Grid arithmetic of the item viewer.
#include "grid_geometry.h"

#include <algorithm>
#include <cmath>

void TGridGeometry::SetMetrics(const TGridMetrics& metrics) {
    m_metrics = metrics;
    m_cellWidth = metrics.itemWidth + metrics.horzSpacing;
    m_cellHeight = metrics.itemHeight + metrics.vertSpacing + metrics.captionHeight;
}

bool TGridGeometry::Arrange(int itemCount, int clientWidth) {
    if (m_cellWidth < 1 || m_cellHeight < 1 || itemCount <= 0) return false;
    int columns = clientWidth / m_cellWidth;
    if (columns > itemCount) columns = itemCount;
    if (columns < 1) columns = 1;
    int rows = std::max(1, itemCount / columns);
    while (static_cast<long long>(rows) * columns < itemCount) ++rows;
    m_columns = columns;
    m_rows = rows;
    return true;
}

void TGridGeometry::PlaceOrigin(QSize client, int scrollX, int scrollY) {
    const int minX = m_metrics.horzSpacing / 2;
    const int minY = m_metrics.vertSpacing / 2;
    if (m_metrics.autoCenter) {
        m_x0 = std::max(minX, (client.width() - RangeWidth()) / 2);
        m_y0 = std::max(minY, (client.height() - RangeHeight()) / 2);
    } else {
        m_x0 = minX;
        m_y0 = minY;
    }
    m_x0 -= scrollX;
    m_y0 -= scrollY;
}

QRect TGridGeometry::CellRect(int pos) const {
    const int columns = std::max(1, m_columns);
    return QRect(m_x0 + (pos % columns) * m_cellWidth, m_y0 + (pos / columns) * m_cellHeight, m_cellWidth,
                 m_cellHeight);
}

QRect TGridGeometry::ItemRect(int pos) const {
    const int hs = m_metrics.horzSpacing;
    const int vs = m_metrics.vertSpacing;
    return CellRect(pos).adjusted(hs, vs, -hs, -vs);
}

QRect TGridGeometry::CaptionStrip(int pos) const {
    const QRect item = ItemRect(pos);
    return QRect(item.left(), item.top() + item.height() - m_metrics.captionHeight, item.width(),
                 m_metrics.captionHeight);
}

QRect TGridGeometry::PictureArea(int pos) const {
    const QRect item = ItemRect(pos);
    return QRect(item.left(), item.top(), item.width(), item.height() - m_metrics.captionHeight);
}

QRect TGridGeometry::CaptionTextRect(int pos) const {
    return CaptionStrip(pos).adjusted(0, 2, 0, 0);
}

int TGridGeometry::IndexAt(int x, int y, bool existingOnly, int itemCount) const {
    if (m_cellWidth < 1 || m_cellHeight < 1) return -1;
    const int column = (x - m_x0) / m_cellWidth;
    const int row = (y - m_y0) / m_cellHeight;
    const bool inside = column >= 0 && column < m_columns && row >= 0 && row < m_rows;
    if (!existingOnly) return row * m_columns + column;
    if (!inside) return -1;
    const int index = row * m_columns + column;
    return index < itemCount ? index : -1;
}

TGridGeometry::TVisibleRange TGridGeometry::VisibleRange(QSize client, int itemCount) const {
    TVisibleRange range;
    if (itemCount <= 0) return range;
    range.first = IndexAt(0, 0, true, itemCount);
    range.last = IndexAt(client.width(), client.height(), true, itemCount);
    if (range.last == -1) range.last = IndexAt(client.width(), client.height(), false, itemCount) - 1;
    range.first = std::clamp(range.first, 0, itemCount - 1);
    range.last = std::clamp(range.last, 0, itemCount - 1);
    return range;
}

int ClampScrollPosition(int position, int range, int visible) {
    const int maximum = std::max(0, range - visible);
    return std::clamp(position, 0, maximum);
}

int ScrollPositionToShow(int position, int cellTop, int cellBottom, int clientHeight) {
    if (cellTop < 0) return position + cellTop;
    if (cellBottom > clientHeight) {
        if (cellBottom - cellTop > clientHeight) cellBottom = cellTop + clientHeight;
        return position + (cellBottom - clientHeight);
    }
    return position;
}

QSize FitPictureRect(int w, int h, int a, int b) {
    if (w <= a && h <= b) return QSize(w, h);
    if (w <= 0 || h <= 0) return QSize(a, b);
    const double r = static_cast<double>(w) / static_cast<double>(h);
    int width = 0;
    int height = 0;
    if (w > h) {
        width = a;
        height = static_cast<int>(std::trunc(a / r));
        if (height > b) {
            width = static_cast<int>(std::trunc(r * b));
            height = b;
        }
    } else {
        width = static_cast<int>(std::trunc(r * b));
        height = b;
        if (width > a) {
            height = static_cast<int>(std::trunc(a / r));
            width = a;
        }
    }
    return QSize(width, height);
}
