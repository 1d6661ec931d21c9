// Object surfaces on the null driver: the fixed-function material choice, the surface marker, more records
// than materials, outline modes, the tangent set-up they ask for, and the cube-map and float-texture
// loaders.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <string>
#include <vector>

#include "file_fixtures.h"
#include "object_fixtures.h"
#include "object_surfaces.h"
#include "shader_object.h"
#include "shell_fixtures.h"
#include "surface_shaders.h"
#include "frame.h"

using namespace irr;

namespace {

ObjectSurfaceRecord blankRecord(const char* name = "skin") {
    ObjectSurfaceRecord r;
    std::memset(&r, 0, sizeof(r));
    r.name = name;
    for (int c : {QE_SURF_REFLECTIONOPTIONS, QE_SURF_SIDEDNESS, QE_SURF_RENDEROUTLINES}) r.channels[c].type = 2;
    for (int c : {QE_SURF_TRANSPARENCY, QE_SURF_LINESIZE}) r.channels[c].type = 1;
    return r;
}

uint32_t markerOf(const video::SMaterial& m, const void** address) {
    uint32_t bits;
    std::memcpy(&bits, &m.MaterialTypeParam, 4);
    std::memcpy(address, &m.MaterialTypeParam2, 4);
    return bits;
}

struct Surfaces : qetest::NullEngine {
    int lastId = 0;
    video::ITexture* cachedTexture(const char* name) {
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
        video::ITexture* t = driver->addTexture(name, image);
        image->drop();
        return t;
    }
    // The material one surface record gives a fresh single-material object.
    video::SMaterial setUp(const ObjectSurfaceRecord& r, video::ITexture* layer0 = nullptr, u32 diffuseAlpha = 255) {
        const int id = ++lastId;
        const std::string name = "mesh" + std::to_string(id) + ".x";
        scene::SAnimatedMesh* mesh = cacheMesh(name.c_str());
        mesh->getMeshBuffer(0)->getMaterial().setTexture(0, layer0);
        mesh->getMeshBuffer(0)->getMaterial().DiffuseColor.setAlpha(diffuseAlpha);
        qeIrrlichtLoadObject(name.c_str(), id);
        qeIrrlichtObjSetSurfaces(id, 1, &r, 1);
        return qeIrrlichtGetObjectNode(id)->getMaterial(0);
    }
};

TEST_F(Surfaces, FixedFunctionChoiceAndMarker) {
    video::ITexture* png = cachedTexture("leaf.png");
    video::ITexture* jpg = cachedTexture("leaf.jpg");
    video::ITexture* env = cachedTexture("env.png");
    cachedTexture("rock.png");
    ObjectSurfaceRecord r = blankRecord();

    EXPECT_EQ(video::EMT_SOLID, setUp(r, png).MaterialType);  // opaque
    r.channels[QE_SURF_TRANSPARENCY].value.f[0] = 0.5f;
    EXPECT_EQ(video::EMT_TRANSPARENT_ALPHA_CHANNEL, setUp(r, png).MaterialType);
    EXPECT_EQ(video::EMT_SOLID, setUp(r, jpg).MaterialType);  // only PNG textures count
    video::SMaterial vertexAlpha = setUp(r, jpg, 100);
    EXPECT_EQ(video::EMT_TRANSPARENT_VERTEX_ALPHA, vertexAlpha.MaterialType);
    EXPECT_EQ(255u, vertexAlpha.DiffuseColor.getAlpha());

    // The reflection image counts from ReflectionOptions 2 on, into the first free layer.
    r.channels[QE_SURF_REFLECTIONIMAGE].texImage = "env.png";
    r.channels[QE_SURF_REFLECTIONOPTIONS].value.i[0] = 1;
    EXPECT_EQ(video::EMT_SOLID, setUp(r, jpg).MaterialType);
    r.channels[QE_SURF_REFLECTIONOPTIONS].value.i[0] = 2;
    video::SMaterial reflect = setUp(r, jpg);
    EXPECT_EQ(video::EMT_REFLECTION_2_LAYER, reflect.MaterialType);
    EXPECT_EQ(env, reflect.getTexture(1));
    EXPECT_EQ(video::EMT_TRANSPARENT_REFLECTION_2_LAYER, setUp(r, jpg, 100).MaterialType);
    EXPECT_EQ(env, setUp(r).getTexture(0));
    // a flat reflection image is the surface's own, found by the data-file search like its other textures
    qetest::TempDir dir("reflection");
    dir.mkdir("textures");
    video::IImage* chrome = driver->createImage(video::ECF_R8G8B8, core::dimension2du(2, 2));
    ASSERT_TRUE(driver->writeImageToFile(chrome, (dir.path() + "textures\\chrome.bmp").c_str()));
    chrome->drop();
    char saved[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof(saved), saved));
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    r.channels[QE_SURF_REFLECTIONIMAGE].texImage = "chrome.bmp";
    const video::ITexture* found = setUp(r, jpg).getTexture(1);
    SetCurrentDirectoryA(saved);
    EXPECT_NE(nullptr, found);
    EXPECT_EQ(qeIrrlichtObjGetSurface(lastId, 0)->textures[QE_SURF_REFLECTIONIMAGE], found);

