#pragma once

#include <memory>

#include "server/ServerOptions.h"
#include "transport/TlsContext.h"

namespace velmora::server {

// The TLS context the options ask for, or none when encryption is off. Fails with a message that
// names the file and what to do when the certificate or key is not given, missing, unusable, or
// the key file may be read by other users than its owner.
std::shared_ptr<const TlsContext> loadServerTls(const ServerOptions& options);

}  // namespace velmora::server
