#include "transport/SocketConnection.h"

#include <algorithm>

#include "transport/DispatchAppServer.h"
#include "transport/Errors.h"
#include "transport/SyncChannel.h"

namespace velmora {

using Kind = TransportNotice::Kind;

SocketConnection::SocketConnection(std::string name) : name_(std::move(name)) {}

SocketConnection::~SocketConnection() {
    try {
        doDisconnect();
    } catch (...) {
    }
}

void SocketConnection::setAddress(std::string value) {
    if (!value.empty()) host_.clear();
    address_ = std::move(value);
}

void SocketConnection::setHost(std::string value) {
    if (!value.empty()) address_.clear();
    host_ = std::move(value);
}

void SocketConnection::setSupportCallbacks(bool value) {
    if (value == supportCallbacks_) return;
    if (connected()) close();
    supportCallbacks_ = value;
}

bool SocketConnection::connected() const {
    if (appServer_.type() != VarType::Dispatch) return false;
    if (supportCallbacks_) return thread_ != nullptr;
    return syncTransport_ && syncTransport_->connected();
}

void SocketConnection::setConnected(bool value) {
    if (value == connected()) return;
    if (value)
        doConnect();
    else
        doDisconnect();
}

void SocketConnection::setTlsSettings(TlsClientSettings value) {
    tlsSettings_ = std::move(value);
    tlsContext_.reset();
}

std::unique_ptr<SocketTransport> SocketConnection::openEncrypted() {
    if (!tlsContext_) tlsContext_ = TlsContext::forClient(tlsSettings_);
    std::unique_ptr<SocketTransport> transport = makeTransport();
    transport->setClientTls(tlsContext_, verifier_);
    try {
        transport->setConnected(true);
        encrypted_ = true;
        serverFingerprint_ = transport->peerFingerprint();
        return transport;
    } catch (const TlsNotOffered&) {
        if (encryption_ == Encryption::Required) throw;
    }
    transport = makeTransport();
    transport->setConnected(true);
    return transport;
}

std::unique_ptr<SocketTransport> SocketConnection::makeTransport() const {
    auto t = std::make_unique<SocketTransport>(host_, address_, port_, interceptGUID_);
    t->setMaxPayload(maxPayload_);
    return t;
}

void SocketConnection::doConnect() {
    doDisconnect();  // leftovers of a connection whose transport died
    const std::string& objectName = serverGUID_.empty() ? serverName_ : serverGUID_;
    if (objectName.empty())
        throw VelmoraError(
            formatText("Cannot connect, %s must contain a valid ServerName or ServerGUID", name_.c_str()));
    try {
        if (address_.empty() && host_.empty()) throw SocketConnectionError("No address specified");
        encrypted_ = false;
        serverFingerprint_.clear();
        // A plain transport opens on the transport thread; an encrypted one is open already.
        std::unique_ptr<SocketTransport> transport =
            encryption_ == Encryption::Off ? makeTransport() : openEncrypted();
        if (supportCallbacks_) {
            {
                std::lock_guard<std::mutex> guard(noticeLock_);
                notices_.clear();
            }
            thread_ = std::make_unique<TransportThread>(
                std::move(transport), [this](TransportNotice n) { pushNotice(std::move(n)); });
            thread_->start();
        } else {
            syncTransport_ = std::move(transport);
            if (!syncTransport_->connected()) syncTransport_->setConnected(true);
        }
        interpreter_ = std::make_unique<DataBlockInterpreter>(*this, &localClasses_);
        appServer_ = Variant(interpreter_->callCreateObject(objectName));
    } catch (...) {
        doDisconnect();
        throw;
    }
}

void SocketConnection::doDisconnect() {
    // Dropping the reference sends the free request while the transport still runs.
    appServer_ = Variant();
    if (thread_) {
        std::unique_ptr<TransportThread> thread = std::move(thread_);
        {
            std::lock_guard<std::mutex> guard(noticeLock_);
            closing_ = true;
        }
        thread->stop(kStopTimeout);
        std::lock_guard<std::mutex> guard(noticeLock_);
        closing_ = false;
    }
    if (syncTransport_) {
        syncTransport_->setConnected(false);
        syncTransport_.reset();
    }
    interpreter_.reset();
    std::lock_guard<std::mutex> guard(noticeLock_);
    notices_.clear();
}

void SocketConnection::transportEnded() {
    // The interpreter stays: this may run inside one of its calls. The next open or close
    // replaces it.
    if (thread_) {
        std::unique_ptr<TransportThread> thread = std::move(thread_);
        thread->stop(std::chrono::milliseconds(0));
    }
    appServer_ = Variant();
}

void SocketConnection::pushNotice(TransportNotice notice) {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(noticeLock_);
        notices_.push_back(std::move(notice));
        // While closing, the thread's last words concern nobody.
        if (waiters_ == 0 && !closing_) hook = noticeHook_;
    }
    noticeArrived_.notify_all();
    if (hook) hook();
}

