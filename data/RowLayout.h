#pragma once
// How one row of a field list is encoded: a null bitmap (bit i of byte i/8 set when field i is
// null), then the values of the non-null fields in field order. Rows are validated once, when a
// packet is decoded; the unchecked readers below are for validated rows only.
//
// Texts come in one of two forms. On the wire a text is its length (varint) and its bytes. The
// rows a client holds may share texts instead: the varint is twice the length for a text that
// follows, or twice the distance back plus one for a text equal to one written earlier in the
// same block of rows, where that text's own varint starts. A list of a million lines repeats its
// names, codes and dates on nearly every line, and this keeps one copy per block.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "data/FieldDef.h"
#include "transport/Bytes.h"

namespace velmora {

class PacketReader;

class RowLayout {
  public:
    enum class TextForm : uint8_t { Wire, Shared };

    explicit RowLayout(FieldDefs fields, TextForm form = TextForm::Wire);
    // The same fields with texts in the shared form; only for layouts without nested rows.
    std::shared_ptr<const RowLayout> withSharedTexts() const;
    bool sharesTexts() const { return form_ == TextForm::Shared; }

    const FieldDefs& fields() const { return fields_; }
    size_t fieldCount() const { return types_.size(); }
    size_t bitmapBytes() const { return bitmapBytes_; }
    FieldType type(size_t i) const { return types_[i]; }
    // The layout of the rows held by DataSet field i.
    const std::shared_ptr<const RowLayout>& nested(size_t i) const { return nested_[i]; }
    bool hasNested() const { return hasNested_; }

    // Walks one row at the reader's position and refuses anything malformed; depth counts the
    // nesting levels above this row.
    void validateRow(PacketReader& reader, uint32_t depth) const;

    // For a validated row: stores the offset of every field's value (where it would be, for a
    // null one) in offsets[0..fieldCount) and returns the size of the row in bytes.
    uint32_t offsets(const uint8_t* row, uint32_t* offsets) const;
    // Size in bytes of a validated row.
    uint32_t rowSize(const uint8_t* row) const;

    static bool isNull(const uint8_t* row, size_t i) { return (row[i >> 3] >> (i & 7)) & 1; }

    // Unchecked value readers, p pointing at a value of the named type.
    static uint32_t readVarint(const uint8_t*& p) {
        uint32_t v = *p & 0x7F;
        if (*p++ < 0x80) return v;
        for (int shift = 7; shift < 35; shift += 7) {
            uint8_t b = *p++;
            v |= uint32_t(b & 0x7F) << shift;
            if (b < 0x80) break;
        }
        return v;
    }
    // A text in the wire form.
    static std::string_view text(const uint8_t* p) {
        uint32_t n = readVarint(p);
        return {reinterpret_cast<const char*>(p), n};
    }
    // A text in this layout's form.
    std::string_view textAt(const uint8_t* p) const { return sharesTexts() ? sharedText(p) : text(p); }
    static std::string_view sharedText(const uint8_t* p) {
        const uint8_t* start = p;
        uint32_t v = readVarint(p);
        if (v & 1) {
            p = start - (v >> 1);
            v = readVarint(p);
        }
        return {reinterpret_cast<const char*>(p), v >> 1};
    }
    static uint32_t u32(const uint8_t* p) {
        return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    }
    static int32_t integer(const uint8_t* p) { return static_cast<int32_t>(u32(p)); }
    static double real(const uint8_t* p) {
        uint64_t bits = uint64_t(u32(p)) | (uint64_t(u32(p + 4)) << 32);
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }
    static bool boolean(const uint8_t* p) { return *p != 0; }

    // The rows of a nested DataSet value: count, then the first row.
    struct NestedRows {
        uint32_t count;
        const uint8_t* first;
    };
    static NestedRows nestedRows(const uint8_t* p) { return {u32(p), p + 8}; }

    // Where the value after field's, which is not null and starts at p, starts.
    const uint8_t* skip(size_t field, const uint8_t* p) const;
    // Appends a row of this layout in the wire form.
    void appendWireRow(const uint8_t* row, Bytes& out) const;

  private:
    FieldDefs fields_;
    std::vector<FieldType> types_;
    std::vector<std::shared_ptr<const RowLayout>> nested_;
    size_t bitmapBytes_ = 0;
    bool hasNested_ = false;
    TextForm form_ = TextForm::Wire;
};

using RowLayoutPtr = std::shared_ptr<const RowLayout>;

}  // namespace velmora
