#pragma once
// The statement of the customer sales summary: quantity and amount per customer name and item name.

#include <string>

namespace velmora {

// Dates in the short date format; the customer code as typed (a code of blanks alone means none).
struct SummaryCriteria {
    std::string dateFrom;      // dp1
    std::string dateTo;        // dp2
    std::string customerCode;  // Edit1
};

// The grouped statement with the columns khname, chname, sl and je; quoted values have their
// quotes doubled.
std::string summaryStatement(const SummaryCriteria& criteria);

}  // namespace velmora
