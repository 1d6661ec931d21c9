// The light pre-pass renderer on the device (256 x 256): creation and destruction of its resources, the
// generated random textures, and frames read back from the main target: a plane lit by each light type
// (as a volume and as a full-screen quad), shadows of a spot and a directional light, the glow mask,
// glow in the back buffer, the routing of ambient occlusion, depth of field and a camera effect,
// transparent surfaces (the uber shader) under a turned camera, and an engine stopped after a frame that
// ended on a render target.
#include <d3d9.h>
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "camera_effects.h"
#include "device_check.h"
#include "engine.h"
#include "engine_context.h"
#include "file_fixtures.h"
#include "frame.h"
#include "lights.h"
#include "lpp.h"
#include "lpp_internal.h"
#include "object_surfaces.h"
#include "objects.h"
#include "shader_engine.h"
#include "shader_object.h"
#include "shell_fixtures.h"
#include "sys.h"
#include "sysfile.h"

using namespace irr;

namespace {

const int kSize = 256;

// A square of half-size s at z = 0 facing -z (towards a camera at the origin looking along +z).
void cacheQuad(const char* file, f32 s) {
    EngineContext* ctx = qeIrrlichtGetContext();
    const io::path name = ctx->device->getFileSystem()->getAbsolutePath(file);
    if (ctx->smgr->getMeshCache()->getMeshByName(name)) return;
    scene::SMeshBuffer* mb = new scene::SMeshBuffer();
    const f32 corners[4][2] = {{-s, -s}, {-s, s}, {s, s}, {s, -s}};
    for (const auto& c : corners)
        mb->Vertices.push_back(video::S3DVertex(c[0], c[1], 0.0f, 0.0f, 0.0f, -1.0f, video::SColor(255, 255, 255, 255),
                                                c[0] > 0 ? 1.0f : 0.0f, c[1] > 0 ? 0.0f : 1.0f));
    for (u16 i : {0, 1, 2, 0, 2, 3}) mb->Indices.push_back(i);
    mb->recalculateBoundingBox();
    scene::SMesh* mesh = new scene::SMesh();
    mesh->addMeshBuffer(mb);
    mesh->recalculateBoundingBox();
    mb->drop();
    scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh);
    animated->recalculateBoundingBox();
    ctx->smgr->getMeshCache()->addMesh(name, animated);
    animated->drop();
    mesh->drop();
}

// A white, fully diffuse, double-sided surface with the given glow.
ObjectSurfaceRecord whiteSurface(f32 glow = 0.0f) {
    ObjectSurfaceRecord r;
    std::memset(&r, 0, sizeof(r));
    r.name = "white";
    for (int c = 0; c < QE_SURF_SLOTS; ++c) r.channels[c].type = 1;
    for (int c : {QE_SURF_REFLECTIONOPTIONS, QE_SURF_SIDEDNESS, QE_SURF_RENDEROUTLINES}) r.channels[c].type = 2;
    r.channels[QE_SURF_BASECOLOR].type = 0;
    for (f32& v : r.channels[QE_SURF_BASECOLOR].value.f) v = 1.0f;
    r.channels[QE_SURF_DIFFUSE].value.f[0] = 1.0f;
    r.channels[QE_SURF_GLOWVALUE].value.f[0] = glow;
    r.channels[QE_SURF_SIDEDNESS].value.i[0] = 3;
    return r;
}

void makeQuadObject(int id, f32 halfSize, f32 x, f32 z, const ObjectSurfaceRecord* surface) {
    const std::string name = "lpp-quad-" + std::to_string(static_cast<int>(halfSize * 100)) + ".x";
    cacheQuad(name.c_str(), halfSize);
    qeIrrlichtLoadObject(name.c_str(), id);
    qeIrrlichtPositionObject(id, x, 0.0f, z);
    if (surface) qeIrrlichtObjSetSurfaces(id, 1, surface, 1);
}

class LppDevice : public testing::Test {
protected:
    static void SetUpTestSuite() { start(false); }
    static void TearDownTestSuite() { qeIrrlichtTerm(); }

    static void start(bool antialias) {
        ASSERT_EQ(0, qetest::startEngine(QIRN_OUTPUT_DIR, kSize, kSize, 1, antialias ? 1 : 0))
            << qeSysGetStartupError();
    }

    void SetUp() override {
        EngineContext* ctx = qeIrrlichtGetContext();
        ctx->camera->setPosition(core::vector3df(0, 0, 0));
        ctx->camera->setTarget(core::vector3df(0, 0, 100));
        ctx->camera->updateAbsolutePosition();
    }

