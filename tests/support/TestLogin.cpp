#include "tests/support/TestLogin.h"

#include <memory>
#include <stdexcept>

#include "data/ClientDataSet.h"
#include "transport/DispatchAppServer.h"
#include "transport/SocketConnection.h"

namespace velmora::test {

namespace {

std::string quotesDoubled(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

}  // namespace

std::string loginCheckStatement(const std::string& user, const std::string& password) {
    // No blank before "and": the program sends it so, and the server expects exactly that text.
    return "select * from user1 where username='" + quotesDoubled(user) + "'and password1='" +
           quotesDoubled(password) + "'";
}

void loginAs(SocketConnection& connection, const std::string& user, const std::string& password) {
    ClientDataSet hz("LoginCheck");
    hz.setRemoteServer(
        [&connection]() -> std::shared_ptr<IProviderServer> { return connection.getServer(); });
    hz.setProviderName("DataSetProviderhz");
    hz.setCommandText("select username from user1");
    hz.Open();
    hz.Close();
    hz.setCommandText(loginCheckStatement(user, password));
    hz.Open();
    bool found = hz.RecordCount() > 0;
    hz.Close();
    if (!found) throw std::runtime_error("login as " + user + " failed: no such user with that password");
}

}  // namespace velmora::test
