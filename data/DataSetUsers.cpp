#include "data/DataSetUsers.h"

#include "data/ClientDataSet.h"

namespace velmora {

void DataSetUsers::use(const void* user, std::initializer_list<ClientDataSet*> dataSets) {
    for (ClientDataSet* ds : dataSets) {
        // Claimed only once it opened: a failed open leaves nothing that would keep it open later.
        ds->Open();
        users_[ds].insert(user);
        // A nested dataset's rows live in its master's rows, which its open fetched: the user holds
        // the master as well, so that letting the nested one go lets them go too.
        for (ClientDataSet* master = ds->MasterDataSet(); master; master = master->MasterDataSet())
            users_[master].insert(user);
    }
}

void DataSetUsers::release(const void* user, std::initializer_list<ClientDataSet*> dataSets) {
    for (ClientDataSet* ds : dataSets) {
        releaseOne(user, ds);
        for (ClientDataSet* master = ds->MasterDataSet(); master; master = master->MasterDataSet())
            releaseOne(user, master);
    }
}

void DataSetUsers::releaseOne(const void* user, ClientDataSet* ds) {
    auto it = users_.find(ds);
    if (it != users_.end()) {
        it->second.erase(user);
        if (!it->second.empty()) return;
        users_.erase(it);
    }
    ds->Close();
}

void DataSetUsers::forget(const void* user) {
    for (auto it = users_.begin(); it != users_.end();) {
        it->second.erase(user);
        it = it->second.empty() ? users_.erase(it) : std::next(it);
    }
}

bool DataSetUsers::inUse(const ClientDataSet& dataSet) const {
    return users_.count(&dataSet) > 0;
}

std::set<ClientDataSet*> DataSetUsers::heldBy(const void* user) const {
    std::set<ClientDataSet*> held;
    for (const auto& [ds, holders] : users_)
        if (holders.count(user)) held.insert(const_cast<ClientDataSet*>(ds));
    return held;
}

}  // namespace velmora
