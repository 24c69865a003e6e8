#include "data/RowLayout.h"

#include "data/ByteWriter.h"
#include "data/PacketFormat.h"
#include "data/PacketReader.h"
#include "transport/Errors.h"
#include "transport/Variant.h"

namespace velmora {

RowLayout::RowLayout(FieldDefs fields, TextForm form) : fields_(std::move(fields)), form_(form) {
    types_.reserve(fields_.size());
    nested_.resize(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i) {
        types_.push_back(fields_[i].type);
        if (fields_[i].type == FieldType::DataSet) {
            nested_[i] = std::make_shared<RowLayout>(fields_[i].nested);
            hasNested_ = true;
        }
    }
    bitmapBytes_ = (fields_.size() + 7) / 8;
    if (hasNested_ && form_ == TextForm::Shared)
        throw VelmoraError("Rows with nested rows keep their texts whole");
}

std::shared_ptr<const RowLayout> RowLayout::withSharedTexts() const {
    return std::make_shared<RowLayout>(fields_, TextForm::Shared);
}

void RowLayout::validateRow(PacketReader& r, uint32_t depth) const {
    if (types_.empty()) r.fail("row without fields");
    const uint8_t* row = r.position();
    r.skip(bitmapBytes_);
    if (size_t spare = fieldCount() % 8; spare != 0 && (row[bitmapBytes_ - 1] >> spare) != 0)
        r.fail("null bit set past the last field");
    for (size_t i = 0; i < types_.size(); ++i) {
        if (isNull(row, i)) continue;
        switch (types_[i]) {
            case FieldType::String:
                r.skip(r.varint());
                break;
            case FieldType::Integer:
                r.skip(4);
                break;
            case FieldType::Double:
                r.skip(8);
                break;
            case FieldType::DateTime:
                if (!isValidDate(r.f64())) r.fail("date outside the years 1 to 9999");
                break;
            case FieldType::Boolean:
                if (r.u8() > 1) r.fail("Boolean value other than 0 or 1");
                break;
            case FieldType::DataSet: {
                if (depth + 1 >= kMaxNestingDepth) r.fail("nested too deep");
                uint32_t count = r.u32();
                uint32_t length = r.u32();
                r.need(length);
                if (count > length) r.fail("more nested rows than bytes");
                size_t end = r.offset() + length;
                for (uint32_t k = 0; k < count; ++k) nested_[i]->validateRow(r, depth + 1);
                if (r.offset() != end) r.fail("nested rows do not fill their length");
                break;
            }
        }
    }
}

const uint8_t* RowLayout::skip(size_t field, const uint8_t* p) const {
    switch (types_[field]) {
        case FieldType::String: {
            uint32_t n = readVarint(p);
            if (form_ == TextForm::Wire) return p + n;
            return (n & 1) ? p : p + (n >> 1);
        }
        case FieldType::Integer:
            return p + 4;
        case FieldType::Double:
        case FieldType::DateTime:
            return p + 8;
        case FieldType::Boolean:
            return p + 1;
        case FieldType::DataSet:
            return p + 8 + u32(p + 4);
    }
    return p;
}

uint32_t RowLayout::offsets(const uint8_t* row, uint32_t* out) const {
    const uint8_t* p = row + bitmapBytes_;
    const size_t n = types_.size();
    for (size_t i = 0; i < n; ++i) {
        out[i] = static_cast<uint32_t>(p - row);
        if (!isNull(row, i)) p = skip(i, p);
    }
    return static_cast<uint32_t>(p - row);
}

void RowLayout::appendWireRow(const uint8_t* row, Bytes& out) const {
    if (form_ == TextForm::Wire) {
        out.append(row, rowSize(row));
        return;
    }
    ByteWriter w(out);
    w.raw(row, bitmapBytes_);
    const uint8_t* p = row + bitmapBytes_;
    for (size_t i = 0; i < types_.size(); ++i) {
        if (isNull(row, i)) continue;
        const uint8_t* next = skip(i, p);
        if (types_[i] == FieldType::String)
            w.text(sharedText(p));
        else
            w.raw(p, static_cast<size_t>(next - p));
        p = next;
    }
}

uint32_t RowLayout::rowSize(const uint8_t* row) const {
    const uint8_t* p = row + bitmapBytes_;
    for (size_t i = 0; i < types_.size(); ++i)
        if (!isNull(row, i)) p = skip(i, p);
    return static_cast<uint32_t>(p - row);
}

}  // namespace velmora
