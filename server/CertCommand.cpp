#include "server/CertCommand.h"

#include <unistd.h>

#include <cstdio>

#include "server/Certificate.h"

namespace velmora::server {

namespace {

constexpr const char* kDefaultCertificate = "velmora-cert.pem";
constexpr const char* kDefaultKey = "velmora-key.pem";

// The command's own file, else the server's configured one, else the default in this folder.
std::string chosen(const std::string& own, const std::string& configured, const char* fallback) {
    if (!own.empty()) return own;
    return configured.empty() ? fallback : configured;
}

std::string hostName() {
    char name[256] = "";
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

int create(const ServerOptions& options) {
    CertificateRequest request;
    request.certificateFile = chosen(options.certFile, options.tlsCert, kDefaultCertificate);
    request.keyFile = chosen(options.certKeyFile, options.tlsKey, kDefaultKey);
    request.days = options.certDays;
    request.names = options.certNames;
    if (request.names.empty()) {
        std::string host = hostName();
        if (!host.empty() && host != "localhost") request.names.push_back(host);
        request.names.emplace_back("localhost");
    }
    std::string fingerprint = createSelfSignedCertificate(request);
    std::printf(
        "created %s and its private key %s (readable by its owner alone), valid for %d days, for %s\n",
        request.certificateFile.c_str(), request.keyFile.c_str(), request.days,
        joined(request.names).c_str());
    std::printf("SHA-256 fingerprint: %s\n", fingerprint.c_str());
    return 0;
}

int show(const ServerOptions& options) {
    std::string path = chosen(options.certFile, options.tlsCert, kDefaultCertificate);
    CertificateInfo info = readCertificate(path);
    std::printf("certificate: %s\n", path.c_str());
    std::printf("subject: %s\n", info.subject.c_str());
    std::printf("names: %s\n", joined(info.names).c_str());
    std::printf("expires: %s%s\n", info.notAfter.c_str(), info.expired ? " (EXPIRED)" : "");
    std::printf("SHA-256 fingerprint: %s\n", info.fingerprint.c_str());
    return 0;
}

}  // namespace

int runCertCommand(const ServerOptions& options) {
    const std::vector<std::string>& args = options.certCommand;
    const std::string verb = args.size() == 2 ? args[1] : "";
    if (verb != "create" && verb != "show") {
        std::fputs(serverUsage(), stderr);
        return 2;
    }
    try {
        return verb == "create" ? create(options) : show(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-server: %s\n", e.what());
        return 1;
    }
}

}  // namespace velmora::server
