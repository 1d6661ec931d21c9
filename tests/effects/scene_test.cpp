// Scene nodes and managers on the null device: particle nodes (quads, limits, shared buffers and the
// Direct3D 9 form's counts), cube-map names, textures, and scene-node extensions found and cloned.
#include <gtest/gtest.h>

#include <string>

#include "effects_fixture.h"
#include "file_fixtures.h"
#include "managers/CQeSceneManager.h"
#include "managers/CQeTextureManager.h"
#include "particles/CQeD3D9ParticleSystemSceneNode.h"
#include "particles/CQeParticleSystemSceneNode.h"
#include "IQeSceneNodeExt.h"

using namespace irr;

namespace {

// Records the render pass the node is drawn in.
class PassProbeNode : public CQeParticleSystemSceneNode {
public:
    using CQeParticleSystemSceneNode::CQeParticleSystemSceneNode;
    void renderQuads() override {
        pass = SceneManager->getSceneNodeRenderPass();
        ++draws;
        CQeParticleSystemSceneNode::renderQuads();
    }
    scene::E_SCENE_NODE_RENDER_PASS pass = scene::ESNRP_NONE;
    int draws = 0;
};

struct NullScene : qetest::DeviceTest {
    scene::ICameraSceneNode* camera = nullptr;
    qetest::LogCapture logger;

