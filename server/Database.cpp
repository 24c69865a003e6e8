#include "server/Database.h"

#include "server/PgConnection.h"
#include "server/SqliteConnection.h"

namespace velmora::server {

std::string readOnlyRefusal(const std::string& what) {
    return "只能读取数据 (a command text may only read data; refused: " + what + ")";
}

GuardedOutcome DbConnection::runGuarded(std::span<const GuardedStatement> statements) {
    // Statement by statement: a failed one undoes itself here. A connection where it would spoil
    // the transaction overrides this.
    GuardedOutcome out;
    out.keys.reserve(statements.size());
    for (const GuardedStatement& s : statements) {
        try {
            out.keys.push_back(s.keyColumn ? insertReturningKey(*s.sql, s.params, *s.keyColumn)
                                           : (execute(*s.sql, s.params), 0));
        } catch (const std::exception& e) {
            out.error = e.what();
            return out;
        }
        ++out.done;
    }
    return out;
}

std::unique_ptr<DbConnection> openDatabase(const std::string& location, bool create,
                                           const DatabaseOptions& options) {
    if (isPostgresLocation(location))
        return std::make_unique<PgConnection>(location, options.readerLocation, options.durability);
    return std::make_unique<SqliteConnection>(location, create, options.durability);
}

}  // namespace velmora::server
