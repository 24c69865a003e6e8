#include "reports/TFrmkhhzresult.h"

#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"

namespace velmora {

TFrmkhhzresult::TFrmkhhzresult(QWidget* owner, ClientSession& /*session*/) : SummaryResultForm(owner) {
    setObjectName(QStringLiteral("Frmkhhzresult"));
    setCaption(QStringLiteral("客户业务汇总查询结果"));
    setFrameSize(544, 386);
    DBNavigator1->setFlat(true);
    DBGrid1->setColumns({
        {QStringLiteral("khname"), QStringLiteral("客户名称"), 105, false},
        {QStringLiteral("chname"), QStringLiteral("存货名称"), 105, false},
        {QStringLiteral("sl"), QStringLiteral("数量"), -1, false},
        {QStringLiteral("je"), QStringLiteral("金额"), -1, false},
    });
    bindTo(&DataSourcehz);
    setReportTitle(QStringLiteral("客户销量汇总表"), "sl", "je");
}

}  // namespace velmora
