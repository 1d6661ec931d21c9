// The effect library on a Direct3D 9 device: shader materials compiled from files (includes, macros,
// the memory and disk caches, lookups against the compiler's constant tables), a node drawn through an
// effect with its surface, screen quads and textures of the managers, and instanced particles; every
// feature checked by the pixels it draws.
#include <d3dx9shader.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "effects_fixture.h"
#include "file_fixtures.h"
#include "gpu/CQeGPUProgrammingServices.h"
#include "managers/CQeRenderServices.h"
#include "managers/CQeSceneManager.h"
#include "managers/CQeTextureManager.h"
#include "binds/CQeEffectBindEngine.h"
#include "particles/CQeD3D9ParticleSystemSceneNode.h"
#include "runtime_fixture.h"
#include "runtime/CQeEffectManager.h"
#include "runtime/CQeSceneNodeExt.h"
#include "surfaces/CQeSurfaceLightwave.h"
#include "surface_test_support.h"

using namespace irr;
using namespace irr::video;

namespace {

const u32 kClear = 0xFF204060;

const char* kVertex =
    "float4 offset;\n"
    "float4 vsMain(float4 pos : POSITION, float2 uv : TEXCOORD0, out float2 oUv : TEXCOORD0) : POSITION {\n"
    "  oUv = uv; return pos + offset; }\n";
// The colour comes from macros through an include in a sub-folder that includes its own neighbour.
const char* kPixel =
    "#include \"common/colour.hlsl\"\n"
    "float4 tint; float weight; sampler2D decal; sampler2D bump;\n"
    "float4 psMain(float2 uv : TEXCOORD0) : COLOR0 {\n"
    "  return COLOUR * tint + (tex2D(decal, uv) + tex2D(bump, uv) + detail(uv)) * weight; }\n";
const char* kColour = "#include \"levels.hlsl\"\n#define COLOUR float4(LEVEL(RED), LEVEL(GREEN), 0, 1)\n";
// detail() stands for the bulk of a real shader: the compiler has work to do, the drawing ignores it.
const char* kLevels =
    "#define LEVEL(x) ((x) * VARIANT_SCALE)\n"
    "float4 detail(float2 uv) { float4 c = 0;\n"
    "  [unroll] for (int i = 0; i < 16; ++i) c += sin(c.yzwx * 1.7 + uv.xyxy * i);\n"
    "  return c; }\n";

class Constants : public IShaderConstantSetCallBack {
public:
    void OnSetConstants(IMaterialRendererServices* services, s32) override {
        const f32 zero[4] = {0, 0, 0, 0}, one[4] = {1, 1, 1, 1};
        services->setVertexShaderConstant("offset", zero, 4);
        services->setPixelShaderConstant("tint", one, 4);
        services->setPixelShaderConstant("weight", zero, 1);
    }
};

double nowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

class GpuServices : public qetest::D3D9Test {
protected:
    GpuServices() : D3D9Test(160, 120) {
        dir.mkdir("shaders/common");
        vs = dir.write("shaders/v.hlsl", kVertex);
        ps = dir.write("shaders/p.hlsl", kPixel);
        dir.write("shaders/common/colour.hlsl", kColour);
        dir.write("shaders/common/levels.hlsl", kLevels);
    }
    ~GpuServices() override { constants->drop(); }
    bool logged(const std::string& text, ELOG_LEVEL level = ELL_DEBUG) const { return logger.count(text, level) > 0; }
    int countStarting(const std::string& prefix) const { return logger.countStarting(prefix); }

    qetest::LogCapture logger;
    qetest::TempDir dir{"gpudev"};
    std::string vs, ps;
    Constants* constants = new Constants();
    ITexture* target = nullptr;

    s32 material(CQeGPUProgrammingServices& gpu, const SQeMacro* macros, s32 userData = 0,
                 E_VERTEX_SHADER_TYPE vt = EVST_VS_3_0, E_PIXEL_SHADER_TYPE pt = EPST_PS_3_0) {
        return gpu.getShaderMaterial(vs.c_str(), "vsMain", vt, ps.c_str(), "psMain", pt, constants, EMT_SOLID,
                                     userData, macros);
    }

