#pragma once

#include <QString>

#include "DialogForm.h"

class QLabel;
class QListWidget;

namespace velmora {

class BitBtn;
class Panel;

// The customer picker: a list of "code name" lines read from the server each time it is shown.
// The caller creates one per use, shows it modally and frees it; a result of mrOk means the code
// chosen is in PickedCustomerCode.
class TFrmkhquery : public DialogForm {
    Q_OBJECT

  public:
    explicit TFrmkhquery(QWidget* owner);

    Panel* Panel1 = nullptr;  // upper: the list
    Panel* Panel2 = nullptr;  // lower: hint and buttons
    QListWidget* ListBox1 = nullptr;
    QLabel* Label1 = nullptr;
    BitBtn* BitBtn1 = nullptr;  // OK
    BitBtn* BitBtn2 = nullptr;  // Cancel

    void ListBox1DblClick();
    void BitBtn1Click();
    void BitBtn2Click();

  protected:
    void FormShow() override;

  private:
    void choose();
};

// The code of the customer chosen last; valid after a picker returned mrOk, kept until the next
// choice.
inline QString PickedCustomerCode;

}  // namespace velmora
