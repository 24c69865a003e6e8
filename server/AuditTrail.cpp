#include "server/AuditTrail.h"

#include <charconv>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <ctime>
#include <memory>

#include "server/Sha256.h"
#include "server/UtcTime.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

const std::string kGenesis(64, '0');

constexpr const char* kColumns =
    "seq, at, username, peer, computer, action, tablename, recordkey, parentkey, changes, hash";
constexpr size_t kColumnCount = 11;
// Rows per insert statement: few round trips, well under either database's parameter limit.
constexpr size_t kRowsPerStatement = 200;

std::string auditTables(Dialect dialect) {
    const bool pg = dialect == Dialect::Postgres;
    const std::string number = pg ? "bigint" : "INTEGER";
    const std::string text = pg ? "text COLLATE \"C\"" : "TEXT";
    return "CREATE TABLE IF NOT EXISTS audit_log (seq " + number + " NOT NULL PRIMARY KEY, at " + text +
           " NOT NULL, username " + text + ", peer " + text + ", computer " + text + ", action " + text +
           " NOT NULL, tablename " + text + ", recordkey " + text + ", parentkey " + text + ", changes " +
           text + ", hash " + text +
           " NOT NULL);"
           // One index finds a record's history, an order's lines with it; every index more is
           // a page more to write at each commit.
           "CREATE INDEX IF NOT EXISTS audit_log_subject ON audit_log ((coalesce(parentkey, recordkey)));"
           "CREATE TABLE IF NOT EXISTS audit_head (id " +
           number + " NOT NULL PRIMARY KEY, seq " + number + " NOT NULL, hash " + text +
           " NOT NULL, startseq " + number + " NOT NULL, starthash " + text +
           " NOT NULL);"
           "INSERT INTO audit_head (id, seq, hash, startseq, starthash) VALUES (1, 0, '" +
           kGenesis + "', 0, '" + kGenesis + "') ON CONFLICT DO NOTHING;";
}

// The hash of a row: SHA-256 over its values and the hash of the row before it, each ended by a
// unit separator, so that no two different rows read alike. Machines with SHA instructions make
// this a fraction of a microsecond.
std::string rowHash(const AuditRow& r) {
    Sha256 hash;
    hash.add(std::to_string(r.seq));
    for (const std::string* part :
         {&r.at, &r.who.user, &r.who.peer, &r.who.computer, &r.what.action, &r.what.table, &r.what.key,
          &r.what.parent, &r.what.changes, &r.prevHash}) {
        hash.add("\x1f", 1);
        hash.add(*part);
    }
    return hexOf(hash.finish());
}

DbValue textOrNull(const std::string& text) {
    return text.empty() ? DbValue::null() : DbValue::ofText(text);
}

struct Head {
    int64_t seq = 0;
    std::string hash;
    int64_t startSeq = 0;
    std::string startHash;
};

// The chain's head, locked until the transaction ends where the database locks rows.
Head lockedHead(DbConnection& db) {
    auto q = db.query(std::string("select seq, hash, startseq, starthash from audit_head where id = 1") +
                          (db.dialect() == Dialect::Postgres ? " for update" : ""),
                      {});
    if (!q->next()) throw VelmoraError("The audit trail has no head row");
    return {q->integer(0), std::string(q->text(1)), q->integer(2), std::string(q->text(3))};
}

std::string selectRows(const std::string& where) {
    return std::string("select ") + kColumns + " from audit_log " + where;
}

AuditRow readRow(DbQuery& q) {
    AuditRow r;
    r.seq = q.integer(0);
    r.at = q.text(1);
    r.who = {std::string(q.text(2)), std::string(q.text(3)), std::string(q.text(4))};
    r.what = {std::string(q.text(5)), std::string(q.text(6)), std::string(q.text(7)), std::string(q.text(8)),
              std::string(q.text(9))};
    r.hash = q.text(10);
    return r;
}

std::vector<AuditRow> readRows(DbConnection& db, const std::string& sql, const std::vector<DbValue>& params,
                               size_t limit = SIZE_MAX) {
    std::vector<AuditRow> rows;
    auto q = db.query(sql, params);
    while (rows.size() < limit && q->next()) rows.push_back(readRow(*q));
    return rows;
}

