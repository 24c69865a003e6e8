#include "data/ProviderProbe.h"

#include "data/ClientDataSet.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"

namespace velmora {

ProviderProbe::ProviderProbe(const ClientDataSet& shared, ProviderSource source, std::string fallbackQuery)
    : shared_(shared), source_(std::move(source)), fallbackQuery_(std::move(fallbackQuery)) {}

int ProviderProbe::count(const std::string& sql) {
    int rows = 0;
    read(sql, [&rows](ClientDataSet& probe) { rows = probe.RecordCountUnfiltered(); });
    return rows;
}

void ProviderProbe::read(const std::string& sql, const std::function<void(ClientDataSet& rows)>& look) {
    ClientDataSet probe(shared_.Name() + "_probe");
    probe.setRemoteServer(source_);
    probe.setProviderName(shared_.ProviderName());
    probe.setCommandText(sql);
    try {
        probe.Open();
        look(probe);
        probe.Close();
    } catch (...) {
        restoreProviderQuery();
        throw;
    }
    restoreProviderQuery();
}

void ProviderProbe::restoreProviderQuery() {
    std::shared_ptr<IProviderServer> server = source_ ? source_() : nullptr;
    if (!server) throw VelmoraError("Missing data provider or data packet");
    const std::string& query = shared_.CommandText().empty() ? fallbackQuery_ : shared_.CommandText();
    // A reset (count 0) carrying a command text makes the provider remember it without fetching.
    int32_t recsOut = 0;
    Variant params, ownerData;
    server->RemoteGetRecords(shared_.ProviderName(), 0, recsOut, kGetRecordsReset, query, params, ownerData);
}

}  // namespace velmora
