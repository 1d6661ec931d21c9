// The object module on the null driver: IDs and their errors, the visible list, transforms and frames,
// locking to the camera, the tangent set-up, camera collision and the reset at engine stop.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include "collision.h"
#include "file_fixtures.h"
#include "object_fixtures.h"
#include "objects.h"
#include "shell_fixtures.h"
#include "x_samples.h"

using namespace irr;

namespace {

struct Objects : qetest::NullEngine {
    std::vector<int> visibleIds() {
        std::vector<int> ids;
        ObjectEntry* cursor = nullptr;
        for (int id = qeIrrlichtNextVisibleObject(&cursor); id != -1; id = qeIrrlichtNextVisibleObject(&cursor))
            ids.push_back(id);
        // The index walk the constant callback uses agrees with the cursor walk.
        for (size_t i = 0; i <= ids.size(); ++i)
            EXPECT_EQ(i < ids.size() ? ids[i] : -1, qeIrrlichtGetVisibleObjectId(int(i)));
        return ids;
    }
};

TEST_F(Objects, IdErrorsAndFailedLoadsLeaveNoTrace) {
    cacheMesh("box.x");
    int arg = 0;
    qeIrrlichtLoadObject("box.x", -1);
    EXPECT_EQ("invalid Object ID -1 : invalid negative ID -1", lastError(&arg));
    EXPECT_EQ(2, arg);

    qeIrrlichtLoadObject("missing.x", 3);
    EXPECT_EQ("Failed to load mesh 'missing.x'", lastError(&arg));
    EXPECT_EQ(1, arg);
    EXPECT_EQ(0, qeIrrlichtObjectExist(3));

    qeIrrlichtInstanceObject(1000, 3);
    EXPECT_EQ("invalid Object ID 1000 : invalid ID 1000 greater or equals than 1000", lastError(&arg));
    EXPECT_EQ(1, arg);
    qeIrrlichtInstanceObject(4, 3);
    EXPECT_EQ("Object ID 3 does not exist", lastError(&arg));
    EXPECT_EQ(2, arg);
    EXPECT_EQ(0, qeIrrlichtObjectExist(4));
    // An empty ID is no source for itself: nothing is made under it.
    qeIrrlichtInstanceObject(6, 6);
    EXPECT_EQ("Object ID 6 does not exist", lastError(&arg));
    EXPECT_EQ(2, arg);
    EXPECT_EQ(0, qeIrrlichtObjectExist(6));

    // An ID in use is refused, the object in it stays.
    qeIrrlichtLoadObject("box.x", 5);
    qeIrrlichtLoadObject("box.x", 5);
    EXPECT_EQ("invalid Object ID 5 : id 5 already exist", lastError(&arg));
    EXPECT_EQ(std::vector<int>({5}), visibleIds());

    qeIrrlichtShowObject(9);
    EXPECT_EQ("Object ID 9 does not exist. id 9 does not exist", lastError(&arg));
    EXPECT_EQ(1, arg);
    EXPECT_EQ(0, qeIrrlichtObjectVisible(9));
    EXPECT_EQ("Object ID 9 does not exist. id 9 does not exist", lastError(&arg));
    qeIrrlichtDeleteObject(9);  // silent
    EXPECT_EQ(0, qeIrrlichtObjectExist(9));
    EXPECT_EQ("", lastError());
}

// With the Windows path layer: a mesh in a folder whose full path passes MAX_PATH loads, and one whose
// path the system refuses for its length is named, as given, in an error that says so.
TEST_F(Objects, AMeshPastMaxPathLoadsAndOneTooLongIsNamed) {
    struct WindowsPaths {
        WindowsPaths() { qeSysInstallWindowsFileSystem(); }
        ~WindowsPaths() {
            qeSysSetDirHooks(nullptr);
            qeSysSetPathHooks(nullptr);
        }
    } windowsPaths;
    qetest::TempDir dir("objects-deep");
    std::string relative;
    for (char part = 'a'; part <= 'e'; ++part) relative += std::string(60, part) + "\\";
    dir.mkdir(relative.substr(0, relative.size() - 1));
    const std::string mesh = dir.write(relative + "quad.x", qetest::textQuad(0x102, {0, 0, 1, 0, 1, 1, 0, 1}));
    ASSERT_GT(mesh.size(), 300u);
    qeIrrlichtLoadObject(mesh.c_str(), 3);
    EXPECT_EQ("", lastError());
    EXPECT_EQ(1, qeIrrlichtObjectExist(3));

    const std::string tooLong = dir.path() + std::string(300, 'x') + ".x";
    int arg = 0;
    qeIrrlichtLoadObject(tooLong.c_str(), 4);
    EXPECT_EQ("Failed to load mesh '" + tooLong + "': its path is too long", lastError(&arg));
    EXPECT_EQ(1, arg);
    EXPECT_EQ(0, qeIrrlichtObjectExist(4));
}

TEST_F(Objects, SharedMeshesAndTheVisibleListInShowOrder) {
    scene::SAnimatedMesh* mesh = cacheMesh("box.x");
    for (int id : {1, 2, 3, 4}) qeIrrlichtLoadObject("box.x", id);
    EXPECT_EQ(qeIrrlichtGetObjectNode(1)->getID(), 1);
    EXPECT_NE(qeIrrlichtGetObjectNode(1), qeIrrlichtGetObjectNode(2));
    EXPECT_EQ(mesh, qeIrrlichtGetObjectMeshNode(2)->getMesh());
    EXPECT_EQ(std::vector<int>({1, 2, 3, 4}), visibleIds());

    qeIrrlichtHideObject(2);
    qeIrrlichtHideObject(2);
    EXPECT_FALSE(qeIrrlichtGetObjectNode(2)->isVisible());
    qeIrrlichtDeleteObject(3);
    qeIrrlichtShowObject(2);
    qeIrrlichtShowObject(2);
    qeIrrlichtInstanceObject(7, 1);
    EXPECT_EQ(mesh, qeIrrlichtGetObjectMeshNode(7)->getMesh());
    EXPECT_EQ(std::vector<int>({1, 4, 2, 7}), visibleIds());
    EXPECT_EQ(0, qeIrrlichtObjectVisible(3));
    EXPECT_EQ(1, qeIrrlichtObjectVisible(7));

    for (int id : {1, 4, 7}) qeIrrlichtHideObject(id);
    qeIrrlichtDeleteObject(2);
    EXPECT_TRUE(visibleIds().empty());
    EXPECT_EQ(-1, qeIrrlichtGetVisibleObjectId(-1));

    // Engine stop's reset deletes what is left and empties the list: a restart starts clean.
    qeIrrlichtShowObject(4);
    qeIrrlichtRunModuleResets(QE_STOP_BEFORE_DROP);
    EXPECT_EQ(0, qeIrrlichtObjectExist(4));
    EXPECT_TRUE(visibleIds().empty());
}

TEST_F(Objects, VertexCountWarningOnlyForSixteenBitBuffersOverTheLimit) {
    qetest::BoxRecorder boxes;
    cacheMesh("limit.x", 1, 65535);
    cacheMesh("over.x", 1, 65536);
    scene::SMesh* mesh = new scene::SMesh();
    scene::CDynamicMeshBuffer* wide = new scene::CDynamicMeshBuffer(video::EVT_STANDARD, video::EIT_32BIT);
    wide->getVertexBuffer().set_used(70000);
    wide->getIndexBuffer().push_back(0);
    mesh->addMeshBuffer(wide);
    wide->drop();
    scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh);
    smgr->getMeshCache()->addMesh("wide.x", animated);
    animated->drop();
    mesh->drop();

