#include "server/UserCommand.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "server/SocketServer.h"
#include "server/UserAdmin.h"
#include "server/UserStore.h"
#include "transport/Errors.h"

namespace velmora::server {

namespace {

// One line of standard input without its line end; echo off while a terminal types it.
std::string readSecretLine(const char* prompt) {
    bool terminal = isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::fputs(prompt, stderr);
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string line;
    bool got = static_cast<bool>(std::getline(std::cin, line));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (!got) throw VelmoraError("no password given on standard input");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::string readNewPassword() {
    std::string password = readSecretLine("新口令 (new password): ");
    if (isatty(STDIN_FILENO) && readSecretLine("再输入一次 (again): ") != password)
        throw VelmoraError("the two passwords differ; nothing was changed");
    if (password.empty()) throw VelmoraError("an empty password can never log in; nothing was changed");
    return password;
}

// The role asked for; without one, an operator, unless the database has no user yet: its first
// user must be able to run it.
Role roleFor(const std::string& asked, UserStore& users) {
    if (asked.empty()) return users.names().empty() ? Role::Administrator : Role::Operator;
    if (std::optional<Role> role = roleNamed(asked)) return *role;
    throw VelmoraError(formatText("--role takes admin, approver or operator, not '%s'", asked.c_str()));
}

}  // namespace

int runUserCommand(const ServerOptions& options) {
    const std::vector<std::string>& args = options.userCommand;
    std::string verb = args.size() > 1 ? args[1] : "";
    bool needsName =
        verb == "add" || verb == "passwd" || verb == "del" || verb == "disable" || verb == "enable";
    if (!(needsName && args.size() == 3) && !(verb == "list" && args.size() == 2) &&
        !((verb == "role" || verb == "rights") && args.size() == 4)) {
        std::fputs(serverUsage(), stderr);
        return 2;
    }
    try {
        prepareDatabase(options.database, false);
        std::unique_ptr<DbConnection> db = openDatabase(options.database, false);
        UserStore users(*db);
        if (!options.userRole.empty() && verb != "add") throw VelmoraError("--role goes with user add only");
        if (verb == "list") {
            for (const auto& [name, role] : users.namesAndRoles()) {
                std::optional<UserRecord> u = users.find(name);
                if (!u) continue;  // removed meanwhile
                std::printf("%s\t%s\t%s%s\n", name.c_str(), roleName(u->role), u->rights.text().c_str(),
                            u->disabled ? "\tdisabled" : "");
            }
            return 0;
        }
        const std::string& name = args[2];
        // The administrator at the server's console, held to the rules of the user management
        // window: the last enabled administrator stays.
        Access console{"", Role::Administrator, Rights::presetOf(Role::Administrator)};
        if (verb == "role") {
            std::optional<Role> role = roleNamed(args[3]);
            if (!role)
                throw VelmoraError(
                    formatText("a role is admin, approver or operator, not '%s'", args[3].c_str()));
            UserAdmin(*db, console).change(name, *role, "");  // the role's preset rights
            std::printf("%s is now %s\n", name.c_str(), roleName(*role));
        } else if (verb == "rights") {
            std::optional<UserRecord> user = users.find(name);
            if (!user) throw VelmoraError(formatText("There is no user %s", name.c_str()));
            // "preset" goes back to the role's own rights.
            std::string rights = args[3] == "preset" ? "" : args[3];
            if (!rights.empty() && !Rights::parse(rights))
                throw VelmoraError(formatText("unknown rights '%s'; the rights are %s", rights.c_str(),
                                              Rights::presetOf(Role::Administrator).text().c_str()));
            UserAdmin(*db, console).change(name, user->role, rights);
            std::printf("%s may now: %s\n", name.c_str(), users.find(name)->rights.text().c_str());
        } else if (verb == "disable" || verb == "enable") {
            UserAdmin(*db, console).setEnabled(name, verb == "enable");
            std::printf("%s user %s\n", verb == "enable" ? "enabled" : "disabled", name.c_str());
        } else if (verb == "del") {
            users.remove(name);
            std::printf("removed user %s\n", name.c_str());
        } else if (verb == "add") {
            if (users.exists(name))
                throw VelmoraError(formatText("The user %s exists already", name.c_str()));
            Role role = roleFor(options.userRole, users);
            users.add(name, readNewPassword(), role);
            std::printf("added user %s (%s)\n", name.c_str(), roleName(role));
        } else {
            if (!users.exists(name)) throw VelmoraError(formatText("There is no user %s", name.c_str()));
            users.setPassword(name, readNewPassword());  // its resumable sessions end with it
            std::printf("changed the password of %s\n", name.c_str());
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-server: %s\n", e.what());
        return 1;
    }
}

}  // namespace velmora::server
