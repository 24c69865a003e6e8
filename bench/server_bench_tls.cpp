// What encryption costs on the real server, one server with TLS allowed serving both kinds of
// connection on its one port, in one run:
//  (a) opening the view on every line and reading every field as text, as server_bench's open
//      does, over TLS against in the clear (best of the rounds on either side, alternating);
//  (b) a login from nothing: TCP connect, TLS handshake (certificate checked against its
//      fingerprint, as a client that trusts it on first use does), the server object, then the
//      login's own two statements (the user list, then the password check, which writes the
//      login's audit row). The password check verifies an Argon2id hash, and the hash's parameters
//      travel in the stored hash: for this measurement the administrator's hash is made anew with
//      libsodium's minimum work and memory, and that check's own time, measured in this process,
//      is subtracted. What is left is the handshake plus the login's statements. The same login
//      in the clear is measured beside it, so the handshake's share shows.

#include <sodium.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/ServerBench.h"
#include "bench/ServerChild.h"
#include "server/Certificate.h"
#include "server/PasswordHash.h"

namespace velmora::bench {

namespace {

constexpr int kOpenRounds = 3;
constexpr int kLogins = 40;  // on either side
constexpr int kHashChecks = 50;
constexpr const char* kAdministrator = "管理员";
constexpr const char* kPassword = "vantu";

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// The administrator's hash at the least work libsodium allows for Argon2id.
std::string cheapestHash() {
    char out[crypto_pwhash_STRBYTES];
    if (sodium_init() < 0 || crypto_pwhash_str_alg(out, kPassword, std::char_traits<char>::length(kPassword),
                                                   crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN,
                                                   crypto_pwhash_ALG_ARGON2ID13) != 0)
        return {};
    return out;
}

bool storeHash(const std::string& database, const std::string& hash) {
    sqlite3* db = nullptr;
    sqlite3_stmt* update = nullptr;
    bool ok = sqlite3_open(database.c_str(), &db) == SQLITE_OK &&
              sqlite3_prepare_v2(db, "update user1 set password1 = ? where username = ?", -1, &update,
                                 nullptr) == SQLITE_OK;
    if (ok) {
        sqlite3_busy_timeout(db, 10000);
        sqlite3_bind_text(update, 1, hash.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(update, 2, kAdministrator, -1, SQLITE_STATIC);
        ok = sqlite3_step(update) == SQLITE_DONE && sqlite3_changes(db) == 1;
    }
    sqlite3_finalize(update);
    sqlite3_close(db);
    return ok;
}

// Median seconds of the server's own password check on hash.
double checkTime(const std::string& hash, int times) {
    std::vector<double> samples;
    for (int i = 0; i < times; ++i) {
        auto start = Clock::now();
        if (!server::verifyPassword(hash, kPassword)) return -1;
        samples.push_back(seconds(Clock::now() - start));
    }
    return median(samples);
}

// Seconds to open the view and read every field as text; -1 when it holds other than lines rows
// or the connection is not encrypted as asked.
double openView(uint16_t port, const std::string& fingerprint, int lines) {
    Client client(port, fingerprint);
    if (client.connection.encrypted() != !fingerprint.empty()) return -1;
    ClientDataSet& view = client.module->ClientDataSetxsdview;
    // The lines the run began with, whatever the measurements before this one stored.
    view.setCommandText("select * from xsdview where xsdid like 'L%'");
    size_t bytes = 0;
    int rows = 0;
    auto start = Clock::now();
    view.Open();
    int fields = view.FieldCount();
    for (view.First(); !view.Eof(); view.Next(), ++rows)
        for (int f = 0; f < fields; ++f) bytes += view.Fields(f).AsString().size();
    double took = seconds(Clock::now() - start);
    view.Close();
    return rows == lines && bytes > 0 ? took : -1;
}

// Seconds from nothing to logged in; -1 when the connection is not encrypted as asked.
double login(uint16_t port, const std::string& fingerprint) {
    SocketConnection connection;
    connectTo(connection, port, fingerprint);
    auto start = Clock::now();
    test::loginAs(connection, kAdministrator, kPassword);
    double took = seconds(Clock::now() - start);
    bool asAsked = connection.encrypted() == !fingerprint.empty();
    connection.close();
    return asAsked ? took : -1;
}

}  // namespace

std::optional<TlsCost> measureTls(const server::ServerOptions& options, const std::string& dir, int lines) {
    server::CertificateRequest request;
    request.names = {"127.0.0.1"};
    request.certificateFile = dir + "/tls-cert.pem";
    request.keyFile = dir + "/tls-key.pem";
    std::string fingerprint = server::createSelfSignedCertificate(request);
    std::string hash = cheapestHash();
    if (hash.empty() || !storeHash(options.database, hash)) {
        std::fprintf(stderr, "tls: cannot store the administrator's hash\n");
        return std::nullopt;
    }
    double cheapCheck = checkTime(hash, kHashChecks);
    double serverCheck = checkTime(server::hashPassword(kPassword), 3);

    server::ServerOptions tlsOptions = options;
    tlsOptions.tls = server::TlsMode::Allow;
    tlsOptions.tlsCert = request.certificateFile;
    tlsOptions.tlsKey = request.keyFile;
    ServerChild server(tlsOptions);

    double openTls = 1e9, openPlain = 1e9;
    for (int round = 0; round < kOpenRounds; ++round) {
        for (bool encrypted : {round % 2 == 0, round % 2 != 0}) {
            double took = openView(server.port(), encrypted ? fingerprint : "", lines);
            if (took < 0) {
                std::fprintf(stderr, "tls: the view did not open as expected\n");
                return std::nullopt;
            }
            double& best = encrypted ? openTls : openPlain;
            best = std::min(best, took);
        }
    }

    std::vector<double> tlsLogins, plainLogins;
    for (int i = 0; i < kLogins; ++i) {
        for (bool encrypted : {i % 2 == 0, i % 2 != 0}) {
            double took = login(server.port(), encrypted ? fingerprint : "");
            if (took < 0) {
                std::fprintf(stderr, "tls: a login was not encrypted as asked\n");
                return std::nullopt;
            }
            (encrypted ? tlsLogins : plainLogins).push_back(took);
        }
    }
    server.stop();

    TlsCost cost;
    cost.lines = lines;
    cost.openTls = openTls;
    cost.openPlain = openPlain;
    cost.loginTls = median(tlsLogins) - cheapCheck;
    cost.loginPlain = median(plainLogins) - cheapCheck;
    cost.cheapCheck = cheapCheck;
    cost.serverCheck = serverCheck;
    return cost;
}

void printTlsCost(const TlsCost& cost) {
    std::printf("open+walk %d rows: over TLS %.3f s, in the clear %.3f s (best of %d, one server)\n",
                cost.lines, cost.openTls, cost.openPlain, kOpenRounds);
    std::printf(
        "login from connect, password check excluded: over TLS p50 %.2f ms, in the clear p50 %.2f ms "
        "(the handshake's share %.2f ms; %d each); the check takes %.3f ms at the least work, %.1f ms at "
        "the server's own\n",
        cost.loginTls * 1e3, cost.loginPlain * 1e3, (cost.loginTls - cost.loginPlain) * 1e3, kLogins,
        cost.cheapCheck * 1e3, cost.serverCheck * 1e3);
    std::printf("RESULT tls_open_ratio=%.2f tls_login_ms=%.2f\n", cost.openTls / cost.openPlain,
                cost.loginTls * 1e3);
}

}  // namespace velmora::bench
