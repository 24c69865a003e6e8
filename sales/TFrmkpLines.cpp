// The invoicing window's order lines: adding lines from the item picker, deleting a line, and
// the amount and price derived on Enter.
#include <QKeyEvent>
#include <memory>

#include "data/Tdm.h"
#include "sales/LineAmounts.h"
#include "sales/OrderStatements.h"
#include "sales/TFrmkp.h"
#include "sales/TfrmClbm_Fzlr.h"
#include "session/ClientSession.h"
#include "widgets/DBEdit.h"
#include "widgets/DBGrid.h"
#include "widgets/MessageService.h"
#include "widgets/Text.h"

namespace velmora {

namespace {

const QString kCaption = QStringLiteral("Velmora系统");

// Grid columns of the numbers.
constexpr int kQuantityColumn = 4;
constexpr int kPriceColumn = 5;
constexpr int kAmountColumn = 6;

}  // namespace

void TFrmkp::n_insertoneClick() {
    if (DBGrid1->columnReadOnly(2)) {
        MessageService::messageBox(QStringLiteral("请在添加或编辑状态下添加物资"), kCaption,
                                   MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (!commitGridEditor()) return;
    {
        auto picker = std::make_unique<TfrmClbm_Fzlr>(session_);
        frmClbm_Fzlr = picker.get();
        picker->ShowModal();
        frmClbm_Fzlr = nullptr;
    }
    for (const PickedItem& item : session_.PickedItems) addPickedLine(item);
}

void TFrmkp::addPickedLine(const PickedItem& item) {
    // Only lines stored on the server are checked: lines added since the last save are not there.
    if (storedLines().count(orderItemLinesQuery(dm.ClientDataSetxsdtbxsdid().AsString(), item.chid)) > 0) {
        MessageService::messageBox(
            QStringLiteral("已有存货编号为") + toQString(item.chid) + QStringLiteral("的物资"), kCaption,
            MB_OK | MB_ICONINFORMATION);
        return;
    }
    ClientDataSet& lines = dm.ClientDataSetxsdzb;
    lines.Insert();
    lines.FieldByName("chid").setAsString(item.chid);
    lines.FieldByName("chname").setAsString(item.chname);
    lines.FieldByName("ggxh").setAsString(item.ggxh);
    lines.FieldByName("jldw").setAsString(item.jldw);
    lines.FieldByName("xsdid").setValue(dm.ClientDataSetxsdtbxsdid().Value());
    lines.Post();
}

void TFrmkp::n_deleteoneClick() {
    ClientDataSet& lines = dm.ClientDataSetxsdzb;
    if (lines.RecordCount() == 0) {
        MessageService::messageBox(QStringLiteral("没有记录可删除"), kCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (!commitGridEditor()) return;
    if (MessageService::messageBox(QStringLiteral("请确认是否要删除"), kCaption,
                                   MB_YESNO | MB_ICONINFORMATION) == MessageButton::Yes)
        lines.Delete();
}

bool TFrmkp::DBGrid1KeyPress(QKeyEvent& key, int column) {
    if (!isEnterKey(key)) return false;
    // Amounts are derived only while the order is open for changes: a browsed order stays as stored.
    if (DBGrid1->ReadOnly()) return false;
    ClientDataSet& lines = dm.ClientDataSetxsdzb;
    if (!lines.Active() || lines.IsEmpty()) return false;
    auto write = [&lines](const char* field, const std::string& text) {
        if (lines.State() == DataSetState::Browse) lines.Edit();
        lines.FieldByName(field).setAsString(text);
    };
    switch (column) {
        case kQuantityColumn:
            DBGrid1->setSelectedIndex(kPriceColumn);
            return true;
        case kPriceColumn:
            write("money1",
                  amountText(lines.FieldByName("quantity1").Value(), lines.FieldByName("price1").Value()));
            DBGrid1->setSelectedIndex(kAmountColumn);
            return true;
        case kAmountColumn:
            write("price1",
                  priceText(lines.FieldByName("money1").Value(), lines.FieldByName("quantity1").Value()));
            DBGrid1->setSelectedIndex(kPriceColumn);
            return true;
        default:
            return false;
    }
}

}  // namespace velmora
