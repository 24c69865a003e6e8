#include "reports/AnalysisStatement.h"

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "reports/SqlText.h"

namespace velmora {

namespace {

std::string at(int position, int length = 1) {
    return "substr(rq," + std::to_string(position) + "," + std::to_string(length) + ")";
}

std::string isDigit(int position) {
    return at(position) + " between '0' and '9'";
}

// The day of a date whose day starts at position: one digit or two.
std::string dayFrom(int position) {
    return "case when " + isDigit(position + 1) + " then " + at(position, 2) + " else '0' || " +
           at(position) + " end";
}

// The year of a yyyy-MM-dd date text, as a number; 0 when it has none.
int yearOf(const std::string& date) {
    return date.size() >= 4 ? std::atoi(date.substr(0, 4).c_str()) : 0;
}

std::string fourDigits(int year) {
    std::string text = std::to_string(year);
    return std::string(text.size() < 4 ? 4 - text.size() : 0, '0') + text;
}

// " and column= 'code'" when a code is given (blanks alone are none); the code as typed.
void appendCode(std::string& out, const char* column, const std::string& code) {
    if (trimmedText(code).empty()) return;
    out += std::string(" and ") + column + "= " + quotedValue(code);
}

// The year bounds of a range and the comparison of the business date with its ends; op is the
// comparison with the first end and the last ("<=", "<", ">=", ">").
std::string dateConditions(const std::string& from, const char* fromOp, const std::string& to,
                           const char* toOp) {
    // Every date the statements read starts with its year, so the years of the range bound the
    // text first: that much an index on the date serves, whatever the format.
    std::string out = " and rq >= " + quotedValue(fourDigits(yearOf(from)));
    const int lastYear = yearOf(to);
    if (lastYear < 9999) out += " and rq < " + quotedValue(fourDigits(lastYear + 1));
    // Between reads the date once where the database evaluates it once (SQLite does).
    if (std::string(fromOp) == ">=" && std::string(toOp) == "<=")
        return out + " and " + orderDateSql() + " between " + quotedValue(from) + " and " + quotedValue(to);
    return out + " and " + orderDateSql() + " " + fromOp + " " + quotedValue(from) + " and " +
           orderDateSql() + " " + toOp + " " + quotedValue(to);
}

bool isDateText(const std::string& d) {
    if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (d[i] < '0' || d[i] > '9') return false;
    return true;
}

bool hasCodes(const AnalysisCriteria& c) {
    return !trimmedText(c.customerCode).empty() || !trimmedText(c.salesmanCode).empty() ||
           !trimmedText(c.itemCode).empty();
}

// The part of a range the monthly totals answer (see server/SalesTotals.h): from the first of a
// month to a day from the 28th of a month on. None when the range holds no whole such stretch.
struct TotalsSpan {
    std::string first, last;
};

std::string monthText(int year, int month, const char* day) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%s", year, month, day);
    return text;
}

std::optional<TotalsSpan> totalsSpan(const std::string& from, const std::string& to) {
    int year = yearOf(from), month = std::atoi(from.substr(5, 2).c_str());
    if (from.substr(8) != "01") ++month;
    if (month > 12) {
        month = 1;
        ++year;
    }
    if (year > 9999) return std::nullopt;
    TotalsSpan span{monthText(year, month, "01"), to};
    if (to.substr(8) < "28") {
        year = yearOf(to);
        month = std::atoi(to.substr(5, 2).c_str()) - 1;
        if (month < 1) {
            month = 12;
            --year;
        }
        if (year < 0) return std::nullopt;
        span.last = monthText(year, month, "31");
    }
    if (span.first > span.last) return std::nullopt;
    return span;
}

// Counting the orders of each group costs the database a sort per group; only the salesmen show it.
std::string linesGrouped(const std::string& conditions, const char* codeColumn, const char* nameColumn,
                         bool orders) {
    return std::string("select ") + codeColumn + " as code, max(" + nameColumn +
           ") as name, sum(quantity1) as sl, sum(money1) as je" +
           (orders ? ", count(distinct xsdid) as djs" : "") + " from xsdview where rq is not null" +
           conditions + " group by " + codeColumn;
}

// Without codes, the whole months of a range come from the monthly totals and only the days at
// its ends from the lines.
std::string groupedStatement(const AnalysisCriteria& c, const char* codeColumn, const char* nameColumn,
                             const char* totals, bool orders) {
    const std::string order = std::string(" order by ") + codeColumn;
    std::optional<TotalsSpan> span;
    if (!hasCodes(c) && isDateText(c.dateFrom) && isDateText(c.dateTo))
        span = totalsSpan(c.dateFrom, c.dateTo);
    if (!span) return linesGrouped(analysisConditions(c), codeColumn, nameColumn, orders) + order;
    std::string parts = std::string("select case when ") + codeColumn + "_null = 1 then null else " +
                        codeColumn + " end as code, " + nameColumn + " as name, sl, je" +
                        (orders ? ", djs" : "") + " from " + totals + " where rq between " +
                        quotedValue(span->first) + " and " + quotedValue(span->last);
    if (c.dateFrom < span->first)
        parts += " union all " + linesGrouped(dateConditions(c.dateFrom, ">=", span->first, "<"), codeColumn,
                                              nameColumn, orders);
    if (span->last < c.dateTo)
        parts += " union all " + linesGrouped(dateConditions(span->last, ">", c.dateTo, "<="), codeColumn,
                                              nameColumn, orders);
    return std::string("select code, max(name) as name, sum(sl) as sl, sum(je) as je") +
           (orders ? ", sum(djs) as djs" : "") + " from (" + parts + ") s group by code order by code";
}

}  // namespace

