#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "server/Database.h"

namespace velmora::server {

// The tables and the view a client's command text may read; the user store and the server's
// own tables are not among them; nor is the report view when reads leaves out the reports.
bool isClientReadable(std::string_view table, ClientReads reads = ClientReads::Everything);
// The report view and the sales totals: readable only with the reports.
bool isReportTable(std::string_view table);
// The view the reports read: the order list and the summaries.
constexpr std::string_view kReportView = "xsdview";

// Every text column of the product's tables holds at most this many characters (VARCHAR(50)).
// PostgreSQL enforces it and SQLite does not, so the server checks it before it writes.
constexpr size_t kTextColumnChars = 50;

// The version of the schema this program makes, stored in the database (server_meta). It grows
// with every change of the tables; a backup records it, and a restore refuses a newer one.
// 2: the index on the order date. 3: the sales totals (server/SalesTotals.h).
constexpr int kSchemaVersion = 3;
// Whether the database has a table of that name (in the current schema on PostgreSQL).
bool hasTable(DbConnection& db, const std::string& name);
// The schema version a database records (0: made before versions were recorded).
int storedSchemaVersion(DbConnection& db);

// Creates the tables, the view xsdview and the server's tables of logins and of resume tokens in an
// empty database.
void createSchema(DbConnection& db);

// Brings a database made by an earlier version up to the current schema; safe to repeat.
void upgradeSchema(DbConnection& db);

// Fills a new database with the demonstration data: categories, items, customers, salesmen,
// users and about thirty orders with their lines.
void insertDemoData(DbConnection& db);

}  // namespace velmora::server
