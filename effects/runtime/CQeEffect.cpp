#include "runtime/CQeEffect.h"

#include <cstring>

#include "QeLog.h"
#include "runtime/CQeEffectBuilder.h"

using irr::f32;
using irr::s32;
using irr::u32;
using irr::u8;

void qeSamplerValueWrite(SQeFxParameter& value, const SQeSamplerValue& sampler) {
    std::memcpy(value.data, &sampler.texture, sizeof(sampler.texture));
    value.data[4] = static_cast<u8>((sampler.wrapU & 0x0F) | ((sampler.wrapV & 0x0F) << 4));
    value.data[5] = static_cast<u8>((sampler.bilinear ? 1 : 0) | (sampler.trilinear ? 2 : 0));
    value.data[6] = sampler.anisotropy;
    value.data[7] = static_cast<u8>(sampler.lodBias);
}

SQeSamplerValue qeSamplerValueRead(const SQeFxParameter& value) {
    SQeSamplerValue sampler;
    std::memcpy(&sampler.texture, value.data, sizeof(sampler.texture));
    sampler.wrapU = value.data[4] & 0x0F;
    sampler.wrapV = value.data[4] >> 4;
    sampler.bilinear = (value.data[5] & 1) != 0;
    sampler.trilinear = (value.data[5] & 2) != 0;
    sampler.anisotropy = value.data[6];
    sampler.lodBias = static_cast<irr::s8>(value.data[7]);
    return sampler;
}

void qeSamplerValueSetTexture(SQeFxParameter& value, irr::video::ITexture* texture) {
    std::memcpy(value.data, &texture, sizeof(texture));
}

namespace {

// A value block holds 16 words.
u32 words(u32 count) { return count < 16 ? count : 16; }

}  // namespace

CQeEffect::CQeEffect(IQeGPUProgrammingServices* gpu, irr::io::IFileSystem* fileSystem,
                     const irr::core::array<IQeEffectBind*>& binds,
                     const irr::core::array<IQeEffectTextureResolver*>& resolvers,
                     const irr::core::array<irr::core::stringc>& shaderDirs,
                     const irr::core::array<irr::core::stringc>& textureDirs, IQeEffectDef* def, s32 baseMaterial,
                     const char* const* macros, irr::video::IShaderConstantSetCallBack* callback, bool& success,
                     irr::core::stringc& errorText)
    : Def(def) {
    if (Def) Def->grab();
    CQeEffectBuilder builder(gpu, fileSystem, binds, resolvers, shaderDirs, textureDirs, def, baseMaterial, macros,
                             callback, Parameters, Techniques);
    success = builder.getResult(errorText);
    if (!success) return;
    for (u32 t = 0; t < Techniques.size(); ++t)
        for (u32 p = 0; p < Techniques[t].passes.size(); ++p) {
            const SQeFxPass& pass = Techniques[t].passes[p];
            for (u32 b = 0; b < pass.binds.size(); ++b) {
                if (Binds.linear_search(pass.binds[b]) >= 0) continue;
                pass.binds[b]->grab();
                Binds.push_back(pass.binds[b]);
            }
        }
}

CQeEffect::CQeEffect(const CQeEffect& other)
    : IQeEffect(), Def(other.Def) {
    Parameters = other.Parameters;
    Techniques = other.Techniques;
    Binds = other.Binds;
    if (Def) Def->grab();
    for (u32 i = 0; i < Binds.size(); ++i) Binds[i]->grab();
    // The constant records of the copy read this effect's own values, not the original's.
    const u8* oldBase = other.Parameters.empty() ? nullptr : other.Parameters[0].data;
    u8* newBase = Parameters.empty() ? nullptr : Parameters[0].data;
    for (u32 t = 0; t < Techniques.size(); ++t)
        for (u32 p = 0; p < Techniques[t].passes.size(); ++p)
            for (u32 s = 0; s < Techniques[t].passes[p].shaders.size(); ++s) {
                irr::core::array<SQeFxConstBind>& records = Techniques[t].passes[p].shaders[s].constBinds;
                for (u32 c = 0; c < records.size(); ++c) {
                    const u8* data = static_cast<const u8*>(records[c].data);
                    if (oldBase && data) records[c].data = newBase + (data - oldBase);
                }
            }
}

