#include "ChangeApplier.h"

#include "Errors.h"
#include "ProviderDefs.h"

namespace velmora::server {

namespace {

std::string quoted(const std::string& identifier) {
    std::string out = "\"";
    for (char c : identifier) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

DbValue toDb(const Variant& v) {
    if (v.isArray()) throw VelmoraError("An array cannot be stored in a column");
    switch (v.type()) {
        case VarType::Empty:
        case VarType::Null:
            return DbValue::null();
        case VarType::String:
            return DbValue::ofText(v.stringValue());
        case VarType::Boolean:
            return DbValue::ofInteger(v.boolValue() ? 1 : 0);
        case VarType::SmallInt:
        case VarType::Integer:
        case VarType::Byte:
            return DbValue::ofInteger(v.toInt());
        default:
            return DbValue::ofFloat(v.toDouble());
    }
}

// A stored value as the client's field holds it.
Variant fromDb(const DbQuery& q, size_t c, FieldType type) {
    switch (q.type(c)) {
        case DbType::Null:
            return Variant::null();
        case DbType::Integer:
            if (type == FieldType::Boolean) return Variant(q.integer(c) != 0);
            if (type == FieldType::Double) return Variant(static_cast<double>(q.integer(c)));
            if (type == FieldType::String) return Variant(std::to_string(q.integer(c)));
            return Variant(static_cast<int32_t>(q.integer(c)));
        case DbType::Float:
            if (type == FieldType::String) return Variant(formatDouble15(q.real(c)));
            if (type == FieldType::Integer) return Variant(static_cast<int32_t>(q.real(c)));
            return Variant(q.real(c));
        case DbType::Text:
            return Variant(std::string(q.text(c)));
    }
    return Variant::null();
}

bool isColumn(const FieldDef& f) { return f.type != FieldType::DataSet; }

bool isKey(const ProviderDef& def, const FieldDef& f) {
    for (const std::string& k : def.key)
        if (sameName(k, f.name)) return true;
    return false;
}

bool isGenerated(const ProviderDef& def, const FieldDef& f) {
    return !def.generatedKey.empty() && sameName(def.generatedKey, f.name);
}

const Variant& at(const std::vector<Variant>& values, size_t i) {
    static const Variant kNull = Variant::null();
    return i < values.size() ? values[i] : kNull;
}

// The condition that finds a row as it was: its key, where the key is known, and every original
// value unchanged (IS compares nulls too).
std::string originalCondition(const ProviderDef& def, const FieldDefs& fields, const std::vector<Variant>& original,
                              std::vector<DbValue>& params) {
    std::string where;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!isColumn(fields[i])) continue;
        if (isGenerated(def, fields[i]) && (at(original, i).isNull() || at(original, i).isEmpty())) continue;
        if (!where.empty()) where += " and ";
        where += quoted(fields[i].name) + " is ?";
        params.push_back(toDb(at(original, i)));
    }
    return where.empty() ? "1=1" : where;
}

// The condition that finds the row by its key alone; empty when the key is not known.
std::string keyCondition(const ProviderDef& def, const FieldDefs& fields, const std::vector<Variant>& original,
                         std::vector<DbValue>& params) {
    std::string where;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!isColumn(fields[i]) || !isKey(def, fields[i])) continue;
        const Variant& v = at(original, i);
        if (v.isNull() || v.isEmpty()) return "";
        if (!where.empty()) where += " and ";
        where += quoted(fields[i].name) + " = ?";
        params.push_back(toDb(v));
    }
    return where;
}

bool rowExists(DbConnection& db, const std::string& table, const std::string& where,
               const std::vector<DbValue>& params) {
    if (where.empty()) return false;
    auto q = db.query("select 1 from " + quoted(table) + " where " + where + " limit 1", params);
    return q->next();
}

// Runs fn inside a savepoint, so that a failure undoes exactly what it did.
template <typename Fn>
void inSavepoint(DbConnection& db, int& depth, Fn fn) {
    std::string name = "rec" + std::to_string(++depth);
    db.execute("savepoint " + name, {});
    try {
        fn();
        db.execute("release " + name, {});
    } catch (...) {
        --depth;
        db.execute("rollback to " + name, {});
        db.execute("release " + name, {});
        throw;
    }
    --depth;
}

}  // namespace

FailedRecordsPacket ChangeApplier::apply(const ChangePacket& packet, int32_t maxErrors, int32_t& errorCount) {
    if (provider_.table.empty())
        throw VelmoraError(formatText("%s cannot apply changes", provider_.name.c_str()));
    maxErrors_ = maxErrors;
    result_ = FailedRecordsPacket();
    Level top{provider_, packet.fields};
    Transaction tx(db_);
    for (const ChangeRecord& record : packet.records) {
        applyRecord(top, record, RecordPath{record.id, {}}, nullptr);
        if (stopped()) break;
    }
    if (stopped()) {
        tx.rollback();
        result_.rolledBack = true;
        result_.updated.clear();
    } else {
        tx.commit();
    }
    errorCount = static_cast<int32_t>(result_.failed.size());
    return std::move(result_);
}

void ChangeApplier::fail(const RecordPath& path, const std::string& message) {
    result_.failed.push_back({path, 0, message});
}

bool ChangeApplier::applyRecord(const Level& level, const ChangeRecord& record, const RecordPath& path,
                                const Variant* parentOrder) {
    try {
        inSavepoint(db_, savepoints_, [&] {
            switch (record.kind) {
                case ChangeKind::Insert:
                    insert(level, record, path, parentOrder);
                    break;
                case ChangeKind::Modify:
                    modify(level, record);
                    break;
                case ChangeKind::Delete:
                    remove(level, record);
                    break;
                case ChangeKind::Unmodified:
                    break;
            }
        });
    } catch (const std::exception& e) {
        fail(path, e.what());
        return false;
    }
    if (record.kind != ChangeKind::Delete) applyNested(level, record, path);
    return true;
}

