#include "loading_screen.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "device_check.h"
#include "engine.h"
#include "engine_context.h"
#include "shell_fixtures.h"

using namespace irr;

namespace {

const int kWidth = 640;
const int kHeight = 480;

TEST(LoadingScreenLayout, BarBordersAndFillFollowTheScreenAndThePicture) {
    LoadingScreenLayout l = qeLoadingScreenLayout(kWidth, kHeight, 0, 0, 50);
    EXPECT_EQ((std::vector<int>{160, 216, 480, 264}), std::vector<int>(l.bar, l.bar + 4));
    EXPECT_EQ((std::vector<int>{166, 222, 474, 258}), std::vector<int>(l.inner, l.inner + 4));  // 308 x 36
    EXPECT_EQ((std::vector<int>{172, 228, 320, 252}), std::vector<int>(l.fill, l.fill + 4));    // 148 of 296
    EXPECT_EQ(468, qeLoadingScreenLayout(kWidth, kHeight, 0, 0, 250).fill[2]) << "never past the fill area";
    EXPECT_EQ(172, qeLoadingScreenLayout(kWidth, kHeight, 0, 0, -5).fill[2]);

    // A picture moves the bar down by half its height plus the bar's; a larger one is centred and cut.
    l = qeLoadingScreenLayout(kWidth, kHeight, 200, 100, 0);
    EXPECT_EQ(220, l.picture[0]);
    EXPECT_EQ(190, l.picture[1]);
    EXPECT_EQ(216 + 50 + 48, l.bar[1]);
    l = qeLoadingScreenLayout(kWidth, kHeight, 800, 600, 0);
    EXPECT_EQ(-80, l.picture[0]);
    EXPECT_EQ(-60, l.picture[1]);

    // A screen too low for a border keeps every rectangle at least one pixel high.
    l = qeLoadingScreenLayout(4, 4, 0, 0, 100);
    EXPECT_EQ(1, l.inner[3] - l.inner[1]);
    EXPECT_EQ(1, l.fill[3] - l.fill[1]);
}

struct LoadingScreen : testing::Test {
    qetest::BoxRecorder recorder;
    EngineContext* ctx = qeIrrlichtGetContext();
    video::ITexture* target = nullptr;
    LoadingScreen() { start(); }
    ~LoadingScreen() override {
        qeIrrlichtTerm();
        std::remove("loading.png");
        std::remove("loading.hlsl");
    }
    void start() {
        DeviceSettings s;
        qeDeviceSettingsClear(&s);
        s.width = kWidth;
        s.height = kHeight;
        s.lightPrePass = 0;
        ASSERT_EQ(0, qeIrrlichtSetup(&s)) << qeSysGetStartupError();
        target = ctx->driver->addRenderTargetTexture(core::dimension2d<u32>(kWidth, kHeight), "loading-target",
                                                     video::ECF_A8R8G8B8);
        ASSERT_NE(nullptr, target);
    }
    // One loading frame drawn into the target instead of the back buffer: its colours without alpha.
    std::vector<u32> draw(int percent) {
        if (!ctx->driver->beginScene(true, true, video::SColor(0xFF000000))) return {};
        ctx->driver->setRenderTarget(target, true, true, video::SColor(0xFF000000));
        qeIrrlichtLoadingScreenDraw(ctx, percent);
        ctx->driver->setRenderTarget(nullptr, false, false);
        ctx->driver->endScene();
        std::vector<u32> pixels = qetest::readPixels(target);
        for (u32& p : pixels) p &= 0x00FFFFFF;
        return pixels;
    }
    static u32 at(const std::vector<u32>& pixels, int x, int y) { return pixels.at(y * kWidth + x); }
};

// The plain bar: white border, black inner frame, the fill up to the pixel `lastFilled` of its middle row
// and none from `firstEmpty` on; nothing drawn outside it.
void expectBar(const std::vector<u32>& p, int lastFilled, int firstEmpty = -1) {
    if (firstEmpty < 0) firstEmpty = lastFilled + 1;
    EXPECT_EQ(0xFFFFFFu, LoadingScreen::at(p, 161, 217));
    EXPECT_EQ(0u, LoadingScreen::at(p, 168, 224));
    EXPECT_EQ(0x4488FFu, LoadingScreen::at(p, 172, 240));
    EXPECT_EQ(0x4488FFu, LoadingScreen::at(p, lastFilled, 240));
    EXPECT_EQ(0u, LoadingScreen::at(p, firstEmpty, 240));
    EXPECT_EQ(0u, LoadingScreen::at(p, 100, 100));
}

// The pixel where the shader's bar turned by +45 degrees has the point (x, y) of its own axes.
void barPixel(float x, float y, int* px, int* py) {
    const float c = 0.70710678f;
    const float qx = (x * c + y * c) / 1.5f, qy = (y * c - x * c) / 1.5f;
    *px = static_cast<int>(std::lround((qx + 0.5f) * kWidth));
    *py = static_cast<int>(std::lround(qy * kWidth + 0.5f * kHeight));
}

TEST_F(LoadingScreen, PlainLookDrawsTheBarAndTheCentredPicture) {
    std::vector<u32> p = draw(50);
    ASSERT_EQ(static_cast<size_t>(kWidth * kHeight), p.size());
    expectBar(p, 319);  // half of the fill area

    // A picture larger than the screen, and a program that does not compile: the plain look, centred.
    video::IImage* image = ctx->driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(800, 600));
    ASSERT_NE(nullptr, image);
    image->fill(video::SColor(0xFF336699));
    ASSERT_TRUE(ctx->driver->writeImageToFile(image, "loading.png"));
    image->drop();
    FILE* broken = std::fopen("loading.hlsl", "w");
    ASSERT_NE(nullptr, broken);
    std::fputs("float4 ps_main( : COLOR { nonsense", broken);
    std::fclose(broken);
    EXPECT_EQ(0, qeIrrlichtLoadingScreenBegin());
    EXPECT_EQ(-1, qeIrrlichtLoadingScreenCreateMaterial());
    p = draw(50);
    EXPECT_EQ(0x336699u, at(p, 0, 0));
    EXPECT_EQ(0x336699u, at(p, kWidth - 1, kHeight - 1)) << "the bar is pushed off the screen";
    qeIrrlichtLoadingScreenEnd();
    p = draw(50);
    EXPECT_EQ(0u, at(p, 0, 0)) << "End forgets the picture";
    EXPECT_EQ(0x4488FFu, at(p, 172, 240));
}