    void TearDown() override {
        for (int id = 1; id <= 3; ++id) {
            qeIrrlichtDeleteObject(id);
            qeIrrlichtDeleteLight(id);
        }
    }

    // One frame into the main target: its pixels.
    static std::vector<u32> frame() {
        EngineContext* ctx = qeIrrlichtGetContext();
        LppRenderer* r = qeIrrlichtGetRenderer();
        if (!r || !qeIrrlichtBeginScene(ctx)) return {};
        qeIrrlichtLppBeginPasses(ctx);
        video::ITexture* result = qeIrrlichtLppRenderFrame(ctx, r, 1);
        qeIrrlichtLppEndPasses(ctx);
        qeIrrlichtEndScene(ctx);
        if (result != r->backRTT[0]) return {};
        return qetest::readPixels(result);
    }

    // One frame drawn into the back buffer, copied into backRTT[1]: false when it went elsewhere.
    static bool backBufferFrame() {
        EngineContext* ctx = qeIrrlichtGetContext();
        LppRenderer* r = qeIrrlichtGetRenderer();
        if (!r || !qeIrrlichtBeginScene(ctx)) return false;
        qeIrrlichtLppBeginPasses(ctx);
        const bool toBackBuffer = qeIrrlichtLppRenderFrame(ctx, r, 0) == nullptr;
        const bool copied = ctx->driver->copyBackBufferToTexture(r->backRTT[1], false);
        qeIrrlichtLppEndPasses(ctx);
        qeIrrlichtEndScene(ctx);
        return toBackBuffer && copied;
    }

    static u32 at(const std::vector<u32>& pixels, int x, int y) {
        return pixels.size() == static_cast<size_t>(kSize * kSize) ? pixels[y * kSize + x] & 0xFFFFFF : 0xDEADBEEF;
    }

    // The plane 10 units in front of the camera, covering the view.
    static void plane(f32 glow = 0.0f) {
        const ObjectSurfaceRecord white = whiteSurface(glow);
        makeQuadObject(1, 10.0f, 0.0f, 10.0f, &white);
    }

    static void light(int id, video::E_LIGHT_TYPE type, f32 x, f32 z, f32 range, u32 colour) {
        qeIrrlichtMakeLight(id);
        if (type == video::ELT_DIRECTIONAL) qeIrrlichtSetDirectionalLight(id, 0, 0, 0);
        else qeIrrlichtSetPointLight(id, x, 0, z);
        if (type == video::ELT_SPOT) qeIrrlichtSetSpotLight(id, 30.0f, 40.0f);
        qeIrrlichtPositionLight(id, x, 0, z);
        qeIrrlichtSetLightRange(id, range);
        qeIrrlichtColorLight(id, colour);
    }

    static u32 scaled(u32 rgb, f32 k) {
        auto c = [&](int shift) { return static_cast<u32>(((rgb >> shift) & 0xFF) * k + 0.5f) << shift; };
        return c(16) | c(8) | c(0);
    }
};

