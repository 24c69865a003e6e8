#include "reports/TFrmywyhzquery.h"

#include "reports/CodePickers.h"
#include "reports/SummaryStatement.h"
#include "reports/TFrmywyhzresult.h"
#include "session/ClientSession.h"

namespace velmora {

TFrmywyhzquery::TFrmywyhzquery(ClientSession& session)
    : SummaryQueryForm(
          session, {QStringLiteral("业务员销售量汇总查询"), QStringLiteral("业务员销售量汇总查询条件选择"),
                    QStringLiteral("业务员编号："),
                    QStringLiteral("只要双击业务员编号输入框，即可弹出代码参照界面。")}) {
    setObjectName(QStringLiteral("Frmywyhzquery"));
}

std::optional<QString> TFrmywyhzquery::pickCode() {
    return pickSalesmanCode();
}

const SummaryShape& TFrmywyhzquery::shape() const {
    return kSalesmanSummary;
}

SummaryResultForm* TFrmywyhzquery::resultWindow() {
    return session_.ShowOrCreateForm(Frmywyhzresult, this);
}

}  // namespace velmora
