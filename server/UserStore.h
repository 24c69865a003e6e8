#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/Database.h"
#include "server/Rights.h"

namespace velmora::server {

// One user as user management sees it; never a password or a hash.
struct UserRecord {
    std::string name;
    Role role = Role::Operator;
    Rights rights;  // the role's preset unless an administrator adjusted them
    bool disabled = false;
};

// The users who may log in, with their passwords as hashes only and their roles, in the table user1
// (username, password1, role). Nothing else of the server reads or writes that table.
class UserStore {
  public:
    explicit UserStore(DbConnection& db) : db_(db) {}
    DbConnection& database() const { return db_; }

    // The names of the users who may log in (not disabled), in the order the login's list shows them.
    std::vector<std::string> names();
    bool exists(const std::string& name);
    // True when the user exists and password matches the stored hash. An empty password never
    // matches: the login refuses it before it asks.
    bool verify(const std::string& name, const std::string& password);
    // The stored hash of the user's password; nothing when there is no such user. Lets a caller
    // give the database back before the slow comparison (passwordMatches).
    std::optional<std::string> storedHash(const std::string& name);
    // True when hash is there and password matches it; takes as long when it is not there.
    static bool passwordMatches(const std::optional<std::string>& hash, const std::string& password);
    // The user's role; nothing when there is no such user.
    std::optional<Role> role(const std::string& name);
    bool isAdministrator(const std::string& name) { return role(name) == Role::Administrator; }
    // The user's role, rights and state; nothing when there is no such user.
    std::optional<UserRecord> find(const std::string& name);
    // The user's role and rights; nothing when there is no such user or it is disabled. Rights
    // never adjusted are the role's preset.
    std::optional<Access> access(const std::string& name);
    // The users with their roles, in the order of names().
    std::vector<std::pair<std::string, Role>> namesAndRoles();
    // Adds a user; fails when the name is taken or empty.
    void add(const std::string& name, const std::string& password, Role role = Role::Operator);
    // Stores a new hash for an existing user and ends what the old password began: every resume
    // token of the user but keptToken (the hash of the token of the connection that changes its
    // own password). Fails when there is no user of that name.
    void setPassword(const std::string& name, const std::string& password, const std::string& keptToken = {});
    // Removes a user; fails when there is none of that name.
    void remove(const std::string& name);

    // Replaces every password kept as typed by its hash and scrubs the old text from the file
    // (its free pages and its write-ahead log). Returns the number of users converted.
    int convertPlainTextPasswords();

  private:
    DbConnection& db_;
};

}  // namespace velmora::server
