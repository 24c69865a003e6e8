// The service's configuration file: what it says becomes options, the command line wins, and a
// wrong line is refused with its file and number.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "server/ConfigFile.h"
#include "server/ServerOptions.h"
#include "transport/Errors.h"

namespace velmora::server {
namespace {

class ConfigFileTest : public ::testing::Test {
  protected:
    void TearDown() override { std::remove(path_.c_str()); }

    const std::string& write(const std::string& text) {
        std::ofstream(path_) << text;
        return path_;
    }

    ServerOptions parse(std::vector<std::string> args) {
        args = expandConfigFiles(args);
        std::vector<char*> pointers;
        for (std::string& arg : args) pointers.push_back(arg.data());
        return parseServerOptions(static_cast<int>(pointers.size()), pointers.data());
    }

    std::string failure(const std::string& text) {
        try {
            readConfigFile(write(text));
        } catch (const VelmoraError& e) {
            return e.what();
        }
        return "(accepted)";
    }

    std::string path_ = "/tmp/velmora-config-" + std::to_string(getpid()) + ".conf";
};

TEST_F(ConfigFileTest, LinesBecomeOptionsAndCommentsAndBlanksAreSkipped) {
    write(
        "# the service\n"
        "\n"
        "  port = 2110  \r\n"
        "listen=127.0.0.1\n"
        "init-demo\n"
        "   # indented comment\n"
        "db = postgresql://velmora:p#ss=word@db host/velmora\n");
    EXPECT_EQ(readConfigFile(path_),
              (std::vector<std::string>{"--port", "2110", "--listen", "127.0.0.1", "--init-demo", "--db",
                                        "postgresql://velmora:p#ss=word@db host/velmora"}));
}

TEST_F(ConfigFileTest, TheCommandLineWinsOverTheFileAndUserCommandsKeepTheirWords) {
    write("port = 2110\ndb = /var/lib/velmora/velmora.db\nmax-connections = 7\n");
    ServerOptions served = parse({"velmora-server", "--port", "0", "--config", path_});
    EXPECT_EQ(served.port, 0);
    EXPECT_EQ(served.database, "/var/lib/velmora/velmora.db");
    EXPECT_EQ(served.maxConnections, 7);

    ServerOptions user = parse({"velmora-server", "user", "add", "赵会计", "--config", path_});
    EXPECT_EQ(user.userCommand, (std::vector<std::string>{"user", "add", "赵会计"}));
    EXPECT_EQ(user.database, "/var/lib/velmora/velmora.db");
}

TEST_F(ConfigFileTest, TheAuditAndCertCommandsKeepTheirWordsAndReadTheTlsSettings) {
    write(
        "db = /var/lib/velmora/velmora.db\ntls = allow\ntls-cert = /etc/c.pem\ntls-key = /etc/k.pem\n"
        "tls-min-version = 1.2\n");
    ServerOptions audit = parse({"velmora-server", "audit", "verify", "--config", path_});
    EXPECT_EQ(audit.auditCommand, (std::vector<std::string>{"audit", "verify"}));
    EXPECT_EQ(audit.database, "/var/lib/velmora/velmora.db");

    ServerOptions cert = parse({"velmora-server", "cert", "create", "--config", path_, "--name", "shop"});
    EXPECT_EQ(cert.certCommand, (std::vector<std::string>{"cert", "create"}));
    EXPECT_EQ(cert.certNames, (std::vector<std::string>{"shop"}));
    EXPECT_EQ(cert.tlsCert, "/etc/c.pem");
    EXPECT_EQ(cert.tlsKey, "/etc/k.pem");
    EXPECT_EQ(tlsMode(cert), TlsMode::Allow);
    EXPECT_EQ(cert.tlsMinVersion, TlsVersion::V1_2);
    // A certificate without a mode requires TLS; no certificate, no TLS.
    EXPECT_EQ(tlsMode(parse({"velmora-server", "--tls-cert", "c.pem", "--tls-key", "k.pem"})),
              TlsMode::Require);
    EXPECT_EQ(tlsMode(parse({"velmora-server"})), TlsMode::Off);
    EXPECT_THROW(parse({"velmora-server", "--name", "shop"}), VelmoraError);
}

TEST_F(ConfigFileTest, AWrongValueInTheFileIsRefusedLikeOnTheCommandLine) {
    write("port = 70000\n");
    EXPECT_THROW(parse({"velmora-server", "--config", path_}), VelmoraError);
    write("prot = 211\n");
    EXPECT_THROW(parse({"velmora-server", "--config", path_}), VelmoraError);
}

TEST_F(ConfigFileTest, BadLinesNameTheFileAndTheLine) {
    EXPECT_EQ(failure("port = 211\n--port = 2\n"), path_ +
                                                       " line 2: expected 'name = value', the name an "
                                                       "option without its dashes");
    EXPECT_EQ(failure("\n\ndb =\n"), path_ + " line 3: the value after '=' is missing");
    EXPECT_EQ(failure("Port 211\n"), path_ +
                                         " line 1: expected 'name = value', the name an option without "
                                         "its dashes");
    EXPECT_EQ(failure("config = /etc/other.conf\n"),
              path_ + " line 1: config cannot name another configuration file");
}

TEST_F(ConfigFileTest, AMissingFileOrValueIsAnError) {
    EXPECT_THROW(expandConfigFiles({"velmora-server", "--config", "/nonexistent/velmora.conf"}),
                 VelmoraError);
    EXPECT_THROW(expandConfigFiles({"velmora-server", "--config"}), VelmoraError);
}

}  // namespace
}  // namespace velmora::server
