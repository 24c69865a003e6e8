#include "server/ProviderDefs.h"

#include <strings.h>

namespace velmora::server {

namespace {
ProviderDef lines() {
    return {"ADOQueryxsdzb", "select * from xsdzb", "xsdzb", {"lineid"}, "lineid", false};
}
}  // namespace

const std::vector<ProviderDef>& providerDefs() {
    static const std::vector<ProviderDef> defs = {
        {"DataSetProviderch", "select * from ch", "ch", {"chid"}, "", false},
        {"DataSetProviderkh", "select * from kh", "kh", {"khid"}, "", false},
        {"DataSetProviderywy", "select * from ywy", "ywy", {"ywyid"}, "", false},
        {"DataSetProviderxsdtb", "select * from xsdtb", "xsdtb", {"xsdid"}, "", true},
        {"DataSetProviderchfl", "select * from chfl", "chfl", {"chflid"}, "", false},
        {"DataSetProviderxsdzb2", "select * from xsdzb", "xsdzb", {"lineid"}, "lineid", false},
        {"DataSetProviderxsdview", "select * from xsdview", "", {}, "", false},
        {"DataSetProviderxsdtb2", "select * from xsdtb", "xsdtb", {"xsdid"}, "", false},
        // The general-purpose query channel: it reads only, and the user store answers its user
        // statements, so it has no table to write.
        {"DataSetProviderhz", "select username from user1", "", {}, "", false},
    };
    return defs;
}

const ProviderDef& orderLinesDef() {
    static const ProviderDef def = lines();
    return def;
}

const ProviderDef* findProvider(std::string_view name) {
    for (const ProviderDef& d : providerDefs())
        if (d.name.size() == name.size() && strncasecmp(d.name.data(), name.data(), name.size()) == 0)
            return &d;
    return nullptr;
}

}  // namespace velmora::server
