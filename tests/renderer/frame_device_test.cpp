#include "frame.h"

#include <gtest/gtest.h>
#include <irrlicht.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "camera_effects.h"
#include "engine.h"
#include "engine_context.h"
#include "facade.h"
#include "file_fixtures.h"
#include "gpu/QeShaderCacheInfo.h"
#include "gpu/QeShaderHash.h"
#include "images.h"
#include "lights.h"
#include "lpp.h"
#include "lpp_internal.h"
#include "object_surfaces.h"
#include "objects.h"
#include "shader_engine.h"
#include "log.h"
#include "overlay.h"
#include "device_check.h"
#include "shell_fixtures.h"
#include "sys.h"
#include "sysfile.h"

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

// A 640 x 480 window whose size changes: two cubes lit by a directional and a point light, one through
// the light pre-pass (a surface of its own), one by the fixed-function lights (no surfaces, as a loaded
// object draws), and a text near the window's lower right corner.
class ResizedWindow : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(0, qetest::startEngine(QIRN_OUTPUT_DIR, 640, 480, 1)) << qeSysGetStartupError();
        qeIrrlichtLoadObject(QIRN_EXAMPLES_DIR "cube.x", 1);
        qeIrrlichtPositionObject(1, -15, 0, 0);
        qeIrrlichtLoadObject(QIRN_EXAMPLES_DIR "cube.x", 2);
        qeIrrlichtPositionObject(2, 15, 0, 0);
        const ObjectSurfaceRecord surface = greySurface();
        qeIrrlichtObjSetSurfaces(2, 1, &surface, 1);
        qeIrrlichtPositionCamera(0, 0, -60);
        qeIrrlichtRotateCamera(0, 0, 0);
        qeIrrlichtMakeLight(0);
        qeIrrlichtSetDirectionalLight(0, 0, 0, 0);
        qeIrrlichtColorLight(0, 0x606060);
        qeIrrlichtMakeLight(1);
        qeIrrlichtSetPointLight(1, 30, 30, -30);
        qeIrrlichtColorLight(1, 0xFFC080);
        qeIrrlichtSetLightRange(1, 200);
        qeIrrlichtColorBackdrop(0x203040);
        const Frame first = frame();
        plainCube = first.at(0.345f, 0.5f);
        lppCube = first.at(0.655f, 0.5f);
    }
    static void TearDownTestSuite() { qeIrrlichtTerm(); }

    // A grey diffuse surface, drawn by the light pre-pass.
    static ObjectSurfaceRecord greySurface() {
        ObjectSurfaceRecord surface;
        std::memset(&surface, 0, sizeof(surface));
        surface.name = "grey";
        for (int c = 0; c < QE_SURF_SLOTS; ++c) surface.channels[c].type = 1;
        for (int c : {QE_SURF_REFLECTIONOPTIONS, QE_SURF_SIDEDNESS, QE_SURF_RENDEROUTLINES}) surface.channels[c].type = 2;
        surface.channels[QE_SURF_BASECOLOR].type = 0;
        const f32 grey[3] = {0.3f, 0.4f, 0.5f};
        std::memcpy(surface.channels[QE_SURF_BASECOLOR].value.f, grey, sizeof(grey));
        surface.channels[QE_SURF_DIFFUSE].value.f[0] = 1.0f;
        return surface;
    }

    struct Frame {
        u32 width = 0, height = 0;
        std::vector<u32> pixels;
        // RGB at a place given as fractions of the width and the height
        u32 at(f32 x, f32 y) const { return pixel(static_cast<u32>(x * width), static_cast<u32>(y * height)); }
        u32 pixel(u32 x, u32 y) const {
            return x < width && y < height && pixels.size() == width * height ? pixels[y * width + x] & 0xFFFFFF
                                                                              : 0xDEADBEEF;
        }
    };

    // The window's messages handled (a size change resets the device there), then one frame as
    // qeIrrlichtSync draws it (after inScene, when given, at the start of the scene), its back buffer read
    // back before it is presented.
    static Frame frame(const std::function<void(EngineContext*)>& inScene = nullptr) {
        qeIrrlichtRun();
        EngineContext* ctx = qeIrrlichtGetContext();
        const core::dimension2du size = ctx->driver->getScreenSize();
        qeIrrlichtOverlayAddText(nullptr, static_cast<int>(size.Width) - 70, static_cast<int>(size.Height) - 20,
                                 "QIRN QIRN", 0xFFFFFFFF);
        Frame f;
        video::ITexture* grab = ctx->driver->addRenderTargetTexture(size, "grab", video::ECF_A8R8G8B8);
        if (grab && qeIrrlichtBeginScene(ctx)) {
            if (inScene) inScene(ctx);
            qeIrrlichtLppRender(ctx, qeIrrlichtGetRenderer());
            const bool copied = ctx->driver->copyBackBufferToTexture(grab, false);
            qeIrrlichtEndScene(ctx);
            if (copied) {
                f.pixels = qetest::readPixels(grab);
                f.width = size.Width;
                f.height = size.Height;
            }
        }
        if (grab) ctx->driver->removeTexture(grab);
        return f;
    }

    // Both cubes as in the first frame.
    static void expectLitCubes(const Frame& f, const char* when) {
        EXPECT_PRED3(qeColourNear, plainCube, f.at(0.345f, 0.5f), 2) << when << std::hex << " " << plainCube;
        EXPECT_PRED3(qeColourNear, lppCube, f.at(0.655f, 0.5f), 2) << when << std::hex << " " << lppCube;
    }

    static u32 plainCube, lppCube;
};

