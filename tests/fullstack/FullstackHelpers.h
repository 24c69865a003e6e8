#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "data/Tdm.h"
#include "tests/support/ServerProcess.h"
#include "tests/support/TestLogin.h"
#include "tests/support/WaitUntil.h"
#include "transport/SocketConnection.h"

namespace velmora::test {

// The message a step fails with, or "<served>" when it goes through.
inline std::string refusal(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "<served>";
}

// Waits up to five seconds for text to appear in the server's log.
inline bool logShows(const ServerProcess& server, const std::string& text) {
    return waitUntil([&] { return server.log().find(text) != std::string::npos; }, std::chrono::seconds(5));
}

// A client as the program has one: a connection to the test server, logged in as the
// administrator unless asked otherwise, and its data module.
struct Client {
    enum Login { LoggedIn, LoggedOut };

    // LoggedOut leaves the connection closed and not logged in, for tests of what the server
    // refuses before a login.
    explicit Client(const ServerProcess& server, Login login = LoggedIn) {
        connection.setServerGUID("{276F7104-2B30-4414-AD12-DE1160EAA8D1}");
        connection.setAddress("127.0.0.1");
        connection.setPort(server.port());
        if (login == LoggedIn) loginAs(connection);
        module = std::make_unique<Tdm>(connection);
    }
    ~Client() {
        module.reset();
        connection.close();
    }
    Tdm& dm() { return *module; }

    // Closes ds, sets its command text and opens it, as the windows re-query.
    static void requery(ClientDataSet& ds, const std::string& sql) {
        ds.Close();
        ds.setCommandText("");
        ds.setCommandText(sql);
        ds.Open();
    }

    SocketConnection connection;
    std::unique_ptr<Tdm> module;
};

// A client logged in as user with password, on a connection of its own.
inline std::unique_ptr<Client> loggedIn(const ServerProcess& server, const std::string& user,
                                        const std::string& password) {
    auto c = std::make_unique<Client>(server, Client::LoggedOut);
    loginAs(c->connection, user, password);
    return c;
}

}  // namespace velmora::test
