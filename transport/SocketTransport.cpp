#include "transport/SocketTransport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

#include "transport/Errors.h"
#include "transport/TlsStream.h"
#include "transport/VariantCodec.h"

namespace velmora {

namespace {

std::mutex& interceptRegistryLock() {
    static std::mutex m;
    return m;
}

std::map<std::string, DataInterceptFactory>& interceptRegistry() {
    static std::map<std::string, DataInterceptFactory> registry;
    return registry;
}

// First read of a growing payload; past it, the buffer follows the bytes that actually arrive.
constexpr size_t kInitialPayloadChunk = size_t(1) << 20;

// The largest error block a plain server's refusal is read from, when a TLS client meets one.
constexpr size_t kLargestRefusal = size_t(64) << 10;

using TlsResult = TlsStream::Result;

void setNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

}  // namespace

void registerDataIntercept(const std::string& classId, DataInterceptFactory factory) {
    std::lock_guard<std::mutex> guard(interceptRegistryLock());
    interceptRegistry()[classId] = std::move(factory);
}

std::unique_ptr<DataIntercept> createDataIntercept(const std::string& classId) {
    std::lock_guard<std::mutex> guard(interceptRegistryLock());
    auto it = interceptRegistry().find(classId);
    if (it == interceptRegistry().end() || !it->second) return nullptr;
    return it->second();
}

void setNoDelay(int fd) {
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

SocketTransport::SocketTransport(std::string host, std::string address, uint16_t port,
                                 std::string interceptGuid)
    : host_(std::move(host)),
      address_(std::move(address)),
      port_(port),
      interceptGuid_(std::move(interceptGuid)) {}

std::unique_ptr<SocketTransport> SocketTransport::adopt(int fd) {
    std::unique_ptr<SocketTransport> t(new SocketTransport());
    t->adopted_ = true;
    t->fd_.store(fd);
    setNoDelay(fd);
    return t;
}

SocketTransport::~SocketTransport() {
    closeSocket();
}

bool SocketTransport::connected() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return fd_ >= 0;
}

void SocketTransport::setConnected(bool value) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (value == (fd_ >= 0)) {
        if (value) throw SocketError("Socket already open");
        return;
    }
    if (value)
        open();
    else
        closeSocket();
}

void SocketTransport::socketFailure(const char* api, int error) {
    closeSocket();
    // The client's windows show the text they always showed for a failed socket; the server's log
    // reads as this platform's own.
    if (adopted_) throw SocketError(formatText("%s failed: %s", api, systemErrorText(error).c_str()));
    throw SocketError(
        formatText("Windows socket error: %s (%d), on API '%s'", std::strerror(error), error, api));
}

void SocketTransport::open() {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port_);
    bool resolved = false;
    if (!host_.empty()) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(host_.c_str(), nullptr, &hints, &found) == 0 && found) {
            peer.sin_addr = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr;
            resolved = true;
        }
        if (found) freeaddrinfo(found);
    } else {
        resolved = inet_pton(AF_INET, address_.c_str(), &peer.sin_addr) == 1;
    }
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw SocketError("Can't create new socket");
    fd_ = fd;
    // An unknown name or a malformed address must not fall through to 0.0.0.0, which this
    // platform would take for the local host.
    if (!resolved) socketFailure("connect", EADDRNOTAVAIL);
    int rc;
    do {
        rc = ::connect(fd_, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) socketFailure("connect", errno);
    setNoDelay(fd_);
    if (clientTls_) startClientTls();
}

