#include "data/Decimal.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "transport/Variant.h"

namespace velmora {

namespace {

__extension__ using Wide = __int128;  // 10^30 products fit; the compilers we build with have it

// A decimal number: mantissa × 10^-scale.
struct Decimal {
    Wide mantissa = 0;
    int scale = 0;
};

// The decimal a user sees for value: its shortest text of at most 15 significant digits.
std::optional<Decimal> shown(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    std::string text = formatDouble15(value);
    Decimal d;
    bool negative = false;
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    bool fraction = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.') {
            fraction = true;
        } else if (c >= '0' && c <= '9') {
            d.mantissa = d.mantissa * 10 + (c - '0');
            if (fraction) ++d.scale;
        } else if (c == 'e' || c == 'E') {
            d.scale -= std::atoi(text.c_str() + i + 1);
            break;
        } else {
            return std::nullopt;
        }
    }
    if (d.scale < -18 || d.scale > 30) return std::nullopt;  // beyond what money needs
    if (negative) d.mantissa = -d.mantissa;
    return d;
}

Wide power10(int n) {
    Wide p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

// numerator ÷ denominator rounded half away from zero (denominator > 0).
Wide divideRounded(Wide numerator, Wide denominator) {
    Wide half = denominator / 2;
    bool exactHalf = denominator % 2 == 0;
    Wide magnitude = numerator < 0 ? -numerator : numerator;
    Wide q = magnitude / denominator;
    Wide r = magnitude % denominator;
    if (r > half || (r == half && exactHalf)) ++q;
    return numerator < 0 ? -q : q;
}

double fromCents(Wide cents) {
    return static_cast<double>(cents) / 100.0;
}

double roundHalfAway(double v) {
    return std::round(v * 100.0) / 100.0;
}

}  // namespace

double multiplyToCents(double a, double b) {
    std::optional<Decimal> x = shown(a), y = shown(b);
    if (!x || !y) return roundHalfAway(a * b);
    Wide product = x->mantissa * y->mantissa;  // at most 10^30
    int scale = x->scale + y->scale;
    if (scale <= 2) return fromCents(product * power10(2 - scale));
    return fromCents(divideRounded(product, power10(scale - 2)));
}

std::optional<double> divideToCents(double a, double b) {
    std::optional<Decimal> x = shown(a), y = shown(b);
    if (b == 0) return std::nullopt;
    if (!x || !y) return roundHalfAway(a / b);
    // a/b × 100 = (ma × 10^(sb+2)) / (mb × 10^sa)
    Wide numerator = x->mantissa;
    Wide denominator = y->mantissa;
    int up = y->scale + 2 - x->scale;
    if (up >= 0)
        numerator *= power10(up);
    else
        denominator *= power10(-up);
    if (denominator < 0) numerator = -numerator, denominator = -denominator;
    return fromCents(divideRounded(numerator, denominator));
}

std::string formatCents(double value) {
    std::optional<Decimal> x = shown(value);
    Wide cents;
    if (!x) {
        cents = static_cast<Wide>(std::llround(value * 100.0));
    } else if (x->scale <= 2) {
        cents = x->mantissa * power10(2 - x->scale);
    } else {
        cents = divideRounded(x->mantissa, power10(x->scale - 2));
    }
    bool negative = cents < 0;
    Wide magnitude = negative ? -cents : cents;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude > 0);
    while (digits.size() < 3) digits.insert(digits.begin(), '0');
    digits.insert(digits.end() - 2, '.');
    return negative ? "-" + digits : digits;
}

}  // namespace velmora
