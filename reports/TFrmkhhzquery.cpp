#include "reports/TFrmkhhzquery.h"

#include "reports/CodePickers.h"
#include "reports/SummaryStatement.h"
#include "reports/TFrmkhhzresult.h"
#include "session/ClientSession.h"

namespace velmora {

TFrmkhhzquery::TFrmkhhzquery(ClientSession& session)
    : SummaryQueryForm(session, {QStringLiteral("客户销售量汇总查询"),
                                 QStringLiteral("客户销售量汇总查询条件选择"), QStringLiteral("客户编号："),
                                 QStringLiteral("只要双击客户编号输入框，即可弹出代码参照界面。")}) {
    setObjectName(QStringLiteral("Frmkhhzquery"));
}

std::optional<QString> TFrmkhhzquery::pickCode() {
    return pickCustomerCode(session_, this);
}

const SummaryShape& TFrmkhhzquery::shape() const {
    return kCustomerSummary;
}

SummaryResultForm* TFrmkhhzquery::resultWindow() {
    return session_.ShowOrCreateForm(Frmkhhzresult, this);
}

}  // namespace velmora