void SocketTransport::closeSocket() {
    std::lock_guard<std::mutex> guard(fdLock_);
    if (tls_) {
        tls_->close();
        tls_.reset();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void SocketTransport::abort() {
    // Not the socket's lock: the reader holding it is the one to wake. The descriptor lock keeps
    // the number from being closed (and reused by another socket) under the shutdown.
    std::lock_guard<std::mutex> guard(fdLock_);
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

std::string SocketTransport::peerName() const {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (fd_ < 0 || getpeername(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return "?";
    char text[INET_ADDRSTRLEN] = "?";
    inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    return formatText("%s:%u", text, ntohs(addr.sin_port));
}

DataIntercept* SocketTransport::intercept() {
    if (interceptGuid_.empty()) return nullptr;
    if (!interceptTried_) {
        interceptTried_ = true;
        try {
            intercept_ = createDataIntercept(interceptGuid_);
        } catch (...) {
            intercept_.reset();  // blocks then pass unchanged
        }
    }
    return intercept_.get();
}

int SocketTransport::send(DataBlock& block) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (fd_ < 0) throw SocketConnectionError("Error writing to socket");
    if (DataIntercept* i = intercept()) i->dataOut(block);
    const Bytes& head = block.headForSending();
    const Bytes& tail = block.tail();
    if (tls_) {
        writeEncrypted(head.data(), head.size());
        writeEncrypted(tail.data(), tail.size());
        return 0;
    }
    iovec parts[2] = {{const_cast<uint8_t*>(head.data()), head.size()},
                      {const_cast<uint8_t*>(tail.data()), tail.size()}};
    size_t first = 0;
    size_t count = tail.empty() ? 1 : 2;
    while (first < count) {
        msghdr message{};
        message.msg_iov = parts + first;
        message.msg_iovlen = count - first;
        ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            socketFailure("send", errno);
        }
        // The kernel may take fewer bytes than offered: go on from where it stopped.
        auto left = static_cast<size_t>(n);
        while (first < count && left >= parts[first].iov_len) left -= parts[first++].iov_len;
        if (first < count) {
            parts[first].iov_base = static_cast<uint8_t*>(parts[first].iov_base) + left;
            parts[first].iov_len -= left;
        }
    }
    return 0;
}

void SocketTransport::setReadDeadline(std::optional<std::chrono::steady_clock::time_point> deadline,
                                      std::string reason) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    deadline_ = deadline;
    deadlineReason_ = std::move(reason);
}

void SocketTransport::awaitSocket(short events, Wait what) {
    int64_t wait = what == Wait::FirstByte ? -1 : stallTimeoutMs_;
    bool deadlineFirst = false;
    if (deadline_) {
        int64_t left = std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                *deadline_ - std::chrono::steady_clock::now())
                                                .count());
        deadlineFirst = wait < 0 || left <= wait;
        if (deadlineFirst) wait = left;
    }
    // Without a limit a plain socket's read simply blocks; an encrypted one never blocks, so it
    // always waits here.
    if ((wait >= 0 || tls_) && !pollFor(events, wait)) {
        closeSocket();
        if (deadlineFirst) throw SocketConnectionError(deadlineReason_);
        throw SocketConnectionError(
            formatText("%s stalled: no bytes for %d s%s", what == Wait::Handshake ? "TLS handshake" : "Block",
                       stallTimeoutMs_ / 1000, what == Wait::Handshake ? "" : " in the middle of a block"));
    }
    // Readable bytes past the deadline are left unread: a steady trickle must not outlast it.
    if (deadline_ && std::chrono::steady_clock::now() >= *deadline_) {
        closeSocket();
        throw SocketConnectionError(deadlineReason_);
    }
}

void SocketTransport::readFully(uint8_t* out, size_t n) {
    size_t got = 0;
    short want = POLLIN;
    while (got < n) {
        // Bytes TLS has decrypted already never make the socket readable.
        if (!tls_ || tls_->buffered() == 0) awaitSocket(want, Wait::Block);
        if (tls_) {
            size_t moved = 0;
            switch (tls_->read(out + got, n - got, moved)) {
                case TlsResult::Done:
                    got += moved;
                    want = POLLIN;
                    break;
                case TlsResult::WantRead:
                    want = POLLIN;
                    break;
                case TlsResult::WantWrite:
                    want = POLLOUT;
                    break;
                case TlsResult::Closed:
                    closeSocket();
                    throw SocketConnectionError("Error reading from socket");
                case TlsResult::Failed: {
                    std::string why = tls_->failure();
                    closeSocket();
                    throw TlsError("TLS failure: " + why);
                }
            }
            continue;
        }
        ssize_t r = ::recv(fd_, out + got, n - got, 0);
        if (r < 0) {
            if (errno == EINTR) continue;
            // A reset is the peer going away, like an orderly close.
            if (errno != ECONNRESET) socketFailure("recv", errno);
            closeSocket();
            throw SocketConnectionError("Error reading from socket");
        }
        if (r == 0) {
            closeSocket();
            throw SocketConnectionError("Error reading from socket");
        }
        got += static_cast<size_t>(r);
    }
}