    // Draws a quad over a render target with the material type and reads back its centre.
    u32 drawAndRead(s32 materialType) {
        if (!target) target = driver->addRenderTargetTextureEx(core::dimension2du(16, 16), "target", ECF_A8R8G8B8);
        const std::vector<u32> pixels = drawInto(target, kClear, [&] {
            SMaterial m;
            m.MaterialType = static_cast<E_MATERIAL_TYPE>(materialType);
            m.Lighting = false;
            m.BackfaceCulling = false;
            m.ZBuffer = ECFN_ALWAYS;
            driver->setMaterial(m);
            const SColor white(255, 255, 255, 255);
            const S3DVertex v[4] = {S3DVertex(-1, -1, 0.5f, 0, 0, -1, white, 0, 1), S3DVertex(-1, 1, 0.5f, 0, 0, -1, white, 0, 0),
                                    S3DVertex(1, 1, 0.5f, 0, 0, -1, white, 1, 0), S3DVertex(1, -1, 0.5f, 0, 0, -1, white, 1, 1)};
            const u16 indices[6] = {0, 1, 2, 0, 2, 3};
            driver->drawVertexPrimitiveList(v, 4, indices, 2, EVT_STANDARD, scene::EPT_TRIANGLES, EIT_16BIT);
        });
        return pixels.empty() ? 0xDEADBEEF : pixels[8 * 16 + 8];
    }
};

TEST_F(GpuServices, FilesCompileIntoAMaterialWhoseLookupsMatchItsConstantTables) {
    CQeGPUProgrammingServices gpu(device);
    const SQeMacro macros[] = {{"RED", "1"}, {"GREEN", "0.5"}, {"VARIANT_SCALE", "1"}, {nullptr, nullptr}};
    const s32 type = material(gpu, macros, 5);
    ASSERT_GE(type, 0);
    EXPECT_PRED3(qetest::colourNear, 0xFFFF8000u, drawAndRead(type), 2);

    ID3DXConstantTable *vt = nullptr, *pt = nullptr;
    ASSERT_TRUE(driver->getGPUProgrammingServices()->getMaterialTypeConstantTables(type, &vt, &pt, nullptr));
    s32 index = -7;
    ASSERT_TRUE(gpu.getPixelShaderSamplerIndex(type, "bump", &index));
    EXPECT_EQ(static_cast<s32>(pt->GetSamplerIndex(pt->GetConstantByName(nullptr, "bump"))), index);
    index = -7;
    EXPECT_FALSE(gpu.getVertexShaderSamplerIndex(type, "decal", &index));
    EXPECT_EQ(-7, index);
    // a fixed-function material has no tables: -1
    EXPECT_TRUE(gpu.getPixelShaderConstantRegister(EMT_SOLID, "tint", &index));
    EXPECT_EQ(-1, index);

    // the same request, macros in another order and other targets: the first material, nothing compiled
    logger.lines.clear();
    const SQeMacro reordered[] = {{"VARIANT_SCALE", "1"}, {"GREEN", "0.5"}, {"RED", "1"}, {nullptr, nullptr}};
    EXPECT_EQ(type, material(gpu, reordered, 5, EVST_VS_2_0, EPST_PS_2_0));
    EXPECT_TRUE(logged("QeGPU: Found already created shader " + vs + " " + ps));
    // another user data: a new material type from the compiled stages in memory
    EXPECT_NE(type, material(gpu, macros, 6));
    EXPECT_TRUE(logged("QeGPU: Found already compiled shader " + ps + " Pixel"));
    EXPECT_EQ(0, countStarting("QeGPU: compile shader"));
}

TEST_F(GpuServices, AWarmDiskCacheGivesWorkingMaterialsWithoutCompiling) {
    // the compiler's library is loaded before anything is timed
    {
        CQeGPUProgrammingServices warmUp(device);
        const SQeMacro m[] = {{"RED", "0"}, {"GREEN", "0"}, {"VARIANT_SCALE", "0"}, {nullptr, nullptr}};
        ASSERT_GE(material(warmUp, m), 0);
    }
    const int variants = 4;
    const char* scales[variants] = {"1", "0.5", "0.25", "0.125"};
    SQeMacro macros[variants][4];
    for (int i = 0; i < variants; ++i) {
        const SQeMacro list[4] = {{"RED", "1"}, {"GREEN", "0.5"}, {"VARIANT_SCALE", scales[i]}, {nullptr, nullptr}};
        std::copy(list, list + 4, macros[i]);
    }
    const core::stringc cache = (dir.path() + "data/shadersCache").c_str();
    auto run = [&](s32* types) {
        CQeGPUProgrammingServices gpu(device);
        gpu.setShaderCache(cache, ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE);
        const double start = nowMs();
        for (int i = 0; i < variants; ++i) types[i] = material(gpu, macros[i]);
        return nowMs() - start;
    };
    s32 cold[variants], warm[variants];
    logger.lines.clear();
    const double coldMs = run(cold);
    EXPECT_EQ(2 * variants, countStarting("QeGPU: compile shader"));
    logger.lines.clear();
    const double warmMs = run(warm);
    EXPECT_EQ(0, countStarting("QeGPU: compile shader"));
    EXPECT_EQ(2 * variants, countStarting("QeGPU: Read from cache"));
    ASSERT_TRUE(cold[0] >= 0 && warm[1] >= 0);
    EXPECT_PRED3(qetest::colourNear, 0xFF804000u, drawAndRead(warm[1]), 2);
    std::printf("shader cache: %d materials cold %.1f ms, warm %.1f ms, ratio %.1f\n", variants, coldMs, warmMs,
                warmMs > 0 ? coldMs / warmMs : 0.0);

    // the shaders and their cache moved together to another folder: still nothing compiled
    dir.mkdir("moved");
    ASSERT_TRUE(MoveFileA((dir.path() + "shaders").c_str(), (dir.path() + "moved/shaders").c_str()));
    ASSERT_TRUE(MoveFileA((dir.path() + "data").c_str(), (dir.path() + "moved/data").c_str()));
    vs = dir.path() + "moved/shaders/v.hlsl";
    ps = dir.path() + "moved/shaders/p.hlsl";
    const core::stringc movedCache = (dir.path() + "moved/data/shadersCache").c_str();
    {
        CQeGPUProgrammingServices gpu(device);
        gpu.setShaderCache(movedCache, ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE);
        logger.lines.clear();
        EXPECT_GE(material(gpu, macros[2]), 0);
        EXPECT_EQ(0, countStarting("QeGPU: compile shader"));
    }
    // a changed pixel source compiles its own stage again; its vertex partner still comes from the cache
    dir.write("moved/shaders/p.hlsl", std::string(kPixel) + "// changed\n");
    CQeGPUProgrammingServices gpu(device);
    gpu.setShaderCache(movedCache, ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE);
    logger.lines.clear();
    EXPECT_GE(material(gpu, macros[2]), 0);
    EXPECT_EQ(1, countStarting("QeGPU: compile shader"));
    EXPECT_TRUE(logged("QeGPU: compile shader " + ps));
}

// a/shaders/fx.hlsl and b/shaders/fx.hlsl, each named "fx.hlsl" from its own folder, in two runs on one
// disk cache: each draws its own colour, and the second run takes both from the cache.
TEST_F(GpuServices, SameNamedSourcesInSameNamedFoldersKeepTheirOwnProgramsAndBlobsOverTwoRuns) {
    const char* folders[2] = {"a", "b"};
    const char* colours[2] = {"1, 0, 0", "0, 1, 0"};
    for (int i = 0; i < 2; ++i) {
        dir.mkdir(std::string(folders[i]) + "/shaders");
        dir.write(std::string(folders[i]) + "/shaders/fx.hlsl",
                  std::string(kVertex) + "float4 psMain() : COLOR0 { return float4(" + colours[i] + ", 1); }\n");
    }
    char saved[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, saved));
    const core::stringc cache = (dir.path() + "cache").c_str();
    auto run = [&](u32* drawn) {
        CQeGPUProgrammingServices gpu(device);
        gpu.setShaderCache(cache, ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE);
        for (int i = 0; i < 2; ++i) {
            SetCurrentDirectoryA((dir.path() + folders[i] + "/shaders").c_str());
            const s32 type = gpu.getShaderMaterial("fx.hlsl", "vsMain", EVST_VS_3_0, "fx.hlsl", "psMain",
                                                   EPST_PS_3_0, constants, EMT_SOLID, 0, nullptr);
            drawn[i] = type >= 0 ? drawAndRead(type) : 0;
        }
        SetCurrentDirectoryA(saved);
    };
    u32 first[2], second[2];
    logger.lines.clear();
    run(first);
    EXPECT_EQ(4, countStarting("QeGPU: compile shader"));
    EXPECT_EQ(0xFFFF0000u, first[0]);
    EXPECT_EQ(0xFF00FF00u, first[1]);
    logger.lines.clear();
    run(second);
    EXPECT_EQ(0, countStarting("QeGPU: compile shader"));
    EXPECT_EQ(0xFFFF0000u, second[0]);
    EXPECT_EQ(0xFF00FF00u, second[1]);
}

