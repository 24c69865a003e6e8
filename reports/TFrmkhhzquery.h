#pragma once
// The customer sales summary query dialog.

#include "widgets/DialogForm.h"

class QDateEdit;
class QFrame;
class QLabel;
class QLineEdit;

namespace velmora {

class BitBtn;
class ClientSession;

// The customer sales summary query: the criteria dialog, created at start-up and reused. OK
// totals quantity and amount per customer and item and shows them in the result window.
class TFrmkhhzquery : public DialogForm {
    Q_OBJECT

  public:
    explicit TFrmkhhzquery(ClientSession& session);

    QLabel* Label3 = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* Label1 = nullptr;
    QDateEdit* dp1 = nullptr;  // first date
    QLabel* Label9 = nullptr;
    QDateEdit* dp2 = nullptr;  // last date
    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;  // customer code
    QLabel* Label4 = nullptr;
    BitBtn* BitBtn1 = nullptr;  // OK
    BitBtn* BitBtn2 = nullptr;  // Cancel

    // Opens the customer picker and takes the code chosen.
    void Edit1DblClick();
    // Runs the summary, shows the result window and ends the dialog.
    void BitBtn1Click();

  protected:
    // Empties the customer code; the dates stay.
    void FormShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    ClientSession& session_;
};

inline TFrmkhhzquery* Frmkhhzquery = nullptr;

}  // namespace velmora
