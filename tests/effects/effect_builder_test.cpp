// The effect builder and its pass programs, driven through runtime effects built from hand-made
// definitions over GPU services that answer from tables.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "IQeTextureManager.h"
#include "file_fixtures.h"
#include "runtime/CQeEffectTextureResolver.h"
#include "runtime_fixture.h"

using irr::f32;
using irr::s32;
using irr::u32;
using irr::core::stringc;
using qetest::HandDef;

namespace {

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

}  // namespace
