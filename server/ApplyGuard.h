#pragma once

#include <map>
#include <optional>
#include <string>

#include "data/ChangePacket.h"
#include "server/Database.h"
#include "server/OrderState.h"
#include "server/ProviderDefs.h"
#include "server/Rights.h"
#include "transport/Errors.h"

namespace velmora::server {

// Checks a change packet against the user's rights and the orders' approval before the apply
// writes anything, inside the apply's transaction: master data needs maintain_master_data; an
// order (its header or any of its lines) may be changed only while it is not approved, and only
// by its maker unless by an administrator; deleting an order needs delete_orders; the maker, the
// approver and the approval flag are never changed by an apply.
class ApplyGuard {
  public:
    ApplyGuard(DbConnection& db, const ProviderDef& provider, const Access& access)
        : db_(db), provider_(provider), access_(access) {}

    // Throws RightsRefused for the first change refused.
    void check(const ChangePacket& packet);

  private:
    void checkOrders(const ChangePacket& packet);
    void checkLines(const FieldDefs& fields, const std::vector<ChangeRecord>& lines, bool nested);
    // Refuses unless the order may be changed (deleting: deleted) by this user; an order that is
    // not there is left to the apply, which finds nothing to change.
    void requireChangeable(const Variant& number, bool deleting);

    DbConnection& db_;
    const ProviderDef& provider_;
    const Access& access_;
    std::map<std::string, std::optional<OrderState>> orders_;  // read once per apply
};

// The columns of an order header an apply never sets from the client: the server stamps them.
bool isStampedOrderColumn(std::string_view column);

}  // namespace velmora::server
