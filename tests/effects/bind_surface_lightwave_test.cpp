// The surface binds: LightWave channels and hypervoxel parameters of the surface that the node
// extension holds for the material being drawn, and the messages when there is none.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "IQeSceneNodeExt.h"
#include "bind_fixture.h"
#include "binds/CQeEffectBindLightwave.h"

using irr::f32;
using irr::u32;
using qetest::Constant;

namespace {

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
    std::vector<float> value(IQeEffectBind& bind, Constant c) {
        if (!c.ask(bind)) return {};
        services.sets.clear();
        c.set(services);
        return qetest::lastSent(services);
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

    EXPECT_EQ(value(bind, Constant("LW_Glossiness", EQEPT_FLOAT, EQESS_PIXEL, 2)),
              (std::vector<float>{0.4f, 0, 0, 0}));
    EXPECT_EQ(value(bind, Constant("LW_BaseColor", EQEPT_FLOAT3, EQESS_VERTEX)),
              (std::vector<float>{0.5f, 0.25f, 1}));
    EXPECT_EQ(value(bind, Constant("LW_Sidedness", EQEPT_INT)), std::vector<float>{3});
    EXPECT_EQ(value(bind, Constant("LW_Roughness", EQEPT_FLOAT2, EQESS_PIXEL, 4)), std::vector<float>{64});

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

    EXPECT_EQ(value(bind, Constant("LWHV_Color")), (std::vector<float>{0.5f, 0, 0, 0.75f}));
    EXPECT_EQ(value(bind, Constant("LWHV_Size", EQEPT_FLOAT, EQESS_VERTEX, 3)), std::vector<float>{0.2f});
    EXPECT_EQ(services.sets.back().name, "c");  // by name whatever the register
    const std::vector<float> keys = value(bind, Constant("LWHV_ColorKeyValues"));
    ASSERT_EQ(keys.size(), 36u);
    EXPECT_EQ(keys[35], 9);
    const std::vector<float> sizesVertex = value(bind, Constant("LWHV_SizeKeyValues", EQEPT_FLOAT, EQESS_VERTEX));
    const std::vector<float> sizesPixel = value(bind, Constant("LWHV_SizeKeyValues", EQEPT_FLOAT, EQESS_PIXEL));
    ASSERT_EQ(sizesVertex.size(), 9u);
    EXPECT_EQ(sizesVertex[8], 9);
    EXPECT_EQ(sizesPixel.size(), 8u);
}

}  // namespace
