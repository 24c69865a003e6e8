#include "reports/ReportTable.h"

#include "data/ClientDataSet.h"
#include "data/ValueText.h"

namespace velmora {

ReportTable::ReportTable(std::string title, std::vector<ReportColumn> columns, ClientDataSet* rows)
    : title_(std::move(title)), columns_(std::move(columns)), rows_(rows) {
    for (const ReportColumn& column : columns_) {
        Field* field = rows_ && rows_->Active() ? rows_->FindField(column.field) : nullptr;
        fieldIndex_.push_back(field ? field->Index() : -1);
    }
}

int ReportTable::rowCount() const {
    return rows_ && rows_->Active() ? rows_->RecordCount() : 0;
}

std::string ReportTable::cellText(int row, int column) const {
    int field = fieldIndex_.at(static_cast<size_t>(column));
    if (field < 0) return std::string();
    std::string text = rows_->textAt(row, field);
    // A date without a time of day reads as the rest of the program writes dates.
    static constexpr std::string_view kMidnight = " 00:00:00";
    if (rows_->Fields(field).DataType() == FieldType::DateTime && text.ends_with(kMidnight))
        text.resize(text.size() - kMidnight.size());
    return text;
}

std::optional<double> ReportTable::cellNumber(int row, int column) const {
    if (columns_.at(static_cast<size_t>(column)).kind == ReportColumn::Kind::Text) return std::nullopt;
    int field = fieldIndex_[static_cast<size_t>(column)];
    if (field < 0) return std::nullopt;
    Variant value = rows_->valueAt(row, field);
    if (value.isNull() || value.isEmpty()) return std::nullopt;
    // A sum whose first value was null arrives as text.
    if (value.type() == VarType::String) return parseNumber(value.stringValue());
    return value.toDouble();
}

void ReportTable::setTotal(const std::string& field, const std::string& text) {
    if (totals_.empty()) {
        totals_.assign(columns_.size(), std::string());
        if (!totals_.empty()) totals_[0] = "合计";
    }
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].field == field) totals_[i] = text;
}

}  // namespace velmora
