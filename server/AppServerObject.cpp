#include "server/AppServerObject.h"

#include <ctime>

#include "server/ApplyGuard.h"
#include "server/AuditPacket.h"
#include "server/BackupDirectory.h"
#include "server/BackupPacket.h"
#include "server/Log.h"
#include "server/OrderApproval.h"
#include "server/UserStore.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

// A user management step as the audit trail records it: the user, and the role and rights given
// (never a password).
AuditEntry userEntry(const char* action, const std::string& name, const std::string& role = "",
                     const std::string& rights = "") {
    std::string changes;
    if (!role.empty())
        changes = "{\"role\":" + auditJson(DbValue::ofText(role)) + ",\"rights\":" +
                  auditJson(rights.empty() ? DbValue::ofText("preset") : DbValue::ofText(rights)) + "}";
    return {action, "user1", name, "", changes};
}

Role roleArgument(const Variant& v) {
    std::optional<Role> role = roleNamed(v.toString());
    if (!role) throw VelmoraError(formatText("未知的角色：%s (unknown role)", v.toString().c_str()));
    return *role;
}

}  // namespace

double currentDateTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm local {};
    localtime_r(&now.tv_sec, &local);
    // Date values are wall-clock times: shift by the local offset from UTC.
    double seconds = static_cast<double>(now.tv_sec + local.tm_gmtoff) + now.tv_nsec / 1e9;
    return dateFromUnixSeconds(seconds);
}

