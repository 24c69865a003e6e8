#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/DataPacket.h"
#include "data/RowArena.h"
#include "data/RowLayout.h"
#include "data/SharedTextRows.h"
#include "transport/Bytes.h"

namespace velmora {

enum class RowStatus : uint8_t {
    Pending,    // being inserted, not yet posted; not in the change log
    Unchanged,  // as last fetched or merged
    Inserted,
    Modified,
    Deleted,    // kept for the change log and for cancel updates; not visible
    Discarded,  // gone for good: an insert undone, or a delete that was applied
};

// The rows of one dataset level and their change log. Rows are addressed by ids that never
// change; the natural order lists them as fetched and inserted. A row's nested rows live in
// child stores, made from the row's bytes on first use. Not thread-safe.
class RecordStore {
  public:
    explicit RecordStore(RowLayoutPtr layout, RecordStore* parent = nullptr, uint32_t parentRow = 0);
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Takes over the packet's rows; the store must be empty. A layout that shares texts keeps
    // the rows rewritten, and lets the packet go; any other keeps the packet's bytes.
    void load(DataPacket packet);
    // Adds the rows of the next part of the same result after the rows held; the packet must have
    // the same fields. Rows already held keep their ids.
    void append(DataPacket packet);
    // Takes the nested rows of a DataSet value; the bytes must outlive the store.
    void loadNested(const uint8_t* value);

    const RowLayout& layout() const { return *layout_; }
    const RowLayoutPtr& layoutPtr() const { return layout_; }
    bool complete() const { return complete_; }
    // The bytes of the packets the rows were loaded from (nested rows included).
    size_t packetBytes() const { return packetBytes_; }

    uint32_t idLimit() const { return static_cast<uint32_t>(current_.size()); }
    // The current encoded values; null for a pending row.
    const uint8_t* row(uint32_t id) const { return current_[id]; }
    // The values as last fetched or merged; null for a row inserted here.
    const uint8_t* original(uint32_t id) const;
    RowStatus status(uint32_t id) const { return status_[id]; }
    bool visible(uint32_t id) const {
        RowStatus s = status_[id];
        return s != RowStatus::Deleted && s != RowStatus::Discarded;
    }
    // Every row id in natural order; deleted rows are included (skip them with visible()).
    const std::vector<uint32_t>& order() const { return order_; }
    size_t visibleCount() const;

    // A new pending row, placed in natural order before row before (at the end when none).
    uint32_t addPending(const uint32_t* before);
    // Posts a pending row with its encoded values.
    void commitInsert(uint32_t id, const Bytes& encoded);
    // Posts new values of a visible row.
    void update(uint32_t id, const Bytes& encoded);
    // Removes a row: undoes a pending or inserted row, logs the delete of any other (dropping
    // the changes of its nested rows first).
    void remove(uint32_t id);
    // Puts values the server set on a row into both its current and original values.
    void applyServerValues(uint32_t id, const std::vector<std::pair<uint16_t, Variant>>& values);

    // Records that would be sent by an apply, nested ones included.
    size_t changeCount() const;
    // changeCount() > 0, without counting past the first change.
    bool hasChanges() const;
    // Drops every change, nested ones included, and forgets the errors.
    void cancelUpdates();
    // Row ids in the order they were first changed; may include rows with nothing to send.
    std::vector<uint32_t> loggedRows() const;
    // Accepts the applied change of a row: its values become the original ones.
    void merge(uint32_t id);
    // Forgets log entries with nothing left to send.
    void pruneLog();

    // The error of the row's last failed apply, or null.
    const std::string* error(uint32_t id) const;
    void setError(uint32_t id, std::string message);
    void clearError(uint32_t id) { errors_.erase(id); }

    // The store of the rows held by DataSet field of row id; made on first use.
    RecordStore& child(uint32_t id, size_t field);
    // The child store if it was already made, else null.
    RecordStore* existingChild(uint32_t id, size_t field) const;

  private:
    // What a row in the change log has besides its current values. A row not logged is
    // unchanged (or pending), and its original values are its current ones: a million rows
    // fetched cost a pointer and a status each, not this.
    struct Logged {
        uint32_t seq = 0;                   // position in the change log
        const uint8_t* original = nullptr;  // for a modified row: the values before
    };
    void log(uint32_t id);
    void touchParent();
    void removeFromOrder(uint32_t id);
    void materializeChildren(uint32_t id);
    const uint8_t* store(const Bytes& encoded);
    bool hasChildChanges(uint32_t id) const;

    RowLayoutPtr layout_;
    RecordStore* parent_;
    uint32_t parentRow_;
    bool complete_ = true;
    std::vector<Bytes> packets_;
    std::unique_ptr<SharedTextRows> shared_;
    size_t packetBytes_ = 0;
    RowArena arena_;
    std::vector<const uint8_t*> current_;
    std::vector<RowStatus> status_;
    std::unordered_map<uint32_t, Logged> logged_;
    std::vector<uint32_t> order_;
    uint32_t nextSeq_ = 1;
    std::unordered_map<uint32_t, std::string> errors_;
    std::unordered_map<uint32_t, std::vector<std::unique_ptr<RecordStore>>> children_;
};

}  // namespace velmora
