#pragma once

#include "server/ServerOptions.h"

namespace velmora::server {

// Runs "cert create" (a self-signed certificate and its key, the fingerprint printed) or "cert show"
// (the configured certificate described); returns the exit status.
int runCertCommand(const ServerOptions& options);

}  // namespace velmora::server
