#pragma once

#include <cstdint>
#include <string>

namespace velmora::server {

struct ServerOptions {
    std::string listen = "0.0.0.0";
    uint16_t port = 211;
    std::string database = "velmora.db";
    bool initDemo = false;
    int maxConnections = 100;
    bool help = false;
};

// Reads the command line; fails with a message naming the bad argument.
ServerOptions parseServerOptions(int argc, char** argv);
const char* serverUsage();

}  // namespace velmora::server
