#pragma once
// Audit rows as a data packet, the form the client's datasets open: seq, at, username, peer,
// computer, action, tablename, recordkey, parentkey, changes.

#include <vector>

#include "server/AuditTrail.h"
#include "transport/Bytes.h"

namespace velmora::server {

// Fails with ResultTooLarge when the packet would pass maxBytes (0: no limit).
Bytes auditRowsPacket(const std::vector<AuditRow>& rows, size_t maxBytes);

}  // namespace velmora::server
