#pragma once
// The user management window (系统管理 → 用户管理), for a user with the right manage_users: every
// user with role, rights and state; adding, changing, a new password, disabling and enabling,
// removing. Everything goes through the server, which checks each step itself and refuses what
// it must (the last administrator, oneself); the window shows its reasons.

#include <vector>

#include "admin/UserList.h"
#include "widgets/MdiChildForm.h"

class QTableWidget;
class QToolButton;

namespace velmora {

class ClientSession;
class DispatchAppServer;
class Panel;
class TFrmuseredit;

class TFrmusers : public MdiChildForm {
    Q_OBJECT

  public:
    TFrmusers(QWidget* owner, ClientSession& session);

    Panel* Panel1 = nullptr;  // the button bar
    QToolButton* n_add = nullptr;
    QToolButton* n_change = nullptr;
    QToolButton* n_password = nullptr;
    QToolButton* n_enable = nullptr;  // 停用 for an enabled user, 启用 for a disabled one
    QToolButton* n_remove = nullptr;
    QToolButton* n_refresh = nullptr;
    QToolButton* n_exit = nullptr;
    QTableWidget* UserGrid = nullptr;  // 用户名, 角色, 权限, 状态
    TFrmuseredit* Frmuseredit = nullptr;

    void n_addClick();
    void n_changeClick();
    void n_passwordClick();
    void n_enableClick();
    void n_removeClick();
    // Reads the list again; the user selected stays selected while there.
    void n_refreshClick();
    void n_exitClick();

    // The users as last read, in the server's order.
    const std::vector<UserEntry>& users() const { return users_; }
    // The user selected, or null.
    const UserEntry* selectedUser() const;
    // Selects the row of name (the first row when there is none of that name).
    void selectUser(const QString& name);

  protected:
    void FormShow() override;

  private:
    void buildToolBar();
    void buildGrid();
    void showUsers();
    // Offers what the selected row allows.
    void UpdateButtons();
    // Runs step against the server; a refusal is shown with the server's reason and the list is
    // read again, as it may have changed meanwhile. Returns whether the step was served.
    bool serve(const std::function<void(DispatchAppServer&)>& step);
    bool confirm(const QString& question) const;

    ClientSession& session_;
    std::vector<UserEntry> users_;
};

inline TFrmusers* Frmusers = nullptr;

}  // namespace velmora
