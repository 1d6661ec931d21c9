// The post chain on the device (256 x 256), on synthetic inputs drawn into the renderer's targets by test
// shaders and read back: camera effects (preset slots, flag reset, routing through the frame), the glow
// (capture, blur, compose), light streaks, depth of field, ambient occlusion and anti-aliasing.
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "camera_effects.h"
#include "device_check.h"
#include "engine.h"
#include "engine_context.h"
#include "file_fixtures.h"
#include "frame.h"
#include "lpp.h"
#include "lpp_internal.h"
#include "shader_engine.h"
#include "shader_object.h"
#include "shell_fixtures.h"
#include "sysfile.h"

using namespace irr;

namespace {

const int kSize = 256;

// Test patterns over the whole target; uv (0,0) is the top left.
const char* const kPatternVs =
    "void vs(float4 p : POSITION, float2 uv : TEXCOORD0, out float4 op : POSITION, out float2 ouv : TEXCOORD0)"
    " { op = p; ouv = uv; }\n";
// A white square (alpha 1: the glow mask) in the middle of a black frame with alpha 0.
const char* const kSquarePs =
    "float4 ps(float2 uv : TEXCOORD0) : COLOR0 {\n"
    "  float inside = step(0.4, uv.x) * step(uv.x, 0.6) * step(0.4, uv.y) * step(uv.y, 0.6);\n"
    "  return float4(inside, inside, inside, inside); }\n";
// The same square a fifth of that size (6 x 6 pixels of a quarter-size target).
const char* const kSmallSquarePs =
    "float4 ps(float2 uv : TEXCOORD0) : COLOR0 {\n"
    "  float inside = step(0.45, uv.x) * step(uv.x, 0.55) * step(0.45, uv.y) * step(uv.y, 0.55);\n"
    "  return float4(inside, inside, inside, inside); }\n";
// White left half, black right half; a flat depth of 0.01 of the far value.
const char* const kEdgePs = "float4 ps(float2 uv : TEXCOORD0) : COLOR0 { float l = step(uv.x, 0.5); return float4(l, l, l, 1); }\n";
const char* const kFlatDepthPs = "float4 ps(float2 uv : TEXCOORD0) : COLOR0 { return float4(0.01, 0, 0, 1); }\n";
// Depth 0.01 of the far value on the left, 0.02 on the right; a hard diagonal edge (white above it).
const char* const kDepthStepPs =
    "float4 ps(float2 uv : TEXCOORD0) : COLOR0 { return float4(uv.x < 0.5 ? 0.01 : 0.02, 0, 0, 1); }\n";
const char* const kDiagonalPs =
    "float4 ps(float2 uv : TEXCOORD0) : COLOR0 { float w = step(uv.y, uv.x * 0.5 + 0.25); return float4(w, w, w, 1); }\n";
const char* const kWhitePs = "float4 ps(float2 uv : TEXCOORD0) : COLOR0 { return float4(1, 1, 1, 1); }\n";
const char* const kBlackPs = "float4 ps(float2 uv : TEXCOORD0) : COLOR0 { return float4(0, 0, 0, 0); }\n";
const char* const kRedPs = "float4 ps(float2 uv : TEXCOORD0) : COLOR0 { return float4(1, 0, 0, 1); }\n";

// Camera effects: the input as seen through the "SourceRTT" preset slot 1, and a channel rotation of
// layer 0.
const char* const kEffectHeader =
    "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
    "//float2 HalfPixelSize : HalfPixelSize : vertex\n";
const char* const kEffectVs =
    "float2 HalfPixelSize;\nsampler2D Layer0 : register(s0);\nsampler2D Layer1 : register(s1);\n"
    "void vsMain(float4 p : POSITION, float2 uv : TEXCOORD0, out float4 op : POSITION, out float2 ouv : TEXCOORD0)"
    " { op = float4(p.xyz, 1.0); ouv = uv + HalfPixelSize; }\n";
const std::string kPresetEffect = std::string(kEffectHeader) +
                                  "//texture 1 SourceRTT preset\n//texture 2 RandVec preset repeat filterPoint\n"
                                  "//[QIRN_END]\n" + kEffectVs +
                                  "float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return float4(tex2D(Layer1, uv).rgb, 1); }\n";
const std::string kRotateEffect = std::string(kEffectHeader) + "//[QIRN_END]\n" + kEffectVs +
                                  "float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return float4(tex2D(Layer0, uv).gbr, 1); }\n";

class LppPost : public testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new qetest::TempDir("lpp-post");
        ASSERT_EQ(0, qetest::startEngine(QIRN_OUTPUT_DIR, kSize, kSize, 1)) << qeSysGetStartupError();
    }
    static void TearDownTestSuite() {
        qeIrrlichtTerm();
        delete files;
    }

    void SetUp() override {
        ctx = qeIrrlichtGetContext();
        r = qeIrrlichtGetRenderer();
        ASSERT_NE(nullptr, r);
        saved = ctx->render;
    }
    void TearDown() override {
        ctx->render = saved;
        for (int id = 1; id <= 2; ++id) qeIrrlichtDeleteCameraEffect(id);
    }

    // Fills a target with a pattern (inside a frame that the caller has begun).
    void fill(video::ITexture* target, const char* ps) {
        const std::string source = std::string(kPatternVs) + ps;
        const s32 type = qetest::hlslMaterial(ctx->driver, source.c_str(), "vs", "ps", nullptr);
        ASSERT_GE(type, 0);
        ctx->driver->setRenderTarget(target, true, true, video::SColor(0));
        qetest::drawQuad(ctx->driver, qetest::quadMaterial(type));
    }

    bool begin() { return ctx->driver->beginScene(true, true, video::SColor(255, 0, 0, 0)); }
    void end() {
        ctx->driver->setRenderTarget(0, false, false);
        ctx->driver->endScene();
    }

    static u32 rgb(const std::vector<u32>& pixels, int x, int y) {
        return pixels.size() == static_cast<size_t>(kSize * kSize) ? pixels[y * kSize + x] & 0xFFFFFF : 0xDEADBEEF;
    }
    static int red(const std::vector<u32>& pixels, int x, int y) { return (rgb(pixels, x, y) >> 16) & 0xFF; }

    // A depth-of-field pass over a white-black edge down the middle at a flat depth of 0.01 of the far
    // value: the pixels beside the edge stay pure when it is sharp and mix when it blurs; far from the
    // edge they stay pure either way.
    void expectEdge(void (*pass)(EngineContext*, LppRenderer*, video::ITexture*, video::ITexture*), bool sharp) {
        ASSERT_TRUE(begin());
        fill(r->depthRTT, kFlatDepthPs);
        fill(r->backRTT[0], kEdgePs);
        pass(ctx, r, r->backRTT[0], r->backRTT[1]);
        end();
        const std::vector<u32> p = qetest::readPixels(r->backRTT[1]);
        const int inner = red(p, 125, 128), outer = red(p, 130, 128);
        if (sharp) {
            EXPECT_EQ(255, inner);
            EXPECT_EQ(0, outer);
        } else {
            EXPECT_GT(inner, 20);
            EXPECT_LT(inner, 235);
            EXPECT_GT(outer, 20);
            EXPECT_LT(outer, 235);
        }
        EXPECT_EQ(255, red(p, 20, 128));
        EXPECT_EQ(0, red(p, 236, 128));
    }

    // Streak settings that seed from the glow mask window (0.97, 1), with the given colour, attenuation
    // and angle, added into the half-size target at intensity 1.
    void setStreaks(float red, float green, float blue, float attenuation, float angle) {
        RenderSettings& rs = ctx->render;
        rs.streakGlowMin = 0.99f;
        rs.streakKeyRed = rs.streakKeyGreen = rs.streakKeyBlue = 1.0f;
        rs.streakKeyMatch = 0.0f;
        rs.streakColorRed = red;
        rs.streakColorGreen = green;
        rs.streakColorBlue = blue;
        rs.streakAttenuation = attenuation;
        rs.streakAngle = angle;
        rs.streakCompose = 1.0f;
    }

    // The streaks of a pattern in the glow's half-size target, drawn alone into a black one.
    std::vector<u32> streaks(const char* pattern) {
        if (!begin()) return {};
        fill(r->halfScreen[2], pattern);
        fill(r->halfScreen[1], kBlackPs);
        qeIrrlichtLppLightStreaks(ctx, r);
        end();
        return qetest::readPixels(r->halfScreen[1]);
    }

    // The glow mask window the streak seed shader was last given.
    void expectLimitAlpha(float low, float high) {
        ShaderObject* shader = r->postShader[LPP_POST_STREAK_MAX_INT];
        for (int i = 0; i < qeIrrShaderGetParamCount(shader); ++i) {
            const ShaderParam* param = qeIrrShaderGetParam(shader, i);
            if (std::string(param->name) != "limitalpha") continue;
            EXPECT_NEAR(low, param->value.f[0], 1e-6f);
            EXPECT_NEAR(high, param->value.f[1], 1e-6f);
            return;
        }
        ADD_FAILURE() << "no limitalpha";
    }

    static qetest::TempDir* files;
    EngineContext* ctx = nullptr;
    LppRenderer* r = nullptr;
    RenderSettings saved;
};

