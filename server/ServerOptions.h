#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/ProviderHost.h"
#include "server/Session.h"
#include "transport/Errors.h"
#include "transport/TlsContext.h"

namespace velmora::server {

// Which connections the server takes: plain only, both, or encrypted only.
enum class TlsMode { Off, Allow, Require };

struct ServerOptions {
    std::string listen = "0.0.0.0";
    uint16_t port = 211;
    std::string database = "velmora.db";  // a SQLite file, or a PostgreSQL URI
    std::string readerDatabase;           // PostgreSQL: where command texts run (default: derived)
    Durability durability = Durability::Full;
    bool initDemo = false;
    bool initOnly = false;  // create or upgrade the database, then exit without serving
    int maxConnections = 100;
    int maxConnectionsPerUser = 10;                // logged-in connections of one user
    int administratorConnections = -1;             // slots kept for administrators (-1: a tenth, at least 1)
    int maxLoginConnectionsPerAddress = 8;         // connections not logged in yet from one address
    size_t maxLoginBlockBytes = size_t(64) << 10;  // the largest block before a login
    int loginDbConnections = 4;                    // database connections shared for the login's statements
    std::vector<std::string> trustedProxies;       // addresses whose connections begin with a PROXY header
    SessionLimits session;
    QueryLimits query;
    size_t maxBufferBytes = size_t(512) << 20;  // unfinished blocks of every connection together
    int stallTimeoutMs = 60'000;                // between the bytes of one block
    size_t maxObjects = 1024;                   // server objects one connection may hold
    bool allowOwnApproval = false;              // a maker may approve the own orders
    std::optional<TlsMode> tls;                 // unset: require with a certificate, else off
    std::string tlsCert;                        // PEM certificate (chain) of the server
    std::string tlsKey;                         // PEM private key; only its owner may read it
    TlsVersion tlsMinVersion = TlsVersion::V1_3;
    std::string backupDir;  // the server's own backups go here (empty: none are taken)
    std::chrono::milliseconds backupEvery = std::chrono::hours(24);
    int backupKeep = 14;  // backups kept in backupDir; the oldest go once a new one verifies
    // "backup", "verify FILE", "restore FILE" and "copy": instead of serving.
    std::vector<std::string> backupCommand;
    std::string backupTo;        // "backup --to FILE|DIR", "copy --to DB"
    std::string copyFrom;        // "copy --from DB"
    bool restoreNoKeep = false;  // "restore --no-keep"
    // "user add NAME" and the like: manage the users instead of serving.
    std::vector<std::string> userCommand;
    std::string userRole;  // "user add --role ROLE"
    // "audit verify" and "audit export": check or archive the audit trail instead of serving.
    std::vector<std::string> auditCommand;
    std::string auditBefore;  // "audit export --before DATE"
    bool auditPrune = false;  // "audit export --prune"
    // "cert create" and "cert show": make or describe the server's certificate instead of serving.
    std::vector<std::string> certCommand;
    int certDays = 825;                  // "cert create --days N"
    std::vector<std::string> certNames;  // "cert create --name HOST", repeatable
    std::string certFile;                // "cert create|show --cert FILE"
    std::string certKeyFile;             // "cert create --key FILE"
    bool help = false;
    bool version = false;
};

// One argument of the command line, or one that a configuration file gave: origin is then
// "FILE:LINE", where a refusal points.
struct OptionArgument {
    std::string text;
    std::string origin;  // empty: the command line
};

// A refused option that a configuration file gave: its message starts "FILE:LINE: " and stands
// alone, without the usage text that follows a wrong command line.
class ConfigFileError : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

// Reads the command line; fails with a message naming the bad argument (ConfigFileError when a
// configuration file gave it).
ServerOptions parseServerOptions(const std::vector<OptionArgument>& args);
ServerOptions parseServerOptions(int argc, char** argv);
// Whether word starts a command ("user", "backup", ...) whose words run up to its first option.
bool isCommandWord(const std::string& word);
// How a configuration file may give an option (its name without dashes): the serving options
// as "name = value" or, a switch, as a bare name; a command's own options (--role, --to) and
// --help, --version and --config not at all.
enum class FileOption { Unknown, NotInFile, Switch, WithValue };
FileOption fileOption(const std::string& name);
// The slots kept for administrators: as asked, else a tenth of the connections (at least one);
// always leaving one slot for everyone else.
int administratorSlots(const ServerOptions& options);
// The encryption the server applies: as asked, else require when a certificate is given, else off.
TlsMode tlsMode(const ServerOptions& options);
// The --help text; its option lines come from the same table the parser reads.
const char* serverUsage();

}  // namespace velmora::server
