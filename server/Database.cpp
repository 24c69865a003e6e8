#include "server/Database.h"

#include "server/PgDatabase.h"
#include "server/SqliteDatabase.h"

namespace velmora::server {

std::string readOnlyRefusal(const std::string& what) {
    return "只能读取数据 (a command text may only read data; refused: " + what + ")";
}

GuardedOutcome DbConnection::runGuarded(std::span<const GuardedStatement> statements) {
    GuardedOutcome out;
    out.keys.reserve(statements.size());
    bool spoils = failedStatementSpoilsTransaction();
    for (const GuardedStatement& s : statements) {
        if (spoils) execute("savepoint guarded", {});
        int64_t key = 0;
        try {
            if (s.keyColumn)
                key = insertReturningKey(*s.sql, s.params, *s.keyColumn);
            else
                execute(*s.sql, s.params);
        } catch (const std::exception& e) {
            if (spoils) execute("rollback to guarded", {});
            if (spoils) execute("release guarded", {});
            out.error = e.what();
            return out;
        }
        if (spoils) execute("release guarded", {});
        out.keys.push_back(key);
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
