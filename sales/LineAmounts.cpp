#include "sales/LineAmounts.h"

#include <optional>

#include "data/Decimal.h"
#include "transport/Errors.h"

namespace velmora {

namespace {

bool blank(const Variant& v) {
    return v.isNull() || v.isEmpty() || (v.type() == VarType::String && v.stringValue().empty());
}

}  // namespace

std::string amountText(const Variant& quantity, const Variant& price) {
    if (blank(quantity) || blank(price)) throw VelmoraError("数量和单价都要有值才能计算金额");
    return formatCents(multiplyToCents(quantity.toDouble(), price.toDouble()));
}

std::string priceText(const Variant& amount, const Variant& quantity) {
    if (blank(amount) || blank(quantity)) throw VelmoraError("金额和数量都要有值才能计算单价");
    std::optional<double> price = divideToCents(amount.toDouble(), quantity.toDouble());
    if (!price) throw VelmoraError("数量为0，不能由金额计算单价");
    return formatCents(*price);
}

}  // namespace velmora
