#include "server/UserStore.h"

#include <utility>

#include "server/PasswordHash.h"
#include "server/ResumeTokens.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

// The order users were added in: SQLite keeps it as the row id, PostgreSQL in a column.
std::string inAddedOrder(DbConnection& db, const char* columns, const char* where = "") {
    return formatText("select %s from user1%s order by %s", columns, where,
                      db.dialect() == Dialect::Sqlite ? "rowid" : "position");
}

DbValue falseValue() {
    return DbValue::ofInteger(0);  // PostgreSQL reads "0" as false
}

}  // namespace

std::vector<std::string> UserStore::names() {
    std::vector<std::string> out;
    auto q = db_.query(inAddedOrder(db_, "username", " where disabled = ?"), {falseValue()});
    while (q->next()) out.emplace_back(q->text(0));
    return out;
}

std::vector<std::pair<std::string, Role>> UserStore::namesAndRoles() {
    std::vector<std::pair<std::string, Role>> out;
    auto q = db_.query(inAddedOrder(db_, "username, role"), {});
    while (q->next()) out.emplace_back(q->text(0), roleNamed(q->text(1)).value_or(Role::Operator));
    return out;
}

bool UserStore::exists(const std::string& name) {
    auto q = db_.query("select 1 from user1 where username = ?", {DbValue::ofText(name)});
    return q->next();
}

std::optional<std::string> UserStore::storedHash(const std::string& name) {
    // A disabled user's password matches nothing.
    auto q = db_.query("select password1 from user1 where username = ? and disabled = ?",
                       {DbValue::ofText(name), falseValue()});
    if (!q->next() || q->type(0) == DbType::Null) return std::nullopt;
    return std::string(q->text(0));
}

bool UserStore::passwordMatches(const std::optional<std::string>& hash, const std::string& password) {
    if (password.empty()) return false;
    if (!hash || hash->empty()) {
        // As much work for a name that does not exist as for a wrong password.
        static const std::string decoy = hashPassword("decoy");
        verifyPassword(decoy, password);
        return false;
    }
    return verifyPassword(*hash, password);
}

bool UserStore::verify(const std::string& name, const std::string& password) {
    if (password.empty()) return false;
    return passwordMatches(storedHash(name), password);
}

std::optional<UserRecord> UserStore::find(const std::string& name) {
    auto q =
        db_.query("select role, rights, disabled from user1 where username = ?", {DbValue::ofText(name)});
    if (!q->next()) return std::nullopt;
    UserRecord u;
    u.name = name;
    u.role = roleNamed(q->text(0)).value_or(Role::Operator);
    // Rights stored in a form this version does not read count as none rather than as the preset.
    u.rights =
        q->type(1) == DbType::Null ? Rights::presetOf(u.role) : Rights::parse(q->text(1)).value_or(Rights());
    u.disabled = q->type(2) != DbType::Null && q->integer(2) != 0;
    return u;
}

std::optional<Access> UserStore::access(const std::string& name) {
    std::optional<UserRecord> u = find(name);
    if (!u || u->disabled) return std::nullopt;
    return Access{name, u->role, u->rights};
}

std::optional<Role> UserStore::role(const std::string& name) {
    auto q = db_.query("select role from user1 where username = ?", {DbValue::ofText(name)});
    if (!q->next()) return std::nullopt;
    // A role this version does not know grants the least.
    return roleNamed(q->text(0)).value_or(Role::Operator);
}

void UserStore::add(const std::string& name, const std::string& password, Role role) {
    if (name.empty()) throw VelmoraError("A user needs a name");
    std::string hash = hashPassword(password);
    Transaction tx(db_);
    if (exists(name)) throw VelmoraError(formatText("The user %s exists already", name.c_str()));
    db_.execute("insert into user1 (username, password1, role) values (?, ?, ?)",
                {DbValue::ofText(name), DbValue::ofText(std::move(hash)), DbValue::ofText(roleName(role))});
    tx.commit();
}

void UserStore::setPassword(const std::string& name, const std::string& password,
                            const std::string& keptToken) {
    std::string hash = hashPassword(password);
    Transaction tx(db_);
    if (db_.execute("update user1 set password1 = ? where username = ?",
                    {DbValue::ofText(std::move(hash)), DbValue::ofText(name)}) == 0)
        throw VelmoraError(formatText("There is no user %s", name.c_str()));
    ResumeTokens::revokeUser(db_, name, keptToken);
    tx.commit();
}

void UserStore::remove(const std::string& name) {
    Transaction tx(db_);
    if (db_.execute("delete from user1 where username = ?", {DbValue::ofText(name)}) == 0)
        throw VelmoraError(formatText("There is no user %s", name.c_str()));
    ResumeTokens::revokeUser(db_, name);
    tx.commit();
}

int UserStore::convertPlainTextPasswords() {
    std::vector<std::pair<std::string, std::string>> plain;
    {
        auto q = db_.query("select username, password1 from user1", {});
        while (q->next()) {
            std::string_view stored = q->type(1) == DbType::Null ? std::string_view() : q->text(1);
            if (!isPasswordHash(stored)) plain.emplace_back(std::string(q->text(0)), std::string(stored));
        }
    }
    if (plain.empty()) return 0;
    std::vector<std::string> hashes;
    hashes.reserve(plain.size());
    for (const auto& [name, password] : plain) hashes.push_back(hashPassword(password));
    db_.scrubDeletedContent();
    {
        Transaction tx(db_);
        for (size_t i = 0; i < plain.size(); ++i)
            db_.execute("update user1 set password1 = ? where username = ?",
                        {DbValue::ofText(hashes[i]), DbValue::ofText(plain[i].first)});
        tx.commit();
    }
    db_.compact();
    return static_cast<int>(plain.size());
}

}  // namespace velmora::server
