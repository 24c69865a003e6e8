#include "server/ResumeTokens.h"

#include <sodium.h>

#include <array>
#include <vector>

#include "transport/Errors.h"

namespace velmora::server {

const char* const kResumeTokensTable = R"SQL(
CREATE TABLE IF NOT EXISTS resume_tokens (
    tokenhash VARCHAR(64) NOT NULL PRIMARY KEY,
    username  VARCHAR(100) NOT NULL,
    expires   BIGINT NOT NULL
);
)SQL";

namespace {

constexpr size_t kTokenBytes = 32;
constexpr int kEncoding = sodium_base64_VARIANT_URLSAFE_NO_PADDING;

void requireSodium() {
    static const bool ready = sodium_init() >= 0;
    if (!ready) throw VelmoraError("The password library cannot start");
}

// A plain connection's tokens hash as they always have, so that tokens stored by an older server
// stay good; an encrypted one's hash covers the server identity as well.
std::string hashOf(const std::string& token, const std::string& serverIdentity) {
    std::array<unsigned char, crypto_generichash_BYTES> digest{};
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, digest.size());
    if (!serverIdentity.empty()) {
        const std::string prefix = serverIdentity + '\n';
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(prefix.data()),
                                  prefix.size());
    }
    crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(token.data()), token.size());
    crypto_generichash_final(&state, digest.data(), digest.size());
    std::array<char, crypto_generichash_BYTES * 2 + 1> hex{};
    sodium_bin2hex(hex.data(), hex.size(), digest.data(), digest.size());
    return hex.data();
}

bool sameHash(const std::string& a, const std::string& b) {
    return a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

// Only what issue() could have made is worth a look in the database.
bool wellFormed(const std::string& token) {
    if (token.size() != sodium_base64_ENCODED_LEN(kTokenBytes, kEncoding) - 1) return false;
    std::array<unsigned char, kTokenBytes> raw{};
    size_t length = 0;
    return sodium_base642bin(raw.data(), raw.size(), token.data(), token.size(), nullptr, &length, nullptr,
                             kEncoding) == 0 &&
           length == kTokenBytes;
}

}  // namespace

ResumeTokens::ResumeTokens(DbConnection& db, Clock clock) : db_(db), clock_(std::move(clock)) {}

int64_t ResumeTokens::now() const {
    if (clock_) return clock_();
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string ResumeTokens::issue(const std::string& user, std::string& hash, std::chrono::seconds validFor,
                                const std::string& serverIdentity) {
    requireSodium();
    std::array<unsigned char, kTokenBytes> raw{};
    randombytes_buf(raw.data(), raw.size());
    std::array<char, sodium_base64_ENCODED_LEN(kTokenBytes, kEncoding)> text{};
    sodium_bin2base64(text.data(), text.size(), raw.data(), raw.size(), kEncoding);
    sodium_memzero(raw.data(), raw.size());
    std::string token = text.data();
    sodium_memzero(text.data(), text.size());
    hash = hashOf(token, serverIdentity);
    Transaction tx(db_);
    db_.execute("delete from resume_tokens where expires < ?", {DbValue::ofInteger(now())});
    db_.execute("insert into resume_tokens (tokenhash, username, expires) values (?, ?, ?)",
                {DbValue::ofText(hash), DbValue::ofText(user), DbValue::ofInteger(now() + validFor.count())});
    tx.commit();
    return token;
}

ResumeTokens::Outcome ResumeTokens::consume(const std::string& user, const std::string& token,
                                            const std::string& serverIdentity) {
    if (!wellFormed(token)) return Outcome::Unknown;
    std::string wanted = hashOf(token, serverIdentity);
    struct Row {
        std::string hash, user;
        int64_t expires;
    };
    std::vector<Row> rows;
    Transaction tx(db_);
    {
        // The user's tokens, and the presented one should it be someone else's; every stored hash
        // is compared in constant time.
        auto q = db_.query(
            "select tokenhash, username, expires from resume_tokens where username = ? or tokenhash = ?",
            {DbValue::ofText(user), DbValue::ofText(wanted)});
        while (q->next()) rows.push_back({std::string(q->text(0)), std::string(q->text(1)), q->integer(2)});
    }
    const Row* found = nullptr;
    for (const Row& r : rows)
        if (sameHash(r.hash, wanted)) found = &r;
    if (!found) return Outcome::Unknown;
    db_.execute("delete from resume_tokens where tokenhash = ?", {DbValue::ofText(found->hash)});
    tx.commit();
    if (found->user != user) return Outcome::OtherUser;
    if (found->expires < now()) return Outcome::Expired;
    return Outcome::Accepted;
}

void ResumeTokens::extend(const std::string& hash, std::chrono::seconds validFor) {
    db_.execute("update resume_tokens set expires = ? where tokenhash = ?",
                {DbValue::ofInteger(now() + validFor.count()), DbValue::ofText(hash)});
}

void ResumeTokens::revoke(const std::string& hash) {
    db_.execute("delete from resume_tokens where tokenhash = ?", {DbValue::ofText(hash)});
}

void ResumeTokens::revokeUser(DbConnection& db, const std::string& user, const std::string& keptHash) {
    db.execute("delete from resume_tokens where username = ? and tokenhash <> ?",
               {DbValue::ofText(user), DbValue::ofText(keptHash)});
}

}  // namespace velmora::server