    qeIrrlichtLoadObject("limit.x", 1);
    qeIrrlichtLoadObject("wide.x", 2);
    EXPECT_TRUE(boxes.boxes().empty());
    qeIrrlichtLoadObject("over.x", 3);
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Object 3 'over.x' has too much points on surface 0 ;\n65536 points > maximum 65535.\n"
              "Render artifacts will occur.",
              boxes.text(0));
    EXPECT_EQ(1, qeIrrlichtObjectExist(3));
}

TEST_F(Objects, TransformsFramesAndRadius) {
    cacheMesh("box.x", 1, 3, -2.0f, 5.0f);
    cacheMesh("walk.x", 30);
    qeIrrlichtLoadObject("box.x", 1);
    qeIrrlichtLoadObject("walk.x", 2);

    qeIrrlichtScaleObject(1, 50, 100, 200);
    qeIrrlichtPositionObject(1, 1, 2, 3);
    qeIrrlichtRotateObject(1, 10, 20, 30);
    scene::ISceneNode* node = qeIrrlichtGetObjectNode(1);
    EXPECT_EQ(core::vector3df(0.5f, 1.0f, 2.0f), node->getScale());
    EXPECT_EQ(core::vector3df(1, 2, 3), node->getPosition());
    EXPECT_EQ(core::vector3df(10, 20, 30), node->getRotation());
    EXPECT_FLOAT_EQ(7.0f, qeIrrlichtGetObjectRadius(1));
    EXPECT_FLOAT_EQ(0.0f, qeIrrlichtGetObjectRadius(8));

    EXPECT_EQ(1, qeIrrlichtTotalObjectFrames(1));
    EXPECT_EQ(1, qeIrrlichtObjectIsStaticMesh(1));
    EXPECT_EQ(0, qeIrrlichtObjectIsStaticMesh(2));
    scene::IAnimatedMeshSceneNode* walk = qeIrrlichtGetObjectAnimatedNode(2);
    ASSERT_NE(nullptr, walk);
    EXPECT_EQ(nullptr, qeIrrlichtGetObjectMeshNode(2));
    EXPECT_EQ(30, qeIrrlichtTotalObjectFrames(2));
    EXPECT_FLOAT_EQ(0.0f, walk->getAnimationSpeed());
    walk->setFrameLoop(10, 20);
    qeIrrlichtSetObjectFrame(2, 3);
    EXPECT_FLOAT_EQ(13.0f, walk->getFrameNr());
    EXPECT_EQ(11, qeIrrlichtTotalObjectFrames(2));
    qeIrrlichtSetObjectFrame(1, 3);  // static: ignored
}