CQeEffect::~CQeEffect() {
    for (u32 i = 0; i < Binds.size(); ++i) Binds[i]->drop();
    if (Def) Def->drop();
}

u8* CQeEffect::valueOf(const SParameter* parameter) {
    const s32 index = Def ? Def->getParameterIndex(parameter) : -1;
    if (index < 0 || static_cast<u32>(index) >= Parameters.size()) return nullptr;
    return Parameters[index].data;
}

const u8* CQeEffect::valueOf(const SParameter* parameter) const {
    return const_cast<CQeEffect*>(this)->valueOf(parameter);
}

bool CQeEffect::getValueFloat(const SParameter* parameter, f32& value) const {
    const u8* data = valueOf(parameter);
    if (!data) return false;
    std::memcpy(&value, data, sizeof(value));
    return true;
}

bool CQeEffect::getValueFloats(const SParameter* parameter, f32* out, u32 count) const {
    const u8* data = valueOf(parameter);
    if (!data || !out) return false;
    std::memcpy(out, data, words(count) * 4);
    return true;
}

bool CQeEffect::getValueBool(const SParameter* parameter, bool& value) const {
    const u8* data = valueOf(parameter);
    if (!data) return false;
    value = data[0] != 0;
    return true;
}

bool CQeEffect::getValueInt(const SParameter* parameter, s32& value) const {
    const u8* data = valueOf(parameter);
    if (!data) return false;
    std::memcpy(&value, data, sizeof(value));
    return true;
}

bool CQeEffect::getValueInts(const SParameter* parameter, s32* out, u32 count) const {
    const u8* data = valueOf(parameter);
    if (!data || !out) return false;
    std::memcpy(out, data, words(count) * 4);
    return true;
}

bool CQeEffect::setValueFloat(const SParameter* parameter, f32 value) {
    u8* data = valueOf(parameter);
    if (!data) return false;
    std::memcpy(data, &value, sizeof(value));
    return true;
}

bool CQeEffect::setValueFloats(const SParameter* parameter, const f32* values, u32 count) {
    u8* data = valueOf(parameter);
    if (!data || !values) return false;
    std::memcpy(data, values, words(count) * 4);
    return true;
}

bool CQeEffect::setValueBool(const SParameter* parameter, bool value) {
    u8* data = valueOf(parameter);
    if (!data) return false;
    data[0] = value ? 1 : 0;
    return true;
}

bool CQeEffect::setValueInt(const SParameter* parameter, s32 value) {
    u8* data = valueOf(parameter);
    if (!data) return false;
    std::memcpy(data, &value, sizeof(value));
    return true;
}

bool CQeEffect::setValueInts(const SParameter* parameter, const s32* values, u32 count) {
    u8* data = valueOf(parameter);
    if (!data || !values) return false;
    std::memcpy(data, values, words(count) * 4);
    return true;
}

bool CQeEffect::setTexture(const SParameter* parameter, irr::video::ITexture* texture) {
    const s32 index = Def ? Def->getParameterIndex(parameter) : -1;
    if (index < 0 || static_cast<u32>(index) >= Parameters.size()) return false;
    qeSamplerValueSetTexture(Parameters[index], texture);
    for (u32 t = 0; t < Techniques.size(); ++t)
        for (u32 p = 0; p < Techniques[t].passes.size(); ++p) {
            SQeFxPass& pass = Techniques[t].passes[p];
            for (u32 s = 0; s < pass.shaders.size(); ++s)
                for (u32 b = 0; b < pass.shaders[s].textureBinds.size(); ++b) {
                    const SQeFxTextureBind& bind = pass.shaders[s].textureBinds[b];
                    if (bind.parameter == index && bind.sampler >= 0 &&
                        bind.sampler < static_cast<s32>(irr::video::MATERIAL_MAX_TEXTURES))
                        pass.material.TextureLayer[bind.sampler].Texture = texture;
                }
        }
    return true;
}

