// The analysis's grouped statements run on SQLite with the product's tables and view: every date
// format an order may hold falls in its day, the groupings meet at year boundaries as the
// calendar does, and the drill-down conditions select exactly the lines of a group.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "reports/AnalysisData.h"
#include "reports/AnalysisStatement.h"
#include "server/Schema.h"
#include "server/SqliteConnection.h"

namespace velmora {
namespace {

// A database with the order tables, the view and the totals as the server makes them.
class Orders {
  public:
    Orders() {
        char pattern[] = "/tmp/velmora-analysis-XXXXXX";
        dir_ = mkdtemp(pattern);
        path_ = dir_ + "/orders.db";
        {
            server::SqliteConnection schema(path_, true);
            server::createSchema(schema);
        }
        sqlite3_open(path_.c_str(), &db_);
    }
    ~Orders() {
        sqlite3_close(db_);
        for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((path_ + suffix).c_str());
        ::rmdir(dir_.c_str());
    }
    Orders(const Orders&) = delete;
    Orders& operator=(const Orders&) = delete;

    void exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string message = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(message + " in " + sql);
        }
    }
    // An order of one line; a null customer when khid is empty.
    void order(const std::string& id, const std::string& rq, double money, const std::string& khid = "K1",
               const std::string& chid = "C1", const std::string& ywyid = "Y1") {
        exec("insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, rq) values ('" + id + "', " +
             (khid.empty() ? "null" : "'" + khid + "'") + ", '名" + khid + "', '" + ywyid + "', '员" + ywyid +
             "', '" + rq + "')");
        line(id, chid, money);
    }
    void line(const std::string& id, const std::string& chid, double money) {
        exec("insert into xsdzb (xsdid, chid, chname, quantity1, price1, money1) values ('" + id + "', '" +
             chid + "', '货" + chid + "', 1, " + std::to_string(money) + ", " + std::to_string(money) + ")");
    }

    // Every row of sql, its columns joined by "|" (numbers as %g).
    std::vector<std::string> rows(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in " + sql);
        std::vector<std::string> out;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                if (c) row += "|";
                if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                    row += "<null>";
                } else if (sqlite3_column_type(stmt, c) == SQLITE_TEXT) {
                    row += reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
                } else {
                    char number[32];
                    std::snprintf(number, sizeof number, "%g", sqlite3_column_double(stmt, c));
                    row += number;
                }
            }
            out.push_back(row);
        }
        sqlite3_finalize(stmt);
        return out;
    }
    double amountOf(const std::string& conditions) {
        return std::stod(
            rows("select coalesce(sum(money1), 0) from xsdview where rq is not null" + conditions)[0]);
    }

  private:
    std::string dir_, path_;
    sqlite3* db_ = nullptr;
};

AnalysisCriteria range(const char* from, const char* to, TimeGrouping grouping) {
    return AnalysisCriteria{from, to, "", "", "", grouping};
}

TEST(AnalysisStatement, EveryDateFormatAnOrderMayHoldFallsInItsDay) {
    Orders db;
    const char* sameDay[] = {"2003-01-05", "2003-1-5",     "2003/01/05",          "2003/1/5",     "2003.1.05",
                             "20030105",   "2003年1月5日", "2003-01-05 10:30:00", "2003-1-5 9:05"};
    int n = 0;
    for (const char* rq : sameDay) db.order("A" + std::to_string(++n), rq, 1);
    // Two-digit months with one-digit days and the other way round, in the formats as well.
    db.order("B1", "2003-12-7", 10);
    db.order("B2", "2003/12/07", 10);
    db.order("B3", "2003年12月7日", 10);
    db.order("C1", "2003-2-28", 100);
    db.order("C2", "2003.02.28", 100);
    // Text that is no date falls in no period, and no range.
    db.order("D1", "", 1000);
    db.order("D2", "明天", 1000);
    db.exec("update xsdtb set rq = null where xsdid = 'D2'");
    EXPECT_EQ(db.rows(trendStatement(range("2003-01-01", "2003-12-31", TimeGrouping::Day))),
              (std::vector<std::string>{"2003-01-05|9|9|9", "2003-02-28|2|200|2", "2003-12-07|3|30|3"}));
}

