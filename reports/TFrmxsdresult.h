#pragma once

#include "MdiChildForm.h"

namespace velmora {

// The sales order list result window. A child window of the main window, created by its query dialog; it
// maximises itself when activated.
class TFrmxsdresult : public MdiChildForm {
    Q_OBJECT

  public:
    explicit TFrmxsdresult(QWidget* owner);

  protected:
    void FormActivate() override { Maximize(); }
};

inline TFrmxsdresult* Frmxsdresult = nullptr;

}  // namespace velmora