void SocketTransport::writeEncrypted(const uint8_t* data, size_t n) {
    size_t done = 0;
    while (done < n) {
        size_t moved = 0;
        switch (tls_->write(data + done, n - done, moved)) {
            case TlsResult::Done:
                done += moved;
                break;
            case TlsResult::WantRead:
                pollFor(POLLIN, -1);
                break;
            case TlsResult::WantWrite:
                pollFor(POLLOUT, -1);
                break;
            case TlsResult::Closed:
            case TlsResult::Failed:
                closeSocket();
                throw SocketConnectionError("Error writing to socket");
        }
    }
}

bool SocketTransport::pollFor(short events, int64_t ms) {
    int timeout = ms < 0 ? -1 : static_cast<int>(std::min<int64_t>(ms, int64_t{24} * 3600 * 1000));
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout);
    for (;;) {
        pollfd p{fd_, events, 0};
        int rc = ::poll(&p, 1, timeout);
        if (rc > 0) return true;
        if (rc == 0) return false;
        if (errno != EINTR) return true;
        if (timeout >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            timeout = static_cast<int>(std::max<int64_t>(0, left.count()));
        }
    }
}

bool SocketTransport::waitReadable(int64_t ms) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (fd_ < 0) return true;  // the next read reports the closed socket
    if (!tls_) return pollFor(POLLIN, ms);
    // Readable is not enough: the bytes may be part of a record, or a record without data.
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max<int64_t>(0, ms));
    for (;;) {
        if (tls_->buffered() > 0) return true;
        int64_t left = ms < 0 ? -1
                              : std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                         until - std::chrono::steady_clock::now())
                                                         .count());
        if (!pollFor(POLLIN, left)) return false;
        TlsResult r = tls_->peek();
        // Data, or a close or failure that the next read reports.
        if (r != TlsResult::WantRead) return true;
    }
}

bool SocketTransport::hasBufferedInput() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return tls_ && tls_->buffered() > 0;
}

bool SocketTransport::encrypted() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return tls_ != nullptr;
}

std::string SocketTransport::encryption() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return tls_ ? tls_->description() : std::string();
}

std::string SocketTransport::peerFingerprint() const {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return peerFingerprint_;
}

uint8_t SocketTransport::peekFirstByte() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (;;) {
        if (fd_ < 0) throw SocketConnectionError("Error reading from socket");
        awaitSocket(POLLIN, Wait::FirstByte);
        uint8_t first = 0;
        ssize_t r = ::recv(fd_, &first, 1, MSG_PEEK);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
            closeSocket();
            throw SocketConnectionError("Error reading from socket");
        }
        return first;
    }
}

void SocketTransport::setClientTls(std::shared_ptr<const TlsContext> context, CertificateVerifier verifier,
                                   int handshakeTimeoutMs) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    clientTls_ = std::move(context);
    verifier_ = std::move(verifier);
    handshakeTimeoutMs_ = handshakeTimeoutMs;
}

int SocketTransport::runHandshake() {
    for (;;) {
        TlsResult r = tls_->handshake();
        if (r == TlsResult::WantRead)
            awaitSocket(POLLIN, Wait::Handshake);
        else if (r == TlsResult::WantWrite)
            awaitSocket(POLLOUT, Wait::Handshake);
        else
            return static_cast<int>(r);
    }
}

