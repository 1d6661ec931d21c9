#ifndef QIRN_EFFECTS_RUNTIME_IQEEFFECT_H
#define QIRN_EFFECTS_RUNTIME_IQEEFFECT_H

#include <irrlicht.h>

#include "binds/IQeEffectBind.h"
#include "defs/IQeEffectDef.h"
#include "runtime/SQeNodeExtMaterial.h"

// The value of one effect parameter: 64 bytes, zero until written. Bool in the first byte, int as s32,
// floats, vectors and matrices as consecutive f32. Samplers use the first 8 bytes like a texture layer
// (see qeSamplerValue below).
struct SQeFxParameter {
    irr::u8 data[64] = {};
};

// A sampler parameter's value unpacked: the texture (not grabbed) and its layer settings.
struct SQeSamplerValue {
    irr::video::ITexture* texture = nullptr;
    irr::u8 wrapU = irr::video::ETC_REPEAT;
    irr::u8 wrapV = irr::video::ETC_REPEAT;
    bool bilinear = true;
    bool trilinear = false;
    irr::u8 anisotropy = 0;
    irr::s8 lodBias = 0;
};

// Packing: texture pointer; wrap U in bits 0-3 and wrap V in bits 4-7 of byte 4; bilinear in bit 0
// and trilinear in bit 1 of byte 5; anisotropy in byte 6; LOD bias in byte 7.
void qeSamplerValueWrite(SQeFxParameter& value, const SQeSamplerValue& sampler);
SQeSamplerValue qeSamplerValueRead(const SQeFxParameter& value);
void qeSamplerValueSetTexture(SQeFxParameter& value, irr::video::ITexture* texture);

// Which texture layer of a pass material a sampler parameter feeds.
struct SQeFxTextureBind {
    irr::u32 stage = 0;
    irr::u32 type = 0;
    irr::core::stringc name;   // the sampler's name in the shader
    irr::s32 parameter = -1;   // index into the parameter values
    irr::s32 sampler = -1;     // texture layer, 0 to 7
};

struct SQeFxShader {
    irr::u32 stage = 0;  // 2 vertex, 4 pixel
    irr::core::array<SQeFxConstBind> constBinds;
    irr::core::array<SQeFxTextureBind> textureBinds;
};

struct SQeFxPass {
    irr::video::SMaterial material;
    irr::core::array<SQeFxShader> shaders;
    irr::core::array<IQeEffectBind*> binds;  // distinct binds of the pass's constants, not held
};

struct SQeFxTechnique {
    irr::core::array<SQeFxPass> passes;
};

// A runtime effect: a definition made ready to draw. The definition queries are answered by the
// wrapped definition, except the value readers, which read the effect's own values.
class IQeEffect : public IQeEffectDef, public virtual irr::io::IAttributeExchangingObject {
public:
    virtual bool setValueFloat(const SParameter* parameter, irr::f32 value) = 0;
    virtual bool setValueFloats(const SParameter* parameter, const irr::f32* values, irr::u32 count) = 0;
    virtual bool setValueBool(const SParameter* parameter, bool value) = 0;
    virtual bool setValueInt(const SParameter* parameter, irr::s32 value) = 0;
    virtual bool setValueInts(const SParameter* parameter, const irr::s32* values, irr::u32 count) = 0;
    // Stores the texture as the parameter's value and on every pass material layer it feeds.
    virtual bool setTexture(const SParameter* parameter, irr::video::ITexture* texture) = 0;
    // Copies the pass's material type, its parameters and the eight texture layers into the material;
    // false (material untouched) for a technique or pass that does not exist.
    virtual bool setMaterial(irr::u32 technique, irr::u32 pass, irr::video::SMaterial& material) = 0;
    // Puts the texture on the given material's layers that the parameter feeds in that pass.
    virtual bool setTextureOnMaterial(irr::u32 technique, irr::u32 pass, const SParameter* parameter,
                                      irr::video::SMaterial& material, irr::video::ITexture* texture) = 0;
    // Sets every constant of the record's pass through its bind.
    virtual void onSetShaderConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData,
                                      const SQeNodeExtMaterial* record) = 0;
    // True when a technique carries the annotation "tangents" with the value "true".
    virtual bool needsTangents(bool* secondFlag) = 0;
    // A copy with reference count 1.
    virtual IQeEffect* clone() = 0;
};

#endif
