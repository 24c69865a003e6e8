#pragma once
// Money arithmetic on the decimal values a user sees: a number is taken as the text it shows (at
// most 15 significant digits), so that 1.005 is 1.005 and not the binary 1.00499999999999989...

#include <optional>
#include <string>

namespace velmora {

// a × b, rounded to two decimals with halves away from zero (0.125 gives 0.13, -0.125 gives -0.13).
double multiplyToCents(double a, double b);
// a ÷ b, rounded the same way; nothing when b is zero.
std::optional<double> divideToCents(double a, double b);
// The text of value with exactly two decimals, at least one integer digit, no separators
// ("0.00" as a pattern); value is rounded half away from zero first.
std::string formatCents(double value);

}  // namespace velmora
