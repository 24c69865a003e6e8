#pragma once
// Encrypted connections to the real server: a certificate made by the server program itself in a
// folder of the test's own, a server that uses it, clients that speak TLS, a ClientHello as raw
// bytes, and a relay that keeps every byte it passes on.

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/fullstack/RawRequests.h"
#include "transport/SocketListener.h"
#include "transport/TlsStream.h"

namespace velmora::test {

// Runs the server program with args to its end; its status, and stdout and stderr in output.
inline int runServerProgram(const std::string& args, std::string* output = nullptr) {
    std::string command = std::string(VELMORA_SERVER_PATH) + " " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("popen failed");
    std::string text;
    char buffer[512];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    int status = ::pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The text after "label: " on the line that has it.
inline std::string lineValue(const std::string& text, const std::string& label) {
    size_t at = text.find(label + ": ");
    if (at == std::string::npos) return {};
    at += label.size() + 2;
    return text.substr(at, text.find('\n', at) - at);
}

// A certificate and key made by "velmora-server cert create" in a new folder, removed at the end.
struct TlsFiles {
    explicit TlsFiles(const std::string& names = "--name 127.0.0.1 --name localhost") {
        char pattern[] = "/tmp/velmora-tls-XXXXXX";
        if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        dir = pattern;
        cert = dir + "/cert.pem";
        key = dir + "/key.pem";
        std::string output;
        if (runServerProgram("cert create " + names + " --cert " + cert + " --key " + key, &output) != 0)
            throw std::runtime_error("cert create failed: " + output);
        fingerprint = lineValue(output, "SHA-256 fingerprint");
    }
    ~TlsFiles() { std::filesystem::remove_all(dir); }
    TlsFiles(const TlsFiles&) = delete;
    TlsFiles& operator=(const TlsFiles&) = delete;

    // The server options that serve with this certificate.
    std::vector<std::string> serverArgs(std::vector<std::string> more = {}) const {
        more.insert(more.begin(), {"--tls-cert", cert, "--tls-key", key});
        return more;
    }

    std::string dir, cert, key, fingerprint;
};

// A client of the test server in the given encryption mode, not logged in yet; seen collects what
// the verifier was shown, and answer is its decision.
struct TlsClient {
    TlsClient(const ServerProcess& server, SocketConnection::Encryption mode, bool answer = true,
              TlsClientSettings settings = {})
        : client(server, Client::LoggedOut) {
        client.connection.setEncryption(mode);
        client.connection.setTlsSettings(std::move(settings));
        client.connection.setCertificateVerifier([this, answer](const ServerCertificate& c) {
            seen.push_back(c);
            return answer;
        });
    }
    void login() { loginAs(client.connection); }

    Client client;
    std::vector<ServerCertificate> seen;
};

// The first flight of a TLS 1.3 client, as raw bytes: a complete ClientHello record.
inline std::vector<uint8_t> clientHello() {
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL* ssl = SSL_new(ctx);
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    SSL_set_bio(ssl, in, out);
    SSL_connect(ssl);  // wants the server's answer; the hello is written by then
    std::vector<uint8_t> bytes(BIO_ctrl_pending(out));
    BIO_read(out, bytes.data(), static_cast<int>(bytes.size()));
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    return bytes;
}

// Writes bytes, taking a connection the server closed meanwhile as a short write.
inline bool writeAll(RawSocket& socket, const std::vector<uint8_t>& bytes) {
    try {
        socket.writeBytes(bytes.data(), bytes.size());
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// True when the peer closes the connection within the time allowed, whatever it sends before
// (a TLS alert, say).
inline bool endsSoon(RawSocket& socket, std::chrono::milliseconds within = std::chrono::seconds(10)) {
    auto until = std::chrono::steady_clock::now() + within;
    for (;;) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !socket.readable(static_cast<int>(left.count()))) return false;
        char buffer[512];
        if (::recv(socket.fd(), buffer, sizeof buffer, 0) <= 0) return true;
    }
}

// A TLS client spoken by hand over a raw socket, for peers that misbehave inside TLS.
class RawTls {
  public:
    // preamble: bytes sent in the clear before the handshake (a proxy's header).
    explicit RawTls(uint16_t port, const std::vector<uint8_t>& preamble = {})
        : socket_(RawSocket::connectTo(port)), stream_(TlsContext::forClient({}), socket_.fd(), "127.0.0.1") {
        writeAll(socket_, preamble);
        int flags = fcntl(socket_.fd(), F_GETFL);
        fcntl(socket_.fd(), F_SETFL, flags | O_NONBLOCK);
    }
    // Completes the handshake; false when the server ended it.
    bool handshake() {
        return drive([&] { return stream_.handshake(); });
    }
    // Writes every byte inside TLS; false when the server closed.
    bool write(const std::vector<uint8_t>& bytes) {
        size_t done = 0;
        return drive([&] {
            while (done < bytes.size()) {
                size_t put = 0;
                TlsStream::Result r = stream_.write(bytes.data() + done, bytes.size() - done, put);
                if (r != TlsStream::Result::Done) return r;
                done += put;
            }
            return TlsStream::Result::Done;
        });
    }
    // True when the server closes within the time allowed.
    bool closedByServer() {
        uint8_t byte;
        size_t got = 0;
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            TlsStream::Result r = stream_.read(&byte, 1, got);
            if (r == TlsStream::Result::Closed || r == TlsStream::Result::Failed) return true;
            if (r == TlsStream::Result::WantRead) socket_.readable(100);
        }
        return false;
    }

  private:
    template <typename Step>
    bool drive(Step step) {
        for (int rounds = 0; rounds < 10000; ++rounds) {
            TlsStream::Result r = step();
            if (r == TlsStream::Result::Done) return true;
            if (r == TlsStream::Result::Closed || r == TlsStream::Result::Failed) return false;
            pollfd p{socket_.fd(), static_cast<short>(r == TlsStream::Result::WantRead ? POLLIN : POLLOUT),
                     0};
            ::poll(&p, 1, 1000);
        }
        return false;
    }

    RawSocket socket_;
    TlsStream stream_;
};

// Passes bytes between clients and the server and keeps all of them, both ways.
class ByteRelay {
  public:
    explicit ByteRelay(uint16_t serverPort) : listener_("127.0.0.1", 0), serverPort_(serverPort) {
        acceptor_ = std::thread([this] {
            for (int fd; (fd = listener_.accept()) >= 0;) pairs_.emplace_back([this, fd] { pass(fd); });
        });
    }
    ~ByteRelay() {
        stopping_ = true;
        listener_.stop();
        acceptor_.join();
        for (std::thread& t : pairs_) t.join();
    }
    uint16_t port() const { return listener_.port(); }
    std::string seen() {
        std::lock_guard<std::mutex> guard(lock_);
        return seen_;
    }