u32 ResizedWindow::plainCube = 0, ResizedWindow::lppCube = 0;

TEST_F(ResizedWindow, AMaximisedWindowDrawsTheWholeFrameAtItsNewSize) {
    EngineContext* ctx = qeIrrlichtGetContext();
    // both lights reach both cubes: without the warm point light their red would be under half of this
    EXPECT_GT(plainCube >> 16, 0xC0u) << std::hex << plainCube;
    EXPECT_GT(lppCube >> 16, 0x38u) << std::hex << lppCube;
    qeIrrlichtMaximizeWindow();
    const Frame f = frame();
    ASSERT_GT(f.width, 640u);
    ASSERT_GT(f.height, 480u);
    EXPECT_EQ(static_cast<int>(f.width), ctx->width);
    EXPECT_EQ(static_cast<int>(f.height), ctx->height);
    // the renderer's screen-sized targets and the camera's aspect follow the window
    LppRenderer* r = qeIrrlichtGetRenderer();
    EXPECT_EQ(core::dimension2du(f.width, f.height), r->lightRTT->getSize());
    EXPECT_EQ(core::dimension2du(f.width / 4, f.height / 4), r->quarterScreen[1]->getSize());
    EXPECT_FLOAT_EQ(static_cast<f32>(f.width) / static_cast<f32>(f.height), ctx->camera->getAspectRatio());
    expectLitCubes(f, "maximised");
    // outside the old 640 x 480 corner: the backdrop, and the text drawn there
    EXPECT_EQ(0x203040u, f.pixel(f.width - 5, f.height - 40));
    int text = 0;
    for (u32 y = f.height - 20; y < f.height - 8; ++y)
        for (u32 x = f.width - 70; x < f.width - 10; ++x) text += f.pixel(x, y) == 0xFFFFFF;
    EXPECT_GT(text, 20);
    qeIrrlichtRestoreWindow();
    const Frame back = frame();
    EXPECT_EQ(640u, back.width);
    expectLitCubes(back, "restored");
}

TEST_F(ResizedWindow, TheLightingOutlastsMaximiseRestoreMinimiseRestore) {
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        qeIrrlichtMaximizeWindow();
        expectLitCubes(frame(), "maximised");
        qeIrrlichtRestoreWindow();
        expectLitCubes(frame(), "restored");
        qeIrrlichtMinimizeWindow();
        qeIrrlichtRun();
        EXPECT_FALSE(qeIrrlichtSync());  // nothing is drawn while minimised
        qeIrrlichtRestoreWindow();
        expectLitCubes(frame(), "restored after a minimise");
    }
}

// A camera effect that shows, over the whole frame, the renderer's half-screen target it took by name.
const char* const kHalfScreenEffect =
    "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
    "//texture 1 HalfScreen[0]\n//[QIRN_END]\n"
    "sampler2D Layer1 : register(s1);\n"
    "void vsMain(float4 p : POSITION, float2 uv : TEXCOORD0, out float4 op : POSITION, out float2 ouv : TEXCOORD0)"
    " { op = float4(p.xyz, 1.0); ouv = uv; }\n"
    "float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return float4(tex2D(Layer1, uv).rgb, 1); }\n";

