// The engine's .x loader: text and binary files with a second texture-coordinate set, FVF data shorter
// than the vertex list, and broken files (cut short, impossible counts and indices, malformed numbers,
// repeated lines in a skinned file) refused without reading past the data or loaded without a crash.
// The engine's own sample meshes are real inputs.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "memory_meshes.h"
#include "x_samples.h"

using namespace irr;

namespace {

using qetest::binaryQuad;
using qetest::BinaryX;
using qetest::floatBits;
using qetest::kFaces;
using qetest::kPositions;
using qetest::kUV1;
using qetest::textQuad;

struct XLoader : qetest::MemoryMeshes {
    XLoader() : MemoryMeshes(".x") {}
};

// Second UV pairs, one per corner.
const std::vector<float> kUV2 = {0.5f, 0.25f, 0.75f, 0.25f, 0.75f, 0.5f, 0.5f, 0.5f};

void expectQuadWithSecondSet(scene::IAnimatedMesh* mesh, const std::vector<float>& uv2) {
    ASSERT_NE(nullptr, mesh);
    ASSERT_EQ(1u, mesh->getMeshBufferCount());
    scene::IMeshBuffer* mb = mesh->getMeshBuffer(0);
    ASSERT_EQ(video::EVT_2TCOORDS, mb->getVertexType());
    ASSERT_EQ(4u, mb->getVertexCount());
    const video::S3DVertex2TCoords* v = static_cast<const video::S3DVertex2TCoords*>(mb->getVertices());
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(kUV1[2 * i + 1], v[i].TCoords.Y) << i;
        EXPECT_FLOAT_EQ(uv2[2 * i], v[i].TCoords2.X) << i;
        EXPECT_FLOAT_EQ(uv2[2 * i + 1], v[i].TCoords2.Y) << i;
    }
}

TEST_F(XLoader, TextAndBinaryFilesCarryTheSecondUvSet) {
    std::string printed;
    expectQuadWithSecondSet(load(textQuad(0x102, kUV2), &printed), kUV2);
    EXPECT_NE(std::string::npos, printed.find("XXXXXXXXXXXXXXXXXXX 2ND UV SET SIZE=8\n")) << printed;
    expectQuadWithSecondSet(load(binaryQuad(0x102, kUV2), &printed), kUV2);
    EXPECT_EQ(std::string::npos, printed.find("Avoid crash")) << printed;
}

TEST_F(XLoader, ASecondSetShorterThanTheVertexListRepeatsTheFirstCoordinates) {
    // Three pairs for four corners: the last corner takes its first UV pair, and nothing is read past
    // the FVF data (a stride of 16 leaves room for two corners only).
    const std::vector<float> shortSet(kUV2.begin(), kUV2.begin() + 6);
    std::vector<float> expected = shortSet;
    expected.insert(expected.end(), {kUV1[6], kUV1[7]});
    std::string printed;
    expectQuadWithSecondSet(load(binaryQuad(0x102, shortSet), &printed), expected);
    EXPECT_NE(std::string::npos, printed.find("Avoid crash due to tcoords2 handling vertice 3\n")) << printed;
    EXPECT_EQ(std::string::npos, printed.find("vertice 2\n")) << printed;

    // More such corners are said once, with the first and the count.
    std::vector<float> strided = {kUV2[0], kUV2[1], 9, 9, kUV2[2], kUV2[3]};
    std::vector<float> expected2 = {kUV2[0], kUV2[1], kUV2[2], kUV2[3], kUV1[4], kUV1[5], kUV1[6], kUV1[7]};
    expectQuadWithSecondSet(load(binaryQuad(0x202, strided), &printed), expected2);
    EXPECT_NE(std::string::npos, printed.find("Avoid crash due to tcoords2 handling vertice 2 (2 vertices in all)\n"))
        << printed;
    EXPECT_EQ(std::string::npos, printed.find("vertice 3")) << printed;
}

TEST_F(XLoader, BinaryFilesCutShortAreRefused) {
    const std::string whole = binaryQuad(0x102, kUV2);
    ASSERT_NE(nullptr, load(whole));
    const size_t meshStart = 16;  // the first token is the mesh's name token
    for (size_t cut = meshStart + 1; cut < whole.size(); ++cut) EXPECT_EQ(nullptr, load(whole.substr(0, cut))) << cut;
    // A mesh whose closing token is missing: the token reader reports the end of the data.
    std::string printed;
    EXPECT_EQ(nullptr, load(whole.substr(0, whole.size() - 2), &printed));
    EXPECT_NE(std::string::npos, printed.find("QIRN Object: getNextToken reached end!!")) << printed;
}

