// What the history and audit log windows make of stored audit rows: changes in plain Chinese,
// order lines named, UTC times shown locally, and nothing stored that could make them fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "audit/AuditRows.h"
#include "audit/AuditTime.h"
#include "audit/AuditWords.h"
#include "audit/ChangeText.h"
#include "audit/OrderLineNames.h"
#include "data/ClientDataSet.h"
#include "data/DataPacket.h"

namespace velmora {
namespace {

using Lines = std::vector<std::string>;

TEST(ChangeLines, ModificationsReadOldToNewInTheWindowsWords) {
    EXPECT_EQ(changeLines("kh", R"({"tel":[null,"12345"],"khname":["华联","华联超市"]})"),
              (Lines{"联系电话：空 → 12345", "客户名称：华联 → 华联超市"}));
    // Whole numbers as the window shows them, fractions as stored; integers untouched.
    EXPECT_EQ(changeLines("xsdzb", R"({"quantity1":[1.0,5.0],"price1":[12.5,0.1],"lineid":[17,18]})"),
              (Lines{"数量：1 → 5", "单价：12.5 → 0.1", "行号：17 → 18"}));
    // Approval as the server records it, and the flag of a stored row (0 or 1 on SQLite).
    EXPECT_EQ(changeLines("xsdtb", R"({"ischeck":[false,true],"shrname":[null,"王会计"]})"),
              (Lines{"审核：否 → 是", "审核人：空 → 王会计"}));
    EXPECT_EQ(changeLines("xsdtb", R"({"ischeck":0,"rq":""})"), (Lines{"审核：否", "开票日期：空"}));
}

TEST(ChangeLines, AddedRecordsKeepTheirStoredOrderAndStrangeInputShowsAsItIs) {
    // A record's fields read in the order stored (the window's), not sorted by name.
    EXPECT_EQ(changeLines("kh", R"({"khid":"K300","khname":"新\"客户","tel":null})"),
              (Lines{"客户编号：K300", "客户名称：新\"客户", "联系电话：空"}));
    // A table or field the client does not know keeps its stored name.
    EXPECT_EQ(changeLines("kh2", R"({"khid":"K1"})"), (Lines{"khid：K1"}));
    EXPECT_EQ(changeLines("kh", R"({"fax":"1"})"), (Lines{"fax：1"}));
    EXPECT_EQ(changeLines("", R"({"what":"QueryAuditLog","reason":"没有权限"})"),
              (Lines{"请求：QueryAuditLog", "原因：没有权限"}));
    // No changes at all (a login), and text that is not a JSON object: shown raw, never a failure.
    EXPECT_EQ(changeLines("", ""), Lines{});
    EXPECT_EQ(changeLines("kh", "{}"), Lines{});
    for (const char* raw : {R"({"tel":[1,)", "[1,2]", "\"text\"", "{\"a\":1}trailing"})
        EXPECT_EQ(changeLines("kh", raw), Lines{raw}) << raw;
    // A value of unexpected shape is shown as JSON text.
    EXPECT_EQ(changeLines("kh", R"({"tel":[1,2,3],"tax":{"a":1}})"),
              (Lines{"联系电话：[1,2,3]", "税号：{\"a\":1}"}));
}

TEST(ChangeLines, TheNamerRenamesTextValuesOnly) {
    ValueNamer namer = [](std::string_view table, std::string_view field, const std::string& text) {
        return std::string(table) + "." + std::string(field) + "=" + text;
    };
    EXPECT_EQ(changeLines("user1", R"({"role":"operator","rights":null,"x":3})", namer),
              (Lines{"角色：user1.role=operator", "权限：空", "x：3"}));
}

TEST(AuditWords, ActionsAndTablesReadInChineseAndUnknownNamesStay) {
    EXPECT_EQ(actionCaption("login_failed"), "登录失败");
    EXPECT_EQ(actionCaption("user_password"), "重设口令");
    EXPECT_EQ(actionCaption("archive"), "archive");
    EXPECT_EQ(tableCaption("chfl"), "存货分类档案");
    EXPECT_EQ(tableCaption("other"), "other");
    EXPECT_EQ(auditActions().size(), 17u);
    EXPECT_EQ(auditTables().size(), 7u);
}

TEST(OrderLineNames, LinesAreNamedByTheirPlaceOrTheirItem) {
    OrderLineNames names;
    names.addCurrent("17", 2, "彩电");
    names.addCurrent("18", 1, "");
    names.learn("18",
                R"({"xsdid":"XS1","chid":"0100101","chname":"","lineid":18})");  // the code, lacking a name
    names.learn("19", R"({"chid":"0100102","chname":"冰箱"})");                  // deleted since
    names.learn("17", R"({"chname":"旧名"})");    // what the line holds now wins
    names.learn("20", R"({"quantity1":[1,5]})");  // a modification names no item
    EXPECT_EQ(names.nameOf("17"), "第2行（彩电）");
    EXPECT_EQ(names.nameOf("18"), "第1行（0100101）");
    EXPECT_EQ(names.nameOf("19"), "明细（冰箱）");
    EXPECT_EQ(names.nameOf("20"), "明细（行号20）");
    EXPECT_EQ(lineItem("not json"), "");
}

class LocalTime : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        saved_ = tz ? tz : "";
        had_ = tz != nullptr;
        setenv("TZ", "CST-8", 1);  // eight hours east of UTC, no summer time, no zone files needed
        tzset();
    }
    void TearDown() override {
        had_ ? setenv("TZ", saved_.c_str(), 1) : unsetenv("TZ");
        tzset();
    }

  private:
    std::string saved_;
    bool had_ = false;
};

