#include "transport/TlsStream.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace velmora {

// What the stream's own socket BIO works on.
struct TlsStream::Channel {
    int fd = -1;
    std::vector<uint8_t> first;  // the first raw bytes received
};

namespace {

constexpr size_t kFirstBytesKept = 64;

// OpenSSL's own socket BIO writes with write(), which raises SIGPIPE on a closed connection and
// would end a client program that does not ignore it; this one sends with MSG_NOSIGNAL, as the
// plain transport does, and keeps the first bytes received.
int channelWrite(BIO* bio, const char* data, int n) {
    auto* channel = static_cast<TlsStream::Channel*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    ssize_t r;
    do {
        r = ::send(channel->fd, data, static_cast<size_t>(n), MSG_NOSIGNAL);
    } while (r < 0 && errno == EINTR);
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) BIO_set_retry_write(bio);
    return static_cast<int>(r);
}

int channelRead(BIO* bio, char* out, int n) {
    auto* channel = static_cast<TlsStream::Channel*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    ssize_t r;
    do {
        r = ::recv(channel->fd, out, static_cast<size_t>(n), 0);
    } while (r < 0 && errno == EINTR);
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) BIO_set_retry_read(bio);
    if (r > 0 && channel->first.size() < kFirstBytesKept) {
        size_t keep = std::min(kFirstBytesKept - channel->first.size(), static_cast<size_t>(r));
        channel->first.insert(channel->first.end(), out, out + keep);
    }
    return static_cast<int>(r);
}

long channelControl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int channelCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* channelMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "velmora socket");
        BIO_meth_set_write(m, channelWrite);
        BIO_meth_set_read(m, channelRead);
        BIO_meth_set_ctrl(m, channelControl);
        BIO_meth_set_create(m, channelCreate);
        return m;
    }();
    return method;
}

}  // namespace

TlsStream::TlsStream(std::shared_ptr<const TlsContext> context, int fd, const std::string& peerName)
    : context_(std::move(context)), channel_(std::make_unique<Channel>()) {
    ERR_clear_error();
    channel_->fd = fd;
    ssl_ = SSL_new(context_->native());
    BIO* bio = ssl_ ? BIO_new(channelMethod()) : nullptr;
    if (!bio) {
        SSL_free(ssl_);
        throw TlsError("TLS: " + takeTlsErrors());
    }
    BIO_set_data(bio, channel_.get());
    SSL_set_bio(ssl_, bio, bio);
    SSL_set_msg_callback(ssl_, &TlsStream::onMessage);
    SSL_set_msg_callback_arg(ssl_, this);
    if (context_->isServer()) {
        SSL_set_accept_state(ssl_);
        return;
    }
    SSL_set_connect_state(ssl_);
    if (peerName.empty()) return;
    in_addr address{};
    if (inet_pton(AF_INET, peerName.c_str(), &address) == 1) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), peerName.c_str());
    } else {
        // SSL_set_tlsext_host_name, without the macro's C cast.
        SSL_ctrl(ssl_, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                 const_cast<char*>(peerName.c_str()));
        SSL_set1_host(ssl_, peerName.c_str());
    }
}

TlsStream::~TlsStream() {
    SSL_free(ssl_);
    ERR_clear_error();
}

void TlsStream::onMessage(int writing, int, int contentType, const void*, size_t, ssl_st*, void* arg) {
    // Record headers are reported before they are checked; messages only once they parsed.
    if (!writing && (contentType == SSL3_RT_HANDSHAKE || contentType == SSL3_RT_ALERT))
        static_cast<TlsStream*>(arg)->peerSpokeTls_ = true;
}

TlsStream::Result TlsStream::outcome(int rc) {
    if (rc == 1) {
        ERR_clear_error();
        return Result::Done;
    }
    int error = SSL_get_error(ssl_, rc);
    switch (error) {
        case SSL_ERROR_WANT_READ:
            ERR_clear_error();
            return Result::WantRead;
        case SSL_ERROR_WANT_WRITE:
            ERR_clear_error();
            return Result::WantWrite;
        case SSL_ERROR_ZERO_RETURN:
            ERR_clear_error();
            return Result::Closed;
        case SSL_ERROR_SYSCALL:
            failure_ = errno ? std::strerror(errno) : "connection closed";
            ERR_clear_error();
            return Result::Closed;
        default:
            if (ERR_GET_REASON(ERR_peek_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
                failure_ = "connection closed";
                ERR_clear_error();
                return Result::Closed;
            }
            failure_ = takeTlsErrors();
            return Result::Failed;
    }
}

TlsStream::Result TlsStream::handshake() {
    ERR_clear_error();
    errno = 0;
    return outcome(SSL_do_handshake(ssl_));
}

TlsStream::Result TlsStream::read(uint8_t* out, size_t n, size_t& got) {
    ERR_clear_error();
    errno = 0;
    got = 0;
    int rc = SSL_read_ex(ssl_, out, n, &got);
    return outcome(rc);
}

TlsStream::Result TlsStream::write(const uint8_t* data, size_t n, size_t& put) {
    ERR_clear_error();
    errno = 0;
    put = 0;
    int rc = SSL_write_ex(ssl_, data, n, &put);
    return outcome(rc);
}

TlsStream::Result TlsStream::peek() {
    ERR_clear_error();
    errno = 0;
    uint8_t byte;
    size_t got = 0;
    int rc = SSL_peek_ex(ssl_, &byte, 1, &got);
    return outcome(rc);
}

size_t TlsStream::buffered() const {
    int n = SSL_pending(ssl_);
    return n > 0 ? static_cast<size_t>(n) : 0;
}

void TlsStream::close() {
    ERR_clear_error();
    if (SSL_is_init_finished(ssl_)) SSL_shutdown(ssl_);
    ERR_clear_error();
}

const std::vector<uint8_t>& TlsStream::firstBytes() const {
    return channel_->first;
}

std::string TlsStream::peerFingerprint() const {
    return certificateFingerprint(SSL_get0_peer_certificate(ssl_));
}

std::string TlsStream::peerSubject() const {
    X509* certificate = SSL_get0_peer_certificate(ssl_);
    if (!certificate) return {};
    char line[512] = "";
    X509_NAME_oneline(X509_get_subject_name(certificate), line, sizeof line);
    return line;
}

bool TlsStream::peerTrusted() const {
    return SSL_get0_peer_certificate(ssl_) && SSL_get_verify_result(ssl_) == X509_V_OK;
}

std::string TlsStream::description() const {
    return std::string(SSL_get_version(ssl_)) + " " + SSL_get_cipher_name(ssl_);
}

}  // namespace velmora
