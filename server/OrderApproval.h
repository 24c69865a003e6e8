#pragma once

#include <string>

#include "server/AuditTrail.h"
#include "server/Database.h"
#include "server/Rights.h"

namespace velmora::server {

// 审核: marks order number approved by access's user, in one transaction. Refused (RightsRefused,
// or VelmoraError for an order that is gone or approved meanwhile) without the right approve, for
// the order's own maker unless allowOwn, and for an order approved already: of two approvers
// racing, exactly one wins and the other is told.
// Returns the audit entry of the change; a caller with a transaction open records it in that.
AuditEntry approveOrder(DbConnection& db, const Access& access, const std::string& number, bool allowOwn);

// 弃审: withdraws the approval of order number; needs the right approve.
AuditEntry withdrawApproval(DbConnection& db, const Access& access, const std::string& number);

}  // namespace velmora::server
