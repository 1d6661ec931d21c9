// The transform and camera binds on a Direct3D 9 device, whose driver keeps the transforms it is given.
#include <gtest/gtest.h>

#include <vector>

#include "bind_fixture.h"
#include "effects_fixture.h"
#include "binds/CQeEffectBindEngine.h"

using irr::u32;
using irr::core::matrix4;
using irr::core::vector3df;
using qetest::Constant;

namespace {

class EngineBindsDevice : public qetest::D3D9Test {
protected:
    EngineBindsDevice() : D3D9Test(160, 120) {}
    std::vector<float> value(IQeEffectBind& bind, Constant c) {
        if (!c.ask(bind)) return {};
        services.sets.clear();
        c.set(services);
        return qetest::lastSent(services);
    }
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

    // registers take the other order; the transposed semantic swaps both
    const std::vector<float> byRegister = value(bind, Constant("WorldViewProjection", EQEPT_FLOAT4X4, EQESS_PIXEL, 4));
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

}

}  // namespace
