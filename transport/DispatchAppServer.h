#pragma once

#include <string>
#include <vector>

#include "transport/Dispatch.h"
#include "transport/IProviderServer.h"

namespace velmora {

// Presents the server object's dispatch reference as the provider interface, invoking the fixed
// member numbers, and calls the members the main window reaches by name.
class DispatchAppServer : public IProviderServer {
  public:
    explicit DispatchAppServer(DispatchPtr server);

    Variant RemoteApplyUpdates(const std::string& providerName, const Variant& delta, int32_t maxErrors,
                               int32_t& errorCount, Variant& ownerData) override;
    Variant RemoteGetRecords(const std::string& providerName, int32_t count, int32_t& recsOut,
                             int32_t options, const std::string& commandText, Variant& params,
                             Variant& ownerData) override;
    Variant RemoteDataRequest(const std::string& providerName, const Variant& data) override;
    Variant RemoteGetProviderNames() override;
    Variant RemoteGetParams(const std::string& providerName, Variant& ownerData) override;
    Variant RemoteRowRequest(const std::string& providerName, const Variant& row, int32_t requestType,
                             Variant& ownerData) override;
    void RemoteExecute(const std::string& providerName, const std::string& commandText, Variant& params,
                       Variant& ownerData) override;

    // Stores the server's current date-time in time.
    void GetSysTime(Variant& time);
    // The four login values: computer name, IP address, user name, login time.
    void AddUser(std::string& computerName, std::string& address, std::string& userName,
                 std::string& loginTime);
    void DelUser(std::string& computerName, std::string& address, std::string& userName,
                 std::string& loginTime);
    // A token with which a later connection may log in again as this connection's user, without
    // the password. Fails on a server that does not offer it ("not supported").
    std::string GetResumeToken();
    // Logs this connection in as userName with a token an earlier connection was given; returns
    // the token that replaces it. The server's refusal comes back as its error.
    std::string ResumeSession(const std::string& userName, const std::string& token);
    // 审核 and 弃审 of an order; the server refuses with the reason the user is shown.
    void ApproveOrder(const std::string& orderNumber);
    void WithdrawApproval(const std::string& orderNumber);
    // The logged-in user's role ("admin", "approver", "operator") and rights (names separated by
    // commas: approve, maintain_master_data, delete_orders, manage_users, view_reports).
    void GetUserRights(std::string& role, std::string& rights);
    // User management, for a user with the right manage_users. GetUsers: a line per user,
    // "name TAB role TAB rights TAB 0|1 (disabled)". rights: names separated by commas, or empty
    // for the role's preset.
    std::string GetUsers();
    void CreateUser(const std::string& name, const std::string& role, const std::string& rights,
                    const std::string& password);
    void ChangeUser(const std::string& name, const std::string& role, const std::string& rights);
    void ResetUserPassword(const std::string& name, const std::string& password);
    void SetUserEnabled(const std::string& name, bool enabled);
    void RemoveUser(const std::string& name);
    // The audit trail, for a user with the right view_audit, as data packets (seq, at, username,
    // peer, computer, action, tablename, recordkey, parentkey, changes), newest first: a record's
    // history (an order's with its lines'), and the rows the criteria select (empty ones do not
    // restrict; dates YYYY-MM-DD, inclusive).
    Bytes GetRecordHistory(const std::string& table, const std::string& key);
    Bytes QueryAuditLog(const std::string& from, const std::string& to, const std::string& user,
                        const std::string& action, const std::string& table, const std::string& keyContains);
    // 数据备份, for a user with the right manage_users: TakeBackup backs the database up into the
    // server's backup folder now, returns the file's name and sets bytes to its size;
    // ListBackups returns the backups there, newest first, as a data packet (name, created: UTC
    // ISO 8601, size: bytes as a float, verified: Boolean). A server without a backup folder
    // refuses both with "服务器未配置备份目录 (no backup-dir is configured)".
    std::string TakeBackup(double& bytes);
    Bytes ListBackups();

    // Looks the member up by name and invokes it as a method with no result; args in declared
    // order, by-reference ones updated. Fails with "Method '%s' not supported by automation object"
    // for a name the server does not know.
    void callByName(const std::string& name, std::vector<Variant>& args);

    const DispatchPtr& dispatch() const { return server_; }

  private:
    // args in declared order; returns the result when wanted.
    Variant invoke(int32_t dispId, uint16_t flags, std::vector<Variant>& args, bool wantResult);
    void callLoginMember(const char* name, std::string& computerName, std::string& address,
                         std::string& userName, std::string& loginTime);

    DispatchPtr server_;
};

// Arguments for a by-reference variant and a typed by-reference integer.
Variant byRefVariant(Variant value);
Variant byRefInteger(int32_t value);

}  // namespace velmora
