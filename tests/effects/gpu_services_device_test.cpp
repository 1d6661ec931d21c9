// Shader materials from HLSL files compiled on the real Direct3D 9 device: includes through the
// include callback, macros, the memory cache, the disk cache (cold against warm), and constant and
// sampler lookups checked against the compiled shaders' own tables.
#include <d3dx9shader.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "file_fixtures.h"
#include "gpu/CQeGPUProgrammingServices.h"
#include "effects_fixture.h"

using namespace irr;
using namespace irr::video;

namespace {

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
        if (!target || !driver->beginScene(true, true, SColor(255, 0, 0, 0))) return 0xDEADBEEF;
        driver->setRenderTarget(target, true, true, SColor(255, 64, 64, 64));
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
        driver->setRenderTarget(0, false, false);
        driver->endScene();
        const std::vector<u32> pixels = readBack(target);
        return pixels.empty() ? 0xDEADBEEF : pixels[8 * 16 + 8];
    }
};

TEST_F(GpuServices, FilesCompileIntoAMaterialWhoseLookupsMatchItsConstantTables) {
    CQeGPUProgrammingServices gpu(device);
    const SQeMacro macros[] = {{"RED", "1"}, {"GREEN", "0.5"}, {"VARIANT_SCALE", "1"}, {nullptr, nullptr}};
    const s32 type = material(gpu, macros, 5);
    ASSERT_GE(type, 0);
    EXPECT_PRED3(qetest::colourNear, 0xFFFF8000u, drawAndRead(type), 2);

    ID3DXConstantTable* vt = nullptr;
    ID3DXConstantTable* pt = nullptr;
    ASSERT_TRUE(driver->getGPUProgrammingServices()->getMaterialTypeConstantTables(type, &vt, &pt, nullptr));
    auto registerOf = [](ID3DXConstantTable* table, const char* name) {
        D3DXCONSTANT_DESC desc;
        UINT count = 1;
        D3DXHANDLE h = table->GetConstantByName(nullptr, name);
        return h && SUCCEEDED(table->GetConstantDesc(h, &desc, &count)) ? static_cast<s32>(desc.RegisterIndex) : -100;
    };
    s32 index = -7;
    ASSERT_TRUE(gpu.getPixelShaderConstantRegister(type, "weight", &index));
    EXPECT_EQ(registerOf(pt, "weight"), index);
    ASSERT_TRUE(gpu.getVertexShaderConstantRegister(type, "offset", &index));
    EXPECT_EQ(registerOf(vt, "offset"), index);
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
}

}  // namespace
