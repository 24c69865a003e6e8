#pragma once

#include <string>

#include "data/ProviderSource.h"

namespace velmora {

class ClientDataSet;

// Counts the rows a query returns, on a dataset of its own bound to the provider of a shared
// dataset of the data module, so that the shared dataset keeps its rows, filter and command text
// for the windows that show it. The server remembers per provider the last query it was sent and
// refetches it for a dataset opened without one, so afterwards the probe hands the provider back
// the query the shared dataset fetches with: its command text, or fallbackQuery without one.
class RowCountProbe {
  public:
    RowCountProbe(const ClientDataSet& shared, ProviderSource source, std::string fallbackQuery);

    // Every row the query returns counts. Throws what the provider or the engine throws.
    int count(const std::string& sql);

  private:
    void restoreProviderQuery();

    const ClientDataSet& shared_;
    ProviderSource source_;
    std::string fallbackQuery_;
};

}  // namespace velmora