// A value as a field of the LIKE pattern: its wildcards stand for themselves.
std::string likeLiteral(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

void createAuditTables(DbConnection& db) {
    db.executeScript(auditTables(db.dialect()));
}

void appendAudit(DbConnection& db, const AuditContext& who, const std::vector<AuditEntry>& entries) {
    if (entries.empty()) return;
    if (!db.inTransaction())
        throw VelmoraError("An audit row is written only inside its change's transaction");
    Head head = lockedHead(db);
    const std::string at = utcTimestamp();
    std::string prev = head.hash;
    int64_t seq = head.seq;
    std::string sql;
    std::vector<DbValue> params;
    auto send = [&](size_t rows) {
        std::string one = "(?";
        for (size_t i = 1; i < kColumnCount; ++i) one += ", ?";
        one += ")";
        sql = std::string("insert into audit_log (") + kColumns + ") values " + one;
        for (size_t i = 1; i < rows; ++i) sql += ", " + one;
        db.execute(sql, params);
        params.clear();
    };
    size_t inStatement = 0;
    for (const AuditEntry& e : entries) {
        AuditRow row{++seq, at, who, e, prev, ""};
        row.hash = rowHash(row);
        for (DbValue v :
             {DbValue::ofInteger(row.seq), DbValue::ofText(at), textOrNull(who.user), textOrNull(who.peer),
              textOrNull(who.computer), DbValue::ofText(e.action), textOrNull(e.table), textOrNull(e.key),
              textOrNull(e.parent), textOrNull(e.changes), DbValue::ofText(row.hash)})
            params.push_back(std::move(v));
        prev = row.hash;
        if (++inStatement == kRowsPerStatement) {
            send(inStatement);
            inStatement = 0;
        }
    }
    if (inStatement) send(inStatement);
    db.execute("update audit_head set seq = ?, hash = ? where id = 1",
               {DbValue::ofInteger(seq), DbValue::ofText(prev)});
}

void recordAudit(DbConnection& db, const AuditContext& who, const AuditEntry& entry) {
    Transaction tx(db);
    appendAudit(db, who, {entry});
    tx.commit();
}

std::vector<AuditRow> recordHistory(DbConnection& db, const std::string& table, const std::string& key) {
    // An order's lines name it as their parent; every other row is its record's own.
    std::string sql = selectRows("where coalesce(parentkey, recordkey) = ? and (tablename = ?") +
                      (table == "xsdtb" ? " or tablename = 'xsdzb')" : ")") + " order by seq desc";
    return readRows(db, sql, {DbValue::ofText(key), DbValue::ofText(table)});
}

std::vector<AuditRow> queryAudit(DbConnection& db, const AuditQuery& query) {
    std::string where;
    std::vector<DbValue> params;
    auto add = [&](const std::string& condition, std::vector<DbValue> values) {
        where += where.empty() ? "where " : " and ";
        where += condition;
        for (DbValue& v : values) params.push_back(std::move(v));
    };
    if (!query.from.empty()) add("at >= ?", {DbValue::ofText(query.from)});
    // "U" follows the "T" between the date and the time: the whole of the last day is in.
    if (!query.to.empty()) add("at < ?", {DbValue::ofText(query.to + "U")});
    if (!query.user.empty()) add("username = ?", {DbValue::ofText(query.user)});
    if (!query.action.empty()) add("action = ?", {DbValue::ofText(query.action)});
    if (!query.table.empty()) add("tablename = ?", {DbValue::ofText(query.table)});
    if (!query.keyContains.empty()) {
        std::string pattern = "%" + likeLiteral(query.keyContains) + "%";
        add("(recordkey like ? escape '\\' or parentkey like ? escape '\\')",
            {DbValue::ofText(pattern), DbValue::ofText(pattern)});
    }
    return readRows(db, selectRows(where) + " order by seq desc limit " + std::to_string(query.limit),
                    params);
}

AuditCheck verifyAuditChain(DbConnection& db) {
    AuditCheck check;
    Transaction tx(db);  // one snapshot: rows and head as one writer left them
    Head head = lockedHead(db);
    check.headHash = head.hash;
    std::string prev = head.startHash;
    int64_t expected = head.startSeq + 1;
    auto q = db.query(selectRows("order by seq"), {});
    while (q->next()) {
        AuditRow r = readRow(*q);
        ++check.rows;
        if (r.seq != expected) {
            check.fault =
                r.seq < expected
                    ? formatText("row %" PRId64 " is older than the chain's start", r.seq)
                    : formatText("rows %" PRId64 " to %" PRId64 " are missing", expected, (r.seq - 1));
            return check;
        }
        r.prevHash = prev;
        if (rowHash(r) != r.hash) {
            // Either this row changed, or the one before did and had its hash made anew.
            check.fault = expected == head.startSeq + 1
                              ? formatText("row %" PRId64 " was changed after it was written", r.seq)
                              : formatText("row %" PRId64 " was changed after it was written, or row %" PRId64
                                           " before it",
                                           r.seq, r.seq - 1);
            return check;
        }
        prev = r.hash;
        ++expected;
    }
    if (expected - 1 != head.seq || prev != head.hash)
        check.fault = expected - 1 < head.seq
                          ? formatText("rows %" PRId64 " to %" PRId64 " are missing", expected, head.seq)
                          : formatText("the rows end at %" PRId64 " but the chain's head says %" PRId64 "",
                                       (expected - 1), head.seq);
    tx.commit();
    return check;
}

int64_t exportAudit(DbConnection& db, const std::string& before, std::ostream& out, bool prune) {
    Transaction tx(db);
    Head head = lockedHead(db);
    // The rows before the date as a run from the chain's start, so that what stays is a chain.
    auto firstKept = db.query("select min(seq) from audit_log where at >= ?", {DbValue::ofText(before)});
    int64_t last = head.seq;
    if (firstKept->next() && firstKept->type(0) != DbType::Null) last = firstKept->integer(0) - 1;
    firstKept.reset();
    out << "seq,at,user,peer,computer,action,table,key,parent,changes,hash\n";
    int64_t written = 0;
    std::string lastHash = head.startHash;
    auto q = db.query(selectRows("where seq <= ? order by seq"), {DbValue::ofInteger(last)});
    while (q->next()) {
        AuditRow r = readRow(*q);
        out << r.seq;
        for (const std::string* f : {&r.at, &r.who.user, &r.who.peer, &r.who.computer, &r.what.action,
                                     &r.what.table, &r.what.key, &r.what.parent, &r.what.changes, &r.hash})
            out << ',' << csvField(*f);
        out << '\n';
        lastHash = r.hash;
        ++written;
    }
    q.reset();
    out.flush();
    if (!out) throw VelmoraError("The export could not be written; nothing was pruned");
    if (prune && written > 0) {
        db.execute("delete from audit_log where seq <= ?", {DbValue::ofInteger(last)});
        db.execute("update audit_head set startseq = ?, starthash = ? where id = 1",
                   {DbValue::ofInteger(last), DbValue::ofText(lastHash)});
    }
    tx.commit();
    return written;
}

namespace {

// Text as a JSON string's content: quotes, backslashes and control characters escaped, bytes
// that are not UTF-8 replaced (a client may send any bytes; the trail stays valid JSON).
void appendEscaped(std::string& out, std::string_view text) {
    static const char* const kHex = "0123456789abcdef";
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // The length a lead byte announces, and the least value of that length (no overlongs).
        const size_t length = c >= 0xF0 && c <= 0xF4   ? 4
                              : c >= 0xE0 && c <= 0xEF ? 3
                              : c >= 0xC2 && c <= 0xDF ? 2
                                                       : 0;
        bool valid = length > 0 && i + length <= text.size();
        uint32_t code = length == 4 ? c & 0x07 : length == 3 ? c & 0x0F : c & 0x1F;
        for (size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (valid)
            valid = (length != 3 || (code >= 0x800 && (code < 0xD800 || code > 0xDFFF))) &&
                    (length != 4 || (code >= 0x10000 && code <= 0x10FFFF));
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";  // U+FFFD for the one byte that could not start a character
            ++i;
        }
    }
}

}  // namespace

void appendJson(std::string& out, const DbValue& value) {
    char number[32];
    switch (value.type) {
        case DbType::Null:
            out += "null";
            return;
        case DbType::Integer: {
            auto end = std::to_chars(number, number + sizeof number, value.integer).ptr;
            out.append(number, end);
            return;
        }
        case DbType::Float: {
            if (!std::isfinite(value.real)) {
                out += "null";  // JSON has no such number
                return;
            }
            // The shortest text that reads back as the same double.
            auto end = std::to_chars(number, number + sizeof number, value.real).ptr;
            out.append(number, end);
            return;
        }
        case DbType::Text:
            out += '"';
            appendEscaped(out, value.textValue());
            out += '"';
            return;
    }
}

std::string auditJson(const DbValue& value) {
    std::string out;
    appendJson(out, value);
    return out;
}

}  // namespace velmora::server
