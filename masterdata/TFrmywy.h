#pragma once

#include "MdiChildForm.h"

namespace velmora {

// The salesman window. A child window of the main window, at most one open; it maximises itself when
// activated.
class TFrmywy : public MdiChildForm {
    Q_OBJECT

  public:
    explicit TFrmywy(QWidget* owner);

  protected:
    void FormActivate() override { Maximize(); }
};

inline TFrmywy* Frmywy = nullptr;

}  // namespace velmora
