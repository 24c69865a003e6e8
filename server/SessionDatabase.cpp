#include "server/SessionDatabase.h"

#include "transport/Errors.h"

namespace velmora::server {

void SessionDatabase::open() {
    if (db_) return;
    db_ = open_();
    db_->setRowLimit(rowLimit_);
}

void SessionDatabase::setRowLimit(size_t maxBytes) {
    rowLimit_ = maxBytes;
    if (db_) db_->setRowLimit(maxBytes);
}

DbConnection& SessionDatabase::db() const {
    if (!db_) throw VelmoraError("请先登录 (not logged in: the database is opened at the login)");
    return *db_;
}

}  // namespace velmora::server
