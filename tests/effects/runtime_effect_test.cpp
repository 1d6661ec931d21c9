// Runtime effects: their own parameter values, materials and textures, the constant callback with its
// draw record, tangents, and clones.
#include <gtest/gtest.h>

#include <vector>

#include "runtime_fixture.h"

using irr::f32;
using irr::s32;
using irr::u32;
using qetest::HandDef;

namespace {

class RuntimeEffect : public qetest::EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        def->addParam("M", EQEPT_FLOAT4X4);
        def->addParam("Tint", EQEPT_FLOAT4, "1 0.5 0.25 1");
        def->addParam("Eye", EQEPT_FLOAT3, "", "ViewPosition");
        def->addParam("Flag", EQEPT_BOOL, "1");
        def->addParam("Count", EQEPT_INT, "3");
        def->addParam("T", EQEPT_SAMPLER2D);
        SPass& p0 = def->addPass();
        HandDef::bind(p0.shaders[0], "m", "M");
        HandDef::bind(p0.shaders[1], "tint", "Tint");
        HandDef::bind(p0.shaders[1], "eye", "Eye");
        HandDef::state(p0, "texture2D", "", "T", 3);
        SPass& p1 = def->addPass();
        HandDef::state(p1, "texture2D", "", "T", 0);
        HandDef::bind(p1.shaders[1], "flag", "Flag");
        HandDef::bind(p1.shaders[1], "count", "Count");
        gpu.vsConstants = {{"m", 0}};
        gpu.psConstants = {{"tint", 1}, {"eye", 2}, {"flag", -1}, {"count", 5}};
        build();
        ASSERT_TRUE(ok) << error.c_str();
    }
    const SParameter* param(const char* name) { return def->getParameterByName(nullptr, name); }
    // Draws pass p of an effect through the callback, as the engine's material renderer does.
    void draw(IQeEffect* fx, u32 technique, u32 pass, u32 tag = QE_NODE_EXT_MATERIAL_TAG) {
        SQeNodeExtMaterial record;
        record.tag = tag;
        record.activeEffect = fx;
        record.technique = technique;
        record.pass = pass;
        irr::video::SMaterial material;
        qeMaterialSetRecord(material, &record);
        callback.OnSetMaterial(material);
        callback.OnSetConstants(&services, 0);
    }
    qetest::RecordingServices services;
};

TEST_F(RuntimeEffect, KeepsItsOwnValues) {
    effect->setValueInt(param("Count"), -4);
    s32 count = 0;
    effect->getValueInt(param("Count"), count);
    EXPECT_EQ(count, -4);
    // the definition keeps its defaults; records that are no parameter are refused
    def->getValueInt(param("Count"), count);
    EXPECT_EQ(count, 3);
    const SParameter* annotation = &def->effect().techniques[0].passes[0].shaders[0].annotations[0];
    EXPECT_FALSE(effect->setValueFloat(annotation, 1.0f));
    f32 first = -1;
    EXPECT_FALSE(effect->getValueFloat(nullptr, first));
}

TEST_F(RuntimeEffect, MaterialsAndTextures) {
    irr::video::ITexture* texture = device->getVideoDriver()->addTexture(irr::core::dimension2d<u32>(2, 2), "t");
    EXPECT_TRUE(effect->setTexture(param("T"), texture));
    // the sampler feeds layer 3 of pass 0 and layer 0 of pass 1
    EXPECT_EQ(effect->getTechniques()[0].passes[0].material.TextureLayer[3].Texture, texture);
    EXPECT_EQ(effect->getTechniques()[0].passes[1].material.TextureLayer[0].Texture, texture);

    irr::video::SMaterial material;
    material.Wireframe = true;
    EXPECT_FALSE(effect->setMaterial(0, 2, material));  // pass index equal to the pass count
    EXPECT_FALSE(effect->setMaterial(1, 0, material));
    EXPECT_TRUE(effect->setMaterial(0, 1, material));
    EXPECT_EQ(material.TextureLayer[0].Texture, texture);
    EXPECT_TRUE(material.Wireframe);  // other fields stay

    irr::video::SMaterial other;
    EXPECT_TRUE(effect->setTextureOnMaterial(0, 0, param("T"), other, texture));
    EXPECT_EQ(other.TextureLayer[3].Texture, texture);
    EXPECT_FALSE(effect->setTextureOnMaterial(0, 5, param("T"), other, texture));
}

TEST_F(RuntimeEffect, CallbackSetsThePassConstantsThroughItsBinds) {
    draw(effect, 0, 0);
    ASSERT_EQ(services.sets.size(), 3u);
    EXPECT_EQ(services.sets[0].floats.size(), 16u);  // the matrix: four registers
    EXPECT_EQ(services.sets[1].reg, 1);
    EXPECT_EQ(services.sets[1].floats, (std::vector<float>{1, 0.5f, 0.25f, 1}));
    EXPECT_EQ(services.sets[2].floats, (std::vector<float>{42, 0, 0, 0}));  // the semantic bind's value
    EXPECT_EQ(semantic.materialCalls, 1);
    services.sets.clear();
    draw(effect, 0, 1);
    ASSERT_EQ(services.sets.size(), 2u);
    EXPECT_EQ(services.sets[1].floats, (std::vector<float>{3, 0, 0, 0}));
    EXPECT_EQ(semantic.materialCalls, 1);  // not a bind of pass 1

    // nothing is set for a material without a record, a wrong marker, no effect, or indices out of range
    services.sets.clear();
    irr::video::SMaterial plain;
    callback.OnSetMaterial(plain);
    callback.OnSetConstants(&services, 0);
    draw(effect, 0, 0, 0x12345679);
    draw(nullptr, 0, 0);
    draw(effect, 0, 2);
    draw(effect, 3, 0);
    EXPECT_TRUE(services.sets.empty());

    // a bind that refuses its material stops all setters of that draw
    qetest::LogCapture log;
    semantic.answer = false;
    draw(effect, 0, 0);
    EXPECT_TRUE(services.sets.empty());
    EXPECT_TRUE(log.has(irr::ELL_ERROR, "CQeEffect::onSetShaderConstants : onSetMaterial() failed, abort"));
}

TEST_F(RuntimeEffect, ClonesOwnTheirValuesAndOutliveTheOriginal) {
    def->grab();
    const s32 defRefs = def->getReferenceCount();
    const s32 bindRefs = generic.getReferenceCount();
    IQeEffect* copy = effect->clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(def->getReferenceCount(), defRefs + 1);
    EXPECT_EQ(generic.getReferenceCount(), bindRefs + 1);
    const f32 red[4] = {1, 0, 0, 1};
    copy->setValueFloats(param("Tint"), red, 4);
    effect->drop();
    effect = nullptr;
    draw(copy, 0, 0);
    ASSERT_EQ(services.sets.size(), 3u);
    EXPECT_EQ(services.sets[1].floats, (std::vector<float>{1, 0, 0, 1}));  // the clone's own value
    copy->drop();
    EXPECT_EQ(def->getReferenceCount(), defRefs - 1);
    EXPECT_EQ(generic.getReferenceCount(), bindRefs - 1);
    def->drop();
}

}  // namespace
