#include "server/UserAdmin.h"

#include "server/ApplyGuard.h"
#include "server/ResumeTokens.h"
#include "server/Schema.h"
#include "server/UserStore.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

void checkName(const std::string& name) {
    if (name.empty()) throw VelmoraError("用户名不能为空 (a user needs a name)");
    size_t characters = 0;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            throw VelmoraError("用户名不能含有控制字符 (a user name may not hold control characters)");
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    }
    if (characters > kTextColumnChars)
        throw VelmoraError(formatText("用户名最多 %zu 个字符 (the name is too long)", kTextColumnChars));
}

// An enabled administrator who may manage users: the last of them must stay, or nobody could.
bool managesUsers(const UserRecord& user) {
    return user.role == Role::Administrator && !user.disabled && user.rights.has(Right::ManageUsers);
}

void checkPassword(const std::string& password) {
    if (password.empty()) throw VelmoraError("口令不能为空 (a password may not be empty)");
}

}  // namespace

UserAdmin::UserAdmin(DbConnection& db, const Access& admin) : db_(db), admin_(admin) {
    if (!admin.rights.has(Right::ManageUsers))
        throw RightsRefused("没有权限：用户管理 (managing users is not among your rights)");
}

std::vector<UserRecord> UserAdmin::list() {
    std::vector<UserRecord> out;
    UserStore users(db_);
    for (const auto& [name, role] : users.namesAndRoles()) out.push_back(existing(name));
    return out;
}

UserRecord UserAdmin::existing(const std::string& name) {
    std::optional<UserRecord> u = UserStore(db_).find(name);
    if (!u) throw VelmoraError(formatText("用户 %s 不存在 (there is no such user)", name.c_str()));
    return *u;
}

Rights UserAdmin::rightsFor(Role role, const std::string& text) {
    if (text.empty()) return Rights::presetOf(role);
    std::optional<Rights> rights = Rights::parse(text);
    if (!rights) throw VelmoraError(formatText("未知的权限：%s (unknown rights)", text.c_str()));
    return *rights;
}

void UserAdmin::keepAnAdministrator(const UserRecord& user, const char* what) {
    if (!managesUsers(user)) return;
    // Rights never adjusted are the preset, which for an administrator includes managing users.
    auto q = db_.query(
        "select count(*) from user1 where role = 'admin' and disabled = ? and username <> ? and "
        "(rights is null or ',' || rights || ',' like '%,manage_users,%')",
        {DbValue::ofInteger(0), DbValue::ofText(user.name)});
    if (q->next() && q->integer(0) == 0)
        throw VelmoraError(formatText("不能%s最后一个系统管理员 (the last administrator must stay)", what));
}

void UserAdmin::create(const std::string& name, Role role, const std::string& rights,
                       const std::string& password) {
    checkName(name);
    checkPassword(password);
    Rights granted = rightsFor(role, rights);
    UserStore users(db_);
    if (users.exists(name))
        throw VelmoraError(formatText("用户 %s 已存在 (the user exists already)", name.c_str()));
    users.add(name, password, role);
    if (!(granted == Rights::presetOf(role))) change(name, role, granted.text());
}

void UserAdmin::change(const std::string& name, Role role, const std::string& rights) {
    Rights granted = rightsFor(role, rights);
    Transaction tx(db_);
    UserRecord user = existing(name);
    if (!managesUsers(UserRecord{name, role, granted, user.disabled})) keepAnAdministrator(user, "改变");
    // A user whose rights are the role's preset keeps none of the own, so that a later preset
    // follows the role.
    DbValue stored = granted == Rights::presetOf(role) ? DbValue::null() : DbValue::ofText(granted.text());
    db_.execute("update user1 set role = ?, rights = ? where username = ?",
                {DbValue::ofText(roleName(role)), std::move(stored), DbValue::ofText(name)});
    tx.commit();
}

void UserAdmin::resetPassword(const std::string& name, const std::string& password) {
    checkPassword(password);
    existing(name);
    UserStore(db_).setPassword(name, password);
}

void UserAdmin::setEnabled(const std::string& name, bool enabled) {
    Transaction tx(db_);
    UserRecord user = existing(name);
    if (!enabled) {
        if (name == admin_.user) throw VelmoraError("不能停用自己 (you cannot disable yourself)");
        keepAnAdministrator(user, "停用");
        ResumeTokens::revokeUser(db_, name);
    }
    db_.execute("update user1 set disabled = ? where username = ?",
                {DbValue::ofInteger(enabled ? 0 : 1), DbValue::ofText(name)});
    tx.commit();
}

void UserAdmin::remove(const std::string& name) {
    if (name == admin_.user) throw VelmoraError("不能删除自己 (you cannot remove yourself)");
    UserRecord user = existing(name);
    keepAnAdministrator(user, "删除");
    UserStore(db_).remove(name);
}

std::string encodeUserList(const std::vector<UserRecord>& users) {
    std::string out;
    for (const UserRecord& u : users)
        out += u.name + "\t" + roleName(u.role) + "\t" + u.rights.text() + "\t" + (u.disabled ? "1" : "0") +
               "\n";
    return out;
}

}  // namespace velmora::server
