#pragma once
// What the error display does when the connection to the server is lost. Once the program has
// logged in it installs how to reconnect; the box then offers 重新连接, and while a reconnect
// fails the user may try again, quit, or go on without the server for now.

#include <QString>
#include <functional>

namespace velmora {

struct ReconnectResult {
    bool ok = false;
    QString sentence;  // why not, in Chinese ("无法连接服务器 127.0.0.1:211。")
    QString details;   // the lower layer's own text
};

class ConnectionLoss {
  public:
    using Reconnect = std::function<ReconnectResult()>;

    // An empty reconnect takes the offer back (the program is ending, or logs in anew).
    static void setReconnect(Reconnect reconnect);
    // Tells the user that the connection is lost, with details below, and reconnects when asked.
    // A loss reported while one is being handled is part of it and shows nothing more. Call on
    // the UI thread.
    static void report(const QString& details);
};

}  // namespace velmora