const SQeFxPass* CQeEffect::findPass(u32 technique, u32 pass) const {
    if (technique >= Techniques.size() || pass >= Techniques[technique].passes.size()) return nullptr;
    return &Techniques[technique].passes[pass];
}

bool CQeEffect::setMaterial(u32 technique, u32 pass, irr::video::SMaterial& material) {
    const SQeFxPass* source = findPass(technique, pass);
    if (!source) return false;
    material.MaterialType = source->material.MaterialType;
    material.MaterialTypeParam = source->material.MaterialTypeParam;
    std::memcpy(&material.MaterialTypeParam2, &source->material.MaterialTypeParam2, sizeof(f32));
    for (u32 i = 0; i < irr::video::MATERIAL_MAX_TEXTURES; ++i) material.TextureLayer[i] = source->material.TextureLayer[i];
    return true;
}

bool CQeEffect::setTextureOnMaterial(u32 technique, u32 pass, const SParameter* parameter,
                                     irr::video::SMaterial& material, irr::video::ITexture* texture) {
    const SQeFxPass* source = findPass(technique, pass);
    const s32 index = Def ? Def->getParameterIndex(parameter) : -1;
    if (!source || index < 0) return false;
    for (u32 s = 0; s < source->shaders.size(); ++s)
        for (u32 b = 0; b < source->shaders[s].textureBinds.size(); ++b) {
            const SQeFxTextureBind& bind = source->shaders[s].textureBinds[b];
            if (bind.parameter == index && bind.sampler >= 0 && bind.sampler < static_cast<s32>(irr::video::MATERIAL_MAX_TEXTURES))
                material.TextureLayer[bind.sampler].Texture = texture;
        }
    return true;
}

void CQeEffect::onSetShaderConstants(irr::video::IMaterialRendererServices* services, s32 userData,
                                     const SQeNodeExtMaterial* record) {
    if (!record) return;
    const SQeFxPass* pass = findPass(record->technique, record->pass);
    if (!pass) return;
    for (u32 i = 0; i < pass->binds.size(); ++i) {
        if (!pass->binds[i]->onSetMaterial(record, userData)) {
            qeLibLog(irr::ELL_ERROR, "CQeEffect::onSetShaderConstants : onSetMaterial() failed, abort");
            return;
        }
    }
    for (u32 s = 0; s < pass->shaders.size(); ++s) {
        const SQeFxShader& shader = pass->shaders[s];
        for (u32 c = 0; c < shader.constBinds.size(); ++c) {
            const SQeFxConstBind& bind = shader.constBinds[c];
            (bind.bind->*bind.setter)(services, &bind, bind.userData);
        }
    }
}

bool CQeEffect::needsTangents(bool* secondFlag) {
    if (secondFlag) *secondFlag = false;
    SEffectDesc desc;
    if (!Def || !Def->getEffectDesc(desc)) return false;
    for (u32 t = 0; t < desc.techniqueCount; ++t) {
        const SParameter* annotation = Def->getAnnotationByName(Def->getTechnique(t), "tangents");
        const irr::c8* value = nullptr;
        if (annotation && Def->getValueString(annotation, value) && value && std::strcmp(value, "true") == 0)
            return true;
    }
    return false;
}

IQeEffect* CQeEffect::clone() { return new CQeEffect(*this); }

void CQeEffectCallback::OnSetConstants(irr::video::IMaterialRendererServices* services, s32 userData) {
    if (!Material) return;
    const SQeNodeExtMaterial* record = qeMaterialGetRecord(*Material);
    if (!record || record->tag != QE_NODE_EXT_MATERIAL_TAG || !record->activeEffect) return;
    record->activeEffect->onSetShaderConstants(services, userData, record);
}
