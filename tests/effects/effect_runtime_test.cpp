// Runtime effects built from hand-made definitions over GPU services that answer from tables: the
// builder's pass programs and failure texts, the effects' own values, materials and constant callback,
// the scene-node extension, and the effect manager's cache, loaders and binds.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "IQeTextureManager.h"
#include "binds/CQeEffectBindEngine.h"
#include "file_fixtures.h"
#include "runtime/CQeEffectManager.h"
#include "runtime/CQeEffectTextureResolver.h"
#include "runtime/CQeSceneNodeExt.h"
#include "surfaces/CQeSurfaceLightwave.h"
#include "runtime_fixture.h"

using irr::f32;
using irr::s32;
using irr::u32;
using irr::core::stringc;
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

// Textures by name from the null driver; records each name asked for.
class NamedTextures : public IQeTextureManager {
public:
    explicit NamedTextures(irr::video::IVideoDriver* driver) : Driver(driver) {}
    irr::video::ITexture* getTexture(const irr::io::path& name) override { return make("2d:", name); }
    irr::video::ITexture* loadCubeTexture(const irr::io::path& name) override { return make("cube:", name); }
    irr::video::ITexture* loadTexture(const irr::io::path& name) override { return make("plain:", name); }
    irr::video::ITexture* loadTextureR32F(const irr::io::path& name) override { return make("r32f:", name); }
    std::vector<std::string> asked;
    bool fail = false;

private:
    irr::video::ITexture* make(const char* kind, const irr::io::path& name) {
        asked.push_back(std::string(kind) + name.c_str());
        return fail ? nullptr : Driver->addTexture(irr::core::dimension2d<u32>(4, 4), name);
    }
    irr::video::IVideoDriver* Driver;
};

class Builder : public qetest::EffectTest {
public:
    void SetUp() override {
        EffectTest::SetUp();
        textures = new NamedTextures(device->getVideoDriver());
        resolver = new CQeEffectTextureResolver(device, textures);
        resolvers.push_back(resolver);
        def->drop();
        def = new HandDef((dir.path() + "fx/effect.fx").c_str());
    }
    void TearDown() override {
        if (resolver) resolver->drop();
        delete textures;
        EffectTest::TearDown();
    }
    SQeFxPass pass(u32 t = 0, u32 p = 0) { return effect->getTechniques()[t].passes[p]; }
    SShader& vs(u32 p = 0) { return def->effect().techniques[0].passes[p].shaders[0]; }
    SShader& ps(u32 p = 0) { return def->effect().techniques[0].passes[p].shaders[1]; }

    qetest::TempDir dir{"builder"};
    NamedTextures* textures = nullptr;
    CQeEffectTextureResolver* resolver = nullptr;
};

TEST_F(Builder, FailureTexts) {
    struct Case {
        const char* expected;
        std::function<void(Builder&)> setUp;
    };
    const std::vector<Case> cases = {
        {"Unsupported Vertex Compiler target", [](Builder& b) { b.vs().target = EQEST_PS_2_0; }},
        {"Unsupported Pixel Compiler target", [](Builder& b) { b.ps().target = EQEST_NONE; }},
        {"Inconsistent Vertex Shader Filename file://", [](Builder& b) { b.vs().source = "file://"; }},
        {"Inconsistent Pixel Shader Filename ", [](Builder& b) { b.ps().source = ""; }},
        {"Invalid base material annotation glass",
         [](Builder& b) { HandDef::annotate(b.def->effect().techniques[0].passes[0].annotations, "baseMaterial", "glass"); }},
        {"Invalid source inline : no #define", [](Builder& b) { b.ps().inlineSources.push_back("float4 x;"); }},
        {"Failed to compile shader", [](Builder& b) { b.gpu.result = -1; }},
        {"failed to get Param 'ghost' for the Bind 'g'", [](Builder& b) { HandDef::bind(b.vs(), "g", "ghost"); }},
        {"failed to get Param 'nope' for the texture state'texture2D'",
         [](Builder& b) { HandDef::state(b.def->effect().techniques[0].passes[0], "texture2D", "", "nope", 0); }},
        {"Sampler illegal index > MATERIAL_MAX_TEXTURES",
         [](Builder& b) {
             b.def->addParam("T", EQEPT_SAMPLER2D);
             HandDef::state(b.def->effect().techniques[0].passes[0], "texture2D", "", "T", 8);
         }},
        {"Failed to get Texture [ Semantic=<null> ImageUrl=file://missing.png ] of parameter T",
         [](Builder& b) {
             b.def->addParam("T", EQEPT_SAMPLER2D).sampler.image = "file://missing.png";
             HandDef::state(b.def->effect().techniques[0].passes[0], "texture2D", "", "T", 0);
         }},
        {"failed to get a bind function for k",
         [](Builder& b) {
             b.binds.erase(1);  // no generic bind
             b.def->addParam("K", EQEPT_FLOAT);
             HandDef::bind(b.ps(), "k", "K");
             b.gpu.psConstants["k"] = 0;
         }},
    };
    for (const Case& c : cases) {
        def->drop();
        def = new HandDef((dir.path() + "fx/effect.fx").c_str());
        def->addPass();
        gpu = qetest::FakeGpu();
        binds.set_used(0);
        binds.push_back(&semantic);
        binds.push_back(&generic);
        c.setUp(*this);
        build();
        EXPECT_FALSE(ok) << c.expected;
        EXPECT_EQ(std::string(error.c_str()), c.expected);
    }
}

