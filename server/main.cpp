// velmora-server: the socket server and application server.

#include <signal.h>  // NOLINT(modernize-deprecated-headers): sigwait and pthread_sigmask are POSIX

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "server/AuditCommand.h"
#include "server/BackupCommand.h"
#include "server/BackupScheduler.h"
#include "server/CertCommand.h"
#include "server/ConfigFile.h"
#include "server/Log.h"
#include "server/PgConnection.h"
#include "server/ServerOptions.h"
#include "server/ServerTls.h"
#include "server/ServingLock.h"
#include "server/SocketServer.h"
#include "server/UserCommand.h"
#include "transport/Errors.h"

using namespace velmora;
using namespace velmora::server;

int main(int argc, char** argv) {
    ServerOptions options;
    try {
        options = parseServerOptions(expandConfigFiles(std::vector<std::string>(argv, argv + argc)));
    } catch (const ConfigFileError& e) {
        // "FILE:LINE: why" says all; the usage would bury it.
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-server: %s\n%s", e.what(), serverUsage());
        return 2;
    }
    if (options.help) {
        std::fputs(serverUsage(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("velmora-server %s\n", VELMORA_VERSION);
        return 0;
    }
    if (!options.userCommand.empty()) return runUserCommand(options);
    if (!options.auditCommand.empty()) return runAuditCommand(options);
    if (!options.certCommand.empty()) return runCertCommand(options);
    if (!options.backupCommand.empty()) return runBackupCommand(options);

    // A certificate that cannot serve stops the start before anything else happens.
    std::shared_ptr<const TlsContext> tls;
    try {
        tls = loadServerTls(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-server: %s\n", e.what());
        return 1;
    }

    // Signals go to one thread that asks the server to stop; every other thread blocks them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    try {
        prepareDatabase(options.database, options.initDemo);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-server: database %s: %s\n", redactedLocation(options.database).c_str(),
                     e.what());
        return 1;
    }
    if (options.initOnly) return 0;
    // The reader's connection is otherwise opened at the first command text: a reader that cannot
    // log in would let the server start and fail its users' first window instead.
    if (isPostgresLocation(options.database)) {
        try {
            PgConnection(options.database, options.readerDatabase, options.durability).openReader();
        } catch (const std::exception& e) {
            std::fprintf(stderr,
                         "velmora-server: database %s, the reader's connection: %s\n"
                         "The client's command texts run as the reader role %s: give its connection "
                         "with --reader-db URI (its password included), or a ~/.pgpass entry for it.\n",
                         redactedLocation(options.database).c_str(), e.what(), PgConnection::kReaderRole);
            return 1;
        }
    }
    // Held until the end, after every connection to the file has closed (see ServingLock).
    ServingLock servingLock;
    if (!servingLock.acquire(options.database, ServingLock::Serving)) {
        std::fprintf(stderr,
                     "velmora-server: a restore is replacing %s; start the server once it has finished\n",
                     options.database.c_str());
        return 1;
    }
    std::shared_ptr<BackupDirectory> backups;
    if (!options.backupDir.empty())
        backups = std::make_shared<BackupDirectory>(options.database, options.backupDir, options.backupKeep);

    std::unique_ptr<SocketServer> server;
    try {
        server = std::make_unique<SocketServer>(options, tls, backups);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-server: %s\n", e.what());
        return 1;
    }

    // The only way out of run() is stop(), which this thread calls; it is joined before the server
    // goes, so that stop() never runs on a destroyed server.
    std::thread signals([&] {
        int received = 0;
        sigwait(&stopSignals, &received);
        logLine(formatText("stopping on %s", received == SIGINT ? "SIGINT" : "SIGTERM"));
        server->stop();
    });

    std::printf("listening on %s:%u\n", server->address().c_str(), server->port());
    std::fflush(stdout);
    logLine(formatText("serving %s on %s:%u (durability %s)", redactedLocation(options.database).c_str(),
                       server->address().c_str(), server->port(),
                       options.durability == Durability::Full ? "full" : "normal"));
    if (tls)
        logLine(formatText("TLS %s, certificate %s, SHA-256 fingerprint %s",
                           tlsMode(options) == TlsMode::Require ? "required" : "allowed",
                           options.tlsCert.c_str(), tls->ownFingerprint().c_str()));
    std::unique_ptr<BackupScheduler> scheduler;
    if (backups) {
        logLine(formatText("backups into %s every %lld s, keeping %d", backups->dir().c_str(),
                           static_cast<long long>(options.backupEvery.count() / 1000), options.backupKeep));
        scheduler = std::make_unique<BackupScheduler>(*backups, options.backupEvery);
        scheduler->start();
    }
    server->run();
    signals.join();
    scheduler.reset();
    logLine("stopped");
    return 0;
}
