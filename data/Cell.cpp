#include "data/Cell.h"

#include <charconv>

namespace velmora {

int compareCells(const Cell& a, const Cell& b) {
    auto rank = [](Cell::Kind k) { return k == Cell::Boolean ? Cell::Number : k; };
    int ka = rank(a.kind), kb = rank(b.kind);
    if (ka != kb) return ka < kb ? -1 : 1;
    switch (a.kind == Cell::Boolean ? Cell::Number : a.kind) {
        case Cell::Null:
            return 0;
        case Cell::Number:
        case Cell::Boolean:
            return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
        case Cell::Text: {
            int c = a.text.compare(b.text);
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
    }
    return 0;
}

Cell cellAt(const RowLayout& layout, const uint8_t* row, const uint32_t* offsets, size_t field) {
    Cell c;
    if (RowLayout::isNull(row, field)) return c;
    const uint8_t* p = row + offsets[field];
    switch (layout.type(field)) {
        case FieldType::String:
            c.kind = Cell::Text;
            c.text = layout.textAt(p);
            break;
        case FieldType::Integer:
            c.kind = Cell::Number;
            c.number = RowLayout::integer(p);
            break;
        case FieldType::Double:
        case FieldType::DateTime:
            c.kind = Cell::Number;
            c.number = RowLayout::real(p);
            break;
        case FieldType::Boolean:
            c.kind = Cell::Boolean;
            c.number = RowLayout::boolean(p) ? 1 : 0;
            break;
        case FieldType::DataSet:
            break;
    }
    return c;
}

namespace {

// The value at p of a field of type that is not null.
Variant valueAt(const RowLayout& layout, size_t field, const uint8_t* p) {
    switch (layout.type(field)) {
        case FieldType::String:
            return Variant(std::string(layout.textAt(p)));
        case FieldType::Integer:
            return Variant(RowLayout::integer(p));
        case FieldType::Double:
            return Variant(RowLayout::real(p));
        case FieldType::DateTime:
            return Variant::date(RowLayout::real(p));
        case FieldType::Boolean:
            return Variant(RowLayout::boolean(p));
        case FieldType::DataSet:
            break;
    }
    return Variant::null();
}

}  // namespace

Variant cellValue(const RowLayout& layout, const uint8_t* row, const uint32_t* offsets, size_t field) {
    if (RowLayout::isNull(row, field)) return Variant::null();
    return valueAt(layout, field, row + offsets[field]);
}

std::string cellText(const RowLayout& layout, const uint8_t* row, const uint32_t* offsets, size_t field) {
    if (layout.type(field) == FieldType::DataSet) return "(DATASET)";
    if (RowLayout::isNull(row, field)) return std::string();
    const uint8_t* p = row + offsets[field];
    switch (layout.type(field)) {
        case FieldType::String:
            return std::string(layout.textAt(p));
        case FieldType::Integer:
            return std::to_string(RowLayout::integer(p));
        case FieldType::Double:
            return formatDouble15(RowLayout::real(p));
        case FieldType::DateTime:
            return formatDateTime(RowLayout::real(p));
        case FieldType::Boolean:
            return RowLayout::boolean(p) ? "True" : "False";
        case FieldType::DataSet:
            break;
    }
    return std::string();
}

std::vector<Variant> rowValues(const RowLayout& layout, const uint8_t* row) {
    // One walk over the values, without an offsets array.
    const size_t n = layout.fieldCount();
    std::vector<Variant> values;
    values.reserve(n);
    const uint8_t* p = row + layout.bitmapBytes();
    for (size_t i = 0; i < n; ++i) {
        if (RowLayout::isNull(row, i)) {
            values.push_back(Variant::null());
            continue;
        }
        values.push_back(valueAt(layout, i, p));
        p = layout.skip(i, p);
    }
    return values;
}

std::string valueText(FieldType type, const Variant& value) {
    if (type == FieldType::DataSet) return "(DATASET)";
    if (value.isNull() || value.isEmpty()) return std::string();
    switch (type) {
        case FieldType::Double:
            return formatDouble15(value.toDouble());
        case FieldType::DateTime:
            return formatDateTime(value.toDouble());
        default:
            return value.toString();
    }
}

}  // namespace velmora
