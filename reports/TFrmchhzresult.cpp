#include "reports/TFrmchhzresult.h"

#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"

namespace velmora {

TFrmchhzresult::TFrmchhzresult(QWidget* owner, ClientSession& /*session*/) : SummaryResultForm(owner) {
    setObjectName(QStringLiteral("Frmchhzresult"));
    setCaption(QStringLiteral("存货销量汇总查询结果"));
    setFrameSize(544, 386);
    DBNavigator1->setFlat(true);
    DBGrid1->setColumns({
        {QStringLiteral("chid"), QStringLiteral("存货编号"), 105, false},
        {QStringLiteral("chname"), QStringLiteral("存货名称"), 105, false},
        {QStringLiteral("ggxh"), QStringLiteral("规格型号"), 105, false},
        {QStringLiteral("jldw"), QStringLiteral("计量单位"), 80, false},
        {QStringLiteral("sl"), QStringLiteral("数量"), -1, false},
        {QStringLiteral("je"), QStringLiteral("金额"), -1, false},
    });
    useListColours();
    bindTo(&DataSourcehz);
    setReportTitle(QStringLiteral("存货销量汇总表"), "sl", "je");
}

}  // namespace velmora
