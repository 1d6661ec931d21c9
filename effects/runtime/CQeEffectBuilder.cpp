#include "runtime/CQeEffectBuilder.h"

#include <cstring>

#include "QeLog.h"
#include "runtime/CQePassProgram.h"

using irr::f32;
using irr::s32;
using irr::u32;
using irr::core::stringc;

namespace {

struct WrapName {
    const char* name;
    irr::u8 value;
};

const WrapName kWraps[] = {
    {"WRAP", irr::video::ETC_REPEAT},
    {"REPEAT", irr::video::ETC_REPEAT},
    {"CLAMP", irr::video::ETC_CLAMP},
    {"CLAMP_TO_EDGE", irr::video::ETC_CLAMP_TO_EDGE},
    {"CLAMP_TO_BORDER", irr::video::ETC_CLAMP_TO_BORDER},
    {"MIRROR", irr::video::ETC_MIRROR},
    {"MIRROR_CLAMP", irr::video::ETC_MIRROR_CLAMP},
    {"MIRROR_CLAMP_TO_EDGE", irr::video::ETC_MIRROR_CLAMP_TO_EDGE},
    {"MIRROR_CLAMP_TO_BORDER", irr::video::ETC_MIRROR_CLAMP_TO_BORDER},
    {"BORDER", irr::video::ETC_CLAMP_TO_BORDER},
    {"MIRROR_ONCE", irr::video::ETC_MIRROR_CLAMP_TO_BORDER},
    {"MIRRORED_REPEAT", irr::video::ETC_MIRROR},
};

// Floats of each parameter type.
s32 typeCount(u32 type) {
    switch (type) {
    case EQEPT_BOOL:
    case EQEPT_FLOAT:
    case EQEPT_INT: return 1;
    case EQEPT_FLOAT2: return 2;
    case EQEPT_FLOAT3: return 3;
    case EQEPT_FLOAT4: return 4;
    case EQEPT_FLOAT4X4: return 16;
    default: return 0;
    }
}

bool isValueType(u32 type) { return type >= EQEPT_BOOL && type <= EQEPT_INT; }
bool isSamplerType(u32 type) { return type >= EQEPT_SAMPLER1D && type <= EQEPT_SAMPLERDEPTH; }

const char* orText(const char* text, const char* otherwise) { return text && *text ? text : otherwise; }

}  // namespace

irr::u8 qeBuilderWrap(const irr::c8* name) {
    if (!name) return irr::video::ETC_REPEAT;
    for (const WrapName& row : kWraps)
        if (std::strcmp(name, row.name) == 0) return row.value;
    return irr::video::ETC_REPEAT;
}

void qeBuilderMipFilter(const irr::c8* name, SQeSamplerValue& sampler) {
    const stringc text(name ? name : "");
    sampler.bilinear = true;
    sampler.trilinear = false;
    sampler.anisotropy = 0;
    if (text == "NONE") {
        sampler.bilinear = false;
    } else if (text == "LINEAR") {
        sampler.bilinear = false;
        sampler.trilinear = true;
    } else if (text == "ANISOTROPIC") {
        sampler.bilinear = false;
        sampler.trilinear = true;
        sampler.anisotropy = 8;
    }
}

CQeEffectBuilder::CQeEffectBuilder(IQeGPUProgrammingServices* gpu, irr::io::IFileSystem* fileSystem,
                                   const irr::core::array<IQeEffectBind*>& binds,
                                   const irr::core::array<IQeEffectTextureResolver*>& resolvers,
                                   const irr::core::array<stringc>& shaderDirs,
                                   const irr::core::array<stringc>& textureDirs, const IQeEffectDef* def,
                                   s32 baseMaterial, const char* const* macros,
                                   irr::video::IShaderConstantSetCallBack* callback,
                                   irr::core::array<SQeFxParameter>& parameters,
                                   irr::core::array<SQeFxTechnique>& techniques)
    : Gpu(gpu), FileSystem(fileSystem), Binds(binds), Resolvers(resolvers), ShaderDirs(shaderDirs),
      TextureDirs(textureDirs), Def(def), BaseMaterial(baseMaterial), Macros(macros), Callback(callback),
      Parameters(parameters), Techniques(techniques) {
    struct Step {
        bool (CQeEffectBuilder::*run)();
        const char* fallback;
    };
    const Step steps[] = {
        {&CQeEffectBuilder::initParameters, "Unknown error init parameters"},
        {&CQeEffectBuilder::initTechniques, "Unknown error init techniques"},
        {&CQeEffectBuilder::loadTextures, "Unknown error load textures"},
        {&CQeEffectBuilder::setMaterialLayers, "Unknown error set Material Layers"},
    };
    Success = Def != nullptr;
    if (!Success) Error = "Unknown error init parameters";
    for (const Step& step : steps) {
        if (!Success) break;
        if (!(this->*step.run)()) {
            if (Error.empty()) Error = step.fallback;
            Success = false;
        }
    }
}