TEST_F(Builder, PassProgramArguments) {
    dir.mkdir("fx/sub");
    dir.write("fx/sub/v.hlsl", "x");
    const stringc fxDir = device->getFileSystem()->getFileDir(def->getFileName());
    SPass& p0 = def->addPass("file://sub/v.hlsl", "p.hlsl");
    SShader second = p0.shaders[0];
    second.source = "other.vsh";
    second.entry = "vs2";
    second.target = EQEST_VS_2_0;
    p0.shaders.push_back(second);  // a later vertex shader replaces the first
    HandDef::state(p0, "blend_enable", "TRUE");
    HandDef::state(p0, "blend_func src", "SRC_ALPHA");
    HandDef::annotate(def->addPass().annotations, "baseMaterial", "Transparent");
    def->addPass();
    HandDef::state(def->addPass(), "blend_enable", "true");
    def->effect().techniques[0].passes[3].states[0].value = "false";  // not enabled: base material rules
    const char* const macros[] = {"A", "1", "B", nullptr, nullptr};
    build(-1, macros);
    ASSERT_TRUE(ok) << error.c_str();
    ASSERT_EQ(gpu.calls.size(), 4u);
    EXPECT_EQ(gpu.calls[0].vertexFile + " " + gpu.calls[0].vertexEntry, "other.vsh vs2");
    EXPECT_EQ(gpu.calls[0].vertexTarget, irr::video::EVST_VS_2_0);
    EXPECT_EQ(gpu.calls[0].baseMaterial, irr::video::EMT_ONETEXTURE_BLEND);
    EXPECT_EQ(pass(0, 0).material.MaterialTypeParam, static_cast<f32>(0x2160));
    EXPECT_EQ(gpu.calls[1].baseMaterial, irr::video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    EXPECT_EQ(gpu.calls[3].baseMaterial, irr::video::EMT_SOLID);
    EXPECT_EQ(gpu.calls[2].macros, (std::vector<std::pair<std::string, std::string>>{{"A", "1"}, {"B", ""}}));
    // the file beside the effect is found there
    def->effect().techniques[0].passes[0].shaders.erase(2);
    build(irr::video::EMT_TRANSPARENT_ADD_COLOR);
    EXPECT_EQ(gpu.calls[4].vertexFile, (fxDir + "/sub/v.hlsl").c_str());
    EXPECT_EQ(gpu.calls[6].baseMaterial, irr::video::EMT_TRANSPARENT_ADD_COLOR);  // the effect's base material
    // and a search folder is tried next
    dir.mkdir("shaders");
    dir.write("shaders/s.hlsl", "x");
    shaderDirs.push_back((dir.path() + "shaders").c_str());
    vs(2).source = "s.hlsl";
    build();
    EXPECT_EQ(gpu.calls[10].vertexFile, dir.path() + "shaders/s.hlsl");
}

TEST_F(Builder, BindLookupOrderAndUnboundSemantics) {
    def->addParam("Eye", EQEPT_FLOAT3, "", "ViewPosition");
    def->addParam("Odd", EQEPT_FLOAT, "", "Mystery");
    def->addParam("Plain", EQEPT_FLOAT4X4);
    def->addParam("Hidden", EQEPT_FLOAT);
    SPass& p = def->addPass();
    HandDef::bind(p.shaders[1], "eye", "Eye");
    HandDef::bind(p.shaders[1], "odd", "Odd");
    HandDef::bind(p.shaders[0], "plain", "Plain");
    HandDef::bind(p.shaders[0], "hidden", "Hidden");  // the compiled shader does not use it
    gpu.psConstants = {{"eye", 4}, {"odd", -1}};
    gpu.vsConstants = {{"plain", 0}};
    qetest::LogCapture log;
    build();
    ASSERT_TRUE(ok) << error.c_str();
    const SQeFxPass fx = pass();
    ASSERT_EQ(fx.shaders[0].constBinds.size(), 1u);
    ASSERT_EQ(fx.shaders[1].constBinds.size(), 2u);
    EXPECT_EQ(fx.shaders[1].constBinds[0].bind, &semantic);
    EXPECT_EQ(fx.shaders[1].constBinds[0].reg, 4);
    EXPECT_EQ(fx.shaders[1].constBinds[1].bind, &generic);
    EXPECT_EQ(fx.shaders[0].constBinds[0].count, 16);
    EXPECT_EQ(fx.binds.size(), 2u);  // each bind once: generic (vertex shader first), then the semantic bind
    EXPECT_EQ(fx.binds[0], &generic);
    EXPECT_TRUE(log.has(irr::ELL_WARNING, "The Semantic 'Mystery' has not found correspond binding"));
    EXPECT_FALSE(log.has(irr::ELL_WARNING, "ViewPosition"));
    EXPECT_EQ(log.lines.size(), 1u);  // no warning for the constant without a semantic
}

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

const char* kShader =
    "// [QIRN_BEGIN]\n"
    "//float4 tint : 1,0,0,1 pixel\n"
    "//float3 eye : ViewPosition pixel\n"
    "// [QIRN_END]\n"
    "float4 ps_main() : COLOR { return 0; }\n";

// A loader of "*.xml" files that counts its calls and gives hand-made definitions.
class XmlLoader : public IQeEffectDefLoader {
public:
    bool isALoadableFileExtension(const irr::io::path& name) const override {
        return qeHasFileExtension(name, "xml", "xml");
    }
    IQeEffectDef* createEffectDef(irr::io::IFileSystem*, const irr::io::path& name, bool,
                                  const irr::c8** error) override {
        ++calls;
        qetest::HandDef* def = new qetest::HandDef(name.c_str());
        *error = nullptr;
        return def;
    }
    int calls = 0;
};

class EffectManager : public qetest::EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        manager = new CQeEffectManager(device, &gpu, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        delete manager;
        EffectTest::TearDown();
    }
    CQeEffectManager* manager = nullptr;
    qetest::TempDir dir{"manager"};
};

