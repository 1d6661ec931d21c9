#include <gtest/gtest.h>

#include <string>

#include "file_fixtures.h"
#include "managers/CQeSceneManager.h"
#include "managers/CQeTextureManager.h"
#include "effects_fixture.h"
#include "surface_test_support.h"

using namespace irr;

namespace {

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
