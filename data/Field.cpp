#include "data/Field.h"

#include "data/ClientDataSet.h"
#include "data/ValueText.h"

namespace velmora {

Field::Field(ClientDataSet& dataSet, FieldDef def, int index, std::string componentName)
    : dataSet_(&dataSet), def_(std::move(def)), index_(index), name_(std::move(componentName)) {}

bool Field::IsNull() const {
    Variant v = dataSet_->readValue(*this);
    return v.isNull() || v.isEmpty();
}

std::string Field::AsString() const {
    return dataSet_->readText(*this);
}

Variant Field::Value() const {
    return dataSet_->readValue(*this);
}

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

void Field::setValue(const Variant& value) {
    dataSet_->writeValue(*this, value);
}

void Field::setAsString(std::string_view text) {
    setValue(valueFromText(def_.type, text));
}

}  // namespace velmora
