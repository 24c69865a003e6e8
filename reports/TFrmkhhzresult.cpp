#include "reports/TFrmkhhzresult.h"

#include "data/ClientDataSet.h"
#include "reports/ColumnTotal.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"
#include "widgets/MessageService.h"
#include "widgets/Text.h"

namespace velmora {

TFrmkhhzresult::TFrmkhhzresult(QWidget* owner, ClientSession& /*session*/) : ReportResultForm(owner) {
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
}

TFrmkhhzresult::~TFrmkhhzresult() {
    // The controls stop observing the rows before the rows go.
    bindTo(nullptr);
}

void TFrmkhhzresult::ShowRows(std::unique_ptr<ClientDataSet> rows) {
    bindTo(nullptr);
    rows_ = std::move(rows);
    DataSourcehz.setDataSet(rows_.get());
    bindTo(&DataSourcehz);
    if (!rows_) {
        setTotals(QString(), QString());
        return;
    }
    setTotals(toQString(columnTotalText(*rows_, "sl")), toQString(columnTotalText(*rows_, "je")));
}

void TFrmkhhzresult::n_printClick() {
    MessageService::showMessage(QStringLiteral("你有兴趣就自已做吧"));
}

}  // namespace velmora