// The header's WorldViewProjection arrives in its transposed form: the engine's matrix, one row per
// register, which the shader applies to the position as a column.
const char* kEffect =
    "// [QIRN_BEGIN]\n"
    "//title Surface colour\n"
    "//float4x4 wvp : WorldViewProjection vertex\n"
    "//float3 base : Surface_BaseColor pixel\n"
    "// [QIRN_END]\n"
    "float4x4 wvp;\n"
    "float3 base;\n"
    "float4 vs_main(float4 pos : POSITION) : POSITION { return mul(wvp, pos); }\n"
    "float4 ps_main() : COLOR0 { return float4(base, 1); }\n";

// How many pixels of the middle row, in the left and the right half, have the colour.
void countRow(const std::vector<u32>& pixels, u32 colour, int& left, int& right) {
    left = right = 0;
    if (pixels.size() < 64 * 64) return;
    for (u32 x = 0; x < 64; ++x)
        if (qetest::colourNear(pixels[32 * 64 + x], colour, 3)) ++(x < 32 ? left : right);
}

class NodeExtDevice : public qetest::D3D9Test {
protected:
    NodeExtDevice() : D3D9Test(160, 120) {}
};

TEST_F(NodeExtDevice, DrawsANodeWithItsSurfaceThroughTheEffect) {
    qetest::TempDir dir("node-ext-device");
    const std::string file = dir.write("surface.hlsl", kEffect);
    CQeGPUProgrammingServices gpu(device);
    CQeEffectManager manager(device, &gpu, nullptr, nullptr, nullptr);
    IQeEffect* effect = manager.createEffect(file.c_str(), -1, nullptr, nullptr);
    ASSERT_NE(effect, nullptr) << manager.getLastError();
    CQeSurfaceLightwave* surface = new CQeSurfaceLightwave();
    surface->setChannelVector(LWC_BaseColor, 0.25f, 0.5f, 0.75f);

    scene::IMeshSceneNode* cube = smgr->addCubeSceneNode(1.0f, nullptr, -1, core::vector3df(-1, 0, 0));
    IQeSceneNodeExt* ext = createQeSceneNodeExt(cube);
    cube->addAnimator(ext);
    ext->drop();
    ext->setSurface(0, surface);
    ext->setEffect(0, effect);
    smgr->addCameraSceneNode(0, core::vector3df(0, 0, -5), core::vector3df(0, 0, 0));
    video::ITexture* target =
        driver->addRenderTargetTexture(core::dimension2d<u32>(64, 64), "node-ext-target", video::ECF_A8R8G8B8);
    ASSERT_NE(target, nullptr);
    int left = 0, right = 0;
    auto frame = [&](u32 colour) { countRow(drawInto(target, kClear, [&] { smgr->drawAll(); }), colour, left, right); };
    frame(0xFF4080BF);
    EXPECT_GT(left, 3);
    EXPECT_EQ(right, 0);

    // the surface's colour is read at each draw
    surface->setChannelVector(LWC_BaseColor, 0, 1, 0);
    frame(0xFF00FF00);
    EXPECT_GT(left, 3);

    // a copy on the right draws with its own extension after the original is gone
    scene::ISceneNode* copy = cube->clone();
    ASSERT_NE(copy, nullptr);
    copy->setPosition(core::vector3df(1, 0, 0));
    IQeSceneNodeExt* copyExt = getSceneNodeExt(copy);
    ASSERT_NE(copyExt, nullptr);
    cube->remove();
    frame(0xFF00FF00);
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 3);

    // without its effect the copy still draws, with a plain material
    copyExt->removeEffect(0);
    frame(0xFF00FF00);
    EXPECT_EQ(right, 0);

    smgr->clear();
    EXPECT_EQ(effect->getReferenceCount(), 1);
    EXPECT_EQ(surface->getReferenceCount(), 1);
    surface->drop();
    effect->drop();
}

