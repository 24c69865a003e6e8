#include "admin/TFrmusers.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "admin/TFrmuseredit.h"
#include "session/ClientSession.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"
#include "transport/SocketConnection.h"
#include "widgets/Colors.h"
#include "widgets/ErrorGuard.h"
#include "widgets/FailureText.h"
#include "widgets/Fonts.h"
#include "widgets/MaintenancePictures.h"
#include "widgets/MessageService.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

const QString kCaption = QStringLiteral("用户管理");

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

}  // namespace

TFrmusers::TFrmusers(QWidget* owner, ClientSession& session) : MdiChildForm(owner), session_(session) {
    setObjectName(QStringLiteral("Frmusers"));
    setCaption(kCaption);
    setFont(songFont(12));
    setFrameSize(640, 400);
    buildToolBar();
    buildGrid();
    Frmuseredit = new TFrmuseredit(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(UserGrid, 1);
}

void TFrmusers::buildToolBar() {
    Panel1 = new Panel(this, Panel::Bevel::Raised);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(34);
    using P = MaintenancePicture;
    fillButtonBar(Panel1,
                  {
                      {n_add, "n_add", "增加", P::Insert, [this] { n_addClick(); }},
                      {n_change, "n_change", "修改", P::Edit, [this] { n_changeClick(); }},
                      {n_password, "n_password", "重设口令", P::Password, [this] { n_passwordClick(); }},
                      {n_enable, "n_enable", "停用", P::Disable, [this] { n_enableClick(); }},
                      {n_remove, "n_remove", "删除", P::Delete, [this] { n_removeClick(); }},
                      {n_refresh, "n_refresh", "刷新", P::Refresh, [this] { n_refreshClick(); }},
                      {n_exit, "n_exit", "退出", P::Exit, [this] { n_exitClick(); }},
                  });
}

void TFrmusers::buildGrid() {
    UserGrid = new QTableWidget(0, 4, this);
    UserGrid->setObjectName(QStringLiteral("UserGrid"));
    UserGrid->setAccessibleName(QStringLiteral("用户"));
    UserGrid->setHorizontalHeaderLabels(
        {QStringLiteral("用户名"), QStringLiteral("角色"), QStringLiteral("权限"), QStringLiteral("状态")});
    UserGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    UserGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    UserGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    UserGrid->verticalHeader()->setVisible(false);
    UserGrid->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    UserGrid->setColumnWidth(0, 120);
    UserGrid->setColumnWidth(1, 90);
    UserGrid->setColumnWidth(3, 60);
    connect(UserGrid, &QTableWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    connect(UserGrid, &QTableWidget::cellDoubleClicked, this, guardedSlot([this] {
                if (n_change->isEnabled()) n_changeClick();
            }));
}

void TFrmusers::FormShow() {
    n_refreshClick();
}

const UserEntry* TFrmusers::selectedUser() const {
    const int row = UserGrid->currentRow();
    if (row < 0 || row >= static_cast<int>(users_.size()) || !UserGrid->item(row, 0)->isSelected())
        return nullptr;
    return &users_[static_cast<size_t>(row)];
}

void TFrmusers::selectUser(const QString& name) {
    int row = 0;
    for (size_t i = 0; i < users_.size(); ++i)
        if (users_[i].name == name) row = static_cast<int>(i);
    if (!users_.empty()) UserGrid->selectRow(row);
    UpdateButtons();
}

void TFrmusers::n_refreshClick() {
    const UserEntry* selected = selectedUser();
    const QString keep = selected ? selected->name : QString();
    users_ = parseUserList(toQString(session_.SocketConnection1().getServer()->GetUsers()));
    showUsers();
    selectUser(keep);
}

void TFrmusers::showUsers() {
    const QSignalBlocker quiet(UserGrid);
    UserGrid->setRowCount(static_cast<int>(users_.size()));
    for (size_t i = 0; i < users_.size(); ++i) {
        const UserEntry& u = users_[i];
        const int row = static_cast<int>(i);
        UserGrid->setItem(row, 0, cell(u.name));
        UserGrid->setItem(row, 1, cell(UserRights::roleCaption(u.rights.role())));
        UserGrid->setItem(row, 2, cell(u.rights.captions()));
        QTableWidgetItem* state = cell(u.disabled ? QStringLiteral("停用") : QStringLiteral("正常"));
        if (u.disabled) state->setForeground(QColor(200, 0, 0));
        UserGrid->setItem(row, 3, state);
    }
}

void TFrmusers::UpdateButtons() {
    const UserEntry* u = selectedUser();
    const bool self = u && u->name == session_.CurrentUserName;
    for (QToolButton* b : {n_change, n_password}) b->setEnabled(u != nullptr);
    // Nobody disables or removes the own account; the server refuses it as well.
    n_enable->setEnabled(u && (u->disabled || !self));
    n_remove->setEnabled(u && !self);
    const bool disabled = u && u->disabled;
    n_enable->setText(disabled ? QStringLiteral("启用") : QStringLiteral("停用"));
    n_enable->setIcon(maintenanceIcon(disabled ? MaintenancePicture::Enable : MaintenancePicture::Disable));
}

bool TFrmusers::serve(const std::function<void(DispatchAppServer&)>& step) {
    try {
        step(*session_.SocketConnection1().getServer());
        return true;
    } catch (const RemoteError& refusal) {
        MessageService::messageBox(refusalText(refusal), kCaption, MB_OK | MB_ICONWARNING);
        n_refreshClick();
        return false;
    }
}

bool TFrmusers::confirm(const QString& question) const {
    return MessageService::messageBox(question, kCaption, MB_YESNO | MB_ICONQUESTION) == MessageButton::Yes;
}

void TFrmusers::n_addClick() {
    if (Frmuseredit->Ask(TFrmuseredit::Mode::Add) != mrOk) return;
    const QString name = Frmuseredit->userName();
    const UserRights rights = Frmuseredit->rights();
    // Rights equal to the role's preset are sent as none, so that the user follows the role.
    const QString adjusted = rights == UserRights::presetOf(rights.role()) ? QString() : rights.names();
    if (serve([&](DispatchAppServer& server) {
            server.CreateUser(toStdString(name), toStdString(rights.role()), toStdString(adjusted),
                              toStdString(Frmuseredit->password()));
        })) {
        n_refreshClick();
        selectUser(name);
    }
}

void TFrmusers::n_changeClick() {
    const UserEntry* u = selectedUser();
    if (!u || Frmuseredit->Ask(TFrmuseredit::Mode::Change, *u) != mrOk) return;
    const QString name = u->name;
    const UserRights rights = Frmuseredit->rights();
    const QString adjusted = rights == UserRights::presetOf(rights.role()) ? QString() : rights.names();
    if (serve([&](DispatchAppServer& server) {
            server.ChangeUser(toStdString(name), toStdString(rights.role()), toStdString(adjusted));
        }))
        n_refreshClick();
}

void TFrmusers::n_passwordClick() {
    const UserEntry* u = selectedUser();
    if (!u || Frmuseredit->Ask(TFrmuseredit::Mode::Password, *u) != mrOk) return;
    const QString name = u->name;
    if (serve([&](DispatchAppServer& server) {
            server.ResetUserPassword(toStdString(name), toStdString(Frmuseredit->password()));
        }))
        MessageService::messageBox(QStringLiteral("用户 %1 的口令已重新设置").arg(name), kCaption,
                                   MB_OK | MB_ICONINFORMATION);
}

void TFrmusers::n_enableClick() {
    const UserEntry* u = selectedUser();
    if (!u) return;
    const QString name = u->name;
    const bool enable = u->disabled;
    if (!enable &&
        !confirm(
            QStringLiteral("确认停用用户 %1 吗？停用后该用户不能登录，已登录的会话在其下一次操作时结束。")
                .arg(name)))
        return;
    if (serve([&](DispatchAppServer& server) { server.SetUserEnabled(toStdString(name), enable); }))
        n_refreshClick();
}

void TFrmusers::n_removeClick() {
    const UserEntry* u = selectedUser();
    if (!u) return;
    const QString name = u->name;
    if (!confirm(QStringLiteral("确认删除用户 %1 吗？").arg(name))) return;
    if (serve([&](DispatchAppServer& server) { server.RemoveUser(toStdString(name)); })) n_refreshClick();
}

void TFrmusers::n_exitClick() {
    Close();
}

}  // namespace velmora
