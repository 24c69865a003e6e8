#pragma once
// A provider answering every open with the rows a test gives, for widget tests without a server.

#include <memory>
#include <string>
#include <vector>

#include "data/ClientDataSet.h"
#include "data/DataPacket.h"
#include "transport/IProviderServer.h"

namespace velmora::test {

class PacketProvider : public IProviderServer {
  public:
    PacketProvider(FieldDefs fields, std::vector<std::vector<Variant>> rows);

    // Binds dataSet to this provider.
    static void bind(ClientDataSet& dataSet, const std::shared_ptr<PacketProvider>& provider);

    Variant RemoteApplyUpdates(const std::string&, const Variant&, int32_t, int32_t& errorCount,
                               Variant&) override {
        errorCount = 0;
        return Variant::null();
    }
    Variant RemoteGetRecords(const std::string&, int32_t count, int32_t& recsOut, int32_t, const std::string&,
                             Variant&, Variant&) override;
    Variant RemoteDataRequest(const std::string&, const Variant&) override { return Variant(); }
    Variant RemoteGetProviderNames() override { return Variant(); }
    Variant RemoteGetParams(const std::string&, Variant&) override { return Variant(); }
    Variant RemoteRowRequest(const std::string&, const Variant&, int32_t, Variant&) override {
        return Variant();
    }
    void RemoteExecute(const std::string&, const std::string&, Variant&, Variant&) override {}

  private:
    Bytes packet_;
};

}  // namespace velmora::test
