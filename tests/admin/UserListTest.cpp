// The user list as the server sends it, and the client's knowledge of roles and rights, which
// must stay in step with the server's.
#include <gtest/gtest.h>

#include "admin/UserList.h"
#include "server/Rights.h"

using namespace velmora;

TEST(UserList, EachWellFormedLineIsOneUserAndOthersAreLeftOut) {
    const std::vector<UserEntry> users = parseUserList(QStringLiteral(
        "管理员\tadmin\tapprove,maintain_master_data,delete_orders,manage_users,view_reports\t0\n"
        "李出纳\toperator\t\t1\n"
        "broken line\n"
        "\tadmin\tapprove\t0\n"
        "王会计\tapprover\tapprove,fly,view_reports\t0"));
    ASSERT_EQ(users.size(), 3u);
    EXPECT_EQ(users[0].name, QString("管理员"));
    EXPECT_TRUE(users[0].rights.has(UserRight::ManageUsers));
    EXPECT_FALSE(users[0].disabled);
    // No rights at all is a user who may do none of the five, not one who may do everything.
    EXPECT_EQ(users[1].rights.names(), QString());
    EXPECT_TRUE(users[1].disabled);
    EXPECT_EQ(users[2].rights.role(), QString("approver"));
    EXPECT_EQ(users[2].rights.names(), QString("approve,view_reports"));  // an unknown name is dropped
    EXPECT_EQ(users[2].rights.captions(), QString("审核、查看报表"));
}

TEST(UserList, TheClientsPresetsAreTheServers) {
    for (const char* role : {"admin", "approver", "operator"}) {
        const UserRights client = UserRights::presetOf(QString::fromLatin1(role));
        EXPECT_EQ(client.names().toStdString(), server::Rights::presetOf(*server::roleNamed(role)).text())
            << role;
        EXPECT_EQ(client.role(), QString::fromLatin1(role));
    }
    EXPECT_EQ(UserRights::roleCaption("approver"), QString("审核员"));
    EXPECT_EQ(UserRights::roleCaption("boss"), QString("boss"));
}

TEST(UserList, ARightIsTickedAndUntickedAlone) {
    UserRights r = UserRights::presetOf("operator").with(UserRight::MaintainMasterData, true);
    EXPECT_EQ(r.names(), QString("maintain_master_data,delete_orders,view_reports"));
    r = r.with(UserRight::DeleteOrders, false).with(UserRight::DeleteOrders, false);
    EXPECT_EQ(r.names(), QString("maintain_master_data,view_reports"));
    EXPECT_FALSE(r == UserRights::presetOf("operator"));
}