TEST_F(LppDevice, CreationMakesEveryTargetAndDestructionLeavesNothing) {
    EngineContext* ctx = qeIrrlichtGetContext();
    LppRenderer* r = qeIrrlichtGetRenderer();
    ASSERT_NE(nullptr, r);
    struct { video::ITexture* t; u32 w, h; video::ECOLOR_FORMAT f; } expected[] = {
        {r->depthRTT, 256, 256, video::ECF_R32F},          {r->normalRTT, 256, 256, video::ECF_A8R8G8B8},
        {r->lightRTT, 256, 256, video::ECF_A8R8G8B8},       {r->backRTT[0], 256, 256, video::ECF_A8R8G8B8},
        {r->backRTT[1], 256, 256, video::ECF_A8R8G8B8},     {r->halfScreen[2], 128, 128, video::ECF_A8R8G8B8},
        {r->quarterScreen[1], 64, 64, video::ECF_A8R8G8B8}, {r->shadowTexture, 1024, 1024, video::ECF_R32F},
        {r->randVecTexture, 512, 512, video::ECF_A8R8G8B8}, {r->randRotTexture, 64, 64, video::ECF_A8R8G8B8}};
    for (const auto& e : expected) {
        ASSERT_NE(nullptr, e.t);
        EXPECT_EQ(core::dimension2du(e.w, e.h), e.t->getSize()) << e.t->getName().getPath().c_str();
        EXPECT_EQ(e.f, e.t->getColorFormat()) << e.t->getName().getPath().c_str();
    }
    EXPECT_EQ(nullptr, r->backRTT[2]);  // antialias off
    EXPECT_EQ(nullptr, r->mlaaAreaMapTexture);
    EXPECT_NE(nullptr, r->bestFitNormalsTexture);
    EXPECT_NE(nullptr, r->lightPassShader[0]);
    EXPECT_EQ(nullptr, r->lightPassShader[7]);  // point lights cast no shadows
    for (ShaderObject* post : r->postShader) EXPECT_NE(nullptr, post);

    // Again with the 3D Vision rows off; destroying it leaves the texture cache as it was, and the
    // texture-creation flags too.
    video::IVideoDriver* driver = ctx->driver;
    qeIrrlichtRendererDestroy(ctx);
    const u32 textures = driver->getTextureCount();
    const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
    LppRenderer* stereo = qeIrrlichtLppCreate(ctx, true);
    ASSERT_NE(nullptr, stereo);
    EXPECT_EQ(core::dimension2du(256, 254), stereo->depthRTT->getSize());
    EXPECT_EQ(core::dimension2du(128, 127), stereo->halfScreen[0]->getSize());
    EXPECT_EQ(mipMaps, driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS));
    qeIrrlichtLppDestroy(ctx, stereo);
    EXPECT_EQ(textures, driver->getTextureCount());
    // with the anti-aliasing switch: the third back target and the area table
    ctx->antialias = 1;
    LppRenderer* antialiased = qeIrrlichtLppCreate(ctx, false);
    ctx->antialias = 0;
    ASSERT_NE(nullptr, antialiased);
    ASSERT_NE(nullptr, antialiased->backRTT[2]);
    EXPECT_EQ(core::dimension2du(256, 256), antialiased->backRTT[2]->getSize());
    ASSERT_NE(nullptr, antialiased->mlaaAreaMapTexture);
    EXPECT_EQ(core::dimension2du(165, 165), antialiased->mlaaAreaMapTexture->getSize());
    qeIrrlichtLppDestroy(ctx, antialiased);
    EXPECT_EQ(textures, driver->getTextureCount());

    // A 16-bit context refuses before anything exists.
    qetest::BoxRecorder recorder;
    ctx->bits = 16;
    EXPECT_EQ(nullptr, qeIrrlichtLppCreate(ctx, false));
    ctx->bits = 32;
    ASSERT_EQ(1u, recorder.boxes().size());
    EXPECT_EQ("LightPrePass only for 32bpp", qetest::BoxRecorder::text(0));
    EXPECT_EQ(textures, driver->getTextureCount());
    ASSERT_EQ(0, qeIrrlichtRendererCreate(ctx, true, 0));
}

