// The shader constant callback against a recording constant setter, on a null device: what each
// declared parameter sends, by name for HLSL and by register for assembler programs.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine_context.h"
#include "idtable.h"
#include "lights.h"
#include "scene_access.h"
#include "shader_material.h"
#include "shader_object.h"

using namespace irr;

namespace {

struct Send {
    bool vertex;
    std::string name;  // HLSL
    int reg;           // assembler (-1 for HLSL)
    std::vector<f32> values;
};

class RecordingServices : public video::IMaterialRendererServices {
public:
    explicit RecordingServices(video::IVideoDriver* driver) : driver_(driver) {}
    std::vector<Send> sends;

    void setBasicRenderStates(const video::SMaterial&, const video::SMaterial&, bool) override {}
    bool setVertexShaderConstant(const c8* name, const f32* floats, int count) override {
        return record(true, name, -1, floats, count);
    }
    bool setVertexShaderConstant(const c8*, const bool*, int) override { return false; }
    bool setVertexShaderConstant(const c8*, const s32*, int) override { return false; }
    void setVertexShaderConstant(const f32* data, s32 reg, s32 registers) override {
        record(true, "", reg, data, registers * 4);
    }
    bool setPixelShaderConstant(const c8* name, const f32* floats, int count) override {
        return record(false, name, -1, floats, count);
    }
    bool setPixelShaderConstant(const c8*, const bool*, int) override { return false; }
    bool setPixelShaderConstant(const c8*, const s32*, int) override { return false; }
    void setPixelShaderConstant(const f32* data, s32 reg, s32 registers) override {
        record(false, "", reg, data, registers * 4);
    }
    video::IVideoDriver* getVideoDriver() override { return driver_; }

    // The values sent under a name (HLSL), or empty when nothing was.
    std::vector<f32> named(const std::string& name, bool vertex = false) const {
        for (const Send& s : sends)
            if (s.name == name && s.vertex == vertex) return s.values;
        return {};
    }

private:
    bool record(bool vertex, const char* name, int reg, const f32* data, int count) {
        sends.push_back({vertex, name, reg, std::vector<f32>(data, data + count)});
        return true;
    }
    video::IVideoDriver* driver_;
};

// Light and surface stand-ins the callback reads through its look-ups.
std::vector<scene::ILightSceneNode*> g_lights;
SurfaceChannelEntry g_channels[QE_SHADER_CHANNEL_COUNT];
scene::ISceneNode* g_object = nullptr;
int objectIdAt(int n) { return n == 0 && g_object ? 5 : -1; }
scene::ISceneNode* objectOf(int id) { return id == 5 ? g_object : nullptr; }
scene::ILightSceneNode* lightAt(int n) { return n < static_cast<int>(g_lights.size()) ? g_lights[n] : nullptr; }
const SurfaceChannelEntry* channelsOf(const void*) { return g_channels; }

struct Callback : testing::Test {
    IrrlichtDevice* device = createDevice(video::EDT_NULL);
    EngineContext* ctx = qeIrrlichtGetContext();
    EngineContext saved = *ctx;
    RecordingServices services{device->getVideoDriver()};
    MyShaderCallBack callback;
    std::vector<ShaderObject*> shaders;

    Callback() {
        ctx->driver = device->getVideoDriver();
        ctx->smgr = device->getSceneManager();
        ctx->width = 101;
        ctx->height = 75;
        const ShaderLookups lookups = {objectIdAt, objectOf, lightAt, channelsOf};
        qeIrrShaderSetLookups(&lookups);
        qeIrrShaderMaterialReset();
        g_lights.clear();
        g_object = nullptr;
        std::memset(g_channels, 0, sizeof(g_channels));
    }
    ~Callback() override {
        for (ShaderObject* s : shaders) qeIrrShaderDestroy(s);
        qeIrrShaderSetLookups(nullptr);
        *ctx = saved;
        device->drop();
    }

    // A shader object with the header lines, HLSL or an assembler vertex file.
    ShaderObject* shader(const std::string& lines, bool hlsl = true) {
        std::string text = "//[QIRN_BEGIN]\n" + lines;
        ShaderObject* s = new ShaderObject();
        s->hlsl = hlsl ? 1 : 0;
        s->content = static_cast<ShaderFileContent*>(std::calloc(1, sizeof(ShaderFileContent)));
        qeIrrShaderParseHeader(&text[0], s->content, "test", hlsl ? 0 : 1, 0);
        shaders.push_back(s);
        return s;
    }

