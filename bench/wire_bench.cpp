// Measures the wire against raw loopback TCP in one run:
//  (a) the median round trip of a small invoke (one integer in, one integer out) through
//      SocketConnection and its transport thread, against a 16-byte ping-pong on plain sockets;
//  (b) the throughput of a 64 MiB byte-array reply, against a raw bulk transfer of the same size.
// The serving side runs in this process on its own thread behind a real TCP socket.
// Both measurements of ours run once more over TLS, the serving side taking the handshake as the
// server does, with a certificate made in a temporary folder: the TLS figures are set against
// ours in the clear, the same SocketConnection path with and without encryption.
// Last lines: RESULT small_call_ratio=.. bulk_ratio=..
//             RESULT tls_small_call_ratio=.. tls_bulk_ratio=..
// --only tls repeats the TLS run alone (for a profiler).
// --busy-core measures ours and the raw baseline in the clear once more while a process of the
// bench's own spins on one CPU, and prints before the others
//             RESULT busy_small_call_ratio=.. busy_bulk_ratio=..
// (with --only tls: the TLS run beside the spinner).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#include "bench/BusyCore.h"
#include "server/Certificate.h"
#include "tests/support/RawSocket.h"
#include "transport/DispatchAppServer.h"
#include "transport/ServerConnection.h"
#include "transport/SocketConnection.h"
#include "transport/SocketListener.h"

using namespace velmora;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSmallCalls = 3000;
constexpr int kWarmup = 200;
constexpr size_t kBulkBytes = size_t(64) << 20;
constexpr int kBulkRounds = 5;

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

class BenchObject : public DispatchObject {
  public:
    BenchObject() {
        addMember(1, "Inc", 1, [](DispatchCall& c) { c.setResult(Variant(c.arg(0).toInt() + 1)); });
        addMember(2, "Bulk", 0, [](DispatchCall& c) {
            static const Bytes payload = [] {
                Bytes b(kBulkBytes);
                std::memset(b.data(), 0x5A, b.size());
                return b;
            }();
            c.setResult(Variant::byteArray(payload));
        });
    }
};

bool readAll(int fd, void* out, size_t n) {
    auto* p = static_cast<uint8_t*>(out);
    while (n > 0) {
        ssize_t r = ::recv(fd, p, n, 0);
        if (r <= 0) return false;
        p += r;
        n -= static_cast<size_t>(r);
    }
    return true;
}

