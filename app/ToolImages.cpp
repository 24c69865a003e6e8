// The main window's image list and the program icon.
#include <QPainter>
#include <QPainterPath>

#include "app/Pictures.h"

namespace velmora {

namespace {

const QColor kInk(40, 40, 40);
const QColor kPaper(255, 255, 255);
const QColor kBlue(40, 90, 180);
const QColor kPaleBlue(170, 200, 240);

QPixmap canvas(int size = 16) {
    QPixmap p(size, size);
    p.fill(Qt::transparent);
    return p;
}

// A sheet of paper with a folded corner.
void page(QPainter& g, QRectF r) {
    QPainterPath path;
    path.moveTo(r.left(), r.top());
    path.lineTo(r.right() - 3, r.top());
    path.lineTo(r.right(), r.top() + 3);
    path.lineTo(r.right(), r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.closeSubpath();
    g.setPen(QPen(kInk, 1));
    g.setBrush(kPaper);
    g.drawPath(path);
    g.drawLine(QPointF(r.right() - 3, r.top()), QPointF(r.right() - 3, r.top() + 3));
    g.drawLine(QPointF(r.right() - 3, r.top() + 3), QPointF(r.right(), r.top() + 3));
}

void textLines(QPainter& g, QRectF r, int count) {
    g.setPen(QPen(QColor(120, 120, 120), 1));
    for (int i = 0; i < count; ++i) {
        qreal y = r.top() + 3.5 + i * 2;
        g.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
    }
}

// A small window frame with a blue title bar.
void window(QPainter& g, QRectF r) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(kPaper);
    g.drawRect(r);
    g.fillRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width(), 2.5), kBlue);
}

void floppy(QPainter& g) {
    g.setPen(QPen(kInk, 1));
    g.setBrush(kBlue);
    g.drawRect(QRectF(1.5, 1.5, 13, 13));
    g.setBrush(kPaper);
    g.drawRect(QRectF(4.5, 1.5, 7, 5));
    g.fillRect(QRectF(9, 2.5, 2, 3), kInk);
    g.setBrush(QColor(220, 220, 220));
    g.drawRect(QRectF(3.5, 9.5, 9, 5));
}

