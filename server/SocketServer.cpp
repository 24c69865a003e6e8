#include "SocketServer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "AppServerObject.h"
#include "Errors.h"
#include "Log.h"
#include "Schema.h"
#include "SqliteDatabase.h"

namespace velmora::server {

void prepareDatabase(const std::string& path, bool initDemo) {
    struct stat info {};
    bool exists = ::stat(path.c_str(), &info) == 0;
    SqliteConnection db(path, true);
    if (!db.isEmpty()) return;
    createSchema(db);
    if (initDemo && !exists) {
        insertDemoData(db);
        logLine("created demo database " + path);
    } else {
        logLine("created database " + path);
    }
}

SocketServer::SocketServer(const ServerOptions& options)
    : options_(options), listener_(options.listen, options.port) {}

SocketServer::~SocketServer() { stop(); }

void SocketServer::stop() {
    listener_.stop();
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
    for (ServerConnection* c : active_) c->stop();
}

void SocketServer::run() {
    for (;;) {
        int fd = listener_.accept();
        if (fd < 0) break;
        std::lock_guard<std::mutex> guard(lock_);
        if (stopping_) {
            ::close(fd);
            break;
        }
        if (running_ >= options_.maxConnections) {
            auto refused = SocketTransport::adopt(fd);
            logLine(formatText("%s: refused, %d connections are open already", refused->peerName().c_str(),
                               running_));
            continue;  // closing the transport closes the socket
        }
        ++running_;
        std::thread([this, fd] { serve(fd); }).detach();
    }
    std::unique_lock<std::mutex> guard(lock_);
    idle_.wait(guard, [this] { return running_ == 0; });
}

void SocketServer::serve(int fd) {
    auto transport = SocketTransport::adopt(fd);
    std::string peer = transport->peerName();
    logLine(peer + ": connected");
    try {
        SqliteConnection db(options_.database, false);
        ClassRegistry classes;
        classes.add({kAppServerClassId, kAppServerProgId, true, true,
                     [&db, peer] { return std::make_shared<AppServerObject>(db, peer); }});
        ServerConnection connection(std::move(transport), classes);
        {
            std::lock_guard<std::mutex> guard(lock_);
            active_.insert(&connection);
            if (stopping_) connection.stop();
        }
        try {
            connection.run();
            logLine(peer + ": disconnected");
        } catch (const SocketConnectionError& e) {
            // The usual way a client leaves is closing its socket.
            std::string what = e.what();
            logLine(peer + (what == "Error reading from socket" ? ": disconnected" : ": closed, " + what));
        } catch (const std::exception& e) {
            logLine(peer + ": failure, " + e.what());
        }
        std::lock_guard<std::mutex> guard(lock_);
        active_.erase(&connection);
    } catch (const std::exception& e) {
        logLine(peer + ": failure, " + e.what());
    }
    std::lock_guard<std::mutex> guard(lock_);
    --running_;
    idle_.notify_all();
}

}  // namespace velmora::server
