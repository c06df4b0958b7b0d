// TPreviewImage: placement, off-screen rendering and painting of the preview pane.
#include "preview_image.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace {

constexpr QRgb kBlack = 0xFF000000u;  // clBlack with alpha 255
constexpr int kBufferSlack = 40;

}  // namespace

QRect CenteredBitmapRect(QSize control, QSize bitmap) {
    if (bitmap.isEmpty() || control.isEmpty()) return QRect();
    // C++ division truncates toward zero: -1 / 2 == 0, -3 / 2 == -1.
    const int dx = (control.width() - bitmap.width()) / 2;
    const int dy = (control.height() - bitmap.height()) / 2;
    return QRect(dx, dy, bitmap.width(), bitmap.height());
}

QSize NextBufferSize(QSize current, QSize needed) {
    const int w = std::max(needed.width(), 0), h = std::max(needed.height(), 0);
    if (w > current.width() || h > current.height()) return QSize(w + kBufferSlack, h + kBufferSlack);
    if (w < current.width() - kBufferSlack || h < current.height() - kBufferSlack)
        return QSize(std::max(w, 1), std::max(h, 1));
    return current.isEmpty() ? QSize(1, 1) : current;
}

TPreviewImage::TPreviewImage(QWidget* parent) : QWidget(parent) {
    // The control paints every pixel itself: no erase before painting, so it never flashes another colour.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    resize(321, 241);
    m_bitmap.OnChange = [this](bool sizeChanged) { BitmapChanged(sizeChanged); };
}

QRect TPreviewImage::BitmapRect() const {
    if (!m_bitmapRectValid) {
        m_bitmapRect = CenteredBitmapRect(size(), QSize(m_bitmap.Width(), m_bitmap.Height()));
        m_bitmapRectValid = true;
    }
    return m_bitmapRect;
}

void TPreviewImage::BitmapChanged(bool) {
    m_bitmapRectValid = false;
    m_bufferValid = false;
    update();
}

void TPreviewImage::resizeEvent(QResizeEvent* event) {
    m_bitmapRectValid = false;
    m_bufferValid = false;
    QWidget::resizeEvent(event);
}

void TPreviewImage::RenderBuffer() {
    const QSize bufferSize = NextBufferSize(m_buffer.size(), size());
    if (bufferSize != m_buffer.size()) m_buffer = QImage(bufferSize, QImage::Format_RGB32);

    QPainter painter(&m_buffer);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const QRect control(QPoint(0, 0), size());
    const QRect picture = BitmapRect();
    if (m_bitmap.IsEmpty() || picture.isEmpty()) {
        painter.fillRect(control, QColor::fromRgba(kBlack));
    } else if (!picture.contains(control)) {
        // The bands around the picture: above and below over the full width, left and right beside it.
        const int top = picture.y(), bottom = picture.y() + picture.height();
        const int left = picture.x(), right = picture.x() + picture.width();
        const QRect bands[] = {QRect(0, 0, control.width(), top),
                               QRect(0, bottom, control.width(), control.height() - bottom),
                               QRect(0, top, left, picture.height()),
                               QRect(right, top, control.width() - right, picture.height())};
        for (const QRect& band : bands) {
            const QRect clipped = band.intersected(control);
            if (!clipped.isEmpty()) painter.fillRect(clipped, QColor::fromRgba(kBlack));
        }
    }
    if (!m_bitmap.IsEmpty() && !picture.isEmpty()) painter.drawImage(picture.topLeft(), m_bitmap.Image());
    m_bufferValid = true;
}

QImage TPreviewImage::RenderedImage() {
    if (!m_bufferValid) RenderBuffer();
    return m_buffer.copy(QRect(QPoint(0, 0), size()));
}

void TPreviewImage::paintEvent(QPaintEvent*) {
    if (!m_bufferValid) RenderBuffer();
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(0, 0), m_buffer, QRect(QPoint(0, 0), size()));
}