void SocketTransport::startServerTls(std::shared_ptr<const TlsContext> context) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (fd_ < 0) throw SocketConnectionError("Error reading from socket");
    setNonBlocking(fd_);
    tls_ = std::make_unique<TlsStream>(std::move(context), fd_);
    auto r = static_cast<TlsResult>(runHandshake());
    if (r == TlsResult::Done) return;
    std::string why = tls_->failure();
    closeSocket();
    if (r == TlsResult::Closed)
        throw SocketConnectionError("TLS handshake not finished: the peer closed the connection");
    throw TlsError("TLS handshake failed: " + why);
}

void SocketTransport::startClientTls() {
    setNonBlocking(fd_);
    tls_ = std::make_unique<TlsStream>(clientTls_, fd_, host_.empty() ? address_ : host_);
    // The handshake has a deadline of its own: a server that takes the connection and never
    // answers must not hold the client for ever.
    struct Restore {
        SocketTransport& t;
        std::optional<std::chrono::steady_clock::time_point> deadline;
        std::string reason;
        ~Restore() {
            t.deadline_ = deadline;
            t.deadlineReason_ = std::move(reason);
        }
    } restore{*this, deadline_, deadlineReason_};
    deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(handshakeTimeoutMs_);
    deadlineReason_ = formatText("加密连接超时 (no TLS handshake within %d s)", handshakeTimeoutMs_ / 1000);
    auto r = static_cast<TlsResult>(runHandshake());
    if (r == TlsResult::Done) {
        checkServerCertificate();
        return;
    }
    if (tls_->peerSpokeTls()) {
        std::string why = tls_->failure();
        closeSocket();
        throw TlsError("加密连接失败 (TLS handshake failed): " + why);
    }
    std::vector<uint8_t> start = tls_->firstBytes();
    std::optional<std::string> refusal = plainRefusal(std::move(start));
    closeSocket();
    if (refusal) throw RemoteError(*refusal);
    throw TlsNotOffered();
}

void SocketTransport::checkServerCertificate() {
    ServerCertificate seen;
    seen.host = host_.empty() ? address_ : host_;
    seen.port = port_;
    seen.fingerprint = tls_->peerFingerprint();
    seen.subject = tls_->peerSubject();
    seen.trustedByCa = tls_->peerTrusted();
    peerFingerprint_ = seen.fingerprint;
    bool accepted = false;
    try {
        accepted = verifier_ ? verifier_(seen) : seen.trustedByCa;
    } catch (...) {
        closeSocket();
        throw;
    }
    if (accepted) return;
    closeSocket();
    throw TlsError("服务器证书未获信任，连接已取消 (the server's certificate was not accepted)");
}

