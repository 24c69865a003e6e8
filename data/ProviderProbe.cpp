#include "data/ProviderProbe.h"

#include "data/ClientDataSet.h"

namespace velmora {

ProviderProbe::ProviderProbe(const ClientDataSet& shared, ProviderSource source, std::string fallbackQuery)
    : shared_(shared), source_(std::move(source)), fallbackQuery_(std::move(fallbackQuery)) {}

int ProviderProbe::count(const std::string& sql) {
    int rows = 0;
    read(sql, [&rows](ClientDataSet& probe) { rows = probe.RecordCountUnfiltered(); });
    return rows;
}

void ProviderProbe::read(const std::string& sql, const std::function<void(ClientDataSet& rows)>& look) {
    ProviderClient provider;
    provider.setSource(source_);
    provider.setProviderName(shared_.ProviderName());
    try {
        // Opened on the packet rather than through the provider, so that closing the probe sends
        // no reset of its own: the restore below is the one call after the fetch.
        ClientDataSet probe(shared_.Name() + "_probe");
        probe.setRemoteServer(source_);
        probe.setProviderName(shared_.ProviderName());
        probe.OpenPacket(provider.fetch(sql));
        look(probe);
    } catch (...) {
        restore(provider);
        throw;
    }
    restore(provider);
}

void ProviderProbe::restore(ProviderClient& provider) {
    // A reset carrying a command text makes the provider remember it without fetching.
    provider.restore(shared_.CommandText().empty() ? fallbackQuery_ : shared_.CommandText());
}

}  // namespace velmora
