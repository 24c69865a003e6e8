#pragma once
// The allow-list a client's command text passes before PostgreSQL runs it, as SQLite's authorizer
// is on SQLite: PostgreSQL's own parser reads the text, and every part of the tree must be known.

#include <string>

#include "server/Database.h"

namespace velmora::server {

// A command text that passed the check.
struct CheckedQuery {
    std::string text;  // its one statement as PostgreSQL is to run it, without a closing semicolon
    // It may make a value much larger than the stored ones and its own literals (through ||,
    // concat, a multiplication or a literal over 1 kB), so its rows are worth measuring before they
    // are sent; without these every value it yields stays within some kilobytes.
    bool buildsValues = false;
};

// Checks that sql only reads the product's tables and view (or its own WITH queries) through the
// operators, functions and types of a short list. Anything else throws StatementRefused naming
// what was refused; a text the parser cannot read throws VelmoraError with the parser's message.
// Without the reports, naming xsdview or a table of sales totals throws
// StatementRefused(kReportsRefused).
CheckedQuery checkPostgresQuery(const std::string& sql, ClientReads reads = ClientReads::Everything);

// The longest command text checked; longer ones are refused (as SQLite's statement limit does).
constexpr size_t kMaxPostgresQueryBytes = size_t(1) << 20;

}  // namespace velmora::server
