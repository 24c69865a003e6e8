#pragma once
// Logs a connection in as the program's login does, for harnesses that talk to the real server
// without going through the login dialog.

#include <string>

namespace velmora {
class SocketConnection;
}

namespace velmora::test {

// Reads the user list, then checks user and password on connection's server object through
// provider DataSetProviderhz, as the login dialog and the main window do; opens the connection
// first when it is closed. Throws std::runtime_error when no user matches, and whatever the
// connection throws when the server refuses a step.
void loginAs(SocketConnection& connection, const std::string& user = "管理员",
             const std::string& password = "vantu");

// The login's check statement for user and password, single quotes doubled.
std::string loginCheckStatement(const std::string& user, const std::string& password);

}  // namespace velmora::test
