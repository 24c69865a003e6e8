#include "transport/DataBlockInterpreter.h"

#include <algorithm>

#include "transport/DataDispatch.h"
#include "transport/Errors.h"

namespace velmora {

DataBlockInterpreter::DataBlockInterpreter(SendDataBlock& sender, const ClassRegistry* classes)
    : sender_(sender), classes_(classes), objects_(kInitialTableSize) {}

DataBlockInterpreter::~DataBlockInterpreter() {
    for (DataDispatch* proxy : proxies_) proxy->detach();
}

void DataBlockInterpreter::proxyDestroyed(DataDispatch* proxy) {
    proxies_.erase(proxy);
}

// ---- object table ----

int32_t DataBlockInterpreter::exportObject(const DispatchPtr& object) {
    if (objectCount_ >= maxObjects_)
        throw InterpreterError(formatText("Too many objects handed to the peer (at most %zu)", maxObjects_));
    auto empty =
        std::find(objects_.begin() + static_cast<std::ptrdiff_t>(std::min(firstFree_, objects_.size())),
                  objects_.end(), nullptr);
    size_t index = static_cast<size_t>(empty - objects_.begin());
    if (empty == objects_.end()) objects_.resize(index + kTableGrowth + 1);
    objects_[index] = object;
    firstFree_ = index + 1;
    ++objectCount_;
    return static_cast<int32_t>(index);
}

DispatchPtr DataBlockInterpreter::importObject(int32_t index) {
    if (!peerObjectsAccepted_) throw InterpreterError("Object references are not accepted here");
    if (++referencesInBlock_ > kMaxReferencesPerBlock)
        throw InterpreterError(
            formatText("More than %d object references in one block", kMaxReferencesPerBlock));
    auto proxy = std::make_shared<DataDispatch>(this, index);
    proxies_.insert(proxy.get());
    return proxy;
}

DispatchPtr DataBlockInterpreter::localObject(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= objects_.size() || !objects_[static_cast<size_t>(index)])
        throw InterpreterError(formatText("Object not available: %d", index));
    return objects_[static_cast<size_t>(index)];
}

// ---- calls on the peer ----

DataBlock DataBlockInterpreter::call(DataBlock request) {
    uint32_t action = request.action();
    std::optional<DataBlock> reply = sender_.send(std::move(request), true);
    if (!reply) throw SocketConnectionError("Expected return value not received");
    beginBlock();
    if (reply->action() == static_cast<uint32_t>(Action::Error)) doException(*reply);
    if (!reply->isReply() || reply->action() != action)
        throw InterpreterError(formatText("Unexpected reply received: %u", reply->action()));
    return std::move(*reply);
}

DispatchPtr DataBlockInterpreter::callCreateObject(const std::string& name) {
    DataBlock request(requestSignature(Action::CreateObject));
    writeText(request, name);
    DataBlock reply = call(std::move(request));
    Variant object = readVariant(reply, this);
    if (object.type() != VarType::Dispatch || object.isArray() || !object.dispatchValue())
        throw InterpreterError(formatText("Object not available: %s", name.c_str()));
    return object.dispatchValue();
}

void DataBlockInterpreter::callFreeObject(int32_t index) {
    DataBlock request(requestSignature(Action::FreeObject));
    writeInteger(request, index);
    sender_.send(std::move(request), false);
}

HResult DataBlockInterpreter::callGetIDsOfNames(int32_t index, const std::string& name, int32_t& dispId) {
    DataBlock request(requestSignature(Action::GetIDsOfNames));
    writeInteger(request, index);
    writeText(request, name);
    DataBlock reply = call(std::move(request));
    HResult status = readInteger(reply);
    if (status == kOk) dispId = readInteger(reply);
    return status;
}