// Clip-space positions pass through; the colour shows the texture coordinates.
const char* kQuadShader =
    "struct VS_OUT { float4 pos : POSITION; float2 uv : TEXCOORD0; };\n"
    "VS_OUT vsMain(float3 pos : POSITION0, float2 uv : TEXCOORD0) {\n"
    "  VS_OUT o;\n"
    "  o.pos = float4(pos, 1.0);\n"
    "  o.uv = uv;\n"
    "  return o;\n"
    "}\n"
    "float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return float4(uv.x, uv.y, 0.0, 1.0); }\n";

// Keeps the draw records it finds on the materials it is given.
class RecordProbe : public video::IShaderConstantSetCallBack {
public:
    void OnSetMaterial(const video::SMaterial& material) override { Material = &material; }
    void OnSetConstants(video::IMaterialRendererServices*, s32) override {
        const SQeNodeExtMaterial* r = Material ? qeMaterialGetRecord(*Material) : nullptr;
        if (r) seen.push_back(*r);
    }
    std::vector<SQeNodeExtMaterial> seen;

private:
    const video::SMaterial* Material = nullptr;
};

using qetest::colourNear;
using D3D9Managers = qetest::D3D9Test;

TEST_F(D3D9Managers, ScreenQuadDrawnWithAnEffectPassFillsTheTarget) {
    RecordProbe* probe = new RecordProbe();
    const s32 material = driver->getGPUProgrammingServices()->addHighLevelShaderMaterial(
        kQuadShader, "vsMain", video::EVST_VS_3_0, kQuadShader, "psMain", video::EPST_PS_3_0, probe, video::EMT_SOLID);
    ASSERT_GE(material, 0) << "the quad shader did not compile";
    const core::dimension2du size(64, 64);
    video::ITexture* target = driver->addRenderTargetTexture(size, "quad-target", video::ECF_A8R8G8B8);
    ASSERT_NE(nullptr, target);

    FakeEffect effect;
    effect.passes = {1, 2};
    effect.passMaterial.MaterialType = static_cast<video::E_MATERIAL_TYPE>(material);
    CQeRenderServices services(device);

    std::vector<u32> pixels;
    auto draw = [&](u32 technique, u32 pass) {
        pixels = drawInto(target, kClear, [&] { services.drawScreenQuad(&effect, technique, pass); });
        ASSERT_EQ(pixels.size(), size.Width * size.Height);
    };

    draw(1, 1);
    // u runs left to right, v top to bottom over the whole target.
    EXPECT_PRED3(colourNear, 0xFFFF0000u, pixels[size.Width - 1], 8) << std::hex << pixels[size.Width - 1];
    EXPECT_PRED3(colourNear, 0xFF00FF00u, pixels[(size.Height - 1) * size.Width], 8);
    // The shader callback found the pass's draw record on the material while it drew.
    ASSERT_EQ(1u, probe->seen.size());
    EXPECT_EQ(&effect, probe->seen[0].activeEffect);
    EXPECT_EQ(1u, probe->seen[0].pass);

    // A pass the effect does not have draws nothing.
    draw(0, 1);
    EXPECT_EQ(kClear, pixels[32 * size.Width + 32]);
    EXPECT_EQ(1u, probe->seen.size());
    probe->drop();
}

