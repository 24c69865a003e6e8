#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "transport/ByteBudget.h"
#include "transport/TlsContext.h"
#include "transport/Transport.h"

namespace velmora {

// Largest payload a receiver accepts by default: generous for data packets, and never allocated
// up front, since a buffer grows only as the bytes actually arrive.
constexpr size_t kDefaultMaxPayload = size_t(256) << 20;

class TlsStream;

// A TCP stream socket carrying data blocks, in the clear or inside TLS; every limit below holds
// alike for the bytes inside TLS. Reads and writes are serialised by the socket's lock.
class SocketTransport : public Transport {
  public:
    // Client side: host (resolved by name) wins over address (dotted IPv4) when both are set.
    SocketTransport(std::string host, std::string address, uint16_t port, std::string interceptGuid = {});
    // Server side: takes an accepted, connected socket.
    static std::unique_ptr<SocketTransport> adopt(int fd);
    ~SocketTransport() override;

    bool connected() const override;
    void setConnected(bool value) override;
    int waitHandle() const override { return fd_; }
    int send(DataBlock& block) override;
    std::optional<DataBlock> receive(bool waitForInput, int context) override;
    void abort() override;
    bool hasBufferedInput() const override;

    // Client side, before opening: the TCP connect is followed by a TLS handshake that must end
    // within handshakeTimeoutMs, then verifier decides on the server's certificate (none: only a
    // certificate a trusted CA vouches for is accepted). Opening fails with TlsNotOffered when the
    // server does not speak TLS, with the server's own refusal when it answered with an error
    // block, and with a TlsError when the handshake failed or the certificate was refused.
    void setClientTls(std::shared_ptr<const TlsContext> context, CertificateVerifier verifier,
                      int handshakeTimeoutMs = 30'000);
    // Server side, before any block: the TLS handshake, under the stall timeout and the read
    // deadline. A failure closes the connection and raises a SocketConnectionError saying why.
    void startServerTls(std::shared_ptr<const TlsContext> context);
    // The first byte the peer sends, left unread; waits under the read deadline only.
    uint8_t peekFirstByte();
    bool encrypted() const;
    // "TLSv1.3 TLS_AES_256_GCM_SHA384" on an encrypted connection, for log lines; else empty.
    std::string encryption() const;
    // On an encrypted client connection, the SHA-256 fingerprint of the server's certificate.
    std::string peerFingerprint() const;

    // A block declaring more than bytes closes the connection, with reason when one is given.
    void setMaxPayload(size_t bytes, std::string reason = {}) {
        maxPayload_ = bytes;
        oversizeReason_ = std::move(reason);
    }
    // Once a block has begun, its next bytes must come within ms, else the connection is closed;
    // negative: wait for ever (the default).
    void setStallTimeout(int ms) { stallTimeoutMs_ = ms; }
    // Every unfinished block's buffer is charged to budget; a block that would pass its limit
    // closes the connection. The budget must outlive the transport.
    void setBudget(ByteBudget* budget) { budget_ = budget; }
    // Bytes arriving after deadline are not waited for, however steadily they trickle: the
    // connection is closed with reason (none: no deadline, the default).
    void setReadDeadline(std::optional<std::chrono::steady_clock::time_point> deadline,
                         std::string reason = {});
    // Reads exactly n bytes that come before any block (a proxy's header), under the same stall
    // timeout and deadline as a block's bytes.
    void receiveRaw(uint8_t* out, size_t n) {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        readFully(out, n);
    }
    // Waits up to ms (negative: for ever) for bytes or the peer's close; false when none came.
    bool waitReadable(int64_t ms);
    // The peer's address as "a.b.c.d:port", for log lines.
    std::string peerName() const;

  private:
    // What a wait for the socket is for: the stall timeout bounds a block's bytes and a handshake,
    // never the wait for a first byte.
    enum class Wait { Block, Handshake, FirstByte };

    SocketTransport() = default;
    void open();
    void closeSocket();
    void readFully(uint8_t* out, size_t n);
    // Waits until the socket is ready for events, under the stall timeout and the read deadline;
    // past either, closes the socket and raises why.
    void awaitSocket(short events, Wait what);
    bool pollFor(short events, int64_t ms);
    void writeEncrypted(const uint8_t* data, size_t n);
    void startClientTls();
    // Drives the handshake to its end: Done, Closed or Failed (waits in between).
    int runHandshake();
    void checkServerCertificate();
    // The refusal text of a plain server's error block whose first bytes the handshake took.
    std::optional<std::string> plainRefusal(std::vector<uint8_t> bytes);
    DataIntercept* intercept();
    [[noreturn]] void socketFailure(const char* api, int error);

    std::string host_;
    std::string address_;
    uint16_t port_ = 0;
    bool adopted_ = false;  // a connection the server accepted
    std::string interceptGuid_;
    std::unique_ptr<DataIntercept> intercept_;
    bool interceptTried_ = false;
    size_t maxPayload_ = kDefaultMaxPayload;
    std::string oversizeReason_;
    int stallTimeoutMs_ = -1;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::string deadlineReason_;
    ByteBudget* budget_ = nullptr;
    std::shared_ptr<const TlsContext> clientTls_;
    CertificateVerifier verifier_;
    int handshakeTimeoutMs_ = 30'000;
    std::unique_ptr<TlsStream> tls_;
    std::string peerFingerprint_;
    std::atomic<int> fd_{-1};
    mutable std::recursive_mutex lock_;  // serialises reads and writes
    std::mutex fdLock_;                  // held while the descriptor is closed or shut down
};

// Sets TCP_NODELAY: every call is one request block answered by one reply.
void setNoDelay(int fd);

}  // namespace velmora
