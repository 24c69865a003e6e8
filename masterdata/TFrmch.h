#pragma once

#include "MdiChildForm.h"

namespace velmora {

// The inventory item window: items listed per category. A child window of the main window, at most one open;
// it maximises itself when activated.
class TFrmch : public MdiChildForm {
    Q_OBJECT

  public:
    explicit TFrmch(QWidget* owner);

  protected:
    void FormActivate() override { Maximize(); }
};

inline TFrmch* Frmch = nullptr;

}  // namespace velmora
