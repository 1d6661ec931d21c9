#ifndef QIRN_EFFECTS_RUNTIME_CQEEFFECTBUILDER_H
#define QIRN_EFFECTS_RUNTIME_CQEEFFECTBUILDER_H

#include <irrlicht.h>

#include "IQeGPUProgrammingServices.h"
#include "runtime/IQeEffect.h"
#include "runtime/IQeEffectTextureResolver.h"

// Fills a runtime effect's parameter values and techniques from its definition: each pass compiled to
// its shader material, the constant binds and texture binds of each shader, the textures of the
// sampler parameters and the texture layers of each pass material. It runs once, in its constructor.
class CQeEffectBuilder {
public:
    CQeEffectBuilder(IQeGPUProgrammingServices* gpu, irr::io::IFileSystem* fileSystem,
                     const irr::core::array<IQeEffectBind*>& binds,
                     const irr::core::array<IQeEffectTextureResolver*>& resolvers,
                     const irr::core::array<irr::core::stringc>& shaderDirs,
                     const irr::core::array<irr::core::stringc>& textureDirs, const IQeEffectDef* def,
                     irr::s32 baseMaterial, const char* const* macros,
                     irr::video::IShaderConstantSetCallBack* callback,
                     irr::core::array<SQeFxParameter>& parameters, irr::core::array<SQeFxTechnique>& techniques);
    virtual ~CQeEffectBuilder() {}

    // Copies the error text out and answers whether the build succeeded.
    bool getResult(irr::core::stringc& errorText) const {
        errorText = Error;
        return Success;
    }

private:
    bool initParameters();
    bool initTechniques();
    bool initPass(const SPass* pass, SQeFxPass& out);
    bool initShader(const SShader* shader, irr::s32 materialType, SQeFxShader& out);
    bool initConstantBind(const SParameter* binding, const SParameter* parameter, const SParameterDesc& desc,
                          irr::u32 stage, irr::s32 materialType, SQeFxShader& out);
    bool initTextureBind(const SParameter* binding, const SParameter* parameter, const SParameterDesc& desc,
                         irr::u32 stage, irr::s32 materialType, SQeFxShader& out);
    bool loadTextures();
    bool loadParameterTexture(const SParameter* parameter, SQeFxParameter& value, const SParameterDesc& desc);
    bool setMaterialLayers();
    bool fail(const irr::c8* text);

    IQeGPUProgrammingServices* Gpu;
    irr::io::IFileSystem* FileSystem;
    const irr::core::array<IQeEffectBind*>& Binds;
    const irr::core::array<IQeEffectTextureResolver*>& Resolvers;
    const irr::core::array<irr::core::stringc>& ShaderDirs;
    const irr::core::array<irr::core::stringc>& TextureDirs;
    const IQeEffectDef* Def;
    irr::s32 BaseMaterial;
    const char* const* Macros;
    irr::video::IShaderConstantSetCallBack* Callback;
    irr::core::array<SQeFxParameter>& Parameters;
    irr::core::array<SQeFxTechnique>& Techniques;
    bool Success = false;
    irr::core::stringc Error;
};

// Table lookups of the builder: a wrap name to E_TEXTURE_CLAMP (unknown names repeat), and a mip-filter
// name to the layer's filters.
irr::u8 qeBuilderWrap(const irr::c8* name);
void qeBuilderMipFilter(const irr::c8* name, SQeSamplerValue& sampler);

#endif