TEST_F(ResizedWindow, WhatTookARendererTargetByNameDrawsFromItAtTheWindowsNewSize) {
    qetest::TempDir files("resized-effect");
    qeIrrlichtMakeCameraEffectFromFile(1, files.write("half.hlsl", kHalfScreenEffect).c_str());
    ASSERT_EQ(1, qeIrrlichtCameraEffectExist(1));
    ASSERT_EQ(0, qeIrrlichtLoadImage("HalfScreen[0]", 1));
    qeIrrlichtShowCameraEffect(1);
    // a surface's colour texture named after another target (on an object out of sight)
    qeIrrlichtLoadObject(QIRN_EXAMPLES_DIR "cube.x", 3);
    qeIrrlichtHideObject(3);
    ObjectSurfaceRecord surface = greySurface();
    surface.channels[QE_SURF_BASECOLOR].texImage = "QuarterScreen[0]";
    qeIrrlichtObjSetSurfaces(3, 1, &surface, 1);
    const ObjectSurfaceSet* surfaces = qeIrrlichtGetObjectSurfaces(3);
    ASSERT_TRUE(surfaces && surfaces->count == 1);
    LppRenderer* r = qeIrrlichtGetRenderer();
    ASSERT_EQ(r->quarterScreen[0], surfaces->surfaces[0].textures[QE_SURF_BASECOLOR]);
    // each frame fills the target with its own colour before the effect shows it
    const u32 colours[3] = {0xC08040, 0x40C080, 0x8040C0};
    for (int step = 0; step < 3; ++step) {
        SCOPED_TRACE(step);
        if (step == 1) qeIrrlichtMaximizeWindow();
        if (step == 2) qeIrrlichtRestoreWindow();
        const Frame f = frame([&](EngineContext* ctx) {
            ctx->driver->setRenderTarget(r->halfScreen[0], true, false, video::SColor(0xFF000000 | colours[step]));
            ctx->driver->setRenderTarget(nullptr, false, false);
        });
        ASSERT_EQ(step == 1, f.width > 640u);
        // the slot, the image and the surface hold the renderer's targets, at the window's size
        EXPECT_EQ(r->halfScreen[0], qeIrrlichtGetCameraEffectTexture(1, 1));
        EXPECT_EQ(r->quarterScreen[0], surfaces->surfaces[0].textures[QE_SURF_BASECOLOR]);
        EXPECT_EQ(core::dimension2du(f.width / 4, f.height / 4), r->quarterScreen[0]->getSize());
        EXPECT_EQ(core::dimension2du(f.width / 2, f.height / 2), r->halfScreen[0]->getSize());
        EXPECT_EQ(static_cast<int>(f.width / 2), qeIrrlichtImageWidth(1));
        EXPECT_EQ(static_cast<int>(f.height / 2), qeIrrlichtImageHeight(1));
        for (const f32 x : {0.1f, 0.5f, 0.9f})
            for (const f32 y : {0.1f, 0.5f, 0.9f})
                EXPECT_PRED3(qeColourNear, colours[step], f.at(x, y), 2) << x << "," << y << std::hex << " " << f.at(x, y);
    }
    qeIrrlichtDeleteCameraEffect(1);
    qeIrrlichtDeleteImage(1);
    qeIrrlichtDeleteObject(3);
    expectLitCubes(frame(), "without the effect");
}