// A camera at (0, 0, -5) looking at the origin with its far plane at 100, the default 72° vertical field
// and the 4:3 screen: far corners 100 × tan 36° = 72.654 up and 4/3 of that = 96.872 across, in view space.
TEST_F(D3D9Managers, CameraBindSendsTheFarCornersInViewSpaceAndTheFarValue) {
    scene::ICameraSceneNode* camera = smgr->addCameraSceneNode(nullptr, core::vector3df(0, 0, -5), core::vector3df(0, 0, 0));
    camera->setFarValue(100);
    camera->updateAbsolutePosition();
    camera->render();  // the view transform and the frustum
    CQeEffectBindCamera bind(device);
    qetest::RecordingServices services;
    const f32 x = 96.872337f, y = 72.654253f;
    const struct {
        const char* semantic;
        std::vector<f32> value;
    } rows[] = {{"FrustrumFarCorners", {-x, y, 100, x, y, 100, -x, -y, 100, x, -y, 100}},  // left-up, right-up, left-down, right-down
                {"ZFarValue", {100}},
                {"ViewPosition", {0, 0, -5, 1}}};
    for (const auto& row : rows) {
        const std::vector<f32> v = qetest::sent(bind, qetest::Constant(row.semantic), services);
        ASSERT_EQ(row.value.size(), v.size()) << row.semantic;
        for (size_t i = 0; i < v.size(); ++i) EXPECT_NEAR(row.value[i], v[i], 0.01f) << row.semantic << " " << i;
    }
}

