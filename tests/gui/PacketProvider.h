#pragma once
// A provider answering every open with the rows a test gives, for widget tests without a server.

#include <memory>
#include <string>
#include <vector>

#include "data/ClientDataSet.h"
#include "data/DataPacket.h"
#include "tests/support/NullProvider.h"

namespace velmora::test {

class PacketProvider : public NullProvider {
  public:
    PacketProvider(FieldDefs fields, std::vector<std::vector<Variant>> rows);

    // Binds dataSet to this provider.
    static void bind(ClientDataSet& dataSet, const std::shared_ptr<PacketProvider>& provider);

    Variant RemoteGetRecords(const std::string&, int32_t count, int32_t& recsOut, int32_t, const std::string&,
                             Variant&, Variant&) override;

  private:
    Bytes packet_;
};

}  // namespace velmora::test
