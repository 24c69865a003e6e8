#pragma once
// A small dispatch-object layer: objects answer member-number look-ups by name and invocations by
// member number, with arguments in the dispatch order (last declared parameter first), by-reference
// arguments updated in place, and failures reported as a status plus exception details.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "transport/Variant.h"

namespace velmora {

using HResult = int32_t;

constexpr HResult kOk = 0;
constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001);
constexpr HResult kUnexpected = static_cast<HResult>(0x8000FFFF);
constexpr HResult kDispMemberNotFound = static_cast<HResult>(0x80020003);
constexpr HResult kDispTypeMismatch = static_cast<HResult>(0x80020005);
constexpr HResult kDispUnknownName = static_cast<HResult>(0x80020006);
constexpr HResult kDispException = static_cast<HResult>(0x80020009);
constexpr HResult kDispBadParamCount = static_cast<HResult>(0x8002000E);

inline bool failed(HResult status) {
    return status < 0;
}

// Invoke flags.
constexpr uint16_t kDispatchMethod = 1;
constexpr uint16_t kDispatchPropertyGet = 2;

constexpr int32_t kMaxDispatchArgs = 64;

struct ExcepInfo {
    int32_t code = 0;
    std::string source;
    std::string description;
};

// Arguments of one invocation. args[0] is the last declared parameter. An argument whose ref()
// is not RefKind::None is passed by reference: the callee's new value replaces it.
struct DispParams {
    std::vector<Variant> args;
    std::vector<int32_t> namedArgs;
};

class IDispatch {
  public:
    virtual ~IDispatch() = default;
    virtual int32_t typeInfoCount() { return 0; }
    // Looks up member numbers; ids receives one number per name.
    virtual HResult getIDsOfNames(const std::vector<std::string>& names, int32_t locale,
                                  std::vector<int32_t>& ids) = 0;
    // result may be null when the caller wants none; excep receives the details of a
    // kDispException status.
    virtual HResult invoke(int32_t dispId, int32_t locale, uint16_t flags, DispParams& params,
                           Variant* result, ExcepInfo* excep) = 0;
};

// One call as a member handler sees it: arguments by declared position.
class DispatchCall {
  public:
    DispatchCall(DispParams& params, Variant* result) : params_(params), result_(result) {}
    size_t argCount() const { return params_.args.size(); }
    // Declared parameter i (0-based); by-reference arguments may be assigned.
    Variant& arg(size_t i);
    void setResult(Variant value);
    bool resultWanted() const { return result_ != nullptr; }

  private:
    DispParams& params_;
    Variant* result_;
};

// Base for local objects: a table of members by name and number. A handler that throws makes the
// invocation fail with kDispException and the exception's message as the description.
class DispatchObject : public IDispatch {
  public:
    using Handler = std::function<void(DispatchCall&)>;

    HResult getIDsOfNames(const std::vector<std::string>& names, int32_t locale,
                          std::vector<int32_t>& ids) override;
    HResult invoke(int32_t dispId, int32_t locale, uint16_t flags, DispParams& params, Variant* result,
                   ExcepInfo* excep) override;

  protected:
    // Registers a member; argCount -1 accepts any number of arguments.
    void addMember(int32_t dispId, std::string name, int argCount, Handler handler);

  private:
    struct Member {
        std::string name;
        int argCount;
        Handler handler;
    };
    std::map<int32_t, Member> members_;
};

// Raises the error a caller sees for a failing invoke status: the server's description and code
// for kDispException, the status itself otherwise.
void checkInvokeStatus(HResult status, const ExcepInfo& excep);

}  // namespace velmora
