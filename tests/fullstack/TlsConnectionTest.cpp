// Encrypted connections between the client's transport and the real server: the handshake and
// what the verifier is shown, the certificate the client refuses, plain peers under each mode,
// the start refused for a key others may read, and the certificate command itself.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cctype>

#include "tests/fullstack/TlsHelpers.h"
#include "transport/DispatchAppServer.h"

namespace velmora::test {
namespace {

// "AB:CD:…" with the given number of upper-case hex pairs.
bool isColonHex(const std::string& text, std::size_t pairs) {
    if (text.size() != pairs * 3 - 1) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool wanted =
            i % 3 == 2 ? c == ':' : std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F');
        if (!wanted) return false;
    }
    return true;
}

using Encryption = SocketConnection::Encryption;

TEST(TlsConnection, ALoginAndAnOrderGoThroughTlsAndTheVerifierSeesTheServersFingerprint) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs());
    TlsClient c(server, Encryption::Required);
    c.login();
    ASSERT_EQ(c.seen.size(), 1u);
    EXPECT_EQ(c.seen[0].fingerprint, files.fingerprint);
    EXPECT_EQ(c.seen[0].host, "127.0.0.1");
    EXPECT_EQ(c.seen[0].port, server.port());
    EXPECT_FALSE(c.seen[0].trustedByCa);  // self-signed, and no CA file given
    EXPECT_TRUE(c.client.connection.encrypted());
    EXPECT_EQ(c.client.connection.serverFingerprint(), files.fingerprint);

    ClientDataSet& tb = c.client.dm().ClientDataSetxsdtb;
    ClientDataSet& zb = c.client.dm().ClientDataSetxsdzb;
    Client::requery(tb, "select * from xsdtb");
    zb.Open();
    tb.Insert();
    tb.FieldByName("xsdid").setAsString("XS990001");
    tb.FieldByName("khid").setAsString("K001");
    tb.FieldByName("rq").setAsString("2003-04-01");
    tb.FieldByName("username").setAsString("管理员");
    zb.Insert();
    zb.FieldByName("xsdid").setAsString("XS990001");
    zb.FieldByName("chid").setAsString("0100101");
    zb.FieldByName("quantity1").setAsFloat(2);
    zb.FieldByName("price1").setAsFloat(18.5);
    zb.FieldByName("money1").setAsFloat(37);
    zb.Post();
    tb.Post();
    EXPECT_EQ(tb.ApplyUpdates(-1), 0) << tb.UpdateError();
    EXPECT_EQ(server.scalar("select count(*) from xsdzb where xsdid='XS990001'"), "1");
    EXPECT_TRUE(logShows(server, ": encrypted, TLSv1.3")) << server.log();
}

TEST(TlsConnection, WithoutAVerifierOnlyACertificateACaVouchesForIsAccepted) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs());
    Client plainDefaults(server, Client::LoggedOut);
    plainDefaults.connection.setEncryption(Encryption::Required);
    EXPECT_EQ(refusal([&] { loginAs(plainDefaults.connection); }),
              "服务器证书未获信任，连接已取消 (the server's certificate was not accepted)");

    // The office's own CA file; the self-signed certificate is its own authority.
    Client office(server, Client::LoggedOut);
    office.connection.setEncryption(Encryption::Required);
    TlsClientSettings settings;
    settings.caFile = files.cert;
    office.connection.setTlsSettings(settings);
    loginAs(office.connection);
    EXPECT_TRUE(office.connection.encrypted());

    // The same CA, but a certificate that does not name the host the client asked for.
    TlsFiles otherHost("--name elsewhere.example");
    ServerProcess misnamed = serverWith(otherHost.serverArgs());
    TlsClient asked(misnamed, Encryption::Required, true,
                    TlsClientSettings{otherHost.cert, TlsVersion::V1_3});
    asked.login();
    ASSERT_EQ(asked.seen.size(), 1u);
    EXPECT_FALSE(asked.seen[0].trustedByCa);
}

