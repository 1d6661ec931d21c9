#ifndef QIRN_EFFECTS_RUNTIME_CQEEFFECT_H
#define QIRN_EFFECTS_RUNTIME_CQEEFFECT_H

#include "IQeGPUProgrammingServices.h"
#include "runtime/IQeEffect.h"
#include "runtime/IQeEffectTextureResolver.h"

// A runtime effect, built completely in its constructor by the effect builder.
class CQeEffect : public IQeEffect {
public:
    // Builds the effect; success and errorText report the builder's result. A failed effect is still a
    // valid object that the caller drops.
    CQeEffect(IQeGPUProgrammingServices* gpu, irr::io::IFileSystem* fileSystem,
              const irr::core::array<IQeEffectBind*>& binds,
              const irr::core::array<IQeEffectTextureResolver*>& resolvers,
              const irr::core::array<irr::core::stringc>& shaderDirs,
              const irr::core::array<irr::core::stringc>& textureDirs, IQeEffectDef* def, irr::s32 baseMaterial,
              const char* const* macros, irr::video::IShaderConstantSetCallBack* callback, bool& success,
              irr::core::stringc& errorText);
    ~CQeEffect() override;

    // The definition's queries.
    irr::io::path getFileName() const override { return Def->getFileName(); }
    bool getEffectDesc(SEffectDesc& desc) const override { return Def->getEffectDesc(desc); }
    const STechnique* getTechnique(irr::u32 index) const override { return Def->getTechnique(index); }
    bool getTechniqueDesc(const STechnique* t, STechniqueDesc& desc) const override {
        return Def->getTechniqueDesc(t, desc);
    }
    const SPass* getPass(const STechnique* t, irr::u32 index) const override { return Def->getPass(t, index); }
    bool getPassDesc(const SPass* p, SPassDesc& desc) const override { return Def->getPassDesc(p, desc); }
    const SState* getState(const SPass* p, irr::u32 index) const override { return Def->getState(p, index); }
    const SState* getStateByName(const SPass* p, const irr::c8* name) const override {
        return Def->getStateByName(p, name);
    }
    const SEvaluate* getEvaluate(const SPass* p, irr::u32 index) const override { return Def->getEvaluate(p, index); }
    const SParameter* getParameter(const SParameter* parent, irr::u32 index) const override {
        return Def->getParameter(parent, index);
    }
    const SParameter* getParameterBySemantic(const SParameter* parent, const irr::c8* semantic) const override {
        return Def->getParameterBySemantic(parent, semantic);
    }
    const SParameter* getParameterByName(const SParameter* parent, const irr::c8* name) const override {
        return Def->getParameterByName(parent, name);
    }
    irr::s32 getParameterIndex(const SParameter* parameter) const override { return Def->getParameterIndex(parameter); }
    const SShader* getShader(const SPass* p, irr::u32 index) const override { return Def->getShader(p, index); }
    bool getShaderDesc(const SShader* s, SShaderDesc& desc) const override { return Def->getShaderDesc(s, desc); }
    bool getShaderInlineSource(const SShader* s, irr::u32 index, const irr::c8*& text) const override {
        return Def->getShaderInlineSource(s, index, text);
    }
    const SParameter* getShaderAnnotation(const SShader* s, irr::u32 index) const override {
        return Def->getShaderAnnotation(s, index);
    }
    const SParameter* getBoundParameter(const SParameter* binding) const override {
        return Def->getBoundParameter(binding);
    }
    bool getParameterDesc(const SParameter* p, SParameterDesc& desc) const override {
        return Def->getParameterDesc(p, desc);
    }
    const SParameter* getAnnotation(const void* owner, irr::u32 index) const override {
        return Def->getAnnotation(owner, index);
    }
    const SParameter* getAnnotationByName(const void* owner, const irr::c8* name) const override {
        return Def->getAnnotationByName(owner, name);
    }
    bool getParameterName(const SParameter* p, const irr::c8*& name) const override {
        return Def->getParameterName(p, name);
    }
    bool getValueString(const SParameter* p, const irr::c8*& value) const override {
        return Def->getValueString(p, value);
    }
    bool getSamplerDesc(const SParameter* p, SSamplerDesc& desc) const override { return Def->getSamplerDesc(p, desc); }
    bool getStateDesc(const SState* s, SStateDesc& desc) const override { return Def->getStateDesc(s, desc); }
    const SParameter* getStateParameter(const SState* s) const override { return Def->getStateParameter(s); }
    bool getEvaluateDesc(const SEvaluate* e, SEvaluateDesc& desc) const override {
        return Def->getEvaluateDesc(e, desc);
    }
    const SParameter* getEvaluateParameter(const SEvaluate* e) const override { return Def->getEvaluateParameter(e); }

    // The effect's own values.
    bool getValueFloat(const SParameter* parameter, irr::f32& value) const override;
    bool getValueFloats(const SParameter* parameter, irr::f32* out, irr::u32 count) const override;
    bool getValueBool(const SParameter* parameter, bool& value) const override;
    bool getValueInt(const SParameter* parameter, irr::s32& value) const override;
    bool getValueInts(const SParameter* parameter, irr::s32* out, irr::u32 count) const override;
    bool setValueFloat(const SParameter* parameter, irr::f32 value) override;
    bool setValueFloats(const SParameter* parameter, const irr::f32* values, irr::u32 count) override;
    bool setValueBool(const SParameter* parameter, bool value) override;
    bool setValueInt(const SParameter* parameter, irr::s32 value) override;
    bool setValueInts(const SParameter* parameter, const irr::s32* values, irr::u32 count) override;

    bool setTexture(const SParameter* parameter, irr::video::ITexture* texture) override;
    bool setMaterial(irr::u32 technique, irr::u32 pass, irr::video::SMaterial& material) override;
    bool setTextureOnMaterial(irr::u32 technique, irr::u32 pass, const SParameter* parameter,
                              irr::video::SMaterial& material, irr::video::ITexture* texture) override;
    void onSetShaderConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData,
                              const SQeNodeExtMaterial* record) override;
    bool needsTangents(bool* secondFlag) override;
    IQeEffect* clone() override;

    // The built records, for the drawing code and tests.
    const irr::core::array<SQeFxParameter>& getParameterValues() const { return Parameters; }
    const irr::core::array<SQeFxTechnique>& getTechniques() const { return Techniques; }
    const irr::core::array<IQeEffectBind*>& getBinds() const { return Binds; }

private:
    explicit CQeEffect(const CQeEffect& other);
    CQeEffect& operator=(const CQeEffect&) = delete;
    // The value block of a parameter of the definition, or null for any other record.
    irr::u8* valueOf(const SParameter* parameter);
    const irr::u8* valueOf(const SParameter* parameter) const;
    const SQeFxPass* findPass(irr::u32 technique, irr::u32 pass) const;

    IQeEffectDef* Def;
    irr::core::array<SQeFxParameter> Parameters;
    irr::core::array<SQeFxTechnique> Techniques;
    irr::core::array<IQeEffectBind*> Binds;
};

// The shader-constant callback of every pass material: it finds the draw record that the material
// carries and lets its effect set the constants.
class CQeEffectCallback : public irr::video::IShaderConstantSetCallBack {
public:
    void OnSetMaterial(const irr::video::SMaterial& material) override { Material = &material; }
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;

private:
    const irr::video::SMaterial* Material = nullptr;
};

#endif
