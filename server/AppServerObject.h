#pragma once

#include <functional>
#include <memory>
#include <string>

#include "server/Database.h"
#include "server/ProviderHost.h"
#include "server/Session.h"
#include "server/UserAdmin.h"
#include "transport/ProviderDispatch.h"

namespace velmora::server {

class BackupDirectory;

constexpr const char* kAppServerClassId = "{276F7104-2B30-4414-AD12-DE1160EAA8D1}";
constexpr const char* kAppServerProgId = "brandolex.test";

// The application server object a client creates: the provider interface, plus GetSysTime, the
// login book-keeping members AddUser and DelUser, the resume of a lost session (GetResumeToken,
// ResumeSession), the approval of orders (ApproveOrder, WithdrawApproval) and the backups of
// 数据备份 (TakeBackup, ListBackups), which the client reaches by name.
class AppServerObject : public ProviderDispatch {
  public:
    // session is the connection's: who works on it, and what it may do before a login.
    // allowOwnApproval: a maker may approve the own orders (an office of one person). backups: the
    // server's backup folder, which must outlive the object (none: not configured).
    AppServerObject(DbConnection& db, Session& session, QueryLimits limits, bool allowOwnApproval = false,
                    BackupDirectory* backups = nullptr);

  private:
    void recordLogin(const char* event, DispatchCall& call);
    // 审核 (approve) or 弃审 (withdraw) of the order named by the call's argument.
    void changeApproval(DispatchCall& call, bool approve);
    // Runs a user management step for the logged-in user, logging it, or its refusal, by what.
    // Answers result with the rows read returns, as a data packet, for a user with view_audit.
    void readAudit(const std::string& what, Variant& result,
                   const std::function<std::vector<AuditRow>()>& read);
    // Runs step for a user with manage_users and records entry (unless its action is empty) in
    // the same transaction.
    void manageUsers(const std::string& what, const std::function<void(UserAdmin&)>& step,
                     const AuditEntry& entry = {});

    // The backup folder, for a user with manage_users; refusals are audited as the others.
    BackupDirectory& backupsFor(const std::string& what);
    void takeBackup(DispatchCall& call);

    DbConnection& db_;
    BackupDirectory* backups_;
    Session& session_;
    ProviderHost providers_;
    bool allowOwnApproval_;
    size_t maxResultBytes_;
};

// The server's current local date-time as a date value.
double currentDateTime();

}  // namespace velmora::server
