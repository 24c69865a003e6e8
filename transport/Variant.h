#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "transport/Bytes.h"
#include "transport/WireCodes.h"

namespace velmora {

class IDispatch;
using DispatchPtr = std::shared_ptr<IDispatch>;
class Variant;

// How a value was passed: by value, as a reference to a value of its own type, or as a
// reference to a variant (which the callee may replace with a value of any type).
enum class RefKind : uint8_t { None, Typed, Variant };

struct ArrayBound {
    int32_t lower = 0;
    int32_t upper = -1;
    int64_t count() const { return upper >= lower ? int64_t(upper) - lower + 1 : 0; }
};

// The elements of an array value. Types with a fixed element size keep their elements as one raw
// little-endian block; all others keep one Variant per element, the last index varying fastest.
struct SafeArray {
    VarType elementType = VarType::Byte;
    std::vector<ArrayBound> bounds;
    Bytes raw;
    std::vector<Variant> items;

    int64_t elementCount() const;
    bool isRaw() const { return rawElementSize(elementType) != 0; }
};

// A tagged value, as carried by invoke arguments and results.
class Variant {
  public:
    Variant() = default;
    Variant(int32_t v) : type_(VarType::Integer) { num_.i32 = v; }
    Variant(double v) : type_(VarType::Double) { num_.r8 = v; }
    Variant(bool v) : type_(VarType::Boolean) { num_.b = v; }
    Variant(std::string v) : type_(VarType::String), str_(std::move(v)) {}
    Variant(const char* v) : Variant(std::string(v)) {}
    Variant(DispatchPtr v);
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept = default;
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept = default;
    ~Variant();

    static Variant null();
    static Variant smallInt(int16_t v);
    static Variant single(float v);
    static Variant currency(int64_t unitsOf10000);
    static Variant date(double daysSince1899);
    static Variant error(int32_t code);
    static Variant byte(uint8_t v);
    static Variant byteArray(Bytes bytes);
    static Variant array(SafeArray array);
    // A value of an arbitrary code, for tests of what the codec refuses to send.
    static Variant ofRawType(uint16_t code);

    VarType type() const { return type_; }
    bool isArray() const { return static_cast<bool>(arr_); }
    bool isEmpty() const { return type_ == VarType::Empty && !arr_; }
    bool isNull() const { return type_ == VarType::Null && !arr_; }
    bool isByteArray() const {
        return arr_ && arr_->elementType == VarType::Byte && arr_->bounds.size() == 1;
    }
    RefKind ref() const { return ref_; }
    Variant& setRef(RefKind kind) {
        ref_ = kind;
        return *this;
    }
    // Wire tag of this value: type code plus the array flag (the by-reference flag is the codec's).
    uint32_t tag() const { return static_cast<uint32_t>(type_) | (arr_ ? kArrayFlag : 0); }

    int16_t smallIntValue() const { return num_.i16; }
    int32_t intValue() const { return num_.i32; }
    float singleValue() const { return num_.r4; }
    double doubleValue() const { return num_.r8; }
    int64_t currencyValue() const { return num_.cy; }
    bool boolValue() const { return num_.b; }
    uint8_t byteValue() const { return num_.u8; }
    const std::string& stringValue() const { return str_; }
    const DispatchPtr& dispatchValue() const { return disp_; }
    const SafeArray& arrayValue() const;
    SafeArray& arrayValue();
    // The bytes of a one-dimensional byte array.
    const Bytes& bytes() const { return arrayValue().raw; }
    Bytes takeBytes();

    // Conversions as a caller of a dispatch member expects them; throw when impossible.
    int32_t toInt() const;
    double toDouble() const;
    bool toBool() const;
    std::string toString() const;

    // Replaces the value, keeping how it is referenced: a typed reference converts the new value
    // to its own type, a variant reference takes it as it is.
    void assignKeepingRef(const Variant& value);

    bool operator==(const Variant& other) const;
    bool operator!=(const Variant& other) const { return !(*this == other); }

  private:
    VarType type_ = VarType::Empty;
    RefKind ref_ = RefKind::None;
    union {
        int16_t i16;
        int32_t i32;
        float r4;
        double r8;
        int64_t cy;
        bool b;
        uint8_t u8;
    } num_{};
    std::string str_;
    DispatchPtr disp_;
    std::unique_ptr<SafeArray> arr_;
};

// Formats a double with at most 15 significant digits in its shortest form ("30", not
// "30.000000000000004").
std::string formatDouble15(double value);

// Date values count days since 1899-12-30; these convert to and from "yyyy-MM-dd hh:mm:ss".
double dateFromUnixSeconds(double seconds);
// True for the days of the years 1 to 9999, the dates this system can show and store.
bool isValidDate(double daysSince1899);
// Fails with a conversion error for a date outside isValidDate.
std::string formatDateTime(double daysSince1899);

}  // namespace velmora
