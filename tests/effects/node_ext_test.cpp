// The scene-node extension: per-material effects and surfaces on the node's materials, technique and
// pass switches with the surface's textures, removal, tangent conversion and node copies.
#include <gtest/gtest.h>

#include "bind_fixture.h"
#include "runtime/CQeSceneNodeExt.h"

using irr::f32;
using irr::u32;
using qetest::HandDef;

namespace {

irr::scene::IMesh* meshOf(irr::scene::IMeshBuffer* first, u32 more = 0) {
    irr::scene::SMesh* mesh = new irr::scene::SMesh();
    mesh->addMeshBuffer(first);
    first->drop();
    for (u32 i = 0; i < more; ++i) {
        irr::scene::SMeshBuffer* b = new irr::scene::SMeshBuffer();
        mesh->addMeshBuffer(b);
        b->drop();
    }
    return mesh;
}

// One triangle with two texture-coordinate sets.
irr::scene::IMeshBuffer* twoUVTriangle() {
    irr::scene::SMeshBufferLightMap* b = new irr::scene::SMeshBufferLightMap();
    for (u32 i = 0; i < 3; ++i) {
        irr::video::S3DVertex2TCoords v(static_cast<f32>(i), static_cast<f32>(i == 1), 0, irr::video::SColor(255, 255, 255, 255),
                                        static_cast<f32>(i) / 2, 0, 0.1f * (i + 1), 0.2f * (i + 1));
        v.Normal.set(0, 0, -1);
        b->Vertices.push_back(v);
        b->Indices.push_back(static_cast<irr::u16>(i));
    }
    return b;
}

class NodeExt : public qetest::EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        smgr = device->getSceneManager();
        // technique 0: one pass; technique 1: a pass that samples the reflection image in layer 2, and
        // a second pass
        def->addParam("Refl", EQEPT_SAMPLER2D, "", "LW_Tex_ReflectionImage");
        def->addPass();
        def->effect().techniques.push_back(STechnique());
        HandDef::state(def->addPass(), "texture2D", "", "Refl", 2);
        def->addPass();
        ASSERT_NE(build(), nullptr);
        ASSERT_TRUE(ok) << error.c_str();
        irr::scene::IMesh* mesh = meshOf(new irr::scene::SMeshBuffer(), 2);
        node = smgr->addMeshSceneNode(mesh);
        mesh->drop();
        ext = static_cast<CQeSceneNodeExt*>(createQeSceneNodeExt(node));
        node->addAnimator(ext);
        ext->drop();
        surface->setChannelTexture(LWC_ReflectionImage,
                                   device->getVideoDriver()->addTexture(irr::core::dimension2d<u32>(4, 4), "reflection"));
        surface->setChannelFloat(LWC_Transparency, 0.5f);
    }
    void TearDown() override {
        smgr->clear();
        surface->drop();
        EffectTest::TearDown();
    }
    const SQeNodeExtMaterial* carried(irr::scene::ISceneNode* n, u32 i) { return qeMaterialGetRecord(n->getMaterial(i)); }

    irr::scene::ISceneManager* smgr = nullptr;
    irr::scene::IMeshSceneNode* node = nullptr;
    CQeSceneNodeExt* ext = nullptr;
    CQeSurfaceLightwave* surface = new CQeSurfaceLightwave();
};

TEST_F(NodeExt, EffectsOnMaterialsTechniquesAndRemoval) {
    ASSERT_EQ(ext->getRecordCount(), 3u);
    EXPECT_EQ(ext->getRecord(2)->tag, 0x123456u);
    node->getMaterial(0).MaterialType = irr::video::EMT_TRANSPARENT_ADD_COLOR;

    // the effect's first pass on material 1, which carries its record; setting it again changes nothing
    ext->setEffect(1, effect);
    ext->setEffect(1, effect);
    EXPECT_EQ(effect->getReferenceCount(), 2);
    EXPECT_EQ(node->getMaterial(1).MaterialType, 40);
    EXPECT_EQ(carried(node, 1), ext->getRecord(1));
    EXPECT_EQ(ext->getEffect(3), nullptr);
    ext->setEffect(3, effect);
    ext->setEffect(2, nullptr);
    EXPECT_EQ(effect->getReferenceCount(), 2);

    // techniques and passes that do not exist are refused; a technique without the pass starts at 0
    ext->setPass(0, 0);
    EXPECT_EQ(carried(node, 0), nullptr);
    ext->setTechnique(1, 2);
    ext->setPass(1, 1);
    EXPECT_EQ(ext->getRecord(1)->technique, 0u);
    EXPECT_EQ(ext->getRecord(1)->pass, 0u);
    ext->setTechnique(1, 1);
    ext->setPass(1, 1);
    EXPECT_EQ(ext->getRecord(1)->pass, 1u);

    // removal leaves a plain material that carries no record; twice is once
    ext->removeEffect(1);
    ext->removeEffect(1);
    EXPECT_EQ(effect->getReferenceCount(), 1);
    EXPECT_EQ(node->getMaterial(1).MaterialType, irr::video::EMT_SOLID);
    EXPECT_EQ(carried(node, 1), nullptr);
    // a material that never had an effect keeps its own
    ext->removeAllEffects();
    EXPECT_EQ(node->getMaterial(0).MaterialType, irr::video::EMT_TRANSPARENT_ADD_COLOR);

    // the extension's end takes its references and its record addresses with it
    ext->setEffect(2, effect);
    ext->setSurface(2, surface);
    EXPECT_EQ(surface->getReferenceCount(), 2);
    node->removeAnimator(ext);
    EXPECT_EQ(effect->getReferenceCount(), 1);
    EXPECT_EQ(surface->getReferenceCount(), 1);
    EXPECT_EQ(carried(node, 2), nullptr);
    EXPECT_EQ(getSceneNodeExt(node), nullptr);
}

