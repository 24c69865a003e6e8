#include "Field.h"

#include "ClientDataSet.h"
#include "Errors.h"
#include "ValueText.h"

namespace velmora {

Field::Field(ClientDataSet& dataSet, FieldDef def, int index, std::string componentName)
    : dataSet_(&dataSet), def_(std::move(def)), index_(index), name_(std::move(componentName)) {}

bool Field::IsNull() const {
    Variant v = dataSet_->readValue(*this);
    return v.isNull() || v.isEmpty();
}

std::string Field::AsString() const { return dataSet_->readText(*this); }

Variant Field::Value() const { return dataSet_->readValue(*this); }

double Field::AsFloat() const {
    Variant v = Value();
    return v.isNull() ? 0 : v.toDouble();
}

int32_t Field::AsInteger() const {
    Variant v = Value();
    return v.isNull() ? 0 : v.toInt();
}

bool Field::AsBoolean() const {
    Variant v = Value();
    return v.isNull() ? false : v.toBool();
}

void Field::setValue(const Variant& value) { dataSet_->writeValue(*this, value); }

void Field::setAsString(std::string_view text) {
    if (def_.type == FieldType::String) return setValue(Variant(std::string(text)));
    if (text.find_first_not_of(" \t") == std::string_view::npos) return setValue(Variant::null());
    const std::string shown(text);
    switch (def_.type) {
        case FieldType::Integer:
            if (auto v = parseInteger(text)) return setValue(Variant(*v));
            throw VelmoraError(formatText("'%s' is not a valid integer value", shown.c_str()));
        case FieldType::Double:
            if (auto v = parseNumber(text)) return setValue(Variant(*v));
            throw VelmoraError(formatText("'%s' is not a valid floating point value", shown.c_str()));
        case FieldType::Boolean:
            if (auto v = parseBoolean(text)) return setValue(Variant(*v));
            throw VelmoraError(formatText("'%s' is not a valid boolean value", shown.c_str()));
        case FieldType::DateTime:
            if (auto v = parseDateTime(text)) return setValue(Variant::date(*v));
            throw VelmoraError(formatText("'%s' is not a valid date and time", shown.c_str()));
        default:
            return setValue(Variant(shown));
    }
}

}  // namespace velmora
