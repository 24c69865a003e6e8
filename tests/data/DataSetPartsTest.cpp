// A result taken in parts: the first part opens the dataset, each further part is added after the
// rows held (in index order under an index, through the filter under a filter), observers hear of
// the rows added, and the provider is asked exactly as the contract says.
#include <gtest/gtest.h>

#include "data/DataSetObserver.h"
#include "tests/data/DataSetFixture.h"
#include "transport/Errors.h"

namespace velmora::test {
namespace {

std::vector<Row> customers(int from, int to) {
    std::vector<Row> rows;
    for (int i = from; i < to; ++i) {
        char code[16];
        std::snprintf(code, sizeof code, "%03d", i);
        rows.push_back({Variant(std::string(code)), Variant("客户" + std::to_string(i)), Variant::null()});
    }
    return rows;
}

// Hands out the customers 0..total in parts of the size asked for, as the server does.
class PartsOf : public DataSetFixture {
  protected:
    explicit PartsOf(int total = 25) : total_(total) {
        provider->answerWith("DataSetProviderkh", [this](const std::string&) {
            const ProviderCall& call = provider->calls.back();
            if (call.options & kGetRecordsReset) next_ = 0;
            int end = std::min(total_, next_ + call.count);
            Bytes packet = flatPacket(customerFields(), customers(next_, end), end == total_);
            next_ = end;
            return Variant::byteArray(std::move(packet));
        });
        kh.setPacketRecords(10);
    }
    int total_;
    int next_ = 0;
};

struct Heard : DataSetObserver {
    std::vector<std::pair<int, int>> inserted;
    int scrolls = 0;
    void rowsInserted(ClientDataSet&, int first, int count) override { inserted.emplace_back(first, count); }
    void scrolled(ClientDataSet&) override { ++scrolls; }
};

TEST_F(PartsOf, TheFirstPartOpensAndEachFurtherPartFollowsUntilTheLast) {
    kh.Open();
    EXPECT_EQ(kh.RecordCount(), 10);
    EXPECT_FALSE(kh.AllFetched());
    EXPECT_EQ(current(), "000");
    kh.Last();
    Heard heard;
    kh.addObserver(&heard);
    EXPECT_EQ(kh.FetchMore(10), 10);
    EXPECT_EQ(kh.FetchMore(10), 5);
    EXPECT_TRUE(kh.AllFetched());
    EXPECT_EQ(kh.FetchMore(10), 0);  // nothing is asked once every row is held
    kh.removeObserver(&heard);
    EXPECT_EQ(heard.inserted, (std::vector<std::pair<int, int>>{{10, 10}, {20, 5}}));
    EXPECT_EQ(current(), "009");  // the cursor stays where it was
    EXPECT_EQ(kh.RecordCount(), 25);
    EXPECT_EQ(codes(kh).substr(0, 11), "000,001,002");

    auto gets = provider->callsOf("GetRecords");
    ASSERT_EQ(gets.size(), 3u);
    EXPECT_EQ(gets[0].count, 10);
    EXPECT_EQ(gets[0].options, kGetRecordsMetaData | kGetRecordsReset);
    EXPECT_EQ(gets[0].commandText, "select * from kh");
    for (size_t i = 1; i < gets.size(); ++i) {
        EXPECT_EQ(gets[i].options, 0);
        EXPECT_EQ(gets[i].commandText, "");
    }
    // Closing tells the provider to forget its place.
    kh.Close();
    EXPECT_EQ(provider->callsOf("GetRecords").back().count, 0);
}

TEST_F(PartsOf, UnderAnIndexTheRowsAddedSortIntoPlaceAndTheCursorKeepsItsRow) {
    kh.setIndexFieldNames("khname");
    kh.Open();
    ASSERT_TRUE(kh.FindKey({Variant(std::string("客户5"))}));
    while (!kh.AllFetched()) kh.FetchMore(7);
    EXPECT_EQ(current("khname"), "客户5");
    // By name: 客户0, 客户1, 客户10, 客户11 ...
    int name = kh.FieldByName("khname").Index();
    for (int r = 1; r < kh.RecordCount(); ++r) EXPECT_LE(kh.textAt(r - 1, name), kh.textAt(r, name));
    EXPECT_EQ(kh.RecordCount(), 25);
}

TEST_F(PartsOf, UnderAFilterOnlyTheRowsThatPassAreAdded) {
    kh.setFilter("khid>='015'");
    kh.setFiltered(true);
    kh.Open();
    EXPECT_TRUE(kh.IsEmpty());
    Heard heard;
    kh.addObserver(&heard);
    kh.FetchMore(10);  // rows 10..19: five pass
    kh.FetchMore(10);
    kh.removeObserver(&heard);
    EXPECT_EQ(codes(kh), "015,016,017,018,019,020,021,022,023,024");
    EXPECT_EQ(heard.inserted, (std::vector<std::pair<int, int>>{{0, 5}, {5, 5}}));
    // The first rows to show put the cursor on the first of them.
    EXPECT_EQ(current(), "015");
    EXPECT_GE(heard.scrolls, 1);
    kh.setFiltered(false);
    EXPECT_EQ(kh.RecordCount(), 25);
}

TEST_F(PartsOf, APartWithOtherFieldsIsRefusedAndTheRowsHeldStay) {
    kh.Open();
    provider->answerWith("DataSetProviderkh", [](const std::string&) {
        return Variant::byteArray(flatPacket({textField("khid")}, {{Variant(std::string("X"))}}));
    });
    EXPECT_THROW(kh.FetchMore(10), PacketError);
    EXPECT_EQ(kh.RecordCount(), 10);
    EXPECT_FALSE(kh.AllFetched());
}

TEST_F(PartsOf, EditsAndTheChangeLogSurviveTheRowsAdded) {
    kh.Open();
    kh.Edit();
    kh.FieldByName("khname").setAsString("改");
    kh.Post();
    kh.FetchMore(100);
    EXPECT_EQ(kh.ChangeCount(), 1);
    kh.First();
    EXPECT_EQ(current("khname"), "改");
    EXPECT_EQ(kh.RecordCount(), 25);
}

TEST_F(PartsOf, ARefreshOfAnIncompleteResultAsksForAsManyRowsAsAreHeld) {
    kh.Open();
    kh.FetchMore(5);
    kh.Refresh();
    auto gets = provider->callsOf("GetRecords");
    EXPECT_EQ(gets.back().count, 15);
    EXPECT_EQ(gets.back().options, kGetRecordsReset);
    EXPECT_EQ(kh.RecordCount(), 15);
    EXPECT_FALSE(kh.AllFetched());
}

TEST_F(DataSetFixture, WithoutPartsOneOpenHoldsEveryRowAndFetchMoreHasNothingToDo) {
    kh.Open();
    EXPECT_TRUE(kh.AllFetched());
    EXPECT_EQ(kh.FetchMore(10), 0);
    EXPECT_EQ(provider->callsOf("GetRecords").size(), 1u);
    EXPECT_EQ(provider->callsOf("GetRecords")[0].count, -1);
}

}  // namespace
}  // namespace velmora::test