void ChangeApplier::applyNested(const Level& level, const ChangeRecord& record, const RecordPath& path) {
    for (const NestedChanges& nested : record.nested) {
        if (nested.field >= level.fields.size() || !level.def.nestsOrderLines) {
            fail(path, "Nested changes for a field that holds no rows");
            continue;
        }
        // The lines belong to this order: they carry its number as it now stands.
        int order = findField(level.fields, "xsdid");
        const std::vector<Variant>& current = record.values.empty() ? record.original : record.values;
        const Variant* orderNumber = order >= 0 ? &at(current, static_cast<size_t>(order)) : nullptr;
        Level lines{orderLinesDef(), level.fields[nested.field].nested};
        for (const ChangeRecord& line : nested.records) {
            RecordPath linePath = path;
            linePath.nested.push_back({static_cast<uint16_t>(nested.field), line.id});
            applyRecord(lines, line, linePath, orderNumber);
            if (stopped()) return;
        }
    }
}

void ChangeApplier::insert(const Level& level, const ChangeRecord& record, const RecordPath& path,
                           const Variant* parentOrder) {
    std::string columns, marks;
    std::vector<DbValue> params;
    std::vector<Variant> sent(level.fields.size(), Variant::null());
    for (size_t i = 0; i < level.fields.size(); ++i) {
        const FieldDef& f = level.fields[i];
        if (!isColumn(f)) continue;
        Variant value = at(record.values, i);
        if (parentOrder && sameName(f.name, "xsdid")) value = *parentOrder;
        // A column left empty takes the table's default (an order is not audited, say).
        if (value.isNull() || value.isEmpty()) continue;
        if (!columns.empty()) columns += ", ", marks += ", ";
        columns += quoted(f.name);
        marks += "?";
        params.push_back(toDb(value));
        sent[i] = value;
    }
    std::string table = quoted(level.def.table);
    std::string sql = columns.empty() ? "insert into " + table + " default values"
                                      : "insert into " + table + " (" + columns + ") values (" + marks + ")";
    // What the database filled in (a line id, a default) goes back to the client with the result,
    // so that its copy of the row matches the stored one.
    auto q = db_.query(sql + " returning *", params);
    if (!q->next()) return;
    ServerValues assigned{path, {}};
    for (size_t c = 0; c < q->columnCount(); ++c) {
        int field = findField(level.fields, q->columnName(c));
        if (field < 0) continue;
        Variant stored = fromDb(*q, c, level.fields[static_cast<size_t>(field)].type);
        if (!(stored == sent[static_cast<size_t>(field)]))
            assigned.values.emplace_back(static_cast<uint16_t>(field), std::move(stored));
    }
    while (q->next()) {
    }
    if (!assigned.values.empty()) result_.updated.push_back(std::move(assigned));
}

void ChangeApplier::modify(const Level& level, const ChangeRecord& record) {
    std::string set;
    std::vector<DbValue> params;
    int orderField = -1;
    for (size_t i = 0; i < level.fields.size(); ++i) {
        const FieldDef& f = level.fields[i];
        if (!isColumn(f) || isGenerated(level.def, f)) continue;
        const Variant& value = at(record.values, i);
        if (value == at(record.original, i)) continue;
        if (level.def.nestsOrderLines && sameName(f.name, "xsdid")) orderField = static_cast<int>(i);
        if (!set.empty()) set += ", ";
        set += quoted(f.name) + " = ?";
        params.push_back(toDb(value));
    }
    if (set.empty()) return;
    std::string where = originalCondition(level.def, level.fields, record.original, params);
    std::string table = quoted(level.def.table);
    std::string sql = "update " + table + " set " + set + " where " + where;
    if (!level.def.generatedKey.empty())  // find exactly one row even among identical lines
        sql = "update " + table + " set " + set + " where " + quoted(level.def.generatedKey) + " in (select " +
              quoted(level.def.generatedKey) + " from " + table + " where " + where + " limit 1)";
    if (db_.execute(sql, params) == 0) throw VelmoraError(kChangedByAnotherUser);
    if (orderField >= 0) {
        // A renumbered order takes its lines along.
        db_.execute("update xsdzb set xsdid = ? where xsdid = ?",
                    {toDb(at(record.values, static_cast<size_t>(orderField))),
                     toDb(at(record.original, static_cast<size_t>(orderField)))});
    }
}

void ChangeApplier::remove(const Level& level, const ChangeRecord& record) {
    std::vector<DbValue> params;
    std::string where = originalCondition(level.def, level.fields, record.original, params);
    std::string table = quoted(level.def.table);
    std::string sql = "delete from " + table + " where " + where;
    if (!level.def.generatedKey.empty())
        sql = "delete from " + table + " where " + quoted(level.def.generatedKey) + " in (select " +
              quoted(level.def.generatedKey) + " from " + table + " where " + where + " limit 1)";
    if (db_.execute(sql, params) == 0) {
        std::vector<DbValue> keyParams;
        std::string byKey = keyCondition(level.def, level.fields, record.original, keyParams);
        // Gone already: what the delete wanted holds. Still there but changed: refuse.
        if (rowExists(db_, level.def.table, byKey, keyParams)) throw VelmoraError(kChangedByAnotherUser);
        if (byKey.empty()) return;
    }
    if (level.def.nestsOrderLines) {
        int order = findField(level.fields, "xsdid");
        if (order >= 0)
            db_.execute("delete from xsdzb where xsdid = ?", {toDb(at(record.original, static_cast<size_t>(order)))});
    }
}

}  // namespace velmora::server
