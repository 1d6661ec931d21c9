#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QeLog.h"
#include "effects_fixture.h"
#include "surface_test_support.h"
#include "surfaces/CQeSurfaceLightwave.h"
#include "surfaces/CQeSurfaceLightwaveHV.h"
#include "surfaces/CQeSurfaceManager.h"

using namespace irr;

namespace {

// The macro names of a list, up to its closing pair.
std::vector<std::string> names(const SQeSurfaceMacro* macros) {
    std::vector<std::string> out;
    for (; macros->name; ++macros) {
        EXPECT_EQ(nullptr, macros->definition);
        out.push_back(macros->name);
    }
    return out;
}

struct Surfaces : testing::Test {
    qetest::LogCapture logger;
    FakeTexture tex{"t.png"}, tex2{"u.png"};
    FakeCubeTexture cube{"sky00.jpg_cube"};
    CQeSurfaceLightwave* lw = new CQeSurfaceLightwave();
    CQeSurfaceLightwaveHV* hv = new CQeSurfaceLightwaveHV();
    SQeSurfaceMacro macros[16];
    u32 base = 99;

    ~Surfaces() override {
        lw->drop();
        hv->drop();
    }
    std::vector<std::string> compile(IQeSurface* s, s32 capacity, scene::ISceneNode* node = nullptr) {
        for (SQeSurfaceMacro& m : macros) m = {"junk", "junk"};
        EXPECT_TRUE(s->getEffectCompileParameters(&base, macros, capacity, node));
        return names(macros);
    }
};

TEST_F(Surfaces, ChannelNamesAndCheckedIndices) {
    EXPECT_STREQ("VertexNormal", qeLightwaveChannelName(38));
    EXPECT_STREQ("", qeLightwaveChannelName(39));
    // Channels out of range are ignored and read as zero.
    lw->setChannelFloat(39, 5.0f);
    lw->setChannelTexture(100, &tex);
    EXPECT_EQ(0.0f, lw->getChannelFloat(39));
    EXPECT_EQ(0.0f, lw->getChannelVector(39)[2]);
    EXPECT_EQ(nullptr, lw->getChannelTexture(39));

}

TEST_F(Surfaces, LightwaveMacroLists) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL);
    scene::ISceneManager* smgr = device->getSceneManager();
    scene::IMesh* cubeMesh = smgr->getGeometryCreator()->createCubeMesh();
    scene::IMeshSceneNode* meshNode = smgr->addMeshSceneNode(cubeMesh);
    cubeMesh->drop();
    scene::ISceneNode* cubeNode = smgr->addCubeSceneNode();  // not of the mesh node type

    lw->setChannelTexture(LWC_BaseColor, &tex);
    EXPECT_FALSE(lw->getEffectCompileParameters(&base, macros, 1, nullptr));
    EXPECT_EQ(1, logger.count("CQeSurfaceLightwave::getEffectCompileParameters Not enough space for macros", ELL_ERROR));

    // A cube reflection image with reflection options 2, a reflectivity texture, transparency.
    lw->setChannelTexture(LWC_ReflectionImage, &cube);
    lw->setChannelInt(LWC_ReflectionOptions, 2);
    lw->setChannelTexture(LWC_Reflectivity, &tex);
    lw->setChannelFloat(LWC_Transparency, 0.5f);
    EXPECT_EQ((std::vector<std::string>{"USE_TEX_COLOR", "USE_TEX_REFLECIMG", "USE_TEX_REFLECTIVITY", "USE_TRANSPARENT",
                                        "USE_TEX_REFLECCUBE"}),
              compile(lw, 16));
    EXPECT_EQ(13u, base);

    // Bump: computed tangents on nodes that are not mesh nodes, the second UV set on mesh nodes.
    CQeSurfaceLightwave* bump = new CQeSurfaceLightwave();
    bump->setChannelTexture(LWC_Bump, &tex);
    EXPECT_EQ((std::vector<std::string>{"USE_TEX_NORMAL", "USE_COMPTANGENT"}), compile(bump, 4, cubeNode));
    // Bump on one material and luminosity on another of the same node.
    IQeSceneNodeExt* ext = createQeSceneNodeExt(meshNode);
    meshNode->addAnimator(ext);
    ext->drop();
    CQeSurfaceLightwave* glow = new CQeSurfaceLightwave();
    glow->setChannelTexture(LWC_Luminosity, &tex2);
    ext->setSurface(0, glow);
    EXPECT_EQ((std::vector<std::string>{"USE_TEX_NORMAL"}), compile(bump, 4, meshNode));  // only one material
    bump->setChannelTexture(LWC_Luminosity, &tex2);
    EXPECT_EQ((std::vector<std::string>{"USE_TEX_LUMINOSITY", "USE_TEX_NORMAL", "USE_UV2INTEX2"}),
              compile(bump, 4, meshNode));
    glow->drop();
    bump->drop();
    device->drop();
}

