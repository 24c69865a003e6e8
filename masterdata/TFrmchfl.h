#pragma once

#include "MdiChildForm.h"

namespace velmora {

// The inventory category window: the two-level category tree. A child window of the main window, at most one
// open; it maximises itself when activated.
class TFrmchfl : public MdiChildForm {
    Q_OBJECT

  public:
    explicit TFrmchfl(QWidget* owner);

  protected:
    void FormActivate() override { Maximize(); }
};

inline TFrmchfl* Frmchfl = nullptr;

}  // namespace velmora
