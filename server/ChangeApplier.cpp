#include "server/ChangeApplier.h"

#include <algorithm>
#include <climits>
#include <optional>

#include "data/Cell.h"
#include "server/ChangeAudit.h"
#include "server/ProviderDefs.h"
#include "server/Schema.h"
#include "transport/Errors.h"

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

size_t characters(std::string_view utf8) {
    size_t n = 0;
    for (char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// Refuses a text its column cannot hold, naming the field, before the database sees it: one
// database would cut or refuse it in its own words, the other would store it.
void checkFits(const FieldDef& field, const DbValue& value) {
    if (value.type != DbType::Text || value.textValue().size() <= kTextColumnChars) return;
    size_t n = characters(value.textValue());
    if (n > kTextColumnChars)
        throw VelmoraError(formatText("字段 %s 的内容太长（%zu 个字符，最多 %zu 个）", field.name.c_str(), n,
                                      kTextColumnChars));
}

bool isColumn(const FieldDef& f) {
    return f.type != FieldType::DataSet;
}

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
std::string originalCondition(const ProviderDef& def, const FieldDefs& fields,
                              const std::vector<Variant>& original, std::vector<DbValue>& params) {
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
std::string keyCondition(const ProviderDef& def, const FieldDefs& fields,
                         const std::vector<Variant>& original, std::vector<DbValue>& params) {
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

// The condition an update or delete finds its one row by. Among identical lines the generated key
// picks one; the original values stay a condition of the row itself as well, because a database
// that re-reads a row changed meanwhile by a concurrent writer (PostgreSQL under read committed)
// re-checks only the statement's own condition, not what a subquery chose before the wait.
std::string rowAsItWas(const ProviderDef& def, const FieldDefs& fields, const std::vector<Variant>& original,
                       std::vector<DbValue>& params) {
    std::string where = originalCondition(def, fields, original, params);
    if (def.generatedKey.empty()) return where;
    std::string key = quoted(def.generatedKey);
    std::string picked =
        key + " in (select " + key + " from " + quoted(def.table) + " where " + where + " limit 1)";
    return picked + " and " + originalCondition(def, fields, original, params);
}

bool rowExists(DbConnection& db, const std::string& table, const std::string& where,
               const std::vector<DbValue>& params) {
    if (where.empty()) return false;
    auto q = db.query("select 1 from " + quoted(table) + " where " + where + " limit 1", params);
    return q->next();
}

// A record failed and what it wrote could not be undone: the apply cannot go on, since it would
// commit part of a record it reports as failed.
class SavepointLost : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

// Runs fn inside a savepoint, so that a failure undoes exactly what it did.
template <typename Fn>
void inSavepoint(DbConnection& db, int& depth, Fn fn) {
    std::string name = "rec" + std::to_string(depth + 1);
    db.execute("savepoint " + name, {});
    ++depth;
    try {
        fn();
        db.execute("release " + name, {});
    } catch (...) {
        --depth;
        try {
            db.execute("rollback to " + name, {});
            db.execute("release " + name, {});
        } catch (const std::exception& e) {
            throw SavepointLost(std::string("a failed record could not be undone: ") + e.what());
        }
        throw;
    }
    --depth;
}

}  // namespace

class ChangeApplier::NewValues {
  public:
    NewValues(const Level& level, const ChangeRecord& record, std::vector<uint32_t>& offsets)
        : layout_(level.layout), row_(record.encodedValues), values_(record.values), offsets_(offsets) {
        if (!row_) return;
        offsets_.resize(layout_->fieldCount() + 1);
        layout_->offsets(row_, offsets_.data());
    }
    bool isSet(size_t f) const {
        if (row_) return f < layout_->fieldCount() && !RowLayout::isNull(row_, f);
        return !at(values_, f).isNull() && !at(values_, f).isEmpty();
    }
    Variant value(size_t f) const {
        if (!row_) return at(values_, f);
        return isSet(f) ? cellValue(*layout_, row_, offsets_.data(), f) : Variant::null();
    }
    // As toDb makes it, without copying a text out of the packet.
    DbValue db(size_t f) const {
        if (!row_) return toDb(at(values_, f));
        if (!isSet(f)) return DbValue::null();
        const uint8_t* p = row_ + offsets_[f];
        switch (layout_->type(f)) {
            case FieldType::String:
                return DbValue::ofKeptText(RowLayout::text(p));
            case FieldType::Integer:
                return DbValue::ofInteger(RowLayout::integer(p));
            case FieldType::Boolean:
                return DbValue::ofInteger(RowLayout::boolean(p) ? 1 : 0);
            case FieldType::Double:
            case FieldType::DateTime:
                return DbValue::ofFloat(RowLayout::real(p));
            case FieldType::DataSet:
                break;
        }
        return DbValue::null();
    }

  private:
    const RowLayout* layout_;
    const uint8_t* row_;
    const std::vector<Variant>& values_;
    std::vector<uint32_t>& offsets_;
};

FailedRecordsPacket ChangeApplier::apply(const ChangePacket& packet, int32_t maxErrors, int32_t& errorCount) {
    if (provider_.table.empty())
        throw VelmoraError(formatText("%s cannot apply changes", provider_.name.c_str()));
    maxErrors_ = maxErrors;
    result_ = FailedRecordsPacket();
    RowLayout layout(packet.fields);
    Level top{provider_, packet.fields, &layout};
    Transaction tx(db_);
    if (hooks_.beforeWrites) hooks_.beforeWrites(packet);
    for (const ChangeRecord& record : packet.records) {
        applyRecord(top, record, RecordPath{record.id, {}}, ParentOrder{});
        if (stopped()) break;
    }
    flush();
    if (stopped()) {
        tx.rollback();
        result_.rolledBack = true;
        result_.updated.clear();
    } else {
        if (auditing()) hooks_.recordChanges(audit_);
        tx.commit();
    }
    audit_.clear();
    errorCount = static_cast<int32_t>(result_.failed.size());
    return std::move(result_);
}

void ChangeApplier::fail(const RecordPath& path, const std::string& message) {
    result_.failed.push_back({path, 0, message});
}

ChangeRecord ChangeApplier::followRenumbering(const Level& level, const ChangeRecord& record,
                                              const ParentOrder& parent, const RecordPath& path) {
    ChangeRecord moved = record;
    int order = findField(level.fields, "xsdid");
    if (order < 0) return moved;
    auto index = static_cast<size_t>(order);
    if (index < moved.original.size() && moved.original[index] == *parent.original)
        moved.original[index] = *parent.current;
    if (index < moved.values.size() && moved.values[index] == *parent.original) {
        moved.values[index] = *parent.current;
        // The client still shows the old number on this line: it gets the one the server set.
        result_.updated.push_back({path, {{static_cast<uint16_t>(index), *parent.current}}});
    }
    return moved;
}

void ChangeApplier::applyRecord(const Level& level, const ChangeRecord& record, const RecordPath& path,
                                const ParentOrder& parent, uint64_t header) {
    if (record.kind == ChangeKind::Insert) {
        if (failedInsert(header)) return;  // its order failed: not tried
        uint64_t number = insert(level, record, path, parent.current, header);
        applyNested(level, record, path, number);
        return;
    }
    flush();
    if (failedInsert(header)) return;
    if (record.kind == ChangeKind::Unmodified) {
        // Nothing to write; a line that still shows the order's old number learns the new one.
        if (parent.original && parent.current && *parent.original != *parent.current)
            followRenumbering(level, record, parent, path);
        applyNested(level, record, path, 0);
        return;
    }
    bool renumbered = parent.original && parent.current && *parent.original != *parent.current;
    size_t decidedBefore = result_.updated.size();
    size_t auditedBefore = audit_.size();
    std::optional<ChangeRecord> moved;
    if (renumbered) moved = followRenumbering(level, record, parent, path);
    const ChangeRecord& r = moved ? *moved : record;
    auto run = [&] {
        if (r.kind == ChangeKind::Modify) modify(level, r);
        if (r.kind == ChangeKind::Delete) remove(level, r);
    };
    // A record written by one statement needs no savepoint where a failed statement undoes
    // itself; one that takes several (an order and its lines) always gets one.
    bool severalStatements = level.def.nestsOrderLines;
    try {
        if (severalStatements || db_.failedStatementSpoilsTransaction())
            inSavepoint(db_, savepoints_, run);
        else
            run();
    } catch (const SavepointLost&) {
        throw;  // the whole apply is rolled back
    } catch (const std::exception& e) {
        // A record that failed keeps the values the client gave it, and was not written.
        result_.updated.resize(decidedBefore);
        audit_.resize(auditedBefore);
        fail(path, e.what());
        return;
    }
    if (record.kind == ChangeKind::Modify) applyNested(level, record, path, 0);
}

void ChangeApplier::applyNested(const Level& level, const ChangeRecord& record, const RecordPath& path,
                                uint64_t number) {
    for (const NestedChanges& nested : record.nested) {
        if (nested.field >= level.fields.size() || !level.def.nestsOrderLines) {
            flush();
            fail(path, "Nested changes for a field that holds no rows");
            continue;
        }
        // The lines belong to this order: they carry its number as it now stands.
        int order = findField(level.fields, "xsdid");
        const std::vector<Variant>& current = record.values.empty() ? record.original : record.values;
        const std::vector<Variant>& fetched = record.original.empty() ? current : record.original;
        ParentOrder parent;
        Variant inserted;  // the number of a new order whose values are still encoded
        if (order >= 0 && record.encodedValues) {
            inserted = NewValues(level, record, offsets_).value(static_cast<size_t>(order));
            parent.current = parent.original = &inserted;
        } else if (order >= 0) {
            parent.current = &at(current, static_cast<size_t>(order));
            parent.original = &at(fetched, static_cast<size_t>(order));
        }
        Level lines{orderLinesDef(), level.fields[nested.field].nested,
                    level.layout ? level.layout->nested(nested.field).get() : nullptr};
        RecordPath linePath = path;
        linePath.nested.push_back({static_cast<uint16_t>(nested.field), 0});
        for (const ChangeRecord& line : nested.records) {
            linePath.nested.back().id = line.id;
            applyRecord(lines, line, linePath, parent, number);
            if (stopped()) return;
        }
    }
}

bool ChangeApplier::failedInsert(uint64_t number) const {
    return number != 0 && std::binary_search(failedInserts_.begin(), failedInserts_.end(), number);
}

void ChangeApplier::flush() {
    size_t from = 0;
    while (from < queued_.size() && !stopped()) {
        GuardedOutcome outcome = db_.runGuarded(std::span(queued_).subspan(from));
        for (size_t i = 0; i < outcome.done; ++i) {
            Pending& p = pending_[from + i];
            int64_t key = outcome.keys[i];
            // A number past the field's 32 bits is not sent rather than sent cut short; the row
            // is then found by its other values, as before it had a number.
            if (p.generated >= 0 && key >= INT32_MIN && key <= INT32_MAX)
                p.decided.values.emplace_back(static_cast<uint16_t>(p.generated),
                                              Variant(static_cast<int32_t>(key)));
            if (!p.decided.values.empty()) result_.updated.push_back(std::move(p.decided));
            if (p.audit) {
                if (p.generated >= 0) {
                    // The key the database gave: the record's key, and its last field.
                    p.audit->key = std::to_string(key);
                    p.audit->changes.insert(
                        p.audit->changes.size() - 1,
                        "," + auditJson(DbValue::ofText(*p.generatedName)) + ":" + p.audit->key);
                }
                audit_.push_back(std::move(*p.audit));
            }
        }
        from += outcome.done;
        if (from == queued_.size()) break;
        const Pending& failed = pending_[from];
        fail(failed.decided.path, outcome.error);
        failedInserts_.push_back(failed.number);
        // The lines of a failed order wait behind it: they are dropped, not tried.
        size_t kept = ++from;
        for (size_t i = from; i < queued_.size(); ++i) {
            if (failedInsert(pending_[i].header)) continue;
            if (kept != i) {
                queued_[kept] = std::move(queued_[i]);
                pending_[kept] = std::move(pending_[i]);
            }
            ++kept;
        }
        queued_.resize(kept);
        pending_.resize(kept);
    }
    queued_.clear();
    pending_.clear();
}

const ChangeApplier::InsertPlan& ChangeApplier::insertPlan(const Level& level, bool numbered) {
    // One plan per field list and key choice: the statement text is built once per apply.
    auto key = std::make_pair(&level.fields, numbered);
    auto found = plans_.find(key);
    if (found != plans_.end()) return found->second;
    InsertPlan plan;
    plan.numbered = numbered;
    std::string columns, marks;
    for (size_t i = 0; i < level.fields.size(); ++i) {
        const FieldDef& f = level.fields[i];
        if (!isColumn(f)) continue;
        if (isGenerated(level.def, f)) {
            plan.generated = static_cast<int>(i);
            if (!numbered) continue;  // the database numbers the row
        }
        if (!columns.empty()) columns += ", ", marks += ", ";
        columns += quoted(f.name);
        marks += "?";
        plan.fields.push_back(i);
        if (sameName(f.name, "xsdid")) plan.orderField = static_cast<int>(plan.fields.size()) - 1;
    }
    std::string table = quoted(level.def.table);
    plan.sql = columns.empty() ? "insert into " + table + " default values"
                               : "insert into " + table + " (" + columns + ") values (" + marks + ")";
    return plans_.emplace(key, std::move(plan)).first->second;
}

uint64_t ChangeApplier::insert(const Level& level, const ChangeRecord& record, const RecordPath& path,
                               const Variant* parentOrder, uint64_t header) {
    // A row whose generated key the client already knows is inserted with it.
    NewValues values(level, record, offsets_);
    const InsertPlan* plan = &insertPlan(level, false);
    if (plan->generated >= 0 && values.isSet(static_cast<size_t>(plan->generated)))
        plan = &insertPlan(level, true);
    bool numbered = plan->numbered;
    GuardedStatement& statement = queued_.emplace_back();
    statement.sql = &plan->sql;
    statement.params.reserve(plan->fields.size());
    // Every value the server decides goes back with the result, so that the client's row shows
    // what was stored.
    Pending& pending = pending_.emplace_back();
    pending.decided.path = path;
    pending.number = ++inserts_;
    pending.header = header;
    for (size_t p = 0; p < plan->fields.size(); ++p) {
        size_t field = plan->fields[p];
        if (parentOrder && static_cast<int>(p) == plan->orderField) {
            if (values.value(field) != *parentOrder)
                pending.decided.values.emplace_back(static_cast<uint16_t>(field), *parentOrder);
            statement.params.push_back(toDb(*parentOrder));
        } else if (std::optional<DbValue> stamp = stamped(level, level.fields[field])) {
            Variant shown = stamp->type == DbType::Text      ? Variant(stamp->text)
                            : stamp->type == DbType::Integer ? Variant(stamp->integer != 0)
                                                             : Variant::null();
            if (values.value(field) != shown)
                pending.decided.values.emplace_back(static_cast<uint16_t>(field), shown);
            statement.params.push_back(std::move(*stamp));
        } else {
            statement.params.push_back(values.db(field));
        }
    }
    if (plan->generated >= 0 && !numbered) {
        // The number the database gave the row lets the client find this very row again (two
        // identical lines of one order are two rows).
        statement.keyColumn = &level.def.generatedKey;
        pending.generated = plan->generated;
    }
    uint64_t number = pending.number;
    if (auditing()) {
        // The key the database gives is added once it is known (see flush).
        pending.audit =
            wholeRowEntry("insert", AuditedRow{level.def, level.fields, plan->fields, statement.params});
        pending.generatedName = &level.def.generatedKey;
    }
    try {
        for (size_t p = 0; p < plan->fields.size(); ++p)
            checkFits(level.fields[plan->fields[p]], statement.params[p]);
    } catch (const VelmoraError& e) {
        // Not sent: the record fails here, and the lines of an order that failed are not tried.
        queued_.pop_back();
        pending_.pop_back();
        flush();
        fail(path, e.what());
        failedInserts_.push_back(number);
        return number;
    }
    if (queued_.size() >= kRunLength) flush();
    return number;
}

std::optional<DbValue> ChangeApplier::stamped(const Level& level, const FieldDef& field) const {
    if (hooks_.maker.empty() || level.def.table != "xsdtb") return std::nullopt;
    if (sameName(field.name, "username")) return DbValue::ofText(hooks_.maker);
    if (sameName(field.name, "shrname")) return DbValue::null();
    if (sameName(field.name, "ischeck")) return DbValue::ofInteger(0);
    return std::nullopt;
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
        checkFits(f, params.back());
    }
    if (set.empty()) return;
    std::string sql = "update " + quoted(level.def.table) + " set " + set + " where " +
                      rowAsItWas(level.def, level.fields, record.original, params);
    if (db_.execute(sql, params) == 0) throw VelmoraError(kChangedByAnotherUser);
    if (orderField >= 0) {
        // A renumbered order takes its lines along.
        db_.execute("update xsdzb set xsdid = ? where xsdid = ?",
                    {toDb(at(record.values, static_cast<size_t>(orderField))),
                     toDb(at(record.original, static_cast<size_t>(orderField)))});
    }
    if (!auditing()) return;
    std::vector<DbValue> before, after;
    for (size_t i = 0; i < level.fields.size(); ++i) {
        const bool column = isColumn(level.fields[i]);
        before.push_back(column ? toDb(at(record.original, i)) : DbValue::null());
        after.push_back(column ? toDb(at(record.values, i)) : DbValue::null());
    }
    audit_.push_back(changedFieldsEntry(level.def, level.fields, before, after));
    if (orderField >= 0) {
        auto index = static_cast<size_t>(orderField);
        audit_.push_back({"modify", "xsdzb", "", before[index].text,
                          "{\"xsdid\":[" + auditJson(before[index]) + "," + auditJson(after[index]) + "]}"});
    }
}

void ChangeApplier::remove(const Level& level, const ChangeRecord& record) {
    std::vector<DbValue> params;
    std::string sql = "delete from " + quoted(level.def.table) + " where " +
                      rowAsItWas(level.def, level.fields, record.original, params);
    if (db_.execute(sql, params) == 0) {
        std::vector<DbValue> keyParams;
        std::string byKey = keyCondition(level.def, level.fields, record.original, keyParams);
        // Gone already: what the delete wanted holds. Still there but changed: refuse.
        if (rowExists(db_, level.def.table, byKey, keyParams)) throw VelmoraError(kChangedByAnotherUser);
        if (byKey.empty()) return;
    } else if (auditing()) {
        AuditedRow row{level.def, level.fields, {}, {}};
        for (size_t i = 0; i < level.fields.size(); ++i) {
            if (!isColumn(level.fields[i])) continue;
            row.columns.push_back(i);
            row.values.push_back(toDb(at(record.original, i)));
        }
        audit_.push_back(wholeRowEntry("delete", row));
    }
    if (level.def.nestsOrderLines) {
        int order = findField(level.fields, "xsdid");
        if (order < 0) return;
        DbValue number = toDb(at(record.original, static_cast<size_t>(order)));
        if (auditing())
            for (AuditEntry& line : deletedLinesEntries(db_, std::string(number.textValue())))
                audit_.push_back(std::move(line));
        db_.execute("delete from xsdzb where xsdid = ?", {number});
    }
}

}  // namespace velmora::server