TEST_F(XLoader, ImpossibleCountsAndIndicesAreRefused) {
    auto quadWith = [](std::vector<uint32_t> vertexCount, std::vector<uint32_t> faces, std::vector<uint32_t> fvf) {
        BinaryX x;
        x.name("Mesh").open().ints(vertexCount).floats(kPositions).ints(faces);
        x.name("FVFData").open().ints(fvf).close();
        x.close();
        return x.bytes;
    };
    const std::vector<uint32_t> fvfOk = {0x102, 8, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_NE(nullptr, load(quadWith({4}, kFaces, fvfOk)));
    EXPECT_EQ(nullptr, load(quadWith({0x7FFFFFFF}, kFaces, fvfOk)));                     // vertices
    EXPECT_EQ(nullptr, load(quadWith({4}, {0x40000000, 3, 0, 1, 2}, fvfOk)));            // faces
    EXPECT_EQ(nullptr, load(quadWith({4}, {1, 0x7FFFFFF0, 0, 1, 2}, fvfOk)));            // polygon size
    EXPECT_EQ(nullptr, load(quadWith({4}, {2, 3, 0, 1, 2, 3, 0, 2, 4}, fvfOk)));         // vertex index
    EXPECT_EQ(nullptr, load(quadWith({4}, {1, 4, 0, 1, 2, 400}, fvfOk)));                // polygon index
    EXPECT_EQ(nullptr, load(quadWith({4}, kFaces, {0x102, 0x3FFFFFFF, 0, 0})));          // FVF size
}

TEST_F(XLoader, TheEnginesSampleMeshLoadsAndItsCutCopiesDoNotCrash) {
    const std::string path = std::string(QIRN_ENGINE_MEDIA) + "/earth.x";
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, f) << path;
    std::string bytes;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0) bytes.append(chunk, n);
    std::fclose(f);
    ASSERT_EQ("xof 0303txt ", bytes.substr(0, 12));

    scene::IAnimatedMesh* earth = smgr->getMesh(path.c_str());
    ASSERT_NE(nullptr, earth);
    EXPECT_GT(earth->getMeshBuffer(0)->getVertexCount(), 100u);

    // Copies cut anywhere are refused or give a smaller mesh, never a crash.
    for (size_t cut = 20; cut < bytes.size(); cut += bytes.size() / 97) {
        scene::IAnimatedMesh* part = load(bytes.substr(0, cut));
        if (part) {
            EXPECT_LE(part->getMeshBufferCount(), earth->getMeshBufferCount()) << cut;
        }
    }
}

}  // namespace

