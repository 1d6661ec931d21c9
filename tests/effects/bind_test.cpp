// The binds: the generic one, the engine values the null driver can feed (times, screen sizes, the
// frame's dynamic lights) and the surface binds, with the values they hand to the shader and what they
// do without the services or the surface they read.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "IQeRenderServices.h"
#include "IQeSceneNodeExt.h"
#include "runtime_fixture.h"
#include "surfaces/CQeSurfaceLightwave.h"
#include "surfaces/CQeSurfaceLightwaveHV.h"
#include "binds/CQeEffectBind.h"
#include "binds/CQeEffectBindEngine.h"
#include "binds/CQeEffectBindLightwave.h"
#include "managers/CQeSceneManager.h"

using irr::f32;
using irr::u32;
using irr::core::vector3df;

namespace {

using qetest::Constant;
using qetest::sent;

class ListServices : public IQeRenderServices {
public:
    void drawScreenQuad(IQeEffect*, u32, u32) override {}
    void getLightList(irr::core::array<irr::scene::ISceneNode*>& out) override { out = lights; }
    void getSolidNodeList(irr::core::array<irr::scene::ISceneNode*>&) override {}
    void getTransparentNodeList(irr::core::array<irr::scene::ISceneNode*>&) override {}
    void getTransparentEffectNodeList(irr::core::array<irr::scene::ISceneNode*>&) override {}
    irr::core::array<irr::scene::ISceneNode*> lights;
};

class EngineBinds : public testing::Test {
protected:
    void SetUp() override {
        device = irr::createDevice(irr::video::EDT_NULL, irr::core::dimension2d<u32>(1280, 720));
        ASSERT_NE(device, nullptr);
        driver = device->getVideoDriver();
        smgr = device->getSceneManager();
    }
    void TearDown() override { device->drop(); }
    irr::scene::ILightSceneNode* light(irr::video::E_LIGHT_TYPE type, f32 tag) {
        irr::scene::ILightSceneNode* node = smgr->addLightSceneNode();
        irr::video::SLight data;
        data.Type = type;
        data.DiffuseColor = irr::video::SColorf(tag, 0, 0, 1);
        data.Position = vector3df(tag, 1, 2);
        data.Direction = vector3df(0, -1, 0);
        data.Radius = 4;
        node->setLightData(data);
        return node;
    }