    // One draw of the shader with a material carrying the marker.
    const std::vector<Send>& draw(ShaderObject* s, uint32_t marker = 0, const void* address = nullptr) {
        video::SMaterial material;
        qeIrrlichtSetMaterialMarker(material, marker, address);
        services.sends.clear();
        callback.OnSetMaterial(material);
        callback.OnSetConstants(&services, static_cast<s32>(reinterpret_cast<intptr_t>(s)));
        return services.sends;
    }
};

TEST_F(Callback, LiteralsGoByNameOrAsWholeZeroPaddedRegisters) {
    ShaderObject* hlsl = shader(
        "//float3 Tint : 1,2,3 : pixel\n//int N : 4 : both\n//float4x4 M : 1\n//floatNRef R : 1\n"
        "//floatN F : 1,2,3,4,5,6 : vertex\n");
    const std::vector<Send>& sent = draw(hlsl);
    ASSERT_EQ(4u, sent.size());
    EXPECT_EQ((std::vector<f32>{1, 2, 3}), services.named("Tint"));
    EXPECT_EQ((std::vector<f32>{4}), services.named("N", true));
    EXPECT_EQ((std::vector<f32>{4}), services.named("N", false));
    EXPECT_EQ((std::vector<f32>{1, 2, 3, 4, 5, 6}), services.named("F", true));

    ShaderObject* assembler = shader("//floatN F : 1,2,3,4,5,6 : c3\n//float G : 9 : c8 : pixel\n", false);
    const std::vector<Send>& regs = draw(assembler);
    ASSERT_EQ(2u, regs.size());
    EXPECT_EQ(3, regs[0].reg);
    EXPECT_TRUE(regs[0].vertex);
    EXPECT_EQ((std::vector<f32>{1, 2, 3, 4, 5, 6, 0, 0}), regs[0].values);
    EXPECT_EQ((std::vector<f32>{9, 0, 0, 0}), regs[1].values);
}

TEST_F(Callback, MatricesAreTransposedForAssemblerProgramsOnly) {
    scene::ISceneNode* node = ctx->smgr->addEmptySceneNode();
    node->setPosition(core::vector3df(1, 2, 3));
    node->updateAbsolutePosition();
    g_object = node;
    const char* lines = "//float4x4 T : ObjectTrans0 : c4\n//float4x4 Second : ObjectTrans1 : c8\n";
    const std::vector<Send> hlsl = draw(shader(lines));
    const std::vector<Send> assembler = draw(shader(lines, false));
    ASSERT_EQ(1u, hlsl.size());  // no second object
    ASSERT_EQ(1u, assembler.size());
    const core::matrix4& m = node->getAbsoluteTransformation();
    const core::matrix4 t = m.getTransposed();
    EXPECT_EQ(std::vector<f32>(m.pointer(), m.pointer() + 16), hlsl[0].values);
    EXPECT_EQ(std::vector<f32>(t.pointer(), t.pointer() + 16), assembler[0].values);
    EXPECT_EQ(4, assembler[0].reg);
    EXPECT_EQ(3.0f, hlsl[0].values[14]);
}

TEST_F(Callback, ScreenAndCameraSettingsFollowTheContext) {
    ctx->render.dofFStop = 0.0f;
    ctx->render.bloomOn = 1;
    ctx->render.bloomCompose = 0.25f;
    ShaderObject* s = shader(
        "//float FocalRange : FocalRange : pixel\n//float DofMaxCoc : DofMaxCoc : pixel\n"
        "//float2 Half : HalfScreenHalfPixelSize : pixel\n//float2 Quarter : QuarterScreenHalfPixelSize : pixel\n"
        "//float Threshold : BloomThreshold : pixel\n//float4 Time : Time0_X : pixel\n"
        "//float4 Down : DownScale2x2Samples : pixel\n");
    qeIrrShaderSetTime(s, 1.5f);
    draw(s);
    EXPECT_EQ((std::vector<f32>{2.0f}), services.named("FocalRange"));
    EXPECT_FLOAT_EQ(400.0f, services.named("DofMaxCoc").at(0));
    EXPECT_EQ((std::vector<f32>{0.5f / 50, 0.5f / 37}), services.named("Half"));
    EXPECT_EQ((std::vector<f32>{0.5f / 25, 0.5f / 18}), services.named("Quarter"));
    EXPECT_EQ((std::vector<f32>{0.75f}), services.named("Threshold"));
    EXPECT_EQ((std::vector<f32>{1.5f, 1.5f, 1.5f, 1.5f}), services.named("Time"));
    EXPECT_EQ(-0.5f / 101, services.named("Down").at(0));
    // the offsets follow a new screen size
    ctx->width = 200;
    draw(s);
    EXPECT_EQ(-0.5f / 200, services.named("Down").at(0));
    EXPECT_EQ(0.5f / 75, services.named("Down").at(7));
}

TEST_F(Callback, LightsFillTheirSemanticsAndTheTableDirectionalFirst) {
    scene::ISceneManager* smgr = ctx->smgr;
    const video::E_LIGHT_TYPE types[6] = {video::ELT_POINT, video::ELT_SPOT,  video::ELT_DIRECTIONAL,
                                          video::ELT_POINT, video::ELT_SPOT, video::ELT_SPOT};
    for (int i = 0; i < 6; ++i) {
        scene::ILightSceneNode* light = smgr->addLightSceneNode(nullptr, core::vector3df(0, 0, 0),
                                                                video::SColorf(0.1f * (i + 1), 0, 0, 1), 2.0f);
        light->setLightType(types[i]);
        light->getLightData().InnerCone = 0.0f;
        g_lights.push_back(light);
    }
    ShaderObject* s = shader(
        "//float4 A0 : LightAmbient0 : pixel\n//float4 A1 : LightAmbient1 : pixel\n//float4 P1 : LightPos1 : pixel\n"
        "//float4 D1 : LightDiffuse1 : pixel\n//float3 Num : LightsNum\n//float3 Ini : LightsIni\n"
        "//float4 LightParams : LightParams\n");
    draw(s);
    EXPECT_EQ(0.2f, services.named("D1").at(0));
    EXPECT_EQ((std::vector<f32>{1}), services.named("LightsNum.LightDirsNum"));
    EXPECT_EQ((std::vector<f32>{2}), services.named("LightsNum.LightPointsNum"));
    EXPECT_EQ((std::vector<f32>{2}), services.named("LightsNum.LightSpotsNum"));
    EXPECT_EQ((std::vector<f32>{3}), services.named("LightsIni.LightSpotsIni"));
    // entries: the directional light (3rd), the points (1st, 4th), the first two spots (2nd, 5th)
    const f32 reds[5] = {0.3f, 0.1f, 0.4f, 0.2f, 0.5f};
    for (int i = 0; i < 5; ++i)
        EXPECT_FLOAT_EQ(reds[i], services.named("LightParams[" + std::to_string(i) + "].LightColor").at(0)) << i;
    EXPECT_EQ((std::vector<f32>{0.25f}), services.named("LightParams[1].InvLightRadiusSqr"));
    EXPECT_EQ(1.0f, services.named("LightParams[4].SpotlightAngles").at(0));

    // a point light of range 0 reaches nothing: it takes no entry (no infinite 1 / radius²), the third spot does
    g_lights[0]->getLightData().Radius = 0.0f;
    draw(s);
    for (const Send& sent : services.sends)
        for (f32 v : sent.values) EXPECT_TRUE(std::isfinite(v)) << sent.name;
    EXPECT_EQ((std::vector<f32>{1}), services.named("LightsNum.LightPointsNum"));
    EXPECT_EQ((std::vector<f32>{3}), services.named("LightsNum.LightSpotsNum"));
    EXPECT_FLOAT_EQ(0.6f, services.named("LightParams[4].LightColor").at(0));

    // one light: the second light's ambient colour falls back, its position is not sent
    g_lights.resize(1);
    draw(s);
    EXPECT_EQ((std::vector<f32>{0.05f, 0.05f, 0.05f, 0.05f}), services.named("A1"));
    EXPECT_EQ(4u, services.named("A0").size());
    EXPECT_TRUE(services.named("P1").empty());
    EXPECT_EQ((std::vector<f32>{0}), services.named("LightsNum.LightDirsNum"));
}

TEST_F(Callback, SurfaceAndParticleValuesComeThroughTheMarker) {
    const f32 base[3] = {0.1f, 0.2f, 0.3f};
    g_channels[0].type = 0;
    std::memcpy(g_channels[0].value.f, base, sizeof(base));
    g_channels[9].type = 1;
    g_channels[9].value.f[0] = 0.5f;
    g_channels[25].type = 2;
    g_channels[25].value.i[0] = 7;
    ShaderObject* s = shader(
        "//float3 Base : Surface_BaseColor : pixel\n//float Rough : Surface_Roughness : pixel\n"
        "//float3 Glow : Surface_GlowValue : pixel\n//float4 Colour : ParticleColor : pixel\n"
        "//float3 Stale : Surface_Diffuse : pixel\n//float3 Stale2 : Time0_X : pixel\n");
    // ids that are no semantic or channel (a float written over a bound parameter) are skipped
    s->content->params[4].value.id = QE_SHADER_CHANNEL_BASE + QE_SHADER_CHANNEL_COUNT;
    s->content->params[5].value.id = QE_SEM_COUNT;
    int surface = 0;
    draw(s, QE_MARKER_SURFACE, &surface);
    EXPECT_EQ((std::vector<f32>{0.1f, 0.2f, 0.3f}), services.named("Base"));
    EXPECT_EQ((std::vector<f32>{128.0f}), services.named("Rough"));
    EXPECT_EQ((std::vector<f32>{7, 0, 0}), services.named("Glow"));
    EXPECT_EQ(3u, services.sends.size());

    ParticleShaderBlock block = {};
    block.color[2] = 0.75f;
    draw(s, QE_MARKER_PARTICLE, &block);
    ASSERT_EQ(1u, services.sends.size());
    EXPECT_EQ((std::vector<f32>{0, 0, 0.75f, 0}), services.named("Colour"));
    EXPECT_TRUE(draw(s).empty());
}

TEST_F(Callback, TheLightTableReadsTheLightModulesVisibleLights) {
    ctx->lights = qeIdTableCreate(QE_MAX_LIGHTS);
    qeIrrShaderSetLookups(nullptr);  // the modules' own look-ups
    // six lights: point, spot, directional, point, spot, spot
    for (int id = 1; id <= 6; ++id) {
        qeIrrlichtMakeLight(id);
        qeIrrlichtSetLightRawColor(id, 0.1f * id, 0.0f, 0.0f);
    }
    qeIrrlichtSetSpotLight(2, 0.0f, 30.0f);
    qeIrrlichtSetDirectionalLight(3, 0.0f, 0.0f, 0.0f);
    qeIrrlichtSetSpotLight(5, 0.0f, 30.0f);
    qeIrrlichtSetSpotLight(6, 0.0f, 30.0f);
    ShaderObject* s = shader(
        "//float4 A1 : LightAmbient1 : pixel\n//float4 D1 : LightDiffuse1 : pixel\n//float3 Num : LightsNum\n"
        "//float4 LightParams : LightParams\n");
    draw(s);
    EXPECT_FLOAT_EQ(qeIrrlichtLightColourByte(0.2f), services.named("D1").at(0));
    EXPECT_EQ((std::vector<f32>{1}), services.named("LightsNum.LightDirsNum"));
    EXPECT_EQ((std::vector<f32>{2}), services.named("LightsNum.LightPointsNum"));
    EXPECT_EQ((std::vector<f32>{2}), services.named("LightsNum.LightSpotsNum"));
    // the directional light first, then the points, then the first two spots: five of six
    const int order[5] = {3, 1, 4, 2, 5};
    for (int i = 0; i < 5; ++i)
        EXPECT_FLOAT_EQ(qeIrrlichtLightColourByte(0.1f * order[i]),
                        services.named("LightParams[" + std::to_string(i) + "].LightColor").at(0)) << i;
    EXPECT_TRUE(services.named("LightParams[5].LightColor").empty());

    // one visible light: the second light's ambient colour falls back
    for (int id = 2; id <= 6; ++id) qeIrrlichtHideLight(id);
    draw(s);
    EXPECT_EQ((std::vector<f32>{0.05f, 0.05f, 0.05f, 0.05f}), services.named("A1"));
    EXPECT_EQ((std::vector<f32>{0}), services.named("LightsNum.LightDirsNum"));
    qeIrrlichtLightsReset();
    qeIdTableDestroy(ctx->lights);
}

TEST(MaterialMarker, KeepsItsBitsAndTheAddress) {
    video::SMaterial material;
    int target = 0;
    qeIrrlichtSetMaterialMarker(material, QE_MARKER_PARTICLE, &target);
    const void* address = nullptr;
    EXPECT_EQ(QE_MARKER_PARTICLE, qeIrrlichtGetMaterialMarker(material, &address));
    EXPECT_EQ(&target, address);
    video::SMaterial copy = material;
    EXPECT_EQ(QE_MARKER_PARTICLE, qeIrrlichtGetMaterialMarker(copy, nullptr));
}

}  // namespace