TEST_F(LppDevice, AMissingShaderFileGivesItsMessageAndLeavesNothing) {
    EngineContext* ctx = qeIrrlichtGetContext();
    qetest::TempDir dir("lpp-missing");
    // every data file but one, in a folder of their own
    const std::string out = QIRN_OUTPUT_DIR;
    dir.mkdir("shaders");
    dir.mkdir("textures");
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((out + "shaders/*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && std::strcmp(found.cFileName, "ssaoCombine.hlsl") != 0)
            CopyFileA((out + "shaders/" + found.cFileName).c_str(), (dir.path() + "shaders\\" + found.cFileName).c_str(), FALSE);
    } while (FindNextFileA(h, &found));
    FindClose(h);
    CopyFileA((out + "textures/NormalsFittingTexture.png").c_str(),
              (dir.path() + "textures\\NormalsFittingTexture.png").c_str(), FALSE);
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    SetCurrentDirectoryA(dir.path().c_str());
    qeSysSetBaseDir(dir.path().c_str());

    const u32 textures = ctx->driver->getTextureCount();
    qetest::BoxRecorder recorder;
    EXPECT_EQ(nullptr, qeIrrlichtLppCreate(ctx, false));
    SetCurrentDirectoryA(cwd);
    qeSysSetBaseDir(QIRN_OUTPUT_DIR);
    ASSERT_FALSE(recorder.boxes().empty());
    EXPECT_EQ("failed to create shader ssaoCombine.hlsl", qetest::BoxRecorder::text(recorder.boxes().size() - 1));
    EXPECT_EQ(textures, ctx->driver->getTextureCount());
}

TEST_F(LppDevice, RandomTexturesHoldVectorsInTheUnitSphereAndUnitRotations) {
    LppRenderer* r = qeIrrlichtGetRenderer();
    ASSERT_NE(nullptr, r);
    const u32* vec = static_cast<const u32*>(r->randVecTexture->lock(video::ETLM_READ_ONLY));
    ASSERT_NE(nullptr, vec);
    const u32 pitch = r->randVecTexture->getPitch() / 4;
    for (u32 y = 0; y < 512; y += 7)
        for (u32 x = 0; x < 512; x += 5) {
            const video::SColor c(vec[y * pitch + x]);
            const f32 v[3] = {c.getRed() / 255.0f, c.getGreen() / 255.0f, c.getBlue() / 255.0f};
            ASSERT_LE(v[0] * v[0] + v[1] * v[1] + v[2] * v[2], 1.0f) << x << "," << y;
        }
    r->randVecTexture->unlock();
    const u32* rot = static_cast<const u32*>(r->randRotTexture->lock(video::ETLM_READ_ONLY));
    ASSERT_NE(nullptr, rot);
    const u32 rotPitch = r->randRotTexture->getPitch() / 4;
    for (u32 y = 0; y < 64; ++y)
        for (u32 x = 0; x < 64; ++x) {
            const video::SColor c(rot[y * rotPitch + x]);
            const f32 cs = (c.getRed() / 255.0f - 0.5f) * 2.0f, sn = (c.getGreen() / 255.0f - 0.5f) * 2.0f;
            ASSERT_NEAR(1.0f, std::sqrt(cs * cs + sn * sn), 0.02f) << x << "," << y;
        }
    r->randRotTexture->unlock();
}

TEST_F(LppDevice, APointLightLightsThePlaneWithinItsRadiusAsVolumeOrQuad) {
    plane();
    light(2, video::ELT_POINT, 0.0f, 8.0f, 5.0f, 0xFF8040);
    // the camera 7.9 units away: the sphere volume; centre 2 units from the light
    std::vector<u32> pixels = frame();
    EXPECT_TRUE(qeColourNear(scaled(0xFF8040, 1.0f - 4.0f / 25.0f), at(pixels, 128, 128), 3)) << std::hex << at(pixels, 128, 128);
    EXPECT_EQ(0u, at(pixels, 250, 128)) << std::hex << at(pixels, 250, 128);
    // a larger radius puts the camera inside: the full-screen quad gives the same light
    qeIrrlichtSetLightRange(2, 9.0f);
    pixels = frame();
    EXPECT_TRUE(qeColourNear(scaled(0xFF8040, 1.0f - 4.0f / 81.0f), at(pixels, 128, 128), 3)) << std::hex << at(pixels, 128, 128);
    // a range of 0 reaches nothing, and leaves no infinite inverse radius among the light pass's values
    qeIrrlichtSetLightRange(2, 0.0f);
    pixels = frame();
    EXPECT_EQ(0u, at(pixels, 128, 128)) << std::hex << at(pixels, 128, 128);
    ShaderObject* pass = qeIrrlichtGetRenderer()->lightPassShader[6];
    for (int i = 0; i < qeIrrShaderGetParamCount(pass); ++i) {
        const ShaderParam* p = qeIrrShaderGetParam(pass, i);
        if (p->bound || p->type == QE_SHADER_TYPE_FLOATNREF) continue;
        for (int c = 0; c < p->components; ++c) EXPECT_TRUE(std::isfinite(p->value.f[c])) << p->name << "[" << c << "]";
    }
}

TEST_F(LppDevice, DirectionalAndSpotLightsLightInsideAndNotOutside) {
    plane();
    light(2, video::ELT_DIRECTIONAL, 0.0f, 0.0f, 100.0f, 0x4080C0);
    std::vector<u32> pixels = frame();
    EXPECT_TRUE(qeColourNear(0x4080C0, at(pixels, 128, 128), 2)) << std::hex << at(pixels, 128, 128);
    EXPECT_TRUE(qeColourNear(0x4080C0, at(pixels, 10, 240), 2)) << std::hex << at(pixels, 10, 240);
    qeIrrlichtDeleteLight(2);

    // a spot 5 units from the plane, the camera inside its cone: the quad
    light(2, video::ELT_SPOT, 0.0f, 5.0f, 20.0f, 0xFFFFFF);
    pixels = frame();
    EXPECT_TRUE(qeColourNear(scaled(0xFFFFFF, 1.0f - 25.0f / 400.0f), at(pixels, 128, 128), 3)) << std::hex << at(pixels, 128, 128);
    EXPECT_EQ(0u, at(pixels, 240, 128)) << std::hex << at(pixels, 240, 128);
    // one unit from the plane with a short range: the cone volume
    qeIrrlichtPositionLight(2, 0.0f, 0.0f, 9.0f);
    qeIrrlichtSetLightRange(2, 3.0f);
    pixels = frame();
    EXPECT_TRUE(qeColourNear(scaled(0xFFFFFF, 1.0f - 1.0f / 9.0f), at(pixels, 128, 128), 3)) << std::hex << at(pixels, 128, 128);
    EXPECT_EQ(0u, at(pixels, 180, 128)) << std::hex << at(pixels, 180, 128);
}

TEST_F(LppDevice, AnOccluderShadowsThePlaneFromASpotAndADirectionalLight) {
    plane();
    // a one-unit square 2.5 units in front of the plane, right of the view's centre
    makeQuadObject(3, 0.5f, 3.0f, 7.5f, nullptr);
    qeIrrlichtSetShadowShadingOn(3);
    light(2, video::ELT_SPOT, 3.0f, 5.0f, 20.0f, 0xFFFFFF);
    qeIrrlichtSetLightShadow(2, 1);
    qeIrrlichtColorLightShadow(2, 0x000000);
    // plane point x = 2.6 (pixel 174): behind the occluder as the spot sees it, beside it as the camera does
    std::vector<u32> pixels = frame();
    EXPECT_EQ(0u, at(pixels, 174, 128)) << std::hex << at(pixels, 174, 128);
    EXPECT_NE(0u, at(pixels, 174, 92)) << std::hex << at(pixels, 174, 92);  // lit above the shadow
    qeIrrlichtSetLightShadow(2, 0);
    pixels = frame();
    EXPECT_TRUE(qeColourNear(0xEFEFEF, at(pixels, 174, 128), 8)) << std::hex << at(pixels, 174, 128);
    qeIrrlichtDeleteLight(2);

    // a directional light along +z: the shadow falls straight behind the occluder (x 2.5 to 3.5)
    light(2, video::ELT_DIRECTIONAL, 3.0f, 5.0f, 100.0f, 0xFFFFFF);
    qeIrrlichtSetLightShadow(2, 1);
    qeIrrlichtColorLightShadow(2, 0x202020);
    pixels = frame();
    EXPECT_TRUE(qeColourNear(0x202020, at(pixels, 180, 128), 2)) << std::hex << at(pixels, 180, 128);
    EXPECT_TRUE(qeColourNear(0xFFFFFF, at(pixels, 160, 128), 2)) << std::hex << at(pixels, 160, 128);
}

TEST_F(LppDevice, TheFinalPassReadsEachTextureFromItsLayer) {
    // one solid texture per channel: colour, then grey levels for luminosity, diffuse and specular
    video::IVideoDriver* driver = qeIrrlichtGetContext()->driver;
    struct { const char* name; video::SColor colour; int channel; } textures[] = {
        {"lpp-colour.png", video::SColor(255, 200, 100, 40), QE_SURF_BASECOLOR},
        {"lpp-luminosity.png", video::SColor(255, 64, 64, 64), QE_SURF_LUMINOSITY},
        {"lpp-diffuse.png", video::SColor(255, 128, 128, 128), QE_SURF_DIFFUSE},
        {"lpp-specular.png", video::SColor(255, 32, 32, 32), QE_SURF_SPECULARITY}};
    ObjectSurfaceRecord r = whiteSurface();
    for (const auto& t : textures) {
        if (!driver->findTexture(t.name)) {
            video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
            image->fill(t.colour);
            driver->addTexture(t.name, image);
            image->drop();
        }
        r.channels[t.channel].texImage = t.name;
    }
    r.channels[QE_SURF_LUMINOSITY].value.f[0] = 1.0f;
    r.channels[QE_SURF_SPECULARITY].value.f[0] = 1.0f;
    makeQuadObject(1, 10.0f, 0.0f, 10.0f, &r);
    light(2, video::ELT_DIRECTIONAL, 0.0f, 0.0f, 100.0f, 0xFFFFFF);
    // colour x (diffuse light 1 x 0.5 + luminosity 0.25) + specular light 1 x 0.125
    const std::vector<u32> pixels = frame();
    auto expected = [](f32 c) { return static_cast<u32>((c / 255.0f * (128.0f + 64.0f) / 255.0f + 32.0f / 255.0f) * 255.0f + 0.5f); };
    const u32 want = expected(200) << 16 | expected(100) << 8 | expected(40);
    EXPECT_TRUE(qeColourNear(want, at(pixels, 128, 128), 3)) << std::hex << want << " " << at(pixels, 128, 128);
    qeIrrlichtDeleteObject(1);

    // the colour texture follows the mesh's uv: its left half white, its right half black
    if (!driver->findTexture("lpp-halves.png")) {
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
        for (u32 y = 0; y < 4; ++y)
            for (u32 x = 0; x < 4; ++x) image->setPixel(x, y, x < 2 ? video::SColor(255, 255, 255, 255) : video::SColor(255, 0, 0, 0));
        driver->addTexture("lpp-halves.png", image);
        image->drop();
    }
    ObjectSurfaceRecord halves = whiteSurface();
    halves.channels[QE_SURF_BASECOLOR].texImage = "lpp-halves.png";
    makeQuadObject(1, 10.0f, 0.0f, 10.0f, &halves);
    const std::vector<u32> split = frame();
    EXPECT_TRUE(qeColourNear(0xFFFFFF, at(split, 64, 128), 3)) << std::hex << at(split, 64, 128);
    EXPECT_TRUE(qeColourNear(0x000000, at(split, 192, 128), 3)) << std::hex << at(split, 192, 128);
}

TEST_F(LppDevice, WithoutPostEffectsTheFrameGoesToTheBackBuffer) {
    EngineContext* ctx = qeIrrlichtGetContext();
    LppRenderer* r = qeIrrlichtGetRenderer();
    plane();
    light(2, video::ELT_DIRECTIONAL, 0.0f, 0.0f, 100.0f, 0x4080C0);
    // the back buffer holds the lit plane
    ASSERT_TRUE(backBufferFrame());
    EXPECT_TRUE(qeColourNear(0x4080C0, qetest::pixelAt(r->backRTT[1], 128, 128) & 0xFFFFFF, 2))
        << std::hex << qetest::pixelAt(r->backRTT[1], 128, 128);
    // SSAO alone: the final pass goes to backRTT[0] and SSAO writes the back buffer
    ctx->render.ssaoOn = 1;
    ASSERT_TRUE(qeIrrlichtBeginScene(ctx));
    qeIrrlichtLppBeginPasses(ctx);
    EXPECT_EQ(nullptr, qeIrrlichtLppRenderFrame(ctx, r, 0));
    qeIrrlichtLppEndPasses(ctx);
    qeIrrlichtEndScene(ctx);
    ctx->render.ssaoOn = 0;
    EXPECT_TRUE(qeColourNear(0x4080C0, qetest::pixelAt(r->backRTT[0], 128, 128) & 0xFFFFFF, 2))
        << std::hex << qetest::pixelAt(r->backRTT[0], 128, 128);
}

TEST_F(LppDevice, AGlowingSurfaceLeavesItsGlowInTheMainTargetsAlpha) {
    EngineContext* ctx = qeIrrlichtGetContext();
    plane(0.5f);
    light(2, video::ELT_DIRECTIONAL, 0.0f, 0.0f, 100.0f, 0xFFFFFF);
    ctx->render.glowOn = 1;
    ctx->render.glowIntensity = 1.0f;
    LppRenderer* r = qeIrrlichtGetRenderer();
    frame();
    const u32 pixel = qetest::pixelAt(r->backRTT[0], 128, 128);
    ctx->render.glowOn = 0;
    EXPECT_NEAR(127, static_cast<int>(pixel >> 24), 2) << std::hex << pixel;
}

// A glowing square at 5 units in front of the plane (it spans about 93..163 of the frame), both lit white.
void glowingSquareScene() {
    const ObjectSurfaceRecord white = whiteSurface(), glowing = whiteSurface(1.0f);
    makeQuadObject(1, 10.0f, 0.0f, 10.0f, &white);
    makeQuadObject(2, 1.0f, 0.0f, 5.0f, &glowing);
}

TEST_F(LppDevice, GlowInTheBackBufferBrightensOnlyTheGlowingSurfacesSurroundings) {
    EngineContext* ctx = qeIrrlichtGetContext();
    glowingSquareScene();
    light(3, video::ELT_DIRECTIONAL, 0.0f, 0.0f, 100.0f, 0x606060);
    ctx->render.glowIntensity = 1.0f;
    ctx->render.glowRadius = 20.0f;
    std::vector<u32> off, on;
    for (int glow : {0, 1}) {
        ctx->render.glowOn = glow;
        ASSERT_TRUE(backBufferFrame());
        (glow ? on : off) = qetest::readPixels(qeIrrlichtGetRenderer()->backRTT[1]);
    }
    ctx->render.glowOn = 0;
    auto green = [](const std::vector<u32>& p, int x, int y) { return static_cast<int>((p[y * kSize + x] >> 8) & 0xFF); };
    ASSERT_EQ(static_cast<size_t>(kSize * kSize), on.size());
    ASSERT_EQ(on.size(), off.size());
    EXPECT_GT(green(on, 86, 128), green(off, 86, 128) + 10);
    EXPECT_GT(green(on, 170, 128), green(off, 170, 128) + 10);
    EXPECT_NEAR(green(off, 10, 10), green(on, 10, 10), 2);
    EXPECT_NEAR(green(off, 245, 128), green(on, 245, 128), 2);
}

TEST_F(LppDevice, AmbientOcclusionAndAnIdentityCameraEffectLeaveTheDepthOfFieldResult) {
    EngineContext* ctx = qeIrrlichtGetContext();
    LppRenderer* r = qeIrrlichtGetRenderer();
    qetest::TempDir dir("lpp-identity");
    const std::string effect = dir.write(
        "identity.hlsl",
        "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
        "//float2 HalfPixelSize : HalfPixelSize : vertex\n//[QIRN_END]\n"
        "float2 HalfPixelSize;\nsampler2D Source : register(s0);\n"
        "void vsMain(float4 p : POSITION, float2 uv : TEXCOORD0, out float4 op : POSITION, out float2 ouv : TEXCOORD0)"
        " { op = float4(p.xyz, 1.0); ouv = uv + HalfPixelSize; }\n"
        "float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(Source, uv); }\n");
    glowingSquareScene();
    light(3, video::ELT_DIRECTIONAL, 0.0f, 0.0f, 100.0f, 0x808080);
    RenderSettings& rs = ctx->render;
    const RenderSettings saved = rs;
    rs.dofOn = 1;
    rs.dofFocalDistance = 10.0f;
    rs.dofFStop = 1.0f;
    rs.ssaoReach = 0.005f;
    rs.ssaoMaxDepthDecline = 0.2f;
    rs.ssaoDepthEpsilon = 0.0002f;
    rs.ssaoMultiplier = 1.5f;
    // both routes end in backRTT[1]: depth of field alone, and SSAO, depth of field and the effect
    auto routedFrame = [ctx, r]() -> std::vector<u32> {
        if (!qeIrrlichtBeginScene(ctx)) return {};
        qeIrrlichtLppBeginPasses(ctx);
        video::ITexture* result = qeIrrlichtLppRenderFrame(ctx, r, 1);
        qeIrrlichtLppEndPasses(ctx);
        qeIrrlichtEndScene(ctx);
        return result == r->backRTT[1] ? qetest::readPixels(result) : std::vector<u32>();
    };
    const std::vector<u32> dofOnly = routedFrame();
    qeIrrlichtMakeCameraEffectFromFile(1, effect.c_str());
    qeIrrlichtShowCameraEffect(1);
    rs.ssaoOn = 1;
    const std::vector<u32> routed = routedFrame();
    qeIrrlichtDeleteCameraEffect(1);
    rs = saved;
    ASSERT_EQ(static_cast<size_t>(kSize * kSize), routed.size());
    ASSERT_EQ(routed.size(), dofOnly.size());
    // where nothing occludes (the square's middle, the plane's corners far from it) the two agree up to
    // the occlusion's noise over a flat surface
    for (const auto& xy : {std::make_pair(128, 128), std::make_pair(20, 20), std::make_pair(236, 20),
                           std::make_pair(20, 236), std::make_pair(236, 236)}) {
        const int i = xy.second * kSize + xy.first;
        EXPECT_TRUE(qeColourNear(dofOnly[i] & 0xFFFFFF, routed[i] & 0xFFFFFF, 10))
            << xy.first << "," << xy.second << std::hex << " " << dofOnly[i] << " " << routed[i];
    }
}

// The pixels that a drawing over the black backdrop reached.
std::vector<bool> covered(const std::vector<u32>& pixels) {
    std::vector<bool> mask(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const u32 p = pixels[i];
        mask[i] = ((p >> 16) & 0xFF) > 40 || ((p >> 8) & 0xFF) > 40 || (p & 0xFF) > 40;
    }
    return mask;
}

// The pixels of a that b does not cover and that have no neighbour b covers.
int strays(const std::vector<bool>& a, const std::vector<bool>& b) {
    int count = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            if (!a[y * kSize + x]) continue;
            bool beside = false;
            for (int dy = -1; dy <= 1 && !beside; ++dy)
                for (int dx = -1; dx <= 1 && !beside; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    beside = nx >= 0 && ny >= 0 && nx < kSize && ny < kSize && b[ny * kSize + nx];
                }
            count += beside ? 0 : 1;
        }
    return count;
}

