// The engine's LightWave object loader on files written in memory: old-format objects with the usual
// surface sub-chunks (a glossiness written wider than the format says once hung the reader), a concave
// polygon, new-format faces and subdivision patches (not drawn, and said so), UV maps of one object after
// another; cut and corrupted copies are read within their chunks and never hang or crash.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

#include "lwo_writer.h"
#include "memory_meshes.h"

using namespace irr;

namespace {

struct LightWave : qetest::MemoryMeshes {
    LightWave() : MemoryMeshes(".lwo") {}
    // Every index of every buffer names one of its vertices.
    static void expectSound(scene::IAnimatedMesh* mesh) {
        for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
            scene::IMeshBuffer* mb = mesh->getMeshBuffer(b);
            for (u32 i = 0; i < mb->getIndexCount(); ++i) ASSERT_LT(mb->getIndices()[i], mb->getVertexCount()) << b;
        }
    }
};

TEST_F(LightWave, OldFormatObjectsLoadWithTheirSurface) {
    for (bool concave : {false, true}) {
        for (bool wideGloss : {false, true}) {
            SCOPED_TRACE(testing::Message() << "concave " << concave << " wide gloss " << wideGloss);
            scene::IAnimatedMesh* mesh = load(qetest::lwobCube(concave, wideGloss));
            ASSERT_NE(nullptr, mesh) << printed;
            ASSERT_EQ(1u, mesh->getMeshBufferCount());
            scene::IMeshBuffer* mb = mesh->getMeshBuffer(0);
            EXPECT_EQ(24u, mb->getVertexCount());  // four corners per quad
            EXPECT_EQ(36u, mb->getIndexCount());   // two triangles per quad
            EXPECT_EQ(video::SColor(255, 200, 100, 50), mb->getMaterial().DiffuseColor);
            if (!wideGloss) EXPECT_FLOAT_EQ(4.0f, mb->getMaterial().Shininess);
            expectSound(mesh);
        }
    }
}

TEST_F(LightWave, NewFormatFacesLoadAndSubdivisionPatchesAreReported) {
    scene::IAnimatedMesh* faces = load(qetest::lwo2Cube());
    ASSERT_NE(nullptr, faces) << printed;
    ASSERT_EQ(1u, faces->getMeshBufferCount());
    EXPECT_EQ(36u, faces->getMeshBuffer(0)->getIndexCount());
    EXPECT_EQ(video::SColor(255, 204, 102, 51), faces->getMeshBuffer(0)->getMaterial().DiffuseColor);

    scene::IAnimatedMesh* patches = load(qetest::lwo2Cube("PTCH"));
    ASSERT_NE(nullptr, patches);
    EXPECT_EQ(0u, patches->getMeshBufferCount());
    EXPECT_NE(std::string::npos, printed.find("LWO loader: polygons of this kind are not loaded, only faces: PTCH"))
        << printed;
    EXPECT_NE(std::string::npos, printed.find("LWO loader: the object holds nothing to draw")) << printed;
}

// The loader is the scene manager's one instance: what it learnt of one object's maps must not reach the
// next (the names of the discontinuous maps once outlived their object and pointed past the next one's).
TEST_F(LightWave, EachObjectsDiscontinuousUvMapIsItsOwn) {
    for (const char* name : {"first", "second"}) {
        SCOPED_TRACE(name);
        scene::IAnimatedMesh* mesh = load(qetest::lwo2MappedCube(name));
        ASSERT_NE(nullptr, mesh) << printed;
        ASSERT_EQ(1u, mesh->getMeshBufferCount());
        scene::IMeshBuffer* mb = mesh->getMeshBuffer(0);
        ASSERT_EQ(24u, mb->getVertexCount());
        const video::S3DVertex* v = static_cast<const video::S3DVertex*>(mb->getVertices());
        for (u32 i = 0; i < 8; ++i) {  // polygon 0 from the per-polygon map, polygon 1 from the per-point one
            const f32 expected = i < 4 ? 0.5f : 0.0f;
            EXPECT_FLOAT_EQ(expected, v[i].TCoords.X) << i;
            EXPECT_FLOAT_EQ(expected, v[i].TCoords.Y) << i;
        }
    }
}

TEST_F(LightWave, CutAndCorruptedCopiesAreReadWithinTheirChunks) {
    for (const std::string& whole : {qetest::lwobCube(true, true), qetest::lwo2Cube()}) {
        for (size_t cut = 0; cut < whole.size(); ++cut) {
            scene::IAnimatedMesh* mesh = load(whole.substr(0, cut));
            if (mesh) expectSound(mesh);
        }
        // Every byte in turn made 0xFF: lengths, counts, indices and surface numbers out of range. A damaged
        // corner coordinate changes no length or index: that copy still loads whole.
        const size_t points = whole.find("PNTS") + 8;
        for (size_t at = 12; at < whole.size(); ++at) {
            std::string broken = whole;
            broken[at] = '\xFF';
            scene::IAnimatedMesh* mesh = load(broken);
            if (mesh) expectSound(mesh);
            if (at >= points && at < points + 8 * 12) {
                ASSERT_NE(nullptr, mesh) << "coordinate byte " << at << ": " << printed;
                ASSERT_EQ(1u, mesh->getMeshBufferCount()) << at;
                EXPECT_EQ(36u, mesh->getMeshBuffer(0)->getIndexCount()) << at;
            }
        }
    }
}

}  // namespace
