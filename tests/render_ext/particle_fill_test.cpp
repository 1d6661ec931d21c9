// The engine's particle node fills its quads either as camera-facing billboards or, switched on, for a
// vertex shader: every corner at the particle's position, the normals carrying its start and end times.
// A null driver that keeps what it is asked to draw shows the vertices the node hands over.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include "CNullDriver.h"

#include <vector>

using namespace irr;

namespace irr {
namespace scene {
// The engine's own scene manager factory (not in its public headers).
ISceneManager* createSceneManager(video::IVideoDriver* driver, io::IFileSystem* fs,
                                  gui::ICursorControl* cursorControl, gui::IGUIEnvironment* gui);
}  // namespace scene
}  // namespace irr

namespace {

class CapturingDriver : public video::CNullDriver {
public:
    explicit CapturingDriver(io::IFileSystem* fs) : video::CNullDriver(fs, core::dimension2du(64, 64)) {}
    void drawVertexPrimitiveList(const void* vertices, u32 vertexCount, const void* indexList, u32 primitiveCount,
                                 video::E_VERTEX_TYPE vType, scene::E_PRIMITIVE_TYPE pType,
                                 video::E_INDEX_TYPE iType) override {
        const video::S3DVertex* v = static_cast<const video::S3DVertex*>(vertices);
        drawn.assign(v, v + vertexCount);
        video::CNullDriver::drawVertexPrimitiveList(vertices, vertexCount, indexList, primitiveCount, vType, pType,
                                                    iType);
    }
    std::vector<video::S3DVertex> drawn;
};

// Gives every particle a known place and life: particle i sits at (i, 2i, 3i) and lives from
// 1000 + i to 3500 + i ms; the last one is born after the signed 32-bit range.
class PlacingAffector : public scene::IParticleAffector {
public:
    void affect(u32, scene::SParticle* particles, u32 count) override {
        for (u32 i = 0; i < count; ++i) {
            particles[i].pos.set(f32(i), f32(2 * i), f32(3 * i));
            particles[i].vector.set(0, 0, 0);  // no motion after placing
            particles[i].startTime = 1000 + i;
            particles[i].endTime = 3500 + i;
        }
        if (count > 1) {
            particles[count - 1].startTime = 3000000000u;
            particles[count - 1].endTime = 3000000500u;
        }
        placed = count;
    }
    scene::E_PARTICLE_AFFECTOR_TYPE getType() const override { return scene::EPAT_NONE; }
    u32 placed = 0;
};

TEST(ParticleFill, BillboardsByDefaultAndInShaderModeEveryCornerCarriesThePositionAndTheTimes) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL, core::dimension2du(64, 64));
    CapturingDriver* driver = new CapturingDriver(device->getFileSystem());
    scene::ISceneManager* smgr = scene::createSceneManager(driver, device->getFileSystem(), nullptr, nullptr);
    smgr->addCameraSceneNode(nullptr, core::vector3df(0, 0, -50), core::vector3df(0, 0, 0));
    scene::IParticleSystemSceneNode* node = smgr->addParticleSystemSceneNode(true);
    PlacingAffector* affector = new PlacingAffector;
    node->addAffector(affector);
    node->doParticleSystem(1);  // the first step only starts the clock; the second emits and places
    node->doParticleSystem(2001);
    ASSERT_GE(affector->placed, 2u);

    node->render();
    ASSERT_EQ(affector->placed * 4, driver->drawn.size());
    const video::S3DVertex* q = &driver->drawn[4];  // particle 1: four corners around it facing the camera
    EXPECT_TRUE(((q[0].Pos + q[2].Pos) * 0.5f).equals(core::vector3df(1, 2, 3), 1e-3f));
    EXPECT_FALSE(q[0].Pos.equals(q[2].Pos));
    EXPECT_NEAR(-1.0f, q[0].Normal.Z, 1e-4f);

    node->setParticleShaderMode(true);
    node->render();
    ASSERT_EQ(affector->placed * 4, driver->drawn.size());
    for (u32 i = 0; i < affector->placed; ++i) {
        const bool last = i + 1 == affector->placed;  // born after the signed 32-bit range
        for (u32 k = 0; k < 4; ++k) {
            const video::S3DVertex& v = driver->drawn[4 * i + k];
            EXPECT_EQ(core::vector3df(f32(i), f32(2 * i), f32(3 * i)), v.Pos) << i;
            EXPECT_FLOAT_EQ(last ? 3.0e9f : f32(1000 + i), v.Normal.X) << i;
            EXPECT_FLOAT_EQ(last ? 3.0000005e9f : f32(3500 + i), v.Normal.Y) << i;
        }
    }
    EXPECT_EQ(core::vector2df(1, 1), driver->drawn[2].TCoords);  // the corners keep their quad's coordinates
    node->setParticleShaderMode(false);  // switched off again, the billboards come back
    node->render();
    EXPECT_FALSE(driver->drawn[0].Pos.equals(driver->drawn[2].Pos));
    affector->drop();
    smgr->drop();
    driver->drop();
    device->drop();
}

}  // namespace