// The same turned, scaled and moved quad under a turned perspective camera: opaque through the light
// pre-pass, then transparent through the uber shader; both take the same place on the screen.
TEST_F(LppDevice, ATransparentSurfaceCoversThePixelsOfTheSameOpaqueSurface) {
    EngineContext* ctx = qeIrrlichtGetContext();
    ctx->camera->setPosition(core::vector3df(-3.0f, 2.0f, -2.0f));
    ctx->camera->setTarget(core::vector3df(1.0f, -0.5f, 10.0f));
    ctx->camera->updateAbsolutePosition();
    std::vector<bool> masks[2];
    for (int transparent : {0, 1}) {
        ObjectSurfaceRecord r = whiteSurface();
        r.channels[QE_SURF_LUMINOSITY].value.f[0] = 1.0f;  // white without a light
        r.channels[QE_SURF_TRANSPARENCY].value.f[0] = transparent ? 0.5f : 0.0f;
        makeQuadObject(1, 2.0f, 1.5f, 8.0f, &r);
        qeIrrlichtRotateObject(1, 20.0f, 35.0f, 15.0f);
        qeIrrlichtScaleObject(1, 150.0f, 75.0f, 100.0f);
        const ObjectSurface* surface = qeIrrlichtObjGetSurface(1, 0);
        ASSERT_NE(nullptr, surface);
        ASSERT_EQ(transparent, surface->hasShaderMaterial);
        masks[transparent] = covered(frame());
        qeIrrlichtDeleteObject(1);
        ASSERT_EQ(static_cast<size_t>(kSize * kSize), masks[transparent].size());
    }
    const int opaqueCount = static_cast<int>(std::count(masks[0].begin(), masks[0].end(), true));
    const int transparentCount = static_cast<int>(std::count(masks[1].begin(), masks[1].end(), true));
    // the quad takes a fair share of the frame, not all of it
    EXPECT_GT(opaqueCount, kSize * kSize / 20);
    EXPECT_LT(opaqueCount, kSize * kSize / 2);
    EXPECT_EQ(0, strays(masks[0], masks[1])) << opaqueCount << " opaque, " << transparentCount << " transparent";
    EXPECT_EQ(0, strays(masks[1], masks[0])) << opaqueCount << " opaque, " << transparentCount << " transparent";
}

