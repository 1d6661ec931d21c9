// The effect manager: its definition cache by absolute file name, its loaders, binds and last error.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "binds/CQeEffectBind.h"
#include "binds/CQeEffectBindEngine.h"
#include "file_fixtures.h"
#include "runtime/CQeEffectManager.h"
#include "runtime_fixture.h"

using irr::u32;

namespace {

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

class EffectManager : public testing::Test {
protected:
    void SetUp() override {
        device = irr::createDevice(irr::video::EDT_NULL);
        ASSERT_NE(device, nullptr);
        manager = new CQeEffectManager(device, &gpu, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        delete manager;
        device->drop();
    }
    irr::IrrlichtDevice* device = nullptr;
    qetest::FakeGpu gpu;
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
