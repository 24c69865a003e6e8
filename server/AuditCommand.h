#pragma once

#include "server/ServerOptions.h"

namespace velmora::server {

// Runs "audit verify" (exit 0 when the chain holds, 1 with the first broken link named) or
// "audit export --before DATE [--prune]" (the CSV on standard output) on the database of options;
// returns the exit status.
int runAuditCommand(const ServerOptions& options);

}  // namespace velmora::server
