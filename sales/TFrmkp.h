#pragma once

#include "MdiChildForm.h"

namespace velmora {

// The invoicing window, a child window of the main window, at most one open.
class TFrmkp : public MdiChildForm {
    Q_OBJECT

  public:
    explicit TFrmkp(QWidget* owner);

  protected:
    void FormActivate() override { Maximize(); }
};

inline TFrmkp* Frmkp = nullptr;

}  // namespace velmora
