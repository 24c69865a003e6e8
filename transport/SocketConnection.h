#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "transport/DataBlockInterpreter.h"
#include "transport/IProviderServer.h"
#include "transport/SendDataBlock.h"
#include "transport/SocketTransport.h"
#include "transport/TlsContext.h"
#include "transport/TransportThread.h"

namespace velmora {

class DispatchAppServer;

// The client's connection to the socket server: creates the server object named by ServerGUID
// (or ServerName) over one TCP connection and carries every call on it. Call it from one thread
// (the UI thread); only the transport thread touches the socket while callbacks are on.
class SocketConnection : public SendDataBlock {
  public:
    static constexpr uint16_t kDefaultPort = 211;
    static constexpr std::chrono::milliseconds kStopTimeout{180000};

    explicit SocketConnection(std::string name = "SocketConnection1");
    ~SocketConnection() override;
    SocketConnection(const SocketConnection&) = delete;
    SocketConnection& operator=(const SocketConnection&) = delete;

    const std::string& name() const { return name_; }
    const std::string& serverGUID() const { return serverGUID_; }
    void setServerGUID(std::string value) { serverGUID_ = std::move(value); }
    const std::string& serverName() const { return serverName_; }
    void setServerName(std::string value) { serverName_ = std::move(value); }
    const std::string& address() const { return address_; }
    // A non-empty address clears the host, and a non-empty host the address.
    void setAddress(std::string value);
    const std::string& host() const { return host_; }
    void setHost(std::string value);
    uint16_t port() const { return port_; }
    void setPort(uint16_t value) { port_ = value; }
    bool supportCallbacks() const { return supportCallbacks_; }
    // Changing it on an open connection closes the connection first.
    void setSupportCallbacks(bool value);
    const std::string& interceptGUID() const { return interceptGUID_; }
    void setInterceptGUID(std::string value) { interceptGUID_ = std::move(value); }
    bool loginPrompt() const { return loginPrompt_; }
    void setLoginPrompt(bool value) { loginPrompt_ = value; }
    void setMaxPayload(size_t bytes) { maxPayload_ = bytes; }

    // Encryption of the next open. Off (the default): plain, as ever. Required: TLS or no
    // connection; a server that does not speak TLS fails the open with TlsNotOffered. Preferred:
    // TLS first; when the server does not speak TLS (it closes, or answers with something else),
    // the connection is opened again in plain and encrypted() says false. A certificate the
    // verifier refuses, or a TLS handshake that fails, fails the open in either mode: only a
    // server that does not speak TLS at all is reached in plain.
    enum class Encryption { Off, Preferred, Required };
    void setEncryption(Encryption value) { encryption_ = value; }
    Encryption encryption() const { return encryption_; }
    // The CA file and oldest TLS version of the next open (the system's CAs are always trusted).
    void setTlsSettings(TlsClientSettings value);
    // Judges the server's certificate during the open, on the calling thread: the host as set
    // (host name or address), the port, the fingerprint, and whether a trusted CA vouches for it.
    // None installed: only a certificate a trusted CA vouches for is accepted. The hook is where a
    // client asks its user about a new certificate and compares it with the one it remembers.
    void setCertificateVerifier(CertificateVerifier verifier) { verifier_ = std::move(verifier); }
    // While connected: whether the connection is encrypted, and the server certificate's SHA-256
    // fingerprint (empty when plain), e.g. to bind a resume token to the server it came from.
    bool encrypted() const { return connected() && encrypted_; }
    const std::string& serverFingerprint() const { return serverFingerprint_; }

    // True while AppServer holds the remote object and the transport is alive.
    bool connected() const;
    void setConnected(bool value);
    void open() { setConnected(true); }
    void close() { setConnected(false); }

    // The remote server object (a dispatch reference), or Empty while closed.
    const Variant& appServer() const { return appServer_; }
    // The provider interface over AppServer, opening the connection first when it is closed
    // (unless reopening on demand is off).
    std::shared_ptr<DispatchAppServer> getServer();
    // Off: getServer() on a closed connection fails with "The connection to the server is
    // closed" instead of opening a new one. A client that has logged in turns it off, as a new
    // connection would not be logged in; it opens the connection again itself.
    void setReopenOnDemand(bool value) { reopenOnDemand_ = value; }

    std::optional<DataBlock> send(DataBlock block, bool waitForResult) override;

    // Called on the transport thread whenever a block or an error arrives that no call is waiting
    // for (never while the connection closes). The application forwards it to its UI thread,
    // which then calls processNotices(). What it captures must outlive the connection or be
    // replaced before it goes.
    void setNoticeHook(std::function<void()> hook);
    // Serves what arrived while no call waited: interprets the server's requests and raises a
    // failure caught on the transport thread. Call on the UI thread.
    void processNotices();

    DataBlockInterpreter* interpreter() { return interpreter_.get(); }
    // The classes this side offers to the server's calls back (none by default).
    ClassRegistry& localClasses() { return localClasses_; }

  private:
    void doConnect();
    void doDisconnect();
    void pushNotice(TransportNotice notice);
    TransportNotice waitForNotice(bool forReply);
    void transportEnded();
    void callNoticeHook();
    std::unique_ptr<SocketTransport> makeTransport() const;
    // Connects (TLS first) on the calling thread, so that the verifier runs there.
    std::unique_ptr<SocketTransport> openEncrypted();

    std::string name_;
    std::string serverGUID_;
    std::string serverName_;
    std::string address_;
    std::string host_;
    uint16_t port_ = kDefaultPort;
    bool supportCallbacks_ = true;
    std::string interceptGUID_;
    bool loginPrompt_ = false;
    size_t maxPayload_ = kDefaultMaxPayload;
    bool reopenOnDemand_ = true;
    Encryption encryption_ = Encryption::Off;
    TlsClientSettings tlsSettings_;
    std::shared_ptr<const TlsContext> tlsContext_;  // made at the first encrypted open
    CertificateVerifier verifier_;
    bool encrypted_ = false;
    std::string serverFingerprint_;

    ClassRegistry localClasses_;
    std::unique_ptr<DataBlockInterpreter> interpreter_;
    std::unique_ptr<TransportThread> thread_;
    std::unique_ptr<Transport> syncTransport_;  // without callbacks
    Transport* borrowed_ = nullptr;             // the transport thread's, during a call on it
    Variant appServer_;

    std::mutex noticeLock_;
    std::condition_variable noticeArrived_;
    std::deque<TransportNotice> notices_;
    int waiters_ = 0;
    bool closing_ = false;
    std::function<void()> noticeHook_;
};

}  // namespace velmora
