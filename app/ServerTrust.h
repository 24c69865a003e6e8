#pragma once
// Which servers this workstation trusts, and the opening of a connection under that trust.
//
// A connection is encrypted whenever the server offers it. A certificate that a trusted CA (the
// system's, or the office's CA file of the settings) vouches for is accepted; otherwise the one
// remembered for the server's host:port is; a server seen for the first time has its fingerprint
// shown to the user, who accepts it once (trust on first use). A certificate that differs from
// the remembered one is refused with a warning and never accepted silently, and a server once
// reached encrypted is never reached in plain again.

#include <QString>

#include "transport/TlsContext.h"

class QLabel;

namespace velmora {

class SocketConnection;

// What this workstation remembers of the servers it reached encrypted, in the client's settings
// file (INI): the section [tls] holds ca_file and min_version (1.2 or 1.3), the section
// [known_servers] one entry per host:port, the fingerprint accepted for it, or "ca" when a
// trusted CA vouched for its certificate.
class ServerTrust {
  public:
    // settingsFile: empty for the user's own, ~/.config/velmora/velmora.ini.
    explicit ServerTrust(QString settingsFile = {});
    static QString defaultSettingsFile();
    const QString& settingsFile() const { return file_; }

    // The CA file and oldest TLS version the settings give.
    TlsClientSettings tlsSettings() const;

    // "host:port", as servers are remembered (a host name in lower case).
    static QString serverKey(const std::string& host, uint16_t port);
    // The fingerprint remembered for server, "ca", or empty for a server never reached encrypted.
    QString remembered(const QString& server) const;
    void remember(const QString& server, const QString& fingerprintOrCa);
    // Forgets server; false when nothing was remembered of it.
    bool forget(const QString& server);

    enum class Verdict { Trusted, New, Changed };
    Verdict judge(const ServerCertificate& certificate) const;

  private:
    QString file_;
};

// Opens connection to the host and port it is set to, under trust: asks the user about a new
// certificate (and opens again when accepted), warns of a changed one or of a server that no
// longer offers encryption. True when open; false when the user declined or was warned, which
// needs no further message. A server that cannot be reached fails as open() does.
bool openTrusted(SocketConnection& connection, ServerTrust& trust);

// Shows on label whether connection is encrypted: 未加密 in red, or 已加密 with the server's
// fingerprint in its tooltip.
void showEncryptionMark(QLabel* label, const SocketConnection& connection);

}  // namespace velmora
