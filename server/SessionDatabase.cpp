#include "server/SessionDatabase.h"

#include "transport/Errors.h"

namespace velmora::server {

void SessionDatabase::open() {
    if (!db_) db_ = open_();
}

DbConnection& SessionDatabase::db() const {
    if (!db_) throw VelmoraError("请先登录 (not logged in: the database is opened at the login)");
    return *db_;
}

}  // namespace velmora::server
