// Without the driver's library, as on this platform: the client's one look for it.
#include <gtest/gtest.h>

#include "nvapi_client.h"
#include "nvapi_double.h"
#include "stereo.h"

namespace {

// One test: that the library is absent is decided once per process.
TEST(NvApiAbsent, FirstLookDecidesAndTheStereoSetUpOnlyPrints) {
    ASSERT_EQ(nullptr, GetModuleHandleA("nvapi.dll"));
    testing::internal::CaptureStdout();
    EXPECT_EQ(-1, qeIrrlichtRenderStereoInitNvApi());
    EXPECT_EQ("NvAPI_Initialize() Library not found\n", testing::internal::GetCapturedStdout());

    // The double becomes reachable, but the client does not look again.
    ASSERT_TRUE(SetDllDirectoryA(qetest::nvApiDoubleFolder("nvapi_double").c_str()));
    EXPECT_EQ(QE_NVAPI_LIBRARY_NOT_FOUND, NvAPI_Initialize());
    EXPECT_EQ(QE_NVAPI_LIBRARY_NOT_FOUND, NvAPI_Stereo_SetDriverMode(QE_NVAPI_STEREO_DRIVER_MODE_DIRECT));
    EXPECT_EQ(nullptr, GetModuleHandleA("nvapi.dll"));
    EXPECT_EQ(QE_NVAPI_NOT_INITIALISED, NvAPI_Unload());
}

}  // namespace
