#include "app/NavPanel.h"

#include <QMouseEvent>

namespace velmora {

NavPanel::NavPanel(QWidget* parent) : Panel(parent, Bevel::None, Bevel::Lowered) {
    setMouseTracking(true);
}

void NavPanel::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    emit backgroundMouseMoved();
}

}  // namespace velmora
