#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "server/LoginThrottle.h"
#include "server/ServerOptions.h"
#include "transport/ByteBudget.h"
#include "transport/ServerConnection.h"
#include "transport/SocketListener.h"

namespace velmora::server {

// Prepares the database file: a new (or empty) one gets the schema, and the demo data when asked;
// an existing database is brought up to the current schema and its passwords are hashed, and
// nothing else of it changes.
void prepareDatabase(const std::string& path, bool initDemo);

// The socket server: accepts clients and serves each on a thread of its own, with its own
// interpreter, object table, session and database connection.
class SocketServer {
  public:
    // Binds the listening socket; fails with a SocketError naming the call.
    explicit SocketServer(const ServerOptions& options);
    ~SocketServer();

    uint16_t port() const { return listener_.port(); }
    std::string address() const { return listener_.address(); }
    // Accepts clients until stop(); returns once every connection has ended.
    void run();
    // From any thread (a signal handler's thread included).
    void stop();

  private:
    void serve(int fd);
    // Why a new connection cannot be served now, or nothing; call with lock_ held.
    std::optional<std::string> refusalReason() const;
    // Connections that have not logged in may hold this many slots at most.
    int loggedOutSlots() const;

    ServerOptions options_;
    SocketListener listener_;
    ByteBudget buffers_;
    LoginThrottle throttle_;
    std::mutex lock_;
    std::condition_variable idle_;
    std::set<ServerConnection*> active_;
    int running_ = 0;
    int loggedOut_ = 0;
    bool stopping_ = false;
};

}  // namespace velmora::server
