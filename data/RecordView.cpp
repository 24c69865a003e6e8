#include "data/RecordView.h"

#include <algorithm>

namespace velmora {

void RecordView::reset(const RecordStore* store, const FilterExpression* filter, const IndexKey* index) {
    store_ = store;
    filter_ = filter && !filter->empty() ? filter : nullptr;
    index_ = index && !index->empty() ? index : nullptr;
    rebuild();
}

void RecordView::rebuild() {
    ids_.clear();
    if (!store_) return;
    ids_.reserve(store_->order().size());
    for (uint32_t id : store_->order()) {
        if (!store_->visible(id)) continue;
        const uint8_t* row = store_->row(id);
        if (filter_ && row && !filter_->matches(row)) continue;
        ids_.push_back(id);
    }
    if (index_) index_->sort(*store_, ids_);
}

std::vector<uint32_t> RecordView::passing(uint32_t firstId) const {
    std::vector<uint32_t> ids;
    for (uint32_t id = firstId; id < store_->idLimit(); ++id) {
        if (!store_->visible(id)) continue;
        const uint8_t* row = store_->row(id);
        if (filter_ && row && !filter_->matches(row)) continue;
        ids.push_back(id);
    }
    return ids;
}

int RecordView::find(uint32_t id) const {
    auto it = std::find(ids_.begin(), ids_.end(), id);
    return it == ids_.end() ? -1 : static_cast<int>(it - ids_.begin());
}

int RecordView::placeFor(size_t pos) const {
    const uint8_t* row = store_->row(ids_[pos]);
    if (filter_ && row && !filter_->matches(row)) return -1;
    if (!index_) return static_cast<int>(pos);
    // Binary search among the other rows, which are in index order.
    size_t lo = 0, hi = ids_.size() - 1;
    auto other = [&](size_t i) { return ids_[i < pos ? i : i + 1]; };
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (index_->compareRows(store_->row(other(mid)), row) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return static_cast<int>(lo);
}

void RecordView::move(size_t from, size_t to) {
    if (from == to) return;
    uint32_t id = ids_[from];
    erase(from);
    insert(to, id);
}

int RecordView::findKey(const std::vector<Cell>& key) const {
    if (!index_) return -1;
    size_t lo = 0, hi = ids_.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (index_->compareWithKey(store_->row(ids_[mid]), key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < ids_.size() && index_->compareWithKey(store_->row(ids_[lo]), key) == 0)
        return static_cast<int>(lo);
    return -1;
}

}  // namespace velmora
