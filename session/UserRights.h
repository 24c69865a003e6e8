#pragma once
// What the logged-in user may do, as the server tells it at the login. The windows only hide what
// the server would refuse anyway; the server is the protection.

#include <QString>
#include <cstdint>
#include <string_view>

namespace velmora {

// The rights the server knows, by the names it sends.
enum class UserRight : uint32_t {
    Approve = 1,             // "approve": 审核 and 弃审
    MaintainMasterData = 2,  // "maintain_master_data"
    DeleteOrders = 4,        // "delete_orders"
    ManageUsers = 8,         // "manage_users"
    ViewReports = 16,        // "view_reports"
    ViewAudit = 32,          // "view_audit"
};

class UserRights {
  public:
    // Every right: what the client assumes before a login, and of a server that does not say.
    UserRights() = default;
    // The server's answer: the role's stored name and the rights' names separated by commas.
    // Names the client does not know are ignored.
    static UserRights fromServer(const QString& role, const QString& rights);
    // What a user of role starts with until an administrator adjusts it, as the server presets
    // it: 系统管理员 everything; 审核员 approve, delete_orders, view_reports, view_audit; 操作员
    // delete_orders, view_reports.
    static UserRights presetOf(const QString& role);

    bool has(UserRight right) const { return (bits_ & static_cast<uint32_t>(right)) != 0; }
    UserRights with(UserRight right, bool held) const;
    // "admin", "approver", "operator", or empty when the server did not say.
    const QString& role() const { return role_; }
    // The names of the rights held, as the server reads them: separated by commas, in the order of
    // the enumeration.
    QString names() const;
    // The rights held, as the windows show them: 审核, 维护基础资料, ... separated by "、".
    QString captions() const;
    bool operator==(const UserRights& other) const { return bits_ == other.bits_; }

    // Every right, in the order of the enumeration.
    static constexpr UserRight kEvery[] = {UserRight::Approve,      UserRight::MaintainMasterData,
                                           UserRight::DeleteOrders, UserRight::ManageUsers,
                                           UserRight::ViewReports,  UserRight::ViewAudit};
    // How the windows name a right and a role (系统管理员, 审核员, 操作员; a role the client does
    // not know keeps its stored name).
    static QString caption(UserRight right);
    static QString roleCaption(const QString& role);

  private:
    static constexpr uint32_t kAll = 63;
    QString role_;
    uint32_t bits_ = kAll;
};

}  // namespace velmora