// A transparent surface without a reflection image: its permutation has no use for Surface_Reflectivity
// (the compiler drops it), and drawing it must not ask the driver for it.
TEST_F(LppDevice, ATransparentSurfaceSetsOnlyTheVariablesItsProgramHas) {
    EngineContext* ctx = qeIrrlichtGetContext();
    LppRenderer* r = qeIrrlichtGetRenderer();
    ObjectSurfaceRecord glass = whiteSurface();
    glass.channels[QE_SURF_TRANSPARENCY].value.f[0] = 0.5f;
    makeQuadObject(1, 10.0f, 0.0f, 10.0f, &glass);
    light(2, video::ELT_POINT, 0.0f, 5.0f, 20.0f, 0xFFFFFF);
    ASSERT_EQ(1, qeIrrlichtObjGetSurface(1, 0)->hasShaderMaterial);
    testing::internal::CaptureStdout();
    int frames = 0;
    for (int i = 0; i < 100; ++i) {
        if (!qeIrrlichtBeginScene(ctx)) continue;
        qeIrrlichtLppBeginPasses(ctx);
        qeIrrlichtLppRenderFrame(ctx, r, 0);
        qeIrrlichtLppEndPasses(ctx);
        qeIrrlichtEndScene(ctx);
        ++frames;
    }
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(100, frames);
    EXPECT_EQ(std::string::npos, printed.find("HLSL Variable to set not found")) << printed.substr(0, 1500);
}

