#include "data/RowWriter.h"

#include "data/PacketFormat.h"
#include "transport/Errors.h"

namespace velmora {

RowWriter::RowWriter(Bytes& out, const RowLayout& layout) : out_(out) {
    levels_.push_back({&layout});
}

RowWriter::Level& RowWriter::current() {
    Level& level = levels_.back();
    if (!level.inRow) throw VelmoraError("A value was written outside a row");
    if (level.field >= level.layout->fieldCount()) throw VelmoraError("More values than fields in a row");
    return level;
}

const FieldDef& RowWriter::expect(FieldType type) {
    Level& level = current();
    const FieldDef& f = level.layout->fields()[level.field];
    if (f.type != type)
        throw VelmoraError(formatText("Field '%s' is %s, not %s", f.name.c_str(), fieldTypeName(f.type),
                                      fieldTypeName(type)));
    return f;
}

void RowWriter::beginRow() {
    Level& level = levels_.back();
    if (level.inRow) throw VelmoraError("A row was begun inside a row");
    level.inRow = true;
    level.field = 0;
    level.rowStart = out_.reserve(level.layout->bitmapBytes());
}

void RowWriter::endRow() {
    Level& level = levels_.back();
    if (!level.inRow || level.field != level.layout->fieldCount())
        throw VelmoraError("A row was ended before every field had a value");
    level.inRow = false;
    ++level.rows;
}

void RowWriter::markNull() {
    Level& level = current();
    out_.at(level.rowStart)[level.field >> 3] |= static_cast<uint8_t>(1u << (level.field & 7));
    ++level.field;
}

void RowWriter::addNull() {
    markNull();
}

void RowWriter::addEncoded(const uint8_t* value, size_t size) {
    current();
    out_.raw(value, size);
    ++levels_.back().field;
}

void RowWriter::addText(std::string_view value) {
    expect(FieldType::String);
    if (levels_.back().layout->sharesTexts()) {
        // A text written here stands alone: twice its length, then its bytes.
        if (value.size() > UINT32_MAX / 2) throw VelmoraError("Text too long for a row");
        out_.varint(static_cast<uint32_t>(value.size()) * 2);
        out_.raw(value.data(), value.size());
    } else {
        out_.text(value);
    }
    ++levels_.back().field;
}

void RowWriter::addInteger(int32_t value) {
    expect(FieldType::Integer);
    out_.i32(value);
    ++levels_.back().field;
}

void RowWriter::addDouble(double value) {
    expect(FieldType::Double);
    out_.f64(value);
    ++levels_.back().field;
}

void RowWriter::addBoolean(bool value) {
    expect(FieldType::Boolean);
    out_.u8(value ? 1 : 0);
    ++levels_.back().field;
}

void RowWriter::addDateTime(double days) {
    expect(FieldType::DateTime);
    // What the decoders refuse is never written.
    if (!isValidDate(days)) throw PacketError("Invalid data packet: date outside the years 1 to 9999");
    out_.f64(days);
    ++levels_.back().field;
}

void RowWriter::addValue(const Variant& value) {
    if (value.isEmpty() || value.isNull()) return addNull();
    Level& level = current();
    switch (level.layout->type(level.field)) {
        case FieldType::String:
            return addText(value.toString());
        case FieldType::Integer:
            return addInteger(value.toInt());
        case FieldType::Double:
            return addDouble(value.toDouble());
        case FieldType::Boolean:
            return addBoolean(value.toBool());
        case FieldType::DateTime:
            return addDateTime(value.toDouble());
        case FieldType::DataSet:
            break;
    }
    throw VelmoraError(formatText("Field '%s' holds nested rows, not a value",
                                  level.layout->fields()[level.field].name.c_str()));
}

void RowWriter::beginNested() {
    Level& level = current();
    expect(FieldType::DataSet);
    const RowLayout* nested = level.layout->nested(level.field).get();
    size_t countAt = out_.reserve(8);
    levels_.push_back({nested, countAt});
}

void RowWriter::endNested() {
    if (levels_.size() < 2) throw VelmoraError("endNested without beginNested");
    Level done = levels_.back();
    if (done.inRow) throw VelmoraError("Nested rows were ended inside a row");
    levels_.pop_back();
    size_t length = out_.size() - done.countAt - 8;
    if (length > UINT32_MAX) throw VelmoraError("Nested rows too large");
    out_.patch32(done.countAt, done.rows);
    out_.patch32(done.countAt + 4, static_cast<uint32_t>(length));
    ++levels_.back().field;
}

void RowWriter::addNestedRows(uint32_t count, const Bytes& encoded) {
    expect(FieldType::DataSet);
    if (encoded.size() > UINT32_MAX) throw VelmoraError("Nested rows too large");
    out_.u32(count);
    out_.u32(static_cast<uint32_t>(encoded.size()));
    out_.raw(encoded.data(), encoded.size());
    ++levels_.back().field;
}

Bytes encodeRow(const RowLayout& layout, const std::vector<Variant>& values) {
    if (values.size() != layout.fieldCount())
        throw VelmoraError("A row does not hold a value for every field");
    Bytes out;
    RowWriter w(out, layout);
    w.beginRow();
    for (size_t i = 0; i < values.size(); ++i) {
        if (layout.type(i) == FieldType::DataSet)
            w.addNull();
        else
            w.addValue(values[i]);
    }
    w.endRow();
    return out;
}

}  // namespace velmora
