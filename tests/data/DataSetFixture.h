#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "data/ClientDataSet.h"
#include "tests/data/RecordingProvider.h"
#include "tests/data/TestPackets.h"

namespace velmora::test {

// A dataset on the recording provider, answering "DataSetProviderkh" with five customers.
class DataSetFixture : public ::testing::Test {
  protected:
    DataSetFixture() {
        provider->answer(
            "DataSetProviderkh",
            customersPacket({{"01", "甲"}, {"02", "乙"}, {"03", "丙"}, {"04", "丁"}, {"05", "戊"}}));
        kh.setRemoteServer([p = provider] { return p; });
        kh.setProviderName("DataSetProviderkh");
        kh.setCommandText("select * from kh");
    }

    // The khid of every row, in view order, without moving the cursor.
    std::string codes(ClientDataSet& ds, const char* field = "khid") {
        std::string out;
        int f = ds.FieldByName(field).Index();
        for (int r = 0; r < ds.RecordCount(); ++r) out += (r ? "," : "") + ds.textAt(r, f);
        return out;
    }
    std::string current(const char* field = "khid") { return kh.FieldByName(field).AsString(); }

    std::shared_ptr<RecordingProvider> provider = std::make_shared<RecordingProvider>();
    ClientDataSet kh{"ClientDataSetkh"};
};

}  // namespace velmora::test
