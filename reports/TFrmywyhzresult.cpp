#include "reports/TFrmywyhzresult.h"

#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"

namespace velmora {

TFrmywyhzresult::TFrmywyhzresult(QWidget* owner, ClientSession& /*session*/) : SummaryResultForm(owner) {
    setObjectName(QStringLiteral("Frmywyhzresult"));
    setCaption(QStringLiteral("业务员销量汇总查询结果"));
    setFrameSize(544, 386);
    DBNavigator1->setFlat(true);
    DBGrid1->setColumns({
        {QStringLiteral("ywyid"), QStringLiteral("业务员编号"), 105, false},
        {QStringLiteral("ywyname"), QStringLiteral("业务员名称"), 105, false},
        {QStringLiteral("sl"), QStringLiteral("数量"), -1, false},
        {QStringLiteral("je"), QStringLiteral("金额"), -1, false},
        {QStringLiteral("djs"), QStringLiteral("单据数"), -1, false},
    });
    useListColours();
    bindTo(&DataSourcehz);
    setReportTitle(QStringLiteral("业务员销量汇总表"), "sl", "je");
}

}  // namespace velmora
