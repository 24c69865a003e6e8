#include "server/SocketServer.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "server/AppServerObject.h"
#include "server/Log.h"
#include "server/PgDatabase.h"
#include "server/Schema.h"
#include "server/UserStore.h"
#include "transport/Errors.h"
#include "transport/VariantCodec.h"

namespace velmora::server {

namespace {

constexpr const char* kServerBusy = "服务器忙 (server busy)";

// Tells a peer that will not be served why, then lets it go: the reply is an error block, which
// the peer's first call reads as the failure of that call.
void refuse(int fd, const std::string& reason) {
    auto transport = SocketTransport::adopt(fd);
    logLine(formatText("%s: refused, %s", transport->peerName().c_str(), reason.c_str()));
    try {
        DataBlock block(replySignature(Action::Error));
        writeText(block, kServerBusy);
        transport->send(block);
        ::shutdown(fd, SHUT_WR);
    } catch (const std::exception&) {
        // a peer gone already needs no answer
    }
}

}  // namespace

void prepareDatabase(const std::string& path, bool initDemo) {
    struct stat info {};
    // An empty PostgreSQL database counts as new; a SQLite file as new only when it is not there.
    bool exists = !isPostgresLocation(path) && ::stat(path.c_str(), &info) == 0;
    std::unique_ptr<DbConnection> connection = openDatabase(path, true);
    DbConnection& db = *connection;
    if (db.isEmpty()) {
        createSchema(db);
        if (initDemo && !exists) {
            insertDemoData(db);
            logLine("created demo database " + redactedLocation(path));
        } else {
            logLine("created database " + redactedLocation(path));
        }
        return;
    }
    upgradeSchema(db);
    if (int converted = UserStore(db).convertPlainTextPasswords())
        logLine(formatText("stored the passwords of %d users as hashes; the plain text is gone from %s",
                           converted, redactedLocation(path).c_str()));
}

SocketServer::SocketServer(const ServerOptions& options)
    : options_(options), listener_(options.listen, options.port), buffers_(options.maxBufferBytes) {}

SocketServer::~SocketServer() {
    stop();
}

void SocketServer::stop() {
    listener_.stop();
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
    for (ServerConnection* c : active_) c->stop();
}

int SocketServer::loggedOutSlots() const {
    return std::max(1, options_.maxConnections / 4);
}

std::optional<std::string> SocketServer::refusalReason() const {
    if (running_ >= options_.maxConnections)
        return formatText("server busy: %d connections are open already", running_);
    if (loggedOut_ >= loggedOutSlots())
        return formatText("server busy: %d connections have not logged in yet (at most %d)", loggedOut_,
                          loggedOutSlots());
    return std::nullopt;
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
        if (std::optional<std::string> reason = refusalReason()) {
            refuse(fd, *reason);
            continue;
        }
        ++running_;
        ++loggedOut_;
        std::thread([this, fd] { serve(fd); }).detach();
    }
    std::unique_lock<std::mutex> guard(lock_);
    idle_.wait(guard, [this] { return running_ == 0; });
}

void SocketServer::serve(int fd) {
    auto transport = SocketTransport::adopt(fd);
    transport->setStallTimeout(options_.stallTimeoutMs);
    transport->setBudget(&buffers_);
    std::string peer = transport->peerName();
    logLine(peer + ": connected");
    bool loggedIn = false;
    auto onLogin = [this, &loggedIn] {
        std::lock_guard<std::mutex> guard(lock_);
        loggedIn = true;
        --loggedOut_;
    };
    try {
        std::unique_ptr<DbConnection> database =
            openDatabase(options_.database, false, {options_.readerDatabase, options_.durability});
        DbConnection& db = *database;
        Session session(peer, UserStore(db), throttle_, options_.session, onLogin);
        ClassRegistry classes;
        classes.add({kAppServerClassId, kAppServerProgId, true, true, [&db, &session, this] {
                         return std::make_shared<AppServerObject>(db, session, options_.query);
                     }});
        ServerConnectionRules rules;
        rules.maxObjects = options_.maxObjects;
        ServerConnection connection(std::move(transport), classes, rules);
        {
            std::lock_guard<std::mutex> guard(lock_);
            active_.insert(&connection);
            if (stopping_) connection.stop();
        }
        try {
            connection.run(&session);
            session.connectionEnded();
            logLine(session.who() + ": disconnected");
        } catch (const SocketConnectionError& e) {
            // The usual way a client leaves is closing its socket, sometimes before its reply.
            std::string what = e.what();
            bool left = what == "Error reading from socket" || what == "Error writing to socket";
            session.connectionEnded();
            logLine(session.who() + (left ? ": disconnected" : ": closed, " + what));
        } catch (const std::exception& e) {
            session.connectionEnded();
            logLine(session.who() + ": failure, " + e.what());
        }
        std::lock_guard<std::mutex> guard(lock_);
        active_.erase(&connection);
    } catch (const std::exception& e) {
        logLine(peer + ": failure, " + e.what());
    }
    std::lock_guard<std::mutex> guard(lock_);
    --running_;
    if (!loggedIn) --loggedOut_;
    idle_.notify_all();
}

}  // namespace velmora::server
