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

bool isOptionName(const std::string& name) {
    if (name.empty() || name.front() == '-') return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
    return true;
}

}  // namespace

std::vector<std::string> readConfigFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw VelmoraError(formatText("cannot read %s: %s", path.c_str(), std::strerror(errno)));
    std::vector<std::string> args;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line.front() == '#') continue;
        size_t equals = line.find('=');
        std::string name = trimmed(line.substr(0, equals));
        auto fail = [&](const char* why) {
            throw VelmoraError(formatText("%s line %d: %s", path.c_str(), number, why));
        };
        if (!isOptionName(name)) fail("expected 'name = value', the name an option without its dashes");
        // A file naming another file would hide where an option came from.
        if (name == "config") fail("config cannot name another configuration file");
        args.push_back("--" + name);
        if (equals == std::string::npos) continue;
        std::string value = trimmed(line.substr(equals + 1));
        if (value.empty()) fail("the value after '=' is missing");
        args.push_back(value);
    }
    if (in.bad()) throw VelmoraError(formatText("cannot read %s: %s", path.c_str(), std::strerror(errno)));
    return args;
}

std::vector<std::string> expandConfigFiles(const std::vector<std::string>& args) {
    std::vector<std::string> head, fromFiles, rest;
    size_t i = 0;
    if (!args.empty()) head.push_back(args[i++]);
    // "user add NAME", "cert create": the words before the first option stay in front.
    if (i < args.size() && (args[i] == "user" || args[i] == "audit" || args[i] == "cert"))
        while (i < args.size() && args[i].rfind("--", 0) != 0) head.push_back(args[i++]);
    for (; i < args.size(); ++i) {
        if (args[i] != "--config") {
            rest.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size()) throw VelmoraError("--config needs a value");
        std::vector<std::string> options = readConfigFile(args[++i]);
        fromFiles.insert(fromFiles.end(), options.begin(), options.end());
    }
    head.insert(head.end(), fromFiles.begin(), fromFiles.end());
    head.insert(head.end(), rest.begin(), rest.end());
    return head;
}

}  // namespace velmora::server
