#include "data/RecordStore.h"

#include <algorithm>

#include "data/Cell.h"
#include "data/PacketFormat.h"
#include "data/RowWriter.h"
#include "transport/Errors.h"

namespace velmora {

RecordStore::RecordStore(RowLayoutPtr layout, RecordStore* parent, uint32_t parentRow)
    : layout_(std::move(layout)), parent_(parent), parentRow_(parentRow) {}

void RecordStore::load(DataPacket packet) {
    if (!current_.empty()) throw VelmoraError("Rows are loaded into an empty store only");
    append(std::move(packet));
}

void RecordStore::append(DataPacket packet) {
    if (packet.layout->fields() != layout_->fields())
        throw PacketError("Invalid data packet: the rows that followed have other fields");
    complete_ = packet.complete;
    size_t first = current_.size();
    current_.resize(first + packet.rows.size());
    status_.resize(first + packet.rows.size(), RowStatus::Unchanged);
    order_.reserve(first + packet.rows.size());
    if (layout_->sharesTexts() && !shared_) shared_ = std::make_unique<SharedTextRows>(*layout_);
    for (size_t i = 0; i < packet.rows.size(); ++i) {
        const uint8_t* row = shared_ ? shared_->add(*packet.layout, packet.rows[i]) : packet.rows[i];
        current_[first + i] = row;
        order_.push_back(static_cast<uint32_t>(first + i));
    }
    packetBytes_ += packet.bytes.size();
    if (!shared_) packets_.push_back(std::move(packet.bytes));
    if (complete_ && first > 0) {
        // The parts grew the arrays by doubling; the whole result is in now.
        current_.shrink_to_fit();
        status_.shrink_to_fit();
    }
}

void RecordStore::loadNested(const uint8_t* value) {
    RowLayout::NestedRows nested = RowLayout::nestedRows(value);
    const uint8_t* p = nested.first;
    current_.resize(nested.count);
    status_.assign(nested.count, RowStatus::Unchanged);
    order_.resize(nested.count);
    for (uint32_t i = 0; i < nested.count; ++i) {
        current_[i] = p;
        order_[i] = i;
        p += layout_->rowSize(p);
    }
}

size_t RecordStore::visibleCount() const {
    size_t n = 0;
    for (uint32_t id : order_) n += visible(id) ? 1 : 0;
    return n;
}

const uint8_t* RecordStore::store(const Bytes& encoded) {
    return arena_.copy(encoded.data(), encoded.size());
}

const uint8_t* RecordStore::original(uint32_t id) const {
    switch (status_[id]) {
        case RowStatus::Unchanged:
        case RowStatus::Deleted:  // a deleted row is back at its original values
            return current_[id];
        case RowStatus::Modified:
            return logged_.at(id).original;
        default:
            return nullptr;
    }
}

void RecordStore::log(uint32_t id) {
    if (status_[id] == RowStatus::Pending) return;  // logged when it is posted
    Logged& entry = logged_[id];
    if (entry.seq == 0) entry.seq = nextSeq_++;
    touchParent();
}

void RecordStore::touchParent() {
    if (parent_) parent_->log(parentRow_);
}

uint32_t RecordStore::addPending(const uint32_t* before) {
    uint32_t id = static_cast<uint32_t>(current_.size());
    current_.push_back(nullptr);
    status_.push_back(RowStatus::Pending);
    auto at = before ? std::find(order_.begin(), order_.end(), *before) : order_.end();
    order_.insert(at, id);
    if (layout_->hasNested()) {
        auto& kids = children_[id];
        kids.resize(layout_->fieldCount());
        for (size_t f = 0; f < layout_->fieldCount(); ++f)
            if (layout_->type(f) == FieldType::DataSet)
                kids[f] = std::make_unique<RecordStore>(layout_->nested(f), this, id);
    }
    return id;
}

void RecordStore::commitInsert(uint32_t id, const Bytes& encoded) {
    if (status_[id] != RowStatus::Pending) throw VelmoraError("Row is not being inserted");
    current_[id] = store(encoded);
    status_[id] = RowStatus::Inserted;
    log(id);
}

void RecordStore::materializeChildren(uint32_t id) {
    if (!layout_->hasNested()) return;
    for (size_t f = 0; f < layout_->fieldCount(); ++f)
        if (layout_->type(f) == FieldType::DataSet) child(id, f);
}

void RecordStore::update(uint32_t id, const Bytes& encoded) {
    if (!visible(id) || status_[id] == RowStatus::Pending) throw VelmoraError("Row cannot be updated");
    // The nested rows are read from the row's bytes until then; new bytes hold none.
    materializeChildren(id);
    if (status_[id] == RowStatus::Unchanged) {
        logged_[id].original = current_[id];
        status_[id] = RowStatus::Modified;
    }
    current_[id] = store(encoded);
    log(id);
}

void RecordStore::removeFromOrder(uint32_t id) {
    auto it = std::find(order_.begin(), order_.end(), id);
    if (it != order_.end()) order_.erase(it);
}

void RecordStore::remove(uint32_t id) {
    switch (status_[id]) {
        case RowStatus::Pending:
        case RowStatus::Inserted:
            status_[id] = RowStatus::Discarded;
            logged_.erase(id);
            removeFromOrder(id);
            children_.erase(id);
            errors_.erase(id);
            touchParent();
            break;
        case RowStatus::Unchanged:
        case RowStatus::Modified:
            if (auto it = children_.find(id); it != children_.end())
                for (auto& kid : it->second)
                    if (kid) kid->cancelUpdates();
            current_[id] = original(id);
            status_[id] = RowStatus::Deleted;
            log(id);
            break;
        case RowStatus::Deleted:
        case RowStatus::Discarded:
            throw VelmoraError("Row is already deleted");
    }
}

void RecordStore::applyServerValues(uint32_t id, const std::vector<std::pair<uint16_t, Variant>>& values) {
    if (!current_[id]) return;
    materializeChildren(id);
    const uint8_t* current = current_[id];
    for (const auto& [field, value] : values)
        if (field >= layout_->fieldCount() || layout_->type(field) == FieldType::DataSet)
            throw VelmoraError(formatText("Server value for unknown field %u", unsigned(field)));
    // The row is rewritten field by field: the server's values encoded, every other value copied
    // as it is, nested rows left out as they now live in the child stores. The buffers are kept
    // from row to row: an apply of many thousand lines rewrites as many rows, each order's lines
    // in a store of their own.
    const size_t fields = layout_->fieldCount();
    thread_local std::vector<uint32_t> at;
    at.resize(fields + 1);
    at[fields] = layout_->offsets(current, at.data());
    thread_local Bytes row;
    row.clear();
    RowWriter w(row, *layout_);
    w.beginRow();
    for (size_t f = 0; f < fields; ++f) {
        const Variant* given = nullptr;
        for (const auto& [field, value] : values)
            if (field == f) given = &value;  // the last one for a field wins
        if (given)
            w.addValue(*given);
        else if (RowLayout::isNull(current, f) || layout_->type(f) == FieldType::DataSet)
            w.addNull();
        else if (layout_->sharesTexts() && layout_->type(f) == FieldType::String)
            w.addText(layout_->textAt(current + at[f]));
        else
            w.addEncoded(current + at[f], at[f + 1] - at[f]);
    }
    w.endRow();
    // The server's values hold for the original values too, where they are the current ones
    // (an unchanged or deleted row); a modified row keeps its original values apart.
    current_[id] = store(row);
}

bool RecordStore::hasChildChanges(uint32_t id) const {
    auto it = children_.find(id);
    if (it == children_.end()) return false;
    for (const auto& kid : it->second)
        if (kid && kid->hasChanges()) return true;
    return false;
}

bool RecordStore::hasChanges() const {
    for (const auto& [id, entry] : logged_) {
        RowStatus s = status_[id];
        if (s == RowStatus::Inserted || s == RowStatus::Modified || s == RowStatus::Deleted ||
            hasChildChanges(id))
            return true;
    }
    return false;
}

size_t RecordStore::changeCount() const {
    size_t n = 0;
    for (const auto& [id, entry] : logged_) {
        RowStatus s = status_[id];
        if (s == RowStatus::Inserted || s == RowStatus::Modified || s == RowStatus::Deleted) ++n;
        if (auto it = children_.find(id); it != children_.end())
            for (const auto& kid : it->second)
                if (kid) n += kid->changeCount();
    }
    return n;
}

void RecordStore::cancelUpdates() {
    // Pending rows are in no log: the statuses are walked, a byte a row.
    for (uint32_t id = 0; id < status_.size(); ++id) {
        switch (status_[id]) {
            case RowStatus::Pending:
            case RowStatus::Inserted:
                status_[id] = RowStatus::Discarded;
                removeFromOrder(id);
                children_.erase(id);
                break;
            case RowStatus::Modified:
            case RowStatus::Deleted:
                current_[id] = original(id);
                status_[id] = RowStatus::Unchanged;
                break;
            default:
                break;
        }
    }
    logged_.clear();
    for (auto& [id, kids] : children_)
        for (auto& kid : kids)
            if (kid) kid->cancelUpdates();
    errors_.clear();
}

std::vector<uint32_t> RecordStore::loggedRows() const {
    std::vector<std::pair<uint32_t, uint32_t>> bySeq;
    bySeq.reserve(logged_.size());
    for (const auto& [id, entry] : logged_) bySeq.emplace_back(entry.seq, id);
    std::sort(bySeq.begin(), bySeq.end());
    std::vector<uint32_t> ids;
    ids.reserve(bySeq.size());
    for (const auto& entry : bySeq) ids.push_back(entry.second);
    return ids;
}

void RecordStore::merge(uint32_t id) {
    switch (status_[id]) {
        case RowStatus::Inserted:
        case RowStatus::Modified:
            status_[id] = RowStatus::Unchanged;
            if (auto it = logged_.find(id); it != logged_.end()) it->second.original = nullptr;
            break;
        case RowStatus::Deleted:
            status_[id] = RowStatus::Discarded;
            removeFromOrder(id);
            children_.erase(id);
            break;
        default:
            break;
    }
    errors_.erase(id);
}

void RecordStore::pruneLog() {
    for (auto it = logged_.begin(); it != logged_.end();) {
        const uint32_t id = it->first;
        // A nested row in the log puts its parent row there too (touchParent), so only the
        // nested rows of a logged row need a look: a store of many orders is not walked in full
        // after every apply.
        if (auto kids = children_.find(id); kids != children_.end())
            for (auto& kid : kids->second)
                if (kid) kid->pruneLog();
        RowStatus s = status_[id];
        if (s == RowStatus::Discarded || (s == RowStatus::Unchanged && !hasChildChanges(id)))
            it = logged_.erase(it);
        else
            ++it;
    }
}

const std::string* RecordStore::error(uint32_t id) const {
    auto it = errors_.find(id);
    return it == errors_.end() ? nullptr : &it->second;
}

void RecordStore::setError(uint32_t id, std::string message) {
    errors_[id] = std::move(message);
}

RecordStore* RecordStore::existingChild(uint32_t id, size_t field) const {
    auto it = children_.find(id);
    if (it == children_.end() || field >= it->second.size()) return nullptr;
    return it->second[field].get();
}

RecordStore& RecordStore::child(uint32_t id, size_t field) {
    if (layout_->type(field) != FieldType::DataSet) throw VelmoraError("Field does not hold nested rows");
    auto& kids = children_[id];
    if (kids.empty()) kids.resize(layout_->fieldCount());
    if (!kids[field]) {
        kids[field] = std::make_unique<RecordStore>(layout_->nested(field), this, id);
        const uint8_t* row = current_[id];
        if (row && !RowLayout::isNull(row, field)) {
            std::vector<uint32_t> offsets(layout_->fieldCount());
            layout_->offsets(row, offsets.data());
            kids[field]->loadNested(row + offsets[field]);
        }
    }
    return *kids[field];
}

}  // namespace velmora
