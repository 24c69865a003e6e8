#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "data/ByteWriter.h"
#include "data/RowLayout.h"
#include "transport/Variant.h"

namespace velmora {

// Encodes rows of a layout into a buffer: beginRow, one add per field in field order, endRow.
// A DataSet field takes beginNested, rows of the nested layout, endNested. Writing a value of
// the wrong type or the wrong number of values throws a VelmoraError naming the field.
class RowWriter {
  public:
    // The layout must outlive the writer.
    RowWriter(Bytes& out, const RowLayout& layout);

    void beginRow();
    void endRow();
    void addNull();
    void addText(std::string_view value);
    void addInteger(int32_t value);
    void addDouble(double value);
    void addBoolean(bool value);
    void addDateTime(double daysSince1899);
    // Converts value to the field's type; Null and Empty write a null. A DataSet field takes
    // only a null here.
    void addValue(const Variant& value);
    void beginNested();
    void endNested();
    // A value copied from a row of the same layout: the bytes of field's encoding, unchecked; a
    // shared text is copied with addText, as its reference holds only where it was written.
    void addEncoded(const uint8_t* value, size_t size);
    // A DataSet field's value from rows already encoded in the nested layout (count of them).
    void addNestedRows(uint32_t count, const Bytes& encoded);

    // Rows finished at the outermost level.
    uint32_t rowCount() const { return levels_.front().rows; }
    ByteWriter& bytes() { return out_; }

  private:
    struct Level {
        const RowLayout* layout;
        size_t countAt = 0;  // nested levels: where the row count and byte length go
        uint32_t rows = 0;
        bool inRow = false;
        size_t rowStart = 0;
        size_t field = 0;
    };
    Level& current();
    const FieldDef& expect(FieldType type);
    void markNull();

    ByteWriter out_;
    std::vector<Level> levels_;
};

// One row of values, one per field, in the layout's encoding; DataSet fields are written null.
Bytes encodeRow(const RowLayout& layout, const std::vector<Variant>& values);

}  // namespace velmora
