#pragma once

#include <functional>
#include <string>

#include "data/ProviderClient.h"

namespace velmora {

class ClientDataSet;

// Runs a query of its own on a dataset of its own bound to the provider of a shared dataset of the
// data module, so that the shared dataset keeps its rows, filter and command text for the windows
// that show it (or stays closed, fetching nothing). The server remembers per provider the last
// query it was sent and refetches it for a dataset opened without one, so afterwards the probe
// hands the provider back the query the shared dataset fetches with: its command text, or
// fallbackQuery without one.
class ProviderProbe {
  public:
    ProviderProbe(const ClientDataSet& shared, ProviderSource source, std::string fallbackQuery);

    // Every row the query returns counts. Throws what the provider or the engine throws.
    int count(const std::string& sql);
    // Opens the query's rows and hands them to look, which may also change them and apply the
    // changes through the provider. Throws what the provider, the engine or look throws.
    void read(const std::string& sql, const std::function<void(ClientDataSet& rows)>& look);

  private:
    void restore(ProviderClient& provider);

    const ClientDataSet& shared_;
    ProviderSource source_;
    std::string fallbackQuery_;
};

}  // namespace velmora
