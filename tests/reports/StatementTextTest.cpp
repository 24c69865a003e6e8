// The SQL texts of the reports: fragments, blanks and order exactly as the server has always
// received them, quotes doubled, numeric bounds checked before anything is built.
#include <gtest/gtest.h>

#include "reports/ListCriteria.h"
#include "reports/ListRowColor.h"
#include "reports/SqlText.h"
#include "reports/SummaryStatement.h"

namespace velmora {
namespace {

ListCriteria datesOnly() {
    ListCriteria c;
    c.dateFrom = "2002-12-01";
    c.dateTo = "2002-12-31";
    return c;
}

TEST(ListCriteriaText, DatesAloneAreAlwaysAppended) {
    EXPECT_EQ(listCriteriaText(datesOnly()), " and   rq>='2002-12-01' and   rq<='2002-12-31'");
}

TEST(ListCriteriaText, EveryFragmentInOrderWithItsBlanks) {
    ListCriteria c = datesOnly();
    c.userName = "王会计";
    c.invoiceFrom = "XS000001";
    c.invoiceTo = "XS000009";
    c.customerCode = "K001";
    c.salesmanCode = "Y01";
    c.itemCode = "0100101";
    c.quantityFrom = "1";
    c.quantityTo = "20";
    c.moneyFrom = "10.5";
    c.moneyTo = "-3e2";
    EXPECT_EQ(listCriteriaText(c),
              " and  username='王会计'"
              " and   rq>='2002-12-01'"
              " and   rq<='2002-12-31'"
              " and   xsdid >='XS000001'"
              " and   xsdid <='XS000009'"
              " and khid='K001'"
              " and   ywyid='Y01'"
              " and   chid='0100101'"
              " and   quantity1>=1"
              " and   quantity1<=20"
              " and   money1>=10.5"
              " and   money1<=-3e2");
}

TEST(ListCriteriaText, ABlankIsAValueAndQuotesAreDoubled) {
    ListCriteria c = datesOnly();
    c.customerCode = " ";
    c.itemCode = "a' or '1'='1";
    EXPECT_EQ(listCriteriaText(c),
              " and   rq>='2002-12-01' and   rq<='2002-12-31' and khid=' '"
              " and   chid='a'' or ''1''=''1'");
}

TEST(ListCriteriaText, NumericBoundsAreSentAsTyped) {
    ListCriteria c = datesOnly();
    c.quantityFrom = " 5 ";
    c.moneyTo = ".5";
    EXPECT_EQ(listCriteriaText(c),
              " and   rq>='2002-12-01' and   rq<='2002-12-31' and   quantity1>= 5  and   money1<=.5");
}

TEST(ListCriteriaText, ABoundThatIsNoNumberNamesItsBox) {
    struct Case {
        std::string ListCriteria::*member;
        const char* box;
        const char* caption;
    };
    for (const Case& k : {Case{&ListCriteria::quantityFrom, "Edit8", "数量下限"},
                          Case{&ListCriteria::quantityTo, "Edit9", "数量上限"},
                          Case{&ListCriteria::moneyFrom, "Edit10", "金额下限"},
                          Case{&ListCriteria::moneyTo, "Edit11", "金额上限"}}) {
        ListCriteria c = datesOnly();
        c.*k.member = "1 or 1=1";
        try {
            listCriteriaText(c);
            ADD_FAILURE() << k.box << " accepted";
        } catch (const InvalidBoundError& e) {
            EXPECT_EQ(e.box(), k.box);
            EXPECT_NE(std::string(e.what()).find(k.caption), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("1 or 1=1"), std::string::npos) << e.what();
        }
    }
}

TEST(ListCriteriaText, TheFirstBadBoundIsReported) {
    ListCriteria c = datesOnly();
    c.quantityTo = "x";
    c.moneyFrom = "y";
    try {
        listCriteriaText(c);
        FAIL();
    } catch (const InvalidBoundError& e) {
        EXPECT_EQ(e.box(), "Edit9");
    }
}

TEST(NumberText, PlainDecimalsOnly) {
    for (const char* ok : {"0", "12", "-3", "+4", "1.5", ".5", "5.", "1e3", "2.5E-2", " 7 ", "007"})
        EXPECT_TRUE(isNumberText(ok)) << ok;
    for (const char* bad : {"", " ", "-", ".", "e3", "1e", "1e+", "1.2.3", "0x10", "inf", "nan", "1,5", "1 2",
                            "5)", "1;drop table kh", "١"})
        EXPECT_FALSE(isNumberText(bad)) << bad;
}

TEST(ListStatements, TheRowsTakeTheCriteria) {
    std::string where = listCriteriaText(datesOnly());
    EXPECT_EQ(listRowsStatement(where),
              "select * from xsdview where xsdid<> ' ' and   rq>='2002-12-01' and   rq<='2002-12-31'");
}

TEST(SummaryStatementText, WithoutACustomer) {
    EXPECT_EQ(summaryStatement({"2002-10-01", "2003-03-31", ""}),
              "select khname,chname , sum(quantity1) as sl,  sum(money1) as je from xsdview"
              " where rq >= '2002-10-01'  and rq <= '2003-03-31' group by khname,chname ");
    // Blanks alone mean no customer.
    EXPECT_EQ(summaryStatement({"2002-10-01", "2003-03-31", "   "}),
              summaryStatement({"2002-10-01", "2003-03-31", ""}));
}

TEST(SummaryStatementText, ACustomerIsSentAsTypedWithQuotesDoubled) {
    EXPECT_EQ(summaryStatement({"2002-10-01", "2003-03-31", " K001 "}),
              "select khname,chname , sum(quantity1) as sl,  sum(money1) as je from xsdview"
              " where rq >= '2002-10-01'  and rq <= '2003-03-31' and khid= ' K001 ' group by khname,chname ");
    EXPECT_NE(summaryStatement({"2002-10-01", "2003-03-31", "K'1"}).find("khid= 'K''1'"), std::string::npos);
}

TEST(ShortDate, IsYearMonthDayWithLeadingZeros) {
    EXPECT_EQ(shortDateText(2002, 12, 31), "2002-12-31");
    EXPECT_EQ(shortDateText(2003, 1, 5), "2003-01-05");
    // Text order is date order.
    EXPECT_LT(shortDateText(2002, 12, 31), shortDateText(2003, 1, 1));
    EXPECT_LT(shortDateText(2003, 2, 9), shortDateText(2003, 10, 1));
}

TEST(ListRowColors, OddRowsYellowEvenRowsGreen) {
    EXPECT_EQ(listRowColor(1), 14941179u);
    EXPECT_EQ(listRowColor(2), 12575970u);
    EXPECT_EQ(listRowColor(0), 12575970u);
    EXPECT_EQ(listRowColor(-1), 14941179u);
    EXPECT_EQ(listRowColor(-2), 12575970u);
}

TEST(SummaryStatementText, ItemAndSalesmanSummariesGroupByCodeWithTheSameRules) {
    EXPECT_EQ(
        summaryStatement(kItemSummary, {"2002-10-01", "2003-03-31", ""}),
        "select chid, max(chname) as chname, max(ggxh) as ggxh, max(jldw) as jldw , sum(quantity1) as sl,"
        " sum(money1) as je from xsdview where rq >= '2002-10-01'  and rq <= '2003-03-31'"
        " group by chid order by chid");
    EXPECT_EQ(summaryStatement(kSalesmanSummary, {"2002-10-01", "2003-03-31", " Y'1 "}),
              "select ywyid, max(ywyname) as ywyname , sum(quantity1) as sl, sum(money1) as je,"
              " count(distinct xsdid) as djs from xsdview where rq >= '2002-10-01'  and rq <= '2003-03-31'"
              " and ywyid= ' Y''1 ' group by ywyid order by ywyid");
    EXPECT_EQ(summaryStatement(kItemSummary, {"2002-10-01", "2003-03-31", "  "}),
              summaryStatement(kItemSummary, {"2002-10-01", "2003-03-31", ""}));
}

TEST(SummaryCriteriaText, NamesTheDatesAndAGivenCode) {
    EXPECT_EQ(describeSummaryCriteria({"2003-01-01", "2003-01-31", "  "}, "存货编号："),
              std::vector<std::string>{"业务日期：2003-01-01 至 2003-01-31"});
    EXPECT_EQ(describeSummaryCriteria({"2003-01-01", "2003-01-31", "01001"}, "存货编号："),
              (std::vector<std::string>{"业务日期：2003-01-01 至 2003-01-31", "存货编号：01001"}));
}

TEST(ListCriteriaText, DescribedForThePrintoutWithOpenAndClosedRanges) {
    ListCriteria c = datesOnly();
    EXPECT_EQ(describeListCriteria(c), std::vector<std::string>{"业务日期：2002-12-01 至 2002-12-31"});
    c.userName = "王会计";
    c.invoiceFrom = "XS1";
    c.invoiceTo = "XS9";
    c.customerCode = "K001";
    c.quantityTo = "20";
    c.moneyFrom = "10";
    EXPECT_EQ(describeListCriteria(c),
              (std::vector<std::string>{"业务日期：2002-12-01 至 2002-12-31", "制单人：王会计",
                                        "发票号：XS1 至 XS9", "客户编码：K001", "数量：≤ 20", "金额：≥ 10"}));
}
TEST(ListCriteriaText, ApprovalStateAsksForAnApproverOrForNone) {
    ListCriteria c = datesOnly();
    const std::string dates = listCriteriaText(c);
    c.approval = ApprovalState::Approved;
    EXPECT_EQ(listCriteriaText(c), dates + " and (shrname is not null and shrname<>'')");
    EXPECT_EQ(describeListCriteria(c).back(), "审核状态：已审核");
    c.approval = ApprovalState::NotApproved;
    EXPECT_EQ(listCriteriaText(c), dates + " and (shrname is null or shrname='')");
    EXPECT_EQ(describeListCriteria(c).back(), "审核状态：未审核");
}
}  // namespace
}  // namespace velmora
