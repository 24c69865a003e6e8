#include "server/ChangeAudit.h"

namespace velmora::server {

namespace {

std::string plainText(const DbValue& v) {
    switch (v.type) {
        case DbType::Null:
            return "";
        case DbType::Integer:
            return std::to_string(v.integer);
        case DbType::Float:
            return auditJson(v);
        case DbType::Text:
            return std::string(v.textValue());
    }
    return "";
}

bool isKeyColumn(const ProviderDef& def, const FieldDef& f) {
    for (const std::string& k : def.key)
        if (sameName(k, f.name)) return true;
    return false;
}

// "name": with the name as the schema has it, plain ASCII.
void appendName(std::string& out, const std::string& name) {
    out += '"';
    out += name;
    out += "\":";
}

bool sameValue(const DbValue& a, const DbValue& b) {
    if (a.type != b.type) return false;
    switch (a.type) {
        case DbType::Null:
            return true;
        case DbType::Integer:
            return a.integer == b.integer;
        case DbType::Float:
            return a.real == b.real;
        case DbType::Text:
            return a.textValue() == b.textValue();
    }
    return false;
}

// Key and parent of a record from (field, value) pairs.
template <typename ValueOf>
void identify(AuditEntry& e, const ProviderDef& def, const FieldDefs& fields, size_t count, ValueOf valueAt) {
    e.table = def.table;
    for (size_t i = 0; i < count; ++i) {
        auto [field, value] = valueAt(i);
        if (isKeyColumn(def, fields[field])) e.key += (e.key.empty() ? "" : "/") + plainText(*value);
        if (def.table == "xsdzb" && sameName(fields[field].name, "xsdid")) e.parent = plainText(*value);
    }
}

}  // namespace

AuditEntry wholeRowEntry(const char* action, const AuditedRow& row) {
    AuditEntry e;
    e.action = action;
    identify(e, row.def, row.fields, row.columns.size(),
             [&](size_t i) { return std::make_pair(row.columns[i], &row.values[i]); });
    e.changes.reserve(32 * row.columns.size());
    e.changes = "{";
    for (size_t i = 0; i < row.columns.size(); ++i) {
        if (i) e.changes += ',';
        appendName(e.changes, row.fields[row.columns[i]].name);
        appendJson(e.changes, row.values[i]);
    }
    e.changes += '}';
    return e;
}

AuditEntry changedFieldsEntry(const ProviderDef& def, const FieldDefs& fields,
                              const std::vector<DbValue>& original, const std::vector<DbValue>& current) {
    AuditEntry e;
    e.action = "modify";
    // The record is named as it now is; a new number shows among the changes.
    identify(e, def, fields, current.size(), [&](size_t i) { return std::make_pair(i, &current[i]); });
    e.changes = "{";
    for (size_t i = 0; i < original.size() && i < current.size(); ++i) {
        if (fields[i].type == FieldType::DataSet || sameValue(original[i], current[i])) continue;
        if (e.changes.size() > 1) e.changes += ',';
        appendName(e.changes, fields[i].name);
        e.changes += '[';
        appendJson(e.changes, original[i]);
        e.changes += ',';
        appendJson(e.changes, current[i]);
        e.changes += ']';
    }
    e.changes += '}';
    return e;
}

std::vector<AuditEntry> deletedLinesEntries(DbConnection& db, const std::string& orderNumber) {
    std::vector<AuditEntry> entries;
    auto q = db.query("select * from xsdzb where xsdid = ? order by lineid", {DbValue::ofText(orderNumber)});
    while (q->next()) {
        AuditEntry e{"delete", "xsdzb", "", orderNumber, "{"};
        for (size_t c = 0; c < q->columnCount(); ++c) {
            DbValue v;
            switch (q->type(c)) {
                case DbType::Null:
                    break;
                case DbType::Integer:
                    v = DbValue::ofInteger(q->integer(c));
                    break;
                case DbType::Float:
                    v = DbValue::ofFloat(q->real(c));
                    break;
                case DbType::Text:
                    v = DbValue::ofText(std::string(q->text(c)));
                    break;
            }
            const std::string name = q->columnName(c);
            if (sameName(name, "lineid")) e.key = plainText(v);
            if (c) e.changes += ',';
            appendName(e.changes, name);
            appendJson(e.changes, v);
        }
        e.changes += '}';
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace velmora::server
