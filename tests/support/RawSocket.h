#pragma once

#include <cstdint>
#include <optional>

#include "transport/DataBlock.h"

namespace velmora::test {

// A plain TCP socket with block helpers, client or accepted side.
class RawSocket {
  public:
    static RawSocket connectTo(uint16_t port);
    explicit RawSocket(int fd) : fd_(fd) {}
    RawSocket(RawSocket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    ~RawSocket();

    void writeBytes(const void* data, size_t n);
    void writeBlock(DataBlock& block);
    // Reads a whole block; nothing when the peer closed the connection.
    std::optional<DataBlock> readBlock();
    // True when the peer closed the connection (reads end of stream) within the time allowed.
    bool closedByPeer(int timeoutMs = 5000);
    bool readable(int timeoutMs);
    // True once the process at the other end has read every byte written here: nothing waits
    // unacknowledged in this socket's queue, nor unread in the peer's (as the kernel tells of a
    // peer on this machine, IPv4).
    bool readByPeer() const;
    int fd() const { return fd_; }
    void close();

  private:
    bool readExactly(uint8_t* out, size_t n);
    int fd_ = -1;
};

}  // namespace velmora::test
