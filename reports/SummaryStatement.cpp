#include "reports/SummaryStatement.h"

#include "reports/SqlText.h"

namespace velmora {

std::string summaryStatement(const SummaryCriteria& c) {
    static constexpr const char* kGrouping = "khname,chname ";
    std::string out = "select ";
    out += kGrouping;
    out += ", sum(quantity1) as sl,  sum(money1) as je ";
    out += "from xsdview";
    out += " where rq >= " + quotedValue(c.dateFrom);
    out += "  and rq <= " + quotedValue(c.dateTo);
    // Blanks alone mean no customer; a real code is sent as typed, blanks around it included.
    if (!trimmedText(c.customerCode).empty()) out += " and khid= " + quotedValue(c.customerCode);
    out += " group by ";
    out += kGrouping;
    return out;
}

}  // namespace velmora
