#include "server/SocketServer.h"

#include <openssl/crypto.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <thread>
#include <vector>

#include "server/AppServerObject.h"
#include "server/Log.h"
#include "server/PgConnection.h"
#include "server/ProxyHeader.h"
#include "server/Schema.h"
#include "server/SessionDatabase.h"
#include "server/UserStore.h"
#include "transport/Errors.h"
#include "transport/VariantCodec.h"

namespace velmora::server {

namespace {

constexpr const char* kServerBusy = "服务器忙 (server busy)";
constexpr const char* kTlsRequired = "服务器要求加密连接 (this server requires an encrypted connection)";
// The first byte of a TLS connection: a handshake record's type.
constexpr uint8_t kTlsHandshakeRecord = 0x16;

// Reads and drops what the peer still sends, until it closes, for up to a second and 64 KB: a
// socket closed with unread bytes is reset, and a reset may overtake the answer just sent.
void drainBeforeClosing(int fd) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    size_t dropped = 0;
    while (dropped < (size_t(64) << 10)) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return;
        uint8_t scratch[4096];
        ssize_t n = ::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n <= 0) return;
        dropped += static_cast<size_t>(n);
    }
}

// Tells a peer that will not be served why, then lets it go: the reply is an error block, which
// the peer's first call reads as the failure of that call. Only a connection's own thread may
// linger for the peer's last bytes; the accept loop must not.
void refuse(SocketTransport& transport, const std::string& peer, const std::string& reason,
            const char* answer = kServerBusy, bool linger = false) {
    logLine(formatText("%s: refused, %s", peer.c_str(), reason.c_str()));
    try {
        DataBlock block(replySignature(Action::Error));
        writeText(block, answer);
        transport.send(block);
        ::shutdown(transport.waitHandle(), SHUT_WR);
        if (linger) drainBeforeClosing(transport.waitHandle());
    } catch (const std::exception&) {
        // a peer gone already needs no answer
    }
}

std::string addressOf(const std::string& peer) {
    return peer.substr(0, peer.rfind(':'));
}

ConnectionLimits limitsOf(const ServerOptions& o) {
    ConnectionLimits limits;
    limits.maxConnections = o.maxConnections;
    limits.maxLoggedOut = std::max(1, o.maxConnections / 4);
    limits.maxLoggedOutPerAddress = o.maxLoginConnectionsPerAddress;
    limits.maxPerUser = o.maxConnectionsPerUser;
    limits.administratorSlots = administratorSlots(o);
    return limits;
}