namespace {

// Replaces the first occurrence of a text.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// A loaded mesh is animated over its frames: skinning touches every weight that survived the load.
void animate(scene::IAnimatedMesh* mesh) {
    for (s32 frame = 0; frame < 12; frame += 3) {
        scene::IMesh* m = mesh->getMesh(frame);
        ASSERT_NE(nullptr, m);
        for (u32 b = 0; b < m->getMeshBufferCount(); ++b) m->getMeshBuffer(b)->getBoundingBox();
    }
}

size_t linesWith(const std::string& printed, const std::string& text) {
    size_t n = 0;
    for (size_t at = printed.find(text); at != std::string::npos; at = printed.find(text, at + 1)) ++n;
    return n;
}

// A damaged file can hold thousands of weights or faces with the same fault: each fault of a mesh is said
// once, with how many items it concerns, and the mesh still loads.
TEST_F(XLoader, AFaultOfManyItemsOfAMeshIsSaidOnceWithTheirCount) {
    std::string ids = "2,3,6,7", strengths = "1.0,1.0,1.0,1.0";
    for (int i = 0; i < 600; ++i) {
        ids += "," + std::to_string(100 + i);  // past the cube's vertices
        strengths += ",1.0";
    }
    const std::string skinned = qetest::skinnedCubeX();
    std::string damaged = replaced(skinned, "   4;\n   2,3,6,7;\n   1.0,1.0,1.0,1.0;\n",
                                   "   604;\n   " + ids + ";\n   " + strengths + ";\n");
    damaged = replaced(damaged, "0,0,0,1,1,1;;", "0,0,0,1,7,9;;");  // two quads name missing materials
    ASSERT_NE(skinned, damaged);
    scene::IAnimatedMesh* mesh = load(damaged);
    ASSERT_NE(nullptr, mesh);
    animate(mesh);
    EXPECT_EQ(1u, linesWith(printed, "Weight id out of range")) << printed;
    EXPECT_NE(std::string::npos, printed.find("X loader: Weight id out of range: 600 weights\n")) << printed;
    EXPECT_EQ(1u, linesWith(printed, "face material index out of range")) << printed;
    EXPECT_NE(std::string::npos, printed.find("X loader: face material index out of range: 4 faces\n")) << printed;

    // Weights a skinned mesh is given that name a missing buffer or vertex: dropped, said once each.
    testing::internal::CaptureStdout();
    scene::ISkinnedMesh* built = smgr->createSkinnedMesh();
    scene::SSkinMeshBuffer* buffer = built->addMeshBuffer();
    buffer->Vertices_Standard.set_used(3);
    for (u16 i = 0; i < 3; ++i) buffer->Indices.push_back(i);
    scene::ISkinnedMesh::SJoint* joint = built->addJoint();
    built->addPositionKey(joint)->frame = 0;
    scene::ISkinnedMesh::SPositionKey* key = built->addPositionKey(joint);
    key->frame = 10;
    key->position.set(0, 1, 0);
    for (u32 i = 0; i < 300; ++i) {
        scene::ISkinnedMesh::SWeight* w = built->addWeight(joint);
        w->buffer_id = i % 2 ? 0 : 5;
        w->vertex_id = i % 2 ? 3 + i : 0;
        w->strength = 1.0f;
    }
    built->finalize();
    built->animateMesh(5, 1.0f);
    built->skinMesh();
    std::fflush(stdout);
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(1u, linesWith(said, "Weight buffer id too large")) << said;
    EXPECT_NE(std::string::npos, said.find("Skinned Mesh: Weight buffer id too large: 150 weights\n")) << said;
    EXPECT_EQ(1u, linesWith(said, "Weight vertex id too large")) << said;
    EXPECT_NE(std::string::npos, said.find("Skinned Mesh: Weight vertex id too large: 150 weights\n")) << said;
    EXPECT_TRUE(joint->Weights.empty());
    built->drop();
}

TEST_F(XLoader, ASkinnedFileWithMalformedNumbersOrRepeatedLinesLoadsWhatIsSoundWithoutACrash) {
    const std::string skinned = qetest::skinnedCubeX();
    scene::IAnimatedMesh* sound = load(skinned);
    ASSERT_NE(nullptr, sound);
    ASSERT_EQ(scene::EAMT_SKINNED, sound->getMeshType());
    EXPECT_EQ(2u, sound->getMeshBufferCount());
    EXPECT_GT(sound->getFrameCount(), 1u);
    animate(sound);

    // A malformed number in the vertex list leaves the reader out of step: the weights that follow
    // name vertices and buffers that do not exist and are dropped.
    for (const char* number : {"-1.0000,0", "-1.0000Q0", "1.0.0", ";;"}) {
        SCOPED_TRACE(number);
        scene::IAnimatedMesh* mesh = load(replaced(skinned, "1.0000;1.0000;-1.0000;,", std::string(number) + ";1.0000;-1.0000;,"));
        if (mesh) animate(mesh);
    }
    // A frame inside a frame of its own name: a new joint, not the frame its own ancestor (whose matrices
    // were computed without end).
    const std::string frame = "  FrameTransformMatrix { 1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,1.0,0.0,1.0;; }\n";
    ASSERT_NE(std::string::npos, skinned.find(frame));
    scene::IAnimatedMesh* nested = load(replaced(skinned, frame, frame + "  Frame Bone { }\n"));
    ASSERT_NE(nullptr, nested);
    animate(nested);
    // Colour components beyond 0 to 1 are taken to the nearest end.
    scene::IAnimatedMesh* bright = load(replaced(skinned, "Material { 1.0;0.0;0.0;1.0;;", "Material { 1e30;-5.0;0.0;1.0;;"));
    ASSERT_NE(nullptr, bright);
    EXPECT_EQ(video::SColor(255, 255, 0, 0), bright->getMeshBuffer(0)->getMaterial().DiffuseColor);
    // A key time beyond what a frame number holds: the last frame number there is.
    scene::IAnimatedMesh* late = load(replaced(skinned, "10;3;0.0,2.0,0.0;;;", "4294967295;3;0.0,2.0,0.0;;;"));
    ASSERT_NE(nullptr, late);
    EXPECT_EQ(0x7FFFFFFFu, late->getFrameCount());
    // Every line repeated once, or left out, in turn.
    size_t start = 0;
    for (size_t end = skinned.find('\n'); end != std::string::npos; start = end + 1, end = skinned.find('\n', start)) {
        const std::string line = skinned.substr(start, end + 1 - start);
        SCOPED_TRACE(line);
        for (const std::string& variant : {skinned.substr(0, end + 1) + line + skinned.substr(end + 1),
                                           skinned.substr(0, start) + skinned.substr(end + 1)}) {
            scene::IAnimatedMesh* mesh = load(variant);
            if (mesh) animate(mesh);
        }
    }
}

}  // namespace
