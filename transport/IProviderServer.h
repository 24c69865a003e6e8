#pragma once

#include <cstdint>
#include <string>

#include "transport/Variant.h"

namespace velmora {

// The provider interface of the application server, as the datasets call it. Argument order is
// the declared order; arguments passed by non-const reference come back changed.
class IProviderServer {
  public:
    virtual ~IProviderServer() = default;

    virtual Variant RemoteApplyUpdates(const std::string& providerName, const Variant& delta,
                                       int32_t maxErrors, int32_t& errorCount, Variant& ownerData) = 0;
    virtual Variant RemoteGetRecords(const std::string& providerName, int32_t count, int32_t& recsOut,
                                     int32_t options, const std::string& commandText, Variant& params,
                                     Variant& ownerData) = 0;
    virtual Variant RemoteDataRequest(const std::string& providerName, const Variant& data) = 0;
    virtual Variant RemoteGetProviderNames() = 0;
    virtual Variant RemoteGetParams(const std::string& providerName, Variant& ownerData) = 0;
    virtual Variant RemoteRowRequest(const std::string& providerName, const Variant& row, int32_t requestType,
                                     Variant& ownerData) = 0;
    virtual void RemoteExecute(const std::string& providerName, const std::string& commandText,
                               Variant& params, Variant& ownerData) = 0;
};

// Member numbers of the provider interface.
enum ProviderDispId : int32_t {
    kDispApplyUpdates = 20000000,
    kDispGetRecords = 20000001,
    kDispDataRequest = 20000002,
    kDispGetProviderNames = 20000003,
    kDispGetParams = 20000004,
    kDispRowRequest = 20000005,
    kDispExecute = 20000006,
};

// Options of RemoteGetRecords.
constexpr int32_t kGetRecordsMetaData = 1;
constexpr int32_t kGetRecordsReset = 2;

}  // namespace velmora
