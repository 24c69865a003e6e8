#pragma once
// The configuration file of velmora-server (--config FILE), as a service reads its options.

#include <string>
#include <vector>

#include "server/ServerOptions.h"

namespace velmora::server {

// Reads the options a configuration file holds, as command-line arguments that remember their
// "FILE:LINE": one option per line, "name = value", or a bare "name" for a switch such as
// init-demo; the names are the long options without their dashes. Blank lines are skipped, and
// a '#' at the start of a line or after a blank starts a comment to the end of the line (a '#'
// inside a value, as in a password, stays). Fails with a ConfigFileError "FILE:LINE: why".
std::vector<OptionArgument> readConfigFile(const std::string& path);

// The command line with every "--config FILE" replaced by the options of its file. They go right
// after a command's words ("user add NAME", "backup", "restore FILE"; if any) and before every
// option of the command line, so that an option given on the command line wins over the file.
std::vector<OptionArgument> expandConfigFiles(const std::vector<std::string>& args);

}  // namespace velmora::server
