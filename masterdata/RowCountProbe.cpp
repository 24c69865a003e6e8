#include "masterdata/RowCountProbe.h"

#include "data/ClientDataSet.h"
#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"

namespace velmora {

RowCountProbe::RowCountProbe(const ClientDataSet& shared, ProviderSource source, std::string fallbackQuery)
    : shared_(shared), source_(std::move(source)), fallbackQuery_(std::move(fallbackQuery)) {}

int RowCountProbe::count(const std::string& sql) {
    ClientDataSet probe(shared_.Name() + "_probe");
    probe.setRemoteServer(source_);
    probe.setProviderName(shared_.ProviderName());
    probe.setCommandText(sql);
    int rows = 0;
    try {
        probe.Open();
        rows = probe.RecordCountUnfiltered();
        probe.Close();
    } catch (...) {
        restoreProviderQuery();
        throw;
    }
    restoreProviderQuery();
    return rows;
}

void RowCountProbe::restoreProviderQuery() {
    std::shared_ptr<IProviderServer> server = source_ ? source_() : nullptr;
    if (!server) throw VelmoraError("Missing data provider or data packet");
    const std::string& query = shared_.CommandText().empty() ? fallbackQuery_ : shared_.CommandText();
    // A reset (count 0) carrying a command text makes the provider remember it without fetching.
    int32_t recsOut = 0;
    Variant params, ownerData;
    server->RemoteGetRecords(shared_.ProviderName(), 0, recsOut, kGetRecordsReset, query, params, ownerData);
}

}  // namespace velmora
