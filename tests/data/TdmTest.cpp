// The data module: its datasets and data sources as every window expects to find them.

#include <gtest/gtest.h>

#include "data/Tdm.h"
#include "tests/data/RecordingProvider.h"
#include "tests/data/TestPackets.h"
#include "transport/SocketConnection.h"

namespace velmora::test {
namespace {

TEST(Tdm, HoldsTwelveClosedDatasetsBoundToTheirProviders) {
    auto provider = std::make_shared<RecordingProvider>();
    Tdm dm([provider] { return provider; });
    struct Expected {
        const char* name;
        const char* provider;
        const char* commandText;
    };
    const Expected expected[] = {
        {"ClientDataSetch", "DataSetProviderch", ""},
        {"ClientDataSetkh", "DataSetProviderkh", ""},
        {"ClientDataSetywy", "DataSetProviderywy", ""},
        {"ClientDataSetxsdtb", "DataSetProviderxsdtb", ""},
        {"ClientDataSetxsdzb", "", ""},
        {"ClientDataSetchfl", "DataSetProviderchfl", ""},
        {"ClientDataSetchfl_index", "DataSetProviderchfl", ""},
        {"ClientDataSetxsdzb2", "DataSetProviderxsdzb2", ""},
        {"ClientDataSetxsdview", "DataSetProviderxsdview", "select * from xsdview  where xsdid='1'"},
        {"ClientDataSetxsdview2", "DataSetProviderxsdview", "select * from xsdview  where xsdid='1'"},
        {"ClientDataSetxsdtb2", "DataSetProviderxsdtb2", ""},
        {"ClientDataSethz", "DataSetProviderhz",
         "select khname,chname ,sum(quantity1) as sl,  sum(money1) as je from xsdview group by "
         "khname,chname"},
    };
    std::vector<ClientDataSet*> sets = dm.dataSets();
    ASSERT_EQ(sets.size(), 12u);
    for (size_t i = 0; i < sets.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(sets[i]->Name(), expected[i].name);
        EXPECT_EQ(sets[i]->ProviderName(), expected[i].provider);
        EXPECT_EQ(sets[i]->CommandText(), expected[i].commandText);
        EXPECT_FALSE(sets[i]->Active());
        EXPECT_EQ(sets[i]->Filtered(), i == 0);
    }
    EXPECT_EQ(dm.ClientDataSetch.Filter(), "chflid='53'");
    EXPECT_EQ(dm.ClientDataSetxsdzb.MasterDataSet(), &dm.ClientDataSetxsdtb);
    EXPECT_TRUE(provider->calls.empty());
}

TEST(Tdm, EightDataSourcesShowTheirDatasets) {
    Tdm dm([] { return std::shared_ptr<IProviderServer>(); });
    std::vector<std::pair<std::string, ClientDataSet*>> expected{
        {"DataSourcech", &dm.ClientDataSetch},           {"DataSourcekh", &dm.ClientDataSetkh},
        {"DataSourceywy", &dm.ClientDataSetywy},         {"DataSourcexsdtb", &dm.ClientDataSetxsdtb},
        {"DataSourcexsdzb", &dm.ClientDataSetxsdzb},     {"DataSourcechfl", &dm.ClientDataSetchfl},
        {"DataSourcexsdview", &dm.ClientDataSetxsdview}, {"DataSourcehz", &dm.ClientDataSethz}};
    std::vector<DataSource*> sources = dm.dataSources();
    ASSERT_EQ(sources.size(), expected.size());
    for (size_t i = 0; i < sources.size(); ++i) {
        EXPECT_EQ(sources[i]->Name(), expected[i].first);
        EXPECT_EQ(sources[i]->DataSet(), expected[i].second);
    }
}

TEST(Tdm, OrderHeadersHaveTheirTenPersistentFieldsInOrder) {
    Tdm dm([] { return std::shared_ptr<IProviderServer>(); });
    ClientDataSet& tb = dm.ClientDataSetxsdtb;
    const char* names[] = {"xsdid",    "khid",    "khname",  "ywyid",         "ywyname",
                           "username", "shrname", "ischeck", "ADOQueryxsdzb", "rq"};
    ASSERT_EQ(tb.FieldCount(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(tb.Fields(i).FieldName(), names[i]);
        EXPECT_EQ(tb.Fields(i).Name(), std::string("ClientDataSetxsdtb") + names[i]);
    }
    EXPECT_EQ(tb.Fields(0).DataType(), FieldType::String);
    EXPECT_EQ(tb.Fields(0).Size(), 50u);
    EXPECT_EQ(dm.ClientDataSetxsdtbischeck().DataType(), FieldType::Boolean);
    EXPECT_EQ(dm.ClientDataSetxsdtbADOQueryxsdzb().DataType(), FieldType::DataSet);
    EXPECT_EQ(&dm.ClientDataSetxsdtbrq(), &tb.FieldByName("rq"));
}

TEST(Tdm, DatasetsSharingAProviderKeepTheirOwnRowsFilterAndLog) {
    auto provider = std::make_shared<RecordingProvider>();
    provider->answer("DataSetProviderchfl",
                     flatPacket({textField("chflid"), textField("chflname")},
                                {{Variant("01"), Variant("a")}, {Variant("01-001"), Variant("b")}}));
    Tdm dm([provider] { return provider; });
    dm.ClientDataSetchfl.Open();
    dm.ClientDataSetchfl_index.Open();
    dm.ClientDataSetchfl_index.setIndexFieldNames("chflid");
    dm.ClientDataSetchfl.setFilter("chflid='01'");
    dm.ClientDataSetchfl.setFiltered(true);
    dm.ClientDataSetchfl.Delete();
    EXPECT_EQ(dm.ClientDataSetchfl.RecordCount(), 0);
    EXPECT_EQ(dm.ClientDataSetchfl_index.RecordCount(), 2);
    EXPECT_EQ(dm.ClientDataSetchfl_index.ChangeCount(), 0);
    EXPECT_TRUE(dm.ClientDataSetchfl_index.FindKey({Variant("01")}));
    dm.ClientDataSetchfl_index.Refresh();
}

TEST(Tdm, ReachesTheServerThroughTheConnection) {
    SocketConnection connection;  // no address: every call fails before a socket is made
    Tdm dm(connection);
    EXPECT_THROW(dm.ClientDataSetkh.Open(), VelmoraError);
    EXPECT_FALSE(dm.ClientDataSetkh.Active());
}

}  // namespace
}  // namespace velmora::test