QPixmap draw(int index) {
    QPixmap pix = canvas();
    QPainter g(&pix);
    g.setRenderHint(QPainter::Antialiasing,
                    index == 0 || index == 4 || index == 5 || index == 12 || index == 13);
    switch (index) {
        case 0: {  // cut: scissors
            g.setPen(QPen(kInk, 1.3));
            g.drawLine(QPointF(4, 1), QPointF(10, 10));
            g.drawLine(QPointF(12, 1), QPointF(6, 10));
            g.setPen(QPen(QColor(190, 30, 30), 1.6));
            g.setBrush(Qt::NoBrush);
            g.drawEllipse(QPointF(4.5, 12), 2.5, 2.5);
            g.drawEllipse(QPointF(11.5, 12), 2.5, 2.5);
            break;
        }
        case 1:  // copy: two sheets
            page(g, QRectF(1.5, 1.5, 8, 10));
            textLines(g, QRectF(1.5, 1.5, 8, 10), 3);
            page(g, QRectF(6.5, 4.5, 8, 10));
            textLines(g, QRectF(6.5, 4.5, 8, 10), 4);
            break;
        case 2:  // paste: clipboard with a sheet
            g.setPen(QPen(kInk, 1));
            g.setBrush(QColor(180, 130, 60));
            g.drawRect(QRectF(1.5, 2.5, 10, 12));
            g.setBrush(QColor(200, 200, 200));
            g.drawRect(QRectF(4.5, 1.5, 4, 2));
            page(g, QRectF(6.5, 5.5, 8, 9));
            textLines(g, QRectF(6.5, 5.5, 8, 9), 3);
            break;
        case 3:  // delete: a sheet with a red cross
            page(g, QRectF(1.5, 1.5, 10, 13));
            g.setPen(QPen(QColor(200, 0, 0), 2));
            g.drawLine(QPointF(6, 7), QPointF(14, 15));
            g.drawLine(QPointF(14, 7), QPointF(6, 15));
            break;
        case 4:  // find: magnifying glass
            g.setPen(QPen(kInk, 1.5));
            g.setBrush(kPaleBlue);
            g.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
            g.setPen(QPen(QColor(120, 70, 20), 3, Qt::SolidLine, Qt::RoundCap));
            g.drawLine(QPointF(10, 10), QPointF(14, 14));
            break;
        case 5: {  // exit: a door and a green arrow leaving it
            g.setPen(QPen(kInk, 1));
            g.setBrush(QColor(150, 95, 45));
            g.drawRect(QRectF(1.5, 1.5, 7, 13));
            g.setBrush(QColor(240, 200, 60));
            g.drawEllipse(QPointF(6.5, 8.5), 0.8, 0.8);
            g.setPen(QPen(QColor(0, 140, 0), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            g.drawLine(QPointF(8, 8), QPointF(14, 8));
            g.drawLine(QPointF(11.5, 5.5), QPointF(14, 8));
            g.drawLine(QPointF(11.5, 10.5), QPointF(14, 8));
            break;
        }
        case 6:  // new: an empty sheet
            page(g, QRectF(2.5, 1.5, 11, 13));
            break;
        case 7:  // open: an open yellow folder
            g.setPen(QPen(QColor(128, 96, 0), 1));
            g.setBrush(QColor(230, 184, 40));
            g.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(5.5, 3.5), QPointF(6.5, 5), QPointF(12.5, 5),
                                     QPointF(12.5, 13.5), QPointF(1.5, 13.5)}));
            g.setBrush(QColor(255, 222, 90));
            g.drawPolygon(
                QPolygonF({QPointF(4, 7.5), QPointF(15.5, 7.5), QPointF(12.5, 13.5), QPointF(1.5, 13.5)}));
            break;
        case 8:  // save: floppy disk
            floppy(g);
            break;
        case 9:  // save as: floppy disk and a pencil
            floppy(g);
            g.setPen(QPen(QColor(200, 120, 0), 2));
            g.drawLine(QPointF(9, 15), QPointF(15, 9));
            break;
        case 10: {  // card index: a record card with a person
            g.setPen(QPen(kInk, 1));
            g.setBrush(QColor(250, 240, 200));
            g.drawRect(QRectF(1.5, 3.5, 13, 10));
            g.setBrush(kBlue);
            g.drawEllipse(QRectF(3, 5, 4, 4));
            g.drawRect(QRectF(2.5, 9.5, 5, 3));
            g.setPen(QPen(QColor(120, 120, 120), 1));
            for (int y = 6; y <= 12; y += 3) g.drawLine(9, y, 13, y);
            break;
        }
        case 11:  // print preview: a sheet under a magnifier
            page(g, QRectF(1.5, 1.5, 10, 13));
            textLines(g, QRectF(1.5, 1.5, 10, 13), 5);
            g.setPen(QPen(kInk, 1));
            g.setBrush(kPaleBlue);
            g.drawEllipse(QRectF(7.5, 6.5, 6, 6));
            g.drawLine(12, 12, 15, 15);
            break;
        case 12: {  // undo: a curved arrow
            g.setPen(QPen(kBlue, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            g.setBrush(Qt::NoBrush);
            QPainterPath arc;
            arc.moveTo(4, 6);
            arc.cubicTo(10, 2, 16, 8, 10, 14);
            g.drawPath(arc);
            g.drawLine(QPointF(4, 6), QPointF(4.5, 1.5));
            g.drawLine(QPointF(4, 6), QPointF(8.5, 6.5));
            break;
        }
        case 13: {  // key
            g.setPen(QPen(QColor(120, 90, 0), 1));
            g.setBrush(QColor(235, 190, 40));
            g.drawEllipse(QRectF(1, 1, 7, 7));
            g.setBrush(QColor(255, 255, 255));
            g.drawEllipse(QRectF(3, 3, 2, 2));
            g.setPen(QPen(QColor(120, 90, 0), 2, Qt::SolidLine, Qt::FlatCap));
            g.drawLine(QPointF(7, 7), QPointF(14.5, 14.5));
            g.drawLine(QPointF(11, 11), QPointF(13, 9));
            g.drawLine(QPointF(13, 13), QPointF(15, 11));
            break;
        }
        case 14:  // printer
            g.setPen(QPen(kInk, 1));
            page(g, QRectF(4.5, 1.5, 7, 6));
            g.setPen(QPen(kInk, 1));
            g.setBrush(QColor(190, 190, 190));
            g.drawRect(QRectF(1.5, 6.5, 13, 6));
            g.setBrush(kPaper);
            g.drawRect(QRectF(4.5, 11.5, 7, 3));
            g.fillRect(QRectF(11.5, 8, 1.5, 1.5), QColor(0, 170, 0));
            break;
        case 15:  // tile horizontally: two windows one above the other
            window(g, QRectF(1.5, 1.5, 13, 6));
            window(g, QRectF(1.5, 8.5, 13, 6));
            break;
        case 16:  // tile vertically: two windows side by side
            window(g, QRectF(1.5, 1.5, 6, 13));
            window(g, QRectF(8.5, 1.5, 6, 13));
            break;
        case 17:  // cascade: overlapping windows
            window(g, QRectF(1.5, 1.5, 9, 8));
            window(g, QRectF(3.5, 4.5, 9, 8));
            window(g, QRectF(5.5, 7.5, 9, 7));
            break;
        default:
            break;
    }
    return pix;
}

}  // namespace

std::vector<QIcon> mainImageList() {
    std::vector<QIcon> images;
    images.reserve(kMainImageCount);
    for (int i = 0; i < kMainImageCount; ++i) images.emplace_back(draw(i));
    return images;
}

QPixmap programIconPixmap(int size) {
    QPixmap pix = canvas(size);
    QPainter g(&pix);
    g.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 32-unit grid, so that every size is the same picture.
    g.scale(size / 32.0, size / 32.0);
    // A blue ledger with a gold "V" on its cover.
    QLinearGradient cover(0, 0, 32, 32);
    cover.setColorAt(0, QColor(60, 110, 200));
    cover.setColorAt(1, QColor(25, 55, 130));
    g.setPen(QPen(QColor(15, 30, 80), 1));
    g.setBrush(cover);
    g.drawRoundedRect(QRectF(4.5, 2.5, 24, 27), 3, 3);
    g.fillRect(QRectF(5, 3, 4, 26), QColor(20, 40, 100));
    g.setPen(QPen(QColor(250, 205, 60), 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    g.drawPolyline(QPolygonF({QPointF(12, 9), QPointF(18, 23), QPointF(24, 9)}));
    return pix;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : kProgramIconSizes) icon.addPixmap(programIconPixmap(size));
    return icon;
}

}  // namespace velmora
