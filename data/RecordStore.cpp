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
    if (!rows_.empty()) throw VelmoraError("Rows are loaded into an empty store only");
    append(std::move(packet));
}

void RecordStore::append(DataPacket packet) {
    if (packet.layout->fields() != layout_->fields())
        throw PacketError("Invalid data packet: the rows that followed have other fields");
    complete_ = packet.complete;
    size_t first = rows_.size();
    rows_.resize(first + packet.rows.size());
    order_.reserve(first + packet.rows.size());
    for (size_t i = 0; i < packet.rows.size(); ++i) {
        rows_[first + i].current = rows_[first + i].original = packet.rows[i];
        order_.push_back(static_cast<uint32_t>(first + i));
    }
    packetBytes_ += packet.bytes.size();
    packets_.push_back(std::move(packet.bytes));
}

void RecordStore::loadNested(const uint8_t* value) {
    RowLayout::NestedRows nested = RowLayout::nestedRows(value);
    const uint8_t* p = nested.first;
    rows_.resize(nested.count);
    order_.resize(nested.count);
    for (uint32_t i = 0; i < nested.count; ++i) {
        rows_[i].current = rows_[i].original = p;
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

void RecordStore::log(uint32_t id) {
    Slot& s = rows_[id];
    if (s.status == RowStatus::Pending) return;  // logged when it is posted
    if (s.seq == 0) s.seq = nextSeq_++;
    touchParent();
}

void RecordStore::touchParent() {
    if (parent_) parent_->log(parentRow_);
}

uint32_t RecordStore::addPending(const uint32_t* before) {
    uint32_t id = static_cast<uint32_t>(rows_.size());
    rows_.push_back({nullptr, nullptr, 0, RowStatus::Pending});
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
    Slot& s = rows_[id];
    if (s.status != RowStatus::Pending) throw VelmoraError("Row is not being inserted");
    s.current = store(encoded);
    s.status = RowStatus::Inserted;
    log(id);
}

void RecordStore::materializeChildren(uint32_t id) {
    if (!layout_->hasNested()) return;
    for (size_t f = 0; f < layout_->fieldCount(); ++f)
        if (layout_->type(f) == FieldType::DataSet) child(id, f);
}

void RecordStore::update(uint32_t id, const Bytes& encoded) {
    Slot& s = rows_[id];
    if (!visible(id) || s.status == RowStatus::Pending) throw VelmoraError("Row cannot be updated");
    // The nested rows are read from the row's bytes until then; new bytes hold none.
    materializeChildren(id);
    s.current = store(encoded);
    if (s.status == RowStatus::Unchanged) s.status = RowStatus::Modified;
    log(id);
}

void RecordStore::removeFromOrder(uint32_t id) {
    auto it = std::find(order_.begin(), order_.end(), id);
    if (it != order_.end()) order_.erase(it);
}

void RecordStore::remove(uint32_t id) {
    Slot& s = rows_[id];
    switch (s.status) {
        case RowStatus::Pending:
        case RowStatus::Inserted:
            s.status = RowStatus::Discarded;
            s.seq = 0;
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
            s.current = s.original;
            s.status = RowStatus::Deleted;
            log(id);
            break;
        case RowStatus::Deleted:
        case RowStatus::Discarded:
            throw VelmoraError("Row is already deleted");
    }
}

void RecordStore::applyServerValues(uint32_t id, const std::vector<std::pair<uint16_t, Variant>>& values) {
    Slot& s = rows_[id];
    if (!s.current) return;
    materializeChildren(id);
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
    at[fields] = layout_->offsets(s.current, at.data());
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
        else if (RowLayout::isNull(s.current, f) || layout_->type(f) == FieldType::DataSet)
            w.addNull();
        else
            w.addEncoded(s.current + at[f], at[f + 1] - at[f]);
    }
    w.endRow();
    const uint8_t* stored = store(row);
    if (s.original == s.current) s.original = stored;
    s.current = stored;
}

bool RecordStore::hasChildChanges(uint32_t id) const {
    auto it = children_.find(id);
    if (it == children_.end()) return false;
    for (const auto& kid : it->second)
        if (kid && kid->hasChanges()) return true;
    return false;
}

bool RecordStore::hasChanges() const {
    for (uint32_t id = 0; id < rows_.size(); ++id) {
        const Slot& s = rows_[id];
        if (s.seq == 0) continue;
        if (s.status == RowStatus::Inserted || s.status == RowStatus::Modified ||
            s.status == RowStatus::Deleted || hasChildChanges(id))
            return true;
    }
    return false;
}

size_t RecordStore::changeCount() const {
    size_t n = 0;
    for (uint32_t id = 0; id < rows_.size(); ++id) {
        const Slot& s = rows_[id];
        if (s.seq == 0) continue;
        if (s.status == RowStatus::Inserted || s.status == RowStatus::Modified ||
            s.status == RowStatus::Deleted)
            ++n;
        if (auto it = children_.find(id); it != children_.end())
            for (const auto& kid : it->second)
                if (kid) n += kid->changeCount();
    }
    return n;
}

void RecordStore::cancelUpdates() {
    for (uint32_t id = 0; id < rows_.size(); ++id) {
        Slot& s = rows_[id];
        switch (s.status) {
            case RowStatus::Pending:
            case RowStatus::Inserted:
                s.status = RowStatus::Discarded;
                removeFromOrder(id);
                children_.erase(id);
                break;
            case RowStatus::Modified:
            case RowStatus::Deleted:
                s.current = s.original;
                s.status = RowStatus::Unchanged;
                break;
            default:
                break;
        }
        s.seq = 0;
    }
    for (auto& [id, kids] : children_)
        for (auto& kid : kids)
            if (kid) kid->cancelUpdates();
    errors_.clear();
}

std::vector<uint32_t> RecordStore::loggedRows() const {
    std::vector<std::pair<uint32_t, uint32_t>> bySeq;
    for (uint32_t id = 0; id < rows_.size(); ++id)
        if (rows_[id].seq != 0) bySeq.emplace_back(rows_[id].seq, id);
    std::sort(bySeq.begin(), bySeq.end());
    std::vector<uint32_t> ids;
    ids.reserve(bySeq.size());
    for (const auto& entry : bySeq) ids.push_back(entry.second);
    return ids;
}

void RecordStore::merge(uint32_t id) {
    Slot& s = rows_[id];
    switch (s.status) {
        case RowStatus::Inserted:
        case RowStatus::Modified:
            s.original = s.current;
            s.status = RowStatus::Unchanged;
            break;
        case RowStatus::Deleted:
            s.status = RowStatus::Discarded;
            removeFromOrder(id);
            children_.erase(id);
            break;
        default:
            break;
    }
    errors_.erase(id);
}

void RecordStore::pruneLog() {
    for (uint32_t id = 0; id < rows_.size(); ++id) {
        Slot& s = rows_[id];
        if (s.seq == 0) continue;
        // A nested row in the log puts its parent row there too (touchParent), so only the
        // nested rows of a logged row need a look: a store of many orders is not walked in full
        // after every apply.
        if (auto it = children_.find(id); it != children_.end())
            for (auto& kid : it->second)
                if (kid) kid->pruneLog();
        if (s.status == RowStatus::Discarded || (s.status == RowStatus::Unchanged && !hasChildChanges(id)))
            s.seq = 0;
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
        const uint8_t* row = rows_[id].current;
        if (row && !RowLayout::isNull(row, field)) {
            std::vector<uint32_t> offsets(layout_->fieldCount());
            layout_->offsets(row, offsets.data());
            kids[field]->loadNested(row + offsets[field]);
        }
    }
    return *kids[field];
}

}  // namespace velmora
