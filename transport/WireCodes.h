#pragma once
// The one table of action codes and value type codes that cross the wire. Adding a code is one
// line; a duplicate value becomes a duplicate case label and fails to compile.

#include <cstddef>
#include <cstdint>

namespace velmora {

// name, code
#define VELMORA_ACTIONS(X) \
    X(Error, 1)            \
    X(Invoke, 2)           \
    X(GetIDsOfNames, 3)    \
    X(CreateObject, 4)     \
    X(FreeObject, 5)       \
    X(GetServerList, 16)   \
    X(GetAppServerList, 18)

// name, code, bytes of one element when arrays of it travel as one raw block (0: element by element)
#define VELMORA_VAR_TYPES(X) \
    X(Empty, 0, 0)           \
    X(Null, 1, 0)            \
    X(SmallInt, 2, 2)        \
    X(Integer, 3, 4)         \
    X(Single, 4, 4)          \
    X(Double, 5, 8)          \
    X(Currency, 6, 8)        \
    X(Date, 7, 8)            \
    X(String, 8, 0)          \
    X(Dispatch, 9, 0)        \
    X(Error, 10, 0)          \
    X(Boolean, 11, 2)        \
    X(Variant, 12, 0)        \
    X(Byte, 17, 1)

enum class Action : uint8_t {
// NOLINTNEXTLINE(bugprone-macro-parentheses): an enumerator name cannot be parenthesised
#define VELMORA_ACTION_ENUM(name, code) name = code,
    VELMORA_ACTIONS(VELMORA_ACTION_ENUM)
#undef VELMORA_ACTION_ENUM
};

enum class VarType : uint16_t {
// NOLINTNEXTLINE(bugprone-macro-parentheses): an enumerator name cannot be parenthesised
#define VELMORA_VAR_ENUM(name, code, raw) name = code,
    VELMORA_VAR_TYPES(VELMORA_VAR_ENUM)
#undef VELMORA_VAR_ENUM
};

constexpr uint32_t kTypeMask = 0x0FFF;
constexpr uint32_t kArrayFlag = 0x2000;
constexpr uint32_t kByRefFlag = 0x4000;

constexpr uint32_t kRequestBase = 0xDA00;
constexpr uint32_t kReplyBase = 0xDB00;

constexpr uint32_t requestSignature(Action a) {
    return kRequestBase + static_cast<uint32_t>(a);
}
constexpr uint32_t replySignature(Action a) {
    return kReplyBase + static_cast<uint32_t>(a);
}

constexpr bool isKnownAction(uint32_t code) {
    switch (code) {
#define VELMORA_ACTION_CASE(name, code) case code:
        VELMORA_ACTIONS(VELMORA_ACTION_CASE)
#undef VELMORA_ACTION_CASE
        return true;
        default:
            return false;
    }
}

// True for the codes this system can put on the wire (a variant by value excepted, see the codec).
constexpr bool isKnownVarType(uint32_t code) {
    switch (code) {
#define VELMORA_VAR_CASE(name, code, raw) case code:
        VELMORA_VAR_TYPES(VELMORA_VAR_CASE)
#undef VELMORA_VAR_CASE
        return true;
        default:
            return false;
    }
}

// Size of one element in a raw array block; 0 for types whose arrays go element by element.
constexpr size_t rawElementSize(VarType t) {
    switch (t) {
#define VELMORA_VAR_RAW(name, code, raw) \
    case VarType::name:                  \
        return raw;
        // One generated case per type: equal sizes side by side are not a slip.
        // NOLINTNEXTLINE(bugprone-branch-clone)
        VELMORA_VAR_TYPES(VELMORA_VAR_RAW)
#undef VELMORA_VAR_RAW
    }
    return 0;
}

}  // namespace velmora
