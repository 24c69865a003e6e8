#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "server/Database.h"

namespace velmora::server {

// A few database connections that every client connection borrows for its short statements of
// the session's own (the user list, the password check, resume tokens), so that a connection that
// has not logged in costs the database nothing. Connections open when first needed. Thread-safe.
class ConnectionPool {
  public:
    using Opener = std::function<std::unique_ptr<DbConnection>()>;

    ConnectionPool(Opener open, size_t size, std::chrono::milliseconds waitLimit = std::chrono::seconds(30));
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    // A connection borrowed until the lease goes. One left in a transaction, or in the middle of
    // a failure, is closed rather than lent again.
    class Lease {
      public:
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&&) = delete;
        ~Lease();
        DbConnection& operator*() const { return *db_; }
        DbConnection* operator->() const { return db_.get(); }

      private:
        friend class ConnectionPool;
        Lease(ConnectionPool* pool, std::unique_ptr<DbConnection> db);
        ConnectionPool* pool_;
        std::unique_ptr<DbConnection> db_;
        int exceptions_;
    };

    // Waits for a free connection (opening one while fewer than size are open); fails with a
    // text for the client when none comes free within the wait limit, or when opening fails.
    Lease lease();
    // Connections open now, lent or idle.
    size_t openCount() const;

  private:
    void giveBack(std::unique_ptr<DbConnection> db, bool reusable);

    Opener open_;
    const size_t size_;
    const std::chrono::milliseconds waitLimit_;
    mutable std::mutex lock_;
    std::condition_variable freed_;
    std::vector<std::unique_ptr<DbConnection>> idle_;
    size_t openCount_ = 0;
};

}  // namespace velmora::server
