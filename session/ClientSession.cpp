#include "session/ClientSession.h"

#include "transport/DispatchAppServer.h"
#include "transport/SocketConnection.h"

namespace velmora {

ClientSession::ClientSession(QWidget& mainForm, SocketConnection& connection)
    : MainForm(&mainForm), connection_(connection) {}

ProviderSource ClientSession::providerSource() const {
    return
        [&connection = connection_]() -> std::shared_ptr<IProviderServer> { return connection.getServer(); };
}

}  // namespace velmora