qetest::TempDir* LppPost::files = nullptr;

TEST_F(LppPost, ACameraEffectSeesItsInputInASourcePresetSlotAndItsFlagsAreResetAfter) {
    qeIrrlichtMakeCameraEffectFromFile(1, files->write("preset.hlsl", kPresetEffect).c_str());
    ASSERT_EQ(1, qeIrrlichtCameraEffectExist(1));
    ASSERT_TRUE(begin());
    fill(r->backRTT[0], kRedPs);
    qeIrrlichtLppApplyCameraEffect(ctx, r, 1, r->backRTT[0], r->backRTT[1]);
    end();
    const video::SMaterial& m = r->ppQuad->getMaterial();
    EXPECT_EQ(r->backRTT[0], m.getTexture(0));
    EXPECT_EQ(r->backRTT[0], m.getTexture(1));
    EXPECT_EQ(r->randVecTexture, m.getTexture(2));
    for (u32 i = 0; i < video::MATERIAL_MAX_TEXTURES; ++i) {
        EXPECT_EQ(video::ETC_CLAMP_TO_EDGE, m.TextureLayer[i].TextureWrapU) << i;
        EXPECT_EQ(video::ETC_CLAMP_TO_EDGE, m.TextureLayer[i].TextureWrapV) << i;
        EXPECT_TRUE(m.TextureLayer[i].BilinearFilter) << i;
    }
    EXPECT_EQ(0xFF0000u, qetest::centrePixel(r->backRTT[1]) & 0xFFFFFF);
}

