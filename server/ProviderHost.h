#pragma once

#include <map>
#include <string>

#include "Database.h"
#include "IProviderServer.h"
#include "ProviderDefs.h"

namespace velmora::server {

// The nine providers of one client connection, over that connection's database. Each provider
// remembers the last command text a client sent it; a refresh re-runs it and a reset keeps it.
class ProviderHost : public IProviderServer {
public:
    explicit ProviderHost(DbConnection& db) : db_(db) {}

    Variant RemoteApplyUpdates(const std::string& providerName, const Variant& delta, int32_t maxErrors,
                               int32_t& errorCount, Variant& ownerData) override;
    Variant RemoteGetRecords(const std::string& providerName, int32_t count, int32_t& recsOut, int32_t options,
                             const std::string& commandText, Variant& params, Variant& ownerData) override;
    Variant RemoteDataRequest(const std::string& providerName, const Variant& data) override;
    Variant RemoteGetProviderNames() override;
    Variant RemoteGetParams(const std::string& providerName, Variant& ownerData) override;
    Variant RemoteRowRequest(const std::string& providerName, const Variant& row, int32_t requestType,
                             Variant& ownerData) override;
    void RemoteExecute(const std::string& providerName, const std::string& commandText, Variant& params,
                       Variant& ownerData) override;

    // The command text the provider runs on its next refresh.
    const std::string& currentCommand(const std::string& providerName);

private:
    const ProviderDef& provider(const std::string& name) const;

    DbConnection& db_;
    std::map<std::string, std::string> commands_;
};

}  // namespace velmora::server