TEST_F(EffectManager, CachesOneDefinitionPerAbsolutePath) {
    const std::string a = dir.write("a.hlsl", kShader);
    const std::string c = dir.write("C.hlsl", kShader);
    IQeEffectDef* defA = manager->getEffectDef(a.c_str());
    IQeEffectDef* defC = manager->getEffectDef(c.c_str());
    ASSERT_NE(defA, nullptr);
    EXPECT_NE(defA, defC);
    // the same file named relatively finds the cached one
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    EXPECT_EQ(manager->getEffectDef("a.hlsl"), defA);
    EXPECT_EQ(manager->getEffectDef("./C.hlsl"), defC);
    SetCurrentDirectoryA(cwd);
    EXPECT_EQ(defA->getReferenceCount(), 1);  // the cache's reference only
}

TEST_F(EffectManager, LoaderFailuresAndUnknownFiles) {
    qetest::LogCapture log;
    EXPECT_EQ(manager->getEffectDef(dir.write("notes.txt", "x").c_str()), nullptr);
    EXPECT_TRUE(log.lines.empty());

    const std::string empty = dir.write("empty.hlsl", "");
    EXPECT_EQ(manager->getEffectDef(empty.c_str()), nullptr);
    EXPECT_TRUE(log.has(irr::ELL_ERROR, "CQeEffectManager: ERROR IQeEffectDef : Error"));
    EXPECT_STREQ(manager->getLastError(), "Error");
    // nothing was cached: the repaired file loads
    dir.write("empty.hlsl", kShader);
    EXPECT_NE(manager->getEffectDef(empty.c_str()), nullptr);

    // a later loader is asked first
    XmlLoader* xml = new XmlLoader();
    manager->addEffectDefLoader(xml);
    xml->drop();
    EXPECT_NE(manager->getEffectDef((dir.path() + "scene.xml").c_str()), nullptr);
    EXPECT_EQ(xml->calls, 1);
}