TEST_F(D3D9Managers, CubeFloatAndPlainTexturesAndInstancedParticleNodes) {
    qetest::TempDir dir("texdev");
    for (int i = 0; i < 6; ++i) writeImage(dir.path() + "sky000" + std::to_string(i) + ".png", 0xFF000000u | (i * 40));
    const std::string sky = dir.path() + "sky00.png";
    CQeTextureManager textures(device);

    video::ITexture* cube = textures.loadTexture(sky.c_str());  // all six faces exist: a cube map
    ASSERT_NE(nullptr, cube);
    EXPECT_STREQ((sky + "_cube").c_str(), cube->getName().getPath().c_str());

    // Without the last face the name stands for a plain texture, made without mip-maps.
    DeleteFileA((dir.path() + "sky0005.png").c_str());
    writeImage(sky, 0xFF336699);
    EXPECT_EQ(nullptr, textures.loadCubeTexture(sky.c_str()));
    video::ITexture* plain = textures.loadTexture(sky.c_str());
    ASSERT_NE(nullptr, plain);
    EXPECT_FALSE(plain->hasMipMaps());

    // A float texture holds the red component of each texel.
    const std::string h = dir.path() + "h.png";
    writeImage(h, 0xFF806040);
    video::ITexture* height = textures.loadTextureR32F(h.c_str());
    ASSERT_NE(nullptr, height);
    EXPECT_EQ(video::ECF_R32F, height->getColorFormat());
    const f32* texels = static_cast<const f32*>(height->lock(video::ETLM_READ_ONLY));
    ASSERT_NE(nullptr, texels);
    EXPECT_FLOAT_EQ(128.0f / 255.0f, texels[0]);
    height->unlock();

    // On this driver every particle factory makes instanced nodes.
    CQeSceneManager manager(device);
    scene::IMesh* mesh = device->getSceneManager()->getGeometryCreator()->createCubeMesh();
    scene::IMeshSceneNode* source = device->getSceneManager()->addMeshSceneNode(mesh);
    mesh->drop();
    EXPECT_NE(nullptr, dynamic_cast<CQeD3D9ParticleSystemSceneNode*>(manager.createAnimatedMeshParticleSystemSceneNode(source, nullptr, -1)));
}

