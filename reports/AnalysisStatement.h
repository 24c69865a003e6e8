#pragma once
// The statements of 经营分析: amount and quantity per period, per customer, per item and per
// salesman over a range of business dates, grouped on the server; and the conditions that select
// the order lines behind one bar, slice or point, for the order list.
//
// The business date is free text: new orders get yyyy-MM-dd, but the invoicing window takes
// whatever is typed, and older orders hold the short date format of the workstation that made
// them. The statements read a date written year first with a four-digit year, the month and day
// of one or two digits, separated by "-", "/", "." or 年/月 (or not at all: yyyyMMdd), anything
// after the day (a time, 日) ignored. Lines of a date that reads otherwise fall in no period.
//
// Without codes, the statements read the totals the server keeps per day and per month
// (server/SalesTotals.h, whose business day is the one orderDateSql reads): the days of a range
// whole, and of the customers, items and salesmen the months the range holds whole, with only the
// days at its ends from the lines. With a code they read the lines.

#include <string>
#include <vector>

namespace velmora {

enum class TimeGrouping { Day, Month, Quarter, Year };

// What the operator chose: dates as yyyy-MM-dd; codes as typed (blanks alone mean none).
struct AnalysisCriteria {
    std::string dateFrom;
    std::string dateTo;
    std::string customerCode;
    std::string salesmanCode;
    std::string itemCode;
    TimeGrouping grouping = TimeGrouping::Month;
};

// The business date of a row of xsdview as yyyy-MM-dd, in SQL both databases run.
std::string orderDateSql();
// The period the date d (yyyy-MM-dd) falls in: "2003-01-05", "2003-01", "2003-Q1" or "2003".
std::string periodSql(TimeGrouping grouping, const std::string& d);

// The conditions every statement and every drill-down applies, each starting with " and": the
// date range (read as above) and the codes given, their quotes doubled. A range whose first date
// is after its last selects nothing.
std::string analysisConditions(const AnalysisCriteria& criteria);

// Rows: period, sl, je, djs (the orders), ordered by period.
std::string trendStatement(const AnalysisCriteria& criteria);
// Rows: code, name, sl, je; one per customer, item or salesman code (null for lines without one),
// ordered by code. The name is the greatest one the code was entered with. The salesmen's rows
// add djs, the orders.
std::string customerStatement(const AnalysisCriteria& criteria);
std::string itemStatement(const AnalysisCriteria& criteria);
std::string salesmanStatement(const AnalysisCriteria& criteria);

// The lines of one period (a key trendStatement returned), in the criteria.
std::string periodDrillConditions(const AnalysisCriteria& criteria, const std::string& period);
// The lines of one code of column ("khid", "chid", "ywyid"); a null code is the lines without one.
std::string codeDrillConditions(const AnalysisCriteria& criteria, const std::string& column,
                                const std::string* code);
// The lines of every code of column but those listed (the rest shown as 其他); null codes are
// among the rest unless nullListed.
std::string otherCodesDrillConditions(const AnalysisCriteria& criteria, const std::string& column,
                                      const std::vector<std::string>& listed, bool nullListed);

// A period key as the charts label it: "2003-01-05", "2003-01", "2003年第1季度", "2003年".
std::string periodLabel(TimeGrouping grouping, const std::string& period);
// The grouping as the window offers it: 按日, 按月, 按季, 按年.
const char* timeGroupingText(TimeGrouping grouping);

// The criteria as the printout and the order list name them.
std::vector<std::string> describeAnalysisCriteria(const AnalysisCriteria& criteria);

}  // namespace velmora