  private:
    void pass(int client) {
        RawSocket server = RawSocket::connectTo(serverPort_);
        RawSocket near(client);
        pollfd fds[2] = {{near.fd(), POLLIN, 0}, {server.fd(), POLLIN, 0}};
        while (!stopping_) {
            if (::poll(fds, 2, 200) < 0) return;
            for (int i = 0; i < 2; ++i) {
                if (!fds[i].revents) continue;
                char buffer[16384];
                ssize_t n = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
                if (n <= 0) return;  // either side gone: both close
                {
                    std::lock_guard<std::mutex> guard(lock_);
                    seen_.append(buffer, static_cast<size_t>(n));
                }
                if (::send(fds[1 - i].fd, buffer, static_cast<size_t>(n), MSG_NOSIGNAL) != n) return;
            }
        }
    }

    SocketListener listener_;
    uint16_t serverPort_;
    std::thread acceptor_;
    std::vector<std::thread> pairs_;
    std::atomic<bool> stopping_{false};
    std::mutex lock_;
    std::string seen_;
};

// text as the wire carries it in a value: UTF-16LE.
inline std::string utf16(const std::string& text) {
    DataBlock block(0xDA02);
    writeText(block, text);
    std::string bytes(reinterpret_cast<const char*>(block.payload()), block.payloadSize());
    return bytes.substr(8);  // after the tag and the count
}

}  // namespace velmora::test