    // A bump map: parallax; without the light pre-pass the solid parallax material keeps its parameter and
    // no marker, every other material is marked.
    ObjectSurfaceRecord bump = blankRecord();
    bump.channels[QE_SURF_BUMP].texImage = "rock.png";
    bump.channels[QE_SURF_SIDEDNESS].value.i[0] = 3;
    video::SMaterial parallax = setUp(bump, jpg);
    EXPECT_EQ(video::EMT_PARALLAX_MAP_SOLID, parallax.MaterialType);
    EXPECT_FLOAT_EQ(0.035f, parallax.MaterialTypeParam);
    EXPECT_EQ(driver->getTexture("rock.png"), parallax.getTexture(1));
    EXPECT_FALSE(parallax.BackfaceCulling);
    EXPECT_TRUE(parallax.NormalizeNormals);
    EXPECT_EQ(-8, parallax.TextureLayer[3].LODBias);
    EXPECT_EQ(video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA, setUp(bump, jpg, 100).MaterialType);
    const void* address = nullptr;
    EXPECT_EQ(0x12345678u, markerOf(setUp(bump, jpg, 100), &address));
    ctx->lightPrePass = 1;
    EXPECT_EQ(0x12345678u, markerOf(setUp(bump, jpg), &address));
    EXPECT_EQ(qeIrrlichtObjGetSurface(lastId, 0), address);
}

TEST_F(Surfaces, MoreRecordsThanMaterialsOutlinesAndTextures) {
    qetest::BoxRecorder boxes;
    scene::SMesh* mesh = new scene::SMesh();
    for (int i = 0; i < 12; ++i) {
        scene::SMeshBuffer* mb = new scene::SMeshBuffer();
        mesh->addMeshBuffer(mb);
        mb->drop();
    }
    scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh);
    mesh->drop();
    smgr->getMeshCache()->addMesh("twelve.x", animated);
    animated->drop();
    qeIrrlichtLoadObject("twelve.x", 1);

    std::vector<ObjectSurfaceRecord> records(20, blankRecord());
    records[3].channels[QE_SURF_DIFFUSE].texImage = "nowhere.png";
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, true);
    qeIrrlichtObjSetSurfaces(1, 20, records.data(), 1);
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Surface 'skin': can't load texture 'nowhere.png'", boxes.text(0));
    EXPECT_TRUE(driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS));
    scene::ISceneNode* node = qeIrrlichtGetObjectNode(1);
    for (int i = 0; i < 12; ++i) {
        const void* address = nullptr;
        EXPECT_EQ(0x12345678u, markerOf(node->getMaterial(i), &address));
        EXPECT_EQ(qeIrrlichtObjGetSurface(1, i), address);
    }

    // Outlines follow the line size on every update.
    for (ObjectSurfaceRecord& r : records) r.channels[QE_SURF_RENDEROUTLINES].value.i[0] = 1;
    const float sizes[] = {0.5f, 2.0f, 0.0f};
    for (float size : sizes) {
        records[0].channels[QE_SURF_LINESIZE].value.f[0] = size;
        qeIrrlichtObjSetSurfaces(1, 20, records.data(), 0);
        const video::SMaterial& m = node->getMaterial(0);
        EXPECT_EQ(size == 0.5f, m.Wireframe) << size;
        EXPECT_EQ(size == 2.0f, m.PointCloud) << size;
        if (size == 2.0f) {
            EXPECT_FLOAT_EQ(2.0f, m.Thickness);
        }
    }
    EXPECT_FLOAT_EQ(0.0f, qeIrrlichtObjGetSurface(1, 0)->channels[QE_SURF_LINESIZE].value.f[0]);
    EXPECT_EQ(nullptr, qeIrrlichtObjGetSurface(1, 20));
    EXPECT_EQ(nullptr, qeIrrlichtObjGetSurface(2, 0));
}

TEST_F(Surfaces, BumpAndLuminosityMapsAskForTangentsWithTheSecondUvSet) {
    cacheTwoUvMesh("two.x", 2);
    cachedTexture("rock.png");
    qeIrrlichtLoadObject("two.x", 1);
    ObjectSurfaceRecord records[2] = {blankRecord(), blankRecord()};
    records[0].channels[QE_SURF_BUMP].texImage = "rock.png";
    records[1].channels[QE_SURF_LUMINOSITY].texImage = "rock.png";
    qeIrrlichtObjSetSurfaces(1, 2, records);
    EXPECT_EQ(1, qeIrrlichtObjectHasTangents(1));
    EXPECT_EQ(1, qeIrrlichtObjectHasUV2InBinormal(1));
    EXPECT_EQ(video::EVT_TANGENTS, qeIrrlichtGetObjectMeshNode(1)->getMesh()->getMeshBuffer(0)->getVertexType());
    EXPECT_EQ(1u, qeIrrlichtObjGetSurface(1, 0)->needsTangents);
    EXPECT_EQ(1u, qeIrrlichtObjGetSurface(1, 1)->usesSecondUV);
}

