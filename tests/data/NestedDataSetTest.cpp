// Order headers with their nested lines: the lines follow the header, their changes live in the
// header's log and travel with it.

#include "data/DataSetUsers.h"
#include "data/Tdm.h"
#include "tests/data/RecordingProvider.h"
#include "tests/data/TestPackets.h"
#include "transport/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace velmora::test {
namespace {

class NestedTest : public ::testing::Test {
  protected:
    NestedTest() {
        provider->answer(
            "DataSetProviderxsdtb",
            ordersPacket({{"A", "k1", false, {line(1, "A", "c1", 2, 3), line(2, "A", "c2", 1, 10)}},
                          {"B", "k2", true, {line(3, "B", "c1", 5, 1)}},
                          {"C", "k3", false, {}}}));
    }
    std::string lineItems() {
        std::string out;
        int f = zb.FieldByName("chid").Index();
        for (int r = 0; r < zb.RecordCount(); ++r) out += (r ? "," : "") + zb.textAt(r, f);
        return out;
    }
    void addLine(const std::string& chid, double quantity) {
        zb.Insert();
        zb.FieldByName("xsdid").setValue(tb.FieldByName("xsdid").Value());
        zb.FieldByName("chid").setAsString(chid);
        zb.FieldByName("quantity1").setAsFloat(quantity);
        zb.Post();
    }
    void goToOrder(const std::string& xsdid) {
        for (tb.First(); !tb.Eof() && tb.FieldByName("xsdid").AsString() != xsdid;) tb.Next();
    }
    ChangePacket lastDelta() { return provider->callsOf("ApplyUpdates").back().delta; }

    std::shared_ptr<RecordingProvider> provider = std::make_shared<RecordingProvider>();
    Tdm dm{[p = provider] { return p; }};
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    ClientDataSet& zb = dm.ClientDataSetxsdzb;
};

TEST_F(NestedTest, OpeningTheLinesOpensTheHeaderAndFollowsItsCursor) {
    zb.Open();
    EXPECT_TRUE(tb.Active());
    ASSERT_EQ(provider->calls.size(), 1u);
    EXPECT_EQ(provider->calls[0].provider, "DataSetProviderxsdtb");
    EXPECT_EQ(lineItems(), "c1,c2");
    EXPECT_EQ(zb.FieldByName("money1").AsString(), "6");
    tb.Next();
    EXPECT_EQ(lineItems(), "c1");
    EXPECT_EQ(zb.FieldByName("xsdid").AsString(), "B");
    tb.Next();
    EXPECT_EQ(zb.RecordCount(), 0);
    EXPECT_TRUE(zb.Eof());
    tb.Close();
    EXPECT_FALSE(zb.Active());
    EXPECT_EQ(provider->calls.size(), 2u);  // the header's reset; the lines have no provider
}

TEST_F(NestedTest, LineEditsGoIntoTheHeadersLogAndApplyFromEitherSendsOneRequest) {
    tb.Open();
    zb.Open();
    zb.setRecNo(2);
    zb.Edit();
    zb.FieldByName("quantity1").setAsFloat(4);
    zb.Post();
    zb.First();
    zb.Delete();
    EXPECT_EQ(tb.ChangeCount(), 2);
    EXPECT_EQ(zb.ChangeCount(), 2);
    EXPECT_EQ(zb.ApplyUpdates(0), 0);
    auto applies = provider->callsOf("ApplyUpdates");
    ASSERT_EQ(applies.size(), 1u);
    EXPECT_EQ(applies[0].provider, "DataSetProviderxsdtb");
    const ChangePacket& d = applies[0].delta;
    ASSERT_EQ(d.records.size(), 1u);
    EXPECT_EQ(d.records[0].kind, ChangeKind::Unmodified);
    EXPECT_EQ(d.records[0].original[0], Variant("A"));
    ASSERT_EQ(d.records[0].nested.size(), 1u);
    EXPECT_EQ(d.records[0].nested[0].field, 8u);
    const auto& lines = d.records[0].nested[0].records;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].kind, ChangeKind::Modify);
    EXPECT_EQ(lines[0].original[0], Variant(2));  // the server's line id finds the row
    EXPECT_EQ(lines[0].values[4], Variant(4.0));
    EXPECT_EQ(lines[1].kind, ChangeKind::Delete);
    EXPECT_EQ(tb.ChangeCount(), 0);
    EXPECT_EQ(lineItems(), "c2");
}

