#include "reports/SummaryResultForm.h"

#include "data/ClientDataSet.h"
#include "reports/ColumnTotal.h"
#include "widgets/Text.h"

namespace velmora {

SummaryResultForm::SummaryResultForm(QWidget* owner) : ReportResultForm(owner) {}

SummaryResultForm::~SummaryResultForm() {
    // The controls stop observing the rows before the rows go.
    bindTo(nullptr);
}

void SummaryResultForm::ShowRows(std::unique_ptr<ClientDataSet> rows) {
    bindTo(nullptr);
    rows_ = std::move(rows);
    DataSourcehz.setDataSet(rows_.get());
    bindTo(&DataSourcehz);
    if (!rows_) {
        setTotals(QString(), QString());
        return;
    }
    setTotals(toQString(columnTotalText(*rows_, "sl")), toQString(columnTotalText(*rows_, "je")));
    // Each order has one salesman, so the counts per salesman add up to the orders selected.
    if (rows_->FindField("djs")) setExtraTotal("djs", toQString(columnTotalText(*rows_, "djs")));
}

}  // namespace velmora
