#pragma once
// TLS settings and certificates one side shares over all its connections (OpenSSL 3 underneath;
// no OpenSSL header leaks out of transport/'s sources).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "transport/Errors.h"

struct ssl_ctx_st;
struct x509_st;

namespace velmora {

// The oldest protocol version a side accepts.
enum class TlsVersion { V1_2, V1_3 };

struct TlsServerSettings {
    std::string certificateFile;  // PEM: the certificate, then any intermediate ones
    std::string keyFile;          // PEM: its private key
    TlsVersion minVersion = TlsVersion::V1_3;
};

struct TlsClientSettings {
    std::string caFile;  // PEM: an office's own CA, trusted besides the system's CAs (empty: none)
    TlsVersion minVersion = TlsVersion::V1_3;
};

// A TLS failure: a certificate that cannot be loaded, or a handshake that failed.
class TlsError : public SocketConnectionError {
  public:
    using SocketConnectionError::SocketConnectionError;
};

// The server answered a TLS client with something that is not TLS (or closed at once): it serves
// the plain protocol only.
class TlsNotOffered : public SocketConnectionError {
  public:
    TlsNotOffered()
        : SocketConnectionError("服务器不支持加密连接 (the server does not offer an encrypted connection)") {}
};

// What a client learns of the server's certificate during the handshake.
struct ServerCertificate {
    std::string host;  // as the connection names the server: a host name or an IPv4 address
    uint16_t port = 0;
    std::string fingerprint;   // SHA-256 of the certificate, "AB:CD:…"
    std::string subject;       // its subject, one line
    bool trustedByCa = false;  // it chains to a system CA or the CA file, and names host
};

// The client program's decision on a server's certificate: true goes on; false refuses it; it may
// also throw to refuse with a message of its own. Runs on the thread that opens the connection.
using CertificateVerifier = std::function<bool(const ServerCertificate&)>;

// One side's TLS configuration: TLS 1.3 only unless 1.2 is allowed, modern cipher suites, no
// compression, no renegotiation, no session tickets. Immutable once made, so connections on any
// thread share it.
class TlsContext {
  public:
    // Fails with a TlsError naming the file and what is wrong with it.
    static std::shared_ptr<const TlsContext> forServer(const TlsServerSettings& settings);
    // Trusts the system's CAs and the CA file; fails with a TlsError when the file cannot be read.
    static std::shared_ptr<const TlsContext> forClient(const TlsClientSettings& settings);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    ssl_ctx_st* native() const { return ctx_; }
    bool isServer() const { return server_; }
    // A server's own certificate's fingerprint (see certificateFingerprint).
    std::string ownFingerprint() const;

  private:
    TlsContext(ssl_ctx_st* ctx, bool server) : ctx_(ctx), server_(server) {}
    ssl_ctx_st* ctx_;
    bool server_;
};

// The SHA-256 fingerprint of a certificate, upper-case hex pairs joined by colons.
std::string certificateFingerprint(const x509_st* certificate);
// What OpenSSL's error queue of this thread says, oldest first, joined by "; "; empties the queue.
std::string takeTlsErrors();

}  // namespace velmora
