// The stereo output on the device: the eye camera, the five anaglyph modes composed from known eye images
// and read back from the back buffer, the 3D Vision target with its signature row (also after a device
// reset and with a renderer made for 3D Vision), the overlay emptied by stereo frames without the light
// pre-pass.
#include "stereo.h"

#include <d3d9.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device_check.h"
#include "engine.h"
#include "engine_context.h"
#include "facade.h"
#include "frame.h"
#include "lpp.h"
#include "lpp_internal.h"
#include "overlay.h"
#include "shader_object.h"
#include "shader_engine.h"
#include "shell_fixtures.h"
#include "sys.h"

using namespace irr;

namespace {

const u32 kBackdrop = 0xFFC86432;  // red 200, green 100, blue 50: luminance 124

void expectVector(const core::vector3df& expected, const core::vector3df& actual, f32 tolerance = 1e-3f) {
    EXPECT_NEAR(expected.X, actual.X, tolerance);
    EXPECT_NEAR(expected.Y, actual.Y, tolerance);
    EXPECT_NEAR(expected.Z, actual.Z, tolerance);
}

void placeCamera(const core::vector3df& position, const core::vector3df& target) {
    scene::ICameraSceneNode* camera = qeIrrlichtGetContext()->camera;
    camera->setPosition(position);
    camera->setUpVector(core::vector3df(0, 1, 0));
    camera->setTarget(target);
    camera->updateAbsolutePosition();
    camera->render();
}

// The 3D Vision target's pixels, row by row (2 x width by height + 1).
std::vector<u32> read3DVisionTarget(int width, int height) {
    std::vector<u32> pixels;
    IDirect3DSurface9* target = qeIrrlichtRenderStereoState()->target3DVision;
    D3DLOCKED_RECT locked;
    if (!target || FAILED(target->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return pixels;
    for (int y = 0; y < height + 1; ++y) {
        const u32* row = reinterpret_cast<const u32*>(static_cast<const char*>(locked.pBits) + y * locked.Pitch);
        pixels.insert(pixels.end(), row, row + 2 * width);
    }
    target->UnlockRect();
    return pixels;
}

TEST(StereoValues, SeparationAndFocusFollowTheirSwitchesAndTheHeaderNamesTheWideImage) {
    RenderSettings rs = {};
    rs.stereoEyeSeparation = 3.0f;
    rs.stereoFocusDistance = 40.0f;
    rs.stereoFocusOn = 1;
    f32 s = -1.0f, d = -1.0f;
    qeIrrlichtStereoEyeValues(rs, &s, &d);  // stereo camera off: one eye position, focus far away
    EXPECT_EQ(0.0f, s);
    EXPECT_EQ(1e9f, d);
    rs.stereoCameraOn = 1;
    qeIrrlichtStereoEyeValues(rs, &s, &d);
    EXPECT_EQ(3.0f, s);
    EXPECT_EQ(40.0f, d);
    rs.stereoFocusOn = 0;
    qeIrrlichtStereoEyeValues(rs, &s, &d);
    EXPECT_EQ(1e9f, d);

    uint32_t header[5];
    qeIrrlichtStereoHeader(header, 1280, 720);
    EXPECT_EQ(0, std::memcmp(header, "NV3D", 4));
    EXPECT_EQ(2560u, header[1]);
    EXPECT_EQ(720u, header[2]);
    EXPECT_EQ(32u, header[3]);
    EXPECT_EQ(0u, header[4]);

    EXPECT_STREQ("ANAGLYPH_TRUE", qeIrrlichtStereoModeDefine(2));
    EXPECT_STREQ("ANAGLYPH_OPTIMIZED", qeIrrlichtStereoModeDefine(6));
    EXPECT_EQ(nullptr, qeIrrlichtStereoModeDefine(1));
}

// An engine without the light pre-pass; the stereo output is made and freed by the tests themselves.
class StereoPlain : public testing::Test {
protected:
    static const int kSize = 128;
    static void SetUpTestSuite() {
        ASSERT_EQ(0, qetest::startEngine(QIRN_OUTPUT_DIR, kSize, kSize, 0)) << qeSysGetStartupError();
        EngineContext* ctx = qeIrrlichtGetContext();
        readBack = ctx->driver->addRenderTargetTexture(core::dimension2du(kSize, kSize), "stereoReadBack",
                                                       video::ECF_A8R8G8B8);
    }
    static void TearDownTestSuite() {
        qeIrrlichtRenderStereoFree();
        qeIrrlichtTerm();
    }
    void SetUp() override {
        qeIrrlichtColorBackdrop(kBackdrop);
        qeIrrlichtSetCameraStereo(1, 2.0f, 0, 0.0f);
        placeCamera(core::vector3df(0, 0, 0), core::vector3df(0, 0, 100));
    }
    void TearDown() override { qeIrrlichtRenderStereoFree(); }

    // One stereo frame; the back buffer as it stands before the end of the scene.
    static std::vector<u32> frame() {
        EngineContext* ctx = qeIrrlichtGetContext();
        if (!readBack || !qeIrrlichtBeginScene(ctx)) return {};
        qeIrrlichtRenderStereoFrame(ctx, false, nullptr);
        const bool copied = ctx->driver->copyBackBufferToTexture(readBack, false);
        qeIrrlichtEndScene(ctx);
        return copied ? qetest::readPixels(readBack) : std::vector<u32>();
    }

    static video::ITexture* readBack;
    qetest::BoxRecorder recorder;
};
video::ITexture* StereoPlain::readBack = nullptr;

TEST_F(StereoPlain, EyesStepSidewaysAlongTheCameraAndLookAtTheFocusPoint) {
    scene::ICameraSceneNode* camera = qeIrrlichtGetContext()->camera;
    qeIrrlichtStereoSetEyeCamera(camera, 1, 2.0f, 1e9f);
    expectVector(core::vector3df(-1, 0, 0), camera->getPosition());
    expectVector(core::vector3df(0, 0, 1e9f), camera->getTarget(), 1.0f);

    // looking along -z the camera's right is -x; the focus point lies d ahead of the camera
    placeCamera(core::vector3df(10, 5, 0), core::vector3df(10, 5, -100));
    qeIrrlichtStereoSetEyeCamera(camera, 1, 4.0f, 50.0f);
    expectVector(core::vector3df(12, 5, 0), camera->getPosition());
    expectVector(core::vector3df(10, 5, -50), camera->getTarget());
    placeCamera(core::vector3df(10, 5, 0), core::vector3df(10, 5, -100));
    qeIrrlichtStereoSetEyeCamera(camera, 0, 4.0f, 50.0f);
    expectVector(core::vector3df(8, 5, 0), camera->getPosition());
    expectVector(core::vector3df(0, 1, 0), camera->getUpVector());
}

// A solid node that records where the active camera stands each time it is drawn.
class CameraRecorder : public scene::ISceneNode {
public:
    explicit CameraRecorder(scene::ISceneManager* smgr) : ISceneNode(smgr->getRootSceneNode(), smgr) {
        setAutomaticCulling(scene::EAC_OFF);
    }
    void OnRegisterSceneNode() override {
        if (IsVisible) SceneManager->registerNodeForRendering(this, scene::ESNRP_SOLID);
        ISceneNode::OnRegisterSceneNode();
    }
    void render() override {
        scene::ICameraSceneNode* camera = SceneManager->getActiveCamera();
        seen.push_back(camera->getAbsolutePosition());
        targets.push_back(camera->getTarget());
    }
    const core::aabbox3d<f32>& getBoundingBox() const override { return box; }
    std::vector<core::vector3df> seen, targets;
    core::aabbox3d<f32> box{core::vector3df(-1, -1, -1), core::vector3df(1, 1, 1)};
};

TEST_F(StereoPlain, EachEyeDrawsTheSceneOnceFromItsOwnCamera) {
    EngineContext* ctx = qeIrrlichtGetContext();
    ASSERT_EQ(0, qeIrrlichtRenderStereoInit(ctx, 4));
    qeIrrlichtSetCameraStereo(1, 2.0f, 1, 30.0f);
    CameraRecorder* recorder = new CameraRecorder(ctx->smgr);
    ASSERT_EQ(static_cast<size_t>(kSize * kSize), frame().size());
    ASSERT_EQ(2u, recorder->seen.size());
    expectVector(core::vector3df(-1, 0, 0), recorder->seen[0]);
    expectVector(core::vector3df(1, 0, 0), recorder->seen[1]);
    expectVector(core::vector3df(0, 0, 30), recorder->targets[0]);
    expectVector(core::vector3df(0, 0, 30), recorder->targets[1]);
    recorder->remove();
    recorder->drop();
}

TEST_F(StereoPlain, UnsupportedModesAreRefusedWithTheirNumber) {
    EngineContext* ctx = qeIrrlichtGetContext();
    EXPECT_EQ(-1, qeIrrlichtRenderStereoInit(ctx, 7));
    EXPECT_EQ(-1, qeIrrlichtRenderStereoInit(ctx, -1));
    ASSERT_EQ(2u, recorder.boxes().size());
    EXPECT_EQ("Stereo: Unsupported Stereoscopic mode = 7", qetest::BoxRecorder::text(0));
    EXPECT_EQ("Stereo: Unsupported Stereoscopic mode = -1", qetest::BoxRecorder::text(1));
    EXPECT_EQ(0, qeIrrlichtRenderStereoState()->mode);
}

TEST_F(StereoPlain, EachAnaglyphModeComposesTheEyesIntoItsChannels) {
    EngineContext* ctx = qeIrrlichtGetContext();
    // eye image (200, 100, 50), luminance 124: left replaces the back buffer, right adds to it
    const u32 expected[] = {0xFF7C007C, 0xFF7C7C7C, 0xFFC86432, 0xFF7C6432, 0xFF556432};
    for (int mode = 2; mode <= 6; ++mode) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(0, qeIrrlichtRenderStereoInit(ctx, mode));
        const StereoState* st = qeIrrlichtRenderStereoState();
        ASSERT_NE(nullptr, st->leftShader);
        ASSERT_NE(nullptr, st->rightShader);
        EXPECT_NE(qeIrrShaderGetMaterialType(st->leftShader), qeIrrShaderGetMaterialType(st->rightShader));
        const std::vector<u32> pixels = frame();
        ASSERT_EQ(static_cast<size_t>(kSize * kSize), pixels.size());
        for (size_t i : {size_t(0), size_t(kSize * kSize / 2 + kSize / 2), pixels.size() - 1})
            EXPECT_PRED3(qeColourNear, expected[mode - 2], pixels[i], 2) << std::hex << pixels[i];
        qeIrrlichtRenderStereoFree();
    }
    EXPECT_TRUE(recorder.boxes().empty());
}

TEST_F(StereoPlain, AStereoFrameDrawsTheOverlayAndEmptiesItsQueue) {
    EngineContext* ctx = qeIrrlichtGetContext();
    ASSERT_EQ(0, qeIrrlichtRenderStereoInit(ctx, 2));
    ASSERT_EQ(0, qeIrrlichtOverlayAddBox(0, 0, 8, 8, 0xFF00FF00));
    const std::vector<u32> pixels = frame();
    ASSERT_EQ(static_cast<size_t>(kSize * kSize), pixels.size());
    EXPECT_EQ(0, qeIrrlichtOverlayQueue()->commandCount);
    EXPECT_PRED3(qeColourNear, 0xFF00FF00u, pixels[2 * kSize + 2], 2) << std::hex << pixels[2 * kSize + 2];
    EXPECT_PRED3(qeColourNear, 0xFF7C007Cu, pixels[64 * kSize + 64], 2);
    // the camera is back where the frame's animation left it (the free-camera animator keeps the target one
    // unit ahead), not at the right eye
    scene::ICameraSceneNode* camera = ctx->camera;
    EXPECT_EQ(core::vector3df(0, 0, 0), camera->getPosition());
    EXPECT_EQ(core::vector3df(0, 0, 1), camera->getTarget());
    EXPECT_EQ(core::vector3df(0, 1, 0), camera->getUpVector());
}

TEST_F(StereoPlain, EyesAreDrawnAtTheWindowsSizeAfterItChanged) {
    EngineContext* ctx = qeIrrlichtGetContext();
    ASSERT_EQ(0, qeIrrlichtRenderStereoInit(ctx, 2));
    ASSERT_EQ(static_cast<size_t>(kSize * kSize), frame().size());
    ctx->driver->OnResize(core::dimension2du(160, 96));  // the device is reset at the window's new size
    const std::vector<u32> pixels = frame();
    ctx->driver->OnResize(core::dimension2du(kSize, kSize));
    ASSERT_EQ(static_cast<size_t>(kSize * kSize), pixels.size());
    EXPECT_EQ(core::dimension2du(160, 96), qeIrrlichtRenderStereoState()->eyeTarget->getSize());
    EXPECT_PRED3(qeColourNear, 0xFF7C007Cu, pixels[64 * kSize + 64], 2) << std::hex << pixels[64 * kSize + 64];
}

TEST_F(StereoPlain, The3DVisionTargetCarriesBothEyesAndTheSignatureRow) {
    EngineContext* ctx = qeIrrlichtGetContext();
    ASSERT_EQ(0, qeIrrlichtRenderStereoInit(ctx, 1));
    D3DSURFACE_DESC desc;
    ASSERT_EQ(D3D_OK, qeIrrlichtRenderStereoState()->target3DVision->GetDesc(&desc));
    EXPECT_EQ(2u * kSize, desc.Width);
    EXPECT_EQ(kSize + 1u, desc.Height);

    const std::vector<u32> screen = frame();
    ASSERT_EQ(static_cast<size_t>(kSize * kSize), screen.size());
    EXPECT_PRED3(qeColourNear, kBackdrop, screen[64 * kSize + 64], 2);
    const std::vector<u32> wide = read3DVisionTarget(kSize, kSize);
    ASSERT_EQ(static_cast<size_t>(2 * kSize * (kSize + 1)), wide.size());
    const u32* signature = &wide[2 * kSize * kSize];
    EXPECT_EQ(0x4433564Eu, signature[0]);
    EXPECT_EQ(2u * kSize, signature[1]);
    EXPECT_EQ(static_cast<u32>(kSize), signature[2]);
    EXPECT_EQ(32u, signature[3]);
    EXPECT_EQ(0u, signature[4]);
    for (int x : {0, kSize - 1, kSize, 2 * kSize - 1})
        for (int y : {0, kSize - 1}) EXPECT_PRED3(qeColourNear, kBackdrop, wide[y * 2 * kSize + x], 2) << x << "," << y;

    // the reset handlers release the surfaces and make them again
    qeIrrlichtRenderStereoOnReset(nullptr);
    EXPECT_EQ(nullptr, qeIrrlichtRenderStereoState()->target3DVision);
    EXPECT_EQ(nullptr, qeIrrlichtRenderStereoState()->signature3DVision);
    qeIrrlichtRenderStereoOnAfterReset();
    EXPECT_NE(nullptr, qeIrrlichtRenderStereoState()->target3DVision);
    EXPECT_NE(nullptr, qeIrrlichtRenderStereoState()->signature3DVision);
    EXPECT_TRUE(recorder.boxes().empty());
}

TEST_F(StereoPlain, The3DVisionHalvesHoldTheLeftAndTheRightEye) {
    EngineContext* ctx = qeIrrlichtGetContext();
    ASSERT_EQ(0, qeIrrlichtRenderStereoInit(ctx, 1));
    // An unlit white cube ahead of the camera and right of its axis, eyes 4 apart and looking in parallel:
    // the left eye sees it further right than the right eye does, by the disparity the projection gives.
    const f32 separation = 4.0f, depth = 20.0f;
    qeIrrlichtSetCameraStereo(1, separation, 0, 0.0f);
    scene::IMeshSceneNode* cube = ctx->smgr->addCubeSceneNode(2.0f, nullptr, -1, core::vector3df(1.5f, 0, depth));
    cube->setMaterialFlag(video::EMF_LIGHTING, false);
    ASSERT_EQ(static_cast<size_t>(kSize * kSize), frame().size());
    const std::vector<u32> wide = read3DVisionTarget(kSize, kSize);
    ASSERT_EQ(static_cast<size_t>(2 * kSize * (kSize + 1)), wide.size());

    // The mean column of the cube's pixels in each half, counted from the half's own left edge.
    const auto cubeColumn = [&wide](int half) {
        double sum = 0.0;
        int count = 0;
        for (int y = 0; y < kSize; ++y)
            for (int x = 0; x < kSize; ++x)
                if (((wide[y * 2 * kSize + half * kSize + x] >> 8) & 0xFF) > 200) {  // green: 100 in the backdrop
                    sum += x;
                    ++count;
                }
        return count > 0 ? sum / count : -1.0;
    };
    const double left = cubeColumn(0), right = cubeColumn(1);
    ASSERT_GE(left, 0.0) << "no cube in the left half";
    ASSERT_GE(right, 0.0) << "no cube in the right half";
    scene::ICameraSceneNode* camera = ctx->camera;
    const double pixelsPerUnit = kSize / 2.0 / std::tan(camera->getFOV() / 2.0) / camera->getAspectRatio();
    std::printf("3D Vision halves: cube at column %.1f (left eye) and %.1f (right eye), disparity %.1f (expected %.1f)\n",
                left, right, left - right, separation / depth * pixelsPerUnit);
    EXPECT_NEAR(separation / depth * pixelsPerUnit, left - right, 2.0);
    cube->remove();
    EXPECT_TRUE(recorder.boxes().empty());
}

// Engines started with 3D Vision and the light pre-pass: the device-creation hook's driver set-up, a
// renderer that draws two rows fewer from the first start on, the frame driver's stereo road, a device
// reset, and a restart.
TEST(Stereo3DVisionEngine, StartsWithoutTheDriverAndFillsBothHalvesAfterARestart) {
    const int w = 256, h = 256;
    DeviceSettings s;
    qeDeviceSettingsClear(&s);
    s.width = w;
    s.height = h;
    s.lightPrePass = 1;
    s.stereo = 1;
    s.baseDirectory = QIRN_OUTPUT_DIR;
    testing::internal::CaptureStdout();
    const int started = qeIrrlichtSetup(&s);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(0, started) << qeSysGetStartupError();
    EXPECT_NE(std::string::npos, printed.find("NvAPI_Initialize() Library not found\n")) << printed;
    EngineContext* ctx = qeIrrlichtGetContext();
    EXPECT_EQ(1, qeIrrlichtGetStereoMode());
    // the first start already makes the renderer for 3D Vision, as every later one does
    ASSERT_NE(nullptr, qeIrrlichtGetRenderer());
    EXPECT_EQ(core::dimension2du(w, h - 2), qeIrrlichtGetRenderer()->backRTT[0]->getSize());
    EXPECT_TRUE(qeIrrlichtSync());

    // a window resize resets the device: the 3D Vision surfaces are made again
    ctx->driver->OnResize(core::dimension2d<u32>(300, 200));
    EXPECT_NE(nullptr, qeIrrlichtRenderStereoState()->target3DVision);
    EXPECT_EQ(core::dimension2du(300, 198), qeIrrlichtGetRenderer()->backRTT[0]->getSize());
    EXPECT_TRUE(qeIrrlichtSync());

    // a restart makes the renderer for 3D Vision again: its eyes fill both halves
    ASSERT_EQ(0, qeIrrlichtSetup(&s)) << qeSysGetStartupError();
    ctx = qeIrrlichtGetContext();
    ASSERT_NE(nullptr, qeIrrlichtGetRenderer());
    EXPECT_EQ(core::dimension2du(w, h - 2), qeIrrlichtGetRenderer()->backRTT[0]->getSize());
    qeIrrlichtColorBackdrop(kBackdrop);
    EXPECT_TRUE(qeIrrlichtSync());
    const std::vector<u32> wide = read3DVisionTarget(w, h);
    ASSERT_EQ(static_cast<size_t>(2 * w * (h + 1)), wide.size());
    for (int x : {1, w - 2, w + 1, 2 * w - 2})
        for (int y : {0, h - 1}) EXPECT_PRED3(qeColourNear, kBackdrop & 0x00FFFFFF, wide[y * 2 * w + x] & 0x00FFFFFF, 3) << x << "," << y;
    EXPECT_EQ(0x4433564Eu, wide[2 * w * h]);
    EXPECT_EQ(0, qeIrrlichtTerm());
}

}  // namespace
