// What a dataset sends its provider, and its cursor, fields, filter, index and bookmarks.

#include "tests/data/DataSetFixture.h"
#include "transport/Errors.h"

namespace velmora::test {
namespace {

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

using DataSetCalls = DataSetFixture;

TEST_F(DataSetCalls, OpenAsksForEveryRowWithFieldsAndStandsOnTheFirst) {
    kh.Open();
    ASSERT_EQ(provider->calls.size(), 1u);
    const ProviderCall& c = provider->calls[0];
    EXPECT_EQ(c.member, "GetRecords");
    EXPECT_EQ(c.provider, "DataSetProviderkh");
    EXPECT_EQ(c.count, -1);
    EXPECT_EQ(c.options, kGetRecordsMetaData);
    EXPECT_EQ(c.commandText, "select * from kh");
    EXPECT_TRUE(c.params.isEmpty());
    EXPECT_TRUE(c.ownerData.isEmpty());
    EXPECT_EQ(kh.State(), DataSetState::Browse);
    EXPECT_EQ(kh.RecordCount(), 5);
    EXPECT_EQ(current(), "01");
    EXPECT_EQ(current("khname"), "甲");
}

TEST_F(DataSetCalls, OpeningAnOpenDatasetSendsNothingEvenAfterANewCommandText) {
    kh.Open();
    kh.Next();
    kh.setCommandText("select * from  kh where khid='03'");
    kh.Open();
    kh.setActive(true);
    EXPECT_EQ(provider->calls.size(), 1u);
    EXPECT_EQ(kh.RecordCount(), 5);
    EXPECT_EQ(current(), "02");
    kh.Close();
    kh.Open();
    EXPECT_EQ(provider->calls.back().commandText, "select * from  kh where khid='03'");
}

TEST_F(DataSetCalls, CloseResetsTheProviderOnlyAfterRowsWereFetched) {
    kh.Close();
    EXPECT_TRUE(provider->calls.empty());
    kh.Open();
    kh.Close();
    kh.Close();
    ASSERT_EQ(provider->calls.size(), 2u);
    const ProviderCall& reset = provider->calls[1];
    EXPECT_EQ(reset.count, 0);
    EXPECT_EQ(reset.options, kGetRecordsReset);
    EXPECT_EQ(reset.commandText, "");
    EXPECT_FALSE(kh.Active());

    kh.setProviderName("DataSetProviderNone");  // answers nothing
    EXPECT_EQ(errorOf([&] { kh.Open(); }), "Missing data provider or data packet");
    kh.Close();
    EXPECT_EQ(provider->calls.size(), 3u);
}

TEST_F(DataSetCalls, WithoutProviderOrServerOpenFailsClearly) {
    ClientDataSet lone("lone");
    EXPECT_EQ(errorOf([&] { lone.Open(); }), "Missing data provider or data packet");
    provider->answer("bad", Bytes("too short", 9));
    kh.setProviderName("bad");
    EXPECT_EQ(errorOf([&] { kh.Open(); }), "Invalid data packet");
    EXPECT_FALSE(kh.Active());
}

TEST_F(DataSetCalls, RefreshFetchesAgainAndKeepsTheCursorPosition) {
    kh.Open();
    kh.Next();
    kh.Next();
    provider->answer("DataSetProviderkh",
                     customersPacket({{"01", "a"}, {"02", "b"}, {"09", "new"}, {"04", "d"}}));
    kh.Refresh();
    ASSERT_EQ(provider->calls.size(), 2u);
    const ProviderCall& c = provider->calls[1];
    EXPECT_EQ(c.count, -1);
    EXPECT_EQ(c.options, kGetRecordsReset);
    EXPECT_EQ(c.commandText, "");
    EXPECT_EQ(kh.RecNo(), 3);
    EXPECT_EQ(current(), "09");
}

TEST_F(DataSetCalls, RefreshIsRefusedWhileChangesAreUnapplied) {
    kh.Open();
    kh.Edit();
    kh.FieldByName("khname").setAsString("changed");
    EXPECT_EQ(errorOf([&] { kh.Refresh(); }), "Must apply updates before refreshing data");
    EXPECT_EQ(provider->calls.size(), 1u);
    EXPECT_EQ(kh.State(), DataSetState::Browse);  // the edit was posted first
    EXPECT_EQ(current("khname"), "changed");
}

TEST_F(DataSetCalls, ReattachFetchesWithTheOwnCommandTextOrKeepsUnappliedChanges) {
    kh.Open();
    kh.Next();
    provider->answer("DataSetProviderkh", customersPacket({{"01", "a"}, {"08", "new"}, {"03", "c"}}));
    kh.Reattach();  // a new connection's provider knows no command text: this one is sent along
    ASSERT_EQ(provider->calls.size(), 2u);
    EXPECT_EQ(provider->calls[1].count, -1);
    EXPECT_EQ(provider->calls[1].commandText, "select * from kh");
    EXPECT_EQ(current(), "08");

    kh.Edit();
    kh.FieldByName("khname").setAsString("typed");
    kh.Reattach();  // an edit under way: no rows come, the provider only learns the text
    ASSERT_EQ(provider->calls.size(), 3u);
    EXPECT_EQ(provider->calls[2].count, 0);
    EXPECT_EQ(provider->calls[2].commandText, "select * from kh");
    EXPECT_EQ(kh.State(), DataSetState::Edit);
    kh.Post();
    kh.Reattach();
    EXPECT_EQ(provider->calls.back().count, 0);
    EXPECT_EQ(kh.ChangeCount(), 1);
    EXPECT_EQ(current("khname"), "typed");
}

TEST_F(DataSetCalls, CloseOnALostConnectionStillCloses) {
    kh.Open();
    kh.setRemoteServer([]() -> std::shared_ptr<IProviderServer> {
        throw SocketConnectionError("The connection to the server is closed");
    });
    kh.Close();
    EXPECT_FALSE(kh.Active());
}

TEST_F(DataSetCalls, ExecuteSendsTheCommandTextAndFetchesNothing) {
    kh.setCommandText("update  user1  set  password1 ='x' where username='a'");
    kh.Execute();
    ASSERT_EQ(provider->calls.size(), 1u);
    EXPECT_EQ(provider->calls[0].member, "Execute");
    EXPECT_EQ(provider->calls[0].provider, "DataSetProviderkh");
    EXPECT_EQ(provider->calls[0].commandText, "update  user1  set  password1 ='x' where username='a'");
    EXPECT_FALSE(kh.Active());
    provider->failNext = "no such table: user1";
    EXPECT_EQ(errorOf([&] { kh.Execute(); }), "no such table: user1");
}

TEST_F(DataSetCalls, ApplyWithAnEmptyLogSendsNothingAndReturnsZero) {
    kh.Open();
    kh.Edit();  // nothing changed: cancelled by the apply
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
    EXPECT_EQ(provider->callsOf("ApplyUpdates").size(), 0u);
    kh.Edit();
    kh.FieldByName("tel").setAsString("123");
    EXPECT_EQ(kh.ApplyUpdates(-1), 0);
    auto applies = provider->callsOf("ApplyUpdates");
    ASSERT_EQ(applies.size(), 1u);
    EXPECT_EQ(applies[0].provider, "DataSetProviderkh");
    EXPECT_EQ(applies[0].maxErrors, -1);
    EXPECT_TRUE(applies[0].ownerData.isEmpty());
    EXPECT_EQ(applies[0].delta.fields, customerFields());
    EXPECT_EQ(kh.ApplyUpdates(0), 0);
    EXPECT_EQ(provider->callsOf("ApplyUpdates").size(), 1u);
}

using DataSetCursor = DataSetFixture;

TEST_F(DataSetCursor, WalksForwardAndBackInViewOrder) {
    kh.Open();
    std::string seen;
    for (kh.First(); !kh.Eof(); kh.Next()) seen += current();
    EXPECT_EQ(seen, "0102030405");
    EXPECT_EQ(current(), "05");
    EXPECT_TRUE(kh.Eof());
    kh.Prior();
    EXPECT_FALSE(kh.Eof());
    EXPECT_EQ(current(), "04");
    kh.First();
    EXPECT_TRUE(kh.Bof());
    kh.Prior();
    EXPECT_EQ(current(), "01");
    kh.Last();
    EXPECT_TRUE(kh.Eof());
    kh.MoveBy(-2);
    EXPECT_EQ(kh.RecNo(), 3);
}

TEST_F(DataSetCursor, DeleteMovesToTheFollowingRowOrThePrecedingAfterTheLast) {
    kh.Open();
    kh.setRecNo(2);
    kh.Delete();
    EXPECT_EQ(current(), "03");
    kh.Last();
    kh.Delete();
    EXPECT_EQ(current(), "04");
    EXPECT_EQ(codes(kh), "01,03,04");
    while (!kh.IsEmpty()) kh.Delete();
    EXPECT_TRUE(kh.Eof() && kh.Bof());
    EXPECT_EQ(current(), "");
    EXPECT_EQ(errorOf([&] { kh.Delete(); }), "Cannot perform this operation on an empty dataset");
}

TEST_F(DataSetCursor, InsertGoesBeforeTheCursorAndAppendAtTheEnd) {
    kh.Open();
    kh.setRecNo(3);
    kh.Insert();
    EXPECT_EQ(kh.State(), DataSetState::Insert);
    kh.FieldByName("khid").setAsString("2a");
    kh.Post();
    EXPECT_EQ(codes(kh), "01,02,2a,03,04,05");
    EXPECT_EQ(kh.RecNo(), 3);
    kh.First();
    kh.Append();
    kh.FieldByName("khid").setAsString("99");
    kh.Post();
    EXPECT_EQ(codes(kh), "01,02,2a,03,04,05,99");
    kh.setRecNo(2);
    kh.Insert();
    kh.Cancel();
    EXPECT_EQ(current(), "02");
    EXPECT_EQ(kh.RecordCount(), 7);
    kh.Insert();
    kh.First();  // an untouched insert is dropped when the cursor moves
    EXPECT_EQ(kh.RecordCount(), 7);
    EXPECT_EQ(kh.State(), DataSetState::Browse);
}

TEST_F(DataSetCursor, BookmarksReturnToTheirRowAndFailOnceItIsGone) {
    kh.Open();
    kh.setRecNo(4);
    Bookmark b = kh.GetBookmark();
    kh.First();
    kh.GotoBookmark(b);
    EXPECT_EQ(current(), "04");
    kh.setIndexFieldNames("khname");
    kh.GotoBookmark(b);
    EXPECT_EQ(current(), "04");
    kh.Delete();
    EXPECT_FALSE(kh.BookmarkValid(b));
    EXPECT_EQ(errorOf([&] { kh.GotoBookmark(b); }), "Record not found");
}

using DataSetFields = DataSetFixture;

TEST_F(DataSetFields, WritingNeedsTheEditOrInsertState) {
    kh.Open();
    EXPECT_EQ(errorOf([&] { kh.FieldByName("khname").setAsString("x"); }),
              "ClientDataSetkh: Dataset not in edit or insert mode");
    EXPECT_EQ(errorOf([&] { kh.FieldByName("nosuch"); }), "ClientDataSetkh: Field 'nosuch' not found");
    kh.Close();
    EXPECT_EQ(errorOf([&] { kh.FieldByName("khid").AsString(); }),
              "Cannot perform this operation on a closed dataset");
}

TEST_F(DataSetFields, NumbersReadAsTextWithAtMostFifteenDigits) {
    provider->answer("p", flatPacket({numberField("je"), intField("n"), boolField("b")},
                                     {{Variant(10.1 + 19.900000000000002), Variant(7), Variant(true)},
                                      {Variant(0.1 + 0.2), Variant::null(), Variant(false)}}));
    kh.setProviderName("p");
    kh.Open();
    EXPECT_EQ(kh.FieldByName("je").AsString(), "30");
    EXPECT_EQ(kh.FieldByName("n").AsString(), "7");
    EXPECT_EQ(kh.FieldByName("b").AsString(), "True");
    kh.Next();
    EXPECT_EQ(kh.FieldByName("je").AsString(), "0.3");
    EXPECT_EQ(kh.FieldByName("n").AsString(), "");
    EXPECT_TRUE(kh.FieldByName("n").Value().isNull());
    EXPECT_EQ(kh.FieldByName("n").AsInteger(), 0);
    kh.Edit();
    kh.FieldByName("je").setAsString("7.50");
    EXPECT_EQ(kh.FieldByName("je").Value(), Variant(7.5));
    EXPECT_EQ(errorOf([&] { kh.FieldByName("je").setAsString("abc"); }),
              "'abc' is not a valid floating point value");
    kh.FieldByName("je").setAsString("");
    EXPECT_TRUE(kh.FieldByName("je").IsNull());
    kh.FieldByName("n").setValue(Variant("12"));
    EXPECT_EQ(kh.FieldByName("n").AsInteger(), 12);
}

TEST_F(DataSetFields, ComeFromEachPacketSoAReQueryCanBringOtherColumns) {
    kh.Open();
    kh.FieldByName("khid").setEditMask("99;1;_");
    EXPECT_EQ(kh.FieldCount(), 3);
    provider->answer(
        "DataSetProviderkh",
        flatPacket({textField("ywyid"), textField("ywyname"), textField("tel"), textField("address")},
                   {{Variant("y1"), Variant("张三"), Variant("1"), Variant("here")}}));
    kh.Close();
    kh.setCommandText("select * from  ywy where ywyid='y1'");
    kh.Open();
    EXPECT_EQ(kh.FieldCount(), 4);
    EXPECT_EQ(kh.FieldByName("ywyname").AsString(), "张三");
    EXPECT_EQ(kh.FindField("khid"), nullptr);
    provider->answer("DataSetProviderkh", customersPacket({{"01", "a"}}));
    kh.Close();
    kh.Open();
    EXPECT_EQ(kh.FieldByName("khid").Name(), "ClientDataSetkhkhid");
    EXPECT_EQ(kh.FieldByName("khid").EditMask(), "");
    kh.FieldByName("khid").setEditMask("99-999;1;_");
    kh.Close();
    kh.Open();
    EXPECT_EQ(kh.FieldByName("khid").EditMask(), "99-999;1;_");
}

TEST_F(DataSetFields, PersistentFieldsMustBeInThePacket) {
    ClientDataSet tb("ClientDataSetxsdtb");
    tb.setRemoteServer([p = provider] { return p; });
    tb.setProviderName("DataSetProviderkh");
    tb.addPersistentField(textField("khname"));
    tb.addPersistentField(textField("khid"));
    tb.Open();
    EXPECT_EQ(tb.FieldCount(), 2);
    EXPECT_EQ(tb.Fields(0).AsString(), "甲");
    EXPECT_EQ(tb.FindField("tel"), nullptr);
    tb.Close();
    tb.Close();
    ClientDataSet missing("m");
    missing.setRemoteServer([p = provider] { return p; });
    missing.setProviderName("DataSetProviderkh");
    missing.addPersistentField(textField("xsdid"));
    EXPECT_EQ(errorOf([&] { missing.Open(); }), "m: Field 'xsdid' not found");
    EXPECT_FALSE(missing.Active());
}

using DataSetFilter = DataSetFixture;

TEST_F(DataSetFilter, AppliesAtOnceAndIsKeptForTheNextUser) {
    kh.setFilter("khid='03' or khid='05'");
    kh.setFiltered(true);
    kh.Open();
    EXPECT_EQ(codes(kh), "03,05");
    EXPECT_EQ(kh.RecordCount(), 2);
    EXPECT_EQ(kh.RecordCountUnfiltered(), 5);
    kh.setFilter("khid='T'");
    EXPECT_EQ(kh.RecordCount(), 0);
    EXPECT_TRUE(kh.Eof());
    kh.Close();
    // Another window opens the dataset without setting a filter of its own.
    kh.Open();
    EXPECT_EQ(kh.Filter(), "khid='T'");
    EXPECT_EQ(kh.RecordCount(), 0);
    kh.setFiltered(false);
    EXPECT_EQ(kh.RecordCount(), 5);
    kh.setFilter("");
    kh.setFiltered(true);
    EXPECT_EQ(kh.RecordCount(), 5);
}

TEST_F(DataSetFilter, ABadFilterIsRefusedAndTheOldOneStays) {
    kh.setFilter("khid='01'");
    kh.setFiltered(true);
    kh.Open();
    EXPECT_NE(errorOf([&] { kh.setFilter("khid='01"); }), "no error");
    EXPECT_EQ(errorOf([&] { kh.setFilter("chflid='53'"); }), "Field 'chflid' not found");
    EXPECT_EQ(kh.Filter(), "khid='01'");
    EXPECT_EQ(codes(kh), "01");
}

TEST_F(DataSetFilter, APostedRowThatNoLongerPassesLeavesTheView) {
    kh.setFilter("khname <> 'gone'");
    kh.setFiltered(true);
    kh.Open();
    kh.setRecNo(2);
    kh.Edit();
    kh.FieldByName("khname").setAsString("gone");
    kh.Post();
    EXPECT_EQ(codes(kh), "01,03,04,05");
    EXPECT_EQ(current(), "03");
    EXPECT_EQ(kh.ChangeCount(), 1);
}

using DataSetIndex = DataSetFixture;

TEST_F(DataSetIndex, SortsStablyByOneOrMoreFieldsAndFindsKeys) {
    provider->answer("DataSetProviderkh",
                     flatPacket(customerFields(), {{Variant("b"), Variant("2"), Variant("x")},
                                                   {Variant("a"), Variant("2"), Variant("y")},
                                                   {Variant("c"), Variant("1"), Variant("y")},
                                                   {Variant("d"), Variant("1"), Variant("x")}}));
    kh.Open();
    kh.setRecNo(2);
    kh.setIndexFieldNames("khname");
    EXPECT_EQ(codes(kh), "c,d,b,a");
    EXPECT_EQ(current(), "a");  // the cursor keeps its row
    kh.setIndexFieldNames("khname;tel");
    EXPECT_EQ(codes(kh), "d,c,b,a");
    EXPECT_TRUE(kh.FindKey({Variant("2")}));
    EXPECT_EQ(current(), "b");
    EXPECT_TRUE(kh.FindKey({Variant("2"), Variant("y")}));
    EXPECT_EQ(current(), "a");
    EXPECT_FALSE(kh.FindKey({Variant("3")}));
    EXPECT_EQ(current(), "a");
    kh.Insert();
    kh.FieldByName("khid").setAsString("e");
    kh.FieldByName("khname").setAsString("1");
    kh.FieldByName("tel").setAsString("z");
    kh.Post();
    EXPECT_EQ(codes(kh), "d,c,e,b,a");
    EXPECT_EQ(current(), "e");
    kh.setIndexFieldNames("");
    EXPECT_EQ(codes(kh), "b,e,a,c,d");  // inserted before the row the cursor was on
    EXPECT_EQ(errorOf([&] { kh.FindKey({Variant("a")}); }), "ClientDataSetkh: FindKey needs IndexFieldNames");
    EXPECT_EQ(errorOf([&] { kh.setIndexFieldNames("khname;;tel"); }),
              "Invalid index field names \"khname;;tel\"");
}

struct Recorder : DataSetObserver {
    std::vector<std::string> seen;
    void dataSetOpened(ClientDataSet&) override { seen.push_back("opened"); }
    void dataSetClosed(ClientDataSet&) override { seen.push_back("closed"); }
    void scrolled(ClientDataSet& ds) override { seen.push_back("scrolled " + std::to_string(ds.RecNo())); }
    void stateChanged(ClientDataSet&) override { seen.push_back("state"); }
    void recordChanged(ClientDataSet&, int field) override {
        seen.push_back("record " + std::to_string(field));
    }
    void dataChanged(ClientDataSet&) override { seen.push_back("data"); }
    void rowsAboutToBeInserted(ClientDataSet& ds, int first, int) override {
        seen.push_back("insert? " + std::to_string(first) + " of " + std::to_string(ds.RecordCount()));
    }
    void rowsInserted(ClientDataSet& ds, int first, int) override {
        seen.push_back("inserted " + std::to_string(first) + " of " + std::to_string(ds.RecordCount()));
    }
    void rowsAboutToBeRemoved(ClientDataSet& ds, int first, int) override {
        seen.push_back("remove? " + std::to_string(first) + " of " + std::to_string(ds.RecordCount()));
    }
    void rowsRemoved(ClientDataSet& ds, int first, int) override {
        seen.push_back("removed " + std::to_string(first) + " of " + std::to_string(ds.RecordCount()));
    }
};

TEST_F(DataSetFixture, ObserversHearRowChangesBeforeAndAfterTheyHappen) {
    Recorder r;
    kh.addObserver(&r);
    kh.Open();
    kh.Next();
    kh.Insert();
    kh.FieldByName("khname").setAsString("x");
    kh.Post();
    kh.Delete();
    kh.Close();
    kh.removeObserver(&r);
    kh.Open();
    std::vector<std::string> expected{"opened",          "state",  "scrolled 2",     "insert? 1 of 5",
                                      "inserted 1 of 6", "state",  "scrolled 2",     "record 1",
                                      "record -1",       "state",  "remove? 1 of 6", "removed 1 of 5",
                                      "scrolled 2",      "closed", "state"};
    EXPECT_EQ(r.seen, expected);
}

TEST(OpenPacket, AHeldPacketOpensWithoutAProviderAndADamagedOneLeavesItClosed) {
    ClientDataSet rows("rows");
    rows.OpenPacket(customersPacket({{"K1", "甲"}, {"K2", "乙"}}));
    EXPECT_TRUE(rows.Active());
    EXPECT_EQ(rows.RecordCount(), 2);
    EXPECT_EQ(rows.FieldByName("khname").AsString(), "甲");
    rows.Next();
    EXPECT_EQ(rows.FieldByName("khid").AsString(), "K2");
    // Opened again on another packet: its rows replace the others.
    rows.OpenPacket(customersPacket({{"K9", "丙"}}));
    EXPECT_EQ(rows.RecordCount(), 1);
    EXPECT_EQ(errorOf([&] { rows.OpenPacket(Bytes("too short", 9)); }).substr(0, 19), "Invalid data packet");
    EXPECT_FALSE(rows.Active());
}

}  // namespace
}  // namespace velmora::test