void SocketConnection::setNoticeHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(noticeLock_);
    noticeHook_ = std::move(hook);
}

void SocketConnection::callNoticeHook() {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(noticeLock_);
        hook = noticeHook_;
    }
    if (hook) hook();
}

TransportNotice SocketConnection::waitForNotice(bool forReply) {
    std::unique_lock<std::mutex> guard(noticeLock_);
    ++waiters_;
    for (;;) {
        auto wanted = std::find_if(notices_.begin(), notices_.end(), [forReply](const TransportNotice& n) {
            if (n.kind == Kind::Error || n.kind == Kind::Ended) return true;
            return forReply ? n.kind == Kind::BlockReceived : n.kind == Kind::Sent;
        });
        if (wanted != notices_.end()) {
            TransportNotice n = std::move(*wanted);
            notices_.erase(wanted);
            // Leftover "sent" notices of earlier one-way sends mean nothing to a waiting caller.
            if (forReply)
                notices_.erase(std::remove_if(notices_.begin(), notices_.end(),
                                              [](const TransportNotice& x) { return x.kind == Kind::Sent; }),
                               notices_.end());
            --waiters_;
            bool leftovers = waiters_ == 0 && !notices_.empty();
            guard.unlock();
            // What arrived while this caller waited, and was not for it, goes the unsolicited way.
            if (leftovers) callNoticeHook();
            return n;
        }
        noticeArrived_.wait(guard);
    }
}

std::optional<DataBlock> SocketConnection::send(DataBlock block, bool waitForResult) {
    if (!supportCallbacks_) {
        if (!syncTransport_ || !syncTransport_->connected())
            throw SocketConnectionError("The connection to the server is closed");
        std::optional<DataBlock> reply =
            sendOnCallingThread(*syncTransport_, interpreter_.get(), std::move(block), waitForResult);
        return reply;
    }
    if (!thread_) throw SocketConnectionError("The connection to the server is closed");
    if (borrowed_)
        return sendOnCallingThread(*borrowed_, interpreter_.get(), std::move(block), waitForResult);
    if (Transport* lent = thread_->borrow()) {
        // Sent and answered on this thread. Requests the server makes meanwhile are served here
        // as they would be in the wait below, their answers sent on the same borrowed socket.
        TransportThread* lender = thread_.get();
        borrowed_ = lent;
        struct GiveBack {
            SocketConnection& c;
            TransportThread* lender;
            ~GiveBack() {
                c.borrowed_ = nullptr;
                if (c.thread_.get() == lender) lender->giveBack();  // unless closed meanwhile
            }
        } giveBack{*this, lender};
        return sendOnCallingThread(*lent, interpreter_.get(), std::move(block), waitForResult);
    }
    thread_->postSend(std::move(block), waitForResult);
    for (;;) {
        TransportNotice notice = waitForNotice(waitForResult);
        switch (notice.kind) {
            case Kind::Sent:
                return std::nullopt;
            case Kind::Error:
                std::rethrow_exception(notice.error);
            case Kind::Ended:
                transportEnded();
                throw SocketConnectionError("Expected return value not received");
            case Kind::BlockReceived:
                if (notice.block->isReply()) return std::move(notice.block);
                if (interpreter_) interpreter_->interpretData(*notice.block);
                break;
        }
    }
}

void SocketConnection::processNotices() {
    for (;;) {
        TransportNotice notice;
        {
            std::lock_guard<std::mutex> guard(noticeLock_);
            if (notices_.empty()) return;
            notice = std::move(notices_.front());
            notices_.pop_front();
        }
        switch (notice.kind) {
            case Kind::Sent:
                break;
            case Kind::Ended:
                transportEnded();
                break;
            case Kind::Error: {
                bool more;
                {
                    std::lock_guard<std::mutex> guard(noticeLock_);
                    more = !notices_.empty();
                }
                if (more) callNoticeHook();
                std::rethrow_exception(notice.error);
            }
            case Kind::BlockReceived:
                if (interpreter_) interpreter_->interpretData(*notice.block);
                break;
        }
    }
}

std::shared_ptr<DispatchAppServer> SocketConnection::getServer() {
    if (!connected()) {
        if (!reopenOnDemand_) throw SocketConnectionError("The connection to the server is closed");
        open();
    }
    return std::make_shared<DispatchAppServer>(appServer_.dispatchValue());
}

}  // namespace velmora
