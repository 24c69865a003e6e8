#pragma once

#include <memory>
#include <string>

#include "server/ConnectionPool.h"
#include "server/ConnectionTable.h"
#include "server/LoginThrottle.h"
#include "server/ServerOptions.h"
#include "server/ServerTls.h"
#include "transport/ByteBudget.h"
#include "transport/ServerConnection.h"
#include "transport/SocketListener.h"

namespace velmora::server {

class BackupDirectory;
class SessionDatabase;

// Prepares the database file: a new (or empty) one gets the schema, and the demo data when asked;
// an existing database is brought up to the current schema and its passwords are hashed, and
// nothing else of it changes.
void prepareDatabase(const std::string& path, bool initDemo);

// The socket server: accepts clients and serves each on a thread of its own, with its own
// interpreter, object table and session; a connection's own database connection opens at its
// login.
class SocketServer {
  public:
    // Binds the listening socket; fails with a SocketError naming the call. tls: the context of
    // encrypted connections (none: loaded from the options when they ask for encryption).
    // backups: where the client's 数据备份 takes and lists backups (none: not configured).
    explicit SocketServer(const ServerOptions& options, std::shared_ptr<const TlsContext> tls = nullptr,
                          std::shared_ptr<BackupDirectory> backups = nullptr);
    ~SocketServer();

    uint16_t port() const { return listener_.port(); }
    std::string address() const { return listener_.address(); }
    // Accepts clients until stop(); returns once every connection has ended.
    void run();
    // From any thread (a signal handler's thread included).
    void stop();

  private:
    // The connection's last step: it leaves the table of connections.
    void leave(ConnectionTable::Id id);
    // peer: the client's "a.b.c.d:port" as accept saw it (the proxy's, when proxied).
    void serve(ConnectionTable::Id id, std::shared_ptr<SocketTransport> transport, bool proxied,
               std::string peer);
    // Reads the PROXY header a trusted balancer sends first; the client's peer, or nothing when
    // the connection was closed (logged).
    std::optional<std::string> readProxyHeader(ConnectionTable::Id id, SocketTransport& transport,
                                               const std::string& proxy);
    // At a login as user: the connection's own database, the limits of the slots, and the blocks
    // of a logged-in user. Throws LoginRefused when the limits keep it out.
    void admitLogin(ConnectionTable::Id id, const std::string& who, const std::string& user,
                    SessionDatabase& database, SocketTransport& transport);
    bool trustedProxy(const std::string& address) const;
    // Tells a TLS client from a plain one by its first byte and shakes hands with the former,
    // before the login deadline; false when the connection was closed (logged).
    bool startEncryption(SocketTransport& transport, const std::string& peer,
                         std::chrono::steady_clock::time_point loginDeadline);

    ServerOptions options_;
    std::shared_ptr<BackupDirectory> backups_;
    TlsMode tlsMode_;
    std::shared_ptr<const TlsContext> tls_;
    // The fingerprint of the certificate encrypted connections show, which binds their resume
    // tokens; empty without TLS.
    std::string tlsIdentity_;
    SocketListener listener_;
    ByteBudget buffers_;
    ByteBudget loginBuffers_;  // blocks of connections not logged in, apart from the users' budget
    LoginThrottle throttle_;
    ConnectionPool pool_;
    ConnectionTable table_;
};

}  // namespace velmora::server
