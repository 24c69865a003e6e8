#pragma once
// A provider for the dataset tests: answers from packets the tests build and records every call
// it receives with its arguments.

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "data/ChangePacket.h"
#include "data/FailedRecordsPacket.h"
#include "tests/support/NullProvider.h"

namespace velmora::test {

struct ProviderCall {
    std::string member;  // GetRecords, ApplyUpdates, Execute
    std::string provider;
    int32_t count = 0;
    int32_t options = 0;
    std::string commandText;
    Variant params;
    Variant ownerData;
    int32_t maxErrors = 0;
    ChangePacket delta;  // ApplyUpdates
    Bytes deltaBytes;    // ApplyUpdates: the packet as it came
};

class RecordingProvider : public NullProvider {
  public:
    // What GetRecords with rows wanted returns for provider: a copy of packet each time.
    void answer(const std::string& provider, Bytes packet) { packets_[provider] = std::move(packet); }
    // Answers GetRecords for provider with a function of the command text (the provider's last
    // non-empty one on a refresh).
    void answerWith(const std::string& provider, std::function<Variant(const std::string&)> f) {
        responders_[provider] = std::move(f);
    }
    // How RemoteApplyUpdates answers; by default every record succeeds.
    std::function<FailedRecordsPacket(const ChangePacket&, int32_t maxErrors, int32_t& errorCount)> onApply;
    // Thrown by the next call when set.
    std::string failNext;

    std::vector<ProviderCall> calls;
    std::vector<ProviderCall> callsOf(const std::string& member) const;

    Variant RemoteApplyUpdates(const std::string& providerName, const Variant& delta, int32_t maxErrors,
                               int32_t& errorCount, Variant& ownerData) override;
    Variant RemoteGetRecords(const std::string& providerName, int32_t count, int32_t& recsOut,
                             int32_t options, const std::string& commandText, Variant& params,
                             Variant& ownerData) override;
    void RemoteExecute(const std::string& providerName, const std::string& commandText, Variant& params,
                       Variant& ownerData) override;

  private:
    void maybeFail();

    std::map<std::string, Bytes> packets_;
    std::map<std::string, std::function<Variant(const std::string&)>> responders_;
    std::map<std::string, std::string> lastCommand_;
};

}  // namespace velmora::test
