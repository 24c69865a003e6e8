#include "transport/ProviderDispatch.h"

namespace velmora {

namespace {
// A by-reference argument written back as a by-reference value of the same kind.
void writeBack(Variant& arg, const Variant& value) {
    arg.assignKeepingRef(value);
}
}  // namespace

ProviderDispatch::ProviderDispatch(IProviderServer& provider) : provider_(provider) {
    addMember(kDispApplyUpdates, "AS_ApplyUpdates", 5, [this](DispatchCall& c) {
        int32_t errorCount = c.arg(3).toInt();
        Variant ownerData = c.arg(4);
        Variant result = provider_.RemoteApplyUpdates(c.arg(0).toString(), c.arg(1), c.arg(2).toInt(),
                                                      errorCount, ownerData);
        writeBack(c.arg(3), Variant(errorCount));
        writeBack(c.arg(4), ownerData);
        c.setResult(std::move(result));
    });
    addMember(kDispGetRecords, "AS_GetRecords", 7, [this](DispatchCall& c) {
        int32_t recsOut = 0;
        Variant params = c.arg(5);
        Variant ownerData = c.arg(6);
        Variant result = provider_.RemoteGetRecords(c.arg(0).toString(), c.arg(1).toInt(), recsOut,
                                                    c.arg(3).toInt(), c.arg(4).toString(), params, ownerData);
        writeBack(c.arg(2), Variant(recsOut));
        writeBack(c.arg(5), params);
        writeBack(c.arg(6), ownerData);
        c.setResult(std::move(result));
    });
    addMember(kDispDataRequest, "AS_DataRequest", 2, [this](DispatchCall& c) {
        c.setResult(provider_.RemoteDataRequest(c.arg(0).toString(), c.arg(1)));
    });
    addMember(kDispGetProviderNames, "AS_GetProviderNames", 0,
              [this](DispatchCall& c) { c.setResult(provider_.RemoteGetProviderNames()); });
    addMember(kDispGetParams, "AS_GetParams", 2, [this](DispatchCall& c) {
        Variant ownerData = c.arg(1);
        Variant result = provider_.RemoteGetParams(c.arg(0).toString(), ownerData);
        writeBack(c.arg(1), ownerData);
        c.setResult(std::move(result));
    });
    addMember(kDispRowRequest, "AS_RowRequest", 4, [this](DispatchCall& c) {
        Variant ownerData = c.arg(3);
        Variant result =
            provider_.RemoteRowRequest(c.arg(0).toString(), c.arg(1), c.arg(2).toInt(), ownerData);
        writeBack(c.arg(3), ownerData);
        c.setResult(std::move(result));
    });
    addMember(kDispExecute, "AS_Execute", 4, [this](DispatchCall& c) {
        Variant params = c.arg(2);
        Variant ownerData = c.arg(3);
        provider_.RemoteExecute(c.arg(0).toString(), c.arg(1).toString(), params, ownerData);
        writeBack(c.arg(2), params);
        writeBack(c.arg(3), ownerData);
    });
}

}  // namespace velmora
