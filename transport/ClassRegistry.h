#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "transport/Dispatch.h"

namespace velmora {

// One class that a side may create for its peer.
struct ClassInfo {
    std::string classId;  // in braces, "{276F7104-...}"
    std::string progId;
    bool socketCreatable = true;
    bool appServer = true;
    std::function<DispatchPtr()> create;
};

// The table of classes a side offers. Look-ups ignore case, as class ids and program ids do.
class ClassRegistry {
  public:
    void add(ClassInfo info) { classes_.push_back(std::move(info)); }
    // name: a class id in braces or a program id.
    const ClassInfo* find(std::string_view name) const;
    std::vector<std::string> socketCreatableNames() const;
    std::vector<std::string> appServerNames() const;

  private:
    std::vector<ClassInfo> classes_;
};

}  // namespace velmora
