#pragma once
// The password change dialog.

#include "widgets/DialogForm.h"

class QLabel;
class QLineEdit;

namespace velmora {

class BitBtn;
class Tdm;

// The password change: the new password typed twice; when both agree, the logged-in user's row
// of user1 gets it. Created at start-up and reused; each showing starts with empty boxes.
class TFrmchangepassword : public DialogForm {
    Q_OBJECT

  public:
    explicit TFrmchangepassword(Tdm& module, QWidget* parent = nullptr);

    QLabel* Label2 = nullptr;
    QLineEdit* Edit1 = nullptr;  // the new password
    QLabel* Label1 = nullptr;
    QLineEdit* Edit2 = nullptr;  // its confirmation
    BitBtn* BitBtn1 = nullptr;   // OK
    BitBtn* BitBtn2 = nullptr;   // Cancel

    void BitBtn1Click();

  protected:
    void FormShow() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Tdm& dm_;
};

inline TFrmchangepassword* Frmchangepassword = nullptr;

}  // namespace velmora
