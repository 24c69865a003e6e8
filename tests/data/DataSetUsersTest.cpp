// Which windows use which shared dataset: a dataset closes only when its last user lets it go.
#include <gtest/gtest.h>

#include "data/DataSetUsers.h"
#include "tests/data/DataSetFixture.h"

namespace velmora {
namespace {

class DataSetUsersTest : public test::DataSetFixture {
  protected:
    ClientDataSet& customers() { return kh; }
};

TEST_F(DataSetUsersTest, ClosesADatasetOnlyWhenTheLastUserLetsItGo) {
    DataSetUsers users;
    ClientDataSet& ds = customers();
    int category = 0, item = 0;
    users.use(&category, {&ds});
    users.use(&item, {&ds});
    EXPECT_TRUE(ds.Active());
    users.release(&item, {&ds});
    EXPECT_TRUE(ds.Active());  // the category window still shows the rows
    EXPECT_TRUE(users.inUse(ds));
    users.release(&category, {&ds});
    EXPECT_FALSE(ds.Active());
    EXPECT_FALSE(users.inUse(ds));
}

TEST_F(DataSetUsersTest, ReleasingWhatNobodyClaimedClosesItAsBefore) {
    DataSetUsers users;
    ClientDataSet& ds = customers();
    ds.Open();
    int window = 0;
    users.release(&window, {&ds});
    EXPECT_FALSE(ds.Active());
}

TEST_F(DataSetUsersTest, ForgettingAUserKeepsTheDatasetOpenAndDropsItsClaims) {
    DataSetUsers users;
    ClientDataSet& ds = customers();
    int window = 0, other = 0;
    users.use(&window, {&ds});
    users.use(&other, {&ds});
    EXPECT_EQ(users.heldBy(&window).count(&ds), 1u);
    users.forget(&window);
    EXPECT_TRUE(ds.Active());
    EXPECT_TRUE(users.heldBy(&window).empty());
    users.release(&other, {&ds});
    EXPECT_FALSE(ds.Active());
}

}  // namespace
}  // namespace velmora