TEST_F(NestedTest, ANewOrderGoesOutWithItsLinesAndTakesTheServersLineIds) {
    zb.Open();
    tb.setFilter("");
    tb.setFiltered(true);
    tb.Insert();
    tb.FieldByName("username").setAsString("admin");
    tb.FieldByName("xsdid").setAsString("N1");
    EXPECT_EQ(zb.RecordCount(), 0);
    addLine("c7", 2);
    addLine("c8", 1);
    EXPECT_EQ(tb.State(), DataSetState::Insert);
    zb.First();
    tb.Post();
    provider->onApply = [](const ChangePacket& p, int32_t, int32_t& errorCount) {
        errorCount = 0;
        FailedRecordsPacket r;
        const auto& lines = p.records[0].nested[0].records;
        for (size_t i = 0; i < lines.size(); ++i)
            r.updated.push_back(
                {RecordPath{p.records[0].id, {{8, lines[i].id}}}, {{0, Variant(100 + int(i))}}});
        return r;
    };
    EXPECT_EQ(tb.ApplyUpdates(-1), 0);
    EXPECT_EQ(tb.ApplyUpdates(-1), 0);
    ASSERT_EQ(provider->callsOf("ApplyUpdates").size(), 1u);
    const ChangePacket& d = lastDelta();
    ASSERT_EQ(d.records.size(), 1u);
    EXPECT_EQ(d.records[0].kind, ChangeKind::Insert);
    EXPECT_EQ(d.records[0].values[0], Variant("N1"));
    EXPECT_EQ(d.records[0].values[5], Variant("admin"));
    const auto& lines = d.records[0].nested[0].records;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].values[2], Variant("c7"));  // in the order they were made
    EXPECT_EQ(lines[1].values[2], Variant("c8"));
    EXPECT_EQ(lineItems(), "c8,c7");  // c8 was inserted before the cursor's line
    EXPECT_EQ(zb.FieldByName("lineid").AsInteger(), 101);
    // The line can now be changed by its id.
    zb.Edit();
    zb.FieldByName("quantity1").setAsFloat(9);
    zb.Post();
    tb.ApplyUpdates(0);
    EXPECT_EQ(lastDelta().records[0].nested[0].records[0].original[0], Variant(101));
}

TEST_F(NestedTest, LineIdsReachTheirLinesInWhateverOrderTheServerSendsThem) {
    // Sent order, reversed, and with a first value for a line that a later one overrides: the
    // answers are matched by path, not by position.
    for (int shape = 0; shape < 3; ++shape) {
        SCOPED_TRACE(shape);
        tb.Close();
        zb.Open();
        auto lineIds = [&] {  // "item=lineid" of the new orders' lines, by item
            std::set<std::string> lines;
            for (const char* order : {"N1", "N2"}) {
                goToOrder(order);
                for (zb.First(); !zb.Eof(); zb.Next())
                    lines.insert(zb.FieldByName("chid").AsString() + "=" +
                                 zb.FieldByName("lineid").AsString());
            }
            std::string out;
            for (const std::string& l : lines) out += l + " ";
            return out;
        };
        provider->onApply = [shape](const ChangePacket& p, int32_t, int32_t& errorCount) {
            errorCount = 0;
            FailedRecordsPacket r;
            for (const ChangeRecord& order : p.records)
                for (const ChangeRecord& l : order.nested[0].records) {
                    int id = l.values[2].toString() == "c1"   ? 101
                             : l.values[2].toString() == "c2" ? 102
                                                              : 103;
                    if (shape == 2)
                        r.updated.push_back({RecordPath{order.id, {{8, l.id}}}, {{0, Variant(1)}}});
                    r.updated.push_back({RecordPath{order.id, {{8, l.id}}}, {{0, Variant(id)}}});
                }
            if (shape == 1) std::reverse(r.updated.begin(), r.updated.end());
            return r;
        };
        for (const std::string order : {"N1", "N2"}) {
            tb.Append();
            tb.FieldByName("xsdid").setAsString(order);
            for (const std::string& item :
                 order == "N1" ? std::vector<std::string>{"c1", "c2"} : std::vector<std::string>{"c3"})
                addLine(item, 1);
            tb.Post();
        }
        EXPECT_EQ(tb.ApplyUpdates(-1), 0);
        EXPECT_EQ(tb.ChangeCount(), 0);
        EXPECT_EQ(lineIds(), "c1=101 c2=102 c3=103 ");
    }
}