HResult DataBlockInterpreter::callInvoke(int32_t index, int32_t dispId, uint16_t flags, DispParams& params,
                                         Variant* result, ExcepInfo* excep) {
    DataBlock request(requestSignature(Action::Invoke));
    writeInteger(request, index);
    writeInteger(request, dispId);
    writeInteger(request, flags);
    writeBoolean(request, result != nullptr);
    writeInteger(request, static_cast<int32_t>(params.args.size()));
    writeInteger(request, static_cast<int32_t>(params.namedArgs.size()));
    for (int32_t named : params.namedArgs) writeInteger(request, named);
    for (const Variant& arg : params.args) writeVariant(request, arg, this);

    DataBlock reply = call(std::move(request));
    HResult status = readInteger(reply);
    if (status == kDispException) {
        ExcepInfo info;
        info.code = readInteger(reply);
        info.description = readText(reply);
        if (excep) *excep = std::move(info);
    }
    for (Variant& arg : params.args) {
        if (arg.ref() != RefKind::None) arg.assignKeepingRef(readVariant(reply, this));
    }
    reply.setRestTakeable(true);  // nothing is read after the result
    if (result) *result = readVariant(reply, this);
    return status;
}

Variant DataBlockInterpreter::callGetServerList() {
    DataBlock reply = call(DataBlock(requestSignature(Action::GetServerList)));
    return readVariant(reply, this);
}

Variant DataBlockInterpreter::callGetAppServerList() {
    DataBlock reply = call(DataBlock(requestSignature(Action::GetAppServerList)));
    return readVariant(reply, this);
}

// ---- serving the peer ----

namespace {

// Counts one level of requests served within a wait, for as long as the serving lasts.
class DepthScope {
  public:
    explicit DepthScope(int& depth) : depth_(depth) { ++depth_; }
    ~DepthScope() { --depth_; }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;

  private:
    int& depth_;
};

}  // namespace

void DataBlockInterpreter::interpretData(DataBlock& block) {
    // Only an error reply carries the peer's failure; a request with that action is malformed
    // and answered like any other unknown action below. Neither kind is ever answered with an
    // error of its own, so two sides cannot keep answering each other.
    if (block.isErrorReply()) doException(block);
    beginBlock();
    bool isFree = !block.isReply() && block.action() == static_cast<uint32_t>(Action::FreeObject);
    DepthScope depth(serveDepth_);
    try {
        if (serveDepth_ > kMaxServeDepth && !isFree)
            throw InterpreterError(formatText("Calls nested more than %d deep", kMaxServeDepth));
        serve(block);
    } catch (const std::exception& e) {
        // A free request is answered by nobody, failure or not.
        if (!isFree) sendErrorReply(block, e.what());
    }
}

void DataBlockInterpreter::serve(DataBlock& block) {
    uint32_t action = block.action();
    if (block.isReply()) throw InterpreterError(formatText("Unexpected reply received: %u", action));
    switch (action) {
        case static_cast<uint32_t>(Action::Invoke):
            doInvoke(block);
            return;
        case static_cast<uint32_t>(Action::GetIDsOfNames):
            doGetIDsOfNames(block);
            return;
        case static_cast<uint32_t>(Action::CreateObject):
            doCreateObject(block);
            return;
        case static_cast<uint32_t>(Action::FreeObject):
            doFreeObject(block);
            return;
        case static_cast<uint32_t>(Action::GetServerList):
            doListClasses(block, Action::GetServerList);
            return;
        case static_cast<uint32_t>(Action::GetAppServerList):
            doListClasses(block, Action::GetAppServerList);
            return;
        default:
            if (customAction_ && customAction_(action, block)) return;
            throw InterpreterError(formatText("Invalid action received: %u", action));
    }
}

void DataBlockInterpreter::doException(DataBlock& block) {
    std::string message = readText(block);
    throw RemoteError(message);
}

void DataBlockInterpreter::sendErrorReply(DataBlock& block, const std::string& message) {
    block.clear();
    writeText(block, message);
    block.setSignature(replySignature(Action::Error));
    sender_.send(std::move(block), false);
}