TEST(TlsConnection, AnOfficeCaFileIsTrustedOnlyByTheConnectionsThatNameIt) {
    // The system's CAs are read once and shared by every client context: a CA file must reach
    // only the contexts made with it, before and after one made without it.
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs());
    TlsClientSettings office;
    office.caFile = files.cert;
    for (bool withFile : {true, false, true}) {
        Client c(server, Client::LoggedOut);
        c.connection.setEncryption(Encryption::Required);
        if (withFile) c.connection.setTlsSettings(office);
        if (withFile) {
            loginAs(c.connection);
            EXPECT_TRUE(c.connection.encrypted());
        } else {
            EXPECT_EQ(refusal([&] { loginAs(c.connection); }),
                      "服务器证书未获信任，连接已取消 (the server's certificate was not accepted)");
        }
    }
    // A CA file that cannot be read still fails the open, saying which file.
    Client broken(server, Client::LoggedOut);
    broken.connection.setEncryption(Encryption::Required);
    broken.connection.setTlsSettings(TlsClientSettings{files.dir + "/missing.pem", TlsVersion::V1_3});
    EXPECT_NE(refusal([&] { loginAs(broken.connection); }).find("missing.pem"), std::string::npos);
}

TEST(TlsConnection, ACertificateTheVerifierRefusesEndsTheOpenAndNeverFallsBackToPlain) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs({"--tls", "allow"}));
    for (Encryption mode : {Encryption::Required, Encryption::Preferred}) {
        TlsClient c(server, mode, false);
        EXPECT_EQ(refusal([&] { c.login(); }),
                  "服务器证书未获信任，连接已取消 (the server's certificate was not accepted)");
        EXPECT_FALSE(c.client.connection.connected());
    }
    // A client that remembers another fingerprint for this server throws its own warning.
    Client remembered(server, Client::LoggedOut);
    remembered.connection.setEncryption(Encryption::Required);
    remembered.connection.setCertificateVerifier([](const ServerCertificate& c) -> bool {
        if (c.fingerprint != "AA:BB") throw TlsError("证书已变更 (the certificate changed)");
        return true;
    });
    EXPECT_EQ(refusal([&] { loginAs(remembered.connection); }), "证书已变更 (the certificate changed)");
    // Every attempt was encrypted: none came back in plain.
    EXPECT_EQ(server.log().find(": not encrypted"), std::string::npos) << server.log();
}

TEST(TlsConnection, UnderRequireAPlainClientIsToldWhyAndClosed) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs());  // a certificate alone means require
    Client plain(server, Client::LoggedOut);
    EXPECT_EQ(refusal([&] { loginAs(plain.connection); }),
              "服务器要求加密连接 (this server requires an encrypted connection)");
    EXPECT_TRUE(logShows(server, "refused, not encrypted, and this server requires TLS")) << server.log();
    TlsClient encrypted(server, Encryption::Preferred);
    encrypted.login();
    EXPECT_TRUE(encrypted.client.connection.encrypted());
}

TEST(TlsConnection, AllowServesPlainAndEncryptedClientsOnOnePort) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs({"--tls", "allow"}));
    Client plain(server);
    plain.dm().ClientDataSetywy.Open();
    EXPECT_EQ(plain.dm().ClientDataSetywy.RecordCount(), 5);
    EXPECT_FALSE(plain.connection.encrypted());
    TlsClient encrypted(server, Encryption::Required);
    encrypted.login();
    encrypted.client.dm().ClientDataSetywy.Open();
    EXPECT_EQ(encrypted.client.dm().ClientDataSetywy.RecordCount(), 5);
    EXPECT_TRUE(encrypted.client.connection.encrypted());
    EXPECT_TRUE(logShows(server, ": not encrypted")) << server.log();
}

TEST(TlsConnection, AResumeTokenIssuedOverTlsIsHonouredOnlyOverTlsWithTheSameCertificate) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs({"--tls", "allow"}));
    TlsClient first(server, Encryption::Required);
    first.login();
    const std::string token = first.client.connection.getServer()->GetResumeToken();
    first.client.connection.close();

    Client plain(server, Client::LoggedOut);
    EXPECT_EQ(refusal([&] { plain.connection.getServer()->ResumeSession("管理员", token); }),
              "恢复登录失败：凭据无效，请重新登录 (the resume token is not valid)");

    // The refusal on the plain connection did not use the token up.
    TlsClient again(server, Encryption::Required);
    std::string next;
    EXPECT_NO_THROW(next = again.client.connection.getServer()->ResumeSession("管理员", token));
    again.client.connection.close();

    // The same database served with another certificate: the server is not the one that issued it.
    TlsFiles renewed;
    ServerProcess::Options sameDatabase;
    sameDatabase.demo = false;
    sameDatabase.databasePath = server.databasePath();
    sameDatabase.extraArgs = renewed.serverArgs({"--tls", "allow"});
    ServerProcess other(sameDatabase);
    TlsClient elsewhere(other, Encryption::Required);
    EXPECT_EQ(refusal([&] { elsewhere.client.connection.getServer()->ResumeSession("管理员", next); }),
              "恢复登录失败：凭据无效，请重新登录 (the resume token is not valid)");
}