TEST_F(LppPost, TwoCameraEffectsGoThroughTheSecondBackTargetIntoTheFramesResult) {
    // effect 1 copies its input (the red frame), effect 2 turns red into blue
    qeIrrlichtMakeCameraEffectFromFile(1, files->write("copy.hlsl", kPresetEffect).c_str());
    qeIrrlichtMakeCameraEffectFromFile(2, files->write("rotate.hlsl", kRotateEffect).c_str());
    qeIrrlichtShowCameraEffect(1);
    qeIrrlichtShowCameraEffect(2);
    ASSERT_EQ(2, qeIrrlichtGetEnabledCameraEffectCount());
    ctx->render.dofOn = ctx->render.ssaoOn = ctx->render.glowOn = 0;
    qeIrrlichtColorBackdrop(0xFF0000);
    ASSERT_TRUE(qeIrrlichtBeginScene(ctx));
    qeIrrlichtLppBeginPasses(ctx);
    video::ITexture* result = qeIrrlichtLppRenderFrame(ctx, r, 1);
    qeIrrlichtLppEndPasses(ctx);
    qeIrrlichtEndScene(ctx);
    qeIrrlichtColorBackdrop(0);
    EXPECT_EQ(r->backRTT[0], result);
    EXPECT_EQ(0xFF0000u, qetest::centrePixel(r->backRTT[1]) & 0xFFFFFF);
    EXPECT_EQ(0x0000FFu, qetest::centrePixel(r->backRTT[0]) & 0xFFFFFF);
}

