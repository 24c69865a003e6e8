#pragma once
// The sales order list query dialog.

#include "widgets/DialogForm.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;

namespace velmora {

class BitBtn;
class ClientSession;
class Panel;
struct ListCriteria;

// The sales order list query: the criteria dialog, created at start-up and reused. OK selects the
// order lines and their totals and shows them in the result window.
class TFrmxsdquery : public DialogForm {
    Q_OBJECT

  public:
    explicit TFrmxsdquery(ClientSession& session);

    QLabel* Label14 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label15 = nullptr;
    Panel* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QDateEdit* dp1 = nullptr;  // business date from
    QLabel* Label9 = nullptr;
    QDateEdit* dp2 = nullptr;  // business date to
    QLabel* Label2 = nullptr;
    QLineEdit* Edit3 = nullptr;  // invoice number from
    QLabel* Label10 = nullptr;
    QLineEdit* Edit4 = nullptr;  // invoice number to
    QLabel* Label3 = nullptr;
    QLineEdit* Edit5 = nullptr;  // customer code
    QLabel* Label13 = nullptr;
    QComboBox* ComboBox1 = nullptr;  // issued by
    QLabel* Label6 = nullptr;
    QLineEdit* Edit8 = nullptr;  // quantity from
    QLabel* Label11 = nullptr;
    QLineEdit* Edit9 = nullptr;  // quantity to
    QLabel* Label5 = nullptr;
    QLineEdit* Edit7 = nullptr;  // item code
    QLabel* Label4 = nullptr;
    QLineEdit* Edit6 = nullptr;  // salesman code
    QLabel* Label7 = nullptr;
    QLineEdit* Edit10 = nullptr;  // amount from
    QLabel* Label12 = nullptr;
    QLineEdit* Edit11 = nullptr;  // amount to
    QLabel* Label16 = nullptr;
    QComboBox* ComboBox2 = nullptr;  // 审核状态: 全部, 已审核, 未审核
    BitBtn* BitBtn1 = nullptr;       // OK
    BitBtn* BitBtn2 = nullptr;       // Cancel

    // Runs the query and ends the dialog; a bound that is no number is reported instead and the
    // dialog stays open as it was.
    void BitBtn1Click();

  protected:
    // Fills the user list.
    void FormShow() override;

  private:
    ClientSession& session_;

    void buildHeading();
    void buildCriteria();
    ListCriteria criteria() const;
    void clearCriteria();
};

inline TFrmxsdquery* Frmxsdquery = nullptr;

}  // namespace velmora
