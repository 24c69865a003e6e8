#include "ClientSession.h"

#include "DispatchAppServer.h"
#include "SocketConnection.h"

namespace velmora {

ClientSession::ClientSession(QWidget& mainForm, SocketConnection& connection)
    : MainForm(&mainForm), connection_(connection) {}

ProviderSource ClientSession::providerSource() const {
    return [&connection = connection_]() -> std::shared_ptr<IProviderServer> { return connection.getServer(); };
}

}  // namespace velmora
