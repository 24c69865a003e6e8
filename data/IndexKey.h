#pragma once
// The ordering named by IndexFieldNames: one or more fields separated by ";", compared in turn
// by the rules of compareCells; rows with equal keys keep their natural order.

#include <string>
#include <string_view>
#include <vector>

#include "data/Cell.h"
#include "data/RecordStore.h"
#include "transport/Variant.h"

namespace velmora {

class IndexKey {
  public:
    // Splits text at ";" and trims blanks; empty parts are refused.
    explicit IndexKey(std::string_view text);

    const std::string& text() const { return text_; }
    bool empty() const { return names_.empty(); }
    size_t size() const { return names_.size(); }

    // Resolves the names against layout; throws for an unknown field or a DataSet field.
    void bind(const RowLayout& layout);

    // Sorts ids (rows of store) by the key, stably.
    void sort(const RecordStore& store, std::vector<uint32_t>& ids) const;
    // Compares the key of a row with the key of another; null rows (pending) have null keys.
    int compareRows(const uint8_t* a, const uint8_t* b) const;
    // Compares the first key.size() fields of a row with key.
    int compareWithKey(const uint8_t* row, const std::vector<Cell>& key) const;

    // The cells of search values for the first values.size() key fields, converted to the
    // fields' types; texts are kept in storage. Throws when a value cannot be converted.
    std::vector<Cell> keyCells(const std::vector<Variant>& values, std::vector<std::string>& storage) const;

  private:
    void keyOf(const uint8_t* row, Cell* out) const;

    std::string text_;
    std::vector<std::string> names_;
    std::vector<size_t> fields_;
    const RowLayout* layout_ = nullptr;
    mutable std::vector<uint32_t> offsets_;
};

}  // namespace velmora
