#pragma once

#include <string>
#include <vector>

#include "server/Database.h"
#include "server/Rights.h"
#include "server/UserStore.h"

namespace velmora::server {

// User management by a logged-in user with the right manage_users (系统管理 → 用户管理). Every
// refusal is a RightsRefused or VelmoraError whose text (Chinese first) the user is shown. The last
// enabled administrator who may manage users can be neither removed, disabled, given another role
// nor lose that right, and nobody removes or disables the own account.
class UserAdmin {
  public:
    // Throws RightsRefused when admin lacks manage_users.
    UserAdmin(DbConnection& db, const Access& admin);

    std::vector<UserRecord> list();
    // rights: names separated by commas, or empty for the role's preset.
    void create(const std::string& name, Role role, const std::string& rights, const std::string& password);
    void change(const std::string& name, Role role, const std::string& rights);
    // Ends the user's resumable sessions as well.
    void resetPassword(const std::string& name, const std::string& password);
    // A disabled user cannot log in; sessions of the user end at their next call.
    void setEnabled(const std::string& name, bool enabled);
    void remove(const std::string& name);

  private:
    UserRecord existing(const std::string& name);
    // Refuses when taking user out of the enabled administrators who manage users would leave none.
    void keepAnAdministrator(const UserRecord& user, const char* what);
    static Rights rightsFor(Role role, const std::string& text);

    DbConnection& db_;
    const Access& admin_;
};

// The list as it crosses the wire: a line per user, "name TAB role TAB rights TAB 0|1".
std::string encodeUserList(const std::vector<UserRecord>& users);

}  // namespace velmora::server
