#pragma once

#include "DialogForm.h"

namespace velmora {

class BitBtn;

// The customer sales summary query: the criteria dialog, created at start-up and reused.
class TFrmkhhzquery : public DialogForm {
    Q_OBJECT

  public:
    TFrmkhhzquery();

    BitBtn* BitBtn1 = nullptr;  // OK
    BitBtn* BitBtn2 = nullptr;  // Cancel
};

inline TFrmkhhzquery* Frmkhhzquery = nullptr;

}  // namespace velmora
