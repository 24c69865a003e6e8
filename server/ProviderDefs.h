#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora::server {

// A data provider as the server offers it: its name, the query it runs when the client sends no
// command text, and the table its changes are written to, found by its key columns.
struct ProviderDef {
    std::string name;
    std::string defaultQuery;
    std::string table;             // empty: the provider's rows cannot be changed
    std::vector<std::string> key;  // columns that find a row of table
    std::string generatedKey;      // a key column the database assigns on insert
    bool nestsOrderLines = false;  // each row carries its xsdzb lines in ADOQueryxsdzb
};

// The nine providers.
const std::vector<ProviderDef>& providerDefs();
const ProviderDef* findProvider(std::string_view name);

// The order lines nested in each DataSetProviderxsdtb row.
const ProviderDef& orderLinesDef();
constexpr const char* kNestedLinesField = "ADOQueryxsdzb";

}  // namespace velmora::server