std::optional<std::string> SocketTransport::plainRefusal(std::vector<uint8_t> bytes) {
    // Reads on up to need bytes while the handshake's deadline lasts; false when they do not come.
    auto readTo = [&](size_t need) {
        while (bytes.size() < need) {
            int64_t left = std::chrono::duration_cast<std::chrono::milliseconds>(
                               *deadline_ - std::chrono::steady_clock::now())
                               .count();
            if (left <= 0 || !pollFor(POLLIN, left)) return false;
            uint8_t chunk[4096];
            ssize_t r = ::recv(fd_, chunk, std::min(sizeof chunk, need - bytes.size()), 0);
            if (r < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
            if (r <= 0) return false;
            bytes.insert(bytes.end(), chunk, chunk + r);
        }
        return true;
    };
    // A server that refused at once may have closed before the handshake read its answer.
    if (!readTo(DataBlock::kHeaderSize)) return std::nullopt;
    uint32_t signature;
    uint32_t size;
    std::memcpy(&signature, bytes.data(), 4);
    std::memcpy(&size, bytes.data() + 4, 4);
    if (signature != replySignature(Action::Error) || size > kLargestRefusal) return std::nullopt;
    if (!readTo(DataBlock::kHeaderSize + size)) return std::nullopt;
    bytes.resize(DataBlock::kHeaderSize + size);
    try {
        DataBlock block = DataBlock::fromReceived(Bytes(bytes.data(), bytes.size()));
        return readText(block);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

namespace {

// The share of a byte budget one block's buffer holds; handed back when the block is done.
class BudgetCharge {
  public:
    explicit BudgetCharge(ByteBudget* budget) : budget_(budget) {}
    ~BudgetCharge() {
        if (budget_) budget_->give(held_);
    }
    BudgetCharge(const BudgetCharge&) = delete;
    BudgetCharge& operator=(const BudgetCharge&) = delete;
    // Holds total bytes in all; false when the budget has no room for them.
    bool cover(size_t total) {
        if (!budget_ || total <= held_) return true;
        if (!budget_->take(total - held_)) return false;
        held_ = total;
        return true;
    }

  private:
    ByteBudget* budget_;
    size_t held_ = 0;
};

}  // namespace

std::optional<DataBlock> SocketTransport::receive(bool waitForInput, int) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (fd_ < 0) throw SocketConnectionError("Error reading from socket");
    if (tls_) {
        if (!waitReadable(waitForInput ? -1 : 0)) return std::nullopt;
    } else {
        pollfd p{fd_, POLLIN, 0};
        int rc;
        do {
            rc = ::poll(&p, 1, waitForInput ? -1 : 0);
        } while (rc < 0 && errno == EINTR);
        if (rc < 0) throw SocketConnectionError(std::strerror(errno));
        if (rc == 0) return std::nullopt;
    }

    uint8_t header[DataBlock::kHeaderSize];
    readFully(header, 4);
    uint32_t signature;
    std::memcpy(&signature, header, 4);
    if (!DataBlock::isValidSignature(signature)) {
        closeSocket();
        // A load balancer's PROXY header (either version) sent to a server that does not trust
        // the sender as one: say so, since it is a set-up fault more often than an attack.
        bool proxyHeader = std::memcmp(header, "\r\n\r\n", 4) == 0 || std::memcmp(header, "PROX", 4) == 0;
        // Likewise a TLS client meeting a side that serves plain connections only.
        bool tlsHandshake = header[0] == 0x16 && header[1] == 0x03;
        throw SocketConnectionError(
            proxyHeader    ? "Invalid data packet: a PROXY protocol header from a peer not trusted as a proxy"
            : tlsHandshake ? "Invalid data packet: a TLS handshake where plain blocks were expected"
                           : "Invalid data packet");
    }
    readFully(header + 4, 4);
    uint32_t size;
    std::memcpy(&size, header + 4, 4);
    if (size > maxPayload_) {
        closeSocket();
        throw SocketConnectionError(oversizeReason_.empty() ? "Invalid data packet" : oversizeReason_);
    }

    BudgetCharge charge(budget_);
    auto reserve = [&](Bytes& bytes, size_t capacity) {
        if (!charge.cover(capacity)) {
            closeSocket();
            throw SocketConnectionError(
                formatText("Memory for unfinished blocks exhausted (limit %zu MB)", budget_->limit() >> 20));
        }
        bytes.reserve(capacity);
    };
    Bytes buffer;
    reserve(buffer, DataBlock::kHeaderSize + std::min<size_t>(size, kInitialPayloadChunk));
    buffer.append(header, sizeof header);
    size_t total = DataBlock::kHeaderSize + size;
    while (buffer.size() < total) {
        size_t room = buffer.capacity() - buffer.size();
        if (room == 0) {
            reserve(buffer, std::min(total, buffer.capacity() * 2));
            room = buffer.capacity() - buffer.size();
        }
        size_t chunk = std::min(room, total - buffer.size());
        size_t at = buffer.size();
        buffer.resize(at + chunk);
        readFully(buffer.data() + at, chunk);
    }
    DataBlock block = DataBlock::fromReceived(std::move(buffer));
    if (DataIntercept* i = intercept()) i->dataIn(block);
    return block;
}

}  // namespace velmora