TEST_F(LoadingScreen, UpdateDrawsTheBarAndThePercentText) {
    // Update draws a whole frame of its own into the target it finds set.
    const auto update = [this](int percent) {
        ctx->driver->setRenderTarget(target, false, false);
        EXPECT_EQ(0, qeIrrlichtLoadingScreenUpdate(percent));
        ctx->driver->setRenderTarget(nullptr, false, false);
        std::vector<u32> pixels = qetest::readPixels(target);
        for (u32& p : pixels) p &= 0x00FFFFFF;
        return pixels;
    };
    const auto whiteInText = [](const std::vector<u32>& p) {
        int count = 0;
        for (int y = 10; y < 30; ++y)
            for (int x = 10; x < 60; ++x) count += at(p, x, y) == 0xFFFFFFu;
        return count;
    };
    std::vector<u32> p = update(30);
    ASSERT_EQ(static_cast<size_t>(kWidth * kHeight), p.size());
    expectBar(p, 259, 261);  // 30 of the 296 pixels of the fill area
    const int text30 = whiteInText(p);
    EXPECT_GT(text30, 20) << "the percent text";

    p = update(0);
    EXPECT_EQ(0u, at(p, 161, 217)) << "no bar at 0";
    EXPECT_GT(whiteInText(p), 10);
    EXPECT_LT(whiteInText(p), text30) << "\"0%\" is shorter than \"30%\"";
}

TEST_F(LoadingScreen, ShaderLookFadesInFillsAndFadesOut) {
    ASSERT_EQ(0, qeIrrlichtLoadingScreenCreateMaterial());
    int fillX, fillY, frameX, frameY, emptyX, emptyY;
    barPixel(0.1f, 0.0f, &fillX, &fillY);
    barPixel(0.15f, 0.035f, &frameX, &frameY);
    barPixel(0.2f, 0.0f, &emptyX, &emptyY);  // beyond the fill at half progress

    std::vector<u32> p = draw(0);
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(0u, at(p, fillX, fillY));
    EXPECT_EQ(0u, at(p, frameX, frameY));

    p = draw(50);
    EXPECT_TRUE(qeColourNear(0x1D4267, at(p, fillX, fillY), 3)) << std::hex << at(p, fillX, fillY);
    EXPECT_EQ(0u, at(p, emptyX, emptyY));
    EXPECT_TRUE(qeColourNear(0x808080, at(p, frameX, frameY), 2)) << std::hex << at(p, frameX, frameY);
    EXPECT_EQ(0u, at(p, 20, 20));

    p = draw(100);
    EXPECT_EQ(0xFFFFFFu, at(p, fillX, fillY));
    EXPECT_EQ(0xFFFFFFu, at(p, emptyX, emptyY));
    EXPECT_EQ(0xFFFFFFu, at(p, frameX, frameY));
    EXPECT_EQ(0u, at(p, kWidth / 2, kHeight / 2)) << "the gap in the middle";

    p = draw(120);
    EXPECT_EQ(0u, at(p, fillX, fillY));
    EXPECT_EQ(0u, at(p, frameX, frameY));
}

TEST_F(LoadingScreen, AnEngineStopBetweenBeginAndEndLeavesNothingBehind) {
    EXPECT_EQ(0, qeIrrlichtLoadingScreenBegin());
    EXPECT_EQ(0, qeIrrlichtLoadingScreenProgress(40));
    qeIrrlichtTerm();
    qeIrrlichtLoadingScreenEnd();  // no engine: refused, not a crash
    start();
    qeIrrlichtLoadingScreenEnd();
    // The material is made again for the new device.
    ASSERT_EQ(0, qeIrrlichtLoadingScreenCreateMaterial());
    int x, y;
    barPixel(0.1f, 0.0f, &x, &y);
    EXPECT_EQ(0xFFFFFFu, at(draw(100), x, y));
    EXPECT_EQ(0, qeIrrlichtLoadingScreenBegin());
    qeIrrlichtLoadingScreenEnd();
}

}  // namespace
