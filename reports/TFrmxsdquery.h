#pragma once

#include "DialogForm.h"

namespace velmora {

class BitBtn;

// The sales order list query: the criteria dialog, created at start-up and reused.
class TFrmxsdquery : public DialogForm {
    Q_OBJECT

  public:
    TFrmxsdquery();

    BitBtn* BitBtn1 = nullptr;  // OK
    BitBtn* BitBtn2 = nullptr;  // Cancel
};

inline TFrmxsdquery* Frmxsdquery = nullptr;

}  // namespace velmora
