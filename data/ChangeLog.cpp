#include "data/ChangeLog.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "data/PacketHeader.h"

namespace velmora {

namespace {

ChangeKind kindOf(RowStatus status) {
    switch (status) {
        case RowStatus::Inserted:
            return ChangeKind::Insert;
        case RowStatus::Modified:
            return ChangeKind::Modify;
        case RowStatus::Deleted:
            return ChangeKind::Delete;
        default:
            return ChangeKind::Unmodified;
    }
}

bool nestsChanges(RecordStore& store, uint32_t id, size_t field) {
    RecordStore* kid = store.existingChild(id, field);
    return kid && kid->hasChanges();
}

// Appends a stored row as a change record carries it: nested rows are never sent with a row, so
// a DataSet field that holds some is written as null.
void writeStoredRow(Bytes& out, const RowLayout& layout, const uint8_t* row) {
    bool holdsRows = false;
    for (size_t f = 0; f < layout.fieldCount() && !holdsRows; ++f)
        holdsRows = layout.type(f) == FieldType::DataSet && !RowLayout::isNull(row, f);
    if (!holdsRows) {
        layout.appendWireRow(row, out);
        return;
    }
    std::vector<uint32_t> at(layout.fieldCount() + 1);
    at[layout.fieldCount()] = layout.offsets(row, at.data());
    size_t bitmap = out.size();
    out.append(row, layout.bitmapBytes());
    for (size_t f = 0; f < layout.fieldCount(); ++f) {
        if (RowLayout::isNull(row, f)) continue;
        if (layout.type(f) == FieldType::DataSet)
            out[bitmap + (f >> 3)] |= static_cast<uint8_t>(1u << (f & 7));
        else
            out.append(row + at[f], at[f + 1] - at[f]);
    }
}

}  // namespace

uint32_t ChangeLog::writeRecords(RecordStore& store, Bytes& out, std::vector<ChangeRecord>& sent) {
    const RowLayout& layout = store.layout();
    ByteWriter w(out);
    uint32_t count = 0;
    const std::vector<uint32_t> logged = store.loggedRows();
    sent.reserve(sent.size() + logged.size());
    for (uint32_t id : logged) {
        RowStatus status = store.status(id);
        if (status == RowStatus::Discarded || status == RowStatus::Pending) continue;
        ChangeKind kind = kindOf(status);
        bool nested = false;
        if (kind != ChangeKind::Delete)
            for (size_t f = 0; f < layout.fieldCount() && !nested; ++f)
                nested = layout.type(f) == FieldType::DataSet && nestsChanges(store, id, f);
        if (kind == ChangeKind::Unmodified && !nested) continue;
        ChangeRecord& r = sent.emplace_back();
        r.kind = kind;
        r.id = id;
        ++count;
        w.u8(static_cast<uint8_t>(kind));
        w.u32(id);
        if (kind != ChangeKind::Insert) writeStoredRow(out, layout, store.original(id));
        if (kind == ChangeKind::Insert || kind == ChangeKind::Modify)
            writeStoredRow(out, layout, store.row(id));
        for (size_t f = 0; f < layout.fieldCount(); ++f) {
            if (layout.type(f) != FieldType::DataSet) continue;
            size_t countAt = out.size();
            w.u32(0);
            if (kind == ChangeKind::Delete || !nestsChanges(store, id, f)) continue;
            NestedChanges& group = r.nested.emplace_back();
            group.field = static_cast<uint32_t>(f);
            w.patch32(countAt, writeRecords(*store.existingChild(id, f), out, group.records));
        }
    }
    return count;
}

Bytes ChangeLog::encode(RecordStore& store, ChangePacket& sent) {
    Bytes out;
    ByteWriter w(out);
    sent.fields = store.layout().fields();
    sent.records.clear();
    beginPacket(w, PacketKind::Change, 0, static_cast<uint32_t>(sent.fields.size()));
    writeFieldDefs(w, sent.fields);
    finishPacket(w, writeRecords(store, out, sent.records));
    return out;
}

namespace {

bool within(const RecordPath& path, const RecordPath& prefix) {
    return path.id == prefix.id && path.nested.size() >= prefix.nested.size() &&
           std::equal(prefix.nested.begin(), prefix.nested.end(), path.nested.begin());
}

// One kind of the server's answers (failures or server values), found for the records as the
// reconcile meets them. The server answers in the order the records were sent, so a cursor
// walking the answers alongside the records finds each without a search; answers in any other
// order are looked up by path instead.
template <class Entry>
class Answers {
  public:
    explicit Answers(const std::vector<Entry>& entries) : entries_(entries) {}

