#include "tests/data/RecordingProvider.h"

#include "transport/Errors.h"

namespace velmora::test {

std::vector<ProviderCall> RecordingProvider::callsOf(const std::string& member) const {
    std::vector<ProviderCall> out;
    for (const ProviderCall& c : calls)
        if (c.member == member) out.push_back(c);
    return out;
}

namespace {
ProviderCall recorded(const char* member, const std::string& provider, const std::string& commandText,
                      const Variant& params, const Variant& ownerData) {
    ProviderCall call;
    call.member = member;
    call.provider = provider;
    call.commandText = commandText;
    call.params = params;
    call.ownerData = ownerData;
    return call;
}
}  // namespace

void RecordingProvider::maybeFail() {
    if (failNext.empty()) return;
    std::string message = std::move(failNext);
    failNext.clear();
    throw RemoteError(message);
}

Variant RecordingProvider::RemoteApplyUpdates(const std::string& providerName, const Variant& delta,
                                              int32_t maxErrors, int32_t& errorCount, Variant& ownerData) {
    ProviderCall call;
    call.member = "ApplyUpdates";
    call.provider = providerName;
    call.maxErrors = maxErrors;
    call.ownerData = ownerData;
    call.delta = decodeChangePacket(delta.bytes());
    call.deltaBytes = delta.bytes();
    calls.push_back(call);
    maybeFail();
    errorCount = 0;
    if (!onApply) return Variant();
    FailedRecordsPacket result = onApply(call.delta, maxErrors, errorCount);
    if (result.failed.empty() && result.updated.empty() && !result.rolledBack) return Variant::null();
    return Variant::byteArray(encodeFailedRecords(result));
}

Variant RecordingProvider::RemoteGetRecords(const std::string& providerName, int32_t count, int32_t& recsOut,
                                            int32_t options, const std::string& commandText, Variant& params,
                                            Variant& ownerData) {
    ProviderCall call = recorded("GetRecords", providerName, commandText, params, ownerData);
    call.count = count;
    call.options = options;
    calls.push_back(call);
    maybeFail();
    if (!commandText.empty()) lastCommand_[providerName] = commandText;
    if (count == 0) return Variant();
    if (auto r = responders_.find(providerName); r != responders_.end())
        return r->second(lastCommand_[providerName]);
    auto p = packets_.find(providerName);
    if (p == packets_.end()) return Variant();
    recsOut = -1;
    return Variant::byteArray(p->second);
}

void RecordingProvider::RemoteExecute(const std::string& providerName, const std::string& commandText,
                                      Variant& params, Variant& ownerData) {
    ProviderCall call = recorded("Execute", providerName, commandText, params, ownerData);
    calls.push_back(call);
    maybeFail();
}

}  // namespace velmora::test
