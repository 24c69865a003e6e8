#pragma once
// What the backup tests share: the server program run as a command (its output and status), and
// every table of a database as text, row by row, to compare two databases.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/TestDatabase.h"

namespace velmora::test {

struct Outcome {
    int status = -1;
    std::string output;  // standard output and standard error together
};

// Starts velmora-server with args, its output going to file (or nowhere); returns its pid.
inline pid_t startServerProgram(const std::vector<std::string>& args, const std::string& file = "/dev/null") {
    const char* installed = std::getenv("VELMORA_TEST_SERVER");
    std::vector<std::string> argv = {installed && *installed ? installed : VELMORA_SERVER_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
        int out = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    return child;
}

inline Outcome runServerProgram(const std::vector<std::string>& args) {
    char name[] = "/tmp/velmora-command-XXXXXX";
    int fd = mkstemp(name);
    ::close(fd);
    pid_t child = startServerProgram(args, name);
    int status = 0;
    waitpid(child, &status, 0);
    Outcome out;
    out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::FILE* f = std::fopen(name, "rb");
    char buffer[4096];
    for (size_t n; f && (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) out.output.append(buffer, n);
    if (f) std::fclose(f);
    ::unlink(name);
    return out;
}

// The tables a backup carries, each with its columns and the column it is ordered by.
struct TableColumns {
    const char* name;
    const char* order;
    std::vector<const char*> columns;
};
inline const std::vector<TableColumns>& productTables() {
    static const std::vector<TableColumns> tables = {
        {"chfl", "chflid", {"chflid", "chflname"}},
        {"ch", "chid", {"chflid", "chid", "chname", "ggxh", "jldw"}},
        {"kh", "khid", {"khid", "khname", "tel", "address", "accountid", "tax"}},
        {"ywy", "ywyid", {"ywyid", "ywyname", "tel", "address"}},
        {"xsdtb",
         "xsdid",
         {"xsdid", "khid", "khname", "ywyid", "ywyname", "username", "shrname", "ischeck", "rq"}},
        {"xsdzb",
         "lineid",
         {"xsdid", "chid", "chname", "ggxh", "jldw", "quantity1", "price1", "money1", "lineid"}},
        {"user1", "username", {"username", "password1", "role", "rights", "disabled"}},
        {"server_logins",
         "id",
         {"id", "event", "computername", "address", "username", "logintime", "recorded", "peer",
          "sessionuser"}},
        {"audit_log",
         "seq",
         {"seq", "at", "username", "peer", "computer", "action", "tablename", "recordkey", "parentkey",
          "changes", "hash"}},
        {"audit_head", "id", {"id", "seq", "hash", "startseq", "starthash"}},
    };
    return tables;
}

// Every row of every table as one text, exact for numbers (SQLite's quote() and PostgreSQL's
// text of a float both give back the same double).
inline std::vector<std::string> dumpTables(const TestDatabase& db) {
    bool pg = db.location().rfind("postgresql://", 0) == 0;
    std::vector<std::string> out;
    for (const TableColumns& t : productTables()) {
        std::string row = std::string("'") + t.name + "'";
        for (const char* c : t.columns)
            row += pg ? std::string(" || '|' || coalesce(") + c + "::text, 'NULL')"
                      : std::string(" || '|' || quote(") + c + ")";
        for (std::string& r : db.query("select " + row + " from " + t.name + " order by " + t.order))
            out.push_back(std::move(r));
    }
    return out;
}

// Now as the backup header writes time: UTC, ISO 8601 with milliseconds.
inline std::string isoNow() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, static_cast<int>(millis));
    return text;
}

}  // namespace velmora::test
