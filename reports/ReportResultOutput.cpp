// The report result windows' printing and export: the table they hand over, and their colours.
#include "data/ClientDataSet.h"
#include "reports/ListRowColor.h"
#include "reports/ReportOutput.h"
#include "reports/ReportResultForm.h"
#include "widgets/Colors.h"
#include "widgets/DBGrid.h"
#include "widgets/Panel.h"
#include "widgets/Text.h"

#include <QLabel>

namespace velmora {

void ReportResultForm::setReportTitle(const QString& title, std::string quantityField,
                                      std::string moneyField) {
    reportTitle_ = title;
    quantityField_ = std::move(quantityField);
    moneyField_ = std::move(moneyField);
}

void ReportResultForm::setExtraTotal(std::string field, const QString& text) {
    for (auto& total : extraTotals_)
        if (total.first == field) {
            total.second = text;
            return;
        }
    extraTotals_.emplace_back(std::move(field), text);
}

void ReportResultForm::useListColours() {
    Panel3->setColor(colorFromBgr(13350070));
    Panel2->setColor(clMoneyGreen());
    DBGrid1->setDrawColumnCellHook([](DrawCellContext& cell) {
        cell.brush = colorFromBgr(listRowColor(cell.recNo));
        cell.DefaultDrawColumnCell();
        // Painted a second time over the first, as the current cell always was. The default
        // painting draws no lines, so the mask pen mode set between the two paintings changed
        // nothing on screen and is left out.
        if (cell.selected) cell.brush = QColor(255, 0, 0);
        cell.DefaultDrawColumnCell();
    });
}

namespace {

ReportColumn::Kind kindOfField(const std::string& field) {
    for (const char* amount : {"price1", "money1", "je"})
        if (field == amount) return ReportColumn::Kind::Amount;
    for (const char* number : {"quantity1", "sl", "djs"})
        if (field == number) return ReportColumn::Kind::Number;
    return ReportColumn::Kind::Text;
}

}  // namespace

ReportTable ReportResultForm::reportTable() const {
    std::vector<ReportColumn> columns;
    for (const DBGridColumn& column : DBGrid1->columns()) {
        std::string field = toStdString(column.fieldName);
        columns.push_back({field, toStdString(column.title), kindOfField(field)});
    }
    DataSource* source = DBGrid1->dataSource();
    ReportTable table(toStdString(reportTitle_), std::move(columns), source ? source->DataSet() : nullptr);
    table.criteria = criteria_;
    // A window without sums (no total fields named) prints and exports no totals row.
    if (!quantityField_.empty()) table.setTotal(quantityField_, toStdString(Label1->text()));
    if (!moneyField_.empty()) table.setTotal(moneyField_, toStdString(Label2->text()));
    for (const auto& [field, text] : extraTotals_) table.setTotal(field, toStdString(text));
    return table;
}

void ReportResultForm::n_printClick() {
    ReportTable table = reportTable();
    previewReport(table, this);
}

void ReportResultForm::n_exportClick() {
    ReportTable table = reportTable();
    exportReport(table, this);
}

}  // namespace velmora
