// The invoicing window's order actions: add, modify, save, cancel, delete, and the header boxes.
#include <QKeyEvent>
#include <QToolButton>
#include <memory>

#include "data/Tdm.h"
#include "sales/InvoiceSheet.h"
#include "sales/OrderStatements.h"
#include "sales/TFrmkhquery.h"
#include "sales/TFrmkp.h"
#include "sales/TFrmywyquery.h"
#include "session/ClientSession.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/DatePicker.h"
#include "widgets/MessageService.h"
#include "widgets/PrintPreview.h"
#include "widgets/PrintSheet.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

const QString kCaption = QStringLiteral("Velmora系统");

void inform(const QString& text, const QString& caption = kCaption) {
    MessageService::messageBox(text, caption, MB_OK | MB_ICONINFORMATION);
}

}  // namespace

void TFrmkp::n_insertClick() {
    IsInserting = true;
    ToggleEditState();
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    tb.setFilter("");
    tb.setFiltered(true);
    tb.Insert();
    dm.ClientDataSetxsdtbusername().setAsString(toStdString(session_.CurrentUserName));
    DBEdit1->setFocus();
    dm.ClientDataSetxsdtbrq().setAsString(toStdString(todayText()));
}

bool TFrmkp::currentOrderApproved() {
    Field& ischeck = dm.ClientDataSetxsdtbischeck();
    return !ischeck.IsNull() && ischeck.AsBoolean();
}

void TFrmkp::n_editClick() {
    IsInserting = false;
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    if (tb.RecordCount() == 0) {
        inform(QStringLiteral("没有记录不能编辑"));
        return;
    }
    if (currentOrderApproved()) {
        inform(QStringLiteral("此单据已审核，不能编辑"), QString());
        return;
    }
    tb.Edit();
    ToggleEditState();
    DBEdit1->setEnabled(false);
}

void TFrmkp::n_saveClick() {
    if (!commitGridEditor()) return;
    if (IsInserting && storedOrders().count(orderNumberQuery(toStdString(DBEdit1->text()))) > 0) {
        inform(QStringLiteral("销售发票号重复"));
        return;
    }
    dm.ClientDataSetxsdzb.First();  // stores a line still pending in the grid
    alignLineNumbers();
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    tb.Post();
    tb.ApplyUpdates(-1);
    // Whatever failed above is still in the log and is sent once more; what fails again is counted.
    int errors = tb.ApplyUpdates(-1);
    if (errors > 0) MessageService::showMessage(QStringLiteral("提交时产生%1条错误!").arg(errors));
    ToggleEditState();
    DBEdit1->setEnabled(false);
}

void TFrmkp::alignLineNumbers() {
    // A line takes the number its header had when the line was added; the number may have been
    // typed or changed since, and lines made with the grid's own keys start without one.
    const Variant number = dm.ClientDataSetxsdtbxsdid().Value();
    ClientDataSet& lines = dm.ClientDataSetxsdzb;
    if (lines.IsEmpty()) return;
    lines.First();
    while (!lines.Eof()) {
        Field& xsdid = lines.FieldByName("xsdid");
        if (xsdid.Value() != number) {
            lines.Edit();
            xsdid.setValue(number);
            lines.Post();
        }
        lines.Next();
    }
    lines.First();
}

void TFrmkp::n_cancelClick() {
    discardGridEditor();
    dm.ClientDataSetxsdtb.CancelUpdates();
    ToggleEditState();
    DBEdit1->setEnabled(false);
}

