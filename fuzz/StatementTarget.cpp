// Fuzz target: the server's handling of command texts, on a real SQLite database with the demo
// data and a logged-in session. The first byte picks the provider and whether the text is
// opened (its rows come back as a data packet) or executed; the rest is the text. Whatever the
// server answers must be a data packet the client decodes, or a refusal with a message.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "data/DataPacket.h"
#include "data/PacketFormat.h"
#include "server/LoginThrottle.h"
#include "server/ProviderDefs.h"
#include "server/ProviderHost.h"
#include "server/Schema.h"
#include "server/Session.h"
#include "server/SqliteConnection.h"
#include "server/UserStatement.h"
#include "server/UserStore.h"
#include "transport/Errors.h"

namespace velmora::fuzz {
namespace {

using namespace velmora::server;

// One database and one logged-in session for the whole run, as one client connection has.
struct LoggedInServer {
    LoggedInServer() {
        char pattern[] = "/tmp/velmora-fuzz-XXXXXX";
        dir = mkdtemp(pattern);
        path = dir + "/fuzz.db";
        {
            SqliteConnection create(path, true);
            createSchema(create);
            insertDemoData(create);
        }
        db = std::make_unique<SqliteConnection>(path, false);
        pool = std::make_unique<ConnectionPool>(
            [this] { return std::make_unique<SqliteConnection>(path, false); }, 1);
        session = std::make_unique<Session>("127.0.0.1:1", *pool, throttle, SessionLimits{});
        if (!session->checkLogin("管理员", "vantu")) {
            std::fprintf(stderr, "the demo user cannot log in\n");
            std::abort();
        }
        QueryLimits limits;
        limits.timeout = std::chrono::milliseconds(2000);
        limits.maxResultBytes = size_t(8) << 20;
        host = std::make_unique<ProviderHost>(*db, *session, limits);
    }
    ~LoggedInServer() {
        host.reset();
        session.reset();
        pool.reset();
        db.reset();
        for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((path + suffix).c_str());
        ::rmdir(dir.c_str());
    }

    std::string dir, path;
    LoginThrottle throttle;
    std::unique_ptr<SqliteConnection> db;
    std::unique_ptr<ConnectionPool> pool;
    std::unique_ptr<Session> session;
    std::unique_ptr<ProviderHost> host;
};

LoggedInServer& server() {
    static LoggedInServer instance;
    return instance;
}

}  // namespace
}  // namespace velmora::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmora;
    using namespace velmora::server;
    if (size < 1) return 0;
    const auto& providers = providerDefs();
    const ProviderDef& provider = providers[data[0] % providers.size()];
    bool execute = (data[0] & 0x80) != 0;
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    // The login check and the password change hash on purpose slowly and are tested elsewhere.
    UserStatement::Kind kind = recogniseUserStatement(text).kind;
    if (kind == UserStatement::Kind::LoginCheck || kind == UserStatement::Kind::PasswordChange) return 0;

    ProviderHost& host = *fuzz::server().host;
    Variant params, ownerData;
    try {
        if (execute) {
            host.RemoteExecute(provider.name, text, params, ownerData);
            return 0;
        }
        int32_t recsOut = 0;
        Variant packet = host.RemoteGetRecords(provider.name, -1, recsOut, 1, text, params, ownerData);
        if (!packet.isByteArray()) {
            std::fprintf(stderr, "rows came back as no packet\n");
            std::abort();
        }
        DataPacket decoded = decodeDataPacket(packet.takeBytes());
        if (static_cast<int32_t>(decoded.rows.size()) != recsOut) {
            std::fprintf(stderr, "RecsOut %d for %zu rows\n", recsOut, decoded.rows.size());
            std::abort();
        }
    } catch (const PacketError& e) {
        std::fprintf(stderr, "the client cannot read the server's packet: %s\n", e.what());
        std::abort();
    } catch (const VelmoraError&) {
        // refused or failed with a message for the client: as it should
    }
    return 0;
}
