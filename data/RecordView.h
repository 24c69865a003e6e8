#pragma once

#include <cstdint>
#include <vector>

#include "data/FilterExpression.h"
#include "data/IndexKey.h"
#include "data/RecordStore.h"

namespace velmora {

// The rows a dataset shows, in order: the visible rows of a store that pass the filter, sorted by
// the index when there is one. Positions are 0-based. The filter and index must be bound to the
// store's layout and outlive the view's use of them.
class RecordView {
  public:
    void reset(const RecordStore* store, const FilterExpression* filter, const IndexKey* index);
    void rebuild();

    size_t size() const { return ids_.size(); }
    bool empty() const { return ids_.empty(); }
    uint32_t at(size_t pos) const { return ids_[pos]; }
    // Position of a row, or -1 when it is not in the view.
    int find(uint32_t id) const;

    // Whether the rows are in an index's order (not in the store's).
    bool ordered() const { return index_ != nullptr; }
    // The rows of the store from id firstId on that the view would show, in the store's order.
    std::vector<uint32_t> passing(uint32_t firstId) const;
    // Adds rows at the end; for a view without an index.
    void append(const std::vector<uint32_t>& ids) { ids_.insert(ids_.end(), ids.begin(), ids.end()); }

    void insert(size_t pos, uint32_t id) { ids_.insert(ids_.begin() + static_cast<ptrdiff_t>(pos), id); }
    void erase(size_t pos) { ids_.erase(ids_.begin() + static_cast<ptrdiff_t>(pos)); }

    // Where the row at pos belongs after its values changed: -1 when the filter now hides it,
    // else its position by the index (after rows with an equal key). Does not move it.
    int placeFor(size_t pos) const;
    void move(size_t from, size_t to);

    // First position whose key starts with key, or -1. Needs an index.
    int findKey(const std::vector<Cell>& key) const;

  private:
    const RecordStore* store_ = nullptr;
    const FilterExpression* filter_ = nullptr;
    const IndexKey* index_ = nullptr;
    std::vector<uint32_t> ids_;
};

}  // namespace velmora
