#pragma once

#include <cstdint>

#include "transport/Dispatch.h"

namespace velmora {

class DataBlockInterpreter;

// The local stand-in for an object in the peer's table. When its last reference goes it asks the
// peer to free the object, unless its interpreter has gone first.
class DataDispatch : public IDispatch {
  public:
    DataDispatch(DataBlockInterpreter* interpreter, int32_t index);
    ~DataDispatch() override;

    int32_t index() const { return index_; }
    bool attached() const { return interpreter_ != nullptr; }

    // Only one name per look-up; more are not implemented.
    HResult getIDsOfNames(const std::vector<std::string>& names, int32_t locale,
                          std::vector<int32_t>& ids) override;
    // Fails with an error once the interpreter (and so the connection) is gone.
    HResult invoke(int32_t dispId, int32_t locale, uint16_t flags, DispParams& params, Variant* result,
                   ExcepInfo* excep) override;

  private:
    friend class DataBlockInterpreter;
    DataBlockInterpreter& interpreter();
    void detach() { interpreter_ = nullptr; }

    DataBlockInterpreter* interpreter_;
    int32_t index_;
};

}  // namespace velmora
