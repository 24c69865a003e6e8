#include "reports/TFrmchhzquery.h"

#include "reports/CodePickers.h"
#include "reports/SummaryStatement.h"
#include "reports/TFrmchhzresult.h"
#include "session/ClientSession.h"

namespace velmora {

TFrmchhzquery::TFrmchhzquery(ClientSession& session)
    : SummaryQueryForm(session, {QStringLiteral("存货销售量汇总查询"),
                                 QStringLiteral("存货销售量汇总查询条件选择"), QStringLiteral("存货编号："),
                                 QStringLiteral("只要双击存货编号输入框，即可弹出代码参照界面。")}) {
    setObjectName(QStringLiteral("Frmchhzquery"));
}

std::optional<QString> TFrmchhzquery::pickCode() {
    return pickItemCode(session_, this);
}

const SummaryShape& TFrmchhzquery::shape() const {
    return kItemSummary;
}

SummaryResultForm* TFrmchhzquery::resultWindow() {
    return session_.ShowOrCreateForm(Frmchhzresult, this);
}

}  // namespace velmora
