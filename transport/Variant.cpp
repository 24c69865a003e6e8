#include "transport/Variant.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "transport/Dispatch.h"
#include "transport/Errors.h"

namespace velmora {

int64_t SafeArray::elementCount() const {
    if (bounds.empty()) return 0;
    for (const ArrayBound& b : bounds)
        if (b.count() == 0) return 0;
    // Saturates instead of overflowing: no such array fits in memory anyway.
    int64_t n = 1;
    for (const ArrayBound& b : bounds) {
        if (n > INT64_MAX / b.count()) return INT64_MAX;
        n *= b.count();
    }
    return n;
}

Variant::Variant(DispatchPtr v) : type_(VarType::Dispatch), disp_(std::move(v)) {}

Variant::Variant(const Variant& other)
    : type_(other.type_),
      ref_(other.ref_),
      num_(other.num_),
      str_(other.str_),
      disp_(other.disp_),
      arr_(other.arr_ ? std::make_unique<SafeArray>(*other.arr_) : nullptr) {}

Variant& Variant::operator=(const Variant& other) {
    if (this != &other) {
        Variant copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Variant::~Variant() = default;

Variant Variant::null() {
    Variant v;
    v.type_ = VarType::Null;
    return v;
}

Variant Variant::smallInt(int16_t x) {
    Variant v;
    v.type_ = VarType::SmallInt;
    v.num_.i16 = x;
    return v;
}

Variant Variant::single(float x) {
    Variant v;
    v.type_ = VarType::Single;
    v.num_.r4 = x;
    return v;
}

Variant Variant::currency(int64_t units) {
    Variant v;
    v.type_ = VarType::Currency;
    v.num_.cy = units;
    return v;
}

Variant Variant::date(double days) {
    Variant v;
    v.type_ = VarType::Date;
    v.num_.r8 = days;
    return v;
}

Variant Variant::error(int32_t code) {
    Variant v;
    v.type_ = VarType::Error;
    v.num_.i32 = code;
    return v;
}

Variant Variant::byte(uint8_t x) {
    Variant v;
    v.type_ = VarType::Byte;
    v.num_.u8 = x;
    return v;
}

Variant Variant::byteArray(Bytes bytes) {
    SafeArray a;
    a.elementType = VarType::Byte;
    a.bounds.push_back({0, static_cast<int32_t>(bytes.size()) - 1});
    a.raw = std::move(bytes);
    return array(std::move(a));
}

Variant Variant::array(SafeArray a) {
    Variant v;
    v.type_ = a.elementType;
    v.arr_ = std::make_unique<SafeArray>(std::move(a));
    return v;
}

Variant Variant::ofRawType(uint16_t code) {
    Variant v;
    v.type_ = static_cast<VarType>(code);
    return v;
}

const SafeArray& Variant::arrayValue() const {
    if (!arr_) throw VelmoraError("Variant is not an array");
    return *arr_;
}

SafeArray& Variant::arrayValue() {
    if (!arr_) throw VelmoraError("Variant is not an array");
    return *arr_;
}

Bytes Variant::takeBytes() {
    if (!isByteArray()) throw VelmoraError("Variant is not a byte array");
    Bytes out = std::move(arr_->raw);
    arr_->raw = Bytes();
    return out;
}

namespace {

[[noreturn]] void badConversion(const Variant& v, const char* target) {
    throw VelmoraError(formatText("Could not convert variant of type (%u) into type (%s)", v.tag(), target));
}

}  // namespace

double Variant::toDouble() const {
    if (arr_) badConversion(*this, "Double");
    switch (type_) {
        case VarType::Empty:
            return 0;
        case VarType::SmallInt:
            return num_.i16;
        case VarType::Integer:
        case VarType::Error:
            return num_.i32;
        case VarType::Single:
            return num_.r4;
        case VarType::Double:
        case VarType::Date:
            return num_.r8;
        case VarType::Currency:
            return static_cast<double>(num_.cy) / 10000.0;
        case VarType::Boolean:
            return num_.b ? -1 : 0;
        case VarType::Byte:
            return num_.u8;
        case VarType::String: {
            char* end = nullptr;
            double d = std::strtod(str_.c_str(), &end);
            if (str_.empty() || *end != '\0') badConversion(*this, "Double");
            return d;
        }
        default:
            badConversion(*this, "Double");
    }
}

int32_t Variant::toInt() const {
    if (!arr_) {
        switch (type_) {
            case VarType::SmallInt:
                return num_.i16;
            case VarType::Integer:
            case VarType::Error:
                return num_.i32;
            case VarType::Byte:
                return num_.u8;
            default:
                break;
        }
    }
    double d = toDouble();
    if (!(d >= -2147483648.0 && d <= 2147483647.0)) badConversion(*this, "Integer");
    return static_cast<int32_t>(std::lround(d));
}

bool Variant::toBool() const {
    if (type_ == VarType::Boolean && !arr_) return num_.b;
    if (type_ == VarType::String && !arr_) {
        if (strcasecmp(str_.c_str(), "true") == 0) return true;
        if (strcasecmp(str_.c_str(), "false") == 0) return false;
    }
    return toDouble() != 0;
}

std::string Variant::toString() const {
    if (arr_) badConversion(*this, "String");
    switch (type_) {
        case VarType::Empty:
        case VarType::Null:
            return std::string();
        case VarType::String:
            return str_;
        case VarType::Boolean:
            return num_.b ? "True" : "False";
        case VarType::Date:
            if (!isValidDate(num_.r8)) badConversion(*this, "String");
            return formatDateTime(num_.r8);
        case VarType::SmallInt:
        case VarType::Integer:
        case VarType::Byte:
        case VarType::Error:
            return std::to_string(toInt());
        case VarType::Single:
        case VarType::Double:
        case VarType::Currency:
            return formatDouble15(toDouble());
        default:
            badConversion(*this, "String");
    }
}

void Variant::assignKeepingRef(const Variant& value) {
    RefKind kind = ref_;
    if (kind != RefKind::Typed || arr_ || value.arr_ || value.type_ == type_) {
        *this = value;
    } else {
        switch (type_) {
            case VarType::SmallInt:
                *this = Variant::smallInt(static_cast<int16_t>(value.toInt()));
                break;
            case VarType::Integer:
                *this = Variant(value.toInt());
                break;
            case VarType::Single:
                *this = Variant::single(static_cast<float>(value.toDouble()));
                break;
            case VarType::Double:
                *this = Variant(value.toDouble());
                break;
            case VarType::Boolean:
                *this = Variant(value.toBool());
                break;
            case VarType::String:
                *this = Variant(value.toString());
                break;
            default:
                *this = value;
        }
    }
    ref_ = kind;
}

bool Variant::operator==(const Variant& o) const {
    if (type_ != o.type_ || static_cast<bool>(arr_) != static_cast<bool>(o.arr_)) return false;
    if (arr_) {
        const SafeArray& a = *arr_;
        const SafeArray& b = *o.arr_;
        if (a.bounds.size() != b.bounds.size()) return false;
        for (size_t i = 0; i < a.bounds.size(); ++i)
            if (a.bounds[i].lower != b.bounds[i].lower || a.bounds[i].upper != b.bounds[i].upper)
                return false;
        return a.raw == b.raw && a.items == b.items;
    }
    switch (type_) {
        case VarType::Empty:
        case VarType::Null:
            return true;
        case VarType::SmallInt:
            return num_.i16 == o.num_.i16;
        case VarType::Integer:
        case VarType::Error:
            return num_.i32 == o.num_.i32;
        case VarType::Single:
            return std::bit_cast<uint32_t>(num_.r4) == std::bit_cast<uint32_t>(o.num_.r4);
        case VarType::Double:
        case VarType::Date:
            return std::bit_cast<uint64_t>(num_.r8) == std::bit_cast<uint64_t>(o.num_.r8);
        case VarType::Currency:
            return num_.cy == o.num_.cy;
        case VarType::Boolean:
            return num_.b == o.num_.b;
        case VarType::Byte:
            return num_.u8 == o.num_.u8;
        case VarType::String:
            return str_ == o.str_;
        case VarType::Dispatch:
            return disp_ == o.disp_;
        default:
            return true;
    }
}

namespace {

// Quantities, prices and amounts mostly have a few decimals at most. Such a value is the double
// nearest to n / 10^4 for a whole n; that decimal is then also the one %.15g picks (the double's
// error is far below half a step of fifteen digits), so n alone gives the text, without the cost
// of a general conversion.
bool formatFewDecimals(double value, std::string& out) {
    constexpr double kScale = 1e4;
    if (!(std::fabs(value) < 1e11)) return false;  // fifteen digits at most; also NaN
    long long n = std::llround(value * kScale);
    if (static_cast<double>(n) / kScale != value) return false;
    unsigned long long magnitude =
        n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
    char buf[32];
    char* end = buf + sizeof buf;
    char* p = end;
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    int decimals = 4;
    while (decimals > 0 && fraction % 10 == 0) {
        fraction /= 10;
        --decimals;
    }
    for (int i = 0; i < decimals; ++i) {
        *--p = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    if (decimals > 0) *--p = '.';
    unsigned long long whole = magnitude / 10000;
    do {
        *--p = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (n < 0) *--p = '-';
    out.assign(p, end);
    return true;
}

}  // namespace

std::string formatDouble15(double value) {
    if (value == 0) return "0";  // also folds -0
    std::string text;
    if (formatFewDecimals(value, text)) return text;
    // to_chars gives exactly printf's %.15g, at about half the cost: grids and reports call this
    // for every number they show.
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
}

double dateFromUnixSeconds(double seconds) {
    constexpr double kDaysFrom1899To1970 = 25569.0;
    return kDaysFrom1899To1970 + seconds / 86400.0;
}

bool isValidDate(double days) {
    constexpr double kFirstDay = -693593.0;           // 0001-01-01
    constexpr double kPastLastDay = 2958466.0;        // 10000-01-01
    return days >= kFirstDay && days < kPastLastDay;  // false for NaN too
}

std::string formatDateTime(double days) {
    if (!isValidDate(days))
        throw VelmoraError(formatText("Could not convert variant of type (%u) into type (String)",
                                      static_cast<unsigned>(VarType::Date)));
    constexpr double kDaysFrom1899To1970 = 25569.0;
    double seconds = std::floor((days - kDaysFrom1899To1970) * 86400.0 + 0.5);
    time_t t = static_cast<time_t>(seconds);
    struct tm parts {};
    gmtime_r(&t, &parts);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &parts);
    return buf;
}

}  // namespace velmora
