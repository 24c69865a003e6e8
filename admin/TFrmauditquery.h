#pragma once
// The audit log query dialog (系统管理 → 操作日志), for a user with the right view_audit.

#include "widgets/DialogForm.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;

namespace velmora {

class ClientSession;
class Panel;

// The criteria: the local days from and to (the last seven days at first), the user (empty for
// all), the action and the table (全部 for all) and part of the record's key. OK asks the server
// and shows the rows in the result window; the dialog stays open when the server refuses.
class TFrmauditquery : public DialogForm {
    Q_OBJECT

  public:
    explicit TFrmauditquery(ClientSession& session);

    QLabel* Label14 = nullptr;  // heading
    Panel* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QDateEdit* dp1 = nullptr;  // from
    QLabel* Label9 = nullptr;
    QDateEdit* dp2 = nullptr;  // to
    QLabel* Label2 = nullptr;
    QComboBox* ComboBox1 = nullptr;  // user
    QLabel* Label3 = nullptr;
    QComboBox* ComboBox2 = nullptr;  // action, with the stored name as item data
    QLabel* Label4 = nullptr;
    QComboBox* ComboBox3 = nullptr;  // table, with the stored name as item data
    QLabel* Label5 = nullptr;
    QLineEdit* Edit1 = nullptr;  // key contains
    BitBtn* BitBtn1 = nullptr;   // OK
    BitBtn* BitBtn2 = nullptr;   // Cancel

    void BitBtn1Click();

  protected:
    // Fills the user list.
    void FormShow() override;

  private:
    void buildCriteria();
    std::vector<std::string> criteriaLines() const;

    ClientSession& session_;
};

inline TFrmauditquery* Frmauditquery = nullptr;

}  // namespace velmora
