#ifndef QIRN_EFFECTS_IQEGPUPROGRAMMINGSERVICES_H
#define QIRN_EFFECTS_IQEGPUPROGRAMMINGSERVICES_H

#include <irrlicht.h>

// One macro of a shader macro list: a list is an array of these ended by an entry whose name is null
// (the compiler's own layout). A null definition means "", a null list means no macros.
struct SQeMacro {
    const char* Name;
    const char* Definition;
};

// Bits of the compiled-shader cache mode: use cached blobs, test their dates first, write new ones.
enum E_SHADER_CACHE_MODE {
    ESCM_READ = 1,
    ESCM_CHECK_DATES = 2,
    ESCM_WRITE = 4,
};

// GPU programming services of the effect library: shader materials made from HLSL file pairs through the
// compiled-shader cache, and where their constants and samplers live.
class IQeGPUProgrammingServices {
public:
    virtual ~IQeGPUProgrammingServices() {}
    // The cache folder and its mode bits; no check, no result.
    virtual void setShaderCache(const irr::core::stringc& folder, irr::u32 mode) = 0;
    // A material type for the pair of shaders with these macros, made once per run; -1 on failure.
    virtual irr::s32 getShaderMaterial(const irr::core::stringc& vertexFile, const char* vertexEntry,
                                       irr::video::E_VERTEX_SHADER_TYPE vertexTarget,
                                       const irr::core::stringc& pixelFile, const char* pixelEntry,
                                       irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                                       irr::video::IShaderConstantSetCallBack* callback,
                                       irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                                       const SQeMacro* macros) = 0;
    virtual bool getPixelShaderConstantRegister(irr::s32 materialType, const char* name, irr::s32* index) = 0;
    virtual bool getVertexShaderConstantRegister(irr::s32 materialType, const char* name, irr::s32* index) = 0;
    virtual bool getPixelShaderSamplerIndex(irr::s32 materialType, const char* name, irr::s32* index) = 0;
    virtual bool getVertexShaderSamplerIndex(irr::s32 materialType, const char* name, irr::s32* index) = 0;
    virtual bool printConstants(irr::s32 materialType) = 0;
};

#endif
