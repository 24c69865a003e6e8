#include "data/IndexKey.h"

#include <algorithm>
#include <cstring>

#include "data/ValueText.h"
#include "transport/Errors.h"

namespace velmora {

IndexKey::IndexKey(std::string_view text) : text_(text) {
    auto trim = [](std::string_view s) {
        while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
        while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
        return s;
    };
    if (trim(text).empty()) return;
    size_t start = 0;
    for (;;) {
        size_t semi = text.find(';', start);
        std::string_view part =
            trim(text.substr(start, semi == std::string_view::npos ? semi : semi - start));
        if (part.empty())
            throw VelmoraError(formatText("Invalid index field names \"%s\"", std::string(text).c_str()));
        names_.emplace_back(part);
        if (semi == std::string_view::npos) break;
        start = semi + 1;
    }
}

void IndexKey::bind(const RowLayout& layout) {
    std::vector<size_t> fields;
    for (const std::string& name : names_) {
        int f = findField(layout.fields(), name);
        if (f < 0) throw VelmoraError(formatText("Field '%s' not found", name.c_str()));
        if (layout.type(static_cast<size_t>(f)) == FieldType::DataSet)
            throw VelmoraError(formatText("Field '%s' cannot be indexed", name.c_str()));
        fields.push_back(static_cast<size_t>(f));
    }
    fields_ = std::move(fields);
    layout_ = &layout;
    offsets_.assign(layout.fieldCount(), 0);
}

void IndexKey::keyOf(const uint8_t* row, Cell* out) const {
    if (!row) {
        std::fill(out, out + fields_.size(), Cell());
        return;
    }
    layout_->offsets(row, offsets_.data());
    for (size_t k = 0; k < fields_.size(); ++k) out[k] = cellAt(*layout_, row, offsets_.data(), fields_[k]);
}

namespace {

// A cell reduced for sorting: its kind's rank and an order-preserving 64-bit prefix (a number's
// bits, or the first eight bytes of a text), so that most comparisons never touch the row.
struct SortKey {
    std::string_view text;
    uint64_t prefix = 0;
    uint8_t rank = 0;  // 0 null, 1 number or Boolean, 2 text
};

SortKey sortKey(const Cell& c) {
    SortKey k;
    switch (c.kind) {
        case Cell::Null:
            break;
        case Cell::Number:
        case Cell::Boolean: {
            double d = c.number == 0 ? 0.0 : c.number;
            uint64_t bits;
            std::memcpy(&bits, &d, 8);
            k.prefix = (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
            k.rank = 1;
            break;
        }
        case Cell::Text:
            for (size_t i = 0; i < 8; ++i)
                k.prefix = (k.prefix << 8) | (i < c.text.size() ? static_cast<uint8_t>(c.text[i]) : 0);
            k.text = c.text;
            k.rank = 2;
            break;
    }
    return k;
}

int compareKeys(const SortKey& a, const SortKey& b) {
    if (a.rank != b.rank) return a.rank < b.rank ? -1 : 1;
    if (a.prefix != b.prefix) return a.prefix < b.prefix ? -1 : 1;
    if (a.rank != 2) return 0;
    int c = a.text.compare(b.text);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

void IndexKey::sort(const RecordStore& store, std::vector<uint32_t>& ids) const {
    const size_t k = fields_.size();
    if (k == 0 || ids.size() < 2) return;
    // Keys are read once per row. The first key's rank and prefix travel with each entry, so the
    // sort mostly compares entries in place; ties look at the full keys.
    std::vector<SortKey> keys(ids.size() * k);
    std::vector<Cell> cells(k);
    struct Entry {
        uint64_t prefix;
        uint32_t pos;
        uint8_t rank;
    };
    std::vector<Entry> entries(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        keyOf(store.row(ids[i]), cells.data());
        for (size_t f = 0; f < k; ++f) keys[i * k + f] = sortKey(cells[f]);
        entries[i] = {keys[i * k].prefix, static_cast<uint32_t>(i), keys[i * k].rank};
    }
    std::stable_sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        for (size_t f = 0; f < k; ++f) {
            int c = compareKeys(keys[a.pos * k + f], keys[b.pos * k + f]);
            if (c != 0) return c < 0;
        }
        return false;
    });
    std::vector<uint32_t> sorted(ids.size());
    for (size_t i = 0; i < entries.size(); ++i) sorted[i] = ids[entries[i].pos];
    ids.swap(sorted);
}

int IndexKey::compareRows(const uint8_t* a, const uint8_t* b) const {
    std::vector<Cell> ka(fields_.size()), kb(fields_.size());
    keyOf(a, ka.data());
    keyOf(b, kb.data());
    for (size_t f = 0; f < fields_.size(); ++f)
        if (int c = compareCells(ka[f], kb[f]); c != 0) return c;
    return 0;
}

int IndexKey::compareWithKey(const uint8_t* row, const std::vector<Cell>& key) const {
    std::vector<Cell> cells(fields_.size());
    keyOf(row, cells.data());
    for (size_t f = 0; f < key.size() && f < fields_.size(); ++f)
        if (int c = compareCells(cells[f], key[f]); c != 0) return c;
    return 0;
}

std::vector<Cell> IndexKey::keyCells(const std::vector<Variant>& values,
                                     std::vector<std::string>& storage) const {
    if (values.empty() || values.size() > fields_.size())
        throw VelmoraError(formatText("FindKey takes 1 to %zu values", fields_.size()));
    storage.clear();
    storage.reserve(values.size());
    std::vector<Cell> key(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const Variant& v = values[i];
        Cell& c = key[i];
        if (v.isNull() || v.isEmpty()) continue;
        switch (layout_->type(fields_[i])) {
            case FieldType::String:
                storage.push_back(v.toString());
                c.kind = Cell::Text;
                c.text = storage.back();
                break;
            case FieldType::Boolean:
                c.kind = Cell::Boolean;
                c.number = v.toBool() ? 1 : 0;
                break;
            default: {
                std::optional<double> d;
                if (v.type() == VarType::String) {
                    d = parseNumber(v.stringValue());
                    if (!d && layout_->type(fields_[i]) == FieldType::DateTime)
                        d = parseDateTime(v.stringValue());
                    if (!d)
                        throw VelmoraError(formatText("'%s' is not a valid key for field '%s'",
                                                      v.stringValue().c_str(),
                                                      layout_->fields()[fields_[i]].name.c_str()));
                } else {
                    d = v.toDouble();
                }
                c.kind = Cell::Number;
                c.number = *d;
            }
        }
    }
    return key;
}

}  // namespace velmora