TEST_F(LocalTime, UtcStampsReadAsLocalTimeAndLocalDaysSpanTheirUtcDates) {
    EXPECT_EQ(localTimeText("2024-05-01T20:30:05.123Z"), "2024-05-02 04:30:05");
    EXPECT_EQ(localTimeText("2024-12-31T16:00:00Z"), "2025-01-01 00:00:00");
    for (const char* odd : {"", "yesterday", "2024-05-01", "2024-05-01 20:30"})
        EXPECT_EQ(localTimeText(odd), odd);
    // The local 2nd of May runs from 16:00 UTC on the 1st to 15:59:59 UTC on the 2nd.
    EXPECT_EQ(utcDatesSpanning("2024-05-02", "2024-05-02"),
              std::make_pair(std::string("2024-05-01"), std::string("2024-05-02")));
    EXPECT_EQ(utcDatesSpanning("2024-03-01", "2024-03-07"),
              std::make_pair(std::string("2024-02-29"), std::string("2024-03-07")));
    EXPECT_EQ(utcDatesSpanning("bad", "2024-03-07"),
              std::make_pair(std::string("bad"), std::string("2024-03-07")));
}

// A packet as the server answers GetRecordHistory and QueryAuditLog with.
Bytes serverPacket(const std::vector<std::vector<std::string>>& rows) {
    FieldDefs fields;
    for (const char* name : {"seq", "at", "username", "peer", "computer", "action", "tablename", "recordkey",
                             "parentkey", "changes"}) {
        FieldDef f;
        f.name = name;
        f.type = std::string(name) == "seq" ? FieldType::Integer : FieldType::String;
        f.size = 100;
        fields.push_back(f);
    }
    DataPacketWriter w(std::move(fields));
    int seq = static_cast<int>(rows.size());
    for (const auto& row : rows) {
        w.beginRow();
        w.addInteger(seq--);
        for (const std::string& value : row) w.addText(value);
        w.endRow();
    }
    return w.finish();
}

TEST_F(LocalTime, ServerRowsBecomeReadableRowsAndAPacketForGridAndExport) {
    ClientDataSet server("server");
    server.OpenPacket(serverPacket({
        {"2024-05-01T02:00:00.000Z", "管理员", "127.0.0.1:5000", "PC-1", "modify", "xsdzb", "17", "XS1",
         R"({"quantity1":[1.0,5.0],"price1":[2.0,3.0]})"},
        {"2024-05-01T01:00:00.000Z", "李出纳", "10.0.0.2:6000", "", "refused", "", "", "",
         R"({"what":"x","reason":"y"})"},
        {"2024-05-01T00:00:00.000Z", "", "10.0.0.3:7000", "", "login_failed", "user1", "王会计", "", ""},
    }));
    std::vector<ReadableAuditRow> rows = readableAuditRows(server);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].time, "2024-05-01 10:00:00");
    EXPECT_EQ(rows[0].action, "修改");
    EXPECT_EQ(rows[0].object, "发票明细");
    EXPECT_EQ(rows[0].key, "XS1 行号17");
    EXPECT_EQ(rows[0].content, (Lines{"数量：1 → 5", "单价：2 → 3"}));
    EXPECT_EQ(rows[1].object, "");
    EXPECT_EQ(rows[2].action, "登录失败");
    EXPECT_EQ(rows[2].object, "用户");
    EXPECT_EQ(rows[2].key, "王会计");
    EXPECT_TRUE(rows[2].content.empty());

    ClientDataSet shown("shown");
    shown.OpenPacket(readableAuditPacket(rows, "；"));
    ASSERT_EQ(shown.RecordCount(), 3);
    auto cell = [&](int row, const char* field) {
        return shown.textAt(row, shown.FieldByName(field).Index());
    };
    EXPECT_EQ(cell(0, "at"), "2024-05-01 10:00:00");
    EXPECT_EQ(cell(0, "content"), "数量：1 → 5；单价：2 → 3");
    EXPECT_EQ(cell(1, "peer"), "10.0.0.2:6000");
    EXPECT_EQ(cell(2, "username"), "");
}

}  // namespace
}  // namespace velmora
