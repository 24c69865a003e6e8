#pragma once

#include <string>
#include <vector>

#include "server/Database.h"

namespace velmora::server {

// The users who may log in, with their passwords as hashes only, in the table user1 (username,
// password1). Nothing else of the server reads or writes that table.
class UserStore {
  public:
    explicit UserStore(DbConnection& db) : db_(db) {}
    DbConnection& database() const { return db_; }

    // The user names in the order the login's list shows them.
    std::vector<std::string> names();
    bool exists(const std::string& name);
    // True when the user exists and password matches the stored hash. An empty password never
    // matches: the login refuses it before it asks.
    bool verify(const std::string& name, const std::string& password);
    // Adds a user; fails when the name is taken or empty.
    void add(const std::string& name, const std::string& password);
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
