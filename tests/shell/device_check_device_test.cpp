#include "device_check.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(DeviceCheck, DrawsAShadedMeshIntoARenderTargetAndReadsItBack) {
    DeviceCheckOptions options;
    options.frames = 3;
    DeviceCheckResult result;
    ASSERT_EQ(0, qeDeviceCheckRun(options, result)) << result.error;
    std::printf("render target %dx%d: cleared pixel 0x%08X (expected 0x%08X), shaded pixel 0x%08X (expected 0x%08X)\n",
                result.width, result.height, result.clearPixel, kDeviceCheckClearColour, result.shadedPixel,
                kDeviceCheckShadeColour);
    EXPECT_EQ(128, result.width);
    EXPECT_TRUE(qeColourNear(result.clearPixel, kDeviceCheckClearColour, 1));
    EXPECT_TRUE(qeColourNear(result.shadedPixel, kDeviceCheckShadeColour, 2));
}