// One file name in two folders is two camera effects, each drawing its own program: made from its folder
// by the bare name, shown alone, and made again from a kept shader object once deleted.
TEST_F(LppPost, OneEffectNameInTwoFoldersDrawsEachFoldersOwnProgram) {
    auto colourEffect = [](const char* rgb) {
        return std::string(kEffectHeader) + "//[QIRN_END]\n" + kEffectVs +
               "float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return float4(" + rgb + ", 1); }\n";
    };
    files->mkdir("sa");
    files->mkdir("sb");
    files->write("sa\\fx.hlsl", colourEffect("1, 0, 0"));
    files->write("sb\\fx.hlsl", colourEffect("0, 1, 0"));
    ctx->render.dofOn = ctx->render.ssaoOn = ctx->render.glowOn = 0;
    auto frame = [&]() -> u32 {
        if (!qeIrrlichtBeginScene(ctx)) return 0xDEADBEEF;
        qeIrrlichtLppBeginPasses(ctx);
        video::ITexture* result = qeIrrlichtLppRenderFrame(ctx, r, 1);
        qeIrrlichtLppEndPasses(ctx);
        qeIrrlichtEndScene(ctx);
        return qetest::centrePixel(result) & 0xFFFFFF;
    };
    const std::string saved = qeSysGetDir();
    // The effect made under the id from the folder by the bare name, shown: the frame's colour.
    auto shown = [&](int id, const char* folder) -> u32 {
        qeSysSetDir((files->path() + folder).c_str());
        qeIrrlichtMakeCameraEffectFromFile(id, "fx.hlsl");
        qeIrrlichtShowCameraEffect(id);
        return qeIrrlichtCameraEffectExist(id) ? frame() : 0xDEADBEEF;
    };
    EXPECT_EQ(0xFF0000u, shown(1, "sa"));
    qeIrrlichtHideCameraEffect(1);
    EXPECT_EQ(0x00FF00u, shown(2, "sb"));

    // both deleted (their shader objects are kept with their materials), then made again the other way round
    qeIrrlichtDeleteCameraEffect(1);
    qeIrrlichtDeleteCameraEffect(2);
    EXPECT_EQ(0x00FF00u, shown(1, "sb"));
    qeIrrlichtDeleteCameraEffect(1);
    EXPECT_EQ(0xFF0000u, shown(2, "sa"));
    qeSysSetDir(saved.c_str());
}

TEST_F(LppPost, GlowBrightensTheSurroundingsOfTheMaskedSquareEvenlyAndNothingFarAway) {
    ctx->render.glowIntensity = 1.0f;
    ctx->render.glowRadius = 20.0f;
    ctx->render.streakOn = 0;
    ASSERT_TRUE(begin());
    fill(r->backRTT[0], kSquarePs);
    qeIrrlichtLppGlowCapture(ctx, r, r->backRTT[0]);
    qeIrrlichtLppGlowBlur(ctx, r, r->backRTT[0]);
    qeIrrlichtLppGlowCompose(ctx, r, r->backRTT[0]);
    end();
    const std::vector<u32> p = qetest::readPixels(r->backRTT[0]);
    // the square spans 103..153 (the pattern's uv has no half-pixel shift); its glow reaches beyond alike
    EXPECT_EQ(0xFFFFFFu, rgb(p, 128, 128));
    const int left = red(p, 96, 128), right = red(p, 160, 128), above = red(p, 128, 96);
    EXPECT_GT(left, 8);
    EXPECT_NEAR(left, right, 12);
    EXPECT_NEAR(left, above, 12);
    EXPECT_GT(red(p, 100, 128), red(p, 90, 128));
    EXPECT_EQ(0u, rgb(p, 10, 10));
    EXPECT_EQ(0u, rgb(p, 240, 128));
}

TEST_F(LppPost, AStreakAtAngleZeroSpreadsTheMaskedSquareHorizontallyOnly) {
    setStreaks(1.0f, 1.0f, 1.0f, 1.0f, 0.0f);
    std::vector<u32> p;
    auto at = [&p](int x, int y) { return (p[y * 128 + x] >> 16) & 0xFF; };
    p = streaks(kSquarePs);
    ASSERT_EQ(128u * 128u, p.size());
    // the square spans 52..76 of the half-size target
    EXPECT_GT(at(44, 64), 30u);
    EXPECT_GT(at(84, 64), 30u);
    EXPECT_EQ(0u, at(64, 44));
    EXPECT_EQ(0u, at(64, 84));
    expectLimitAlpha(0.97f, 1.0f);

    // a window of (0, 0.03) leaves the square's mask of 1 out: no streak
    ctx->render.streakGlowMin = 0.01f;
    p = streaks(kSquarePs);
    ASSERT_EQ(128u * 128u, p.size());
    EXPECT_EQ(0u, at(44, 64));
    EXPECT_EQ(0u, at(64, 64));
    expectLimitAlpha(0.0f, 0.03f);
}

