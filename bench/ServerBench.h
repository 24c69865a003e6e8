#pragma once
// What server_bench's SQLite and PostgreSQL runs share: the sizes, the order every run stores,
// and a client of the real stack.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data/Tdm.h"
#include "server/ServerOptions.h"
#include "tests/support/TestLogin.h"
#include "transport/SocketConnection.h"

namespace velmora::bench {

using Clock = std::chrono::steady_clock;

constexpr int kLines = 200000;
constexpr int kLinesPerOrder = 5;
constexpr int kApplyOrders = 10000;
constexpr int kApplyRounds = 3;
constexpr int kClients = 20;
constexpr int kOrdersPerClient = 200;
constexpr int kSaves = 1000;
// Orders saved one per apply, with and without their audit rows, per round.
constexpr int kAuditSaves = 300;

// Code, name, model (size and kind) and unit of the items the lines cycle through.
inline const char* const kItems[][4] = {{"0100101", "大白兔奶糖", "500克/袋", "袋"},
                                        {"0200101", "西湖龙井", "250克/罐", "罐"},
                                        {"0300201", "卷筒纸", "10卷/提", "提"},
                                        {"0100201", "苏打饼干", "400克/盒", "盒"}};

inline double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Appends one order with its lines to the module's header and line datasets.
inline void appendOrder(Tdm& m, const std::string& id) {
    m.ClientDataSetxsdtb.Append();
    m.ClientDataSetxsdtb.FieldByName("xsdid").setAsString(id);
    m.ClientDataSetxsdtb.FieldByName("khid").setAsString("K001");
    m.ClientDataSetxsdtb.FieldByName("khname").setAsString("华联超市");
    m.ClientDataSetxsdtb.FieldByName("ywyid").setAsString("Y01");
    m.ClientDataSetxsdtb.FieldByName("ywyname").setAsString("张伟");
    m.ClientDataSetxsdtb.FieldByName("username").setAsString("管理员");
    m.ClientDataSetxsdtb.FieldByName("rq").setAsString("2003-01-15");
    for (int l = 0; l < kLinesPerOrder; ++l) {
        const auto& item = kItems[l % 4];
        ClientDataSet& z = m.ClientDataSetxsdzb;
        z.Append();
        z.FieldByName("xsdid").setAsString(id);
        z.FieldByName("chid").setAsString(item[0]);
        z.FieldByName("chname").setAsString(item[1]);
        z.FieldByName("ggxh").setAsString(item[2]);
        z.FieldByName("jldw").setAsString(item[3]);
        z.FieldByName("quantity1").setAsFloat(1 + l);
        z.FieldByName("price1").setAsFloat(12.5);
        z.FieldByName("money1").setAsFloat(12.5 * (1 + l));
        z.Post();
    }
    m.ClientDataSetxsdtb.Post();
}

// Sets connection up for the server on this machine at port, encrypted when fingerprint names the
// server certificate it must present (empty: in the clear).
inline void connectTo(SocketConnection& connection, uint16_t port, const std::string& fingerprint = {}) {
    connection.setServerGUID("{276F7104-2B30-4414-AD12-DE1160EAA8D1}");
    connection.setAddress("127.0.0.1");
    connection.setPort(port);
    if (fingerprint.empty()) return;
    connection.setEncryption(SocketConnection::Encryption::Required);
    connection.setCertificateVerifier(
        [fingerprint](const ServerCertificate& seen) { return seen.fingerprint == fingerprint; });
}

// A connection logged in as the administrator, with its data module; encrypted as connectTo says.
struct Client {
    explicit Client(uint16_t port, const std::string& fingerprint = {}) {
        connectTo(connection, port, fingerprint);
        velmora::test::loginAs(connection);
        module = std::make_unique<Tdm>(connection);
    }
    void openEmptyOrders() {
        module->ClientDataSetxsdtb.setCommandText("select * from xsdtb where 1=0");
        module->ClientDataSetxsdtb.Open();
        module->ClientDataSetxsdzb.Open();
    }
    SocketConnection connection;
    std::unique_ptr<Tdm> module;
};

// The duplicate-number query of the invoicing window, for one invoice number.
inline std::string orderNumberQuery(const std::string& id) {
    return "select * from xsdtb where xsdid='" + id + "'";
}

// Saves the order the user has entered (appended, not yet applied) as the invoicing window does.
inline void saveAsWindow(Client& client, const std::string& id) {
    ClientDataSet& check = client.module->ClientDataSetxsdtb2;
    check.Close();
    check.setCommandText(orderNumberQuery(id));
    check.Open();
    if (check.RecordCount() > 0) std::exit(1);
    if (client.module->ClientDataSetxsdtb.ApplyUpdates(-1) != 0) {
        std::fprintf(stderr, "save %s failed: %s\n", id.c_str(),
                     client.module->ClientDataSetxsdtb.UpdateError().c_str());
        std::exit(1);
    }
}

// kSaves orders saved one at a time through the server on port as the invoicing window saves
// them, each right after saveDirect stored the same order directly; order numbers "D" and "W"
// followed by tag and the order's number. The seconds each took go to direct and ours.
inline void measureSaves(uint16_t port, const std::string& tag,
                         const std::function<void(const std::string&)>& saveDirect,
                         std::vector<double>& direct, std::vector<double>& ours) {
    Client client(port);
    client.openEmptyOrders();
    for (int o = 0; o < kSaves; ++o) {
        std::string id = tag + std::to_string(o);
        auto start = Clock::now();
        saveDirect("D" + id);
        direct.push_back(seconds(Clock::now() - start));
        appendOrder(*client.module, "W" + id);  // typed in before 保存 is pressed
        start = Clock::now();
        saveAsWindow(client, "W" + id);
        ours.push_back(seconds(Clock::now() - start));
    }
}

inline double percentile(std::vector<double> samples, double p) {
    std::sort(samples.begin(), samples.end());
    size_t at = static_cast<size_t>(p * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[at];
}

// kClients clients at once, each saving kOrdersPerClient orders one apply each, client c on the
// server at portOf(c); order numbers "C<client>-<n>". Returns the seconds taken and counts the
// applies that failed.
inline double runConcurrentClients(const std::function<uint16_t(int)>& portOf, std::atomic<int>& failures) {
    auto start = Clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            try {
                Client client(portOf(c));
                client.openEmptyOrders();
                for (int o = 0; o < kOrdersPerClient; ++o) {
                    appendOrder(*client.module, "C" + std::to_string(c) + "-" + std::to_string(o));
                    if (client.module->ClientDataSetxsdtb.ApplyUpdates(-1) != 0) ++failures;
                }
            } catch (const std::exception& e) {
                std::fprintf(stderr, "client %d: %s\n", c, e.what());
                ++failures;
            }
        });
    }
    for (auto& t : clients) t.join();
    return seconds(Clock::now() - start);
}

// What TLS costs: seconds, besides the lines opened.
struct TlsCost {
    int lines = 0;
    double openTls = 0, openPlain = 0;    // best open and walk of the view
    double loginTls = 0, loginPlain = 0;  // p50 of a login from connect, the password check excluded
    double cheapCheck = 0;                // p50 of the check at the least work (the share excluded)
    double serverCheck = 0;               // the check at the server's own settings, for comparison
};

// Measures TLS on the SQLite run's database (lines order lines in the view) through a server of
// its own started from options with TLS allowed; dir is a folder of the bench's own for the
// certificate. Leaves the administrator's stored hash at the least work. Empty when a measurement
// went wrong (said on stderr).
std::optional<TlsCost> measureTls(const server::ServerOptions& options, const std::string& dir, int lines);
// Its figures and its RESULT line.
void printTlsCost(const TlsCost& cost);

// The PostgreSQL run: location is the URI of a database the bench may empty; reader, when not
// empty, the URI the servers run command texts on; lines: the order lines the view is opened
// on; busyCore: open and apply once more beside a busy core. Returns the process's exit code.
int runPostgres(const std::string& location, const std::string& reader, int lines, bool busyCore);

}  // namespace velmora::bench
