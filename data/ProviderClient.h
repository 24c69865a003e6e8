#pragma once
// The calls a dataset makes on its provider, with exactly the arguments the provider contract
// fixes for open, refresh, close, apply and execute.

#include <string>

#include "data/DataPacket.h"
#include "data/FailedRecordsPacket.h"
#include "data/ProviderSource.h"

namespace velmora {

class ProviderClient {
  public:
    void setSource(ProviderSource source) { source_ = std::move(source); }
    bool hasSource() const { return static_cast<bool>(source_); }
    const std::string& providerName() const { return providerName_; }
    void setProviderName(std::string name) { providerName_ = std::move(name); }

    // Open: every row of commandText with the field descriptions.
    DataPacket open(const std::string& commandText);
    // The same rows as the packet's bytes, checked as takePacket checks them but not decoded yet.
    Bytes fetch(const std::string& commandText);
    // The first count rows of commandText, the provider keeping its place for the next part; the
    // packet says whether they are all of them. count > 0.
    DataPacket openPart(const std::string& commandText, int32_t count);
    // The next count rows after those handed out so far; the last part is marked complete.
    DataPacket nextPart(int32_t count);
    // Refresh: the provider's current command again; count is -1 when every row was fetched.
    DataPacket refresh(int32_t count);
    // Close after rows were fetched: the provider forgets its cursor.
    void reset();
    // A new connection's provider is told the command text a dataset holds rows of, without
    // sending rows back, so that its next refresh runs that text again.
    void restore(const std::string& commandText);

    struct ApplyResult {
        int32_t errorCount = 0;
        FailedRecordsPacket failed;
    };
    ApplyResult applyUpdates(Bytes changePacket, int32_t maxErrors);
    void execute(const std::string& commandText);

    // A packet as a provider returns it: "Missing data provider or data packet" for none,
    // "Invalid data packet" for anything but a byte array of at least 22 bytes, and the decoder's
    // error for a damaged one.
    static DataPacket takePacket(Variant result);
    static Bytes takeBytes(Variant result);

  private:
    std::shared_ptr<IProviderServer> server() const;

    ProviderSource source_;
    std::string providerName_;
};

}  // namespace velmora
