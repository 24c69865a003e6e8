#pragma once
// One TLS session over a connected socket that does not block.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "transport/TlsContext.h"

struct ssl_st;

namespace velmora {

// Never waits: each call does what the socket allows at once and says what it waits for, so that
// the owner keeps its own timeouts. Not thread-safe: the owner serialises every call.
class TlsStream {
  public:
    enum class Result {
        Done,       // the call did its work (a read or write moved at least one byte)
        WantRead,   // call again once the socket is readable
        WantWrite,  // call again once the socket is writable
        Closed,     // the peer ended the session or closed the connection
        Failed,     // a protocol failure: see failure()
    };

    // peerName: on a client, the host name or IPv4 address the certificate must name (a name also
    // goes out as SNI); ignored on a server. The socket must outlive the stream.
    TlsStream(std::shared_ptr<const TlsContext> context, int fd, const std::string& peerName = {});
    ~TlsStream();
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    Result handshake();
    Result read(uint8_t* out, size_t n, size_t& got);
    Result write(const uint8_t* data, size_t n, size_t& put);
    // Done when application bytes are ready to read; first processes what the socket holds.
    Result peek();
    // Decrypted bytes waiting to be read: the socket does not poll readable for them.
    size_t buffered() const;
    // Sends the close notice if the socket takes it at once; never waits for the peer's.
    void close();

    // Why the last call failed.
    const std::string& failure() const { return failure_; }
    // Whether the peer sent anything that parsed as TLS (a handshake message or an alert).
    bool peerSpokeTls() const { return peerSpokeTls_; }
    // The first raw bytes received (up to 64), for telling what a peer that is not TLS said.
    const std::vector<uint8_t>& firstBytes() const;

    // Once the handshake is done: the peer certificate, and whether it chains to a trusted CA and
    // names the peer (client side).
    std::string peerFingerprint() const;
    std::string peerSubject() const;
    bool peerTrusted() const;
    // "TLSv1.3 TLS_AES_256_GCM_SHA384", for log lines.
    std::string description() const;

    struct Channel;  // the socket under the session; the stream's own

  private:
    Result outcome(int rc);
    static void onMessage(int writing, int version, int contentType, const void* buf, size_t len, ssl_st* ssl,
                          void* arg);

    std::shared_ptr<const TlsContext> context_;
    ssl_st* ssl_ = nullptr;
    std::unique_ptr<Channel> channel_;
    std::string failure_;
    bool peerSpokeTls_ = false;
};

}  // namespace velmora
