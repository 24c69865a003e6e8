#include "server/Database.h"

#include "server/PgDatabase.h"
#include "server/SqliteDatabase.h"

namespace velmora::server {

std::string readOnlyRefusal(const std::string& what) {
    return "只能读取数据 (a command text may only read data; refused: " + what + ")";
}

std::unique_ptr<DbConnection> openDatabase(const std::string& location, bool create,
                                           const DatabaseOptions& options) {
    if (isPostgresLocation(location))
        return std::make_unique<PgConnection>(location, options.readerLocation, options.durability);
    return std::make_unique<SqliteConnection>(location, create, options.durability);
}

}  // namespace velmora::server
