// Stand-ins for the runtime-effect tests: a definition built by hand, GPU programming services that
// answer from tables, material renderer services that record what they are given, a bind of one
// semantic, and the fixture that builds effects from them.
#ifndef QIRN_TESTS_EFFECTS_RUNTIME_FIXTURE_H
#define QIRN_TESTS_EFFECTS_RUNTIME_FIXTURE_H

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "IQeGPUProgrammingServices.h"
#include "QeLog.h"
#include "binds/CQeEffectBind.h"
#include "defs/CQeEffectDef.h"
#include "effects_fixture.h"
#include "runtime/CQeEffect.h"

namespace qetest {

// A definition whose records the test writes directly.
class HandDef : public CQeEffectDef {
public:
    explicit HandDef(const char* file = "hand.fx") : CQeEffectDef(nullptr, file, false, &error) {}
    SEffect& effect() { return Effect; }
    SParameter& addParam(const char* name, irr::u32 type, const char* value = "", const char* semantic = "") {
        SParameter p;
        p.name = name;
        p.type = type;
        p.value = value;
        p.semantic = semantic;
        Effect.parameters.push_back(p);
        return Effect.parameters.getLast();
    }
    // A technique with one pass of a vertex shader and a pixel shader (both ..._3_0).
    SPass& addPass(const char* vs = "v.hlsl", const char* ps = "p.hlsl") {
        if (Effect.techniques.empty()) Effect.techniques.push_back(STechnique());
        SPass pass;
        pass.shaders.push_back(shader(EQESS_VERTEX, "vs_main", vs, EQEST_VS_3_0));
        pass.shaders.push_back(shader(EQESS_PIXEL, "ps_main", ps, EQEST_PS_3_0));
        Effect.techniques.getLast().passes.push_back(pass);
        return Effect.techniques.getLast().passes.getLast();
    }
    static SShader shader(irr::u32 stage, const char* entry, const char* source, irr::u32 target) {
        SShader s;
        s.stage = stage;
        s.entry = entry;
        s.source = source;
        s.target = target;
        return s;
    }
    static void bind(SShader& shader, const char* symbol, const char* parameter) {
        SParameter b;
        b.name = symbol;
        b.value = parameter;
        shader.annotations.push_back(b);
    }
    static void state(SPass& pass, const char* name, const char* value, const char* param = "", irr::s32 index = 0) {
        SState s;
        s.name = name;
        s.value = value;
        s.param = param;
        s.index = index;
        pass.states.push_back(s);
    }
    static void annotate(irr::core::array<SParameter>& list, const char* name, const char* value) {
        SParameter a;
        a.name = name;
        a.value = value;
        list.push_back(a);
    }
    static inline const irr::c8* error = nullptr;  // static: the base constructor writes it
};

// GPU programming services that record every material request and answer the constant and sampler
// lookups from their tables (a name missing from a table is not used by the shader).
class FakeGpu : public IQeGPUProgrammingServices {
public:
    struct Call {
        std::string vertexFile, vertexEntry, pixelFile, pixelEntry;
        int vertexTarget, pixelTarget, baseMaterial;
        std::vector<std::pair<std::string, std::string>> macros;
        irr::video::IShaderConstantSetCallBack* callback;
    };
    void setShaderCache(const irr::core::stringc&, irr::u32) override {}
    irr::s32 getShaderMaterial(const irr::core::stringc& vf, const char* ve, irr::video::E_VERTEX_SHADER_TYPE vt,
                               const irr::core::stringc& pf, const char* pe, irr::video::E_PIXEL_SHADER_TYPE pt,
                               irr::video::IShaderConstantSetCallBack* cb, irr::video::E_MATERIAL_TYPE base, irr::s32,
                               const SQeMacro* macros) override {
        Call c{vf.c_str(), ve, pf.c_str(), pe, vt, pt, base, {}, cb};
        for (; macros && macros->Name; ++macros)
            c.macros.emplace_back(macros->Name, macros->Definition ? macros->Definition : "");
        calls.push_back(c);
        return result;
    }
    bool getPixelShaderConstantRegister(irr::s32, const char* name, irr::s32* index) override {
        return find(psConstants, name, index);
    }
    bool getVertexShaderConstantRegister(irr::s32, const char* name, irr::s32* index) override {
        return find(vsConstants, name, index);
    }
    bool getPixelShaderSamplerIndex(irr::s32, const char* name, irr::s32* index) override {
        return find(psSamplers, name, index);
    }
    bool getVertexShaderSamplerIndex(irr::s32, const char* name, irr::s32* index) override {
        return find(vsSamplers, name, index);
    }
    bool printConstants(irr::s32) override { return false; }