TEST_F(NestedTest, ValuesSentForTheLinesOfAFailedHeaderAreNotMergedAndTheNextOrderTakesItsOwn) {
    zb.Open();
    for (const std::string order : {"N1", "N2"}) {
        tb.Append();
        tb.FieldByName("xsdid").setAsString(order);
        addLine(order == "N1" ? "c1" : "c2", 1);
        tb.Post();
    }
    provider->onApply = [](const ChangePacket& p, int32_t, int32_t& errorCount) {
        errorCount = 1;
        FailedRecordsPacket r;
        r.failed.push_back({RecordPath{p.records[0].id, {}}, 19, "UNIQUE constraint failed"});
        // In the order sent, values for the failed order's line too: they must not stick.
        for (const ChangeRecord& order : p.records)
            r.updated.push_back({RecordPath{order.id, {{8, order.nested[0].records[0].id}}},
                                 {{0, Variant(order.id == p.records[0].id ? 500 : 600)}}});
        return r;
    };
    EXPECT_EQ(tb.ApplyUpdates(-1), 1);
    EXPECT_EQ(tb.ChangeCount(), 2);  // N1 and its line
    goToOrder("N1");
    EXPECT_EQ(tb.UpdateError(), "UNIQUE constraint failed");
    EXPECT_EQ(zb.FieldByName("lineid").AsString(), "");
    goToOrder("N2");
    EXPECT_EQ(tb.UpdateError(), "");
    EXPECT_EQ(zb.FieldByName("lineid").AsInteger(), 600);
}

TEST_F(NestedTest, TheChangePacketIsWrittenFromTheRowsExactlyAsItsValuesEncode) {
    // Edits, deletes and inserts at both levels, on headers fetched with their lines (whose
    // nested rows a change record never carries) and on new ones, with a value set to null.
    zb.Open();
    tb.Edit();
    tb.FieldByName("khid").setAsString("k9");
    zb.First();
    zb.Edit();
    zb.FieldByName("quantity1").Clear();
    zb.Post();
    zb.Next();
    zb.Delete();
    addLine("c5", 4);
    tb.Post();
    tb.Next();
    tb.Next();
    tb.Delete();
    tb.Append();
    tb.FieldByName("xsdid").setAsString("N2");
    addLine("c6", 1);
    tb.Post();
    tb.ApplyUpdates(-1);
    const ProviderCall call = provider->callsOf("ApplyUpdates").back();
    ASSERT_EQ(call.delta.records.size(), 3u);
    EXPECT_EQ(call.delta.records[0].nested[0].records.size(), 3u);
    EXPECT_TRUE(call.deltaBytes == encodeChangePacket(call.delta));
}

TEST_F(NestedTest, AHeaderChangedOnlyThroughItsLinesIsPostedButSentUnmodified) {
    zb.Open();
    tb.Edit();
    addLine("c9", 1);
    tb.Post();
    tb.Insert();  // a new header with lines only is kept when the cursor moves on
    addLine("c1", 1);
    tb.First();
    EXPECT_EQ(tb.RecordCount(), 4);
    tb.ApplyUpdates(0);
    const ChangePacket d = lastDelta();
    ASSERT_EQ(d.records.size(), 2u);
    EXPECT_EQ(d.records[0].kind, ChangeKind::Unmodified);
    EXPECT_EQ(d.records[1].kind, ChangeKind::Insert);
    EXPECT_EQ(d.records[1].nested[0].records.size(), 1u);
}

