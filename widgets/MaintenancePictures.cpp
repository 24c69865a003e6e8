#include "widgets/MaintenancePictures.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

#include "widgets/ButtonKeys.h"
#include "widgets/ErrorGuard.h"

namespace velmora {

namespace {

void drawInsert(QPainter& g) {
    g.setPen(QPen(QColor(0, 128, 0), 3, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(8, 3), QPointF(8, 13));
    g.drawLine(QPointF(3, 8), QPointF(13, 8));
}

void drawEdit(QPainter& g) {
    g.setPen(QPen(QColor(60, 60, 60), 1));
    g.setBrush(QColor(240, 200, 60));
    QPolygonF pencil({{3, 13}, {4, 10}, {11, 3}, {13, 5}, {6, 12}});
    g.drawPolygon(pencil);
}

void drawDelete(QPainter& g) {
    g.setPen(QPen(QColor(200, 0, 0), 2.6, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(3.5, 3.5), QPointF(12.5, 12.5));
    g.drawLine(QPointF(12.5, 3.5), QPointF(3.5, 12.5));
}

void drawCancel(QPainter& g) {
    g.setPen(QPen(QColor(0, 70, 170), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath back;
    back.moveTo(13, 12);
    back.cubicTo(13, 5, 8, 4, 4, 6);
    g.drawPath(back);
    g.drawLine(QPointF(4, 6), QPointF(7, 3));
    g.drawLine(QPointF(4, 6), QPointF(7.5, 8));
}

void drawSave(QPainter& g) {
    g.setPen(QPen(QColor(30, 30, 90), 1));
    g.setBrush(QColor(70, 90, 170));
    g.drawRect(QRectF(2.5, 2.5, 11, 11));
    g.setBrush(Qt::white);
    g.drawRect(QRectF(4.5, 2.5, 7, 4));
    g.setBrush(QColor(200, 200, 200));
    g.drawRect(QRectF(5.5, 9.5, 5, 4));
}

void drawRefresh(QPainter& g) {
    g.setPen(QPen(QColor(0, 128, 0), 2, Qt::SolidLine, Qt::RoundCap));
    g.drawArc(QRectF(3, 3, 10, 10), 60 * 16, 280 * 16);
    g.setBrush(QColor(0, 128, 0));
    g.setPen(Qt::NoPen);
    g.drawPolygon(QPolygonF({{9, 1}, {14, 3}, {10, 6.5}}));
}

void drawExit(QPainter& g) {
    g.setPen(QPen(QColor(90, 60, 30), 1));
    g.setBrush(QColor(170, 120, 60));
    g.drawRect(QRectF(3.5, 1.5, 7, 13));
    g.setPen(QPen(QColor(200, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(8, 8), QPointF(14, 8));
    g.drawLine(QPointF(14, 8), QPointF(12, 6));
    g.drawLine(QPointF(14, 8), QPointF(12, 10));
}

void drawPrint(QPainter& g) {
    g.setPen(QPen(QColor(60, 60, 60), 1));
    g.setBrush(Qt::white);
    g.drawRect(QRectF(4.5, 1.5, 7, 5));
    g.setBrush(QColor(150, 150, 160));
    g.drawRect(QRectF(1.5, 6.5, 13, 6));
    g.setBrush(Qt::white);
    g.drawRect(QRectF(4.5, 10.5, 7, 4));
}

// A line of a grid with a sign beside it: green plus to add one, red minus to delete one.
void drawLine(QPainter& g, bool add) {
    g.setPen(QPen(QColor(60, 60, 60), 1));
    g.setBrush(QColor(255, 255, 225));
    g.drawRect(QRectF(1.5, 5.5, 9, 5));
    QColor sign = add ? QColor(0, 128, 0) : QColor(200, 0, 0);
    g.setPen(QPen(sign, 2.4, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(10, 8), QPointF(15, 8));
    if (add) g.drawLine(QPointF(12.5, 5.5), QPointF(12.5, 10.5));
}

// A round seal, as an approver stamps an order: red and ticked when given, grey and struck
// through when withdrawn.
void drawSeal(QPainter& g, bool given) {
    const QColor ink = given ? QColor(200, 20, 20) : QColor(120, 120, 120);
    g.setPen(QPen(ink, 1.6));
    g.setBrush(given ? QColor(255, 235, 235) : QColor(235, 235, 235));
    g.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    if (given) {
        g.setPen(QPen(ink, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        g.drawPolyline(QPolygonF({{4.5, 8.5}, {7, 11}, {11.5, 5}}));
    } else {
        g.setPen(QPen(QColor(200, 0, 0), 2.2, Qt::SolidLine, Qt::RoundCap));
        g.drawLine(QPointF(3.5, 12.5), QPointF(12.5, 3.5));
    }
}

// A brass key: a password set anew.
void drawKey(QPainter& g) {
    g.setPen(QPen(QColor(120, 90, 20), 1.2));
    g.setBrush(QColor(230, 190, 60));
    g.drawEllipse(QRectF(1.5, 1.5, 7, 7));
    g.setBrush(Qt::white);
    g.drawEllipse(QRectF(3.5, 3.5, 2.5, 2.5));
    g.setPen(QPen(QColor(120, 90, 20), 2.2, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(7.5, 7.5), QPointF(14, 14));
    g.drawLine(QPointF(11, 11), QPointF(13, 9));
    g.drawLine(QPointF(13, 13), QPointF(14.5, 11.5));
}

// A padlock, closed to keep a user out, open to let the user in again.
void drawLock(QPainter& g, bool closed) {
    g.setPen(QPen(QColor(90, 90, 100), 1.8));
    g.setBrush(Qt::NoBrush);
    if (closed)
        g.drawArc(QRectF(4.5, 1.5, 7, 9), 0, 180 * 16);
    else
        g.drawArc(QRectF(7.5, 0.5, 7, 9), 0, 180 * 16);
    g.setPen(QPen(QColor(90, 60, 10), 1));
    g.setBrush(closed ? QColor(200, 150, 40) : QColor(120, 180, 90));
    g.drawRect(QRectF(2.5, 6.5, 11, 8));
    g.setBrush(QColor(60, 40, 10));
    g.drawEllipse(QRectF(7, 9, 2, 2));
}

// A clock face: what happened to a record, and when.
void drawClock(QPainter& g) {
    g.setPen(QPen(QColor(30, 60, 120), 1.4));
    g.setBrush(QColor(235, 242, 255));
    g.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    g.setPen(QPen(QColor(30, 60, 120), 1));
    for (int hour = 0; hour < 12; hour += 3) {
        g.save();
        g.translate(8, 8);
        g.rotate(hour * 30.0);
        g.drawLine(QPointF(0, -5.5), QPointF(0, -4.5));
        g.restore();
    }
    g.setPen(QPen(QColor(20, 20, 20), 1.6, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(8, 8), QPointF(8, 4));
    g.setPen(QPen(QColor(200, 0, 0), 1.4, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(8, 8), QPointF(11, 10));
}

}  // namespace

QIcon maintenanceIcon(MaintenancePicture picture) {
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
        case MaintenancePicture::Insert:
            drawInsert(g);
            break;
        case MaintenancePicture::Edit:
            drawEdit(g);
            break;
        case MaintenancePicture::Delete:
            drawDelete(g);
            break;
        case MaintenancePicture::Cancel:
            drawCancel(g);
            break;
        case MaintenancePicture::Save:
            drawSave(g);
            break;
        case MaintenancePicture::Refresh:
            drawRefresh(g);
            break;
        case MaintenancePicture::Exit:
            drawExit(g);
            break;
        case MaintenancePicture::Print:
            drawPrint(g);
            break;
        case MaintenancePicture::InsertLine:
            drawLine(g, true);
            break;
        case MaintenancePicture::DeleteLine:
            drawLine(g, false);
            break;
        case MaintenancePicture::Approve:
            drawSeal(g, true);
            break;
        case MaintenancePicture::Withdraw:
            drawSeal(g, false);
            break;
        case MaintenancePicture::Password:
            drawKey(g);
            break;
        case MaintenancePicture::Disable:
            drawLock(g, true);
            break;
        case MaintenancePicture::Enable:
            drawLock(g, false);
            break;
        case MaintenancePicture::History:
            drawClock(g);
            break;
    }
    g.end();
    return QIcon(p);
}

QToolButton* pictureButton(QWidget* parent, const char* name, const QString& caption,
                           MaintenancePicture picture) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setIcon(maintenanceIcon(picture));
    button->setIconSize(QSize(16, 16));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    // Never focused, so pressed from the keyboard by its key.
    giveButtonKey(button);
    return button;
}

void fillButtonBar(QWidget* bar, std::initializer_list<BarButton> buttons, int minimumWidth) {
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(2);
    for (const BarButton& b : buttons) {
        b.button = pictureButton(bar, b.name, QString::fromUtf8(b.caption), b.picture);
        b.button->setMinimumWidth(minimumWidth);
        QObject::connect(b.button, &QToolButton::clicked, bar, guardedSlot(b.click));
        row->addWidget(b.button);
    }
    row->addStretch(1);
}

}  // namespace velmora
