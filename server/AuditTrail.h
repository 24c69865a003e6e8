#pragma once
// Who did what: one row per change the server makes for a client, and per login, failed login and
// refusal, in the table audit_log. Each row carries the SHA-256 of its content and of the row
// before it, so that a row edited, deleted or slipped in breaks the chain (verifyAuditChain). The
// chain's head (the last number and hash) lives in the one row of audit_head, which a writer locks
// in its transaction: two servers on one database append one after the other. No client reads or
// writes either table through a command text or an apply.
// A row's hash covers the hash of the row before it, which is therefore not stored again.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "server/Database.h"

namespace velmora::server {

// Who acts: the session's user, the peer's address and the computer name the client gave.
struct AuditContext {
    std::string user;
    std::string peer;
    std::string computer;
};

// What one audit row says besides who and when. changes: a JSON object; for a modification
// {"field": [old, new], ...} with the changed fields only, for an insert or delete
// {"field": value, ...} with every field.
struct AuditEntry {
    std::string action;  // insert, modify, delete, approve, withdraw, login, login_failed, ...
    std::string table;
    std::string key;     // the record's key (xsdid, khid, lineid, a user's name)
    std::string parent;  // an order line's order (xsdid); empty otherwise
    std::string changes;
};

// A stored audit row.
struct AuditRow {
    int64_t seq = 0;
    std::string at;  // UTC, ISO 8601
    AuditContext who;
    AuditEntry what;
    std::string prevHash;  // the hash of the row before: part of this one's, not stored
    std::string hash;
};

// Creates the audit tables where they are missing (a new database, or one made before them).
void createAuditTables(DbConnection& db);

// Appends entries after the chain's head, inside the caller's open transaction: they are stored
// exactly when the transaction commits.
void appendAudit(DbConnection& db, const AuditContext& who, const std::vector<AuditEntry>& entries);
// Appends one entry in a transaction of its own: for what is recorded although what it records
// was undone (a refusal, a failed login). Must not be called inside a transaction.
void recordAudit(DbConnection& db, const AuditContext& who, const AuditEntry& entry);

// The rows of one record, newest first: for an order its lines' rows as well.
std::vector<AuditRow> recordHistory(DbConnection& db, const std::string& table, const std::string& key);

// What the audit query asks for; empty parts do not restrict. Dates are "YYYY-MM-DD", inclusive.
struct AuditQuery {
    std::string from, to;
    std::string user, action, table;
    std::string keyContains;
    size_t limit = 100000;  // rows at most, newest first
};
std::vector<AuditRow> queryAudit(DbConnection& db, const AuditQuery& query);

// The outcome of checking the chain: the rows read, and the first fault (empty when sound).
struct AuditCheck {
    int64_t rows = 0;
    std::string headHash;
    std::string fault;
};
AuditCheck verifyAuditChain(DbConnection& db);

// Writes the rows before date (YYYY-MM-DD, exclusive) as CSV (a header line first) to out; with
// prune, then deletes them and keeps the last one's number and hash as the chain's new start, in
// one transaction. Returns the number of rows written.
int64_t exportAudit(DbConnection& db, const std::string& before, std::ostream& out, bool prune);

// A JSON text of one value, as the changes hold values; appendJson adds it to out. Text that is not
// UTF-8 has its stray bytes replaced, so that the changes are always valid JSON.
std::string auditJson(const DbValue& value);
void appendJson(std::string& out, const DbValue& value);

}  // namespace velmora::server