// The two arms of a streak from a square in the middle: the passes of one direction and then the other
// must add up to the same length and brightness both ways, per channel, whatever the angle. With a
// strong attenuation the arms end inside the target; with the weakest they run off its edges.
TEST_F(LppPost, AStreaksTwoArmsMatchInLengthAndBrightnessAtEveryAngle) {
    for (float attenuation : {3.0f, 1.0f})
        for (float angle : {0.0f, 30.0f, 90.0f, 135.0f}) {
            setStreaks(0.65f, 0.5f, 0.35f, attenuation, angle);
            const std::vector<u32> p = streaks(kSmallSquarePs);
            ASSERT_EQ(128u * 128u, p.size());
            // mirrored pixels about the square's centre (64, 64) along the direction
            const float dx = std::cos(angle * 0.017453292f), dy = std::sin(angle * 0.017453292f);
            for (int shift : {16, 8}) {
                int length[2] = {0, 0}, sum[2] = {0, 0};
                std::string profile[2];
                for (int t = 0; t < 90; ++t) {
                    const int ox = static_cast<int>(std::floor(t * dx)), oy = static_cast<int>(std::floor(t * dy));
                    const int x[2] = {64 + ox, 63 - ox}, y[2] = {64 + oy, 63 - oy};
                    if (std::min({x[0], x[1], y[0], y[1]}) < 0 || std::max({x[0], x[1], y[0], y[1]}) > 127) break;
                    for (int arm = 0; arm < 2; ++arm) {
                        const int v = (p[y[arm] * 128 + x[arm]] >> shift) & 0xFF;
                        if (v > 16) length[arm] = t;
                        sum[arm] += v;
                        profile[arm] += " " + std::to_string(v);
                    }
                }
                const std::string where = "attenuation " + std::to_string(attenuation) + " angle " +
                                          std::to_string(angle) + " shift " + std::to_string(shift) +
                                          "\n+" + profile[0] + "\n-" + profile[1];
                EXPECT_GT(length[0], 12) << where;
                EXPECT_NEAR(length[0], length[1], 3) << where;
                EXPECT_NEAR(sum[0], sum[1], 0.04 * sum[0] + 20) << where;
            }
        }
}

TEST_F(LppPost, DepthOfFieldKeepsAnEdgeSharpAtTheFocalDepthAndBlursItFarFromIt) {
    const f32 depth = 0.01f * ctx->camera->getFarValue();
    ctx->render.dofFStop = 1.0f;
    for (f32 focal : {depth, depth + 1000.0f}) {
        ctx->render.dofFocalDistance = focal;
        expectEdge(qeIrrlichtLppDof, focal == depth);
    }
}

TEST_F(LppPost, AdvancedDepthOfFieldKeepsAnEdgeSharpInsideTheFocalRangeAndBlursItInFrontAndBehind) {
    const f32 depth = 0.01f * ctx->camera->getFarValue();
    ctx->render.advancedDofRadiusScale = 8.0f;
    const f32 ranges[3][2] = {{0.5f, 2.0f}, {2.0f, 3.0f}, {0.1f, 0.5f}};
    for (const f32* range : ranges) {
        ctx->render.advancedDofMinFocus = range[0] * depth;
        ctx->render.advancedDofMaxFocus = range[1] * depth;
        expectEdge(qeIrrlichtLppDofAdvanced, range == ranges[0]);
    }
}

