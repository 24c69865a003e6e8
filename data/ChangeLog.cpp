#include "ChangeLog.h"

#include "Cell.h"

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

// The path of the record with id at the innermost level of path (the top level when topLevel).
RecordPath pathWith(const RecordPath& path, bool topLevel, uint32_t id) {
    RecordPath p = path;
    if (topLevel)
        p.id = id;
    else
        p.nested.back().id = id;
    return p;
}

}  // namespace

std::vector<ChangeRecord> ChangeLog::records(RecordStore& store) {
    const RowLayout& layout = store.layout();
    std::vector<ChangeRecord> out;
    for (uint32_t id : store.loggedRows()) {
        RowStatus status = store.status(id);
        if (status == RowStatus::Discarded || status == RowStatus::Pending) continue;
        ChangeRecord r;
        r.kind = kindOf(status);
        r.id = id;
        if (r.kind != ChangeKind::Delete) {
            for (size_t f = 0; f < layout.fieldCount(); ++f) {
                if (layout.type(f) != FieldType::DataSet) continue;
                RecordStore* kid = store.existingChild(id, f);
                if (!kid || kid->changeCount() == 0) continue;
                r.nested.push_back({static_cast<uint32_t>(f), records(*kid)});
            }
        }
        if (r.kind == ChangeKind::Unmodified && r.nested.empty()) continue;
        if (r.kind != ChangeKind::Insert) r.original = rowValues(layout, store.original(id));
        if (r.kind == ChangeKind::Insert || r.kind == ChangeKind::Modify) r.values = rowValues(layout, store.row(id));
        out.push_back(std::move(r));
    }
    return out;
}

ChangePacket ChangeLog::build(RecordStore& store) {
    ChangePacket packet;
    packet.fields = store.layout().fields();
    packet.records = records(store);
    return packet;
}

void ChangeLog::reconcileLevel(RecordStore& store, const std::vector<ChangeRecord>& sent, RecordPath& path,
                               bool topLevel, const FailedRecordsPacket& result, bool rolledBack) {
    for (const ChangeRecord& r : sent) {
        if (r.id >= store.idLimit()) continue;
        RecordPath here = pathWith(path, topLevel, r.id);
        const FailedRecord* failure = nullptr;
        for (const FailedRecord& f : result.failed)
            if (f.path == here) failure = &f;
        if (failure) {
            // A failed row keeps its nested changes: the server did not try them.
            store.setError(r.id, failure->message);
            continue;
        }
        store.clearError(r.id);
        if (!rolledBack) {
            store.merge(r.id);
            for (const ServerValues& u : result.updated)
                if (u.path == here) store.applyServerValues(r.id, u.values);
        }
        // After a rollback the nested records are visited only to note their errors.
        for (const NestedChanges& n : r.nested) {
            RecordStore* kid = store.existingChild(r.id, n.field);
            if (!kid) continue;
            here.nested.push_back({static_cast<uint16_t>(n.field), 0});
            reconcileLevel(*kid, n.records, here, false, result, rolledBack);
            here.nested.pop_back();
        }
    }
}

void ChangeLog::reconcile(RecordStore& store, const ChangePacket& sent, const FailedRecordsPacket& result,
                          bool rolledBack) {
    RecordPath path;
    reconcileLevel(store, sent.records, path, true, result, rolledBack);
    store.pruneLog();
}

}  // namespace velmora
