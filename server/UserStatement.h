#pragma once
// The three statements the client sends on the user store, recognised by their shape, so that
// the server answers them from its hashed users instead of running them: the user list, the
// login check and the password change. Keywords ignore case; blanks and comments between the
// words do not matter; quoted values have their doubled quotes undone.

#include <string>
#include <string_view>

namespace velmora::server {

struct UserStatement {
    enum class Kind {
        None,            // not a statement on the user store, or not one of the three shapes
        UserList,        // select username from user1
        LoginCheck,      // select * from user1 where username='U' and password1='P'
        PasswordChange,  // update user1 set password1='P' [where username='U']
    };
    Kind kind = Kind::None;
    std::string user;        // LoginCheck, and PasswordChange when namesUser
    bool namesUser = false;  // PasswordChange: a where clause names the row
    std::string password;    // LoginCheck, PasswordChange
};

UserStatement recogniseUserStatement(std::string_view sql);

// True when sql names the user store anywhere (as a word or a quoted name), so that a statement
// of another shape can be refused with a clear text before the database refuses it.
bool namesUserStore(std::string_view sql);

constexpr const char* kUserStoreTable = "user1";

}  // namespace velmora::server
