#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "transport/ClassRegistry.h"
#include "transport/DataBlock.h"
#include "transport/Dispatch.h"
#include "transport/SendDataBlock.h"
#include "transport/VariantCodec.h"

namespace velmora {

class DataDispatch;

// Builds request blocks for calls on the peer's objects, reads their replies, and serves the
// peer's requests against this side's objects. One per connection; call it from one thread only.
class DataBlockInterpreter : public ObjectMarshaller {
  public:
    static constexpr size_t kInitialTableSize = 11;
    static constexpr size_t kTableGrowth = 10;
    // Requests of the peer served inside the wait for a reply, one within another, at most this
    // deep; a request past it is answered with an error, so a peer cannot exhaust the stack.
    static constexpr int kMaxServeDepth = 16;
    // Object references one block may carry; each becomes a proxy that frees itself later.
    static constexpr int kMaxReferencesPerBlock = 256;
    // Objects this side may hand to the peer at once by default (a peer could otherwise create
    // without end); setMaxObjects changes it.
    static constexpr size_t kMaxObjects = 65536;
    void setMaxObjects(size_t count) { maxObjects_ = count; }

    // classes may be null: then this side creates nothing for its peer.
    DataBlockInterpreter(SendDataBlock& sender, const ClassRegistry* classes);
    ~DataBlockInterpreter() override;
    DataBlockInterpreter(const DataBlockInterpreter&) = delete;
    DataBlockInterpreter& operator=(const DataBlockInterpreter&) = delete;

    // Calls on the peer.
    DispatchPtr callCreateObject(const std::string& name);
    void callFreeObject(int32_t index);
    HResult callGetIDsOfNames(int32_t index, const std::string& name, int32_t& dispId);
    HResult callInvoke(int32_t index, int32_t dispId, uint16_t flags, DispParams& params, Variant* result,
                       ExcepInfo* excep);
    Variant callGetServerList();
    Variant callGetAppServerList();

    // Serves one block from the peer. An error reply raises the peer's message here; a failure
    // while serving a request is answered with an error reply instead of being raised.
    void interpretData(DataBlock& block);

    // Offered every action code this interpreter does not know; returns true when it handled it.
    using CustomAction = std::function<bool(uint32_t action, DataBlock& block)>;
    void setCustomAction(CustomAction action) { customAction_ = std::move(action); }

    // Whether object references from the peer are taken (as proxies this side may call). A side
    // that offers only data refuses them, so it never calls into the peer or keeps its objects.
    void setPeerObjectsAccepted(bool value) { peerObjectsAccepted_ = value; }

    // The table of this side's objects handed to the peer.
    int32_t exportObject(const DispatchPtr& object) override;
    DispatchPtr importObject(int32_t index) override;
    DispatchPtr localObject(int32_t index) const;
    size_t objectTableSize() const { return objects_.size(); }
    size_t liveProxyCount() const { return proxies_.size(); }

  private:
    friend class DataDispatch;
    void proxyDestroyed(DataDispatch* proxy);
    DataBlock call(DataBlock request);
    void serve(DataBlock& block);
    void doException(DataBlock& block);
    void doInvoke(DataBlock& block);
    void doGetIDsOfNames(DataBlock& block);
    void doCreateObject(DataBlock& block);
    void doFreeObject(DataBlock& block);
    void doListClasses(DataBlock& block, Action action);
    void sendErrorReply(DataBlock& block, const std::string& message);
    // Starts the count of references read from one block.
    void beginBlock() { referencesInBlock_ = 0; }

    SendDataBlock& sender_;
    const ClassRegistry* classes_;
    CustomAction customAction_;
    std::vector<DispatchPtr> objects_;
    size_t firstFree_ = 0;  // no slot below it is empty
    size_t objectCount_ = 0;
    size_t maxObjects_ = kMaxObjects;
    std::unordered_set<DataDispatch*> proxies_;
    bool peerObjectsAccepted_ = true;
    int referencesInBlock_ = 0;
    int serveDepth_ = 0;
};

}  // namespace velmora
