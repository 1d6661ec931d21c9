// Shader materials on the device: fixture shader files set up through the effect library's cache (HLSL)
// or the engine's assembler, drawn over a render target, and the pixels their constants produce.
#include <d3d9.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <string>
#include <vector>

#include "IQeGPUProgrammingServices.h"
#include "IQeManager.h"
#include "device_check.h"
#include "engine.h"
#include "engine_context.h"
#include "file_fixtures.h"
#include "frame.h"
#include "scene_access.h"
#include "shader_material.h"
#include "shader_object.h"
#include "shader_engine.h"
#include "shell_fixtures.h"

using namespace irr;

namespace {

const char* const kVertexMain =
    "struct VsOut { float4 pos : POSITION; };\n"
    "VsOut vsMain(float4 pos : POSITION) { VsOut o; o.pos = float4(pos.xyz, 1); return o; }\n";

std::vector<scene::ILightSceneNode*> g_lights;
SurfaceChannelEntry g_channels[QE_SHADER_CHANNEL_COUNT];
scene::ILightSceneNode* lightAt(int n) { return n < static_cast<int>(g_lights.size()) ? g_lights[n] : nullptr; }
const SurfaceChannelEntry* channelsOf(const void*) { return g_channels; }

// One engine for every case: starting one is slow under emulation.
class ShaderMaterials : public testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new qetest::TempDir("shader-material");
        ASSERT_EQ(0, qetest::startShaderEngine(QIRN_OUTPUT_DIR, files->mkdir("cache")));
        const ShaderLookups lookups = {nullptr, nullptr, lightAt, channelsOf};
        qeIrrShaderSetLookups(&lookups);
    }
    static void TearDownTestSuite() {
        qeIrrShaderSetLookups(nullptr);
        qeIrrlichtTerm();
        delete files;
    }
    ~ShaderMaterials() override {
        for (ShaderObject* s : shaders) qeIrrShaderDestroy(s);
    }

    // A shader set up from a fixture text with the macros; null when either step failed.
    ShaderObject* make(const std::string& name, const std::string& text, std::vector<const char*> macros = {}) {
        macros.push_back(nullptr);
        ShaderObject* shader = qeIrrShaderCreate(files->write(name, text).c_str(), macros.data());
        if (!shader) return nullptr;
        shaders.push_back(shader);
        return qeIrrShaderSetupGpuMaterial(shader) == 0 ? shader : nullptr;
    }

    u32 drawCentre(const ShaderObject* shader, video::SColor clear = video::SColor(255, 1, 2, 3),
                   uint32_t marker = 0) {
        EngineContext* ctx = qeIrrlichtGetContext();
        if (!target) target = ctx->driver->addRenderTargetTexture(core::dimension2d<u32>(32, 32), "shader-target");
        video::SMaterial material = qetest::quadMaterial(qeIrrShaderGetMaterialType(shader));
        qeIrrlichtSetMaterialMarker(material, marker, marker ? g_channels : nullptr);
        return qetest::drawAndReadCentre(ctx->driver, target, material, clear);
    }

    static qetest::TempDir* files;
    static video::ITexture* target;
    std::vector<ShaderObject*> shaders;
};
qetest::TempDir* ShaderMaterials::files = nullptr;
video::ITexture* ShaderMaterials::target = nullptr;

