#include "widgets/Panel.h"

#include <QPainter>
#include <QStyle>

#include "widgets/Colors.h"
#include "widgets/VelmoraStyle.h"

namespace velmora {

Panel::Panel(QWidget* parent, Bevel outer, Bevel inner) : QFrame(parent), outer_(outer), inner_(inner) {
    setAutoFillBackground(true);
    setContentsMargins(bevelWidth(), bevelWidth(), bevelWidth(), bevelWidth());
}

void Panel::setBevels(Bevel outer, Bevel inner) {
    outer_ = outer;
    inner_ = inner;
    setContentsMargins(bevelWidth(), bevelWidth(), bevelWidth(), bevelWidth());
    update();
}

int Panel::bevelWidth() const {
    return (outer_ != Bevel::None ? 1 : 0) + (inner_ != Bevel::None ? 1 : 0);
}

void Panel::setColor(const QColor& color) {
    setControlColor(this, color);
}
QColor Panel::Color() const {
    return controlColor(this);
}

void Panel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    QRect r = rect().adjusted(0, 0, -1, -1);
    // Under the flat look a raised bevel is left out; a lowered one, which the layouts name where
    // a panel has one, is kept.
    const bool flat = style()->styleHint(VelmoraStyle::SH_FlatPanels, nullptr, this) != 0;
    auto bevel = [&p, flat](QRect box, Bevel kind) {
        if (kind == Bevel::None || (flat && kind == Bevel::Raised)) return;
        QColor light(255, 255, 255);
        QColor dark(128, 128, 128);
        QColor topLeft = kind == Bevel::Raised ? light : dark;
        QColor bottomRight = kind == Bevel::Raised ? dark : light;
        p.setPen(topLeft);
        p.drawLine(box.topLeft(), box.topRight());
        p.drawLine(box.topLeft(), box.bottomLeft());
        p.setPen(bottomRight);
        p.drawLine(box.bottomLeft(), box.bottomRight());
        p.drawLine(box.topRight(), box.bottomRight());
    };
    bevel(r, outer_);
    if (outer_ != Bevel::None) r.adjust(1, 1, -1, -1);
    bevel(r, inner_);
}

}  // namespace velmora
