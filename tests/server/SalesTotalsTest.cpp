// The sales totals stay what the order lines add up to, whatever writes the orders: new orders in
// every date format, a header's date, customer or salesman changed, lines changed, moved and
// deleted, orders deleted header first or lines first, lines entered before their header, an
// approval, a rolled-back transaction. On SQLite and on PostgreSQL.

#include "server/OrderApproval.h"
#include "server/SalesTotals.h"
#include "tests/server/ServerDbFixture.h"
#include "tests/support/SalesTotalsCheck.h"

namespace velmora::server {
namespace {

class SalesTotalsTest : public ServerDbFixture {
  protected:
    int64_t count(const std::string& sql) {
        auto q = db->query(sql);
        return q->next() ? q->integer(0) : -1;
    }
    std::string text(const std::string& sql) {
        auto q = db->query(sql);
        return q->next() && q->type(0) != DbType::Null ? std::string(q->text(0)) : "<null>";
    }
    int64_t mismatches() { return count(test::salesTotalsMismatchSql()); }
    void order(const std::string& id, const std::string& rq, const std::string& khid,
               const std::string& ywyid) {
        db->execute("insert into xsdtb (xsdid, khid, khname, ywyid, ywyname, rq) values (?, ?, ?, ?, ?, ?)",
                    {DbValue::ofText(id), khid.empty() ? DbValue::null() : DbValue::ofText(khid),
                     DbValue::ofText("名" + khid), DbValue::ofText(ywyid), DbValue::ofText("员" + ywyid),
                     DbValue::ofText(rq)});
    }
    void line(const std::string& id, const std::string& chid, double quantity, double money) {
        db->execute(
            "insert into xsdzb (xsdid, chid, chname, quantity1, price1, money1) values (?, ?, ?, ?, 1, ?)",
            {DbValue::ofText(id), DbValue::ofText(chid), DbValue::ofText("货" + chid),
             DbValue::ofFloat(quantity), DbValue::ofFloat(money)});
    }
    // Orders over two months in the formats the workstations type, with a line or three each.
    void someOrders() {
        const char* dates[] = {"2003-01-05",      "2003/1/28",  "2003.01.29", "20030131", "2003年2月1日",
                               "2003-2-28 10:30", "2003-02-30", "明天",       "2003-1-"};
        int n = 0;
        for (const char* rq : dates) {
            const std::string id = "A" + std::to_string(++n);
            order(id, rq, n % 3 ? "K" + std::to_string(n % 3) : "", "Y" + std::to_string(n % 2));
            for (int i = 0; i <= n % 3; ++i)
                line(id, "C" + std::to_string((n + i) % 4), n + i, 10.25 * (n + i));
        }
    }
};

TEST_F(SalesTotalsTest, NewOrdersInEveryFormatLandInTheirDayAndMonth) {
    someOrders();
    EXPECT_EQ(mismatches(), 0);
    // "2003/1/28" is the last day a month row holds; the 29th on is a row of its own.
    EXPECT_EQ(text("select rq from xsdhz_kh where khid = 'K2' and rq like '2003-01%' order by rq"),
              "2003-01-01");
    EXPECT_EQ(count("select count(*) from xsdhz_ch where rq in ('2003-01-29', '2003-01-31')"), 3);
    EXPECT_EQ(count("select djs from xsdhz_rq where rq = '2003-02-28'"), 1);
    EXPECT_EQ(count("select sum(hs) from xsdhz_rq"), count("select count(*) from xsdzb"));
    // The check sees a total that is off: its row on either side.
    db->execute("update xsdhz_ywy set je = je + 0.01 where ywyid = 'Y1' and rq = '2003-01-01'");
    EXPECT_EQ(mismatches(), 2);
}

TEST_F(SalesTotalsTest, AChangedHeaderMovesItsLinesAndAnApprovalMovesNothing) {
    someOrders();
    db->execute("update xsdtb set rq = '2004-12-31' where xsdid = 'A3'");
    db->execute("update xsdtb set khid = null where xsdid = 'A1'");
    db->execute("update xsdtb set khid = 'K9', khname = '新名' where xsdid = 'A3'");
    db->execute("update xsdtb set ywyid = 'Y7', ywyname = null, rq = '2003-1-5' where xsdid = 'A5'");
    db->execute("update xsdtb set rq = null where xsdid = 'A6'");
    db->execute("update xsdtb set xsdid = 'A99' where xsdid = 'A2'");  // its lines stay behind
    EXPECT_EQ(mismatches(), 0);
    EXPECT_EQ(count("select count(*) from xsdhz_kh where khid = 'K9' and rq = '2004-12-31'"), 1);
    EXPECT_EQ(count("select count(*) from xsdhz_rq where rq = '2003-02-28'"), 0);  // emptied, gone

    const std::string before = text("select sum(je) from xsdhz_rq");
    Access approver{"王会计", Role::Approver, Rights::presetOf(Role::Approver)};
    approveOrder(*db, approver, "A4", false);
    EXPECT_EQ(text("select shrname from xsdtb where xsdid = 'A4'"), "王会计");
    EXPECT_EQ(text("select sum(je) from xsdhz_rq"), before);
    EXPECT_EQ(mismatches(), 0);
}

TEST_F(SalesTotalsTest, ChangedMovedAndDeletedLinesKeepEveryTableRight) {
    someOrders();
    db->execute("update xsdzb set quantity1 = 100, money1 = 0.5 where xsdid = 'A1'");
    db->execute("update xsdzb set chid = 'C9', chname = null where xsdid = 'A2'");
    db->execute("update xsdzb set quantity1 = null where xsdid = 'A3'");
    db->execute("update xsdzb set price1 = 7 where xsdid = 'A4'");  // no total changes
    // A line moved to another order: one loses its only line, the other gains one.
    db->execute("update xsdzb set xsdid = 'A5' where xsdid = 'A4'");
    EXPECT_EQ(mismatches(), 0);
    db->execute("delete from xsdzb where xsdid = 'A5' and chid = 'C0'");
    db->execute("delete from xsdzb where xsdid = 'A6'");
    EXPECT_EQ(mismatches(), 0);
    // An order deleted header first, another lines first, as the provider cascades either way.
    db->execute("delete from xsdtb where xsdid = 'A7'");
    db->execute("delete from xsdzb where xsdid = 'A7'");
    db->execute("delete from xsdzb where xsdid = 'A8'");
    db->execute("delete from xsdtb where xsdid = 'A8'");
    EXPECT_EQ(mismatches(), 0);
    // Lines entered before their header join the totals with it.
    line("B1", "C1", 1, 2);
    line("B1", "C2", 3, 4);
    EXPECT_EQ(mismatches(), 0);
    order("B1", "2003-01-10", "K1", "Y1");
    EXPECT_EQ(count("select djs from xsdhz_rq where rq = '2003-01-10'"), 1);
    EXPECT_EQ(mismatches(), 0);
    // Lines written by one statement, as a restore writes them, count their order once.
    order("B2", "2003-01-11", "K1", "Y1");
    db->execute(
        "insert into xsdzb (xsdid, chid, quantity1, money1) values ('B2', 'C1', 1, 1), ('B2', 'C2', 2, 2), "
        "('B2', 'C1', 3, 3)");
    EXPECT_EQ(count("select djs from xsdhz_rq where rq = '2003-01-11'"), 1);
    db->execute("update xsdzb set money1 = money1 + 1 where xsdid = 'B2'");
    db->execute("delete from xsdzb where xsdid = 'B2' and chid = 'C1'");
    EXPECT_EQ(count("select djs from xsdhz_rq where rq = '2003-01-11'"), 1);
    EXPECT_EQ(mismatches(), 0);
    // Nothing stays behind once every order is gone.
    db->execute("delete from xsdzb");
    db->execute("delete from xsdtb");
    for (const char* table : kSalesTotalsTables)
        EXPECT_EQ(count(std::string("select count(*) from ") + table), 0) << table;
}

TEST_F(SalesTotalsTest, ARolledBackWriteLeavesTheTotalsAsTheyWere) {
    someOrders();
    const std::string before = text("select sum(je) from xsdhz_kh");
    {
        Transaction tx(*db);
        db->execute("delete from xsdzb where xsdid in ('A1', 'A2')");
        line("A3", "C1", 5, 5);
    }
    EXPECT_EQ(text("select sum(je) from xsdhz_kh"), before);
    EXPECT_EQ(mismatches(), 0);
}

}  // namespace
}  // namespace velmora::server