bool CQeEffectBuilder::fail(const irr::c8* text) {
    Error = text;
    return false;
}

bool CQeEffectBuilder::initParameters() {
    SEffectDesc effect;
    if (!Def->getEffectDesc(effect)) return fail("Failed to get effect description");
    // The constant binds point into this array: it is sized once here and never grows afterwards.
    Parameters.clear();
    Parameters.reallocate(effect.parameterCount);
    for (u32 i = 0; i < effect.parameterCount; ++i) {
        const SParameter* parameter = Def->getParameter(nullptr, i);
        if (!parameter) return fail("Failed to get parameter from description");
        SParameterDesc desc;
        Def->getParameterDesc(parameter, desc);
        SQeFxParameter value;
        switch (desc.type) {
        case EQEPT_BOOL: {
            bool b = false;
            Def->getValueBool(parameter, b);
            value.data[0] = b ? 1 : 0;
            break;
        }
        case EQEPT_FLOAT: {
            f32 f = 0.0f;
            Def->getValueFloat(parameter, f);
            std::memcpy(value.data, &f, sizeof(f));
            break;
        }
        case EQEPT_FLOAT2:
        case EQEPT_FLOAT3:
        case EQEPT_FLOAT4:
        case EQEPT_FLOAT4X4: {
            f32 floats[16] = {};
            Def->getValueFloats(parameter, floats, static_cast<u32>(typeCount(desc.type)));
            std::memcpy(value.data, floats, sizeof(floats));
            break;
        }
        case EQEPT_INT: {
            s32 v = 0;
            Def->getValueInt(parameter, v);
            std::memcpy(value.data, &v, sizeof(v));
            break;
        }
        default:
            if (isSamplerType(desc.type)) {
                SSamplerDesc sampler;
                if (!Def->getSamplerDesc(parameter, sampler)) return fail("Failed to get sampler info for parameter");
                SQeSamplerValue s;
                s.wrapU = qeBuilderWrap(sampler.wrap_s);
                s.wrapV = qeBuilderWrap(sampler.wrap_t);
                qeBuilderMipFilter(sampler.mipfilter, s);
                qeSamplerValueWrite(value, s);
            }
            break;
        }
        Parameters.push_back(value);
    }
    return true;
}

bool CQeEffectBuilder::initTechniques() {
    SEffectDesc effect;
    if (!Def->getEffectDesc(effect)) return fail("Failed to get effect description");
    Techniques.clear();
    for (u32 t = 0; t < effect.techniqueCount; ++t) {
        const STechnique* technique = Def->getTechnique(t);
        STechniqueDesc desc;
        if (!technique || !Def->getTechniqueDesc(technique, desc)) return fail("Failed to get technique description");
        Techniques.push_back(SQeFxTechnique());
        SQeFxTechnique& out = Techniques.getLast();
        for (u32 p = 0; p < desc.passCount; ++p) {
            out.passes.push_back(SQeFxPass());
            if (!initPass(Def->getPass(technique, p), out.passes.getLast())) return false;
        }
    }
    return true;
}

bool CQeEffectBuilder::initPass(const SPass* pass, SQeFxPass& out) {
    s32 materialType = -1;
    u32 blend = 0;
    if (!compilePassProgram(materialType, blend, Gpu, FileSystem, ShaderDirs, Def, pass, Callback, BaseMaterial,
                            Macros, Error))
        return false;

    SPassDesc passDesc;
    if (!Def->getPassDesc(pass, passDesc)) return fail("Failed to get pass description");
    for (u32 i = 0; i < passDesc.shaderCount; ++i) {
        out.shaders.push_back(SQeFxShader());
        if (!initShader(Def->getShader(pass, i), materialType, out.shaders.getLast())) return false;
    }

    // Texture states put their parameter on the layer the state names, in the first pixel shader.
    SQeFxShader* pixel = nullptr;
    for (u32 i = 0; i < out.shaders.size() && !pixel; ++i)
        if (out.shaders[i].stage == EQESS_PIXEL) pixel = &out.shaders[i];
    if (pixel) {
        for (u32 i = 0; i < passDesc.stateCount; ++i) {
            SStateDesc state;
            if (!Def->getStateDesc(Def->getState(pass, i), state)) continue;
            const stringc name(state.name);
            if (name != "texture1D" && name != "texture2D" && name != "texture3D" && name != "textureCUBE") continue;
            const SParameter* parameter = Def->getParameterByName(nullptr, state.param);
            if (!parameter) {
                Error = stringc("failed to get Param '") + state.param + "' for the texture state'" + state.name + "'";
                return false;
            }
            SQeFxTextureBind bind;
            bind.stage = EQESS_PIXEL;
            bind.type = parameter->type;
            bind.parameter = Def->getParameterIndex(parameter);
            bind.sampler = state.index;
            pixel->textureBinds.push_back(bind);
        }
    }

    for (u32 s = 0; s < out.shaders.size(); ++s) {
        const SQeFxShader& shader = out.shaders[s];
        for (u32 c = 0; c < shader.constBinds.size(); ++c) {
            IQeEffectBind* bind = shader.constBinds[c].bind;
            if (out.binds.linear_search(bind) < 0) out.binds.push_back(bind);
        }
    }

    out.material.MaterialType = static_cast<irr::video::E_MATERIAL_TYPE>(materialType);
    out.material.MaterialTypeParam = static_cast<f32>(blend);
    qeMaterialSetRecord(out.material, nullptr);
    return true;
}

