#include "transport/ClassRegistry.h"

#include <strings.h>

namespace velmora {

namespace {
bool sameText(std::string_view a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}
}  // namespace

const ClassInfo* ClassRegistry::find(std::string_view name) const {
    bool isClassId = !name.empty() && name.front() == '{';
    for (const ClassInfo& c : classes_) {
        if (sameText(name, isClassId ? c.classId : c.progId)) return &c;
    }
    return nullptr;
}

std::vector<std::string> ClassRegistry::socketCreatableNames() const {
    std::vector<std::string> names;
    for (const ClassInfo& c : classes_)
        if (c.socketCreatable) names.push_back(c.progId);
    return names;
}

std::vector<std::string> ClassRegistry::appServerNames() const {
    std::vector<std::string> names;
    for (const ClassInfo& c : classes_)
        if (c.socketCreatable && c.appServer) names.push_back(c.progId);
    return names;
}

}  // namespace velmora