    void SetUp() override {
        DeviceTest::SetUp();
        device->getTimer()->stop();
        camera = smgr->addCameraSceneNode(0, core::vector3df(0, 0, -10), core::vector3df(0, 0, 0));
    }
    // Draws one frame at the given clock time; returns the primitives drawn.
    u32 frame(u32 timeMs) {
        device->getTimer()->setTime(timeMs);
        driver->beginScene(true, true, video::SColor(0));
        smgr->drawAll();
        driver->endScene();
        return driver->getPrimitiveCountDrawn(0);
    }
    template <class Node, class... Args>
    Node* make(Args... args) {
        Node* node = new Node(args..., smgr->getRootSceneNode(), smgr, -1);
        node->drop();  // the parent keeps it
        return node;
    }
};

TEST_F(NullScene, PlainNodeDrawsItsParticlesAsQuadsInTheTransparentPass) {
    PassProbeNode* node = make<PassProbeNode>();
    EXPECT_EQ(&node->getMaterial(0), &node->getMaterial(7));  // one material, whatever the index
    node->setPosition(core::vector3df(5, 0, 0));
    node->getEmitter()->setNozzleSize(0, 0, 0);
    node->getEmitter()->setResistance(0, 0);

    EXPECT_EQ(0u, frame(1000));  // the emitter starts
    EXPECT_EQ(20u, frame(1100));  // 10 particles, two triangles each
    EXPECT_EQ(scene::ESNRP_TRANSPARENT, node->pass);

    const SQeParticleQuadMesh* quads = CQeParticleSystemSceneNode::getSharedQuadMesh();
    ASSERT_NE(nullptr, quads);
    const video::S3DVertex* v = quads->buffer->Vertices.const_pointer();
    const f32 corners[4][2] = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    for (int c = 0; c < 4; ++c) {
        // The node's world transform places the particles: the node stands at x = 5.
        EXPECT_EQ(core::vector3df(5, 0, 0), v[c].Pos);
        EXPECT_FLOAT_EQ(3.1f, v[c].Normal.Y);
        EXPECT_EQ(core::vector2df(corners[c][0], corners[c][1]), v[c].TCoords);
    }
    const u16 expected[] = {4, 6, 5, 4, 7, 6};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(expected[i], quads->buffer->Indices[6 + i]);

    // Hidden nodes are neither animated nor drawn.
    node->setVisible(false);
    EXPECT_EQ(0u, frame(1200));
    EXPECT_EQ(2, node->draws);

    node->renderInstancing();
    EXPECT_EQ(1, logger.count("CQeParticleSystemSceneNode::renderInstancing not implemented", ELL_ERROR));
}

TEST_F(NullScene, ANodeDrawsAtMost16384OfItsOldestParticles) {
    CQeParticleSystemSceneNode* node = make<CQeParticleSystemSceneNode>(static_cast<scene::ISceneNode*>(nullptr));
    EXPECT_EQ(0u, getSharedParticleBufferRefCount());  // this form has its own buffer
    node->getEmitter()->setBirthRate(0);
    for (int i = 0; i < 20000; ++i) node->getFxEmitter()->addParticle(static_cast<f32>(i), 0, 0, 0, 0xFFFFFFFFu);
    EXPECT_EQ(32768u, frame(1000));
    const video::S3DVertex* v = CQeParticleSystemSceneNode::getSharedQuadMesh()->buffer->Vertices.const_pointer();
    EXPECT_EQ(0.0f, v[0].Pos.X);
    EXPECT_EQ(16383.0f, v[4 * 16383 + 3].Pos.X);
}

TEST_F(NullScene, WithoutAnActiveCameraTheViewerPositionStays) {
    CQeParticleSystemSceneNode* node = make<CQeParticleSystemSceneNode>();
    node->getEmitter()->setBlendMode(1);
    frame(1000);
    EXPECT_EQ(-10.0f, node->getFxEmitter()->getSettings()->viewerPosition[2]);
    smgr->setActiveCamera(nullptr);
    camera->remove();
    frame(1100);
    frame(1200);
    EXPECT_EQ(-10.0f, node->getFxEmitter()->getSettings()->viewerPosition[2]);
    EXPECT_EQ(20u, node->getEmitter()->getParticleCount());
}

TEST(ParticleInstanceBatches, FourThousandNinetySixInstancesPerDrawUpToTheCapacity) {
    SQeParticleInstanceBatch batches[20];
    ASSERT_EQ(3u, qeParticleInstanceBatches(10000, QE_PARTICLE_INSTANCE_CAPACITY, batches, 20));
    EXPECT_EQ(4096u, batches[1].count);
    EXPECT_EQ(98304u, batches[1].offset);
    EXPECT_EQ(1808u, batches[2].count);
    EXPECT_EQ(196608u, batches[2].offset);

    ASSERT_EQ(16u, qeParticleInstanceBatches(70000, QE_PARTICLE_INSTANCE_CAPACITY, batches, 20));
    u32 total = 0;
    for (u32 i = 0; i < 16; ++i) total += batches[i].count;
    EXPECT_EQ(65536u, total);
    EXPECT_EQ(15u * 4096u * 24u, batches[15].offset);
    EXPECT_EQ(0u, qeParticleInstanceBatches(0, QE_PARTICLE_INSTANCE_CAPACITY, batches, 20));
}

TEST_F(NullScene, Direct3D9NodesCountThemselvesAndDrawNothingOnAnotherDriver) {
    CQeD3D9ParticleSystemSceneNode* a = make<CQeD3D9ParticleSystemSceneNode>();
    CQeD3D9ParticleSystemSceneNode* b = make<CQeD3D9ParticleSystemSceneNode>(static_cast<scene::ISceneNode*>(nullptr));
    EXPECT_EQ(2, CQeD3D9ParticleSystemSceneNode::getSharedDataRefCount());
    frame(1000);
    EXPECT_EQ(0u, frame(1100));
    EXPECT_EQ(10u, a->getEmitter()->getParticleCount());
    EXPECT_FALSE(CQeD3D9ParticleSystemSceneNode::hasSharedData());

    // A count that would go negative is reported and put back to 0.
    b->remove();
    a->RemoveRefSharedData();
    EXPECT_EQ(0, CQeD3D9ParticleSystemSceneNode::getSharedDataRefCount());
    a->RemoveRefSharedData();
    EXPECT_EQ(1, logger.count("CQeD3D9ParticleSystemSceneNode: Invalid negative sharedDataRefCount=-1", ELL_ERROR));
    EXPECT_EQ(0, CQeD3D9ParticleSystemSceneNode::getSharedDataRefCount());
    a->AddRefSharedData();
    a->remove();
}

struct NullDevice : qetest::DeviceTest {
    // A mesh node over the engine's cube mesh (a separate mesh each call).
    scene::IMeshSceneNode* meshNode() {
        scene::IMesh* mesh = smgr->getGeometryCreator()->createCubeMesh();
        scene::IMeshSceneNode* node = smgr->addMeshSceneNode(mesh);
        mesh->drop();
        return node;
    }
};

TEST(CubeMapNames, SixNumberedFacesOrRefused) {
    const struct {
        const char* name;
        const char* first;  // null: refused
        const char* last;
    } cases[] = {
        {"sky10.jpg", "sky1000.jpg", "sky1005.jpg"},
        {"maps.v2/env00.dds", "maps.v2/env0000.dds", "maps.v2/env0005.dds"},
        {"a00.jpg", nullptr, nullptr},
        {"sky11.jpg", nullptr, nullptr},
        {"sky00", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        io::path faces[6];
        const bool ok = CQeTextureManager::cubeFaceNames(c.name, faces);
        ASSERT_EQ(c.first != nullptr, ok) << c.name;
        if (!ok) continue;
        EXPECT_STREQ(c.first, faces[0].c_str());
        EXPECT_STREQ(c.last, faces[5].c_str());
    }
}

TEST_F(NullDevice, TexturesCubeFallbackAndFloat) {
    qetest::TempDir dir("texmgr");
    const std::string sky = dir.path() + "sky00.png";
    writeImage(sky, 0xFF102030);
    for (int i = 0; i < 5; ++i) writeImage(dir.path() + "sky000" + std::to_string(i) + ".png", 0xFF000000);
    CQeTextureManager textures(device);

    // Five faces of six: a plain texture.
    EXPECT_NE(nullptr, textures.loadTexture(sky.c_str()));
    EXPECT_EQ(nullptr, textures.loadTexture((dir.path() + "none.png").c_str()));

    // A float texture is registered under the name followed by "r32f".
    const std::string h = dir.path() + "h.png";
    writeImage(h, 0xFF804020);
    video::ITexture* height = textures.loadTextureR32F(h.c_str());
    ASSERT_NE(nullptr, height);
    EXPECT_STREQ((h + "r32f").c_str(), height->getName().getPath().c_str());
    EXPECT_EQ(nullptr, textures.loadTextureR32F((dir.path() + "none.png").c_str()));
}

TEST_F(NullDevice, ExtensionsFoundCreatedOnceAndCloned) {
    CQeSceneManager manager(device);
    scene::IMeshSceneNode* node = meshNode();
    // Another animator first: the extension is found by its type, and made only once.
    scene::ISceneNodeAnimator* spin = smgr->createRotationAnimator(core::vector3df(0, 1, 0));
    node->addAnimator(spin);
    spin->drop();
    IQeSceneNodeExt* ext = manager.createSceneNodeExt(node);
    ASSERT_NE(nullptr, ext);
    EXPECT_EQ(ext, manager.createSceneNodeExt(node));
    EXPECT_EQ(ext, getSceneNodeExt(node));
    IQeSceneNodeExt* copyExt = getSceneNodeExt(manager.cloneSceneNode(node));
    EXPECT_TRUE(copyExt && copyExt != ext);
    EXPECT_EQ(nullptr, getSceneNodeExt(nullptr));
    EXPECT_EQ(nullptr, manager.createSceneNodeExt(nullptr));
    EXPECT_EQ(nullptr, manager.cloneSceneNode(nullptr));
}

}  // namespace
