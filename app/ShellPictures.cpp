// The navigation panel's strip and icons, the login's row icons and the splash picture.
#include <QPainter>
#include <QPainterPath>

#include "app/Pictures.h"
#include "widgets/Fonts.h"

namespace velmora {

namespace {

QPixmap canvas(int w, int h) {
    QPixmap p(w, h);
    p.fill(Qt::transparent);
    return p;
}

void person(QPainter& g, QPointF at, qreal scale, const QColor& coat) {
    g.setPen(QPen(QColor(60, 40, 20), 1));
    g.setBrush(QColor(250, 215, 170));
    g.drawEllipse(QPointF(at.x(), at.y() - 7 * scale), 4.5 * scale, 4.5 * scale);
    g.setBrush(coat);
    QPainterPath body;
    body.moveTo(at.x() - 8 * scale, at.y() + 9 * scale);
    body.quadTo(at.x() - 8 * scale, at.y() - 2 * scale, at.x(), at.y() - 2 * scale);
    body.quadTo(at.x() + 8 * scale, at.y() - 2 * scale, at.x() + 8 * scale, at.y() + 9 * scale);
    body.closeSubpath();
    g.drawPath(body);
}

void padlock(QPainter& g, QRectF body) {
    g.setPen(QPen(QColor(110, 110, 120), 2.5));
    g.setBrush(Qt::NoBrush);
    QRectF shackle(body.left() + body.width() * 0.2, body.top() - body.height() * 0.7, body.width() * 0.6,
                   body.height() * 1.2);
    g.drawArc(shackle, 0, 180 * 16);
    g.setPen(QPen(QColor(130, 90, 0), 1));
    QLinearGradient gold(body.topLeft(), body.bottomRight());
    gold.setColorAt(0, QColor(255, 220, 90));
    gold.setColorAt(1, QColor(205, 150, 20));
    g.setBrush(gold);
    g.drawRoundedRect(body, 2, 2);
    g.setBrush(QColor(70, 50, 10));
    g.drawEllipse(QPointF(body.center().x(), body.center().y() - 1), 1.6, 1.6);
    g.drawRect(QRectF(body.center().x() - 0.6, body.center().y(), 1.2, 4));
}

void key(QPainter& g, QPointF ring, qreal size) {
    g.setPen(QPen(QColor(110, 80, 0), 1));
    g.setBrush(QColor(240, 195, 45));
    g.drawEllipse(ring, size * 0.28, size * 0.28);
    g.setBrush(Qt::white);
    g.drawEllipse(ring, size * 0.09, size * 0.09);
    g.setPen(QPen(QColor(200, 150, 20), size * 0.12, Qt::SolidLine, Qt::FlatCap));
    QPointF tip(ring.x() + size * 0.75, ring.y() + size * 0.75);
    g.drawLine(QPointF(ring.x() + size * 0.2, ring.y() + size * 0.2), tip);
    g.drawLine(QPointF(tip.x() - size * 0.15, tip.y() - size * 0.15),
               QPointF(tip.x() - size * 0.02, tip.y() - size * 0.3));
    g.drawLine(QPointF(tip.x() - size * 0.3, tip.y() - size * 0.3),
               QPointF(tip.x() - size * 0.17, tip.y() - size * 0.45));
}

}  // namespace

QPixmap navigationStrip(int width, int height) {
    QPixmap pix(width, height);
    QPainter g(&pix);
    QLinearGradient shade(0, 0, 0, height);
    shade.setColorAt(0, QColor(70, 60, 170));
    shade.setColorAt(1, QColor(150, 140, 230));
    g.fillRect(pix.rect(), shade);
    g.setPen(QColor(255, 255, 255, 90));
    g.drawLine(width - 1, 0, width - 1, height);
    g.setRenderHint(QPainter::TextAntialiasing);
    g.setPen(QColor(255, 255, 255));
    QFont font = songFont(14);
    font.setBold(true);
    g.setFont(font);
    // The caption reads from the bottom up, along the strip.
    g.translate(width / 2.0 + 5, height - 12);
    g.rotate(-90);
    g.drawText(QPointF(0, 0), QStringLiteral("Velmora 销售管理"));
    return pix;
}

QPixmap navigationIcon(NavigationPicture which) {
    QPixmap pix = canvas(32, 32);
    QPainter g(&pix);
    g.setRenderHint(QPainter::Antialiasing);
    switch (which) {
        case NavigationPicture::Password:
            padlock(g, QRectF(5, 14, 16, 13));
            key(g, QPointF(20, 9), 14);
            break;
        case NavigationPicture::Items: {
            // Stacked cartons.
            auto carton = [&g](QRectF r) {
                g.setPen(QPen(QColor(110, 70, 20), 1));
                g.setBrush(QColor(215, 165, 95));
                g.drawRect(r);
                g.fillRect(QRectF(r.center().x() - 1.5, r.top() + 0.5, 3, r.height() - 0.5),
                           QColor(240, 220, 170));
            };
            carton(QRectF(3.5, 16.5, 12, 12));
            carton(QRectF(16.5, 16.5, 12, 12));
            carton(QRectF(10, 4.5, 12, 12));
            break;
        }
        case NavigationPicture::Customers:
            person(g, QPointF(21, 17), 1.0, QColor(90, 150, 90));
            person(g, QPointF(12, 20), 1.1, QColor(60, 110, 200));
            break;
        case NavigationPicture::Salesmen:
            person(g, QPointF(14, 18), 1.2, QColor(70, 70, 90));
            g.setPen(QPen(QColor(90, 50, 20), 1));
            g.setBrush(QColor(150, 90, 40));
            g.drawRect(QRectF(19.5, 19.5, 10, 8));
            g.drawRect(QRectF(22.5, 17.5, 4, 2));
            g.setPen(QPen(QColor(200, 30, 30), 2));
            g.drawLine(QPointF(14, 16), QPointF(14, 22));
            break;
        case NavigationPicture::Invoice: {
            g.setPen(QPen(QColor(60, 60, 60), 1));
            g.setBrush(Qt::white);
            g.drawRect(QRectF(5.5, 2.5, 18, 26));
            g.setPen(QPen(QColor(150, 150, 150), 1));
            for (int y = 8; y <= 24; y += 4) g.drawLine(QPointF(8, y + 0.5), QPointF(21, y + 0.5));
            g.setPen(QPen(QColor(200, 30, 30), 1));
            g.setBrush(QColor(255, 235, 235));
            g.drawEllipse(QPointF(21, 22), 7, 7);
            g.setFont(songFont(11));
            g.setPen(QColor(200, 30, 30));
            g.drawText(QRectF(14, 15, 14, 14), Qt::AlignCenter, QStringLiteral("¥"));
            break;
        }
        case NavigationPicture::OrderList: {
            g.setPen(QPen(QColor(90, 60, 20), 1));
            g.setBrush(QColor(190, 140, 70));
            g.drawRoundedRect(QRectF(4.5, 4.5, 22, 26), 2, 2);
            g.setBrush(Qt::white);
            g.drawRect(QRectF(7.5, 8.5, 16, 20));
            g.setBrush(QColor(170, 170, 180));
            g.drawRoundedRect(QRectF(11.5, 2.5, 8, 4), 1, 1);
            for (int i = 0; i < 4; ++i) {
                qreal y = 12.5 + i * 4;
                g.fillRect(QRectF(9.5, y - 1, 2, 2), QColor(40, 90, 180));
                g.setPen(QPen(QColor(120, 120, 120), 1));
                g.drawLine(QPointF(13, y), QPointF(21.5, y));
            }
            break;
        }
        case NavigationPicture::Summary: {
            g.setPen(QPen(QColor(60, 60, 60), 1));
            g.drawLine(QPointF(4.5, 3), QPointF(4.5, 28.5));
            g.drawLine(QPointF(4.5, 28.5), QPointF(30, 28.5));
            const QColor colours[] = {QColor(60, 110, 200), QColor(220, 150, 30), QColor(60, 160, 80),
                                      QColor(200, 60, 60)};
            const qreal heights[] = {10, 18, 13, 22};
            for (int i = 0; i < 4; ++i) {
                g.setBrush(colours[i]);
                g.drawRect(QRectF(7.5 + i * 5.5, 28.5 - heights[i], 4, heights[i]));
            }
            break;
        }
        case NavigationPicture::Analysis: {
            // A pie with a slice drawn out, and a rising line over it.
            g.setPen(QPen(QColor(60, 60, 60), 1));
            g.setBrush(QColor(60, 110, 200));
            g.drawPie(QRectF(2.5, 10.5, 19, 19), 90 * 16, 250 * 16);
            g.setBrush(QColor(220, 150, 30));
            g.drawPie(QRectF(4.5, 8.5, 19, 19), 340 * 16, 110 * 16);
            g.setPen(QPen(QColor(200, 40, 40), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            g.setBrush(Qt::NoBrush);
            const QPointF line[] = {{14, 14}, {19, 9}, {23, 12}, {29, 3}};
            g.drawPolyline(line, 4);
            break;
        }
    }
    return pix;
}

QPixmap loginIcon(LoginPicture which) {
    QPixmap pix = canvas(32, 32);
    QPainter g(&pix);
    g.setRenderHint(QPainter::Antialiasing);
    switch (which) {
        case LoginPicture::Server: {
            // A monitor on a network line.
            g.setPen(QPen(QColor(50, 50, 60), 1));
            g.setBrush(QColor(200, 200, 205));
            g.drawRoundedRect(QRectF(3.5, 3.5, 25, 18), 2, 2);
            QLinearGradient screen(0, 5, 0, 19);
            screen.setColorAt(0, QColor(90, 160, 240));
            screen.setColorAt(1, QColor(30, 80, 170));
            g.setBrush(screen);
            g.drawRect(QRectF(6.5, 6.5, 19, 12));
            g.setBrush(QColor(170, 170, 175));
            g.drawRect(QRectF(13.5, 21.5, 5, 4));
            g.setPen(QPen(QColor(40, 120, 40), 2));
            g.drawLine(QPointF(2, 28), QPointF(30, 28));
            g.drawLine(QPointF(16, 25.5), QPointF(16, 28));
            break;
        }
        case LoginPicture::User:
            person(g, QPointF(16, 17), 1.3, QColor(60, 110, 200));
            break;
        case LoginPicture::Password:
            key(g, QPointF(9, 9), 26);
            break;
    }
    return pix;
}

QPixmap splashPicture() {
    const int w = 425;
    const int h = 279;
    QPixmap pix(w, h);
    QPainter g(&pix);
    g.setRenderHint(QPainter::Antialiasing);
    g.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, w, h);
    sky.setColorAt(0, QColor(24, 44, 110));
    sky.setColorAt(0.6, QColor(46, 94, 170));
    sky.setColorAt(1, QColor(80, 170, 200));
    g.fillRect(pix.rect(), sky);

    // A rising sales chart across the lower half.
    const qreal bars[] = {38, 54, 47, 70, 66, 92, 108};
    for (int i = 0; i < 7; ++i) {
        QRectF bar(210 + i * 28, h - 40 - bars[i], 18, bars[i]);
        QLinearGradient fill(bar.topLeft(), bar.bottomLeft());
        fill.setColorAt(0, QColor(255, 255, 255, 150));
        fill.setColorAt(1, QColor(255, 255, 255, 40));
        g.fillRect(bar, fill);
    }
    g.setPen(QPen(QColor(255, 210, 80), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPolygonF trend;
    for (int i = 0; i < 7; ++i) trend << QPointF(219 + i * 28, h - 52 - bars[i]);
    g.drawPolyline(trend);
    g.setBrush(QColor(255, 210, 80));
    for (const QPointF& p : trend) g.drawEllipse(p, 3.5, 3.5);
    g.setPen(QPen(QColor(255, 255, 255, 120), 1));
    g.drawLine(QPointF(20, h - 40.5), QPointF(w - 20, h - 40.5));

    // The program's name.
    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPixelSize(46);
    title.setBold(true);
    g.setFont(title);
    g.setPen(QColor(0, 0, 0, 90));
    g.drawText(QPointF(31, 81), QStringLiteral("Velmora"));
    g.setPen(Qt::white);
    g.drawText(QPointF(28, 78), QStringLiteral("Velmora"));
    QFont subtitle = songFont(24);
    g.setFont(subtitle);
    g.setPen(QColor(255, 225, 120));
    g.drawText(QPointF(30, 118), QStringLiteral("销售管理系统"));
    g.setFont(songFont(13));
    g.setPen(QColor(220, 230, 255));
    g.drawText(QPointF(30, 146), QStringLiteral("三层结构 · 客户端与应用服务器"));
    g.setFont(songFont(12));
    g.setPen(QColor(255, 255, 255, 200));
    g.drawText(QPointF(30, h - 16), QStringLiteral("正在启动，请稍候……"));
    g.drawText(QRectF(w - 160, h - 28, 140, 16), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("版本 " VELMORA_VERSION));

    g.setPen(QPen(QColor(255, 255, 255, 160), 1));
    g.setBrush(Qt::NoBrush);
    g.drawRect(QRectF(0.5, 0.5, w - 1, h - 1));
    return pix;
}

}  // namespace velmora