TEST_F(Objects, LockedObjectsGoBackUnderTheRootAndStayUsable) {
    cacheMesh("box.x");
    qeIrrlichtLoadObject("box.x", 1);
    qeIrrlichtPositionObject(1, 4, 5, 6);
    qeIrrlichtLockObjectOn(1);
    scene::ISceneNode* node = qeIrrlichtGetObjectNode(1);
    EXPECT_EQ(ctx->camera, node->getParent());

    qeIrrlichtLockObjectOff(1);
    ASSERT_EQ(node, qeIrrlichtGetObjectNode(1));
    EXPECT_EQ(smgr->getRootSceneNode(), node->getParent());
    EXPECT_EQ(core::vector3df(4, 5, 6), node->getPosition());
    qeIrrlichtPositionObject(1, 7, 8, 9);
    EXPECT_EQ(core::vector3df(7, 8, 9), node->getPosition());
    smgr->drawAll();
    qeIrrlichtLockObjectOn(1);
    qeIrrlichtDeleteObject(1);
    EXPECT_TRUE(ctx->camera->getChildren().empty());
}

TEST_F(Objects, TangentSetUpCopiesTheSecondUvSetOnceForSharedMeshes) {
    cacheTwoUvMesh("two.x", 2);
    qeIrrlichtLoadObject("two.x", 1);
    qeIrrlichtInstanceObject(2, 1);
    scene::IMesh* source = qeIrrlichtGetObjectMeshNode(1)->getMesh();

    qeIrrlichtObjMakeTangentMesh(1, 1);
    scene::IMesh* tangents = qeIrrlichtGetObjectMeshNode(1)->getMesh();
    ASSERT_NE(source, tangents);
    ASSERT_EQ(video::EVT_TANGENTS, tangents->getMeshBuffer(0)->getVertexType());
    const auto* v = static_cast<const video::S3DVertexTangents*>(tangents->getMeshBuffer(1)->getVertices());
    EXPECT_FLOAT_EQ(0.75f, v[2].Binormal.X);
    EXPECT_FLOAT_EQ(0.5f, v[2].Binormal.Y);
    EXPECT_EQ(1, qeIrrlichtObjectHasTangents(1));
    EXPECT_EQ(1, qeIrrlichtObjectHasUV2InBinormal(1));

    // The instance gets the source's tangent mesh: no copy of it, but the flags.
    ObjectEntry* entry = qeIrrlichtGetObjectEntry(1);
    qeIrrlichtInstanceObject(3, 1);
    EXPECT_EQ(entry->mesh, qeIrrlichtGetObjectMeshNode(3)->getMesh());
    qeIrrlichtObjMakeTangentMesh(3, 1);
    EXPECT_EQ(tangents, qeIrrlichtGetObjectMeshNode(3)->getMesh());
    EXPECT_EQ(1, qeIrrlichtObjectHasUV2InBinormal(3));
    EXPECT_FLOAT_EQ(0.75f, v[2].Binormal.X);

    // Mismatches are refused with their message.
    scene::IMesh* single = cacheTwoUvMesh("single.x", 1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(-1, putUV2inBinormal(tangents, single));
    EXPECT_EQ(-1, putUV2inBinormal(tangents, tangents));
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, printed.find("putUV2inBinormal: meshBuf count mismatch tangent=2 ori=1"));
    EXPECT_NE(std::string::npos, printed.find("putUV2inBinormal: originalMeshBuffer Type != EVT_2TCOORDS"));
}

