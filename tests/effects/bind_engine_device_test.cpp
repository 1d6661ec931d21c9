// The transform and camera binds on a Direct3D 9 device, whose driver keeps the transforms it is given.
#include <gtest/gtest.h>

#include <vector>

#include "bind_fixture.h"
#include "binds/CQeEffectBindEngine.h"

using irr::u32;
using irr::core::matrix4;
using irr::core::vector3df;
using qetest::Constant;

namespace {

class EngineBindsDevice : public testing::Test {
protected:
    void SetUp() override {
        irr::SIrrlichtCreationParameters params;
        params.DriverType = irr::video::EDT_DIRECT3D9;
        params.WindowSize = irr::core::dimension2d<u32>(160, 120);
        device = irr::createDeviceEx(params);
        ASSERT_NE(device, nullptr);
        driver = device->getVideoDriver();
        smgr = device->getSceneManager();
    }
    void TearDown() override {
        if (!device) return;
        device->closeDevice();
        device->run();
        device->drop();
    }
    std::vector<float> value(IQeEffectBind& bind, Constant c) {
        if (!c.ask(bind)) return {};
        services.sets.clear();
        c.set(services);
        return qetest::lastSent(services);
    }

    irr::IrrlichtDevice* device = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
    irr::scene::ISceneManager* smgr = nullptr;
    qetest::RecordingServices services;
};

matrix4 fromFloats(const std::vector<float>& f) {
    matrix4 m;
    for (u32 i = 0; i < 16; ++i) m[i] = f.at(i);
    return m;
}

TEST_F(EngineBindsDevice, TransformsApplyWorldFirstAndSwapOrderForRegisters) {
    CQeEffectBindTransform bind(device);
    matrix4 world, view, projection;
    world.setScale(vector3df(2, 2, 2));
    view.setTranslation(vector3df(1, 2, 3));
    projection.setScale(vector3df(1, 1, 0.5f));
    driver->setTransform(irr::video::ETS_WORLD, world);
    driver->setTransform(irr::video::ETS_VIEW, view);
    driver->setTransform(irr::video::ETS_PROJECTION, projection);

    // (1, 1, 1) scaled by the world, moved by the view, squeezed by the projection
    const std::vector<float> wvp = value(bind, Constant("WorldViewProjection", EQEPT_FLOAT4X4, EQESS_VERTEX));
    ASSERT_EQ(wvp.size(), 16u);
    vector3df p(1, 1, 1);
    fromFloats(wvp).transformVect(p);
    EXPECT_TRUE(p.equals(vector3df(3, 4, 2.5f))) << p.X << " " << p.Y << " " << p.Z;
    EXPECT_TRUE(services.sets.back().vertex);
    EXPECT_EQ(services.sets.back().name, "c");

    // registers take the other order; the transposed semantic swaps both
    const std::vector<float> byRegister = value(bind, Constant("WorldViewProjection", EQEPT_FLOAT4X4, EQESS_PIXEL, 4));
    EXPECT_FALSE(services.sets.back().vertex);
    EXPECT_EQ(services.sets.back().reg, 4);
    EXPECT_EQ(fromFloats(byRegister), fromFloats(wvp).getTransposed());
    EXPECT_EQ(value(bind, Constant("WorldViewProjectionTranspose", EQEPT_FLOAT4X4)), byRegister);
    EXPECT_EQ(value(bind, Constant("WorldViewProjectionTranspose", EQEPT_FLOAT4X4, EQESS_PIXEL, 0)), wvp);

    // inverses; a singular view stays as it is
    vector3df origin(0, 0, 0);
    fromFloats(value(bind, Constant("ViewInverse"))).transformVect(origin);
    EXPECT_TRUE(origin.equals(vector3df(-1, -2, -3)));
    matrix4 singular;
    singular.makeIdentity();
    singular[0] = 0;
    driver->setTransform(irr::video::ETS_VIEW, singular);
    EXPECT_EQ(fromFloats(value(bind, Constant("ViewInverse"))), singular);

    Constant unknown("Viewport");
    EXPECT_FALSE(unknown.ask(bind));
    Constant geometry("World", EQEPT_FLOAT4X4, EQESS_GEOMETRY);
    EXPECT_FALSE(geometry.ask(bind));
}

TEST_F(EngineBindsDevice, CameraValuesOnlyWithAnActiveCamera) {
    CQeEffectBindCamera bind(device);
    Constant eye("ViewPosition");
    ASSERT_TRUE(eye.ask(bind));
    services.sets.clear();
    EXPECT_FALSE(eye.set(services));
    EXPECT_TRUE(services.sets.empty());

    irr::scene::ICameraSceneNode* camera = smgr->addCameraSceneNode(nullptr, vector3df(0, 0, -5), vector3df(0, 0, 0));
    camera->setFarValue(100);
    camera->updateAbsolutePosition();
    camera->render();  // the view transform and the frustum
    EXPECT_EQ(value(bind, Constant("ViewPosition")), (std::vector<float>{0, 0, -5, 1}));
    EXPECT_EQ(value(bind, Constant("ZFarValue", EQEPT_FLOAT)), std::vector<float>{100});
    // far-left-up, far-right-up, far-left-down, far-right-down in view space
    const std::vector<float> c = value(bind, Constant("FrustrumFarCorners"));
    ASSERT_EQ(c.size(), 12u);
    for (u32 i = 0; i < 4; ++i) EXPECT_NEAR(c[3 * i + 2], 100, 0.01) << i;
    EXPECT_LT(c[0], 0);
    EXPECT_GT(c[3], 0);
    EXPECT_GT(c[1], 0);
    EXPECT_LT(c[7], 0);
    EXPECT_FLOAT_EQ(c[0], c[6]);
    EXPECT_FLOAT_EQ(c[1], c[4]);
}

}  // namespace