std::unique_ptr<DbConnection> openFor(const ServerOptions& o) {
    return openDatabase(o.database, false, {o.readerDatabase, o.durability});
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

SocketServer::SocketServer(const ServerOptions& options, std::shared_ptr<const TlsContext> tls,
                           std::shared_ptr<BackupDirectory> backups)
    : options_(options),
      backups_(std::move(backups)),
      tlsMode_(tlsMode(options)),
      tls_(tls || tlsMode_ == TlsMode::Off ? std::move(tls) : loadServerTls(options)),
      tlsIdentity_(tls_ ? tls_->ownFingerprint() : std::string()),
      listener_(options.listen, options.port),
      buffers_(options.maxBufferBytes),
      // Twice the connections that may be waiting for their login, for those closed to make room
      // that are still ending: these blocks never pass their cap, so this budget never runs out.
      loginBuffers_(size_t(2) * limitsOf(options).maxLoggedOut *
                    (options.maxLoginBlockBytes + DataBlock::kHeaderSize)),
      pool_([this] { return openFor(options_); }, static_cast<size_t>(options.loginDbConnections)),
      table_(limitsOf(options)) {}

SocketServer::~SocketServer() {
    stop();
}

void SocketServer::stop() {
    listener_.stop();
    table_.stopAll();
}

bool SocketServer::trustedProxy(const std::string& address) const {
    return std::find(options_.trustedProxies.begin(), options_.trustedProxies.end(), address) !=
           options_.trustedProxies.end();
}

void SocketServer::run() {
    for (;;) {
        // The address accept saw: a peer that resets at once (a balancer's health check) has
        // none by the time the socket is asked.
        std::string peer;
        int fd = listener_.accept(&peer);
        if (fd < 0) break;
        std::shared_ptr<SocketTransport> transport = SocketTransport::adopt(fd);
        bool proxied = trustedProxy(addressOf(peer));
        // A proxied connection's address is known only once its header is read.
        ConnectionTable::Admission admission =
            table_.admit(peer, proxied ? std::string() : addressOf(peer),
                         [weak = std::weak_ptr<SocketTransport>(transport)] {
                             if (std::shared_ptr<SocketTransport> t = weak.lock()) t->abort();
                         });
        if (!admission.id) {
            if (admission.refusal.empty()) break;  // stopping
            refuse(*transport, peer, admission.refusal);
            continue;
        }
        std::thread([this, id = admission.id, transport, proxied, peer] {
            serve(id, transport, proxied, peer);
        }).detach();
    }
    table_.waitUntilEmpty();
}

std::optional<std::string> SocketServer::readProxyHeader(ConnectionTable::Id id, SocketTransport& transport,
                                                         const std::string& proxy) {
    try {
        std::array<uint8_t, kProxyHeaderFixedSize> fixed{};
        transport.receiveRaw(fixed.data(), fixed.size());
        std::vector<uint8_t> header(fixed.begin(), fixed.end());
        header.resize(proxyHeaderSize(fixed));
        transport.receiveRaw(header.data() + fixed.size(), header.size() - fixed.size());
        ProxyHeader real = parseProxyHeader(header);
        if (real.peer.empty()) {
            real.peer = proxy;
            real.address = addressOf(proxy);
        }
        if (std::optional<std::string> refusal = table_.place(id, real.peer, real.address)) {
            refuse(transport, real.peer, *refusal);
            return std::nullopt;
        }
        return real.peer;
    } catch (const std::exception& e) {
        logLine(formatText("%s: closed, no valid PROXY protocol header from this trusted proxy: %s",
                           proxy.c_str(), e.what()));
        return std::nullopt;
    }
}

void SocketServer::admitLogin(ConnectionTable::Id id, const std::string& who, const std::string& user,
                              SessionDatabase& database, SocketTransport& transport) {
    bool administrator = false;
    {
        ConnectionPool::Lease db = pool_.lease();
        administrator = UserStore(*db).isAdministrator(user);
    }
    try {
        database.open();
    } catch (const std::exception& e) {
        logLine(formatText("%s: the database cannot be opened for the login as %s: %s", who.c_str(),
                           user.c_str(), e.what()));
        throw VelmoraError("服务器无法连接数据库 (the server cannot reach its database)");
    }
    if (std::optional<std::string> refusal = table_.logIn(id, user, administrator))
        throw LoginRefused(*refusal);
    transport.setMaxPayload(kDefaultMaxPayload);
    transport.setBudget(&buffers_);
}

bool SocketServer::startEncryption(SocketTransport& transport, const std::string& peer,
                                   std::chrono::steady_clock::time_point loginDeadline) {
    if (tlsMode_ == TlsMode::Off) return true;
    try {
        // The same words as a connection that stays silent after its handshake.
        transport.setReadDeadline(loginDeadline, formatText("not logged in within %g s",
                                                            options_.session.loginTimeout.count() / 1000.0));
        if (transport.peekFirstByte() == kTlsHandshakeRecord) {
            transport.startServerTls(tls_);
            logLine(peer + ": encrypted, " + transport.encryption());
            return true;
        }
        if (tlsMode_ == TlsMode::Require) {
            refuse(transport, peer, "not encrypted, and this server requires TLS", kTlsRequired, true);
            return false;
        }
        logLine(peer + ": not encrypted");
        return true;
    } catch (const std::exception& e) {
        logLine(peer + ": closed, " + e.what());
        return false;
    }
}

void SocketServer::leave(ConnectionTable::Id id) {
    // The thread's own OpenSSL state (hashing, TLS) is freed before the table lets the server
    // end: a detached thread's exit may come after the process's.
    OPENSSL_thread_stop();
    table_.remove(id);
}

void SocketServer::serve(ConnectionTable::Id id, std::shared_ptr<SocketTransport> transport, bool proxied,
                         std::string peer) {
    auto loginDeadline = std::chrono::steady_clock::now() + options_.session.loginTimeout;
    transport->setStallTimeout(options_.stallTimeoutMs);
    // Until the login, blocks are small and paid for apart from the logged-in users' memory.
    transport->setMaxPayload(options_.maxLoginBlockBytes,
                             formatText("Invalid data packet: a block larger than %zu KB before a login",
                                        options_.maxLoginBlockBytes >> 10));
    transport->setBudget(&loginBuffers_);
    if (proxied) {
        transport->setReadDeadline(loginDeadline, "no PROXY protocol header in time");
        std::optional<std::string> real = readProxyHeader(id, *transport, peer);
        if (!real) {
            leave(id);
            return;
        }
        logLine(formatText("%s: connected through the proxy %s", real->c_str(), peer.c_str()));
        peer = *real;
    } else {
        logLine(peer + ": connected");
    }
    if (!startEncryption(*transport, peer, loginDeadline)) {
        leave(id);
        return;
    }
    try {
        SessionDatabase database([this] { return openFor(options_); });
        SessionHooks hooks;
        hooks.admit = [&, id](const std::string& user) { admitLogin(id, peer, user, database, *transport); };
        hooks.pause = [this, id](std::chrono::milliseconds wait) { table_.pause(id, wait); };
        Session session(peer, pool_, throttle_, options_.session, std::move(hooks));
        if (transport->encrypted()) session.setServerIdentity(tlsIdentity_);
        // A large result handed out in parts holds its statement on a connection of its own.
        QueryLimits limits = options_.query;
        limits.openPartsConnection = [this] { return openFor(options_); };
        ClassRegistry classes;
        classes.add({kAppServerClassId, kAppServerProgId, true, true, [&database, &session, &limits, this] {
                         return std::make_shared<AppServerObject>(database, session, limits,
                                                                  options_.allowOwnApproval, backups_.get());
                     }});
        ServerConnectionRules rules;
        rules.maxObjects = options_.maxObjects;
        ServerConnection connection(transport, classes, rules);
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
    } catch (const std::exception& e) {
        logLine(peer + ": failure, " + e.what());
    }
    leave(id);
}

}  // namespace velmora::server
