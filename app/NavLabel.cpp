#include "app/NavLabel.h"

#include <QMouseEvent>

#include "widgets/Accessibility.h"
#include "widgets/Colors.h"

namespace velmora {

NavLabel::NavLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    setMouseTracking(true);
    describeAsClickable(this);
    setHighlighted(false);
}

void NavLabel::setHighlighted(bool on) {
    highlighted_ = on;
    QFont f = font();
    f.setUnderline(on);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, on ? QColor(0, 0, 255) : clWindowText());
    setPalette(p);
    setCursor(on ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void NavLabel::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit mouseMoved();
}

void NavLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void NavLabel::mouseReleaseEvent(QMouseEvent* event) {
    bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) emit clicked();
}

}  // namespace velmora