// A particle shader of the kind the renderer gives particle nodes: the corner places the quad around
// the particle position, (birth, death) ride in the normal.
const char* kParticleShader =
    "float4x4 mViewProj;\n"
    "float4 particleColour;\n"
    "struct VS_OUT { float4 pos : POSITION; float2 corner : TEXCOORD0; };\n"
    "VS_OUT vsMain(float2 corner : TEXCOORD0, float3 pos : POSITION0, float3 times : NORMAL0) {\n"
    "  VS_OUT o;\n"
    "  float4 p = mul(float4(pos, 1.0), mViewProj);\n"
    "  p.xy += (corner - 0.5) * 0.16 * p.w;\n"
    "  o.pos = p;\n"
    "  o.corner = corner + times.xy * 0.0;\n"
    "  return o;\n"
    "}\n"
    "float4 psMain(float2 corner : TEXCOORD0) : COLOR0 {\n"
    "  return particleColour + float4(corner, 0.0, 0.0) * 0.0;\n"
    "}\n";

const u32 kParticle = 0xFFE03020;

class ParticleConstants : public video::IShaderConstantSetCallBack {
public:
    void OnSetConstants(video::IMaterialRendererServices* services, s32) override {
        video::IVideoDriver* driver = services->getVideoDriver();
        core::matrix4 vp = driver->getTransform(video::ETS_PROJECTION);
        vp *= driver->getTransform(video::ETS_VIEW);
        vp *= driver->getTransform(video::ETS_WORLD);
        services->setVertexShaderConstant("mViewProj", vp.pointer(), 16);
        video::SColorf c{video::SColor(kParticle)};
        const f32 rgba[4] = {c.r, c.g, c.b, c.a};
        services->setPixelShaderConstant("particleColour", rgba, 4);
    }
};

bool particleNear(u32 a, u32 b) { return qetest::colourNear(a, b, 8); }

struct D3D9Scene : qetest::D3D9Test {
    scene::ICameraSceneNode* camera = nullptr;
    video::ITexture* target = nullptr;
    s32 material = -1;
    qetest::LogCapture logger;
    const core::dimension2d<u32> size{128, 128};

    void SetUp() override {
        D3D9Test::SetUp();
        device->getTimer()->stop();
        device->getTimer()->setTime(5000);
        ParticleConstants* constants = new ParticleConstants();
        material = driver->getGPUProgrammingServices()->addHighLevelShaderMaterial(
            kParticleShader, "vsMain", video::EVST_VS_3_0, kParticleShader, "psMain", video::EPST_PS_3_0, constants,
            video::EMT_SOLID);
        constants->drop();
        ASSERT_GE(material, 0) << "the particle shader did not compile";
        target = driver->addRenderTargetTexture(size, "particle-target", video::ECF_A8R8G8B8);
        ASSERT_NE(nullptr, target);
        camera = smgr->addCameraSceneNode(0, core::vector3df(0, 0, -20), core::vector3df(0, 0, 0));
        camera->setAspectRatio(1.0f);
    }

    CQeD3D9ParticleSystemSceneNode* makeNode() {
        CQeD3D9ParticleSystemSceneNode* node = new CQeD3D9ParticleSystemSceneNode(smgr->getRootSceneNode(), smgr, -1);
        node->drop();
        video::SMaterial& m = node->getMaterial(0);
        m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(material);
        m.Lighting = false;
        m.ZWriteEnable = false;
        m.BackfaceCulling = false;
        node->getEmitter()->setBirthRate(0);
        return node;
    }

    // Draws one frame into the render target and reads its pixels back.
    bool frame(std::vector<u32>& pixels) {
        pixels = drawInto(target, kClear, [&] { smgr->drawAll(); });
        return !pixels.empty();
    }

    // Where a world point lands in the render target.
    u32 at(const std::vector<u32>& pixels, const core::vector3df& p) {
        core::matrix4 vp = camera->getProjectionMatrix() * camera->getViewMatrix();
        f32 v[4] = {p.X, p.Y, p.Z, 1.0f};
        vp.multiplyWith1x4Matrix(v);
        const s32 x = static_cast<s32>((v[0] / v[3] + 1.0f) * 0.5f * size.Width);
        const s32 y = static_cast<s32>((1.0f - v[1] / v[3]) * 0.5f * size.Height);
        return pixels[static_cast<u32>(y) * size.Width + static_cast<u32>(x)];
    }
};

