#pragma once
// Who may do what. Each user has one role, and a set of rights that starts as the role's preset
// and that an administrator may adjust per user. The server checks them; the client only hides
// what the server would refuse.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "transport/Errors.h"

namespace velmora::server {

// What a user is: administrator, approver or operator, stored as "admin", "approver" and
// "operator". Administrators change anyone's orders; the others only their own.
enum class Role { Administrator, Approver, Operator };
// The stored name of role, and the role of a stored name (nothing for an unknown name).
const char* roleName(Role role);
std::optional<Role> roleNamed(std::string_view name);

// One named right, stored by the names below.
enum class Right : uint32_t {
    Approve = 1,             // "approve": 审核 and 弃审
    MaintainMasterData = 2,  // "maintain_master_data": change categories, items, customers, salesmen
    DeleteOrders = 4,        // "delete_orders": delete orders (unapproved ones, and one's own
                             // unless an administrator)
    ManageUsers = 8,         // "manage_users": add, change and remove users
    ViewReports = 16,        // "view_reports": the order list and the summaries
    ViewAudit = 32,          // "view_audit": the audit trail (历史, 操作日志)
};

class Rights {
  public:
    Rights() = default;
    // What a user of role may do until an administrator adjusts it.
    static Rights presetOf(Role role);
    // The rights named in text, separated by commas (spaces around names are ignored); nothing
    // when a name is unknown. An empty text names none.
    static std::optional<Rights> parse(std::string_view text);

    bool has(Right r) const { return (bits_ & static_cast<uint32_t>(r)) != 0; }
    Rights with(Right r) const { return Rights(bits_ | static_cast<uint32_t>(r)); }
    Rights without(Right r) const { return Rights(bits_ & ~static_cast<uint32_t>(r)); }
    // The names of the rights held, in the order of the enumeration, separated by commas.
    std::string text() const;
    bool operator==(const Rights&) const = default;

  private:
    explicit Rights(uint32_t bits) : bits_(bits) {}
    uint32_t bits_ = 0;
};

// The stored name of a right.
const char* rightName(Right r);

// A request the user may not make; its text (Chinese first) is what the user is shown.
class RightsRefused : public VelmoraError {
  public:
    using VelmoraError::VelmoraError;
};

// What the server knows of a user when it checks a request.
struct Access {
    std::string user;
    Role role = Role::Operator;
    Rights rights;
    bool isAdministrator() const { return role == Role::Administrator; }
};

}  // namespace velmora::server