TEST_F(Objects, CollisionJoinsLeavesAndJoinsAgain) {
    cacheMesh("box.x");
    qeIrrlichtLoadObject("box.x", 1);
    qeIrrlichtLoadObject("box.x", 2);
    qeIrrlichtSetObjectCollisionOn(1);
    qeIrrlichtSetObjectCollisionOn(1);
    auto* world = static_cast<scene::IMetaTriangleSelector*>(ctx->camera->getTriangleSelector());
    ASSERT_NE(nullptr, world);
    const s32 one = qeIrrlichtGetObjectNode(1)->getTriangleSelector()->getTriangleCount();
    EXPECT_EQ(one, world->getTriangleCount());

    qeIrrlichtObjRemoveCollision(1);
    EXPECT_EQ(0, world->getTriangleCount());
    qeIrrlichtObjRemoveCollision(1);
    qeIrrlichtSetObjectCollisionOn(1);
    qeIrrlichtSetObjectCollisionOn(2);
    EXPECT_EQ(2 * one, world->getTriangleCount());
    qeIrrlichtDeleteObject(2);
    EXPECT_EQ(one, world->getTriangleCount());

    auto responses = [&] {
        int n = 0;
        for (auto it = ctx->camera->getAnimators().begin(); it != ctx->camera->getAnimators().end(); ++it)
            n += (*it)->getType() == scene::ESNAT_COLLISION_RESPONSE;
        return n;
    };
    qeIrrlichtAutomaticCameraCollisionOn(0.2f, 0.05f, 0.6f);
    qeIrrlichtAutomaticCameraCollisionOn(0.2f, 0.05f, 0.6f);
    EXPECT_EQ(1, responses());
    qeIrrlichtAutomaticCameraCollisionOff();
    EXPECT_EQ(0, responses());
    qeIrrlichtAutomaticCameraCollisionOff();
}

TEST_F(Objects, LoadsADotXFileFromDisk) {
    qetest::TempDir dir("objects");
    const std::string file = dir.write(
        "quad.x",
        "xof 0303txt 0032\r\nMesh quad {\r\n 4;\r\n 0.0;0.0;-1.0;, 1.0;0.0;-1.0;, 1.0;1.0;2.0;, 0.0;1.0;2.0;;\r\n"
        " 2;\r\n 3;0,1,2;, 3;0,2,3;;\r\n}\r\n");
    qeIrrlichtLoadObject(file.c_str(), 1);
    EXPECT_EQ("", lastError());
    EXPECT_EQ(file, qeIrrlichtObjectLastPath());
    EXPECT_FLOAT_EQ(3.0f, qeIrrlichtGetObjectRadius(1));
    EXPECT_NE(nullptr, getObjectMesh(1));
}

}  // namespace
