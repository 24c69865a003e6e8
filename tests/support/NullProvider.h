#pragma once
// A provider that answers every call with nothing: the base of the stand-ins that tests and
// benchmarks put where the server's provider would be, each overriding only what it serves.

#include <string>

#include "transport/IProviderServer.h"

namespace velmora::test {

class NullProvider : public IProviderServer {
  public:
    Variant RemoteApplyUpdates(const std::string&, const Variant&, int32_t, int32_t& errorCount,
                               Variant&) override {
        errorCount = 0;
        return Variant::null();
    }
    Variant RemoteGetRecords(const std::string&, int32_t, int32_t&, int32_t, const std::string&, Variant&,
                             Variant&) override {
        return Variant();
    }
    Variant RemoteDataRequest(const std::string&, const Variant&) override { return Variant(); }
    Variant RemoteGetProviderNames() override { return Variant(); }
    Variant RemoteGetParams(const std::string&, Variant&) override { return Variant(); }
    Variant RemoteRowRequest(const std::string&, const Variant&, int32_t, Variant&) override {
        return Variant();
    }
    void RemoteExecute(const std::string&, const std::string&, Variant&, Variant&) override {}
};

}  // namespace velmora::test
