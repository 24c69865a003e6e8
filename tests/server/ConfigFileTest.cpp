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

    ServerOptions parse(const std::vector<std::string>& args) {
        return parseServerOptions(expandConfigFiles(args));
    }

    std::vector<std::string> texts(const std::vector<OptionArgument>& args) {
        std::vector<std::string> out;
        for (const OptionArgument& arg : args) out.push_back(arg.text);
        return out;
    }

    // What the server says of a file holding text, given to its command line.
    std::string failure(const std::string& text) {
        write(text);
        try {
            parse({"velmora-server", "--config", path_});
        } catch (const ConfigFileError& e) {
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
    EXPECT_EQ(texts(readConfigFile(path_)),
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

TEST_F(ConfigFileTest, ACommentAfterABlankEndsTheLineAndAHashInsideAValueStays) {
    write(
        "durability = normal  # faster; the last applies may be lost in a power cut\n"
        "allow-own-approval\t# one person in the office\n"
        "reader-db = postgresql://velmora_reader:se#cret@db/velmora #the reader\n"
        "port = 2110#no blank before the hash: part of the value\n");
    EXPECT_EQ(texts(readConfigFile(path_)),
              (std::vector<std::string>{"--durability", "normal", "--allow-own-approval", "--reader-db",
                                        "postgresql://velmora_reader:se#cret@db/velmora", "--port",
                                        "2110#no blank before the hash: part of the value"}));
    write("durability = normal  # faster\nallow-own-approval # alone\n");
    ServerOptions o = parse({"velmora-server", "--config", path_});
    EXPECT_EQ(o.durability, Durability::Normal);
    EXPECT_TRUE(o.allowOwnApproval);
}

TEST_F(ConfigFileTest, EveryRefusalOfTheFileNamesItsFileAndLineAsTheFileSpellsTheOption) {
    EXPECT_EQ(failure("# the service\nport = 211\n\ndurability = fast\n"),
              path_ + ":4: durability takes full or normal, not 'fast'");
    EXPECT_EQ(failure("port = 70000\n"), path_ + ":1: port takes a number from 0 to 65535, not '70000'");
    EXPECT_EQ(failure("listen = 0.0.0.0\nprot = 211\n"), path_ + ":2: unknown option 'prot'");
    EXPECT_EQ(failure("port = 211\n--port = 2\n"),
              path_ + ":2: expected 'name = value', the name an option without its dashes");
    EXPECT_EQ(failure("\n\ndb =\n"), path_ + ":3: db needs a value: 'name = value'");
    EXPECT_EQ(failure("port\nlisten = 127.0.0.1\n"), path_ + ":1: port needs a value: 'name = value'");
    EXPECT_EQ(failure("init-demo = yes\n"),
              path_ + ":1: init-demo is a switch: write the name alone, without '= value'");
    EXPECT_EQ(failure("role = admin\n"), path_ + ":1: 'role' is given on the command line only");
    EXPECT_EQ(failure("config = /etc/other.conf\n"),
              path_ + ":1: config cannot name another configuration file");
    // The same value on the command line names the option with its dashes.
    try {
        parse({"velmora-server", "--durability", "fast"});
        ADD_FAILURE() << "accepted";
    } catch (const ConfigFileError&) {
        ADD_FAILURE() << "a command-line option reported as the file's";
    } catch (const VelmoraError& e) {
        EXPECT_STREQ(e.what(), "--durability takes full or normal, not 'fast'");
    }
}

TEST_F(ConfigFileTest, BackupCommandsKeepTheirWordsAndTakeTheDatabaseFromTheFile) {
    write("db = /var/lib/velmora/velmora.db\nbackup-dir = /var/lib/velmora/backups\n");
    ServerOptions backup = parse({"velmora-server", "backup", "--config", path_});
    EXPECT_EQ(backup.backupCommand, (std::vector<std::string>{"backup"}));
    EXPECT_EQ(backup.backupDir, "/var/lib/velmora/backups");
    ServerOptions restore = parse({"velmora-server", "restore", "/b/x.vbak", "--config", path_});
    EXPECT_EQ(restore.backupCommand, (std::vector<std::string>{"restore", "/b/x.vbak"}));
    EXPECT_EQ(restore.database, "/var/lib/velmora/velmora.db");
}

TEST_F(ConfigFileTest, EveryOptionTheHelpListsIsOneAFileMayGiveButTheProgramsOwn) {
    std::string usage = serverUsage();
    int listed = 0;
    for (size_t at = usage.find("\n  --"); at != std::string::npos; at = usage.find("\n  --", at + 1)) {
        size_t name = at + 5;
        std::string option = usage.substr(name, usage.find_first_of(" \n", name) - name);
        ++listed;
        FileOption kind = fileOption(option);
        if (option == "config" || option == "help" || option == "version")
            EXPECT_EQ(kind, FileOption::NotInFile) << option;
        else
            EXPECT_TRUE(kind == FileOption::Switch || kind == FileOption::WithValue) << option;
    }
    EXPECT_GT(listed, 30);
    // A command's own options are in its usage line, never among the options.
    EXPECT_EQ(usage.find("\n  --role"), std::string::npos);
    EXPECT_EQ(fileOption("role"), FileOption::NotInFile);
}

TEST_F(ConfigFileTest, AMissingFileOrValueIsAnError) {
    EXPECT_THROW(expandConfigFiles({"velmora-server", "--config", "/nonexistent/velmora.conf"}),
                 VelmoraError);
    EXPECT_THROW(expandConfigFiles({"velmora-server", "--config"}), VelmoraError);
}

}  // namespace
}  // namespace velmora::server
