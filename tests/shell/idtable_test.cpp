#include "idtable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(IdTable, BoundsNegativeFirstThenCapacityAndAddNeverReplaces) {
    IdTable* table = qeIdTableCreate(200);
    int a = 1, b = 2;
    EXPECT_EQ(0, qeIdTableAdd(table, 199, &a));
    EXPECT_EQ(-1, qeIdTableAdd(table, 200, &a));
    EXPECT_STREQ("invalid ID 200 greater or equals than 200", qeIdTableGetMessage());
    EXPECT_EQ(nullptr, qeIdTableGet(table, -5));
    EXPECT_STREQ("invalid negative ID -5", qeIdTableGetMessage());

    EXPECT_EQ(-1, qeIdTableAdd(table, 199, &b));
    EXPECT_STREQ("id 199 already exist", qeIdTableGetMessage());
    EXPECT_EQ(&a, qeIdTableGet(table, 199));
    EXPECT_EQ(0, qeIdTableRemove(table, 199));
    EXPECT_EQ(-1, qeIdTableRemove(table, 199));
    EXPECT_STREQ("id 199 does not exist", qeIdTableGetMessage());
    EXPECT_EQ(0, qeIdTableAdd(table, 199, &b));

    // An empty slot says so: the text of an earlier call never stands for this ID.
    qeIdTableSetMessage("id 4 does not exist");
    EXPECT_EQ(nullptr, qeIdTableGet(table, 3));
    EXPECT_STREQ("id 3 does not exist", qeIdTableGetMessage());
    qeIdTableDestroy(table);
}

TEST(IdTable, MessageIsBoundedAndMissingTableIsRefused) {
    qeIdTableSetMessage("%s", std::string(3000, 'x').c_str());
    EXPECT_EQ(1023u, std::string(qeIdTableGetMessage()).size());
    int a = 0;
    EXPECT_EQ(-1, qeIdTableAdd(nullptr, 1, &a));
    EXPECT_EQ(nullptr, qeIdTableGet(nullptr, 1));
    EXPECT_EQ(-1, qeIdTableRemove(nullptr, 1));
}

}  // namespace