TEST_F(EffectManager, CreatesEffectsWithItsBindsAndCallback) {
    const std::string file = dir.write("fx.hlsl", kShader);
    gpu.psConstants = {{"tint", 0}, {"eye", 1}};
    qetest::LogCapture log;
    gpu.result = -1;
    EXPECT_EQ(manager->createEffect(file.c_str(), -1, nullptr, nullptr), nullptr);
    EXPECT_TRUE(log.has(irr::ELL_ERROR, "CQeEffectManager: ERROR CQeEffect : Failed to compile shader"));
    EXPECT_STREQ(manager->getLastError(), "Failed to compile shader");

    gpu.result = 40;
    const char* const macros[] = {"LIGHTS", "2", nullptr};
    IQeEffect* effect = manager->createEffect(file.c_str(), 13, macros, nullptr);
    ASSERT_NE(effect, nullptr);
    EXPECT_STREQ(manager->getLastError(), "Failed to compile shader");  // success leaves it
    const qetest::FakeGpu::Call& call = gpu.calls.back();
    EXPECT_EQ(call.baseMaterial, 13);
    ASSERT_EQ(call.macros.size(), 1u);
    EXPECT_NE(call.callback, nullptr);
    // the generic bind takes the constant without semantic, the camera bind the eye position
    const SQeFxShader& ps = static_cast<CQeEffect*>(effect)->getTechniques()[0].passes[0].shaders[1];
    ASSERT_EQ(ps.constBinds.size(), 2u);
    EXPECT_NE(dynamic_cast<CQeEffectBind*>(ps.constBinds[0].bind), nullptr);
    EXPECT_NE(dynamic_cast<CQeEffectBindCamera*>(ps.constBinds[1].bind), nullptr);
    effect->drop();

    // a bind added later is asked first
    qetest::SemanticBind* eye = new qetest::SemanticBind("ViewPosition");
    manager->addEffectBind(eye);
    effect = manager->createEffect(file.c_str(), -1, nullptr, nullptr);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(static_cast<CQeEffect*>(effect)->getTechniques()[0].passes[0].shaders[1].constBinds[1].bind, eye);
    effect->drop();
    eye->drop();
}

// Definitions of constants fed by services: the scene time, the lights, the ambient light, the screen
// and the camera.
class ValuesLoader : public IQeEffectDefLoader {
public:
    bool isALoadableFileExtension(const irr::io::path& name) const override {
        return qeHasFileExtension(name, "vals", "vals");
    }
    IQeEffectDef* createEffectDef(irr::io::IFileSystem*, const irr::io::path& name, bool,
                                  const irr::c8** error) override {
        qetest::HandDef* def = new qetest::HandDef(name.c_str());
        SPass& pass = def->addPass();
        const char* const rows[][2] = {{"time", "TimeScene"}, {"lights", "LightsNum"}, {"amb", "LightAmbient"},
                                       {"size", "ScreenSize"}, {"eye", "ViewPosition"}};
        for (const auto& row : rows) {
            def->addParam(row[0], EQEPT_FLOAT4, "", row[1]);
            qetest::HandDef::bind(pass.shaders[1], row[0], row[0]);
        }
        *error = nullptr;
        return def;
    }
};

TEST_F(EffectManager, BindsWithoutTheirServicesSetNothing) {
    // the manager was made without render services and scene manager, and the scene has no camera
    ValuesLoader* loader = new ValuesLoader();
    manager->addEffectDefLoader(loader);
    loader->drop();
    gpu.psConstants = {{"time", 0}, {"lights", 1}, {"amb", 2}, {"size", 3}, {"eye", 4}};
    IQeEffect* effect = manager->createEffect("values.vals", -1, nullptr, nullptr);
    ASSERT_NE(effect, nullptr) << manager->getLastError();
    SQeNodeExtMaterial record;
    record.activeEffect = effect;
    irr::video::SMaterial material;
    qeMaterialSetRecord(material, &record);
    qetest::RecordingServices services;
    irr::video::IShaderConstantSetCallBack* callback = gpu.calls.back().callback;
    callback->OnSetMaterial(material);
    callback->OnSetConstants(&services, 0);
    std::vector<std::string> names;
    for (const auto& set : services.sets) names.push_back(set.name);
    EXPECT_EQ(names, (std::vector<std::string>{"amb", "size"}));
    effect->drop();
}

}  // namespace