AppServerObject::AppServerObject(DbConnection& db, Session& session, QueryLimits limits,
                                 bool allowOwnApproval, BackupDirectory* backups)
    : ProviderDispatch(providers_),
      db_(db),
      backups_(backups),
      session_(session),
      providers_(db, session, limits),
      allowOwnApproval_(allowOwnApproval),
      maxResultBytes_(limits.maxResultBytes) {
    addMember(1, "GetSysTime", 1, [this](DispatchCall& c) {
        session_.requireLogin("GetSysTime");
        c.arg(0).assignKeepingRef(Variant::date(currentDateTime()));
    });
    addMember(2, "AddUser", 4, [this](DispatchCall& c) { recordLogin("AddUser", c); });
    addMember(3, "DelUser", 4, [this](DispatchCall& c) {
        recordLogin("DelUser", c);
        session_.revokeResumeToken();
    });
    // Resuming after a lost connection; a client that never asks for a token never gets one.
    addMember(4, "GetResumeToken", 1,
              [this](DispatchCall& c) { c.arg(0).assignKeepingRef(Variant(session_.issueResumeToken())); });
    addMember(5, "ResumeSession", 3, [this](DispatchCall& c) {
        std::string next = session_.resume(c.arg(0).toString(), c.arg(1).toString());
        c.arg(2).assignKeepingRef(Variant(next));
    });
    // What the logged-in user may do, for the client to show only what the server would allow:
    // the role's stored name and the rights' names separated by commas.
    addMember(8, "GetUserRights", 2, [this](DispatchCall& c) {
        session_.requireLogin("GetUserRights");
        const Access& access = session_.access();
        c.arg(0).assignKeepingRef(Variant(std::string(roleName(access.role))));
        c.arg(1).assignKeepingRef(Variant(access.rights.text()));
    });
    addMember(6, "ApproveOrder", 1, [this](DispatchCall& c) { changeApproval(c, true); });
    // User management (系统管理 → 用户管理); passwords go in, never out.
    addMember(9, "GetUsers", 1, [this](DispatchCall& c) {
        std::string list;
        manageUsers("GetUsers", [&](UserAdmin& a) { list = encodeUserList(a.list()); });
        c.arg(0).assignKeepingRef(Variant(list));
    });
    addMember(10, "CreateUser", 4, [this](DispatchCall& c) {
        std::string name = c.arg(0).toString();
        manageUsers(
            "CreateUser " + name,
            [&](UserAdmin& a) {
                a.create(name, roleArgument(c.arg(1)), c.arg(2).toString(), c.arg(3).toString());
            },
            userEntry("user_add", name, c.arg(1).toString(), c.arg(2).toString()));
    });
    addMember(11, "ChangeUser", 3, [this](DispatchCall& c) {
        std::string name = c.arg(0).toString();
        manageUsers(
            "ChangeUser " + name,
            [&](UserAdmin& a) { a.change(name, roleArgument(c.arg(1)), c.arg(2).toString()); },
            userEntry("user_change", name, c.arg(1).toString(), c.arg(2).toString()));
    });
    addMember(12, "ResetUserPassword", 2, [this](DispatchCall& c) {
        std::string name = c.arg(0).toString();
        manageUsers(
            "ResetUserPassword " + name, [&](UserAdmin& a) { a.resetPassword(name, c.arg(1).toString()); },
            userEntry("user_password", name));
    });
    addMember(13, "SetUserEnabled", 2, [this](DispatchCall& c) {
        std::string name = c.arg(0).toString();
        bool enabled = c.arg(1).toBool();
        manageUsers(
            std::string(enabled ? "EnableUser " : "DisableUser ") + name,
            [&](UserAdmin& a) { a.setEnabled(name, enabled); },
            userEntry(enabled ? "user_enable" : "user_disable", name));
    });
    addMember(14, "RemoveUser", 1, [this](DispatchCall& c) {
        std::string name = c.arg(0).toString();
        manageUsers(
            "RemoveUser " + name, [&](UserAdmin& a) { a.remove(name); }, userEntry("user_remove", name));
    });
    addMember(7, "WithdrawApproval", 1, [this](DispatchCall& c) { changeApproval(c, false); });
    // The audit trail, read only: a record's history (历史) and the query of 操作日志.
    addMember(15, "GetRecordHistory", 3, [this](DispatchCall& c) {
        std::string table = c.arg(0).toString(), key = c.arg(1).toString();
        readAudit("GetRecordHistory " + table + " " + key, c.arg(2),
                  [&] { return recordHistory(db_, table, key); });
    });
    addMember(16, "QueryAuditLog", 7, [this](DispatchCall& c) {
        AuditQuery q;
        q.from = c.arg(0).toString();
        q.to = c.arg(1).toString();
        q.user = c.arg(2).toString();
        q.action = c.arg(3).toString();
        q.table = c.arg(4).toString();
        q.keyContains = c.arg(5).toString();
        readAudit("QueryAuditLog", c.arg(6), [&] { return queryAudit(db_, q); });
    });
    // 数据备份: a backup into the server's backup folder now, and the list of what is there.
    addMember(17, "TakeBackup", 2, [this](DispatchCall& c) { takeBackup(c); });
    addMember(18, "ListBackups", 1, [this](DispatchCall& c) {
        std::vector<BackupDirectory::Entry> entries = backupsFor("ListBackups").list();
        c.arg(0).assignKeepingRef(Variant::byteArray(backupListPacket(entries)));
    });
}

BackupDirectory& AppServerObject::backupsFor(const std::string& what) {
    session_.requireRight(what, Right::ManageUsers, "没有权限：数据备份 (backups are not among your rights)");
    if (!backups_) {
        const char* refusal = "服务器未配置备份目录 (no backup-dir is configured)";
        session_.logRefusal(what, refusal);
        throw VelmoraError(refusal);
    }
    return *backups_;
}

void AppServerObject::takeBackup(DispatchCall& call) {
    BackupDirectory& backups = backupsFor("TakeBackup");
    BackupResult r;
    try {
        r = backups.takeNow();
    } catch (const std::exception& e) {
        logLine(formatText("BACKUP FAILED: %s asked for a backup: %s", session_.who().c_str(), e.what()));
        throw VelmoraError(formatText("备份失败 (the backup failed: %s)", e.what()));
    }
    std::string name = r.path.substr(r.path.rfind('/') + 1);
    logLine(formatText("%s: TakeBackup wrote %s (%llu bytes, %llu rows, %.1f s)", session_.who().c_str(),
                       r.path.c_str(), static_cast<unsigned long long>(r.bytes),
                       static_cast<unsigned long long>(r.rows), r.seconds));
    recordAudit(
        db_, session_.auditContext(),
        {"backup", "", name, "", formatText("{\"bytes\":%llu}", static_cast<unsigned long long>(r.bytes))});
    call.arg(0).assignKeepingRef(Variant(name));
    call.arg(1).assignKeepingRef(Variant(static_cast<double>(r.bytes)));
}

