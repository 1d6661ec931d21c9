// Render-target images and module state across an engine restart, on the Direct3D 9 device.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

#include "device_check.h"
#include "draw2d.h"
#include "engine.h"
#include "engine_context.h"
#include "frame.h"
#include "images.h"
#include "joystick.h"
#include "overlay.h"
#include "shell_fixtures.h"

using namespace irr;

namespace {

struct Engine : testing::Test {
    qetest::BoxRecorder recorder;
    EngineContext* ctx = qeIrrlichtGetContext();
    Engine() { start(); }
    ~Engine() override { qeIrrlichtTerm(); }
    void start() {
        DeviceSettings s;
        qeDeviceSettingsClear(&s);
        s.width = 320;
        s.height = 240;
        s.lightPrePass = 0;
        ASSERT_EQ(0, qeIrrlichtSetup(&s)) << qeSysGetStartupError();
    }
};

TEST_F(Engine, RenderTargetImagesRenderTheFrameAndLeaveWithTheirImage) {
    ASSERT_EQ(0, qeIrrlichtMakeImage(64, 32, 12));
    video::ITexture* target = ctx->driver->findTexture("qeRtImage12");
    ASSERT_NE(nullptr, target);
    EXPECT_EQ(64, qeIrrlichtImageWidth(12));
    EXPECT_EQ(32, qeIrrlichtImageHeight(12));
    const u32 textures = ctx->driver->getTextureCount();

    // The frame rendered into the image is cleared with the backdrop; the next Sync ends it once.
    qeIrrlichtColorBackdrop(0xFF102030);
    qeIrrlichtRenderToImage(12, 1);
    EXPECT_TRUE(qeIrrlichtSync());
    EXPECT_TRUE(qeIrrlichtSync());
    for (u32 pixel : qetest::readPixels(target)) ASSERT_EQ(0x102030u, pixel & 0x00FFFFFF);

    // Deleting it frees the target, and a paste of it already queued is dropped, not drawn.
    ASSERT_EQ(0, qeIrrlichtPasteImageStretch(12, 0, 0, 16, 16, 0));
    qeIrrlichtDeleteImage(12);
    const OverlayQueue* q = qeIrrlichtOverlayQueue();
    EXPECT_EQ(0, q->commands[q->commandCount - 1].kind) << "the queued paste is skipped";
    EXPECT_EQ(nullptr, ctx->driver->findTexture("qeRtImage12"));
    EXPECT_EQ(textures - 1, ctx->driver->getTextureCount());
    EXPECT_TRUE(qeIrrlichtSync());

    // The ID made again holds one target of that name.
    ASSERT_EQ(0, qeIrrlichtMakeImage(16, 16, 12));
    EXPECT_EQ(textures, ctx->driver->getTextureCount());
    EXPECT_EQ(-1, qeIrrlichtMakeImage(0, 16, 13));
    EXPECT_EQ(0, qeIrrlichtImageExist(13));
}

TEST_F(Engine, LoadedImagesKeepTheirPictureSize) {
    const std::string file = std::string(QIRN_ENGINE_MEDIA) + "/fontcourier.bmp";
    ASSERT_EQ(0, qeIrrlichtLoadImage(file.c_str(), 3));
    ASSERT_EQ(0, qeIrrlichtLoadImage(file.c_str(), 4));
    EXPECT_EQ(256, qeIrrlichtImageWidth(3));  // the picture's own size
    qeIrrlichtDeleteImage(3);
    EXPECT_EQ(256, qeIrrlichtImageHeight(4));
    ASSERT_EQ(0, qeIrrlichtPasteImage(4, 0, 0, 0));
    EXPECT_TRUE(qeIrrlichtSync());
}

TEST_F(Engine, ARestartFindsEveryModuleAsNew) {
    qeIrrlichtInk(0x112233);
    qeIrrlichtInkAlpha(9);
    qeIrrlichtSetTextAlpha(3);
    ASSERT_EQ(0, qeIrrlichtSetTextFont((std::string(QIRN_ENGINE_MEDIA) + "/fontcourier.bmp").c_str()));
    qeIrrlichtSetImageAlpha(1);
    ASSERT_EQ(0, qeIrrlichtMakeImage(8, 8, 5));
    qeIrrlichtFadeIn(100, 0);
    qeIrrlichtEnableJoystick();

    qeIrrlichtTerm();
    start();
    EXPECT_EQ(nullptr, qeIrrlichtTextFont());
    EXPECT_EQ(255u, qeIrrlichtTextAlpha());
    EXPECT_GT(qeIrrlichtTextWidth("Qirn"), 0);
    EXPECT_EQ(0, qeIrrlichtImageExist(5));
    EXPECT_EQ(nullptr, ctx->driver->findTexture("qeRtImage5"));
    EXPECT_EQ(nullptr, ctx->fader);
    ASSERT_EQ(0, qeIrrlichtBox(0, 0, 1, 1));
    const OverlayQueue* q = qeIrrlichtOverlayQueue();
    EXPECT_EQ(0xFFFFFFFFu, static_cast<u32>(q->commands[q->commandCount - 1].p[4]));
    SEvent e = qetest::blankEvent(EET_JOYSTICK_INPUT_EVENT);
    e.JoystickEvent.Axis[1] = -20000;
    ctx->device->postEventFromUser(e);
    EXPECT_EQ(0, qeIrrlichtJoystickY()) << "joystick input is off again";
    qeIrrlichtEnableJoystick();
    EXPECT_EQ(-20000, qeIrrlichtJoystickY());
    EXPECT_TRUE(qeIrrlichtSync());
    EXPECT_TRUE(recorder.boxes().empty());
}

}  // namespace
