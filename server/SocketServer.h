#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "ServerConnection.h"
#include "ServerOptions.h"
#include "SocketListener.h"

namespace velmora::server {

// Prepares the database file: a new (or empty) one gets the schema, and the demo data when asked;
// an existing database is left as it is.
void prepareDatabase(const std::string& path, bool initDemo);

// The socket server: accepts clients and serves each on a thread of its own, with its own
// interpreter, object table and database connection.
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

    ServerOptions options_;
    SocketListener listener_;
    std::mutex lock_;
    std::condition_variable idle_;
    std::set<ServerConnection*> active_;
    int running_ = 0;
    bool stopping_ = false;
};

}  // namespace velmora::server
