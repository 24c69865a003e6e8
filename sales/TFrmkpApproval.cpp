// The invoicing window's approval: 审核 and 弃审 of the order shown, its history, and the order
// buttons that follow the user's rights and the order's state. The server checks every approval
// and every reading of the audit trail itself; the buttons only spare the user a refusal.
#include <QToolButton>

#include "audit/TFrmhistory.h"
#include "data/DataSetFollower.h"
#include "data/Tdm.h"
#include "sales/OrderStatements.h"
#include "sales/TFrmkp.h"
#include "session/ClientSession.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"
#include "transport/SocketConnection.h"
#include "widgets/FailureText.h"
#include "widgets/MessageService.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

const QString kCaption = QStringLiteral("Velmora系统");

}  // namespace

TFrmkp::~TFrmkp() = default;

void TFrmkp::followOrders() {
    follower_ = std::make_unique<DataSetFollower>(dm.ClientDataSetxsdtb, [this] { UpdateOrderButtons(); });
    UpdateOrderButtons();
}

void TFrmkp::UpdateOrderButtons() {
    const UserRights& rights = session_.CurrentUserRights;
    ClientDataSet& headers = dm.ClientDataSetxsdtb;
    const bool browsing = !editing_ && headers.Active() && headers.State() == DataSetState::Browse;
    const bool shown = browsing && !headers.IsEmpty();
    const bool approved = shown && currentOrderApproved();
    const bool approver = rights.has(UserRight::Approve);
    n_approve->setEnabled(shown && approver && !approved);
    n_withdraw->setEnabled(shown && approver && approved);
    n_history->setEnabled(shown && mayReadHistory(session_));
    // 册除 itself follows the edit state; the right only takes it away.
    if (!rights.has(UserRight::DeleteOrders)) n_delete->setEnabled(false);
}

void TFrmkp::n_approveClick() {
    changeApproval(true, QStringLiteral("确认审核此单据吗？"));
}

void TFrmkp::n_withdrawClick() {
    changeApproval(false, QStringLiteral("确认弃审此单据吗？"));
}

void TFrmkp::n_historyClick() {
    ClientDataSet& headers = dm.ClientDataSetxsdtb;
    if (editing_ || headers.State() != DataSetState::Browse || headers.IsEmpty()) return;
    HistorySubject subject;
    subject.table = "xsdtb";
    subject.key = dm.ClientDataSetxsdtbxsdid().AsString();
    // The lines as the grid shows them now: "第2行" is the second line there.
    ClientDataSet& lines = dm.ClientDataSetxsdzb;
    Field* lineId = lines.Active() ? lines.FindField("lineid") : nullptr;
    if (lineId) {
        Field* name = lines.FindField("chname");
        Field* code = lines.FindField("chid");
        for (int row = 0; row < lines.RecordCount(); ++row) {
            std::string item = name ? lines.textAt(row, name->Index()) : std::string();
            if (item.empty() && code) item = lines.textAt(row, code->Index());
            subject.lines.addCurrent(lines.textAt(row, lineId->Index()), row + 1, item);
        }
    }
    showRecordHistory(session_, this, subject);
}

void TFrmkp::changeApproval(bool approve, const QString& question) {
    ClientDataSet& headers = dm.ClientDataSetxsdtb;
    if (editing_ || headers.State() != DataSetState::Browse || headers.IsEmpty()) return;
    if (MessageService::messageBox(question, kCaption, MB_YESNO | MB_ICONINFORMATION) != MessageButton::Yes)
        return;
    const std::string number = dm.ClientDataSetxsdtbxsdid().AsString();
    try {
        std::shared_ptr<DispatchAppServer> server = session_.SocketConnection1().getServer();
        if (approve)
            server->ApproveOrder(number);
        else
            server->WithdrawApproval(number);
    } catch (const RemoteError& refusal) {
        // Another approver may have been first: what is stored now is shown with the reason.
        refetchApproval(number);
        MessageService::messageBox(refusalText(refusal), kCaption, MB_OK | MB_ICONWARNING);
        return;
    }
    refetchApproval(number);
}

void TFrmkp::refetchApproval(const std::string& number) {
    storedOrders().read(orderNumberQuery(number), [&](ClientDataSet& stored) {
        ClientDataSet& headers = dm.ClientDataSetxsdtb;
        // The user stays on the order; only its approval columns change, nothing is logged for them.
        if (stored.IsEmpty() || headers.IsEmpty() || headers.State() != DataSetState::Browse ||
            dm.ClientDataSetxsdtbxsdid().AsString() != number)
            return;
        const Variant ischeck = stored.FieldByName("ischeck").Value();
        const bool approved = !ischeck.isNull() && !ischeck.isEmpty() && ischeck.toBool();
        headers.TakeServerValues(
            {{"ischeck", Variant(approved)}, {"shrname", stored.FieldByName("shrname").Value()}});
    });
}

}  // namespace velmora
