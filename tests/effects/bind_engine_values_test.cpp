// The engine-value binds that the null driver can feed: times, screen sizes, the ambient light and the
// frame's dynamic lights, each with the values it hands to the shader and what it does without the
// services it reads. (Transforms and the camera need a driver that keeps its transforms: see
// bind_engine_device_test.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IQeRenderServices.h"
#include "IQeSceneManager.h"
#include "bind_fixture.h"
#include "binds/CQeEffectBindEngine.h"

using irr::f32;
using irr::s32;
using irr::u32;
using irr::core::vector3df;
using qetest::Constant;

namespace {

class FixedSceneManager : public IQeSceneManager {
public:
    irr::scene::ISceneNode* addMeshSceneNodeFromFile(const irr::io::path&, irr::scene::ISceneNode*, s32) override {
        return nullptr;
    }
    IQeParticleSystemSceneNode* createMeshParticleSystemSceneNode(irr::scene::ISceneNode*, irr::scene::ISceneNode*,
                                                                  s32) override {
        return nullptr;
    }
    IQeParticleSystemSceneNode* createAnimatedMeshParticleSystemSceneNode(irr::scene::ISceneNode*,
                                                                          irr::scene::ISceneNode*, s32) override {
        return nullptr;
    }
    IQeParticleSystemSceneNode* createParticleSystemSceneNode(irr::scene::ISceneNode*, s32) override { return nullptr; }
    irr::scene::ISceneNode* cloneSceneNode(irr::scene::ISceneNode*) override { return nullptr; }
    IQeSceneNodeExt* createSceneNodeExt(irr::scene::ISceneNode*) override { return nullptr; }
    void setSceneTime(u32 ms) override { time = ms; }
    u32 getSceneTime() override { return time; }
    u32 time = 0;
};

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
    // The floats the bind sends for the constant; empty when it does not claim it or sends nothing.
    std::vector<float> value(IQeEffectBind& bind, Constant c) {
        if (!c.ask(bind)) return {};
        services.sets.clear();
        c.set(services);
        return qetest::lastSent(services);
    }
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
    FixedSceneManager scene;
    CQeEffectBindTime bind(device, &scene);
    device->getTimer()->setTime(2500);
    EXPECT_EQ(value(bind, Constant("Time0_X", EQEPT_FLOAT)), std::vector<float>{2.5f});
    scene.setSceneTime(1250);
    EXPECT_EQ(value(bind, Constant("TimeScene", EQEPT_FLOAT)), std::vector<float>{1.25f});

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
        const std::vector<float> v = value(bind, Constant(row.semantic, EQEPT_FLOAT2, EQESS_VERTEX, 3));
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
    EXPECT_EQ(value(bind, Constant("LightsNum", EQEPT_USERTYPE, EQESS_PIXEL, 6)),
              (std::vector<float>{3, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(services.sets.back().reg, 6);
    // register 0 means by name, member by member
    value(bind, Constant("LightParams", EQEPT_USERTYPE, EQESS_PIXEL, 0));
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
    const std::vector<float> registers = value(bind, Constant("LightParams", EQEPT_USERTYPE, EQESS_PIXEL, 10));
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

}  // namespace
