#include "frame.h"

#include <gtest/gtest.h>
#include <irrlicht.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine.h"
#include "engine_context.h"
#include "log.h"
#include "overlay.h"
#include "device_check.h"
#include "shell_fixtures.h"
#include "sys.h"

using namespace irr;

namespace {

DeviceSettings windowedDefaults() {
    DeviceSettings s;
    qeDeviceSettingsClear(&s);
    s.width = 320;
    s.height = 240;
    return s;
}

// The C runtime's number text (printf and strtod, which the script host, the ini reader and every float
// read use) runs on the x87 unit: it must round-trip exactly whatever the device did to that unit.
void expectNumberTextRoundTrips(const char* when) {
    const double values[] = {16777215.0, 3.14159, 2147483647.0, 0.1, 1.0 / 3.0, 6.02214076e23, -2.5e-300};
    for (double value : values) {
        char text[64];
        std::snprintf(text, sizeof(text), "%.17g", value);
        EXPECT_EQ(value, std::strtod(text, nullptr)) << when << ": " << text;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "%.14g %.14g", 16777215.0, 3.14159);
    EXPECT_STREQ("16777215 3.14159", text) << when;
}

struct EngineFixture : testing::Test {
    qetest::BoxRecorder recorder;
    ~EngineFixture() override { qeIrrlichtTerm(); }
};

TEST_F(EngineFixture, DefaultsStartAWindowedEngineAndStopClearsTheRecord) {
    DeviceSettings s;
    qeDeviceSettingsClear(&s);
    ASSERT_EQ(0, qeIrrlichtSetup(&s)) << qeSysGetStartupError();
    expectNumberTextRoundTrips("after the start");
    EngineContext* ctx = qeIrrlichtGetContext();
    EXPECT_EQ(1, ctx->ready);
    EXPECT_EQ(640 * 480 * 32, ctx->width * ctx->height * ctx->bits);
    EXPECT_FALSE(ctx->device->isFullscreen());
    ASSERT_NE(nullptr, ctx->camera);
    EXPECT_FLOAT_EQ(1000.0f, ctx->camera->getFarValue());
    EXPECT_EQ(1000, ctx->images->capacity);
    EXPECT_EQ(200, ctx->cameraEffects->capacity);
    EXPECT_NE(nullptr, qeIrrlichtGetRenderer());  // light pre-pass on by default
    EXPECT_TRUE(qeIrrlichtSync());
    // A window resize resets the device through the render system's callbacks; frames go on.
    ctx->driver->OnResize(core::dimension2d<u32>(400, 300));
    EXPECT_TRUE(qeIrrlichtSync());
    expectNumberTextRoundTrips("after a device reset");

    // Setup again restarts; Term stops and leaves nothing to reach.
    s.lightPrePass = 0;
    ASSERT_EQ(0, qeIrrlichtSetup(&s));
    EXPECT_EQ(nullptr, qeIrrlichtGetRenderer());
    EXPECT_EQ(0, qeIrrlichtTerm());
    expectNumberTextRoundTrips("after the stop");
    EXPECT_EQ(nullptr, ctx->device);
    EXPECT_EQ(nullptr, getQeManager());
    EXPECT_FALSE(qeIrrlichtSync());
    EXPECT_EQ(0, qeIrrlichtTerm());
    EXPECT_TRUE(recorder.boxes().empty());
}

TEST_F(EngineFixture, AFailedStartReportsItsStepAndLeavesNothingBehind) {
    DeviceSettings s = windowedDefaults();
    s.stereo = 9;
    EXPECT_EQ(-1, qeIrrlichtSetup(&s));
    EXPECT_EQ(0, qeIrrlichtIsSetup());
    ASSERT_EQ(2u, recorder.boxes().size());
    EXPECT_EQ("Stereo: Unsupported Stereoscopic mode = 9", qetest::BoxRecorder::text(0));
    EXPECT_EQ("Setup failed: fails to create renderer", qetest::BoxRecorder::text(1));
    EXPECT_EQ(nullptr, qeIrrlichtGetContext()->device);
    EXPECT_EQ(nullptr, qeIrrlichtGetContext()->images);

    // The next start begins cleanly.
    s.stereo = -1;
    EXPECT_EQ(0, qeIrrlichtSetup(&s));
}

TEST_F(EngineFixture, SyncDrawsTheOverlayIntoATargetThenEmptiesIt) {
    DeviceSettings s = windowedDefaults();
    s.lightPrePass = 0;
    ASSERT_EQ(0, qeIrrlichtSetup(&s));
    EngineContext* ctx = qeIrrlichtGetContext();
    video::ITexture* target = ctx->driver->addRenderTargetTexture(core::dimension2d<u32>(128, 128), "overlay-target",
                                                                  video::ECF_A8R8G8B8);
    ASSERT_NE(nullptr, target);
    qeIrrlichtColorBackdrop(0xFF102030);

    ASSERT_EQ(0, qeIrrlichtOverlayAddText(nullptr, 4, 4, "QIRN QIRN", 0xFFFFFFFF));
    ASSERT_EQ(0, qeIrrlichtOverlayAddBox(64, 64, 120, 120, 0xFF00FF00));
    ASSERT_TRUE(qeIrrlichtSyncToTarget(target, true));
    EXPECT_EQ(0, qeIrrlichtOverlayQueue()->commandCount);
    // The frame begun for the target goes on: Sync ends and presents it.
    EXPECT_TRUE(qeIrrlichtBeginScene(ctx));
    EXPECT_TRUE(qeIrrlichtSync());

    const std::vector<u32> pixels = qetest::readPixels(target);
    ASSERT_EQ(128u * 128u, pixels.size());
    const u32 background = pixels[100 * 128 + 32];
    const u32 box = pixels[90 * 128 + 90];
    int textPixels = 0;
    for (int y = 4; y < 16; ++y)
        for (int x = 4; x < 60; ++x) textPixels += (pixels[y * 128 + x] & 0x00FFFFFF) == 0x00FFFFFF;
    EXPECT_EQ(0x102030u, background & 0x00FFFFFF);
    EXPECT_EQ(0x00FF00u, box & 0x00FFFFFF);
    EXPECT_GT(textPixels, 20);
}

TEST(RenderSystem, LoadsTheD3DXLibraryTheDriverReports) {
    DeviceSettings s;
    qeDeviceSettingsClear(&s);
    s.width = 160;
    s.height = 120;
    ASSERT_EQ(0, qeIrrlichtSetup(&s));
    const unsigned version = qeIrrlichtGetContext()->driver->getExposedVideoData().D3D9.D3DXSDKVersion;
    const std::string name = "d3dx9_" + std::to_string(version) + ".dll";
    EXPECT_NE(nullptr, GetModuleHandleA(name.c_str())) << name;
    qeIrrlichtTerm();
}

TEST(RenderSystem, ShaderLoaderLevelFollowsTheLogThreshold) {
    const int levels[][2] = {{QE_LOG_DEBUG, 2}, {QE_LOG_INFO, 1}, {QE_LOG_WARN, 0}, {QE_LOG_ERROR, 0}, {QE_LOG_NONE, 0}};
    for (const auto& l : levels) EXPECT_EQ(l[1], qeIrrlichtShaderLoaderLevelFor(l[0], 7)) << l[0];
    EXPECT_EQ(7, qeIrrlichtShaderLoaderLevelFor(9, 7));
}

}  // namespace