TEST_F(ShaderMaterials, HeaderLiteralsSemanticsAndMacrosReachTheHlslProgram) {
    const std::string text = std::string(
                                 "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
                                 "//float4 Tint : 0.25,0.5,0.75,1 : pixel\n//float2 Screen : ScreenSize : pixel\n"
                                 "//float Time : Time0_X : pixel\n"
                                 "//[QIRN_END]\nfloat4 Tint;\nfloat2 Screen;\nfloat Time;\n") +
                             kVertexMain +
                             "float4 psMain() : COLOR {\n#ifdef USE_RED\n  return float4(1, 0, 0, 1);\n#else\n"
                             "  return float4(Tint.rgb, Screen.x / 640.0 + Time);\n#endif\n}\n";
    ShaderObject* plain = make("plain.hlsl", text);
    ASSERT_NE(nullptr, plain);
    EXPECT_GT(qeIrrShaderGetMaterialType(plain), 0);
    EXPECT_EQ(nullptr, plain->content->vertexText);  // the texts go once the material exists
    EXPECT_TRUE(qeColourNear(0x404080BF, drawCentre(plain), 1));
    // the time goes out four times over: a float constant takes the first and leaves its neighbours
    qeIrrShaderSetTime(plain, 0.25f);
    EXPECT_TRUE(qeColourNear(0x804080BF, drawCentre(plain), 1));
    const float red[4] = {1, 0, 0.5f, 1};
    ASSERT_EQ(0, qeIrrShaderSetParamFloatsByName(plain, "tint", red, 4));
    EXPECT_TRUE(qeColourNear(0x80FF0080, drawCentre(plain), 1));

    ShaderObject* switched = make("plain.hlsl", text, {"RED"});
    ASSERT_NE(nullptr, switched);
    EXPECT_EQ(0xFFFF0000u, drawCentre(switched));

    // at most 18 macros
    std::vector<std::string> names;
    for (int i = 0; i < 19; ++i) names.push_back("M" + std::to_string(i));
    std::vector<const char*> macros;
    for (const std::string& n : names) macros.push_back(n.c_str());
    testing::internal::CaptureStdout();
    EXPECT_EQ(nullptr, make("plain.hlsl", text, macros));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("Too many Macros for shader"));
    EXPECT_EQ(-1, qeIrrShaderGetMaterialType(shaders.back()));
    macros.pop_back();
    EXPECT_NE(nullptr, make("plain.hlsl", text, macros));
}

TEST_F(ShaderMaterials, MatricesAndLightStructMembersArriveAsTheShaderReadsThem) {
    core::matrix4 world;
    world.setTranslation(core::vector3df(0.25f, 0.5f, 0.75f));
    qeIrrlichtGetContext()->driver->setTransform(video::ETS_WORLD, world);
    scene::ISceneManager* smgr = qeIrrlichtGetContext()->smgr;
    g_lights = {smgr->addLightSceneNode(nullptr, core::vector3df(), video::SColorf(0, 0, 1, 1)),
                smgr->addLightSceneNode(nullptr, core::vector3df(), video::SColorf(1, 0.5f, 0, 1))};
    g_lights[0]->setLightType(video::ELT_DIRECTIONAL);

    const std::string text =
        std::string(
            "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
            "//float4x4 World : World : pixel\n"
            "//floatN Literal : 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1 : pixel\n"
            "//float3 LightParams : LightParams\n//float3 LightsNum : LightsNum\n//[QIRN_END]\n"
            "float4x4 World;\nfloat4x4 Literal;\n"
            "struct LightParam { float3 LightColor; float3 LightPosition; float3 LightDirection;\n"
            "  float InvLightRadiusSqr; float2 SpotlightAngles; };\n"
            "LightParam LightParams[5];\n"
            "struct LightCounts { float LightDirsNum; float LightPointsNum; float LightSpotsNum; };\n"
            "LightCounts LightsNum;\n") +
        kVertexMain +
        "float4 psMain() : COLOR {\n"
        "#ifdef USE_LIGHTS\n  return float4(LightParams[1].LightColor, LightsNum.LightPointsNum / 4);\n"
        "#elif defined(USE_LITERAL)\n  return float4(mul(float4(0, 0, 0, 1), Literal).xyz, 1);\n"
        "#else\n  return float4(mul(World, float4(0, 0, 0, 1)).xyz, 1);\n#endif\n}\n";
    // a semantic matrix arrives transposed: the shader multiplies with the matrix first
    ShaderObject* semantic = make("matrices.hlsl", text);
    ASSERT_NE(nullptr, semantic);
    EXPECT_TRUE(qeColourNear(0xFF4080BF, drawCentre(semantic), 1));
    // a literal set by name from an engine matrix arrives as it is: the position goes first
    ShaderObject* literal = make("matrices.hlsl", text, {"LITERAL"});
    ASSERT_NE(nullptr, literal);
    ASSERT_EQ(0, qeIrrShaderSetParamFloatsByName(literal, "Literal", world.pointer(), 16));
    EXPECT_TRUE(qeColourNear(0xFF4080BF, drawCentre(literal), 1));
    // "LightParams[1].LightColor" and "LightsNum.LightPointsNum" resolve through the constant table
    ShaderObject* lights = make("matrices.hlsl", text, {"LIGHTS"});
    ASSERT_NE(nullptr, lights);
    EXPECT_TRUE(qeColourNear(0x40FF8000, drawCentre(lights), 1));
    for (scene::ILightSceneNode* light : g_lights) light->remove();
    g_lights.clear();
}

