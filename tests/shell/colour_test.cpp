#include "device_check.h"

#include <gtest/gtest.h>

TEST(ColourNear, ComparesEachChannelAgainstTheTolerance) {
    EXPECT_TRUE(qeColourNear(0xFF204060, 0xFF204060, 0));
    EXPECT_TRUE(qeColourNear(0xFF204060, 0xFE214162, 2));
    EXPECT_FALSE(qeColourNear(0xFF204060, 0xFF204063, 2));  // blue off by 3
    EXPECT_FALSE(qeColourNear(0x00204060, 0xFF204060, 2));  // alpha differs
    EXPECT_FALSE(qeColourNear(0xFF004060, 0xFF204060, 2));  // red differs
}
