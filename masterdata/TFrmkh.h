#pragma once

#include "MdiChildForm.h"

namespace velmora {

// The customer window. A child window of the main window, at most one open; it maximises itself when
// activated.
class TFrmkh : public MdiChildForm {
    Q_OBJECT

  public:
    explicit TFrmkh(QWidget* owner);

  protected:
    void FormActivate() override { Maximize(); }
};

inline TFrmkh* Frmkh = nullptr;

}  // namespace velmora