void DataBlockInterpreter::doInvoke(DataBlock& block) {
    int32_t index = readInteger(block);
    int32_t dispId = readInteger(block);
    auto flags = static_cast<uint16_t>(readInteger(block));
    bool resultWanted = readBoolean(block);
    int32_t argCount = readInteger(block);
    int32_t namedCount = readInteger(block);
    if (argCount < 0 || namedCount < 0 || namedCount > argCount)
        throw InterpreterError("Invalid data packet");
    if (argCount > kMaxDispatchArgs)
        throw InterpreterError("Dispatch methods do not support more than 64 parameters");
    DispParams params;
    params.namedArgs.reserve(static_cast<size_t>(namedCount));
    for (int32_t i = 0; i < namedCount; ++i) params.namedArgs.push_back(readInteger(block));
    params.args.reserve(static_cast<size_t>(argCount));
    for (int32_t i = 0; i < argCount; ++i) params.args.push_back(readVariant(block, this));

    DispatchPtr object = localObject(index);
    Variant result;
    ExcepInfo excep;
    HResult status = object->invoke(dispId, 0, flags, params, resultWanted ? &result : nullptr, &excep);

    DataBlock reply(replySignature(Action::Invoke));
    writeInteger(reply, status);
    if (status == kDispException) {
        writeInteger(reply, excep.code);
        writeText(reply, excep.description);
    }
    for (Variant& arg : params.args) {
        if (arg.ref() == RefKind::None) continue;
        arg.setRef(RefKind::None);
        writeVariant(reply, arg, this);
    }
    if (resultWanted) {
        result.setRef(RefKind::None);
        writeVariant(reply, std::move(result), this);
    }
    sender_.send(std::move(reply), false);
}

void DataBlockInterpreter::doGetIDsOfNames(DataBlock& block) {
    DispatchPtr object = localObject(readInteger(block));
    std::vector<std::string> names{readText(block)};
    std::vector<int32_t> ids;
    HResult status = object->getIDsOfNames(names, 0, ids);
    DataBlock reply(replySignature(Action::GetIDsOfNames));
    writeInteger(reply, status);
    if (status == kOk) writeInteger(reply, ids.at(0));
    sender_.send(std::move(reply), false);
}

void DataBlockInterpreter::doCreateObject(DataBlock& block) {
    std::string name = readText(block);
    const ClassInfo* info = classes_ ? classes_->find(name) : nullptr;
    if (!info || !info->socketCreatable || !info->create)
        throw InterpreterError(formatText("Object not available: %s", name.c_str()));
    DispatchPtr object = info->create();
    if (!object) throw InterpreterError(formatText("Object not available: %s", name.c_str()));
    DataBlock reply(replySignature(Action::CreateObject));
    writeVariant(reply, Variant(object), this);
    sender_.send(std::move(reply), false);
}

void DataBlockInterpreter::doFreeObject(DataBlock& block) {
    int32_t index = readInteger(block);
    if (index < 0 || static_cast<size_t>(index) >= objects_.size() || !objects_[static_cast<size_t>(index)])
        return;
    // The object may call back while it goes: the slot is empty before it does.
    DispatchPtr gone = std::move(objects_[static_cast<size_t>(index)]);
    --objectCount_;
    firstFree_ = std::min(firstFree_, static_cast<size_t>(index));
}

void DataBlockInterpreter::doListClasses(DataBlock&, Action action) {
    std::vector<std::string> names;
    if (classes_)
        names =
            action == Action::GetServerList ? classes_->socketCreatableNames() : classes_->appServerNames();
    Variant list = Variant::null();
    if (!names.empty()) {
        SafeArray a;
        a.elementType = VarType::String;
        a.bounds.push_back({0, static_cast<int32_t>(names.size()) - 1});
        for (std::string& n : names) a.items.emplace_back(std::move(n));
        list = Variant::array(std::move(a));
    }
    DataBlock reply(replySignature(action));
    writeVariant(reply, list, this);
    sender_.send(std::move(reply), false);
}

}  // namespace velmora
