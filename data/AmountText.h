#pragma once

#include <string>
#include <string_view>

namespace velmora {

// The text an amount of money is shown with: two decimals at least (18.5 shows as 18.50, 3 as
// 3.00), more only where the value holds more (a price of 0.125 stays 0.125), so that what is
// shown never hides what is stored.
std::string amountDisplayText(double value);
// The same for a number held as text (a total kept as text, a sum column typed as text); empty
// text stays empty, and text that is no number comes back unchanged.
std::string amountDisplayText(std::string_view text);

}  // namespace velmora