    irr::s32 result = 40;
    std::vector<Call> calls;
    std::map<std::string, irr::s32> vsConstants, psConstants, vsSamplers, psSamplers;

private:
    static bool find(const std::map<std::string, irr::s32>& table, const char* name, irr::s32* index) {
        auto it = table.find(name ? name : "");
        if (it == table.end()) return false;
        *index = it->second;
        return true;
    }
};

// Material renderer services that record each constant they are handed.
class RecordingServices : public irr::video::IMaterialRendererServices {
public:
    struct Set {
        bool vertex;
        std::string name;  // empty when set by register
        int reg;           // -1 when set by name
        std::vector<float> floats;
    };
    void setBasicRenderStates(const irr::video::SMaterial&, const irr::video::SMaterial&, bool) override {}
    bool setVertexShaderConstant(const irr::c8* name, const irr::f32* f, int count) override {
        return byName(true, name, f, count);
    }
    bool setVertexShaderConstant(const irr::c8*, const bool*, int) override { return false; }
    bool setVertexShaderConstant(const irr::c8*, const irr::s32*, int) override { return false; }
    void setVertexShaderConstant(const irr::f32* data, irr::s32 reg, irr::s32 amount) override {
        sets.push_back({true, "", reg, std::vector<float>(data, data + 4 * amount)});
    }
    bool setPixelShaderConstant(const irr::c8* name, const irr::f32* f, int count) override {
        return byName(false, name, f, count);
    }
    bool setPixelShaderConstant(const irr::c8*, const bool*, int) override { return false; }
    bool setPixelShaderConstant(const irr::c8*, const irr::s32*, int) override { return false; }
    void setPixelShaderConstant(const irr::f32* data, irr::s32 reg, irr::s32 amount) override {
        sets.push_back({false, "", reg, std::vector<float>(data, data + 4 * amount)});
    }
    irr::video::IVideoDriver* getVideoDriver() override { return nullptr; }
    std::vector<Set> sets;

private:
    bool byName(bool vertex, const irr::c8* name, const irr::f32* f, int count) {
        sets.push_back({vertex, name, -1, std::vector<float>(f, f + count)});
        return true;
    }
};


// One constant put to a bind: what the bind answers and what its setter hands over.
struct Constant {
    Constant(const char* semantic, irr::u32 type = EQEPT_FLOAT4, irr::u32 stage = EQESS_PIXEL, irr::s32 reg = -1) {
        record.stage = stage;
        record.type = type;
        record.name = "c";
        record.semantic = semantic;
        record.reg = reg;
    }
    // True when the bind claims the constant.
    bool ask(IQeEffectBind& bind) {
        record.bind = &bind;
        record.setter = bind.getBindFunction(&record, record.userData);
        return record.setter != nullptr;
    }
    // Runs the setter; the services record what it sent.
    bool set(qetest::RecordingServices& services) { return (record.bind->*record.setter)(&services, &record, record.userData); }
    SQeFxConstBind record;
};

// The floats the bind sends for the constant; empty when it does not claim it or sends nothing.
inline std::vector<float> sent(IQeEffectBind& bind, Constant c, qetest::RecordingServices& services) {
    services.sets.clear();
    if (!c.ask(bind)) return {};
    c.set(services);
    return services.sets.empty() ? std::vector<float>() : services.sets.back().floats;
}

// A bind that claims the constants of one semantic; it sends 42 by register and counts its
// onSetMaterial calls, whose answer the test chooses.
class SemanticBind : public IQeEffectBind {
public:
    explicit SemanticBind(const char* semantic) : Semantic(semantic) {}
    bool onSetMaterial(const SQeNodeExtMaterial*, irr::s32) override {
        ++materialCalls;
        return answer;
    }
    BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) override {
        if (!record->semantic || std::strcmp(record->semantic, Semantic) != 0) return nullptr;
        userData[0] = 42;
        return static_cast<BindSetter>(&SemanticBind::send);
    }
    int materialCalls = 0;
    bool answer = true;

private:
    bool send(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record, const irr::u32* userData) {
        const irr::f32 v[4] = {static_cast<irr::f32>(userData[0]), 0, 0, 0};
        services->setPixelShaderConstant(v, record->reg, 1);
        return true;
    }
    const char* Semantic;
};


// A null device, a hand-made definition and runtime effects built from it over the table-driven GPU
// services, with the semantic bind first and the generic bind last.
class EffectTest : public testing::Test {
public:
    void SetUp() override {
        device = irr::createDevice(irr::video::EDT_NULL);
        ASSERT_NE(device, nullptr);
        binds.push_back(&semantic);
        binds.push_back(&generic);
    }
    void TearDown() override {
        if (effect) effect->drop();
        def->drop();
        device->drop();
    }
    // Builds an effect from the definition; keeps it, the result and the error text.
    CQeEffect* build(irr::s32 base = -1, const char* const* macros = nullptr) {
        if (effect) effect->drop();
        error = "";
        effect = new CQeEffect(&gpu, device->getFileSystem(), binds, resolvers, shaderDirs, textureDirs, def, base,
                               macros, &callback, ok, error);
        return effect;
    }

    irr::IrrlichtDevice* device = nullptr;
    FakeGpu gpu;
    SemanticBind semantic{"ViewPosition"};
    CQeEffectBind generic;
    CQeEffectCallback callback;
    irr::core::array<IQeEffectBind*> binds;
    irr::core::array<IQeEffectTextureResolver*> resolvers;
    irr::core::array<irr::core::stringc> shaderDirs, textureDirs;
    HandDef* def = new HandDef();
    CQeEffect* effect = nullptr;
    bool ok = false;
    irr::core::stringc error;
};

}  // namespace qetest

#endif