TEST_F(ShaderMaterials, AnAssemblerPairTakesFloatAndIntegerRegisters) {
    files->write("pair.vsh", "vs_3_0\ndcl_position v0\ndcl_position o0\nmov o0, v0\n");
    const std::string pixel =
        "//[QIRN_BEGIN]\n//float4 Colour : 0.5,0.25,1,1 : c2\n//int Count : 3 : i0\n//[QIRN_END]\n"
        "ps_3_0\ndef c1, 0.25, 0, 0, 0\nmov r1, c1.y\nrep i0\nadd r1.x, r1.x, c1.x\nendrep\n"
        "mov r0.xyz, c2\nmov r0.w, r1.x\nmov oC0, r0\n";
    ShaderObject* pair = make("pair.psh", pixel);
    ASSERT_NE(nullptr, pair);
    EXPECT_EQ(0, pair->hlsl);
    EXPECT_TRUE(qeColourNear(0xBF8040FF, drawCentre(pair), 1));
}

TEST_F(ShaderMaterials, OneOneAndSubColourBaseMaterialsBlendWhateverTheMaterialParameter) {
    const std::string text = std::string(
                                 "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
                                 "//QIRN_PP:U:SUB://config baseMaterial : transparent_one_one\n"
                                 "//QIRN_PP:D:SUB://config baseMaterial : transparent_sub_color\n//[QIRN_END]\n") +
                             kVertexMain + "float4 psMain() : COLOR { return float4(0.25, 0.25, 0.25, 1); }\n";
    ShaderObject* add = make("blend.hlsl", text);
    ShaderObject* sub = make("blend.hlsl", text, {"SUB"});
    ASSERT_NE(nullptr, add);
    ASSERT_NE(nullptr, sub);
    const video::SColor grey(255, 64, 64, 64);
    // a post quad's parameter is 0, a surface's holds its marker: both blend as the base material says
    const u32 added = drawCentre(add, grey);
    const u32 markedAdded = drawCentre(add, grey, QE_MARKER_SURFACE);
    const u32 darkened = drawCentre(sub, grey, QE_MARKER_SURFACE);
    EXPECT_TRUE(qeColourNear(0xFF808080, added, 1)) << std::hex << added;
    EXPECT_TRUE(qeColourNear(0xFF808080, markedAdded, 1)) << std::hex << markedAdded;
    // the destination keeps 1 - source of every channel: a whole source alpha leaves none
    EXPECT_TRUE(qeColourNear(0x00303030, darkened, 1)) << std::hex << darkened;
}

TEST_F(ShaderMaterials, TheTransparentPassSetsTheBlendFactorFromTheSurfaceGlow) {
    const std::string text = std::string(
                                 "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
                                 "//config baseMaterial : transparent_add_color\n//[QIRN_END]\n") +
                             kVertexMain + "float4 psMain() : COLOR { return float4(0.25, 0.25, 0.25, 1); }\n";
    ShaderObject* glow = make("glow.hlsl", text);
    ASSERT_NE(nullptr, glow);
    EngineContext* ctx = qeIrrlichtGetContext();
    IDirect3DDevice9* device = static_cast<IDirect3DDevice9*>(ctx->driver->getExposedVideoData().D3D9.D3DDev9);
    g_channels[QE_SHADER_CHANNEL_GLOW_VALUE].type = 1;
    g_channels[QE_SHADER_CHANNEL_GLOW_VALUE].value.f[0] = 0.5f;
    DWORD factor = 1;
    ctx->smgr->setSceneNodeRenderPass(scene::ESNRP_TRANSPARENT);
    drawCentre(glow, video::SColor(255, 0, 0, 0), QE_MARKER_SURFACE);
    device->GetRenderState(D3DRS_BLENDFACTOR, &factor);
    EXPECT_EQ(0x7F000000u, factor);
    drawCentre(glow);  // no surface: the factor goes back to 0
    device->GetRenderState(D3DRS_BLENDFACTOR, &factor);
    EXPECT_EQ(0u, factor);
    ctx->smgr->setSceneNodeRenderPass(scene::ESNRP_NONE);
}

