#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/FieldDef.h"
#include "transport/Variant.h"

namespace velmora {

class ClientDataSet;

// One column of a dataset, reading and writing the current row. Reading a closed dataset or an
// empty one throws; writing needs the insert or edit state. A field of a dataset without
// persistent fields lives until the dataset opens with different columns.
class Field {
  public:
    Field(ClientDataSet& dataSet, FieldDef def, int index, std::string componentName);

    ClientDataSet& DataSet() const { return *dataSet_; }
    const std::string& FieldName() const { return def_.name; }
    // The component name: the dataset's name followed by the field name.
    const std::string& Name() const { return name_; }
    FieldType DataType() const { return def_.type; }
    uint32_t Size() const { return def_.size; }
    int Index() const { return index_; }
    bool Required() const { return def_.hasFlag(kFieldRequired); }
    bool ReadOnly() const { return def_.hasFlag(kFieldReadOnly); }
    const FieldDef& def() const { return def_; }

    // The input mask a bound edit box applies, as "mask;save literals;blank" (e.g. "99-999;1;_").
    const std::string& EditMask() const { return editMask_; }
    void setEditMask(std::string mask) { editMask_ = std::move(mask); }

    bool IsNull() const;
    // Null reads as "", numbers with at most 15 significant digits, Booleans as "True"/"False".
    std::string AsString() const;
    // Empty text stores null in a field that is not text; other text must parse as the field's
    // type, else a VelmoraError says it is not a valid value.
    void setAsString(std::string_view text);
    // Null as Variant::null().
    Variant Value() const;
    void setValue(const Variant& value);
    double AsFloat() const;
    void setAsFloat(double value) { setValue(Variant(value)); }
    int32_t AsInteger() const;
    void setAsInteger(int32_t value) { setValue(Variant(value)); }
    bool AsBoolean() const;
    void setAsBoolean(bool value) { setValue(Variant(value)); }
    void Clear() { setValue(Variant::null()); }

  private:
    friend class ClientDataSet;
    void rebind(int storeIndex) { storeIndex_ = storeIndex; }

    ClientDataSet* dataSet_;
    FieldDef def_;
    int index_;
    int storeIndex_ = -1;  // column in the rows the dataset holds
    std::string name_;
    std::string editMask_;
};

}  // namespace velmora
