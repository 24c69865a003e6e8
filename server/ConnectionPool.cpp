#include "server/ConnectionPool.h"

#include <exception>

#include "transport/Errors.h"

namespace velmora::server {

ConnectionPool::ConnectionPool(Opener open, size_t size, std::chrono::milliseconds waitLimit)
    : open_(std::move(open)), size_(std::max<size_t>(1, size)), waitLimit_(waitLimit) {}

ConnectionPool::~ConnectionPool() = default;

ConnectionPool::Lease::Lease(ConnectionPool* pool, std::unique_ptr<DbConnection> db)
    : pool_(pool), db_(std::move(db)), exceptions_(std::uncaught_exceptions()) {}

ConnectionPool::Lease::Lease(Lease&& other) noexcept
    : pool_(other.pool_), db_(std::move(other.db_)), exceptions_(other.exceptions_) {}

ConnectionPool::Lease::~Lease() {
    if (!db_) return;
    // A statement that failed may have left the connection broken: a fresh one is cheaper to trust.
    bool reusable = std::uncaught_exceptions() == exceptions_;
    try {
        if (reusable && db_->inTransaction()) reusable = false;
    } catch (...) {
        reusable = false;
    }
    pool_->giveBack(std::move(db_), reusable);
}

ConnectionPool::Lease ConnectionPool::lease() {
    std::unique_lock<std::mutex> guard(lock_);
    if (!freed_.wait_for(guard, waitLimit_, [this] { return !idle_.empty() || openCount_ < size_; }))
        throw VelmoraError("服务器忙，请稍后再试 (server busy: no database connection came free)");
    if (!idle_.empty()) {
        std::unique_ptr<DbConnection> db = std::move(idle_.back());
        idle_.pop_back();
        return Lease(this, std::move(db));
    }
    ++openCount_;
    guard.unlock();
    try {
        return Lease(this, open_());
    } catch (...) {
        guard.lock();
        --openCount_;
        freed_.notify_one();
        throw;
    }
}

void ConnectionPool::giveBack(std::unique_ptr<DbConnection> db, bool reusable) {
    std::unique_ptr<DbConnection> closing;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (reusable) {
            idle_.push_back(std::move(db));
        } else {
            closing = std::move(db);
            --openCount_;
        }
    }
    freed_.notify_one();
}

size_t ConnectionPool::openCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return openCount_;
}

}  // namespace velmora::server
