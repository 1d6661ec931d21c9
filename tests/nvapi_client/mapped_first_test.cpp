// A driver library mapped by someone else before the client's first call, of a build that carries
// neither a checksum nor a link time stamp.
#include <gtest/gtest.h>

#include "nvapi_client.h"
#include "nvapi_double.h"

namespace {

TEST(NvApiMappedFirst, IsBoundWithAReferenceOfTheClientsOwn) {
    HMODULE ours = LoadLibraryA((qetest::nvApiDoubleFolder("nvapi_double_zero") + "nvapi.dll").c_str());
    ASSERT_NE(nullptr, ours);
    const unsigned char* base = reinterpret_cast<const unsigned char*>(ours);
    const IMAGE_NT_HEADERS32* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    ASSERT_EQ(0u, nt->FileHeader.TimeDateStamp);
    ASSERT_EQ(0u, nt->OptionalHeader.CheckSum);

    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Initialize());
    FakeNvApi* fake = qetest::fakeNvApi();
    ASSERT_NE(nullptr, fake);
    EXPECT_EQ(1, fake->initCalls);
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Stereo_SetDriverMode(QE_NVAPI_STEREO_DRIVER_MODE_DIRECT));
    EXPECT_EQ(1, fake->setModeCalls[0]);

    // Unloaded, the library still mapped by us is bound again, not taken for the bind before.
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Unload());
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Initialize());
    EXPECT_EQ(2, fake->initCalls);

    // The client frees only what it took: our reference still holds the library.
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Unload());
    EXPECT_EQ(ours, GetModuleHandleA("nvapi.dll"));
    EXPECT_EQ(2, fake->unloadCalls);
    FreeLibrary(ours);
    EXPECT_EQ(nullptr, GetModuleHandleA("nvapi.dll"));
}

}  // namespace