TEST_F(NodeExt, TangentsWhenNeededKeepingTheSecondUVsAndTheMaterials) {
    // A node over the mesh with an extension holding the surface.
    auto extOn = [&](irr::scene::IMesh* mesh) {
        irr::scene::IMeshSceneNode* n = smgr->addMeshSceneNode(mesh);
        mesh->drop();
        IQeSceneNodeExt* e = createQeSceneNodeExt(n);
        n->addAnimator(e);
        e->drop();
        return e;
    };
    irr::scene::IMesh* source = meshOf(twoUVTriangle());
    IQeSceneNodeExt* meshExt = extOn(source);
    irr::scene::IMeshSceneNode* meshNode = static_cast<irr::scene::IMeshSceneNode*>(meshExt->getNode());
    EXPECT_FALSE(meshExt->updateTangents());  // nothing asks for tangents yet
    irr::video::ITexture* bump = device->getVideoDriver()->addTexture(irr::core::dimension2d<u32>(4, 4), "bump");
    surface->setChannelTexture(LWC_Bump, bump);
    surface->setChannelTexture(LWC_Luminosity, bump);
    meshExt->setEffect(0, effect);
    meshExt->setSurface(0, surface);
    ASSERT_TRUE(meshExt->updateTangents());
    irr::scene::IMeshBuffer* b = meshNode->getMesh()->getMeshBuffer(0);
    ASSERT_EQ(b->getVertexType(), irr::video::EVT_TANGENTS);
    const irr::video::S3DVertexTangents* v = static_cast<const irr::video::S3DVertexTangents*>(b->getVertices());
    for (u32 k = 0; k < b->getVertexCount(); ++k) {
        EXPECT_FLOAT_EQ(v[k].Binormal.X, 0.1f * (v[k].Pos.X + 1)) << k;
        EXPECT_FLOAT_EQ(v[k].Binormal.Y, 0.2f * (v[k].Pos.X + 1)) << k;
    }
    // the node's material still draws with the effect
    EXPECT_EQ(carried(meshNode, 0), static_cast<CQeSceneNodeExt*>(meshExt)->getRecord(0));

    // second coordinates that cannot be kept (a mesh without them): the node keeps its mesh
    irr::scene::SMeshBuffer* pb = new irr::scene::SMeshBuffer();
    for (u32 i = 0; i < 3; ++i) {
        pb->Vertices.push_back(irr::video::S3DVertex(static_cast<f32>(i), static_cast<f32>(i == 2), 0, 0, 0, -1,
                                                     irr::video::SColor(255, 255, 255, 255), 0, 0));
        pb->Indices.push_back(static_cast<irr::u16>(i));
    }
    irr::scene::IMesh* plain = meshOf(pb);
    plain->grab();
    IQeSceneNodeExt* plainExt = extOn(plain);
    plainExt->setSurface(0, surface);
    EXPECT_FALSE(plainExt->updateTangents());
    EXPECT_EQ(static_cast<irr::scene::IMeshSceneNode*>(plainExt->getNode())->getMesh(), plain);
    plain->drop();

    // an effect that asks for tangents is enough
    def->annotate(def->effect().techniques[1].annotations, "tangents", "true");
    IQeSceneNodeExt* otherExt = extOn(meshOf(twoUVTriangle()));
    otherExt->setEffect(0, effect);
    EXPECT_TRUE(otherExt->updateTangents());
}

}  // namespace