// Material types stay with the driver until it goes: a shader made again of the same files and macros takes
// back the material of one destroyed before (reading its file again), and nothing else does. Last: it
// restarts the engine.
TEST_F(ShaderMaterials, AShaderMadeAgainTakesBackTheMaterialOfADestroyedOne) {
    auto tinted = [](const char* tint) {
        return std::string("//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n"
                           "//float4 Tint : ") +
               tint + " : pixel\n//[QIRN_END]\nfloat4 Tint;\n" + kVertexMain +
               "float4 psMain() : COLOR {\n#ifdef USE_RED\n  return float4(1, 0, 0, 1);\n#else\n  return Tint;\n"
               "#endif\n}\n";
    };
    auto release = [this](ShaderObject* shader) {
        shaders.erase(std::find(shaders.begin(), shaders.end(), shader));
        qeIrrShaderDestroy(shader);
    };
    video::IVideoDriver* driver = qeIrrlichtGetContext()->driver;
    const int kept = qeIrrShaderKeptCount();  // the earlier cases' shaders, kept with their materials
    ShaderObject* first = make("again.hlsl", tinted("0.25,0.5,0.75,1"));
    ASSERT_NE(nullptr, first);
    const int type = qeIrrShaderGetMaterialType(first);
    // a shader alive has a material of its own: its constants are its own
    ShaderObject* second = make("again.hlsl", tinted("0.25,0.5,0.75,1"));
    ASSERT_NE(nullptr, second);
    EXPECT_NE(type, qeIrrShaderGetMaterialType(second));
    const u32 renderers = driver->getMaterialRendererCount();
    release(first);
    EXPECT_EQ(kept + 1, qeIrrShaderKeptCount());

    // the file is read again (another literal), the material is the first one's
    ShaderObject* again = make("again.hlsl", tinted("1,0.5,0,1"));
    ASSERT_NE(nullptr, again);
    EXPECT_EQ(type, qeIrrShaderGetMaterialType(again));
    EXPECT_EQ(renderers, driver->getMaterialRendererCount());
    EXPECT_EQ(kept, qeIrrShaderKeptCount());
    EXPECT_NE(nullptr, again->content);
    u32 drawn = drawCentre(again);
    EXPECT_TRUE(qeColourNear(0xFFFF8000, drawn, 1)) << std::hex << drawn;
    drawn = drawCentre(second);
    EXPECT_TRUE(qeColourNear(0xFF4080BF, drawn, 1)) << std::hex << drawn;
    const float green[4] = {0, 1, 0, 1};
    ASSERT_EQ(0, qeIrrShaderSetParamFloatsByName(again, "Tint", green, 4));
    EXPECT_EQ(0xFF00FF00u, drawCentre(again));

    // other macros make another program
    release(again);
    ShaderObject* red = make("again.hlsl", tinted("1,0.5,0,1"), {"RED"});
    ASSERT_NE(nullptr, red);
    EXPECT_NE(type, qeIrrShaderGetMaterialType(red));
    EXPECT_EQ(0xFFFF0000u, drawCentre(red));
    EXPECT_EQ(kept + 1, qeIrrShaderKeptCount());

    // an assembler pair is compiled from its texts: changed texts make another material
    files->write("kept.vsh", "vs_3_0\ndcl_position v0\ndcl_position o0\nmov o0, v0\n");
    ShaderObject* pair = make("kept.psh", "ps_3_0\ndef c0, 0, 0, 1, 1\nmov oC0, c0\n");
    ASSERT_NE(nullptr, pair);
    const int pairType = qeIrrShaderGetMaterialType(pair);
    release(pair);
    pair = make("kept.psh", "ps_3_0\ndef c0, 0, 1, 0, 1\nmov oC0, c0\n");
    ASSERT_NE(nullptr, pair);
    EXPECT_NE(pairType, qeIrrShaderGetMaterialType(pair));
    EXPECT_EQ(0xFF00FF00u, drawCentre(pair));

    // a new device: what was kept went with the old one, and shaders of the old one are not kept
    qeIrrlichtTerm();
    target = nullptr;
    EXPECT_EQ(0, qeIrrShaderKeptCount());
    ASSERT_EQ(0, qetest::startShaderEngine(QIRN_OUTPUT_DIR, files->mkdir("cache-restarted")));
    release(red);
    EXPECT_EQ(0, qeIrrShaderKeptCount());
    ShaderObject* fresh = make("again.hlsl", tinted("0,0,1,1"));
    ASSERT_NE(nullptr, fresh);
    drawn = drawCentre(fresh);
    EXPECT_TRUE(qeColourNear(0xFF0000FF, drawn, 1)) << std::hex << drawn;
}

}  // namespace
