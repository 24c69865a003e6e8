#include "reports/SummaryStatement.h"

#include "reports/SqlText.h"

namespace velmora {

const SummaryShape kCustomerSummary = {"khname,chname ", ", sum(quantity1) as sl,  sum(money1) as je ",
                                       " and khid= ", "khname,chname ", ""};
// An item's or a salesman's name may have been edited between orders; one row per code all the
// same, with the greatest name as a stand-in the database can pick on either backend.
const SummaryShape kItemSummary = {"chid, max(chname) as chname, max(ggxh) as ggxh, max(jldw) as jldw ",
                                   ", sum(quantity1) as sl, sum(money1) as je ", " and chid= ", "chid",
                                   " order by chid"};
const SummaryShape kSalesmanSummary = {
    "ywyid, max(ywyname) as ywyname ",
    ", sum(quantity1) as sl, sum(money1) as je, count(distinct xsdid) as djs ", " and ywyid= ", "ywyid",
    " order by ywyid"};

std::string summaryStatement(const SummaryShape& shape, const SummaryCriteria& c) {
    std::string out = "select ";
    out += shape.columns;
    out += shape.sums;
    out += "from xsdview";
    out += " where rq >= " + quotedValue(c.dateFrom);
    out += "  and rq <= " + quotedValue(c.dateTo);
    // Blanks alone mean no code; a real code is sent as typed, blanks around it included.
    if (!trimmedText(c.code).empty()) out += shape.codeColumn + quotedValue(c.code);
    out += " group by ";
    out += shape.grouping;
    out += shape.ordering;
    return out;
}

std::vector<std::string> describeSummaryCriteria(const SummaryCriteria& c, const std::string& codeCaption) {
    std::vector<std::string> lines{"业务日期：" + c.dateFrom + " 至 " + c.dateTo};
    if (!trimmedText(c.code).empty()) lines.push_back(codeCaption + c.code);
    return lines;
}

}  // namespace velmora
