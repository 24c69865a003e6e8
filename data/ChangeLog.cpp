#include "data/ChangeLog.h"

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
        out.append(row, layout.rowSize(row));
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
    for (uint32_t id : store.loggedRows()) {
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

std::string ChangeLog::pathKey(const RecordPath& path) {
    // The ids' bytes themselves: a line's key (ten bytes) stays within the string's own storage.
    std::string key(reinterpret_cast<const char*>(&path.id), sizeof path.id);
    for (const RecordPath::Step& s : path.nested) {
        key.append(reinterpret_cast<const char*>(&s.field), sizeof s.field);
        key.append(reinterpret_cast<const char*>(&s.id), sizeof s.id);
    }
    return key;
}

ChangeLog::Outcome::Outcome(const FailedRecordsPacket& result) {
    // Later entries for the same record win, as they did when the lists were searched in order.
    failed.reserve(result.failed.size());
    updated.reserve(result.updated.size());
    for (const FailedRecord& f : result.failed) failed[pathKey(f.path)] = &f;
    for (const ServerValues& u : result.updated) updated[pathKey(u.path)] = &u;
}

void ChangeLog::reconcileLevel(RecordStore& store, const std::vector<ChangeRecord>& sent, RecordPath& path,
                               bool topLevel, const Outcome& outcome, bool rolledBack) {
    for (const ChangeRecord& r : sent) {
        if (r.id >= store.idLimit()) continue;
        // path names this record while it is reconciled (no copy per record).
        (topLevel ? path.id : path.nested.back().id) = r.id;
        const RecordPath& here = path;
        std::string key = outcome.failed.empty() && outcome.updated.empty() ? std::string() : pathKey(here);
        auto failed = outcome.failed.empty() ? outcome.failed.end() : outcome.failed.find(key);
        const FailedRecord* failure = failed == outcome.failed.end() ? nullptr : failed->second;
        if (failure) {
            // A failed row keeps its nested changes: the server did not try them.
            store.setError(r.id, failure->message);
            continue;
        }
        store.clearError(r.id);
        if (!rolledBack) {
            store.merge(r.id);
            auto updated = outcome.updated.empty() ? outcome.updated.end() : outcome.updated.find(key);
            if (updated != outcome.updated.end()) store.applyServerValues(r.id, updated->second->values);
        }
        // After a rollback the nested records are visited only to note their errors.
        for (const NestedChanges& n : r.nested) {
            RecordStore* kid = store.existingChild(r.id, n.field);
            if (!kid) continue;
            path.nested.push_back({static_cast<uint16_t>(n.field), 0});
            reconcileLevel(*kid, n.records, path, false, outcome, rolledBack);
            path.nested.pop_back();
        }
    }
}

void ChangeLog::reconcile(RecordStore& store, const ChangePacket& sent, const FailedRecordsPacket& result,
                          bool rolledBack) {
    RecordPath path;
    // Looked up by path: an apply of many thousand records must not search the lists per record.
    Outcome outcome(result);
    reconcileLevel(store, sent.records, path, true, outcome, rolledBack);
    store.pruneLog();
}

}  // namespace velmora