    irr::IrrlichtDevice* device = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    irr::scene::ISceneManager* smgr = nullptr;
    qetest::RecordingServices services;
};

TEST_F(EngineBinds, TimesInSecondsAndNothingWithoutTheSceneManagerOrTheCamera) {
    CQeSceneManager scene(device);
    CQeEffectBindTime bind(device, &scene);
    device->getTimer()->setTime(2500);
    EXPECT_EQ(sent(bind, Constant("Time0_X", EQEPT_FLOAT), services), std::vector<float>{2.5f});
    scene.setSceneTime(1250);
    EXPECT_EQ(sent(bind, Constant("TimeScene", EQEPT_FLOAT), services), std::vector<float>{1.25f});

    // without an active camera the camera bind sends nothing
    CQeEffectBindCamera camera(device);
    Constant eye("ViewPosition");
    ASSERT_TRUE(eye.ask(camera));
    EXPECT_FALSE(eye.set(services));

    CQeEffectBindTime orphan(device, nullptr);
    Constant sceneTime("TimeScene", EQEPT_FLOAT);
    ASSERT_TRUE(sceneTime.ask(orphan));
    services.sets.clear();
    EXPECT_FALSE(sceneTime.set(services));
    EXPECT_TRUE(services.sets.empty());
}

TEST_F(EngineBinds, ScreenSizesAt1280x720) {
    CQeEffectBindScreen bind(device);
    const struct {
        const char* semantic;
        float x, y;
    } rows[] = {{"TargetSize", 1280, 720},
                {"PixelSize", 1 / 1280.0f, 1 / 720.0f},
                {"ScreenSize", 1280, 720},
                {"ScreenHalfPixelSize", 0.000390625f, 0.00069444446f},
                {"HalfScreenPixelSize", 2 / 1280.0f, 2 / 720.0f},
                {"HalfScreenHalfPixelSize", 1 / 1280.0f, 1 / 720.0f},
                {"QuarterScreenPixelSize", 1 / 1280.0f, 1 / 720.0f},
                {"QuarterScreenHalfPixelSize", 0.5f / 1280.0f, 0.5f / 720.0f}};
    for (const auto& row : rows) {
        const std::vector<float> v = sent(bind, Constant(row.semantic, EQEPT_FLOAT2, EQESS_VERTEX, 3), services);
        ASSERT_EQ(v.size(), 2u) << row.semantic;
        EXPECT_FLOAT_EQ(v[0], row.x) << row.semantic;
        EXPECT_FLOAT_EQ(v[1], row.y) << row.semantic;
        EXPECT_EQ(services.sets.back().name, "c");  // by name whatever the register
    }
}

TEST_F(EngineBinds, LightParametersTakeFiveLightsByKind) {
    ListServices frame;
    CQeEffectBindLightParams bind(device, &frame);
    // list order: point, dir, point, spot, dir, point, point, dir
    const irr::video::E_LIGHT_TYPE kinds[] = {irr::video::ELT_POINT, irr::video::ELT_DIRECTIONAL,
                                              irr::video::ELT_POINT, irr::video::ELT_SPOT,
                                              irr::video::ELT_DIRECTIONAL, irr::video::ELT_POINT,
                                              irr::video::ELT_POINT, irr::video::ELT_DIRECTIONAL};
    for (u32 i = 0; i < 8; ++i) frame.lights.push_back(light(kinds[i], static_cast<f32>(i) / 10));
    ASSERT_TRUE(bind.onSetMaterial(nullptr, 0));
    const LightParamsBlock& b = bind.getBlock();
    EXPECT_EQ(b.dirCount, 3);
    EXPECT_EQ(b.pointCount, 2);
    EXPECT_EQ(b.spotCount, 0);
    // directional lights first in list order, then the first two point lights
    const float expectedColours[] = {0.1f, 0.4f, 0.7f, 0.0f, 0.2f};
    for (u32 i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(b.lights[i][0], expectedColours[i]) << i;
    EXPECT_FLOAT_EQ(b.lights[3][9], 1 / 16.0f);

    // by register 3 registers, values in the first components
    EXPECT_EQ(sent(bind, Constant("LightsNum", EQEPT_USERTYPE, EQESS_PIXEL, 6), services),
              (std::vector<float>{3, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(services.sets.back().reg, 6);
    EXPECT_EQ(sent(bind, Constant("LightsIni", EQEPT_USERTYPE, EQESS_PIXEL, 6), services),
              (std::vector<float>{0, 0, 0, 0, 3, 0, 0, 0, 5, 0, 0, 0}));
    // register 0 means by name, member by member
    sent(bind, Constant("LightParams", EQEPT_USERTYPE, EQESS_PIXEL, 0), services);
    ASSERT_EQ(services.sets.size(), 25u);
    EXPECT_EQ(services.sets[6].name, "LightParams[1].LightPosition");

    // a spot light alone: the first record, its cosines in the fifth register
    frame.lights.clear();
    irr::scene::ILightSceneNode* spot = light(irr::video::ELT_SPOT, 1);
    irr::video::SLight data = spot->getLightData();
    data.InnerCone = 0;
    data.OuterCone = 45;
    spot->setLightData(data);
    frame.lights.push_back(spot);
    bind.onSetMaterial(nullptr, 0);
    const std::vector<float> registers = sent(bind, Constant("LightParams", EQEPT_USERTYPE, EQESS_PIXEL, 10), services);
    ASSERT_EQ(registers.size(), 100u);
    EXPECT_FLOAT_EQ(registers[17], 0.70710677f);

    // pixel shaders only; without a light list nothing is sent
    CQeEffectBindLightParams orphan(device, nullptr);
    EXPECT_TRUE(orphan.onSetMaterial(nullptr, 0));
    Constant num("LightsNum", EQEPT_USERTYPE);
    ASSERT_TRUE(num.ask(orphan));
    services.sets.clear();
    EXPECT_FALSE(num.set(services));
    EXPECT_TRUE(services.sets.empty());
}

class SurfaceBinds : public testing::Test {
protected:
    void SetUp() override {
        device = irr::createDevice(irr::video::EDT_NULL);
        ASSERT_NE(device, nullptr);
        irr::scene::SMesh* mesh = new irr::scene::SMesh();
        for (int i = 0; i < 3; ++i) {
            irr::scene::SMeshBuffer* buffer = new irr::scene::SMeshBuffer();
            mesh->addMeshBuffer(buffer);
            buffer->drop();
        }
        node = device->getSceneManager()->addMeshSceneNode(mesh);
        mesh->drop();
        ext = createQeSceneNodeExt(node);
        node->addAnimator(ext);
        ext->drop();
        lw = new CQeSurfaceLightwave();
        hv = new CQeSurfaceLightwaveHV();
        ext->setSurface(0, lw);
        ext->setSurface(1, hv);
    }
    void TearDown() override {
        lw->drop();
        hv->drop();
        device->drop();
    }
    SQeNodeExtMaterial record(u32 material, irr::scene::ISceneNode* at) {
        SQeNodeExtMaterial r;
        r.node = at;
        r.materialIndex = material;
        return r;
    }

    irr::IrrlichtDevice* device = nullptr;
    irr::scene::IMeshSceneNode* node = nullptr;
    IQeSceneNodeExt* ext = nullptr;
    CQeSurfaceLightwave* lw = nullptr;
    CQeSurfaceLightwaveHV* hv = nullptr;
    qetest::RecordingServices services;
};

TEST_F(SurfaceBinds, LightwaveChannelsByTypeAndRoughness) {
    CQeEffectBindLightwave bind(device);
    lw->setChannelFloat(LWC_Glossiness, 0.4f);
    lw->setChannelVector(LWC_BaseColor, 0.5f, 0.25f, 1);
    lw->setChannelInt(LWC_Sidedness, 3);
    const SQeNodeExtMaterial r = record(0, node);
    ASSERT_TRUE(bind.onSetMaterial(&r, 0));

    EXPECT_EQ(sent(bind, Constant("LW_Glossiness", EQEPT_FLOAT, EQESS_PIXEL, 2), services),
              (std::vector<float>{0.4f, 0, 0, 0}));
    EXPECT_EQ(sent(bind, Constant("LW_BaseColor", EQEPT_FLOAT3, EQESS_VERTEX), services),
              (std::vector<float>{0.5f, 0.25f, 1}));
    EXPECT_EQ(sent(bind, Constant("LW_Sidedness", EQEPT_INT), services), std::vector<float>{3});
    EXPECT_EQ(sent(bind, Constant("LW_Roughness", EQEPT_FLOAT2, EQESS_PIXEL, 4), services), std::vector<float>{64});

    // left to the binds after it: other types, names that are not channels, other stages
    for (Constant c : {Constant("LW_Glossiness", EQEPT_FLOAT2), Constant("LW_", EQEPT_FLOAT),
                       Constant("LW_IOR", EQEPT_FLOAT, EQESS_GEOMETRY)})
        EXPECT_FALSE(c.ask(bind)) << c.record.semantic;
    // a channel index out of range sends nothing
    Constant bad("LW_VertexNormal", EQEPT_FLOAT);
    ASSERT_TRUE(bad.ask(bind));
    EXPECT_EQ(bad.record.userData[0], 38u);
    bad.record.userData[0] = 39;
    EXPECT_FALSE(bad.set(services));
}

TEST_F(SurfaceBinds, MaterialsWithoutTheirSurfaceAreRefused) {
    qetest::LogCapture log;
    CQeEffectBindLightwave lwBind(device);
    CQeEffectBindLightwaveHV hvBind(device);
    const SQeNodeExtMaterial noNode = record(0, nullptr);
    EXPECT_FALSE(lwBind.onSetMaterial(&noNode, 0));
    EXPECT_TRUE(log.has(irr::ELL_ERROR, "CQeEffectBindLightwave::onSetMaterial : Missing matExt->Node"));
    irr::scene::ISceneNode* bare = device->getSceneManager()->addEmptySceneNode();
    const SQeNodeExtMaterial noExt = record(0, bare);
    EXPECT_FALSE(hvBind.onSetMaterial(&noExt, 0));
    EXPECT_TRUE(log.has(irr::ELL_ERROR, "CQeEffectBindLightwaveHV::onSetMaterial : Missing IQeSceneNodeExt"));
    const SQeNodeExtMaterial third = record(2, node);
    EXPECT_FALSE(lwBind.onSetMaterial(&third, 0));
    EXPECT_TRUE(log.has(irr::ELL_ERROR, "CQeEffectBindLightwave::onSetMaterial : Missing Surface at index 2"));
    const SQeNodeExtMaterial second = record(1, node), first = record(0, node);
    EXPECT_FALSE(lwBind.onSetMaterial(&second, 0));
    EXPECT_TRUE(log.has(irr::ELL_ERROR,
                        "CQeEffectBindLightwave::onSetMaterial : Unexpected Surface type != EQEST_LIGHTWAVE at index 1"));
    EXPECT_FALSE(hvBind.onSetMaterial(&first, 0));
    EXPECT_TRUE(log.has(
        irr::ELL_ERROR, "CQeEffectBindLightwaveHV::onSetMaterial : Unexpected Surface type != EQEST_LIGHTWAVEHV at index 0"));
    EXPECT_TRUE(hvBind.onSetMaterial(&second, 0));
}

TEST_F(SurfaceBinds, HypervoxelParametersFromTheTable) {
    CQeEffectBindLightwaveHV bind(device);
    LightwaveHVParams& p = *hv->getParameters();
    const irr::f32 colour[4] = {0.5f, 0, 0, 0.75f};
    std::memcpy(p.color, colour, sizeof(colour));
    p.size = 0.2f;
    p.colorKeyCount = 3;
    for (u32 i = 0; i < 9; ++i) {
        p.sizeKeyValues[i] = static_cast<f32>(i + 1);
        p.colorKeyParams[i] = static_cast<f32>(i) / 8;
    }
    p.colorKeyValues[8][3] = 9;
    const SQeNodeExtMaterial r = record(1, node);
    ASSERT_TRUE(bind.onSetMaterial(&r, 0));

    EXPECT_EQ(sent(bind, Constant("LWHV_Color"), services), (std::vector<float>{0.5f, 0, 0, 0.75f}));
    EXPECT_EQ(sent(bind, Constant("LWHV_Size", EQEPT_FLOAT, EQESS_VERTEX, 3), services), std::vector<float>{0.2f});
    EXPECT_EQ(services.sets.back().name, "c");  // by name whatever the register
    const std::vector<float> keys = sent(bind, Constant("LWHV_ColorKeyValues"), services);
    ASSERT_EQ(keys.size(), 36u);
    EXPECT_EQ(keys[35], 9);
    const std::vector<float> sizesVertex = sent(bind, Constant("LWHV_SizeKeyValues", EQEPT_FLOAT, EQESS_VERTEX), services);
    const std::vector<float> sizesPixel = sent(bind, Constant("LWHV_SizeKeyValues", EQEPT_FLOAT, EQESS_PIXEL), services);
    ASSERT_EQ(sizesVertex.size(), 9u);
    EXPECT_EQ(sizesVertex[8], 9);
    EXPECT_EQ(sizesPixel.size(), 8u);
}

}  // namespace