void TFrmkp::n_deleteClick() {
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    if (tb.RecordCount() == 0) {
        inform(QStringLiteral("没有记录可删除"));
        return;
    }
    // The server refuses it too: an approved order is locked until its approval is withdrawn.
    if (currentOrderApproved()) {
        inform(QStringLiteral("此单据已审核，不能删除"), QString());
        return;
    }
    if (MessageService::messageBox(QStringLiteral("请确认是否要删除"), kCaption,
                                   MB_YESNO | MB_ICONINFORMATION) != MessageButton::Yes)
        return;
    std::string number = dm.ClientDataSetxsdtbxsdid().AsString();
    tb.Delete();
    // The server removes the order's lines with it; a failure is shown and ends the deletion here.
    tb.ApplyUpdates(0);
    // The order's stored lines are deleted as well, should any be left; the server removes them
    // with the order, so there are none to send as a rule.
    storedLines().read(orderLinesQuery(number), [](ClientDataSet& lines) {
        for (int i = 0, n = lines.RecordCount(); i < n; ++i) lines.Delete();
        if (lines.ChangeCount() > 0) lines.ApplyUpdates(0);
    });
}

ProviderProbe TFrmkp::storedOrders() {
    return ProviderProbe(dm.ClientDataSetxsdtb2, session_.providerSource(), "select * from xsdtb");
}

ProviderProbe TFrmkp::storedLines() {
    return ProviderProbe(dm.ClientDataSetxsdzb2, session_.providerSource(), "select * from xsdzb");
}

void TFrmkp::n_printClick() {
    // What is printed is the order as stored: one being entered or changed is saved first.
    ClientDataSet& headers = dm.ClientDataSetxsdtb;
    if (editing_ || headers.State() == DataSetState::Edit || headers.State() == DataSetState::Insert ||
        headers.ChangeCount() > 0) {
        inform(QStringLiteral("单据尚未保存，请先保存再打印。"));
        return;
    }
    if (headers.RecordCount() == 0) {
        inform(QStringLiteral("没有记录可打印"));
        return;
    }
    showPrintPreview(invoiceSheet(dm), this);
}

void TFrmkp::n_exitClick() {
    Close();
}

bool TFrmkp::DBEdit1KeyPress(QKeyEvent& key) {
    if (isEnterKey(key)) DBEdit2->setFocus();
    return false;
}

bool TFrmkp::DBEdit2KeyPress(QKeyEvent& key) {
    if (isEnterKey(key)) DBEdit3->setFocus();
    return false;
}

bool TFrmkp::DBEdit3KeyPress(QKeyEvent& key) {
    if (!isEnterKey(key)) return false;
    if (lookUpCode(DBEdit3, customerLookupQuery(toStdString(DBEdit3->text())), "khname", DBEdit4,
                   QStringLiteral("你输入的客户代码不正确")))
        DBEdit5->setFocus();
    return false;
}

bool TFrmkp::DBEdit5KeyPress(QKeyEvent& key) {
    if (!isEnterKey(key)) return false;
    if (lookUpCode(DBEdit5, salesmanLookupQuery(toStdString(DBEdit5->text())), "ywyname", DBEdit6,
                   QStringLiteral("你输入的业务员代码不正确")))
        DBGrid1->setFocus();
    return false;
}

bool TFrmkp::lookUpCode(DBEdit* box, const std::string& sql, const char* nameField, DBEdit* nameBox,
                        const QString& unknownText) {
    // Customer and salesman codes alike travel through ClientDataSetkh, which keeps the result.
    ClientDataSet& kh = dm.ClientDataSetkh;
    kh.Close();
    kh.setCommandText("");
    kh.setCommandText(sql);
    kh.Open();
    if (kh.RecordCount() == 0) {
        MessageService::messageDlg(unknownText, DialogKind::Error, MessageButtons::Ok);
        box->setText(QString());
        return false;
    }
    kh.First();
    nameBox->setText(toQString(kh.FieldByName(nameField).AsString()));
    return true;
}

void TFrmkp::DBEdit3DblClick() {
    auto picker = std::make_unique<TFrmkhquery>(this, session_);
    if (picker->ShowModal() == mrOk) DBEdit3->setText(session_.PickedCustomerCode);
}

void TFrmkp::DBEdit5DblClick() {
    if (!Frmywyquery) return;
    Frmywyquery->ShowModal();
    // Only the code: the name follows when Enter is pressed in the box.
    if (std::optional<QString> code = Frmywyquery->chosenCode()) DBEdit5->setText(*code);
}

}  // namespace velmora
