#pragma once
// The users as the server lists them for user management.

#include <QString>
#include <vector>

#include "session/UserRights.h"

namespace velmora {

struct UserEntry {
    QString name;
    UserRights rights;  // with the user's role
    bool disabled = false;
};

// The server's list: a line per user, "name TAB role TAB rights TAB 0|1 (disabled)". Lines of
// another form are left out.
std::vector<UserEntry> parseUserList(const QString& text);

}  // namespace velmora