TEST(AnalysisStatement, TheRangeReadsEveryFormatByItsDateNotItsText) {
    Orders db;
    db.order("A1", "2003-1-31", 1);   // text after "2003-01-31", the date within the range
    db.order("A2", "2003/1/1", 2);    // the first day
    db.order("A3", "2003/2/1", 4);    // the day after
    db.order("A4", "2002-12-31", 8);  // the day before
    db.order("A5", "20030115", 16);
    AnalysisCriteria january = range("2003-01-01", "2003-01-31", TimeGrouping::Month);
    EXPECT_EQ(db.rows(trendStatement(january)), (std::vector<std::string>{"2003-01|3|19|3"}));
    // A range whose first date is after its last selects nothing.
    EXPECT_TRUE(db.rows(trendStatement(range("2003-02-01", "2003-01-01", TimeGrouping::Month))).empty());
    EXPECT_TRUE(db.rows(customerStatement(range("2004-01-01", "2004-12-31", TimeGrouping::Month))).empty());
}

TEST(AnalysisStatement, EveryGroupingMeetsTheYearBoundaryAsTheCalendarDoes) {
    Orders db;
    db.order("A1", "2002-12-31", 1);
    db.order("A2", "2003-1-1", 2);
    db.order("A3", "2003/03/31", 4);
    db.order("A4", "2003-04-01", 8);
    db.order("A5", "2003年9月30日", 16);
    db.order("A6", "2003-10-1", 32);
    const char* from = "2002-01-01";
    const char* to = "2003-12-31";
    auto trend = [&](TimeGrouping g) {
        std::vector<std::string> out;
        for (const std::string& row : db.rows(trendStatement(range(from, to, g))))
            out.push_back(row.substr(0, row.find('|', row.find('|') + 1)));  // period|sl
        return out;
    };
    EXPECT_EQ(trend(TimeGrouping::Day),
              (std::vector<std::string>{"2002-12-31|1", "2003-01-01|1", "2003-03-31|1", "2003-04-01|1",
                                        "2003-09-30|1", "2003-10-01|1"}));
    EXPECT_EQ(trend(TimeGrouping::Month), (std::vector<std::string>{"2002-12|1", "2003-01|1", "2003-03|1",
                                                                    "2003-04|1", "2003-09|1", "2003-10|1"}));
    EXPECT_EQ(trend(TimeGrouping::Quarter),
              (std::vector<std::string>{"2002-Q4|1", "2003-Q1|2", "2003-Q2|1", "2003-Q3|1", "2003-Q4|1"}));
    EXPECT_EQ(trend(TimeGrouping::Year), (std::vector<std::string>{"2002|1", "2003|5"}));
    EXPECT_EQ(periodLabel(TimeGrouping::Quarter, "2003-Q1"), "2003年第1季度");
    EXPECT_EQ(periodLabel(TimeGrouping::Year, "2003"), "2003年");
}

