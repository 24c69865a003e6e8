#pragma once

#include <string>
#include <string_view>

namespace velmora {

class ClientDataSet;

// The sum of a numeric column over every row the dataset shows, as text with at most 15
// significant digits (as a number field reads); "" when the dataset is closed, has no such
// column, or holds no value in it.
std::string columnTotalText(ClientDataSet& dataSet, std::string_view fieldName);

}  // namespace velmora
