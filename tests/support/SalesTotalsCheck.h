#pragma once
// What the tables of sales totals should hold, grouped here from the order lines themselves with
// the business date as the reports read it: a statement both databases run that counts the rows
// where a table and the lines disagree (0 when every table is right). Sums are compared to four
// decimals, since lines added in another order sum to another last bit.

#include <string>

#include "reports/AnalysisStatement.h"

namespace velmora::test {

inline std::string salesTotalsMismatchSql() {
    const std::string day = "(select " + orderDateSql() +
                            " as d, xsdid, khid, khname, ywyid, ywyname, chid, chname, quantity1, money1 "
                            "from xsdview where rq is not null) v";
    const std::string month =
        "case when length(d) = 10 and substr(d,8,1) = '-' and substr(d,9,2) between '01' and '28' then "
        "substr(d,1,8) || '01' else d end";
    auto rounded = [](const std::string& x) { return "round(cast(" + x + " as numeric), 4)"; };
    auto sums = [&](const char* orders) {
        return rounded("sum(coalesce(quantity1, 0))") + ", " + rounded("sum(coalesce(money1, 0))") +
               ", count(*)" + (orders ? std::string(", ") + orders : "");
    };
    auto table = [&](const char* name, const char* code, const char* codeName, bool orders) {
        std::string expected, actual;
        if (!code) {
            expected = "select d, " + sums("count(distinct xsdid)") + " from " + day + " group by d";
            actual = "select rq, " + rounded("sl") + ", " + rounded("je") + ", hs, djs from " + name;
        } else {
            const std::string keys = month + ", case when " + code + " is null then 1 else 0 end, coalesce(" +
                                     code + ", ''), coalesce(" + codeName + ", '')";
            expected = "select " + keys + ", " + sums(orders ? "count(distinct xsdid)" : nullptr) + " from " +
                       day + " group by " + keys;
            actual = "select rq, " + std::string(code) + "_null, " + code + ", " + codeName + ", " +
                     rounded("sl") + ", " + rounded("je") + ", hs" + (orders ? ", djs" : "") + " from " +
                     name;
        }
        return "(select count(*) from (select * from (" + expected + ") e except select * from (" + actual +
               ") a) x) + (select count(*) from (select * from (" + actual + ") a except select * from (" +
               expected + ") e) y)";
    };
    return "select " + table("xsdhz_rq", nullptr, nullptr, true) + " + " +
           table("xsdhz_kh", "khid", "khname", false) + " + " + table("xsdhz_ch", "chid", "chname", false) +
           " + " + table("xsdhz_ywy", "ywyid", "ywyname", true);
}

}  // namespace velmora::test
