#pragma once

#include "MdiChildForm.h"

namespace velmora {

// The customer sales summary result window. A child window of the main window, created by its query dialog;
// it maximises itself when activated.
class TFrmkhhzresult : public MdiChildForm {
    Q_OBJECT

  public:
    explicit TFrmkhhzresult(QWidget* owner);

  protected:
    void FormActivate() override { Maximize(); }
};

inline TFrmkhhzresult* Frmkhhzresult = nullptr;

}  // namespace velmora
