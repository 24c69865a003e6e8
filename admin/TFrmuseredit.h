#pragma once
// The dialog of one user in user management: a new user (name, role, rights, the password typed
// twice), a user's role and rights, or a user's new password.

#include <array>

#include "admin/UserList.h"
#include "widgets/DialogForm.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace velmora {

class TFrmuseredit : public DialogForm {
    Q_OBJECT

  public:
    enum class Mode { Add, Change, Password };

    explicit TFrmuseredit(QWidget* parent = nullptr);

    // Shows the dialog for mode (user: the one changed; ignored when adding) and returns mrOk
    // once the boxes hold a valid answer, mrCancel otherwise.
    int Ask(Mode mode, const UserEntry& user = {});

    // The answer, after Ask returned mrOk. rights holds the role.
    QString userName() const;
    UserRights rights() const;
    QString password() const;

    QLabel* Label1 = nullptr;
    QLineEdit* Edit1 = nullptr;  // the name
    QLabel* Label2 = nullptr;
    QComboBox* ComboBox1 = nullptr;          // the role
    QGroupBox* GroupBox1 = nullptr;          // the rights
    std::array<QCheckBox*, 6> CheckBoxes{};  // a tick per right, in the order of UserRights::kEvery
    QLabel* Label3 = nullptr;
    QLineEdit* Edit2 = nullptr;  // the password
    QLabel* Label4 = nullptr;
    QLineEdit* Edit3 = nullptr;  // its confirmation
    BitBtn* BitBtn1 = nullptr;   // OK
    BitBtn* BitBtn2 = nullptr;   // Cancel

    void BitBtn1Click();

  protected:
    void FormShow() override;

  private:
    // Ticks the role's preset rights.
    void RoleChanged();
    void showRights(const UserRights& rights);
    // The first fault of the answer, or empty when there is none.
    QString fault() const;

    Mode mode_ = Mode::Add;
};

}  // namespace velmora
