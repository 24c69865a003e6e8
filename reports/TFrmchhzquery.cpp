#include "reports/TFrmchhzquery.h"

#include <memory>

#include "reports/SqlText.h"
#include "reports/SummaryStatement.h"
#include "reports/TFrmchhzresult.h"
#include "sales/TfrmClbm_Fzlr.h"
#include "session/ClientSession.h"
#include "widgets/Text.h"

namespace velmora {

TFrmchhzquery::TFrmchhzquery(ClientSession& session)
    : SummaryQueryForm(session, {QStringLiteral("存货销售量汇总查询"),
                                 QStringLiteral("存货销售量汇总查询条件选择"), QStringLiteral("存货编号："),
                                 QStringLiteral("只要双击存货编号输入框，即可弹出代码参照界面。")}) {
    setObjectName(QStringLiteral("Frmchhzquery"));
}

std::optional<QString> TFrmchhzquery::pickCode() {
    auto picker = std::make_unique<TfrmClbm_Fzlr>(session_, this);
    if (picker->ShowModal() != mrOk || session_.PickedItems.empty()) return std::nullopt;
    // The picker selects many; the summary takes one item, the first selected.
    return toQString(std::string(trimmedText(session_.PickedItems.front().chid)));
}

const SummaryShape& TFrmchhzquery::shape() const {
    return kItemSummary;
}

SummaryResultForm* TFrmchhzquery::resultWindow() {
    return session_.ShowOrCreateForm(Frmchhzresult, this);
}

}  // namespace velmora
