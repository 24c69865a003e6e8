#pragma once
// The customer picker.

#include <QString>

#include "widgets/DialogForm.h"

class QLabel;
class QListWidget;

namespace velmora {

class BitBtn;
class ClientSession;
class Panel;

// The customer picker: a list of "code name" lines read from the server each time it is shown.
// The caller creates one per use, shows it modally and frees it; a result of mrOk means the code
// chosen is in the session's PickedCustomerCode.
class TFrmkhquery : public DialogForm {
    Q_OBJECT

  public:
    TFrmkhquery(QWidget* owner, ClientSession& session);

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

    ClientSession& session_;
};

}  // namespace velmora
