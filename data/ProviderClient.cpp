#include "data/ProviderClient.h"

#include "transport/Errors.h"

namespace velmora {

namespace {
const char* const kMissingProvider = "Missing data provider or data packet";
// A packet's upper bound must exceed 20.
constexpr size_t kMinPacketBytes = 22;
}  // namespace

std::shared_ptr<IProviderServer> ProviderClient::server() const {
    if (!source_ || providerName_.empty()) throw VelmoraError(kMissingProvider);
    std::shared_ptr<IProviderServer> server = source_();
    if (!server) throw VelmoraError(kMissingProvider);
    return server;
}

Bytes ProviderClient::takeBytes(Variant result) {
    if (result.isEmpty() || result.isNull()) throw VelmoraError(kMissingProvider);
    if (!result.isByteArray() || result.bytes().size() < kMinPacketBytes)
        throw PacketError("Invalid data packet");
    return result.takeBytes();
}

DataPacket ProviderClient::takePacket(Variant result) {
    return decodeDataPacket(takeBytes(std::move(result)));
}

Bytes ProviderClient::fetch(const std::string& commandText) {
    auto s = server();
    int32_t recsOut = 0;
    Variant params, ownerData;
    return takeBytes(
        s->RemoteGetRecords(providerName_, -1, recsOut, kGetRecordsMetaData, commandText, params, ownerData));
}

DataPacket ProviderClient::open(const std::string& commandText) {
    return decodeDataPacket(fetch(commandText));
}

DataPacket ProviderClient::openPart(const std::string& commandText, int32_t count) {
    auto s = server();
    int32_t recsOut = 0;
    Variant params, ownerData;
    return takePacket(s->RemoteGetRecords(providerName_, count, recsOut,
                                          kGetRecordsMetaData | kGetRecordsReset, commandText, params,
                                          ownerData));
}

DataPacket ProviderClient::nextPart(int32_t count) {
    auto s = server();
    int32_t recsOut = 0;
    Variant params, ownerData;
    return takePacket(
        s->RemoteGetRecords(providerName_, count, recsOut, 0, std::string(), params, ownerData));
}

DataPacket ProviderClient::refresh(int32_t count) {
    auto s = server();
    int32_t recsOut = 0;
    Variant params, ownerData;
    return takePacket(s->RemoteGetRecords(providerName_, count, recsOut, kGetRecordsReset, std::string(),
                                          params, ownerData));
}

void ProviderClient::reset() {
    auto s = server();
    int32_t recsOut = 0;
    Variant params, ownerData;
    s->RemoteGetRecords(providerName_, 0, recsOut, kGetRecordsReset, std::string(), params, ownerData);
}

void ProviderClient::restore(const std::string& commandText) {
    if (commandText.empty()) return;  // a new connection's provider runs its default already
    auto s = server();
    int32_t recsOut = 0;
    Variant params, ownerData;
    s->RemoteGetRecords(providerName_, 0, recsOut, kGetRecordsReset, commandText, params, ownerData);
}

ProviderClient::ApplyResult ProviderClient::applyUpdates(Bytes changePacket, int32_t maxErrors) {
    auto s = server();
    ApplyResult r;
    Variant ownerData;
    Variant reply = s->RemoteApplyUpdates(providerName_, Variant::byteArray(std::move(changePacket)),
                                          maxErrors, r.errorCount, ownerData);
    if (reply.isByteArray())
        r.failed = decodeFailedRecords(reply.bytes());
    else if (!reply.isEmpty() && !reply.isNull())
        throw PacketError("Invalid failed-records packet");
    return r;
}

void ProviderClient::execute(const std::string& commandText) {
    auto s = server();
    Variant params, ownerData;
    s->RemoteExecute(providerName_, commandText, params, ownerData);
}

}  // namespace velmora
