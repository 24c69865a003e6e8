#pragma once
// The backup folder's list as a data packet, the form the client's datasets open: name, created
// (UTC, ISO 8601), size (bytes), verified.

#include <vector>

#include "server/BackupDirectory.h"
#include "transport/Bytes.h"

namespace velmora::server {

Bytes backupListPacket(const std::vector<BackupDirectory::Entry>& entries);

}  // namespace velmora::server