TEST(AnalysisStatement, EachDrillDownSelectsExactlyTheLinesOfItsGroup) {
    Orders db;
    db.order("A1", "2003-01-05", 10, "K1", "C1", "Y1");
    db.line("A1", "C2", 5);
    db.order("A2", "2003/1/20", 20, "K2", "C2", "Y1");
    db.order("A3", "2003-2-3", 40, "K3", "C3", "Y2");
    db.order("A4", "2003-02-10", 80, "", "C1", "Y2");     // no customer
    db.order("A5", "2004-01-01", 160, "K1", "C1", "Y1");  // outside the range
    AnalysisCriteria c = range("2003-01-01", "2003-12-31", TimeGrouping::Month);

    std::map<std::string, double> byPeriod;
    for (const std::string& row : db.rows(trendStatement(c)))
        byPeriod[row.substr(0, 7)] = std::stod(row.substr(row.find('|', 8) + 1));
    EXPECT_EQ(byPeriod, (std::map<std::string, double>{{"2003-01", 35}, {"2003-02", 120}}));
    for (const auto& [period, amount] : byPeriod)
        EXPECT_EQ(db.amountOf(periodDrillConditions(c, period)), amount);

    // Customers: one with no code, the top two on their own and the rest as 其他.
    EXPECT_EQ(db.rows(customerStatement(c)),
              (std::vector<std::string>{"<null>|名|1|80", "K1|名K1|2|15", "K2|名K2|1|20", "K3|名K3|1|40"}));
    std::vector<AnalysisGroup> customers;
    for (const auto& [key, amount] :
         std::vector<std::pair<const char*, double>>{{nullptr, 80}, {"K1", 15}, {"K2", 20}, {"K3", 40}}) {
        AnalysisGroup g;
        if (key) g.key = key;
        g.amount = amount;
        customers.push_back(g);
    }
    Ranking top = rankTop(customers, 2, false);
    ASSERT_EQ(top.entries.size(), 3u);
    EXPECT_FALSE(top.entries[0].group.key.has_value());
    EXPECT_TRUE(top.nullListed);
    EXPECT_EQ(*top.entries[1].group.key, "K3");
    EXPECT_TRUE(top.entries[2].other);
    EXPECT_EQ(top.entries[2].group.amount, 35);
    EXPECT_EQ(db.amountOf(codeDrillConditions(c, "khid", nullptr)), 80);
    std::string k3 = "K3";
    EXPECT_EQ(db.amountOf(codeDrillConditions(c, "khid", &k3)), 40);
    EXPECT_EQ(db.amountOf(otherCodesDrillConditions(c, "khid", top.listedCodes, top.nullListed)), 35);
    // With the lines without a customer among the rest, they are in 其他's lines too.
    EXPECT_EQ(db.amountOf(otherCodesDrillConditions(c, "khid", {"K3"}, false)), 115);

    // Items sum their lines; salesmen count their orders as well.
    EXPECT_EQ(db.rows(itemStatement(c)),
              (std::vector<std::string>{"C1|货C1|2|90", "C2|货C2|2|25", "C3|货C3|1|40"}));
    EXPECT_EQ(db.rows(salesmanStatement(c)), (std::vector<std::string>{"Y1|员Y1|3|35|2", "Y2|员Y2|2|120|2"}));
}

TEST(AnalysisStatement, CodesNarrowEveryChartAndTheirQuotesAreDoubled) {
    Orders db;
    db.order("A1", "2003-01-05", 10, "K''1", "C1", "Y1");  // K'1, as this test writes it
    db.order("A2", "2003-01-06", 20, "K2", "C1", "Y1");
    AnalysisCriteria c = range("2003-01-01", "2003-01-31", TimeGrouping::Year);
    c.customerCode = "K'1";
    EXPECT_EQ(db.rows(trendStatement(c)), (std::vector<std::string>{"2003|1|10|1"}));
    c.customerCode = "  ";  // blanks alone are no code
    c.itemCode = "C1";
    c.salesmanCode = "Y1";
    EXPECT_EQ(db.rows(trendStatement(c)), (std::vector<std::string>{"2003|2|30|2"}));
    c.itemCode = "x' or '1'='1";
    EXPECT_TRUE(db.rows(trendStatement(c)).empty());
}

// The days of December 2002 to March 2003 as yyyy-MM-dd.
std::vector<std::string> daysOfTheWinter() {
    std::vector<std::string> out;
    const int lengths[][2] = {{12, 31}, {1, 31}, {2, 28}, {3, 31}};
    for (const auto& [month, days] : lengths)
        for (int day = 1; day <= days; ++day) {
            char text[40];
            std::snprintf(text, sizeof text, "%04d-%02d-%02d", month == 12 ? 2002 : 2003, month, day);
            out.emplace_back(text);
        }
    return out;
}

// The date d (yyyy-MM-dd) as workstations type it, in turn.
std::string typed(const std::string& d, int n) {
    const std::string y = d.substr(0, 4), m = d.substr(5, 2), day = d.substr(8, 2);
    const std::string m1 = std::to_string(std::stoi(m)), d1 = std::to_string(std::stoi(day));
    switch (n % 5) {
        case 0:
            return d;
        case 1:
            return y + "/" + m1 + "/" + d1;
        case 2:
            return y + m + day;
        case 3:
            return y + "年" + m1 + "月" + d1 + "日";
    }
    return y + "-" + m1 + "-" + d1 + " 9:30";
}

