#pragma once
// The statements of the sales summaries: quantity and amount per customer and item, per item, and
// per salesman, over a range of business dates and optionally for one code.

#include <string>
#include <vector>

namespace velmora {

// Dates in the short date format; the code as typed (a code of blanks alone means none).
struct SummaryCriteria {
    std::string dateFrom;  // dp1
    std::string dateTo;    // dp2
    std::string code;      // Edit1: a customer, item or salesman code
};

// What one summary groups by and totals. Every text keeps the blanks its statement has always
// had, so that the texts sent stay the same.
struct SummaryShape {
    const char* columns;     // the grouping columns, and the names shown with them
    const char* sums;        // ", sum(...) as sl, ..."
    const char* codeColumn;  // " and khid= ": the condition of the optional code
    const char* grouping;    // after " group by "
    const char* ordering;    // after the grouping: "" or " order by ..."
};

// Per customer name and item name: khname, chname, sl, je.
extern const SummaryShape kCustomerSummary;
// Per item code: chid, chname, ggxh, jldw, sl, je (the names as last entered).
extern const SummaryShape kItemSummary;
// Per salesman code: ywyid, ywyname, sl, je, and djs, the number of orders.
extern const SummaryShape kSalesmanSummary;

// The grouped statement of shape over xsdview; quoted values have their quotes doubled.
std::string summaryStatement(const SummaryShape& shape, const SummaryCriteria& criteria);
// The customer sales summary.
inline std::string summaryStatement(const SummaryCriteria& criteria) {
    return summaryStatement(kCustomerSummary, criteria);
}

// The criteria as the printout names them: the dates, and the code under codeCaption when given.
std::vector<std::string> describeSummaryCriteria(const SummaryCriteria& criteria,
                                                 const std::string& codeCaption);

}  // namespace velmora
