#include "server/BackupTables.h"

#include <algorithm>
#include <cstring>

#include "transport/Errors.h"

namespace velmora::server {

namespace {

constexpr ColumnKind T = ColumnKind::Text;
constexpr ColumnKind I = ColumnKind::Integer;
constexpr ColumnKind R = ColumnKind::Real;
constexpr ColumnKind B = ColumnKind::Boolean;

// Rows fetched from PostgreSQL at a time, so that a large table never sits in memory whole.
constexpr int kFetchRows = 5000;

std::string columnList(const std::vector<BackupColumn>& columns) {
    std::string out;
    for (const BackupColumn& c : columns) {
        if (!out.empty()) out += ", ";
        out += c.name;
    }
    return out;
}

// The order rows are read in: by key, so that equal databases give equal files; the users in the
// order they were added, which is the order the login lists them in.
std::string orderOf(const BackupTableDef& t, Dialect dialect) {
    const std::string name = t.name;
    if (name == "user1") return dialect == Dialect::Sqlite ? "rowid" : "position";
    if (name == "ch") return "chid";
    if (t.sequenceColumn) return t.sequenceColumn;
    return t.columns[0].name;
}

int64_t sequenceOf(DbConnection& db, const BackupTableDef& t) {
    if (!t.sequenceColumn) return -1;
    std::unique_ptr<DbQuery> q =
        db.dialect() == Dialect::Sqlite
            ? db.query("select seq from sqlite_sequence where name = ?", {DbValue::ofText(t.name)})
            : db.query(
                  "select pg_catalog.pg_sequence_last_value(pg_catalog.pg_get_serial_sequence(?, "
                  "?)::regclass)",
                  {DbValue::ofText(t.name), DbValue::ofText(t.sequenceColumn)});
    return q->next() && q->type(0) != DbType::Null ? std::max<int64_t>(q->integer(0), 0) : 0;
}

DbValue valueOf(DbQuery& q, size_t c, ColumnKind kind) {
    switch (q.type(c)) {
        case DbType::Null:
            return DbValue::null();
        case DbType::Integer:
            if (kind == ColumnKind::Real) return DbValue::ofFloat(static_cast<double>(q.integer(c)));
            return DbValue::ofInteger(q.integer(c));
        case DbType::Float:
            return DbValue::ofFloat(q.real(c));
        case DbType::Text:
            break;
    }
    return DbValue::ofText(std::string(q.text(c)));
}

// Passes the rows of q to sink; the count of rows.
size_t passRows(DbQuery& q, const BackupTableDef& t, std::vector<DbValue>& values, TableSink& sink) {
    size_t rows = 0;
    while (q.next()) {
        values.clear();
        for (size_t c = 0; c < t.columns.size(); ++c) values.push_back(valueOf(q, c, t.columns[c].kind));
        sink.row(values);
        ++rows;
    }
    return rows;
}

}  // namespace

const std::vector<BackupTableDef>& backupTables() {
    static const std::vector<BackupTableDef> tables = {
        {"chfl", {{"chflid", T}, {"chflname", T}}, nullptr},
        {"ch", {{"chflid", T}, {"chid", T}, {"chname", T}, {"ggxh", T}, {"jldw", T}}, nullptr},
        {"kh",
         {{"khid", T}, {"khname", T}, {"tel", T}, {"address", T}, {"accountid", T}, {"tax", T}},
         nullptr},
        {"ywy", {{"ywyid", T}, {"ywyname", T}, {"tel", T}, {"address", T}}, nullptr},
        {"xsdtb",
         {{"xsdid", T},
          {"khid", T},
          {"khname", T},
          {"ywyid", T},
          {"ywyname", T},
          {"username", T},
          {"shrname", T},
          {"ischeck", B},
          {"rq", T}},
         nullptr},
        {"xsdzb",
         {{"xsdid", T},
          {"chid", T},
          {"chname", T},
          {"ggxh", T},
          {"jldw", T},
          {"quantity1", R},
          {"price1", R},
          {"money1", R},
          {"lineid", I}},
         "lineid"},
        {"user1", {{"username", T}, {"password1", T}, {"role", T}, {"rights", T}, {"disabled", B}}, nullptr},
        {"server_logins",
         {{"id", I},
          {"event", T},
          {"computername", T},
          {"address", T},
          {"username", T},
          {"logintime", T},
          {"recorded", T},
          {"peer", T},
          {"sessionuser", T}},
         "id"},
        {"audit_log",
         {{"seq", I},
          {"at", T},
          {"username", T},
          {"peer", T},
          {"computer", T},
          {"action", T},
          {"tablename", T},
          {"recordkey", T},
          {"parentkey", T},
          {"changes", T},
          {"hash", T}},
         nullptr},
        {"audit_head", {{"id", I}, {"seq", I}, {"hash", T}, {"startseq", I}, {"starthash", T}}, nullptr},
    };
    return tables;
}

const BackupTableDef* findBackupTable(const std::string& name) {
    for (const BackupTableDef& t : backupTables())
        if (name == t.name) return &t;
    return nullptr;
}

const char* sourceName(Dialect dialect) {
    return dialect == Dialect::Sqlite ? "sqlite" : "postgresql";
}

void readDatabase(DbConnection& db, TableSink& sink) {
    std::vector<DbValue> values;
    for (const BackupTableDef& t : backupTables()) {
        BackupTableHeader header{t.name, sequenceOf(db, t), t.columns};
        sink.beginTable(header);
        std::string select =
            "select " + columnList(t.columns) + " from " + t.name + " order by " + orderOf(t, db.dialect());
        if (db.dialect() == Dialect::Sqlite) {
            std::unique_ptr<DbQuery> q = db.query(select, {});
            passRows(*q, t, values, sink);
        } else {
            db.execute("declare velmora_backup no scroll cursor for " + select, {});
            const std::string fetch = "fetch forward " + std::to_string(kFetchRows) + " from velmora_backup";
            for (;;) {
                std::unique_ptr<DbQuery> q = db.query(fetch, {});
                if (passRows(*q, t, values, sink) == 0) break;
            }
            db.execute("close velmora_backup", {});
        }
        sink.endTable();
    }
}

void DatabaseLoader::beginTable(const BackupTableHeader& table) {
    const BackupTableDef* def = findBackupTable(table.name);
    if (!def)
        throw VelmoraError(
            formatText("the backup holds a table %s that this program does not know; restore it "
                       "with the program that made it or a newer one",
                       table.name.c_str()));
    for (const BackupColumn& c : table.columns) {
        bool known = std::any_of(def->columns.begin(), def->columns.end(),
                                 [&](const BackupColumn& k) { return k.name == c.name; });
        if (!known)
            throw VelmoraError(formatText("the backup holds a column %s.%s that this program does not know",
                                          table.name.c_str(), c.name.c_str()));
    }
    table_ = table;
    keyColumn_ = SIZE_MAX;
    for (size_t c = 0; c < table.columns.size(); ++c)
        if (def->sequenceColumn && table.columns[c].name == def->sequenceColumn) keyColumn_ = c;
    maxKey_ = -1;
    pending_.clear();
    pendingRows_ = 0;
    loaded_.emplace_back(table.name, 0);
    db_.execute("delete from " + table.name, {});
}

void DatabaseLoader::row(const std::vector<DbValue>& values) {
    for (const DbValue& v : values) pending_.push_back(v);
    if (keyColumn_ < values.size() && values[keyColumn_].type == DbType::Integer)
        maxKey_ = std::max(maxKey_, values[keyColumn_].integer);
    ++loaded_.back().second;
    if (++pendingRows_ == kRowsPerStatement) flush();
}

void DatabaseLoader::flush() {
    if (pendingRows_ == 0) return;
    std::string one = "(";
    for (size_t c = 0; c < table_.columns.size(); ++c) one += c ? ", ?" : "?";
    one += ")";
    std::string sql = "insert into " + table_.name + " (" + columnList(table_.columns) + ") values ";
    for (size_t r = 0; r < pendingRows_; ++r) sql += (r ? ", " : "") + one;
    try {
        db_.execute(sql, pending_);
    } catch (const VelmoraError& e) {
        throw VelmoraError(formatText("table %s: %s", table_.name.c_str(), e.what()));
    }
    pending_.clear();
    pendingRows_ = 0;
}

void DatabaseLoader::endTable() {
    flush();
    const BackupTableDef* def = findBackupTable(table_.name);
    int64_t next = std::max(table_.sequence, maxKey_);
    if (!def->sequenceColumn || next <= 0) return;
    if (db_.dialect() == Dialect::Postgres) {
        db_.query(
               "select pg_catalog.setval(pg_catalog.pg_get_serial_sequence(?, ?), ?)",
               {DbValue::ofText(table_.name), DbValue::ofText(def->sequenceColumn), DbValue::ofInteger(next)})
            ->next();
        return;
    }
    if (db_.execute("update sqlite_sequence set seq = ? where name = ?",
                    {DbValue::ofInteger(next), DbValue::ofText(table_.name)}) == 0)
        db_.execute("insert into sqlite_sequence (name, seq) values (?, ?)",
                    {DbValue::ofText(table_.name), DbValue::ofInteger(next)});
}

void DigestSink::beginTable(const BackupTableHeader& table) {
    hash_ = std::make_unique<Sha256>();
    kinds_.clear();
    TableDigest d;
    d.name = table.name;
    for (const BackupColumn& c : table.columns) {
        kinds_.push_back(c.kind);
        if (c.kind == ColumnKind::Real) d.sums.emplace_back(c.name, 0.0);
    }
    digests_.push_back(std::move(d));
}

void DigestSink::row(const std::vector<DbValue>& values) {
    TableDigest& d = digests_.back();
    ++d.rows;
    size_t sum = 0;
    for (size_t c = 0; c < values.size(); ++c) {
        const DbValue& v = values[c];
        uint8_t tag = static_cast<uint8_t>(v.type);
        hash_->add(&tag, 1);
        if (v.type == DbType::Integer) hash_->add(&v.integer, 8);
        if (v.type == DbType::Float) hash_->add(&v.real, 8);
        if (v.type == DbType::Text) {
            uint64_t size = v.textValue().size();
            hash_->add(&size, 8);
            hash_->add(v.textValue().data(), size);
        }
        if (c < kinds_.size() && kinds_[c] == ColumnKind::Real) {
            if (v.type == DbType::Float) d.sums[sum].second += v.real;
            ++sum;
        }
    }
}

void DigestSink::endTable() {
    digests_.back().sha256 = hexOf(hash_->finish());
    hash_.reset();
}

}  // namespace velmora::server
