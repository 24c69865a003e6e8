#pragma once
// What the audit trail costs an apply: the same change packets applied by the server's applier
// on its database connection, once with their audit rows and once without, alternating rounds.

#include <string>

#include "server/Database.h"

namespace velmora::bench {

struct AuditCost {
    double bulkWith = 0, bulkWithout = 0;  // best seconds: one packet of many orders
    double saveWith = 0, saveWithout = 0;  // median seconds: one order per apply
};

// location: a database with the product's schema; its orders are left in it.
AuditCost measureAuditCost(const std::string& location, server::Durability durability, int bulkOrders,
                           int saves, int rounds);

}  // namespace velmora::bench
