#pragma once

#include "server/ServerOptions.h"

namespace velmora::server {

// Runs "backup [--to FILE|DIR]", "verify FILE", "restore FILE [--no-keep]" or
// "copy --from DB --to DB" on the database of options; returns the exit status (non-zero on any
// fault, with the reason on standard error).
int runBackupCommand(const ServerOptions& options);

}  // namespace velmora::server