void AppServerObject::readAudit(const std::string& what, Variant& result,
                                const std::function<std::vector<AuditRow>()>& read) {
    session_.requireRight(what, Right::ViewAudit,
                          "没有权限：查看操作日志 (reading the audit trail is not among your rights)");
    result.assignKeepingRef(Variant::byteArray(auditRowsPacket(read(), maxResultBytes_)));
}

void AppServerObject::manageUsers(const std::string& what, const std::function<void(UserAdmin&)>& step,
                                  const AuditEntry& entry) {
    session_.requireLogin(what);
    try {
        const Access& access = session_.access();  // as requireLogin learnt them just now
        UserAdmin admin(db_, access);
        if (entry.action.empty()) return step(admin);  // a read: no write transaction
        Transaction tx(db_);
        step(admin);
        appendAudit(db_, session_.auditContext(), {entry});
        tx.commit();
    } catch (const RightsRefused& e) {
        session_.auditRefusal(what, e.what());
        throw;
    } catch (const VelmoraError& e) {
        session_.logRefusal(what, e.what());
        throw;
    }
    logLine(formatText("%s: %s", session_.who().c_str(), what.c_str()));
}

void AppServerObject::changeApproval(DispatchCall& call, bool approve) {
    const char* what = approve ? "ApproveOrder" : "WithdrawApproval";
    session_.requireLogin(what);
    std::string number = call.arg(0).toString();
    try {
        const Access& access = session_.access();  // as requireLogin learnt them just now
        Transaction tx(db_);
        AuditEntry entry = approve ? approveOrder(db_, access, number, allowOwnApproval_)
                                   : withdrawApproval(db_, access, number);
        appendAudit(db_, session_.auditContext(), {entry});
        tx.commit();
    } catch (const RightsRefused& e) {
        session_.auditRefusal(formatText("%s %s", what, number.c_str()), e.what());
        throw;
    } catch (const VelmoraError& e) {
        session_.logRefusal(formatText("%s %s", what, number.c_str()), e.what());
        throw;
    }
    logLine(formatText("%s: %s order %s", session_.who().c_str(),
                       approve ? "approved" : "withdrew the approval of", number.c_str()));
}

void AppServerObject::recordLogin(const char* event, DispatchCall& call) {
    session_.requireLogin(event);
    std::string computer = call.arg(0).toString();
    std::string address = call.arg(1).toString();
    std::string user = call.arg(2).toString();
    std::string time = call.arg(3).toString();
    if (std::string(event) == "AddUser") session_.setComputer(computer.substr(0, 100));
    Transaction tx(db_);
    if (std::string(event) == "DelUser")
        appendAudit(db_, session_.auditContext(), {{"logout", "", "", "", ""}});
    db_.execute(
        "insert into server_logins (event, computername, address, username, logintime, recorded, peer, "
        "sessionuser) "
        "values (?, ?, ?, ?, ?, ?, ?, ?)",
        {DbValue::ofText(event), DbValue::ofText(computer), DbValue::ofText(address), DbValue::ofText(user),
         DbValue::ofText(time), DbValue::ofText(formatDateTime(currentDateTime())),
         DbValue::ofText(session_.peer()), DbValue::ofText(session_.user())});
    tx.commit();
    // What the client says of itself stands next to what the server knows.
    logLine(formatText("%s: %s %s from %s (%s), login time %s", session_.who().c_str(),
                       std::string(event) == "AddUser" ? "login" : "logout", user.c_str(), computer.c_str(),
                       address.c_str(), time.c_str()));
}

}  // namespace velmora::server
