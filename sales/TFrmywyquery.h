#pragma once

#include "DialogForm.h"

class QListWidget;

namespace velmora {

class BitBtn;

// The salesman picker: a list of "code name" lines; the chosen code goes into the invoicing
// window's salesman code box. One instance, created hidden at start-up and reused.
class TFrmywyquery : public DialogForm {
    Q_OBJECT

  public:
    TFrmywyquery();

    QListWidget* ListBox1 = nullptr;
    BitBtn* BitBtn1 = nullptr;  // OK
    BitBtn* BitBtn2 = nullptr;  // Cancel
};

inline TFrmywyquery* Frmywyquery = nullptr;

}  // namespace velmora
