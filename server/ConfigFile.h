#pragma once
// The configuration file of velmora-server (--config FILE), as a service reads its options.

#include <string>
#include <vector>

namespace velmora::server {

// Reads the options a configuration file holds, as command-line arguments: one option per line,
// "name = value", or a bare "name" for a switch such as init-demo; the names are the long options
// without their dashes; blank lines and lines starting with '#' are skipped. Fails with a message
// naming the file and the line.
std::vector<std::string> readConfigFile(const std::string& path);

// The command line with every "--config FILE" replaced by the options of its file. They go right
// after a command's words ("user add NAME", "audit verify", "cert create"; if any) and before every
// option of the command line, so that an option given on the command line wins over the file.
std::vector<std::string> expandConfigFiles(const std::vector<std::string>& args);

}  // namespace velmora::server
