// The main window's first showing runs the login; closing it signs the login off.
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <memory>

#include "app/LoginValues.h"
#include "app/NavLabel.h"
#include "app/TFrmlogin.h"
#include "app/TMainForm.h"
#include "data/ClientDataSet.h"
#include "data/Tdm.h"
#include "transport/DispatchAppServer.h"
#include "widgets/ApplicationQuit.h"
#include "widgets/ErrorGuard.h"
#include "widgets/MessageService.h"
#include "widgets/Text.h"

namespace velmora {

void TMainForm::FormShow() {
    RunLogin();
}

void TMainForm::RunLogin() {
    if (!Frmlogin || !dm) return;
    int result = Frmlogin->ShowModal();
    // Cancel, or a dialog closed with no user name, has already ended the program.
    if (ApplicationTerminated() || result != mrOk) return;

    QString user = Frmlogin->ComboBox1->currentText();
    QString password = Frmlogin->Edit1->text();
    if (user.isEmpty() || password.isEmpty()) {
        MessageService::showMessage(QStringLiteral("未选择用户名或未输入密码"));
        TerminateApplication();
        return;
    }

    // Both values go into the statement as typed, quotes doubled, blanks kept.
    ClientDataSet& hz = dm->ClientDataSethz;
    bool found = false;
    bool asked = guarded([&] {
        hz.Close();
        hz.setCommandText("");
        hz.setCommandText(toStdString(QStringLiteral("select * from user1 where username='") +
                                      sqlEscaped(user) + QStringLiteral("'") +
                                      QStringLiteral("and password1=") + QStringLiteral("'") +
                                      sqlEscaped(password) + QStringLiteral("'")));
        hz.Open();
        found = hz.RecordCount() > 0;
    });
    // The statement holds the password: the dataset keeps its row, not the text.
    hz.setCommandText("");
    if (!asked) {
        // The server refused the query; there is no second attempt.
        TerminateApplication();
        return;
    }
    if (!found) {
        MessageService::showMessage(QStringLiteral("口令不正确"));
        TerminateApplication();
        return;
    }

    Session.CurrentUserName = user;
    LearnUserRights();
    delete Frmlogin;
    Frmlogin = nullptr;

    LoginUserName = toStdString(Session.CurrentUserName);
    LoginComputerName = GetLocalComputerName();
    LoginAddress = GetLocalAddress();
    // A failure here is reported and the login stands; without the server time AddUser is not sent.
    guarded([this] {
        std::shared_ptr<DispatchAppServer> server = SocketConnection1.getServer();
        Variant time;
        server->GetSysTime(time);
        LoginServerTime = time.toString();
        server->AddUser(LoginComputerName, LoginAddress, LoginUserName, LoginServerTime);
    });
    showEncryptionMark(EncryptionLabel, SocketConnection1);
    PrepareReconnect();
    OfferOrderDraft();
}

void TMainForm::LearnUserRights() {
    // What the user may do only decides what is offered; the server refuses the rest whatever the
    // client shows, so an answer that does not come leaves everything offered.
    try {
        std::string role, rights;
        SocketConnection1.getServer()->GetUserRights(role, rights);
        Session.CurrentUserRights = UserRights::fromServer(toQString(role), toQString(rights));
    } catch (const std::exception&) {
        Session.CurrentUserRights = UserRights();  // a server without the member
    }
    ApplyUserRights();
}

void TMainForm::ApplyUserRights() {
    const bool reports = Session.CurrentUserRights.has(UserRight::ViewReports);
    for (QAction* report : {N10, N11, N13, N12, N20}) report->setEnabled(reports);
    // The navigation entries 销售单列表, 客户销量汇总 and 经营分析 perform the same items.
    for (NavLabel* label : {NavLabels[5], NavLabels[6], NavLabels[7]}) label->setEnabled(reports);
    N17->setEnabled(Session.CurrentUserRights.has(UserRight::ManageUsers));
    N19->setEnabled(Session.CurrentUserRights.has(UserRight::ManageUsers));
    N18->setEnabled(Session.CurrentUserRights.has(UserRight::ViewAudit));
}

bool TMainForm::FormCloseQuery() {
    // With unsaved work, its question takes the place of the plain confirmation.
    switch (AskAboutUnsavedWork()) {
        case UnsavedWork::KeepWorking:
            return false;
        case UnsavedWork::Quit:
            break;
        case UnsavedWork::None:
            if (MessageService::messageBox(QStringLiteral("请确认是否退出本系统"), QStringLiteral("提示信息"),
                                           MB_YESNO | MB_ICONINFORMATION) != MessageButton::Yes)
                return false;
            break;
    }
    // Signing off never holds up the exit.
    try {
        SocketConnection1.getServer()->DelUser(LoginComputerName, LoginAddress, LoginUserName,
                                               LoginServerTime);
    } catch (...) {
    }
    return true;
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    TerminateApplication();
}

}  // namespace velmora
