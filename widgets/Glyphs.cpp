#include "widgets/Glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace velmora {

namespace {

QPixmap blank(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::transparent);
    return p;
}

}  // namespace

QPixmap checkGlyph() {
    QPixmap p = blank(16, 16);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(0, 128, 0), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    g.setPen(pen);
    QPainterPath tick;
    tick.moveTo(2.5, 8.5);
    tick.lineTo(6.5, 12.5);
    tick.lineTo(13.5, 3.5);
    g.drawPath(tick);
    return p;
}

QPixmap crossGlyph() {
    QPixmap p = blank(16, 16);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(QColor(200, 0, 0), 2.6, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    g.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
    return p;
}

QPixmap indicatorGlyph(IndicatorKind kind) {
    QPixmap p = blank(10, 12);
    QPainter g(&p);
    g.setPen(Qt::black);
    g.setBrush(Qt::black);
    switch (kind) {
        case IndicatorKind::Current: {
            const QPoint arrow[] = {QPoint(3, 2), QPoint(7, 6), QPoint(3, 10)};
            g.drawPolygon(arrow, 3);
            break;
        }
        case IndicatorKind::Edit:
            g.drawLine(5, 2, 5, 10);
            g.drawLine(3, 2, 7, 2);
            g.drawLine(3, 10, 7, 10);
            break;
        case IndicatorKind::Insert:
            g.drawLine(5, 2, 5, 10);
            g.drawLine(1, 6, 9, 6);
            g.drawLine(2, 3, 8, 9);
            g.drawLine(8, 3, 2, 9);
            break;
    }
    return p;
}

QPixmap navigatorGlyph(NavigatorGlyph glyph) {
    QPixmap p = blank(16, 16);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(30, 30, 30));
    auto left = [&g](qreal x) {
        const QPointF t[] = {QPointF(x + 5, 3), QPointF(x, 8), QPointF(x + 5, 13)};
        g.drawPolygon(t, 3);
    };
    auto right = [&g](qreal x) {
        const QPointF t[] = {QPointF(x, 3), QPointF(x + 5, 8), QPointF(x, 13)};
        g.drawPolygon(t, 3);
    };
    switch (glyph) {
        case NavigatorGlyph::First:
            g.drawRect(QRectF(4, 3, 2, 10));
            left(7);
            break;
        case NavigatorGlyph::Prior:
            left(5.5);
            break;
        case NavigatorGlyph::Next:
            right(5.5);
            break;
        case NavigatorGlyph::Last:
            right(4);
            g.drawRect(QRectF(10, 3, 2, 10));
            break;
    }
    return p;
}

namespace {

// A yellow folder; open, its front flap leans forward.
QPixmap folder(bool open) {
    QPixmap p = blank(16, 16);
    QPainter g(&p);
    QColor edge(128, 96, 0);
    QColor back(230, 184, 40);
    QColor front(255, 222, 90);
    g.setPen(edge);
    g.setBrush(back);
    g.drawPolygon(
        QPolygon({QPoint(1, 3), QPoint(6, 3), QPoint(7, 5), QPoint(14, 5), QPoint(14, 13), QPoint(1, 13)}));
    g.setBrush(front);
    if (open)
        g.drawPolygon(QPolygon({QPoint(3, 7), QPoint(15, 7), QPoint(13, 13), QPoint(1, 13)}));
    else
        g.drawRect(1, 6, 13, 7);
    return p;
}

}  // namespace

QPixmap closedFolderGlyph() {
    return folder(false);
}
QPixmap openFolderGlyph() {
    return folder(true);
}

QIcon folderIcon() {
    QIcon icon;
    icon.addPixmap(closedFolderGlyph(), QIcon::Normal);
    icon.addPixmap(openFolderGlyph(), QIcon::Selected);
    return icon;
}

}  // namespace velmora
