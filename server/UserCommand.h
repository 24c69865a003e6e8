#pragma once

#include "server/ServerOptions.h"

namespace velmora::server {

// Runs "user add|passwd|del NAME" or "user list" on the database of options; returns the exit
// status. Passwords come from standard input: asked twice without echo on a terminal, one line
// from a pipe.
int runUserCommand(const ServerOptions& options);

}  // namespace velmora::server
