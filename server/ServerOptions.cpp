#include "ServerOptions.h"

#include <cstdlib>
#include <cstring>

#include "Errors.h"

namespace velmora::server {

namespace {

long number(const char* option, const char* text, long low, long high) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > high)
        throw VelmoraError(formatText("%s takes a number from %ld to %ld, not '%s'", option, low, high, text));
    return v;
}

}  // namespace

const char* serverUsage() {
    return "usage: velmora-server [options]\n"
           "  --port N             TCP port to listen on (default 211; 0 picks a free one)\n"
           "  --listen ADDRESS     IPv4 address to listen on (default 0.0.0.0, every address)\n"
           "  --db PATH            SQLite database file (default velmora.db); a new file gets the schema\n"
           "  --init-demo          when the database file does not exist yet, fill it with demo data\n"
           "  --max-connections N  clients served at once (default 100)\n"
           "  --help               this text\n"
           "Prints 'listening on ADDRESS:PORT' once it accepts connections; stops on SIGINT or SIGTERM.\n";
}

ServerOptions parseServerOptions(int argc, char** argv) {
    ServerOptions o;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) throw VelmoraError(formatText("%s needs a value", arg));
            return argv[++i];
        };
        if (!std::strcmp(arg, "--port")) {
            o.port = static_cast<uint16_t>(number(arg, value(), 0, 65535));
        } else if (!std::strcmp(arg, "--listen")) {
            o.listen = value();
        } else if (!std::strcmp(arg, "--db")) {
            o.database = value();
        } else if (!std::strcmp(arg, "--init-demo")) {
            o.initDemo = true;
        } else if (!std::strcmp(arg, "--max-connections")) {
            o.maxConnections = static_cast<int>(number(arg, value(), 1, 10000));
        } else if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
            o.help = true;
        } else {
            throw VelmoraError(formatText("unknown option '%s'", arg));
        }
    }
    return o;
}

}  // namespace velmora::server