TEST_F(D3D9Scene, EveryBatchIsDrawnAndTheDriverKeepsDrawingAfterwards) {
    // 10000 particles: the first two batches (8192) on the left, the third (1808) on the right.
    CQeD3D9ParticleSystemSceneNode* node = makeNode();
    for (int i = 0; i < 10000; ++i) node->getFxEmitter()->addParticle(i < 8192 ? -5.0f : 5.0f, 0, 0, 0, 0xFFFFFFFFu);
    // A plain mesh drawn by the video driver before the particles, frame after frame.
    scene::IMeshSceneNode* cube = smgr->addCubeSceneNode(2.0f, 0, -1, core::vector3df(0, 6, 0));
    cube->setMaterialFlag(video::EMF_LIGHTING, false);

    std::vector<u32> pixels;
    for (int f = 0; f < 3; ++f) {
        ASSERT_TRUE(frame(pixels)) << f;
        EXPECT_EQ(kClear, pixels[2 * size.Width + 2]) << f;
        EXPECT_PRED2(particleNear, kParticle, at(pixels, core::vector3df(-5, 0, 0))) << std::hex << at(pixels, core::vector3df(-5, 0, 0));
        EXPECT_PRED2(particleNear, kParticle, at(pixels, core::vector3df(5, 0, 0))) << std::hex << at(pixels, core::vector3df(5, 0, 0));
        EXPECT_PRED2(particleNear, 0xFFFFFFFFu, at(pixels, core::vector3df(0, 6, 0))) << "frame " << f << std::hex << " " << at(pixels, core::vector3df(0, 6, 0));
    }
    EXPECT_EQ(1, logger.count("CQeD3D9ParticleSystemSceneNode: Allocate VertexBuffer for Particles"));

    // More particles than the instance buffer holds: the first 65536 are drawn.
    for (int i = 0; i < 60000; ++i) node->getFxEmitter()->addParticle(0, -6, 0, 0, 0xFFFFFFFFu);
    ASSERT_EQ(70000u, node->getEmitter()->getParticleCount());
    ASSERT_TRUE(frame(pixels));
    EXPECT_PRED2(particleNear, kParticle, at(pixels, core::vector3df(0, -6, 0)));
    EXPECT_PRED2(particleNear, kParticle, at(pixels, core::vector3df(5, 0, 0)));

    // The last node going frees the shared objects; a new node makes them again only when it draws.
    node->remove();
    EXPECT_EQ(0, CQeD3D9ParticleSystemSceneNode::getSharedDataRefCount());
    EXPECT_FALSE(CQeD3D9ParticleSystemSceneNode::hasSharedData());
    EXPECT_EQ(1, logger.count("CQeD3D9ParticleSystemSceneNode::RemoveRefSharedData: remove VertexBuffer"));
    CQeD3D9ParticleSystemSceneNode* again = makeNode();
    EXPECT_FALSE(CQeD3D9ParticleSystemSceneNode::hasSharedData());
    again->getFxEmitter()->addParticle(-5, 0, 0, 0, 0xFFFFFFFFu);
    ASSERT_TRUE(frame(pixels));
    EXPECT_PRED2(particleNear, kParticle, at(pixels, core::vector3df(-5, 0, 0)));
    EXPECT_EQ(kClear, at(pixels, core::vector3df(5, 0, 0)));

    // What the hub's before-reset hook does, then the driver's reset through a window resize: the
    // next frames make the shared objects again.
    CQeD3D9ParticleSystemSceneNode::OnDeviceReset();
    EXPECT_FALSE(CQeD3D9ParticleSystemSceneNode::hasSharedData());
    CQeD3D9ParticleSystemSceneNode::OnDeviceReset();  // nothing left to free
    EXPECT_EQ(1, logger.count("CQeD3D9ParticleSystemSceneNode::OnDeviceReset: remove VertexBuffer"));
    driver->OnResize(core::dimension2d<u32>(300, 220));
    for (int f = 0; f < 2; ++f) {
        ASSERT_TRUE(frame(pixels)) << f;
        EXPECT_PRED2(particleNear, kParticle, at(pixels, core::vector3df(-5, 0, 0))) << f;
    }
    EXPECT_EQ(3, logger.count("CQeD3D9ParticleSystemSceneNode: Allocate VertexBuffer for Particles"));
}

}  // namespace
