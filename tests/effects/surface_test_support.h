#ifndef QIRN_TESTS_EFFECTS_SURFACE_TEST_SUPPORT_H
#define QIRN_TESTS_EFFECTS_SURFACE_TEST_SUPPORT_H

#include <irrlicht.h>

#include <map>
#include <string>
#include <vector>

#include "IQeSceneNodeExt.h"
#include "runtime/IQeEffect.h"
#include "surfaces/IQeSurface.h"

// A texture that only carries a name and a kind (2 answers as a cube texture).
template <class Base>
class FakeTextureOf : public Base {
public:
    explicit FakeTextureOf(const char* name) : Base(name) {}
    void* lock(irr::video::E_TEXTURE_LOCK_MODE, irr::u32) override { return nullptr; }
    void unlock() override {}
    const irr::core::dimension2d<irr::u32>& getOriginalSize() const override { return Size; }
    const irr::core::dimension2d<irr::u32>& getSize() const override { return Size; }
    irr::video::E_DRIVER_TYPE getDriverType() const override { return irr::video::EDT_NULL; }
    irr::video::ECOLOR_FORMAT getColorFormat() const override { return irr::video::ECF_A8R8G8B8; }
    irr::u32 getPitch() const override { return 4; }
    void regenerateMipMapLevels(void*) override {}

private:
    irr::core::dimension2d<irr::u32> Size{1, 1};
};
typedef FakeTextureOf<irr::video::ITexture> FakeTexture;
typedef FakeTextureOf<irr::video::ITextureCUBE> FakeCubeTexture;

// An effect with sampler parameters by semantic; it records the texture calls it gets. Technique t,
// pass p exists when p < passes[t]; setMaterial gives the pass material of passMaterials.
class FakeEffect : public IQeEffect {
public:
    struct TextureCall {
        std::string semantic;
        irr::video::ITexture* texture;
        irr::u32 technique, pass;
    };
    std::map<std::string, SParameter> parameters;
    std::vector<TextureCall> calls;
    std::string failOn;               // a semantic whose texture calls answer false
    std::vector<irr::u32> passes{1};  // pass count per technique
    irr::video::SMaterial passMaterial;
    irr::s32 textureLayer = 0;        // the layer setTextureOnMaterial writes

    void addSampler(const char* semantic) {
        SParameter& p = parameters[semantic];
        p.semantic = semantic;
        p.type = EQEPT_SAMPLER2D;
    }

    // Effect operations.
    bool setValueFloat(const SParameter*, irr::f32) override { return true; }
    bool setValueFloats(const SParameter*, const irr::f32*, irr::u32) override { return true; }
    bool setValueBool(const SParameter*, bool) override { return true; }
    bool setValueInt(const SParameter*, irr::s32) override { return true; }
    bool setValueInts(const SParameter*, const irr::s32*, irr::u32) override { return true; }
    bool setTexture(const SParameter* p, irr::video::ITexture* t) override {
        calls.push_back({p->semantic.c_str(), t, ~0u, ~0u});
        return failOn != p->semantic.c_str();
    }
    bool setMaterial(irr::u32 t, irr::u32 p, irr::video::SMaterial& m) override {
        if (t >= passes.size() || p >= passes[t]) return false;
        m.MaterialType = passMaterial.MaterialType;
        m.MaterialTypeParam = passMaterial.MaterialTypeParam;
        m.MaterialTypeParam2 = passMaterial.MaterialTypeParam2;
        for (irr::u32 i = 0; i < irr::video::MATERIAL_MAX_TEXTURES; ++i) m.TextureLayer[i] = passMaterial.TextureLayer[i];
        return true;
    }
    bool setTextureOnMaterial(irr::u32 t, irr::u32 pass, const SParameter* p, irr::video::SMaterial& m,
                              irr::video::ITexture* tex) override {
        calls.push_back({p->semantic.c_str(), tex, t, pass});
        m.setTexture(textureLayer, tex);
        return failOn != p->semantic.c_str();
    }
    void onSetShaderConstants(irr::video::IMaterialRendererServices*, irr::s32, const SQeNodeExtMaterial*) override {}
    bool needsTangents(bool* second) override {
        if (second) *second = false;
        return false;
    }
    IQeEffect* clone() override { return nullptr; }

    // Definition queries: only the parameter search by semantic answers.
    const SParameter* getParameterBySemantic(const SParameter*, const irr::c8* semantic) const override {
        auto it = parameters.find(semantic ? semantic : "");
        return it == parameters.end() ? nullptr : &it->second;
    }
    irr::io::path getFileName() const override { return ""; }
    bool getEffectDesc(SEffectDesc&) const override { return false; }
    const STechnique* getTechnique(irr::u32) const override { return nullptr; }
    bool getTechniqueDesc(const STechnique*, STechniqueDesc&) const override { return false; }
    const SPass* getPass(const STechnique*, irr::u32) const override { return nullptr; }
    bool getPassDesc(const SPass*, SPassDesc&) const override { return false; }
    const SState* getState(const SPass*, irr::u32) const override { return nullptr; }
    const SState* getStateByName(const SPass*, const irr::c8*) const override { return nullptr; }
    const SEvaluate* getEvaluate(const SPass*, irr::u32) const override { return nullptr; }
    const SParameter* getParameter(const SParameter*, irr::u32) const override { return nullptr; }
    const SParameter* getParameterByName(const SParameter*, const irr::c8*) const override { return nullptr; }
    irr::s32 getParameterIndex(const SParameter*) const override { return -1; }
    const SShader* getShader(const SPass*, irr::u32) const override { return nullptr; }
    bool getShaderDesc(const SShader*, SShaderDesc&) const override { return false; }
    bool getShaderInlineSource(const SShader*, irr::u32, const irr::c8*&) const override { return false; }
    const SParameter* getShaderAnnotation(const SShader*, irr::u32) const override { return nullptr; }
    const SParameter* getBoundParameter(const SParameter*) const override { return nullptr; }
    bool getParameterDesc(const SParameter*, SParameterDesc&) const override { return false; }
    const SParameter* getAnnotation(const void*, irr::u32) const override { return nullptr; }
    const SParameter* getAnnotationByName(const void*, const irr::c8*) const override { return nullptr; }
    bool getValueFloat(const SParameter*, irr::f32&) const override { return false; }
    bool getValueFloats(const SParameter*, irr::f32*, irr::u32) const override { return false; }
    bool getValueBool(const SParameter*, bool&) const override { return false; }
    bool getValueInt(const SParameter*, irr::s32&) const override { return false; }
    bool getValueInts(const SParameter*, irr::s32*, irr::u32) const override { return false; }
    bool getParameterName(const SParameter*, const irr::c8*&) const override { return false; }
    bool getValueString(const SParameter*, const irr::c8*&) const override { return false; }
    bool getSamplerDesc(const SParameter*, SSamplerDesc&) const override { return false; }
    bool getStateDesc(const SState*, SStateDesc&) const override { return false; }
    const SParameter* getStateParameter(const SState*) const override { return nullptr; }
    bool getEvaluateDesc(const SEvaluate*, SEvaluateDesc&) const override { return false; }
    const SParameter* getEvaluateParameter(const SEvaluate*) const override { return nullptr; }
};

#endif