TEST(TlsConnection, APlainServerIsReachedInPlainOnlyWhenTheClientPrefersTls) {
    ServerProcess server;  // no certificate: plain only, as every server before
    TlsClient preferred(server, Encryption::Preferred);
    preferred.login();
    EXPECT_FALSE(preferred.client.connection.encrypted());
    EXPECT_EQ(preferred.client.connection.serverFingerprint(), "");
    EXPECT_TRUE(preferred.seen.empty());

    TlsClient required(server, Encryption::Required);
    EXPECT_EQ(refusal([&] { required.login(); }),
              "服务器不支持加密连接 (the server does not offer an encrypted connection)");
    EXPECT_TRUE(
        logShows(server, "closed, Invalid data packet: a TLS handshake where plain blocks were expected"))
        << server.log();
}

TEST(TlsConnection, ABusyServersRefusalReachesATlsClientAsItsOwnMessage) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs({"--max-login-connections-per-address", "1"}));
    RawSocket holder = RawSocket::connectTo(server.port());
    ASSERT_TRUE(logShows(server, ": connected"));
    // Required: the refusal is read from the plain answer to the ClientHello, not by trying again.
    TlsClient c(server, Encryption::Required);
    EXPECT_EQ(refusal([&] { c.login(); }), "服务器忙 (server busy)");
}

TEST(TlsConnection, TheServerWillNotStartWithAKeyOthersMayReadOrWithoutOne) {
    TlsFiles files;
    std::string output;
    ASSERT_EQ(::chmod(files.key.c_str(), 0640), 0);
    // --init-only: a server that wrongly started ends at once instead of serving.
    std::string args = "--init-only --port 0 --db " + files.dir + "/x.db --tls-cert " + files.cert +
                       " --tls-key " + files.key;
    EXPECT_EQ(runServerProgram(args, &output), 1);
    EXPECT_NE(output.find("may be read or changed by other users (mode 0640)"), std::string::npos) << output;
    EXPECT_NE(output.find("chmod 600"), std::string::npos) << output;

    EXPECT_EQ(runServerProgram("--init-only --port 0 --db " + files.dir + "/x.db --tls require", &output), 1);
    EXPECT_NE(output.find("need --tls-cert FILE and --tls-key FILE"), std::string::npos) << output;
    ASSERT_EQ(::chmod(files.key.c_str(), 0600), 0);
    EXPECT_EQ(runServerProgram(args + " --tls-key " + files.dir + "/missing.pem", &output), 1);
    EXPECT_NE(output.find("missing.pem cannot be used"), std::string::npos) << output;
}

TEST(TlsConnection, CertCreateWritesAPrivateKeyAndShowDescribesTheCertificate) {
    TlsFiles files("--name shop.example --name 10.0.0.7 --days 30");
    EXPECT_TRUE(isColonHex(files.fingerprint, 32)) << files.fingerprint;
    struct stat info {};
    ASSERT_EQ(::stat(files.key.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    std::string shown;
    ASSERT_EQ(runServerProgram("cert show --cert " + files.cert, &shown), 0) << shown;
    EXPECT_EQ(lineValue(shown, "SHA-256 fingerprint"), files.fingerprint);
    EXPECT_EQ(lineValue(shown, "names"), "shop.example, 10.0.0.7");
    EXPECT_NE(lineValue(shown, "subject").find("shop.example"), std::string::npos) << shown;
    EXPECT_FALSE(lineValue(shown, "expires").empty()) << shown;

    // Made again over the same files: refused, the old certificate stays.
    std::string again;
    EXPECT_EQ(runServerProgram("cert create --cert " + files.cert + " --key " + files.key, &again), 1);
    EXPECT_NE(again.find("exists already"), std::string::npos) << again;
    ASSERT_EQ(runServerProgram("cert show --cert " + files.cert, &shown), 0);
    EXPECT_EQ(lineValue(shown, "SHA-256 fingerprint"), files.fingerprint);
    // A name that would smuggle more into the certificate is refused.
    EXPECT_EQ(runServerProgram("cert create --name 'a,DNS:evil' --cert " + files.dir + "/c.pem --key " +
                                   files.dir + "/k.pem",
                               &again),
              1);
}

}  // namespace
}  // namespace velmora::test
