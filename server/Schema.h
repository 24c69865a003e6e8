#pragma once

#include "Database.h"

namespace velmora::server {

// Creates the tables, the view xsdview and the server's table of logins in an empty database.
void createSchema(DbConnection& db);

// Fills a new database with the demonstration data: categories, items, customers, salesmen,
// users and about thirty orders with their lines.
void insertDemoData(DbConnection& db);

}  // namespace velmora::server
