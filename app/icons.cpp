// Tool-button pictures, drawn with QPainter so no image files need to ship.
#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace {

QIcon Draw(int size, const std::function<void(QPainter&)>& paint) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    paint(p);
    p.end();
    return QIcon(pm);
}

void Folder(QPainter& p, bool open) {
    p.setPen(QColor(140, 100, 20));
    p.setBrush(QColor(240, 200, 80));
    p.drawRect(QRectF(1.5, 5.5, 11, 8));
    p.drawRect(QRectF(1.5, 3.5, 5, 2));
    if (open) {
        QPainterPath lid;
        lid.moveTo(3.5, 7.5);
        lid.lineTo(14.5, 7.5);
        lid.lineTo(12.5, 13.5);
        lid.lineTo(1.5, 13.5);
        lid.closeSubpath();
        p.setBrush(QColor(250, 225, 130));
        p.drawPath(lid);
    }
}

void Boxes(QPainter& p, bool ticked) {
    for (int i = 0; i < 3; ++i) {
        const QRectF box(1.5 + i * 2, 1.5 + i * 4.5, 5, 4);
        p.setPen(QColor(60, 60, 60));
        p.setBrush(Qt::white);
        p.drawRect(box);
        p.setPen(QColor(120, 120, 120));
        p.drawLine(QPointF(box.right() + 2, box.center().y()), QPointF(15, box.center().y()));
        if (ticked) {
            p.setPen(QPen(QColor(0, 120, 0), 1.4));
            p.drawLine(QPointF(box.left() + 1, box.center().y()),
                       QPointF(box.left() + 2.3, box.bottom() - 0.8));
            p.drawLine(QPointF(box.left() + 2.3, box.bottom() - 0.8),
                       QPointF(box.right() - 0.5, box.top() + 0.6));
        }
    }
}

}  // namespace

QIcon ImportListIcon() {
    return Draw(16, [](QPainter& p) {
        Folder(p, true);
        p.setPen(QPen(QColor(0, 90, 200), 1.6));
        p.setBrush(Qt::NoBrush);
        QPainterPath arrow;
        arrow.moveTo(6, 6);
        arrow.cubicTo(6, 1.5, 12, 0.5, 13.5, 4.5);
        p.drawPath(arrow);
        p.drawLine(QPointF(13.5, 4.5), QPointF(11, 3.8));
        p.drawLine(QPointF(13.5, 4.5), QPointF(14.3, 2));
    });
}

QIcon ExportListIcon() {
    return Draw(16, [](QPainter& p) {
        p.setPen(QColor(20, 20, 60));
        p.setBrush(QColor(40, 60, 140));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(QColor(220, 220, 220));
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        p.setPen(QColor(40, 60, 140));
        p.drawLine(QPointF(9.5, 2.5), QPointF(9.5, 5.5));
    });
}

QIcon CheckAllIcon() {
    return Draw(16, [](QPainter& p) { Boxes(p, true); });
}

QIcon UncheckAllIcon() {
    return Draw(16, [](QPainter& p) { Boxes(p, false); });
}

QIcon DeleteCheckedIcon() {
    return Draw(16, [](QPainter& p) {
        p.setPen(QPen(Qt::black, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
        p.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    });
}

QIcon ChooseFolderIcon() {
    return Draw(16, [](QPainter& p) { Folder(p, false); });
}

void PaintApplicationIcon(QPainter& p, int size) {
    // The design lives on a 64-unit square; packaging/bildoro.svg draws the same shapes.
    p.save();
    p.scale(size / 64.0, size / 64.0);
    p.setPen(QPen(QColor(60, 60, 60), 2));
    p.setBrush(QColor(250, 250, 250));
    p.drawRoundedRect(QRectF(6, 10, 52, 44), 4, 4);
    p.setBrush(QColor(70, 120, 190));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(10, 14, 44, 8));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(10, 26, 20, 24));
    p.setBrush(QColor(150, 190, 120));
    p.drawRect(QRectF(34, 26, 20, 11));
    p.setBrush(QColor(230, 170, 90));
    p.drawRect(QRectF(34, 39, 20, 11));
    p.restore();
}

QIcon ApplicationIcon() {
    return Draw(64, [](QPainter& p) { PaintApplicationIcon(p, 64); });
}

QIcon RowDoneIcon() {
    static const QIcon icon = Draw(16, [](QPainter& p) {
        p.setPen(QPen(QColor(0, 140, 40), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    });
    return icon;
}

QIcon RowFailedIcon() {
    static const QIcon icon = Draw(16, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    });
    return icon;
}

QIcon RowTimedOutIcon() {
    static const QIcon icon = Draw(16, [](QPainter& p) {
        p.setPen(QPen(QColor(150, 90, 0), 1));
        p.setBrush(QColor(250, 190, 50));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(QColor(60, 40, 0), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(8, 4));
        p.drawLine(QPointF(8, 8), QPointF(11, 9.5));
    });
    return icon;
}

QIcon RowBlankIcon() {
    static const QIcon icon = Draw(16, [](QPainter& p) {
        p.setPen(QPen(QColor(110, 110, 110), 1));
        p.setBrush(QColor(245, 245, 245));
        p.drawRect(QRectF(2.5, 3.5, 11, 9));
    });
    return icon;
}

QIcon RowHttpErrorIcon() {
    static const QIcon icon = Draw(16, [](QPainter& p) {
        p.setPen(QPen(QColor(150, 90, 0), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(250, 190, 50));
        p.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(14.5, 14), QPointF(1.5, 14)}));
        p.setPen(QPen(QColor(40, 25, 0), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
        p.drawPoint(QPointF(8, 12));
    });
    return icon;
}

QIcon RowChangedIcon() {
    static const QIcon icon = Draw(16, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 110, 200));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(8, 4), QPointF(8, 12));
        p.drawPolyline(QPolygonF({QPointF(5.5, 6.5), QPointF(8, 4), QPointF(10.5, 6.5)}));
        p.drawPolyline(QPolygonF({QPointF(5.5, 9.5), QPointF(8, 12), QPointF(10.5, 9.5)}));
    });
    return icon;
}
