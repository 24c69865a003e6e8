#include "reports/ColumnTotal.h"

#include "data/ClientDataSet.h"
#include "data/ValueText.h"

namespace velmora {

std::string columnTotalText(ClientDataSet& dataSet, std::string_view fieldName) {
    if (!dataSet.Active()) return "";
    Field* field = dataSet.FindField(fieldName);
    if (!field) return "";
    double sum = 0;
    bool any = false;
    for (int row = 0, rows = dataSet.RecordCount(); row < rows; ++row) {
        Variant value = dataSet.valueAt(row, field->Index());
        if (value.isNull() || value.isEmpty()) continue;
        // A sum column whose first value was null comes back typed as text.
        if (value.type() == VarType::String) {
            auto parsed = parseNumber(value.stringValue());
            if (!parsed) continue;
            sum += *parsed;
        } else {
            sum += value.toDouble();
        }
        any = true;
    }
    return any ? formatDouble15(sum) : "";
}

}  // namespace velmora
