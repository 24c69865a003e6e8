#pragma once
// Local objects the transport tests serve over a real socket.

#include <atomic>
#include <stdexcept>

#include "transport/ClassRegistry.h"
#include "transport/Dispatch.h"
#include "transport/DispatchAppServer.h"

namespace velmora::test {

inline const char* kCalculatorClassId = "{0B7A6C52-3C1E-4F0A-9D43-7D0C5E1A2B01}";
inline const char* kCalculatorProgId = "velmora.calculator";

// A server object with members that exercise every shape of call.
class Calculator : public DispatchObject {
  public:
    static std::atomic<int>& alive() {
        static std::atomic<int> count{0};
        return count;
    }

    Calculator() {
        ++alive();
        addMember(1, "Add", 2,
                  [](DispatchCall& c) { c.setResult(Variant(c.arg(0).toInt() + c.arg(1).toInt())); });
        addMember(2, "Echo", 1, [](DispatchCall& c) { c.setResult(c.arg(0)); });
        // Combine(a, var b, c): b := a * 10 + c; result "done".
        addMember(3, "Combine", 3, [](DispatchCall& c) {
            c.arg(1).assignKeepingRef(Variant(c.arg(0).toInt() * 10 + c.arg(2).toInt()));
            c.setResult(Variant("done"));
        });
        addMember(4, "Fail", 1, [](DispatchCall& c) { throw std::runtime_error(c.arg(0).toString()); });
        // CallBack(object, x): asks the caller's object to double x while the caller waits.
        addMember(5, "CallBack", 2, [](DispatchCall& c) {
            DispatchAppServer peer(c.arg(0).dispatchValue());
            std::vector<Variant> args{c.arg(1), std::move(Variant(0).setRef(RefKind::Typed))};
            peer.callByName("Twice", args);
            c.setResult(args[1]);
        });
        addMember(6, "MakeChild", 0,
                  [](DispatchCall& c) { c.setResult(Variant(DispatchPtr(new Calculator()))); });
        addMember(7, "Alive", 0, [](DispatchCall& c) { c.setResult(Variant(alive().load())); });
    }
    ~Calculator() override { --alive(); }
};

// A client-side object the server calls back: Twice(x, var result).
class Doubler : public DispatchObject {
  public:
    Doubler() {
        addMember(1, "Twice", 2, [this](DispatchCall& c) {
            ++calls;
            c.arg(1).assignKeepingRef(Variant(c.arg(0).toInt() * 2));
        });
    }
    int calls = 0;
};

inline ClassRegistry calculatorClasses() {
    ClassRegistry classes;
    classes.add(
        {kCalculatorClassId, kCalculatorProgId, true, true, [] { return std::make_shared<Calculator>(); }});
    classes.add({"{5C1D0E7E-0000-4000-8000-000000000001}", "velmora.hidden", false, false,
                 [] { return std::make_shared<Calculator>(); }});
    return classes;
}

}  // namespace velmora::test
