#include "server/ServerTls.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "transport/Errors.h"

namespace velmora::server {

namespace {

// A private key others can read is no longer private: the server will not use it.
void checkKeyFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw VelmoraError(
            formatText("the TLS key file %s cannot be used: %s (make one with: velmora-server "
                       "cert create)",
                       path.c_str(), std::strerror(errno)));
    if (!S_ISREG(info.st_mode))
        throw VelmoraError(formatText("the TLS key file %s is not a regular file", path.c_str()));
    if (info.st_mode & (S_IRWXG | S_IRWXO))
        throw VelmoraError(
            formatText("the TLS key file %s may be read or changed by other users (mode %04o); "
                       "allow its owner alone: chmod 600 %s",
                       path.c_str(), static_cast<unsigned>(info.st_mode & 07777), path.c_str()));
}

}  // namespace

std::shared_ptr<const TlsContext> loadServerTls(const ServerOptions& options) {
    if (tlsMode(options) == TlsMode::Off) return nullptr;
    if (options.tlsCert.empty() || options.tlsKey.empty())
        throw VelmoraError(
            "--tls allow and --tls require need --tls-cert FILE and --tls-key FILE (make them "
            "with: velmora-server cert create)");
    checkKeyFile(options.tlsKey);
    TlsServerSettings settings;
    settings.certificateFile = options.tlsCert;
    settings.keyFile = options.tlsKey;
    settings.minVersion = options.tlsMinVersion;
    return TlsContext::forServer(settings);
}

}  // namespace velmora::server
