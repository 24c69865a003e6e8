#pragma once

#include "widgets/Panel.h"

namespace velmora {

// The lower navigation panel. Its pictures and labels take the mouse movements over them for
// themselves, so what reaches the panel is a movement over its bare background.
class NavPanel : public Panel {
    Q_OBJECT

  public:
    explicit NavPanel(QWidget* parent);

  signals:
    void backgroundMouseMoved();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};

}  // namespace velmora