bool CQeEffectBuilder::initShader(const SShader* shader, s32 materialType, SQeFxShader& out) {
    SShaderDesc desc;
    if (!Def->getShaderDesc(shader, desc)) return fail("Failed to get Shader Desc");
    out.stage = desc.stage;
    for (u32 i = 0; i < desc.annotationCount; ++i) {
        const SParameter* binding = Def->getShaderAnnotation(shader, i);
        const irr::c8* name = nullptr;
        if (!binding || !Def->getParameterName(binding, name) || !name) return fail("Failed to get Bind name");
        const SParameter* parameter = Def->getBoundParameter(binding);
        if (!parameter) {
            Error = stringc("failed to get Param '") + orText(binding->value.c_str(), "??") + "' for the Bind '" + name +
                    "'";
            return false;
        }
        SParameterDesc parameterDesc;
        if (!Def->getParameterDesc(parameter, parameterDesc)) return fail("Failed to get Parameter Desc");
        if (isValueType(parameterDesc.type)) {
            if (!initConstantBind(binding, parameter, parameterDesc, desc.stage, materialType, out)) return false;
        } else if (isSamplerType(parameterDesc.type)) {
            if (!initTextureBind(binding, parameter, parameterDesc, desc.stage, materialType, out)) return false;
        }
    }
    s32 next = 0;
    for (u32 i = 0; i < out.textureBinds.size(); ++i)
        if (out.textureBinds[i].sampler == -1) out.textureBinds[i].sampler = next++;
    return true;
}

bool CQeEffectBuilder::initConstantBind(const SParameter* binding, const SParameter* parameter,
                                        const SParameterDesc& desc, u32 stage, s32 materialType, SQeFxShader& out) {
    SQeFxConstBind record;
    record.stage = stage;
    record.type = desc.type;
    record.name = binding->name;
    record.semantic = desc.semantic;
    const s32 index = Def->getParameterIndex(parameter);
    if (index < 0 || static_cast<u32>(index) >= Parameters.size()) return fail("Failed to get Parameter Desc");
    record.data = Parameters[index].data;
    record.count = typeCount(desc.type);

    bool used;
    if (stage == EQESS_VERTEX)
        used = Gpu && Gpu->getVertexShaderConstantRegister(materialType, record.name.c_str(), &record.reg);
    else if (stage == EQESS_PIXEL)
        used = Gpu && Gpu->getPixelShaderConstantRegister(materialType, record.name.c_str(), &record.reg);
    else
        return fail("initConstantBind: Unsupported shader stage");
    if (!used) return true;  // the compiled shader does not use it

    for (u32 i = 0; i < Binds.size(); ++i) {
        BindSetter setter = Binds[i]->getBindFunction(&record, record.userData);
        if (!setter) continue;
        record.bind = Binds[i];
        record.setter = setter;
        if (i + 1 == Binds.size() && record.semantic && *record.semantic)
            qeLibLog(irr::ELL_WARNING, "The Semantic '%s' has not found correspond binding", record.semantic);
        out.constBinds.push_back(record);
        return true;
    }
    Error = stringc("failed to get a bind function for ") + record.name;
    return false;
}

bool CQeEffectBuilder::initTextureBind(const SParameter* binding, const SParameter* parameter,
                                       const SParameterDesc& desc, u32 stage, s32 materialType, SQeFxShader& out) {
    SQeFxTextureBind record;
    record.stage = stage;
    record.type = desc.type;
    record.name = binding->name;
    record.parameter = Def->getParameterIndex(parameter);
    bool used;
    if (stage == EQESS_VERTEX)
        used = Gpu && Gpu->getVertexShaderSamplerIndex(materialType, record.name.c_str(), &record.sampler);
    else if (stage == EQESS_PIXEL)
        used = Gpu && Gpu->getPixelShaderSamplerIndex(materialType, record.name.c_str(), &record.sampler);
    else
        return fail("initTextureBind: Unsupported shader stage");
    if (used) out.textureBinds.push_back(record);
    return true;
}

