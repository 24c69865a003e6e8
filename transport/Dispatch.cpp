#include "transport/Dispatch.h"

#include <strings.h>

#include "transport/Errors.h"

namespace velmora {

Variant& DispatchCall::arg(size_t i) {
    if (i >= params_.args.size()) throw VelmoraError("Parameter not found");
    return params_.args[params_.args.size() - 1 - i];
}

void DispatchCall::setResult(Variant value) {
    if (result_) *result_ = std::move(value);
}

void DispatchObject::addMember(int32_t dispId, std::string name, int argCount, Handler handler) {
    members_[dispId] = Member{std::move(name), argCount, std::move(handler)};
}

HResult DispatchObject::getIDsOfNames(const std::vector<std::string>& names, int32_t,
                                      std::vector<int32_t>& ids) {
    ids.assign(names.size(), -1);
    HResult status = kOk;
    for (size_t i = 0; i < names.size(); ++i) {
        bool found = false;
        for (const auto& [id, member] : members_) {
            if (strcasecmp(member.name.c_str(), names[i].c_str()) == 0) {
                ids[i] = id;
                found = true;
                break;
            }
        }
        if (!found) status = kDispUnknownName;
    }
    return status;
}

HResult DispatchObject::invoke(int32_t dispId, int32_t, uint16_t, DispParams& params, Variant* result,
                               ExcepInfo* excep) {
    auto it = members_.find(dispId);
    if (it == members_.end()) return kDispMemberNotFound;
    const Member& member = it->second;
    if (member.argCount >= 0 && params.args.size() != static_cast<size_t>(member.argCount))
        return kDispBadParamCount;
    try {
        DispatchCall call(params, result);
        member.handler(call);
        return kOk;
    } catch (const std::exception& e) {
        if (excep) {
            excep->code = 0;
            excep->source = member.name;
            excep->description = e.what();
        }
        return kDispException;
    }
}

void checkInvokeStatus(HResult status, const ExcepInfo& excep) {
    if (!failed(status)) return;
    if (status == kDispException) throw RemoteError(excep.description, excep.code);
    throw RemoteError(formatText("Dispatch call failed with status %08X", static_cast<uint32_t>(status)),
                      status);
}

}  // namespace velmora
