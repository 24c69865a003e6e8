#include "data/ChangeLog.h"

#include "data/Cell.h"

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
        if (r.kind == ChangeKind::Insert || r.kind == ChangeKind::Modify)
            r.values = rowValues(layout, store.row(id));
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

std::string ChangeLog::pathKey(const RecordPath& path) {
    std::string key = std::to_string(path.id);
    for (const RecordPath::Step& s : path.nested)
        key += "/" + std::to_string(s.field) + ":" + std::to_string(s.id);
    return key;
}

ChangeLog::Outcome::Outcome(const FailedRecordsPacket& result) {
    // Later entries for the same record win, as they did when the lists were searched in order.
    for (const FailedRecord& f : result.failed) failed[pathKey(f.path)] = &f;
    for (const ServerValues& u : result.updated) updated[pathKey(u.path)] = &u;
}

void ChangeLog::reconcileLevel(RecordStore& store, const std::vector<ChangeRecord>& sent, RecordPath& path,
                               bool topLevel, const Outcome& outcome, bool rolledBack) {
    for (const ChangeRecord& r : sent) {
        if (r.id >= store.idLimit()) continue;
        RecordPath here = pathWith(path, topLevel, r.id);
        auto failed = outcome.failed.find(pathKey(here));
        const FailedRecord* failure = failed == outcome.failed.end() ? nullptr : failed->second;
        if (failure) {
            // A failed row keeps its nested changes: the server did not try them.
            store.setError(r.id, failure->message);
            continue;
        }
        store.clearError(r.id);
        if (!rolledBack) {
            store.merge(r.id);
            auto updated = outcome.updated.find(pathKey(here));
            if (updated != outcome.updated.end()) store.applyServerValues(r.id, updated->second->values);
        }
        // After a rollback the nested records are visited only to note their errors.
        for (const NestedChanges& n : r.nested) {
            RecordStore* kid = store.existingChild(r.id, n.field);
            if (!kid) continue;
            here.nested.push_back({static_cast<uint16_t>(n.field), 0});
            reconcileLevel(*kid, n.records, here, false, outcome, rolledBack);
            here.nested.pop_back();
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
