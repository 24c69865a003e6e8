#include "transport/DataDispatch.h"

#include "transport/DataBlockInterpreter.h"
#include "transport/Errors.h"

namespace velmora {

DataDispatch::DataDispatch(DataBlockInterpreter* interpreter, int32_t index)
    : interpreter_(interpreter), index_(index) {}

DataDispatch::~DataDispatch() {
    if (!interpreter_) return;
    DataBlockInterpreter* owner = interpreter_;
    owner->proxyDestroyed(this);
    try {
        owner->callFreeObject(index_);
    } catch (...) {
        // The peer may be gone already; there is nothing left to free then.
    }
}

DataBlockInterpreter& DataDispatch::interpreter() {
    if (!interpreter_) throw SocketConnectionError("The connection to the server is closed");
    return *interpreter_;
}

HResult DataDispatch::getIDsOfNames(const std::vector<std::string>& names, int32_t,
                                    std::vector<int32_t>& ids) {
    if (names.size() != 1) return kNotImplemented;
    ids.assign(1, -1);
    return interpreter().callGetIDsOfNames(index_, names[0], ids[0]);
}

HResult DataDispatch::invoke(int32_t dispId, int32_t, uint16_t flags, DispParams& params, Variant* result,
                             ExcepInfo* excep) {
    return interpreter().callInvoke(index_, dispId, flags, params, result, excep);
}

}  // namespace velmora