TEST_F(LppPost, AmbientOcclusionLeavesAFlatDepthOpenAndDarkensBesideADepthStep) {
    ctx->render.ssaoReach = 0.005f;
    ctx->render.ssaoMaxDepthDecline = 0.2f;
    ctx->render.ssaoDepthEpsilon = 0.0002f;
    ctx->render.ssaoMultiplier = 1.5f;
    int flat = 0, beside = 0;
    for (const char* depth : {kFlatDepthPs, kDepthStepPs}) {
        ASSERT_TRUE(begin());
        fill(r->depthRTT, depth);
        fill(r->backRTT[0], kWhitePs);
        qeIrrlichtLppSSAO(ctx, r, r->backRTT[1]);
        end();
        const std::vector<u32> p = qetest::readPixels(r->backRTT[1]);
        if (depth == kFlatDepthPs) {
            flat = red(p, 128, 128);
            EXPECT_GT(flat, 230);
            EXPECT_GT(red(p, 20, 200), 230);
        } else {
            beside = std::min(red(p, 126, 128), red(p, 130, 128));
            EXPECT_GT(red(p, 20, 128), 230);
            EXPECT_GT(red(p, 236, 128), 230);
        }
    }
    EXPECT_LT(beside, flat - 20);
    EXPECT_EQ(video::ETC_CLAMP_TO_EDGE, r->ppQuad->getMaterial().TextureLayer[1].TextureWrapU);
}

TEST_F(LppPost, AntiAliasingWorksOnTheBackTargetsAndTheBackBufferOnly) {
    video::ITexture* t[3];
    ASSERT_TRUE(qeIrrlichtLppMlaaTargets(r, nullptr, t));
    EXPECT_EQ(r->backRTT[2], t[0]);
    EXPECT_EQ(r->backRTT[0], t[1]);
    ASSERT_TRUE(qeIrrlichtLppMlaaTargets(r, r->backRTT[1], t));
    EXPECT_EQ(r->backRTT[1], t[0]);
    EXPECT_EQ(r->backRTT[0], t[2]);
    EXPECT_FALSE(qeIrrlichtLppMlaaTargets(r, r->halfScreen[0], t));
}

// Anti-aliasing needs the stencil buffer: the engine is started again with the antialias switch on.
TEST_F(LppPost, AntiAliasingSoftensAHardDiagonalEdgeAndLeavesFlatAreasAlone) {
    qeIrrlichtTerm();
    ASSERT_EQ(0, qetest::startEngine(QIRN_OUTPUT_DIR, kSize, kSize, 1, 1)) << qeSysGetStartupError();
    ctx = qeIrrlichtGetContext();
    r = qeIrrlichtGetRenderer();
    ASSERT_NE(nullptr, r);
    for (video::ITexture* target : {r->backRTT[0], static_cast<video::ITexture*>(nullptr)}) {
        ASSERT_TRUE(begin());
        fill(target, kDiagonalPs);
        doMLAA(ctx, r, target);
        if (!target) ctx->driver->copyBackBufferToTexture(r->backRTT[1], false);
        end();
        const std::vector<u32> p = qetest::readPixels(target ? target : r->backRTT[1]);
        int soft = 0;
        for (int x = 16; x < 240; ++x)
            for (int y = 0; y < kSize; ++y) {
                const int v = red(p, x, y);
                if (v > 10 && v < 245) ++soft;
            }
        EXPECT_GT(soft, 60) << (target ? "texture" : "back buffer");
        EXPECT_EQ(0xFFFFFFu, rgb(p, 200, 20));
        EXPECT_EQ(0u, rgb(p, 40, 220));
    }

    // any other target: the message, and neither it nor the back targets are drawn into
    ASSERT_TRUE(begin());
    fill(r->backRTT[0], kRedPs);
    fill(r->backRTT[1], kRedPs);
    fill(r->backRTT[2], kDiagonalPs);
    testing::internal::CaptureStdout();
    doMLAA(ctx, r, r->backRTT[2]);
    EXPECT_EQ("doMLAA: unsupported dest render tex\n", testing::internal::GetCapturedStdout());
    end();
    for (int i = 0; i < 2; ++i) {
        const std::vector<u32> p = qetest::readPixels(r->backRTT[i]);
        EXPECT_EQ(0xFF0000u, rgb(p, 128, 128)) << i;
        EXPECT_EQ(0xFF0000u, rgb(p, 64, 96)) << i;
    }
    const std::vector<u32> p = qetest::readPixels(r->backRTT[2]);
    int soft = 0;
    for (int y = 0; y < kSize; ++y) soft += red(p, 128, y) > 10 && red(p, 128, y) < 245;
    EXPECT_EQ(0, soft);
}

}  // namespace
