#include "transport/DispatchAppServer.h"

#include <algorithm>

#include "transport/Errors.h"

namespace velmora {

Variant byRefVariant(Variant value) {
    return std::move(value.setRef(RefKind::Variant));
}
Variant byRefInteger(int32_t value) {
    return std::move(Variant(value).setRef(RefKind::Typed));
}

namespace {
Variant byRefText(std::string value) {
    return std::move(Variant(std::move(value)).setRef(RefKind::Typed));
}
Variant plainValue(const Variant& value) {
    Variant copy = value;
    copy.setRef(RefKind::None);
    return copy;
}
// A data packet the server answered with; anything else is a fault of the server.
Bytes packetOf(const Variant& answer) {
    Variant value = plainValue(answer);
    if (!value.isByteArray()) throw VelmoraError("The server did not answer with a data packet");
    return value.bytes();
}
}  // namespace

DispatchAppServer::DispatchAppServer(DispatchPtr server) : server_(std::move(server)) {
    if (!server_) throw VelmoraError("No application server object");
}

Variant DispatchAppServer::invoke(int32_t dispId, uint16_t flags, std::vector<Variant>& args,
                                  bool wantResult) {
    if (args.size() > static_cast<size_t>(kMaxDispatchArgs))
        throw VelmoraError("Dispatch methods do not support more than 64 parameters");
    DispParams params;
    params.args.assign(std::make_move_iterator(args.rbegin()), std::make_move_iterator(args.rend()));
    Variant result;
    ExcepInfo excep;
    HResult status = server_->invoke(dispId, 0, flags, params, wantResult ? &result : nullptr, &excep);
    std::move(params.args.rbegin(), params.args.rend(), args.begin());
    checkInvokeStatus(status, excep);
    return result;
}

Variant DispatchAppServer::RemoteApplyUpdates(const std::string& providerName, const Variant& delta,
                                              int32_t maxErrors, int32_t& errorCount, Variant& ownerData) {
    std::vector<Variant> args{Variant(providerName), plainValue(delta), Variant(maxErrors),
                              byRefInteger(errorCount), byRefVariant(ownerData)};
    Variant result = invoke(kDispApplyUpdates, kDispatchMethod, args, true);
    errorCount = args[3].toInt();
    ownerData = plainValue(args[4]);
    return result;
}

Variant DispatchAppServer::RemoteGetRecords(const std::string& providerName, int32_t count, int32_t& recsOut,
                                            int32_t options, const std::string& commandText, Variant& params,
                                            Variant& ownerData) {
    std::vector<Variant> args{Variant(providerName),  Variant(count),       byRefInteger(recsOut),
                              Variant(options),       Variant(commandText), byRefVariant(params),
                              byRefVariant(ownerData)};
    Variant result = invoke(kDispGetRecords, kDispatchMethod, args, true);
    recsOut = args[2].toInt();
    params = plainValue(args[5]);
    ownerData = plainValue(args[6]);
    return result;
}

Variant DispatchAppServer::RemoteDataRequest(const std::string& providerName, const Variant& data) {
    std::vector<Variant> args{Variant(providerName), plainValue(data)};
    return invoke(kDispDataRequest, kDispatchMethod, args, true);
}

Variant DispatchAppServer::RemoteGetProviderNames() {
    std::vector<Variant> args;
    return invoke(kDispGetProviderNames, kDispatchMethod | kDispatchPropertyGet, args, true);
}

Variant DispatchAppServer::RemoteGetParams(const std::string& providerName, Variant& ownerData) {
    std::vector<Variant> args{Variant(providerName), byRefVariant(ownerData)};
    Variant result = invoke(kDispGetParams, kDispatchMethod, args, true);
    ownerData = plainValue(args[1]);
    return result;
}

Variant DispatchAppServer::RemoteRowRequest(const std::string& providerName, const Variant& row,
                                            int32_t requestType, Variant& ownerData) {
    std::vector<Variant> args{Variant(providerName), plainValue(row), Variant(requestType),
                              byRefVariant(ownerData)};
    Variant result = invoke(kDispRowRequest, kDispatchMethod, args, true);
    ownerData = plainValue(args[3]);
    return result;
}

void DispatchAppServer::RemoteExecute(const std::string& providerName, const std::string& commandText,
                                      Variant& params, Variant& ownerData) {
    std::vector<Variant> args{Variant(providerName), Variant(commandText), byRefVariant(params),
                              byRefVariant(ownerData)};
    invoke(kDispExecute, kDispatchMethod, args, false);
    params = plainValue(args[2]);
    ownerData = plainValue(args[3]);
}

void DispatchAppServer::callByName(const std::string& name, std::vector<Variant>& args) {
    std::vector<int32_t> ids;
    HResult status = server_->getIDsOfNames({name}, 0, ids);
    if (failed(status) || ids.empty())
        throw VelmoraError(formatText("Method '%s' not supported by automation object", name.c_str()));
    invoke(ids[0], kDispatchMethod, args, false);
}

void DispatchAppServer::GetSysTime(Variant& time) {
    std::vector<Variant> args{byRefVariant(Variant())};
    callByName("GetSysTime", args);
    time = plainValue(args[0]);
}

void DispatchAppServer::callLoginMember(const char* name, std::string& computerName, std::string& address,
                                        std::string& userName, std::string& loginTime) {
    std::vector<Variant> args{byRefText(computerName), byRefText(address), byRefText(userName),
                              byRefText(loginTime)};
    callByName(name, args);
    computerName = args[0].toString();
    address = args[1].toString();
    userName = args[2].toString();
    loginTime = args[3].toString();
}

void DispatchAppServer::AddUser(std::string& computerName, std::string& address, std::string& userName,
                                std::string& loginTime) {
    callLoginMember("AddUser", computerName, address, userName, loginTime);
}

void DispatchAppServer::DelUser(std::string& computerName, std::string& address, std::string& userName,
                                std::string& loginTime) {
    callLoginMember("DelUser", computerName, address, userName, loginTime);
}

std::string DispatchAppServer::GetResumeToken() {
    std::vector<Variant> args{byRefVariant(Variant())};
    callByName("GetResumeToken", args);
    return plainValue(args[0]).toString();
}

std::string DispatchAppServer::ResumeSession(const std::string& userName, const std::string& token) {
    std::vector<Variant> args{Variant(userName), Variant(token), byRefVariant(Variant())};
    callByName("ResumeSession", args);
    return plainValue(args[2]).toString();
}

void DispatchAppServer::ApproveOrder(const std::string& orderNumber) {
    std::vector<Variant> args{Variant(orderNumber)};
    callByName("ApproveOrder", args);
}

void DispatchAppServer::WithdrawApproval(const std::string& orderNumber) {
    std::vector<Variant> args{Variant(orderNumber)};
    callByName("WithdrawApproval", args);
}

void DispatchAppServer::GetUserRights(std::string& role, std::string& rights) {
    std::vector<Variant> args{byRefVariant(Variant()), byRefVariant(Variant())};
    callByName("GetUserRights", args);
    role = plainValue(args[0]).toString();
    rights = plainValue(args[1]).toString();
}

std::string DispatchAppServer::GetUsers() {
    std::vector<Variant> args{byRefVariant(Variant())};
    callByName("GetUsers", args);
    return plainValue(args[0]).toString();
}

void DispatchAppServer::CreateUser(const std::string& name, const std::string& role,
                                   const std::string& rights, const std::string& password) {
    std::vector<Variant> args{Variant(name), Variant(role), Variant(rights), Variant(password)};
    callByName("CreateUser", args);
}

void DispatchAppServer::ChangeUser(const std::string& name, const std::string& role,
                                   const std::string& rights) {
    std::vector<Variant> args{Variant(name), Variant(role), Variant(rights)};
    callByName("ChangeUser", args);
}

Bytes DispatchAppServer::GetRecordHistory(const std::string& table, const std::string& key) {
    std::vector<Variant> args{Variant(table), Variant(key), byRefVariant(Variant())};
    callByName("GetRecordHistory", args);
    return packetOf(args[2]);
}

Bytes DispatchAppServer::QueryAuditLog(const std::string& from, const std::string& to,
                                       const std::string& user, const std::string& action,
                                       const std::string& table, const std::string& keyContains) {
    std::vector<Variant> args{Variant(from),  Variant(to),          Variant(user),          Variant(action),
                              Variant(table), Variant(keyContains), byRefVariant(Variant())};
    callByName("QueryAuditLog", args);
    return packetOf(args[6]);
}

std::string DispatchAppServer::TakeBackup(double& bytes) {
    std::vector<Variant> args{byRefVariant(Variant()), byRefVariant(Variant())};
    callByName("TakeBackup", args);
    bytes = plainValue(args[1]).toDouble();
    return plainValue(args[0]).toString();
}

Bytes DispatchAppServer::ListBackups() {
    std::vector<Variant> args{byRefVariant(Variant())};
    callByName("ListBackups", args);
    return packetOf(args[0]);
}

void DispatchAppServer::ResetUserPassword(const std::string& name, const std::string& password) {
    std::vector<Variant> args{Variant(name), Variant(password)};
    callByName("ResetUserPassword", args);
}

void DispatchAppServer::SetUserEnabled(const std::string& name, bool enabled) {
    std::vector<Variant> args{Variant(name), Variant(enabled)};
    callByName("SetUserEnabled", args);
}

void DispatchAppServer::RemoveUser(const std::string& name) {
    std::vector<Variant> args{Variant(name)};
    callByName("RemoveUser", args);
}

}  // namespace velmora
