#pragma once

#include <initializer_list>
#include <map>
#include <set>

namespace velmora {

class ClientDataSet;

// Which open windows use which of the data module's shared datasets. A window opens what it
// needs through use() and lets it go through release() when it closes: a dataset is closed only
// once no open window uses it any more, so closing one window never pulls the rows from under
// another (the item window closing the categories under an open category window, say).
// A user is any address that stays unique while the window lives; it is never dereferenced.
class DataSetUsers {
  public:
    // Records user as a user of each dataset and opens it (a dataset already open stays as it is).
    // A nested dataset's masters are held with it.
    void use(const void* user, std::initializer_list<ClientDataSet*> dataSets);
    // Drops user's claim on each dataset and closes those that no other user still holds.
    void release(const void* user, std::initializer_list<ClientDataSet*> dataSets);
    // Drops every claim of user without closing anything (the window is gone already).
    void forget(const void* user);

    bool inUse(const ClientDataSet& dataSet) const;
    // The datasets user holds.
    std::set<ClientDataSet*> heldBy(const void* user) const;

  private:
    void releaseOne(const void* user, ClientDataSet* ds);

    std::map<const ClientDataSet*, std::set<const void*>> users_;
};

}  // namespace velmora
