#include "idtable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TableFixture : testing::Test {
    IdTable* table = qeIdTableCreate(200);
    int a = 1, b = 2;
    ~TableFixture() override { qeIdTableDestroy(table); }
};

TEST_F(TableFixture, BoundsAreCheckedNegativeFirstThenCapacity) {
    ASSERT_NE(nullptr, table);
    EXPECT_EQ(0, qeIdTableAdd(table, 199, &a));
    EXPECT_EQ(&a, qeIdTableGet(table, 199));

    EXPECT_EQ(-1, qeIdTableAdd(table, 200, &a));
    EXPECT_STREQ("invalid ID 200 greater or equals than 200", qeIdTableGetMessage());
    EXPECT_EQ(nullptr, qeIdTableGet(table, 1000));
    EXPECT_STREQ("invalid ID 1000 greater or equals than 200", qeIdTableGetMessage());
    EXPECT_EQ(-1, qeIdTableRemove(table, -1));
    EXPECT_STREQ("invalid negative ID -1", qeIdTableGetMessage());
    EXPECT_EQ(nullptr, qeIdTableGet(table, -5));
    EXPECT_STREQ("invalid negative ID -5", qeIdTableGetMessage());
}

TEST_F(TableFixture, AddNeverReplacesAndRemoveFreesTheSlotForReuse) {
    EXPECT_EQ(0, qeIdTableAdd(table, 7, &a));
    EXPECT_EQ(-1, qeIdTableAdd(table, 7, &b));
    EXPECT_STREQ("id 7 already exist", qeIdTableGetMessage());
    EXPECT_EQ(&a, qeIdTableGet(table, 7));

    EXPECT_EQ(0, qeIdTableRemove(table, 7));
    EXPECT_EQ(nullptr, qeIdTableGet(table, 7));
    EXPECT_EQ(-1, qeIdTableRemove(table, 7));
    EXPECT_STREQ("id 7 does not exist", qeIdTableGetMessage());
    EXPECT_EQ(0, qeIdTableAdd(table, 7, &b));
    EXPECT_EQ(&b, qeIdTableGet(table, 7));
}

TEST_F(TableFixture, EmptySlotLeavesTheMessageAlone) {
    qeIdTableSetMessage("earlier %s", "text");
    EXPECT_EQ(nullptr, qeIdTableGet(table, 3));
    EXPECT_STREQ("earlier text", qeIdTableGetMessage());
    // Storing NULL succeeds and the slot stays unused.
    EXPECT_EQ(0, qeIdTableAdd(table, 3, nullptr));
    EXPECT_EQ(0, qeIdTableAdd(table, 3, &a));
}

TEST(IdTable, MessageIsBoundedAndMissingTableIsRefused) {
    std::string longText(3000, 'x');
    qeIdTableSetMessage("%s", longText.c_str());
    EXPECT_EQ(1023u, std::string(qeIdTableGetMessage()).size());

    int a = 0;
    EXPECT_EQ(-1, qeIdTableAdd(nullptr, 1, &a));
    EXPECT_EQ(nullptr, qeIdTableGet(nullptr, 1));
    EXPECT_EQ(-1, qeIdTableRemove(nullptr, 1));
    EXPECT_EQ(0, qeIdTableDestroy(nullptr));
}

}  // namespace