TEST_F(ResizedWindow, AnImageMadeWhileMaximisedKeepsItsDepthTestAfterTheRestore) {
    EngineContext* ctx = qeIrrlichtGetContext();
    qeIrrlichtHideObject(1);
    qeIrrlichtHideObject(2);
    // A red cube turned edge-on to the camera, cut by a large blue face: in front of the face only the
    // middle of the cube shows. Without the depth test the one drawn last would show whole.
    scene::IMeshSceneNode* cube = ctx->smgr->addCubeSceneNode(20.0f, nullptr, -1, core::vector3df(0, 0, 0),
                                                             core::vector3df(0, 45, 0));
    scene::IMeshSceneNode* face = ctx->smgr->addCubeSceneNode(20.0f, nullptr, -1, core::vector3df(0, 0, -7),
                                                             core::vector3df(0, 0, 0), core::vector3df(10, 10, 0.01f));
    ASSERT_TRUE(cube && face);
    ctx->smgr->getMeshManipulator()->setVertexColors(cube->getMesh(), video::SColor(0xFFFF0000));
    ctx->smgr->getMeshManipulator()->setVertexColors(face->getMesh(), video::SColor(0xFF0000FF));
    for (scene::IMeshSceneNode* node : {cube, face}) node->setMaterialFlag(video::EMF_LIGHTING, false);

    qeIrrlichtMaximizeWindow();
    frame();
    const core::dimension2du maximised = ctx->driver->getScreenSize();
    ASSERT_GT(maximised.Width, 640u);
    ASSERT_EQ(0, qeIrrlichtMakeImage(static_cast<int>(maximised.Width), static_cast<int>(maximised.Height), 10));
    qeIrrlichtRestoreWindow();
    frame();
    ASSERT_EQ(640u, ctx->driver->getScreenSize().Width);
    // the same image made after the restore
    ASSERT_EQ(0, qeIrrlichtMakeImage(static_cast<int>(maximised.Width), static_cast<int>(maximised.Height), 11));
    qeIrrlichtRenderToImage(10, 1);
    qeIrrlichtRenderToImage(11, 1);
    qeIrrlichtEndScene(ctx);

    // where the cube's side goes behind the face, on the middle row
    const core::position2di behind = ctx->smgr->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(
        core::vector3df(11.0f, 0.0f, -3.14f), ctx->camera);
    int counts[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i ? "made after the restore" : "made while maximised");
        video::ITexture* image = ctx->driver->findTexture(i ? "qeRtImage11" : "qeRtImage10");
        ASSERT_NE(nullptr, image);
        const std::vector<u32> pixels = qetest::readPixels(image);
        ASSERT_EQ(static_cast<size_t>(maximised.Width) * maximised.Height, pixels.size());
        for (u32 p : pixels) counts[i] += (p & 0xFFFFFF) == 0xFF0000;
        const u32 centre = pixels[(maximised.Height / 2) * maximised.Width + maximised.Width / 2] & 0xFFFFFF;
        const u32 x = static_cast<u32>(behind.X * static_cast<f32>(maximised.Width) / 640.0f);
        const u32 side = pixels[(maximised.Height / 2) * maximised.Width + x] & 0xFFFFFF;
        EXPECT_EQ(0xFF0000u, centre) << std::hex << centre;
        EXPECT_EQ(0x0000FFu, side) << std::hex << side;
    }
    EXPECT_GT(counts[1], 1000);
    EXPECT_NEAR(counts[1], counts[0], counts[1] / 50);

    cube->remove();
    face->remove();
    qeIrrlichtDeleteImage(10);
    qeIrrlichtDeleteImage(11);
    qeIrrlichtShowObject(1);
    qeIrrlichtShowObject(2);
}

// A packed demo's cache is only read: a start that compiles the engine's shaders (none of them carried)
// writes no blob into it and removes none that it holds, not even one whose source is not there (yet).
TEST_F(EngineFixture, AShaderCacheOnlyReadTakesNothingInAndKeepsWhatItHolds) {
    qetest::TempDir base("read cache");
    const std::string cache = base.mkdir("shadersCache");
    const std::string hashed = "\n" + std::string(kCacheHashLength, 'A');
    const std::string blob = "fx!ripple!psMain!" + std::string(cacheHashText(hashed.data(), static_cast<s32>(hashed.size())).c_str()) + ".pso";
    base.write("shadersCache\\" + blob, std::string("\x00\x03\xFF\xFF\xFF\xFF\x00\x00", 8));
    base.write("shadersCache\\" + blob + ".inf", hashed + "\n../../TheDemoExtractDir.1/fx/ripple.hlsl");
    ASSERT_TRUE(isCurrentCacheInfo(blob, hashed + "\n../../TheDemoExtractDir.1/fx/ripple.hlsl"));
    // as a packed demo starts: the data files where its default data lies, the cache in its base folder
    ASSERT_EQ(0, qeSysAddSearchDirectory(QIRN_OUTPUT_DIR));
    DeviceSettings s = windowedDefaults();
    s.baseDirectory = base.path().c_str();
    qeIrrlichtSetShaderCacheReadOnly(1);
    const int started = qeIrrlichtSetup(&s);
    qeIrrlichtSetShaderCacheReadOnly(0);
    EXPECT_EQ(0, started) << qeSysGetStartupError();
    EXPECT_EQ((std::vector<std::string>{blob, blob + ".inf"}), qetest::namesIn(base.path() + "shadersCache\\*"));
    qeIrrlichtTerm();
    qeSysSetBaseDir(QIRN_OUTPUT_DIR);
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
