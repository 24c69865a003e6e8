#include "server/ConfigFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "transport/Errors.h"

namespace velmora::server {

namespace {

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The line up to its comment: a '#' that starts the line or follows a blank.
std::string withoutComment(const std::string& line) {
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    return line;
}

bool isOptionName(const std::string& name) {
    if (name.empty() || name.front() == '-') return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
    return true;
}

}  // namespace

std::vector<OptionArgument> readConfigFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw ConfigFileError(formatText("cannot read %s: %s", path.c_str(), std::strerror(errno)));
    std::vector<OptionArgument> args;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trimmed(withoutComment(line));
        if (line.empty()) continue;
        const std::string origin = path + ":" + std::to_string(number);
        auto fail = [&](const std::string& why) { throw ConfigFileError(origin + ": " + why); };
        size_t equals = line.find('=');
        std::string name = trimmed(line.substr(0, equals));
        if (!isOptionName(name)) fail("expected 'name = value', the name an option without its dashes");
        // A file naming another file would hide where an option came from.
        if (name == "config") fail("config cannot name another configuration file");
        FileOption kind = fileOption(name);
        if (kind == FileOption::Unknown) fail("unknown option '" + name + "'");
        if (kind == FileOption::NotInFile) fail("'" + name + "' is given on the command line only");
        std::string value = equals == std::string::npos ? "" : trimmed(line.substr(equals + 1));
        if (kind == FileOption::Switch && equals != std::string::npos)
            fail(name + " is a switch: write the name alone, without '= value'");
        if (kind == FileOption::WithValue && value.empty()) fail(name + " needs a value: 'name = value'");
        args.push_back({"--" + name, origin});
        if (kind == FileOption::WithValue) args.push_back({value, origin});
    }
    if (in.bad()) throw ConfigFileError(formatText("cannot read %s: %s", path.c_str(), std::strerror(errno)));
    return args;
}

std::vector<OptionArgument> expandConfigFiles(const std::vector<std::string>& args) {
    std::vector<OptionArgument> head, fromFiles, rest;
    size_t i = 0;
    if (!args.empty()) head.push_back({args[i++], {}});
    // "user add NAME", "restore FILE": the words before the first option stay in front.
    if (i < args.size() && isCommandWord(args[i]))
        while (i < args.size() && args[i].rfind("--", 0) != 0) head.push_back({args[i++], {}});
    for (; i < args.size(); ++i) {
        if (args[i] != "--config") {
            rest.push_back({args[i], {}});
            continue;
        }
        if (i + 1 >= args.size()) throw VelmoraError("--config needs a value");
        std::vector<OptionArgument> options = readConfigFile(args[++i]);
        fromFiles.insert(fromFiles.end(), options.begin(), options.end());
    }
    head.insert(head.end(), fromFiles.begin(), fromFiles.end());
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

}  // namespace velmora::server