bool CQeEffectBuilder::loadTextures() {
    SEffectDesc effect;
    if (!Def->getEffectDesc(effect)) return fail("Failed to get effect description");
    for (u32 i = 0; i < effect.parameterCount && i < Parameters.size(); ++i) {
        const SParameter* parameter = Def->getParameter(nullptr, i);
        if (!parameter) return fail("Failed to get parameter from description");
        SParameterDesc desc;
        Def->getParameterDesc(parameter, desc);
        if (!isSamplerType(desc.type)) continue;
        bool bound = false;
        for (u32 t = 0; t < Techniques.size() && !bound; ++t)
            for (u32 p = 0; p < Techniques[t].passes.size() && !bound; ++p)
                for (u32 s = 0; s < Techniques[t].passes[p].shaders.size() && !bound; ++s) {
                    const SQeFxShader& shader = Techniques[t].passes[p].shaders[s];
                    for (u32 b = 0; b < shader.textureBinds.size(); ++b)
                        if (shader.textureBinds[b].parameter == static_cast<s32>(i)) bound = true;
                }
        if (bound) {
            if (!loadParameterTexture(parameter, Parameters[i], desc)) return false;
        } else {
            qeLibLog(irr::ELL_DEBUG,
                     "CQeEffectBuilder::loadTextures : The Texture Parameter '%s' is not bound to any shader sampler, "
                     "do not load texture.",
                     desc.name ? desc.name : "");
        }
    }
    return true;
}

bool CQeEffectBuilder::loadParameterTexture(const SParameter* parameter, SQeFxParameter& value,
                                            const SParameterDesc& desc) {
    SSamplerDesc sampler;
    if (!Def->getSamplerDesc(parameter, sampler)) return fail("Failed to get sampler info for parameter");
    qeSamplerValueSetTexture(value, nullptr);
    const stringc dir = FileSystem ? stringc(FileSystem->getFileDir(Def->getFileName())) : stringc();
    const bool hasSemantic = desc.semantic && *desc.semantic;
    const bool hasImage = sampler.image && *sampler.image;
    for (u32 i = 0; i < Resolvers.size(); ++i) {
        if (!hasSemantic && !hasImage) break;
        bool failed = false;
        irr::video::ITexture* texture =
            Resolvers[i]->resolveTexture(desc.type, desc.semantic, sampler.image, dir, TextureDirs, &failed);
        if (failed) {
            Error = stringc("Failed to get Texture ") + "[ Semantic=" + orText(desc.semantic, "<null>") + " ImageUrl=" +
                    orText(sampler.image, "<null>") + " ] " + "of parameter " + orText(desc.name, "<Unknown!>");
            return false;
        }
        if (texture) {
            qeLibLog(irr::ELL_DEBUG, "CQeEffectBuilder::loadParameterTexture : loaded Semantic='%s' Url='%s'",
                     desc.semantic ? desc.semantic : "", sampler.image ? sampler.image : "");
            qeSamplerValueSetTexture(value, texture);
            return true;
        }
    }
    return true;
}

bool CQeEffectBuilder::setMaterialLayers() {
    for (u32 t = 0; t < Techniques.size(); ++t) {
        for (u32 p = 0; p < Techniques[t].passes.size(); ++p) {
            SQeFxPass& pass = Techniques[t].passes[p];
            const SQeFxShader* pixel = nullptr;
            for (u32 s = 0; s < pass.shaders.size() && !pixel; ++s)
                if (pass.shaders[s].stage == EQESS_PIXEL) pixel = &pass.shaders[s];
            if (!pixel) continue;
            for (u32 b = 0; b < pixel->textureBinds.size(); ++b) {
                const SQeFxTextureBind& bind = pixel->textureBinds[b];
                if (bind.sampler < 0 || bind.sampler >= static_cast<s32>(irr::video::MATERIAL_MAX_TEXTURES))
                    return fail("Sampler illegal index > MATERIAL_MAX_TEXTURES");
                if (bind.parameter < 0 || static_cast<u32>(bind.parameter) >= Parameters.size()) continue;
                const SQeSamplerValue value = qeSamplerValueRead(Parameters[bind.parameter]);
                irr::video::SMaterialLayer& layer = pass.material.TextureLayer[bind.sampler];
                layer.Texture = value.texture;
                layer.TextureWrapU = value.wrapU;
                layer.TextureWrapV = value.wrapV;
                layer.BilinearFilter = value.bilinear;
                layer.TrilinearFilter = value.trilinear;
                layer.AnisotropicFilter = value.anisotropy;
                layer.LODBias = value.lodBias;
            }
        }
    }
    return true;
}
