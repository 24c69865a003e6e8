#include "tests/gui/PacketProvider.h"

namespace velmora::test {

PacketProvider::PacketProvider(FieldDefs fields, std::vector<std::vector<Variant>> rows) {
    DataPacketWriter writer(std::move(fields));
    for (const auto& row : rows) {
        writer.beginRow();
        for (const Variant& v : row) writer.addValue(v);
        writer.endRow();
    }
    packet_ = writer.finish();
}

void PacketProvider::bind(ClientDataSet& dataSet, const std::shared_ptr<PacketProvider>& provider) {
    dataSet.setRemoteServer([provider]() -> std::shared_ptr<IProviderServer> { return provider; });
    dataSet.setProviderName("DataSetProvidertest");
}

Variant PacketProvider::RemoteGetRecords(const std::string&, int32_t count, int32_t& recsOut, int32_t,
                                         const std::string&, Variant&, Variant&) {
    if (count == 0) return Variant();
    recsOut = -1;
    return Variant::byteArray(packet_);
}

}  // namespace velmora::test
