#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "server/Database.h"

namespace velmora::server {

// What lets a client whose connection was lost log in again as the same user without its
// password. A token is 32 random bytes handed to the client once; the database keeps only its
// hash, its user and when it expires, so that a restarted server, or another server on the same
// database, honours it. A resume consumes the token and issues the next one. Tokens are secrets:
// they are never logged.
//
// A token is bound to the identity the server showed the connection it was issued on: the
// fingerprint of the certificate of an encrypted connection, nothing for a plain one. It is
// honoured only on a connection that shows the same, so that a token issued over TLS is no use on
// a plain connection (whoever listens there could not have learnt it from an encrypted one, but
// a client tricked into a plain connection must not be able to hand it over either), nor after
// the server's certificate has changed.
class ResumeTokens {
  public:
    // Wall-clock seconds since the epoch: expiries must survive a restart of the server.
    using Clock = std::function<int64_t()>;

    explicit ResumeTokens(DbConnection& db, Clock clock = {});

    // A new token for user, valid for validFor from now. Returns the token; hash receives what
    // the database keeps of it, by which the issuing session extends or revokes it.
    std::string issue(const std::string& user, std::string& hash, std::chrono::seconds validFor,
                      const std::string& serverIdentity = {});

    enum class Outcome { Accepted, Unknown, Expired, OtherUser };
    // Checks token for user and, when it is user's and unexpired, consumes it. A token presented
    // for another user is revoked as well: it has leaked.
    Outcome consume(const std::string& user, const std::string& token,
                    const std::string& serverIdentity = {});

    // Makes the token valid for validFor from now: while its connection works, and when it ends.
    void extend(const std::string& hash, std::chrono::seconds validFor);
    void revoke(const std::string& hash);
    // Every token of user but the one whose hash is kept: the user is gone or has a new password.
    static void revokeUser(DbConnection& db, const std::string& user, const std::string& keptHash = {});

  private:
    int64_t now() const;

    DbConnection& db_;
    Clock clock_;
};

// The table the tokens live in; created with the schema, and by the upgrade of older databases.
extern const char* const kResumeTokensTable;

}  // namespace velmora::server
