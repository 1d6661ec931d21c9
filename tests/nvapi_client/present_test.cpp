// The client against the driver double: bind, entries, hooks and unload.
#include <gtest/gtest.h>

#include <string>

#include "nvapi_client.h"
#include "nvapi_double.h"
#include "stereo.h"

namespace {

const int kDirect = QE_NVAPI_STEREO_DRIVER_MODE_DIRECT;

// Every case starts with the double freshly mapped and bound by the client, and holds a reference of its
// own so that the double's state outlives the client's unloads. At the end the client must have freed
// exactly what it took: dropping ours unmaps the double.
class NvApiPresent : public testing::Test {
protected:
    void SetUp() override {
        static bool folderAdded = false;
        if (!folderAdded) {
            ASSERT_TRUE(SetDllDirectoryA(qetest::nvApiDoubleFolder("nvapi_double").c_str()));
            folderAdded = true;
        }
        ASSERT_EQ(nullptr, GetModuleHandleA("nvapi.dll"));
        ASSERT_EQ(QE_NVAPI_OK, NvAPI_Initialize());
        ASSERT_TRUE(GetModuleHandleExA(0, "nvapi.dll", &ours_));
        fake_ = qetest::fakeNvApi();
        ASSERT_NE(nullptr, fake_);
    }

    void TearDown() override {
        qetest::fakeNvApi(1);
        int unloaded = NvAPI_Unload();
        EXPECT_TRUE(unloaded == QE_NVAPI_OK || unloaded == QE_NVAPI_NOT_INITIALISED) << unloaded;
        EXPECT_EQ(ours_, GetModuleHandleA("nvapi.dll"));
        FreeLibrary(ours_);
        EXPECT_EQ(nullptr, GetModuleHandleA("nvapi.dll"));
    }

    // Unloads, so that the next call binds afresh with the double's current behaviour.
    void rebindNext() { ASSERT_EQ(QE_NVAPI_OK, NvAPI_Unload()); }

    std::string stereoSetUp(int expected) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(expected, qeIrrlichtRenderStereoInitNvApi());
        return testing::internal::GetCapturedStdout();
    }

    HMODULE ours_ = nullptr;
    FakeNvApi* fake_ = nullptr;
};

TEST_F(NvApiPresent, BindsOnceAndPassesTheDriversStatusThrough) {
    EXPECT_EQ(1, fake_->initCalls);
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Initialize());
    EXPECT_EQ(1, fake_->initCalls);

    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Stereo_SetDriverMode(kDirect));
    EXPECT_EQ(kDirect, fake_->lastMode);
    fake_->setModeResult = -5;
    EXPECT_EQ(-5, NvAPI_Stereo_SetDriverMode(kDirect));
    EXPECT_EQ("NvAPI_Stereo_SetDriverMode(DIRECT) failed\n", stereoSetUp(-1));
    fake_->setModeResult = 0;
    EXPECT_EQ("NvAPI Stereo Setup OK\n", stereoSetUp(0));
    EXPECT_EQ(4, fake_->setModeCalls[0]);
    EXPECT_EQ(1, fake_->initCalls);
}

TEST_F(NvApiPresent, FailedDriverInitialisationLeavesNothingBound) {
    fake_->initResult = 3;
    rebindNext();
    EXPECT_EQ(QE_NVAPI_ERROR, NvAPI_Initialize());
    EXPECT_EQ(QE_NVAPI_ERROR, NvAPI_Stereo_SetDriverMode(kDirect));
    EXPECT_EQ("NvAPI_Initialize() Error\n", stereoSetUp(-1));
    EXPECT_EQ(QE_NVAPI_NOT_INITIALISED, NvAPI_Unload());

    fake_->initResult = 0;
    fake_->offerInit = 0;
    EXPECT_EQ(QE_NVAPI_ERROR, NvAPI_Initialize());
    EXPECT_EQ(QE_NVAPI_NOT_INITIALISED, NvAPI_Unload());
}

TEST_F(NvApiPresent, ARebindLooksEntriesUpAfreshWhicheverCallBinds) {
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Stereo_SetDriverMode(kDirect));
    fake_->variant = 1;
    rebindNext();
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Stereo_SetDriverMode(kDirect));
    fake_->variant = 0;
    rebindNext();
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Initialize());
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Stereo_SetDriverMode(kDirect));
    EXPECT_EQ(2, fake_->setModeCalls[0]);
    EXPECT_EQ(1, fake_->setModeCalls[1]);
    EXPECT_EQ(3, fake_->initCalls);
}

TEST_F(NvApiPresent, UnloadRefusalsLeaveTheBindUsableAndNoCallInFlight) {
    static int unloadedDuringCall;
    unloadedDuringCall = 99;
    fake_->duringSetMode = [] { unloadedDuringCall = NvAPI_Unload(); };
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Stereo_SetDriverMode(kDirect));
    EXPECT_EQ(QE_NVAPI_ERROR, unloadedDuringCall);
    fake_->duringSetMode = nullptr;
    fake_->offerUnload = 0;
    EXPECT_EQ(QE_NVAPI_NO_IMPLEMENTATION, NvAPI_Unload());
    fake_->offerUnload = 1;
    fake_->unloadResult = 7;
    EXPECT_EQ(QE_NVAPI_ERROR, NvAPI_Unload());
    EXPECT_EQ(1, fake_->unloadCalls);
    // No refusal left the unloading flag set: calls go on at once and the library stays bound.
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Stereo_SetDriverMode(kDirect));
    EXPECT_EQ(2, fake_->setModeCalls[0]);
    EXPECT_EQ(1, fake_->initCalls);

    // Entries the driver lacks and Initialize take their calls back: the unload goes through.
    fake_->unloadResult = 0;
    fake_->offerSetMode = 0;
    rebindNext();
    EXPECT_EQ(QE_NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_SetDriverMode(kDirect));
    EXPECT_EQ(QE_NVAPI_NO_IMPLEMENTATION, NvAPI_Stereo_SetDriverMode(kDirect));
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Initialize());
    EXPECT_EQ(QE_NVAPI_OK, NvAPI_Unload());
}

TEST_F(NvApiPresent, HooksSurroundEntryCallsOnlyAsAPair) {
    fake_->offerPreHook = fake_->offerPostHook = 1;
    fake_->setModeResult = -6;
    rebindNext();
    EXPECT_EQ(-6, NvAPI_Stereo_SetDriverMode(kDirect));
    EXPECT_EQ(1, fake_->preCalls);
    EXPECT_EQ(1, fake_->postCalls);
    EXPECT_EQ(QE_NVAPI_ID_STEREO_SET_DRIVER_MODE, fake_->preId);
    EXPECT_EQ(QE_NVAPI_ID_STEREO_SET_DRIVER_MODE, fake_->postId);
    EXPECT_EQ(-6, fake_->postStatus);
    EXPECT_EQ(0u, fake_->preContext[0]);
    EXPECT_EQ(0u, fake_->preContext[1]);
    EXPECT_EQ(fake_->preContextAt, fake_->postContextAt);

    fake_->offerPostHook = 0;
    rebindNext();
    EXPECT_EQ(-6, NvAPI_Stereo_SetDriverMode(kDirect));
    EXPECT_EQ(1, fake_->preCalls);
    EXPECT_EQ(1, fake_->postCalls);
    EXPECT_EQ(2, fake_->setModeCalls[0]);
}

}  // namespace
