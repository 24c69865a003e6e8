// What an eavesdropper on the wire sees of a login and an order saved: every byte passed between
// client and server through a relay, once in plain (the relay sees it all) and once over TLS.

#include <gtest/gtest.h>

#include "tests/fullstack/TlsHelpers.h"

namespace velmora::test {
namespace {

using Encryption = SocketConnection::Encryption;

// Logs in through a relay, adds the customer named name under code and saves an order for it;
// returns every byte the relay passed.
std::string capturedSession(const ServerProcess& server, Encryption mode, const std::string& code,
                            const std::string& name) {
    ByteRelay relay(server.port());
    {
        TlsClient c(server, mode);
        c.client.connection.setPort(relay.port());
        c.login();
        Tdm& dm = c.client.dm();
        ClientDataSet& kh = dm.ClientDataSetkh;
        Client::requery(kh, "select * from kh");
        kh.Append();
        kh.FieldByName("khid").setAsString(code);
        kh.FieldByName("khname").setAsString(name);
        kh.Post();
        EXPECT_EQ(kh.ApplyUpdates(0), 0);
        ClientDataSet& tb = dm.ClientDataSetxsdtb;
        Client::requery(tb, "select * from xsdtb");
        tb.Insert();
        tb.FieldByName("xsdid").setAsString("XS" + code);
        tb.FieldByName("khid").setAsString(code);
        tb.FieldByName("rq").setAsString("2003-04-01");
        tb.FieldByName("username").setAsString("管理员");
        tb.Post();
        EXPECT_EQ(tb.ApplyUpdates(-1), 0) << tb.UpdateError();
        // Read back, so that the name also travels from the server to the client.
        Client::requery(kh, "select * from kh where khid = '" + code + "'");
        EXPECT_EQ(kh.FieldByName("khname").AsString(), name);
        EXPECT_EQ(c.client.connection.encrypted(), mode != Encryption::Off);
    }
    return relay.seen();
}

bool carries(const std::string& wire, const std::string& text) {
    return wire.find(utf16(text)) != std::string::npos || wire.find(text) != std::string::npos;
}

TEST(TlsCapture, NeitherThePasswordNorACustomerNameCrossesAnEncryptedWireInTheClear) {
    TlsFiles files;
    ServerProcess server = serverWith(files.serverArgs({"--tls", "allow"}));
    // The relay sees what a plain connection carries: the check below can find it.
    std::string plain = capturedSession(server, Encryption::Off, "K901", "明文客户甲");
    ASSERT_TRUE(carries(plain, "vantu"));
    ASSERT_TRUE(carries(plain, "明文客户甲"));

    std::string encrypted = capturedSession(server, Encryption::Required, "K902", "保密客户乙");
    EXPECT_GT(encrypted.size(), 1000u);
    EXPECT_FALSE(carries(encrypted, "vantu"));
    EXPECT_FALSE(carries(encrypted, "保密客户乙"));
    EXPECT_FALSE(carries(encrypted, "管理员"));
    EXPECT_EQ(server.scalar("select khname from kh where khid = 'K902'"), "保密客户乙");
}

}  // namespace
}  // namespace velmora::test