bool writeAll(int fd, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Raw baseline: a peer thread answers 16-byte pings and streams the bulk on request.
struct RawPeer {
    SocketListener listener{"127.0.0.1", 0};
    std::thread thread;
    RawPeer() {
        thread = std::thread([this] {
            int fd = listener.accept();
            setNoDelay(fd);
            std::vector<uint8_t> bulk(kBulkBytes, 0x5A);
            uint8_t msg[16];
            while (readAll(fd, msg, sizeof msg)) {
                if (msg[0] == 'B') {
                    writeAll(fd, bulk.data(), bulk.size());
                } else {
                    writeAll(fd, msg, sizeof msg);
                }
            }
            ::close(fd);
        });
    }
    ~RawPeer() { thread.join(); }
};

struct Figures {
    double smallCall;  // seconds, median
    double bulk;       // bytes per second, best round
};

Figures measureRaw() {
    RawPeer peer;
    test::RawSocket socket = test::RawSocket::connectTo(peer.listener.port());
    const int fd = socket.fd();
    setNoDelay(fd);
    uint8_t msg[16] = {'P'};
    std::vector<double> times;
    for (int i = 0; i < kWarmup + kSmallCalls; ++i) {
        auto start = Clock::now();
        writeAll(fd, msg, sizeof msg);
        readAll(fd, msg, sizeof msg);
        if (i >= kWarmup) times.push_back(seconds(Clock::now() - start));
    }
    std::vector<uint8_t> bulk(kBulkBytes);
    double best = 0;
    for (int round = 0; round < kBulkRounds; ++round) {
        uint8_t request[16] = {'B'};
        auto start = Clock::now();
        writeAll(fd, request, sizeof request);
        readAll(fd, bulk.data(), bulk.size());
        best = std::max(best, double(kBulkBytes) / seconds(Clock::now() - start));
    }
    return {median(times), best};
}

// A self-signed certificate for 127.0.0.1 made as the server's cert command makes one, in a
// temporary folder removed with it.
struct BenchCertificate {
    BenchCertificate() {
        char pattern[] = "/tmp/velmora-wire-bench-XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        dir = pattern;
        server::CertificateRequest request;
        request.names = {"127.0.0.1"};
        request.certificateFile = dir + "/cert.pem";
        request.keyFile = dir + "/key.pem";
        fingerprint = server::createSelfSignedCertificate(request);
        TlsServerSettings settings;
        settings.certificateFile = request.certificateFile;
        settings.keyFile = request.keyFile;
        context = TlsContext::forServer(settings);
    }
    ~BenchCertificate() { std::filesystem::remove_all(dir); }
    BenchCertificate(const BenchCertificate&) = delete;
    BenchCertificate& operator=(const BenchCertificate&) = delete;

    std::string dir;
    std::string fingerprint;
    std::shared_ptr<const TlsContext> context;
};

// tls: none for the clear; else the serving side's context, whose certificate the client trusts
// by its fingerprint.
Figures measureOurs(const BenchCertificate* tls = nullptr) {
    ClassRegistry classes;
    classes.add({"{B3C0FFEE-0000-4000-8000-000000000001}", "velmora.bench", true, true,
                 [] { return std::make_shared<BenchObject>(); }});
    SocketListener listener("127.0.0.1", 0);
    std::thread server([&] {
        int fd = listener.accept();
        std::shared_ptr<SocketTransport> transport = SocketTransport::adopt(fd);
        try {
            // As the server's one port tells TLS from the clear: by the first byte.
            if (tls && transport->peekFirstByte() == 0x16) transport->startServerTls(tls->context);
            ServerConnection connection(transport, classes);
            connection.run();
        } catch (const std::exception&) {
            // the client closed
        }
    });

    Figures f{};
    {
        SocketConnection connection;
        connection.setServerName("velmora.bench");
        connection.setAddress("127.0.0.1");
        connection.setPort(listener.port());
        if (tls) {
            connection.setEncryption(SocketConnection::Encryption::Required);
            connection.setCertificateVerifier(
                [&](const ServerCertificate& seen) { return seen.fingerprint == tls->fingerprint; });
        }
        connection.open();
        if (tls && !connection.encrypted()) {
            std::fprintf(stderr, "the connection is not encrypted\n");
            std::exit(1);
        }
        const DispatchPtr& object = connection.appServer().dispatchValue();
        std::vector<double> times;
        for (int i = 0; i < kWarmup + kSmallCalls; ++i) {
            auto start = Clock::now();
            DispParams params;
            params.args.emplace_back(int32_t(i));
            Variant result;
            ExcepInfo excep;
            HResult status = object->invoke(1, 0, kDispatchMethod, params, &result, &excep);
            if (i >= kWarmup) times.push_back(seconds(Clock::now() - start));
            if (status != kOk || result.intValue() != i + 1) {
                std::fprintf(stderr, "wrong reply\n");
                std::exit(1);
            }
        }
        f.smallCall = median(times);
        for (int round = 0; round < kBulkRounds; ++round) {
            auto start = Clock::now();
            DispParams params;
            Variant result;
            ExcepInfo excep;
            object->invoke(2, 0, kDispatchMethod, params, &result, &excep);
            double elapsed = seconds(Clock::now() - start);
            if (!result.isByteArray() || result.bytes().size() != kBulkBytes) {
                std::fprintf(stderr, "wrong bulk reply\n");
                std::exit(1);
            }
            f.bulk = std::max(f.bulk, double(kBulkBytes) / elapsed);
        }
    }
    server.join();
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    bool busyCore = false, tlsOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--busy-core") == 0) {
            busyCore = true;
        } else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc &&
                   std::strcmp(argv[i + 1], "tls") == 0) {
            tlsOnly = true;
            ++i;
        } else {
            std::fprintf(stderr, "usage: wire_bench [--busy-core] [--only tls]\n");
            return 2;
        }
    }
    if (tlsOnly) {
        // For a profiler: the TLS run alone.
        std::optional<bench::BusyCore> hog;
        if (busyCore) hog.emplace();
        BenchCertificate certificate;
        Figures tls = measureOurs(&certificate);
        std::printf("over TLS: small call %.1f us, 64 MiB reply %.0f MiB/s\n", tls.smallCall * 1e6,
                    tls.bulk / (1 << 20));
        return 0;
    }
    Figures raw = measureRaw();
    Figures ours = measureOurs();
    Figures busyRaw{}, busyOurs{};
    if (busyCore) {
        bench::BusyCore hog;
        busyRaw = measureRaw();
        busyOurs = measureOurs();
    }
    BenchCertificate certificate;
    Figures tls = measureOurs(&certificate);
    std::printf("small call: ours %.1f us, raw ping-pong %.1f us (median of %d)\n", ours.smallCall * 1e6,
                raw.smallCall * 1e6, kSmallCalls);
    std::printf("64 MiB reply: ours %.0f MiB/s, raw %.0f MiB/s (best of %d)\n", ours.bulk / (1 << 20),
                raw.bulk / (1 << 20), kBulkRounds);
    if (busyCore) {
        std::printf(
            "with one core busy: small call ours %.1f us, raw %.1f us; 64 MiB reply ours %.0f MiB/s, "
            "raw %.0f MiB/s\n",
            busyOurs.smallCall * 1e6, busyRaw.smallCall * 1e6, busyOurs.bulk / (1 << 20),
            busyRaw.bulk / (1 << 20));
        std::printf("RESULT busy_small_call_ratio=%.2f busy_bulk_ratio=%.2f\n",
                    busyOurs.smallCall / busyRaw.smallCall, busyOurs.bulk / busyRaw.bulk);
    }
    std::printf("RESULT small_call_ratio=%.2f bulk_ratio=%.2f\n", ours.smallCall / raw.smallCall,
                ours.bulk / raw.bulk);
    std::printf("over TLS: small call %.1f us, 64 MiB reply %.0f MiB/s\n", tls.smallCall * 1e6,
                tls.bulk / (1 << 20));
    std::printf("RESULT tls_small_call_ratio=%.2f tls_bulk_ratio=%.2f\n", tls.smallCall / ours.smallCall,
                tls.bulk / ours.bulk);
    return 0;
}