TEST_F(NestedTest, CancelUpdatesDropsTheHeaderAndAllItsLines) {
    zb.Open();
    tb.Last();
    tb.Insert();
    tb.FieldByName("xsdid").setAsString("N2");
    addLine("c1", 1);
    tb.CancelUpdates();
    EXPECT_EQ(tb.RecordCount(), 3);
    tb.First();
    zb.Last();
    zb.Delete();
    EXPECT_EQ(lineItems(), "c1");
    tb.CancelUpdates();
    EXPECT_EQ(lineItems(), "c1,c2");
    EXPECT_EQ(tb.ApplyUpdates(0), 0);
    EXPECT_TRUE(provider->callsOf("ApplyUpdates").empty());
}

TEST_F(NestedTest, AFailedHeaderKeepsItsLinesInTheLog) {
    zb.Open();
    tb.Edit();
    tb.FieldByName("khid").setAsString("k9");
    addLine("c5", 1);
    provider->onApply = [](const ChangePacket& p, int32_t, int32_t& errorCount) {
        errorCount = 1;
        FailedRecordsPacket r;
        r.failed.push_back({RecordPath{p.records[0].id, {}}, 0, "changed by another user"});
        return r;
    };
    EXPECT_EQ(tb.ApplyUpdates(-1), 1);
    EXPECT_EQ(tb.ChangeCount(), 2);
    EXPECT_EQ(tb.UpdateError(), "changed by another user");
    provider->onApply = nullptr;
    EXPECT_EQ(tb.ApplyUpdates(-1), 0);
    const ChangePacket& d = lastDelta();
    EXPECT_EQ(d.records[0].kind, ChangeKind::Modify);
    EXPECT_EQ(d.records[0].nested[0].records.size(), 1u);
}

TEST_F(NestedTest, DeletingAHeaderSendsOnlyTheHeader) {
    zb.Open();
    zb.Delete();
    tb.Delete();
    EXPECT_EQ(tb.FieldByName("xsdid").AsString(), "B");
    EXPECT_EQ(lineItems(), "c1");
    tb.ApplyUpdates(0);
    const ChangePacket& d = lastDelta();
    ASSERT_EQ(d.records.size(), 1u);
    EXPECT_EQ(d.records[0].kind, ChangeKind::Delete);
    EXPECT_TRUE(d.records[0].nested.empty());
}

TEST_F(NestedTest, LinesCannotBeAddedWithoutAHeader) {
    provider->answer("DataSetProviderxsdtb", ordersPacket({}));
    zb.Open();
    EXPECT_THROW(zb.Insert(), VelmoraError);
}

// A window that uses only the lines (the item window) fetched every order with them: letting the
// lines go lets the orders go, unless another window holds the orders itself.
TEST_F(NestedTest, AUserOfTheLinesHoldsTheOrdersAndLettingGoClosesBoth) {
    DataSetUsers users;
    int items = 0, invoicing = 0;
    users.use(&items, {&zb});
    EXPECT_TRUE(tb.Active());
    users.release(&items, {&zb});
    EXPECT_FALSE(tb.Active());
    EXPECT_FALSE(zb.Active());

    users.use(&invoicing, {&tb, &zb});
    users.use(&items, {&zb});
    users.release(&items, {&zb});
    EXPECT_TRUE(tb.Active() && zb.Active());  // still on screen in the invoicing window
    users.release(&invoicing, {&tb, &zb});
    EXPECT_FALSE(tb.Active());
    EXPECT_FALSE(users.inUse(tb) || users.inUse(zb));
}

}  // namespace
}  // namespace velmora::test