std::string orderDateSql() {
    // Text that already is yyyy-MM-dd is taken as it is, the rest read position by position:
    // the year, then a separator or the month's first digit, then month and day of one or two.
    return "case when length(rq) = 10 and " + at(5) + " = '-' and " + at(8) + " = '-' then rq" + " when " +
           isDigit(5) + " then " + at(1, 4) + " || '-' || " + at(5, 2) + " || '-' || " + at(7, 2) + " when " +
           isDigit(7) + " then " + at(1, 4) + " || '-' || " + at(6, 2) + " || '-' || (" + dayFrom(9) + ")" +
           " else " + at(1, 4) + " || '-0' || " + at(6) + " || '-' || (" + dayFrom(8) + ") end";
}

std::string periodSql(TimeGrouping grouping, const std::string& d) {
    switch (grouping) {
        case TimeGrouping::Day:
            return d;
        case TimeGrouping::Month:
            return "substr(" + d + ",1,7)";
        case TimeGrouping::Quarter: {
            const std::string month = "substr(" + d + ",6,2)";
            return "substr(" + d + ",1,4) || '-Q' || case when " + month + " <= '03' then '1' when " + month +
                   " <= '06' then '2' when " + month + " <= '09' then '3' else '4' end";
        }
        case TimeGrouping::Year:
            break;
    }
    return "substr(" + d + ",1,4)";
}

std::string analysisConditions(const AnalysisCriteria& c) {
    std::string out = dateConditions(c.dateFrom, ">=", c.dateTo, "<=");
    appendCode(out, "khid", c.customerCode);
    appendCode(out, "ywyid", c.salesmanCode);
    appendCode(out, "chid", c.itemCode);
    return out;
}

std::string trendStatement(const AnalysisCriteria& c) {
    // The daily totals hold every day of the range; codes narrow only the lines.
    if (!hasCodes(c) && isDateText(c.dateFrom) && isDateText(c.dateTo))
        return "select " + periodSql(c.grouping, "rq") +
               " as period, sum(sl) as sl, sum(je) as je, sum(djs) as djs from xsdhz_rq where rq between " +
               quotedValue(c.dateFrom) + " and " + quotedValue(c.dateTo) + " group by 1 order by 1";
    return "select " + periodSql(c.grouping, orderDateSql()) +
           " as period, sum(quantity1) as sl, sum(money1) as je, count(distinct xsdid) as djs from xsdview"
           " where rq is not null" +
           analysisConditions(c) + " group by 1 order by 1";
}

std::string customerStatement(const AnalysisCriteria& c) {
    return groupedStatement(c, "khid", "khname", "xsdhz_kh", false);
}

std::string itemStatement(const AnalysisCriteria& c) {
    return groupedStatement(c, "chid", "chname", "xsdhz_ch", false);
}

std::string salesmanStatement(const AnalysisCriteria& c) {
    return groupedStatement(c, "ywyid", "ywyname", "xsdhz_ywy", true);
}

std::string periodDrillConditions(const AnalysisCriteria& c, const std::string& period) {
    return analysisConditions(c) + " and " + periodSql(c.grouping, orderDateSql()) + " = " +
           quotedValue(period);
}

std::string codeDrillConditions(const AnalysisCriteria& c, const std::string& column,
                                const std::string* code) {
    return analysisConditions(c) + " and " + column + (code ? " = " + quotedValue(*code) : " is null");
}

std::string otherCodesDrillConditions(const AnalysisCriteria& c, const std::string& column,
                                      const std::vector<std::string>& listed, bool nullListed) {
    std::string out = analysisConditions(c);
    std::string others;
    if (!listed.empty()) {
        others = column + " not in (";
        for (size_t i = 0; i < listed.size(); ++i) others += (i ? ", " : "") + quotedValue(listed[i]);
        others += ")";
    }
    if (nullListed) {
        out += " and " + column + " is not null";
        if (!others.empty()) out += " and " + others;
    } else if (!others.empty()) {
        out += " and (" + column + " is null or " + others + ")";
    }
    return out;
}

std::string periodLabel(TimeGrouping grouping, const std::string& period) {
    if (grouping == TimeGrouping::Year) return period + "年";
    if (grouping == TimeGrouping::Quarter && period.size() == 7)
        return period.substr(0, 4) + "年第" + period.substr(6, 1) + "季度";
    return period;
}

const char* timeGroupingText(TimeGrouping grouping) {
    switch (grouping) {
        case TimeGrouping::Day:
            return "按日";
        case TimeGrouping::Quarter:
            return "按季";
        case TimeGrouping::Year:
            return "按年";
        case TimeGrouping::Month:
            break;
    }
    return "按月";
}

std::vector<std::string> describeAnalysisCriteria(const AnalysisCriteria& c) {
    std::vector<std::string> out{"业务日期：" + c.dateFrom + " 至 " + c.dateTo};
    auto code = [&out](const char* caption, const std::string& value) {
        if (!trimmedText(value).empty()) out.push_back(caption + value);
    };
    code("客户编号：", c.customerCode);
    code("业务员编号：", c.salesmanCode);
    code("存货编号：", c.itemCode);
    out.push_back(std::string("时间分组：") + timeGroupingText(c.grouping));
    return out;
}

}  // namespace velmora
