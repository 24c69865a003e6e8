#include "reports/TFrmxsdresult.h"

#include "data/Tdm.h"
#include "session/ClientSession.h"
#include "widgets/Colors.h"
#include "widgets/DBGrid.h"
#include "widgets/Panel.h"

namespace velmora {

TFrmxsdresult::TFrmxsdresult(QWidget* owner, ClientSession& session)
    : ReportResultForm(owner), session_(session), dm(session.dm()) {
    setObjectName(QStringLiteral("Frmxsdresult"));
    setCaption(QStringLiteral("销售单查询结果"));
    setFrameSize(544, 375);

    const struct {
        const char* field;
        const char* title;
    } columns[] = {
        {"xsdid", "发票号"},     {"rq", "业务日期"},        {"khid", "客户编号"},   {"khname", "客户名称"},
        {"ywyid", "业务员编号"}, {"ywyname", "业务员名称"}, {"username", "制单人"}, {"shrname", "审核人"},
        {"chid", "存货编号"},    {"chname", "存货名称"},    {"ggxh", "规格型号"},   {"jldw", "计量单位"},
        {"quantity1", "数量"},   {"price1", "单价"},        {"money1", "金额"},
    };
    std::vector<DBGridColumn> gridColumns;
    for (const auto& c : columns)
        gridColumns.push_back({QString::fromLatin1(c.field), QString::fromUtf8(c.title), 105, false});
    DBGrid1->setColumns(std::move(gridColumns));
    useListColours();
    bindTo(&dm.DataSourcexsdview);
    setReportTitle(QStringLiteral("销售单列表"), "quantity1", "money1");

    dm.ClientDataSetxsdview.Open();
    ShowTotals();
}

void TFrmxsdresult::ShowTotals() {
    setTotals(session_.ListTotalQuantity, session_.ListTotalMoney);
}

void TFrmxsdresult::FormClose(CloseAction& action) {
    dm.ClientDataSetxsdview.Close();
    action = CloseAction::Free;
}

}  // namespace velmora
