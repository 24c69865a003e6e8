#pragma once
// The order line's amount from quantity and price, and the price back from amount and quantity,
// as the text the line's number field is given: two decimals, halves away from zero, computed on
// the decimal values the user sees.

#include <string>

#include "transport/Variant.h"

namespace velmora {

// quantity × price as "0.00" text. Throws a VelmoraError that says what is missing when either
// value is empty.
std::string amountText(const Variant& quantity, const Variant& price);

// amount ÷ quantity as "0.00" text. Throws a VelmoraError when either value is empty or the
// quantity is zero.
std::string priceText(const Variant& amount, const Variant& quantity);

}  // namespace velmora
