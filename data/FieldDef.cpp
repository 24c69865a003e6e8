#include "data/FieldDef.h"

namespace velmora {

bool isKnownFieldType(uint8_t code) {
    return code >= static_cast<uint8_t>(FieldType::String) &&
           code <= static_cast<uint8_t>(FieldType::DataSet);
}

const char* fieldTypeName(FieldType type) {
    switch (type) {
        case FieldType::String:
            return "String";
        case FieldType::Integer:
            return "Integer";
        case FieldType::Double:
            return "Float";
        case FieldType::Boolean:
            return "Boolean";
        case FieldType::DateTime:
            return "DateTime";
        case FieldType::DataSet:
            return "DataSet";
    }
    return "Unknown";
}

namespace {
char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

int findField(const FieldDefs& fields, std::string_view name) {
    for (size_t i = 0; i < fields.size(); ++i)
        if (sameName(fields[i].name, name)) return static_cast<int>(i);
    return -1;
}

}  // namespace velmora
