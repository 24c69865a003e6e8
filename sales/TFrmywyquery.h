#pragma once

#include "DialogForm.h"

class QListWidget;

namespace velmora {

class BitBtn;

// The salesman picker: a list of "code name" lines read from the server each time it is shown;
// the chosen code goes straight into the salesman code box of the open invoicing window. One
// instance, created hidden at start-up and reused.
class TFrmywyquery : public DialogForm {
    Q_OBJECT

  public:
    TFrmywyquery();

    QListWidget* ListBox1 = nullptr;
    BitBtn* BitBtn1 = nullptr;  // OK
    BitBtn* BitBtn2 = nullptr;  // Cancel

    void ListBox1DblClick();
    void BitBtn1Click();

  protected:
    void FormShow() override;

  private:
    void choose();
};

inline TFrmywyquery* Frmywyquery = nullptr;

}  // namespace velmora