TEST_F(Surfaces, HypervoxelMaterialsAndMacros) {
    EXPECT_EQ((std::vector<std::string>{"USE_BLEND_ADD"}), compile(hv, 3));
    EXPECT_EQ(video::EMT_TRANSPARENT_ADD_COLOR, base);
    EXPECT_FALSE(hv->getEffectCompileParameters(&base, macros, 1, nullptr));
    EXPECT_EQ(1, logger.count("CQeSurfaceLightwaveHV::getEffectCompileParameters Not enough space for macros", ELL_ERROR));

    LightwaveHVParams* p = hv->getParameters();
    p->colorTexture = 1;
    p->rotation = 0.5f;
    p->blend = 2;
    EXPECT_EQ((std::vector<std::string>{"USE_TEX_COLOR", "USE_ROTATION", "USE_BLEND_SUB"}), compile(hv, 4));
    EXPECT_EQ(video::EMT_ONETEXTURE_BLEND, base);
    EXPECT_FALSE(hv->getEffectCompileParameters(&base, macros, 3, nullptr));  // no room for the blend macro

    // read back: a material the hypervoxel cannot blend with becomes additive
    for (video::E_MATERIAL_TYPE in : {video::EMT_ONETEXTURE_BLEND, video::EMT_SOLID}) {
        video::SMaterial m, out;
        m.MaterialType = in;
        hv->readMaterial(m);
        hv->writeMaterial(out);
        EXPECT_EQ(in == video::EMT_SOLID ? video::EMT_TRANSPARENT_ADD_COLOR : in, out.MaterialType);
        EXPECT_FALSE(out.ZWriteEnable);
    }
}

TEST_F(Surfaces, TexturesHandedToAnEffect) {
    FakeEffect effect;
    effect.addSampler("LW_Tex_BaseColor");
    effect.addSampler("LW_Tex_ReflectionImage");
    effect.addSampler("LW_Tex_Luminosity");
    effect.addSampler("LW_Tex_VertexNormal");  // not a texture channel
    lw->setChannelTexture(LWC_BaseColor, &tex);
    lw->setChannelTexture(LWC_ReflectionImage, &cube);
    ASSERT_TRUE(lw->setEffectTextures(&effect));
    ASSERT_EQ(3u, effect.calls.size());
    EXPECT_EQ("LW_Tex_Luminosity", effect.calls[1].semantic);
    EXPECT_EQ(nullptr, effect.calls[1].texture);
    EXPECT_EQ(&cube, effect.calls[2].texture);

    effect.calls.clear();
    video::SMaterial m;
    effect.textureLayer = 3;
    ASSERT_TRUE(lw->setEffectTextureOnMaterial(&m, &effect, 1, 2));
    EXPECT_EQ(2u, effect.calls.back().pass);
    EXPECT_EQ(&cube, m.getTexture(3));

    effect.failOn = "LW_Tex_Luminosity";
    EXPECT_FALSE(lw->setEffectTextures(&effect));
    EXPECT_FALSE(lw->setEffectTextureOnMaterial(&m, &effect, 0, 0));
    EXPECT_EQ(1, logger.count("CQeSurfaceLightwave::setEffectTextures setSamplerTexture failed for LW_Tex_Luminosity", ELL_ERROR));
    EXPECT_EQ(1, logger.count("CQeSurfaceLightwave::setEffectTextureOnMaterial setSamplerTextureOnMaterial failed for LW_Tex_Luminosity", ELL_ERROR));

    FakeEffect particles;
    particles.addSampler("LWHV_Tex_Clip");
    hv->getParameters()->clipTexture = &tex2;
    particles.failOn = "LWHV_Tex_Clip";
    EXPECT_FALSE(hv->setEffectTextureOnMaterial(&m, &particles, 0, 0));
    EXPECT_EQ(1, logger.count("CQeSurfaceLightwaveHV::setEffectTextureOnMaterial setSamplerTextureOnMaterial failed for LWHV_Tex_Clip", ELL_ERROR));
}

TEST(SurfaceManager, MakesSurfacesByNameAndCode) {
    CQeSurfaceManager manager(nullptr);
    EXPECT_EQ(0x7273776Cu, EQEST_LIGHTWAVE);
    EXPECT_EQ(0x7668776Cu, EQEST_LIGHTWAVEHV);
    const struct {
        const char* name;
        u32 type;
    } cases[] = {{"lightwave", EQEST_LIGHTWAVE}, {"lightwave_hv", EQEST_LIGHTWAVEHV}, {"LightWave", 0}, {"", 0},
                 {nullptr, 0}};
    for (const auto& c : cases) {
        IQeSurface* s = manager.createSurface(c.name);
        if (!c.type) {
            EXPECT_EQ(nullptr, s) << (c.name ? c.name : "null");
            continue;
        }
        ASSERT_NE(nullptr, s) << c.name;
        EXPECT_EQ(c.type, s->getType());
        s->drop();
    }
    EXPECT_EQ(nullptr, manager.createSurfaceByType(MAKE_IRR_ID('l', 'w', 's', 's')));
}

}  // namespace