    // For the check: moves past the answers for path if they are next; true if there were any.
    bool pass(const RecordPath& path) {
        if (at_ >= entries_.size() || !(entries_[at_].path == path)) return false;
        while (at_ < entries_.size() && entries_[at_].path == path) ++at_;
        return true;
    }
    // After every record was passed once in the reconcile's order: whether each answer was met
    // in turn. If not, the answers are indexed by path from here on.
    void endCheck() {
        ordered_ = at_ == entries_.size();
        at_ = 0;
        if (ordered_) return;
        // Later entries for the same record win, as they did when the list was searched in order.
        index_.reserve(entries_.size());
        for (const Entry& e : entries_) index_[key(e.path)] = &e;
    }
    // The answer for the record at path, or null. Call for the records in the order of the
    // check, and call skip() for those not visited.
    const Entry* take(const RecordPath& path) {
        if (entries_.empty()) return nullptr;
        if (!ordered_) {
            auto it = index_.find(key(path));
            return it == index_.end() ? nullptr : it->second;
        }
        const Entry* found = nullptr;
        while (at_ < entries_.size() && entries_[at_].path == path) found = &entries_[at_++];
        return found;
    }
    // Passes the answers for the record at path and for every record nested in it.
    void skip(const RecordPath& path) {
        if (!ordered_) return;
        while (at_ < entries_.size() && within(entries_[at_].path, path)) ++at_;
    }

  private:
    static std::string key(const RecordPath& path) {
        // The ids' bytes themselves: a line's key (ten bytes) stays within the string's own storage.
        std::string k(reinterpret_cast<const char*>(&path.id), sizeof path.id);
        for (const RecordPath::Step& s : path.nested) {
            k.append(reinterpret_cast<const char*>(&s.field), sizeof s.field);
            k.append(reinterpret_cast<const char*>(&s.id), sizeof s.id);
        }
        return k;
    }

    const std::vector<Entry>& entries_;
    size_t at_ = 0;
    bool ordered_ = true;
    std::unordered_map<std::string, const Entry*> index_;
};

}  // namespace

class ChangeLog::Outcome {
  public:
    Outcome(const FailedRecordsPacket& result, const std::vector<ChangeRecord>& sent)
        : failed(result.failed), updated(result.updated) {
        if (result.failed.empty() && result.updated.empty()) return;
        RecordPath path;
        check(sent, path, true);
        failed.endCheck();
        updated.endCheck();
    }
    Answers<FailedRecord> failed;
    Answers<ServerValues> updated;
    // Passes the answers for the records of sent whose level reconcile does not visit.
    void skipAll(const std::vector<ChangeRecord>& sent, RecordPath& path) {
        for (const ChangeRecord& r : sent) {
            path.nested.back().id = r.id;
            failed.skip(path);
            updated.skip(path);
        }
    }

  private:
    // Passes every record of sent, nested ones after their own, as reconcile visits them.
    void check(const std::vector<ChangeRecord>& sent, RecordPath& path, bool topLevel) {
        for (const ChangeRecord& r : sent) {
            (topLevel ? path.id : path.nested.back().id) = r.id;
            failed.pass(path);
            updated.pass(path);
            for (const NestedChanges& n : r.nested) {
                path.nested.push_back({static_cast<uint16_t>(n.field), 0});
                check(n.records, path, false);
                path.nested.pop_back();
            }
        }
    }
};

void ChangeLog::reconcileLevel(RecordStore& store, const std::vector<ChangeRecord>& sent, RecordPath& path,
                               bool topLevel, Outcome& outcome, bool rolledBack) {
    for (const ChangeRecord& r : sent) {
        // path names this record while it is reconciled (no copy per record).
        (topLevel ? path.id : path.nested.back().id) = r.id;
        if (r.id >= store.idLimit()) {
            outcome.failed.skip(path);
            outcome.updated.skip(path);
            continue;
        }
        const FailedRecord* failure = outcome.failed.take(path);
        const ServerValues* values = outcome.updated.take(path);
        if (failure) {
            // A failed row keeps its nested changes: the server did not try them.
            store.setError(r.id, failure->message);
            outcome.failed.skip(path);
            outcome.updated.skip(path);
            continue;
        }
        store.clearError(r.id);
        if (!rolledBack) {
            store.merge(r.id);
            if (values) store.applyServerValues(r.id, values->values);
        }
        // After a rollback the nested records are visited only to note their errors.
        for (const NestedChanges& n : r.nested) {
            RecordStore* kid = store.existingChild(r.id, n.field);
            path.nested.push_back({static_cast<uint16_t>(n.field), 0});
            if (kid)
                reconcileLevel(*kid, n.records, path, false, outcome, rolledBack);
            else
                outcome.skipAll(n.records, path);
            path.nested.pop_back();
        }
    }
}

void ChangeLog::reconcile(RecordStore& store, const ChangePacket& sent, const FailedRecordsPacket& result,
                          bool rolledBack) {
    RecordPath path;
    // An apply of many thousand records must not search the answers per record.
    Outcome outcome(result, sent.records);
    reconcileLevel(store, sent.records, path, true, outcome, rolledBack);
    store.pruneLog();
}

}  // namespace velmora
