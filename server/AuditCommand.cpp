#include "server/AuditCommand.h"

#include <cinttypes>
#include <cstdio>
#include <iostream>

#include "server/AuditTrail.h"
#include "server/SocketServer.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

bool isDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

}  // namespace

int runAuditCommand(const ServerOptions& options) {
    const std::vector<std::string>& args = options.auditCommand;
    const std::string verb = args.size() == 2 ? args[1] : "";
    if (verb != "verify" && verb != "export") {
        std::fputs(serverUsage(), stderr);
        return 2;
    }
    try {
        if (verb == "export" && !isDate(options.auditBefore))
            throw VelmoraError("audit export needs --before YYYY-MM-DD");
        if (verb == "verify" && (options.auditPrune || !options.auditBefore.empty()))
            throw VelmoraError("--before and --prune go with audit export only");
        prepareDatabase(options.database, false);
        std::unique_ptr<DbConnection> db = openDatabase(options.database, false);
        if (verb == "export") {
            int64_t rows = exportAudit(*db, options.auditBefore, std::cout, options.auditPrune);
            std::fprintf(stderr, "exported %" PRId64 " audit rows before %s%s\n", rows,
                         options.auditBefore.c_str(),
                         options.auditPrune && rows ? ", and removed them from the database" : "");
            return 0;
        }
        AuditCheck check = verifyAuditChain(*db);
        if (!check.fault.empty()) {
            std::printf("audit trail BROKEN after %" PRId64 " rows: %s\n", check.rows, check.fault.c_str());
            return 1;
        }
        std::printf("audit trail intact: %" PRId64 " rows, last hash %s\n", check.rows,
                    check.headHash.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-server: %s\n", e.what());
        return 1;
    }
}

}  // namespace velmora::server