TEST_F(Surfaces, CubeMapFaceNamesAndTheFloatTexture) {
    EXPECT_STREQ("env03.png", qeIrrlichtCubeMapFaceName("env00.png", 3));
    EXPECT_STREQ("a00.b05.jpg", qeIrrlichtCubeMapFaceName("a00.b00.jpg", 5));
    EXPECT_STREQ("sky00.jpg", qeIrrlichtCubeMapFaceName("sky.jpg", 0));
    EXPECT_STREQ("sky01.hdr.jpg", qeIrrlichtCubeMapFaceName("sky.hdr.jpg", 1));
    EXPECT_STREQ("../tex/sky02.jpg", qeIrrlichtCubeMapFaceName("../tex/sky.jpg", 2));
    EXPECT_STREQ("..\\my.tex\\sky04.jpg", qeIrrlichtCubeMapFaceName("..\\my.tex\\sky.jpg", 4));

    qetest::BoxRecorder boxes;
    EXPECT_EQ(nullptr, qeIrrlichtLoadCubeMap("missing00.png"));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("CubeMap: Fail to load 'missing00.png'\n", boxes.text(0));

    qetest::TempDir dir("surfaces");
    const std::string file = dir.path() + "ramp.bmp";
    video::IImage* image = driver->createImage(video::ECF_R8G8B8, core::dimension2du(2, 1));
    image->setPixel(0, 0, video::SColor(255, 51, 0, 0));
    image->setPixel(1, 0, video::SColor(255, 255, 9, 9));
    driver->writeImageToFile(image, file.c_str());
    image->drop();
    video::ITexture* first = nullptr;
    u32 textures = 0;
    for (bool mipMaps : {false, true}) {
        driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
        video::ITexture* t = qeIrrlichtLoadFloatTexture(file.c_str());
        ASSERT_NE(nullptr, t);
        EXPECT_EQ(file + "r32f", std::string(t->getName().getPath().c_str()));
        EXPECT_EQ(mipMaps, driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS));
        // made once: the driver would keep every copy
        if (!first) {
            first = t;
            textures = driver->getTextureCount();
        }
        EXPECT_EQ(first, t);
        EXPECT_EQ(textures, driver->getTextureCount());
    }
    EXPECT_EQ(nullptr, qeIrrlichtLoadFloatTexture((dir.path() + "none.bmp").c_str()));
}

// A node shader's literals follow the record's parameters by name every frame; bound parameters and
// unknown names are left alone.
TEST(SurfaceShader, PerFrameParametersByName) {
    qetest::TempDir dir("surface-shader");
    const std::string file = dir.write("node.hlsl",
                                       "//[QIRN_BEGIN]\n//float3 Tint : 0,0,0 : pixel\n//float Amount : 0 : pixel\n"
                                       "//float3 Base : Surface_BaseColor : pixel\n//[QIRN_END]\n");
    ObjectSurface surface;
    std::memset(&surface, 0, sizeof(surface));
    surface.shader = qeIrrShaderCreate(file.c_str(), nullptr);
    ASSERT_NE(nullptr, surface.shader);
    surface.ownsShader = surface.hasShaderMaterial = 1;

    ObjectSurfaceRecord r = blankRecord();
    ShaderParamRecord names[4] = {};
    std::strcpy(names[0].name, "tint");
    std::strcpy(names[1].name, "AMOUNT");
    std::strcpy(names[2].name, "Base");
    std::strcpy(names[3].name, "missing");
    const float values[4][3] = {{0.25f, 0.5f, 0.75f}, {2.0f, 9.0f, 9.0f}, {7.0f, 7.0f, 7.0f}, {1, 1, 1}};
    r.nodeShader = 1;
    r.shader.paramCount = 4;
    for (int k = 0; k < 4; ++k) {
        r.shader.params[k].param = &names[k];
        r.shader.params[k].type = k == 1 ? 1 : 0;
        std::memcpy(r.shader.params[k].value, values[k], sizeof(values[k]));
    }
    qeIrrlichtSetSceneTime(0, 1500);
    qeIrrlichtSurfaceUpdateShader(&surface, r);
    EXPECT_FLOAT_EQ(1.5f, surface.shader->time);
    const ShaderParam* tint = qeIrrShaderGetParam(surface.shader, 0);
    EXPECT_FLOAT_EQ(0.25f, tint->value.f[0]);
    EXPECT_FLOAT_EQ(0.75f, tint->value.f[2]);
    EXPECT_FLOAT_EQ(2.0f, qeIrrShaderGetParam(surface.shader, 1)->value.f[0]);
    EXPECT_EQ(1, qeIrrShaderGetParam(surface.shader, 2)->bound);
    EXPECT_EQ(65536, qeIrrShaderGetParam(surface.shader, 2)->value.id);
    qeIrrlichtSurfaceFreeShader(&surface);
    EXPECT_EQ(nullptr, surface.shader);
}

}  // namespace
