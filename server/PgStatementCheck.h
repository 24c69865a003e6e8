#pragma once
// The allow-list a client's command text passes before PostgreSQL runs it, as SQLite's authorizer
// is on SQLite: PostgreSQL's own parser reads the text, and every part of the tree must be known.

#include <string>

namespace velmora::server {

// Returns the one statement of sql as PostgreSQL is to run it (without a closing semicolon) when
// it only reads the product's tables and view (or its own WITH queries) through the operators,
// functions and types of a short list. Anything else throws StatementRefused naming what was
// refused; a text the parser cannot read throws VelmoraError with the parser's message.
std::string checkPostgresQuery(const std::string& sql);

// The longest command text checked; longer ones are refused (as SQLite's statement limit does).
constexpr size_t kMaxPostgresQueryBytes = size_t(1) << 20;

}  // namespace velmora::server