// A frame into a target leaves a texture bound as the render target. The engine's stop must still free the
// device: one left alive keeps Direct3D's command thread running into the process's exit, which then hangs.
TEST(LppDeviceStop, AStopAfterAFrameIntoATargetFreesTheDevice) {
    ASSERT_EQ(0, qetest::startEngine(QIRN_OUTPUT_DIR, kSize, kSize, 1)) << qeSysGetStartupError();
    EngineContext* ctx = qeIrrlichtGetContext();
    LppRenderer* r = qeIrrlichtGetRenderer();
    ASSERT_NE(nullptr, r);
    ASSERT_TRUE(qeIrrlichtBeginScene(ctx));
    qeIrrlichtLppBeginPasses(ctx);
    EXPECT_EQ(r->backRTT[0], qeIrrlichtLppRenderFrame(ctx, r, 1));
    qeIrrlichtLppEndPasses(ctx);
    qeIrrlichtEndScene(ctx);
    IDirect3DDevice9* device = static_cast<IDirect3DDevice9*>(ctx->driver->getExposedVideoData().D3D9.D3DDev9);
    ASSERT_NE(nullptr, device);
    device->AddRef();
    qeIrrlichtTerm();
    EXPECT_EQ(0u, device->Release()) << "the stopped engine left references on the device";
}

}  // namespace