TEST(AnalysisStatement, RangesWithPartMonthsAtEitherEndAddUpAsTheLinesDo) {
    Orders db;
    int n = 0;
    std::vector<std::string> dates = daysOfTheWinter();
    // Dates no calendar has, at the edges of months, fall where the lines' own dates put them.
    for (const char* odd : {"2003-01-00", "2003-02-30", "2003-01-32", "2003-1-", "2003-02-29", "2002-12-99"})
        dates.emplace_back(odd);
    for (const std::string& d : dates) {
        const std::string id = "O" + std::to_string(++n);
        const std::string rq = d.size() == 10 && d[8] <= '3' && d.substr(8) != "00" ? typed(d, n) : d;
        db.order(id, rq, 0.25 * n, n % 6 ? "K" + std::to_string(n % 6) : "", "C" + std::to_string(n % 7),
                 "Y" + std::to_string(n % 3));
        if (n % 2) db.line(id, "C" + std::to_string(n % 4), 1.5 * n);
    }
    const std::string day = orderDateSql();
    auto lines = [&](const AnalysisCriteria& c, const std::string& select, const std::string& group) {
        return db.rows("select " + select + " from xsdview where rq is not null and " + day + " between '" +
                       c.dateFrom + "' and '" + c.dateTo + "' group by " + group + " order by " + group);
    };
    const std::pair<const char*, const char*> ranges[] = {
        {"2002-12-15", "2003-02-10"}, {"2003-01-01", "2003-01-31"}, {"2003-01-01", "2003-02-28"},
        {"2003-01-02", "2003-01-27"}, {"2002-12-31", "2003-03-01"}, {"2003-02-28", "2003-03-31"},
        {"2003-01-29", "2003-02-27"}, {"2003-01-01", "2003-01-28"}, {"2003-01-01", "2003-01-30"},
        {"2002-01-01", "2003-12-31"}, {"2003-03-01", "2003-01-01"}};
    for (const auto& [from, to] : ranges) {
        for (TimeGrouping g : {TimeGrouping::Day, TimeGrouping::Month}) {
            AnalysisCriteria c = range(from, to, g);
            EXPECT_EQ(
                db.rows(trendStatement(c)),
                lines(c, periodSql(g, day) + ", sum(quantity1), sum(money1), count(distinct xsdid)", "1"))
                << from << " " << to;
        }
        AnalysisCriteria c = range(from, to, TimeGrouping::Month);
        EXPECT_EQ(db.rows(customerStatement(c)),
                  lines(c, "khid, max(khname), sum(quantity1), sum(money1)", "khid"))
            << from << " " << to;
        EXPECT_EQ(db.rows(itemStatement(c)),
                  lines(c, "chid, max(chname), sum(quantity1), sum(money1)", "chid"))
            << from << " " << to;
        EXPECT_EQ(
            db.rows(salesmanStatement(c)),
            lines(c, "ywyid, max(ywyname), sum(quantity1), sum(money1), count(distinct xsdid)", "ywyid"))
            << from << " " << to;
    }
    // Without codes the months in between are read from the totals, not the lines.
    EXPECT_NE(customerStatement(range("2003-01-15", "2003-03-10", TimeGrouping::Month)).find("xsdhz_kh"),
              std::string::npos);
    EXPECT_NE(trendStatement(range("2003-01-15", "2003-03-10", TimeGrouping::Month)).find("xsdhz_rq"),
              std::string::npos);
}

TEST(AnalysisRanking, TheLargestComeFirstByTheChosenMeasureAndTheRestIsSummed) {
    std::vector<AnalysisGroup> items;
    for (int i = 0; i < 12; ++i) {
        AnalysisGroup g;
        g.key = "C" + std::to_string(10 + i);
        g.amount = 100.0 * i;
        g.quantity = 100.0 - i;
        g.orders = 1;
        items.push_back(g);
    }
    Ranking byAmount = rankTop(items, 10, false);
    ASSERT_EQ(byAmount.entries.size(), 11u);
    EXPECT_EQ(*byAmount.entries[0].group.key, "C21");
    EXPECT_EQ(entryLabel(byAmount.entries[10]), "其他");
    EXPECT_EQ(byAmount.entries[10].group.amount, 100);  // C10 and C11
    EXPECT_EQ(byAmount.entries[10].group.orders, 2);
    Ranking byQuantity = rankTop(items, 10, true);
    EXPECT_EQ(*byQuantity.entries[0].group.key, "C10");
    // No rest, no 其他; ties by code.
    items.resize(3);
    for (AnalysisGroup& g : items) g.amount = 5;
    Ranking tied = rankTop(items, 10, false);
    ASSERT_EQ(tied.entries.size(), 3u);
    EXPECT_EQ(*tied.entries[0].group.key, "C10");
    EXPECT_EQ(*tied.entries[2].group.key, "C12");
}

}  // namespace
}  // namespace velmora
