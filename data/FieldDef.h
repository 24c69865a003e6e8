#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Column types of the packets and the datasets. The numbers are the packets' type bytes.
enum class FieldType : uint8_t {
    String = 1,   // UTF-8 text
    Integer = 2,  // 32-bit signed
    Double = 3,   // 64-bit IEEE float
    Boolean = 4,
    DateTime = 5,  // 64-bit float, days since 1899-12-30
    DataSet = 6,   // nested rows, described by FieldDef::nested
};

// Field flags carried by descriptors: what the server knows about a column.
enum FieldFlag : uint8_t {
    kFieldRequired = 1,  // a row cannot be posted while the field is null
    kFieldKey = 2,       // part of the key the server finds the row by
    kFieldReadOnly = 4,  // the client may not write it
    kFieldHidden = 8,    // the server's own (a line id, say); not for display
};
constexpr uint8_t kKnownFieldFlags = 0x0F;

struct FieldDef {
    std::string name;
    FieldType type = FieldType::String;
    uint32_t size = 0;  // characters for String; 0 otherwise
    uint8_t flags = 0;
    std::vector<FieldDef> nested;  // the columns of the rows a DataSet field holds

    bool hasFlag(FieldFlag f) const { return (flags & f) != 0; }
    bool operator==(const FieldDef& other) const = default;
};
using FieldDefs = std::vector<FieldDef>;

bool isKnownFieldType(uint8_t code);
const char* fieldTypeName(FieldType type);

// Position of the field whose name equals name, ignoring ASCII case; -1 when there is none.
int findField(const FieldDefs& fields, std::string_view name);

// ASCII case-insensitive equality, as field names compare.
bool sameName(std::string_view a, std::string_view b);

}  // namespace velmora
