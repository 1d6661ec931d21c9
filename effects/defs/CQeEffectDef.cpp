#include "CQeEffectDef.h"

#include <cstdlib>

using irr::c8;
using irr::f32;
using irr::s32;
using irr::u32;

namespace {

const irr::core::array<SParameter>* annotationsOf(const SEffect& effect, const void* owner) {
    if (!owner) return &effect.annotations;
    // Every record begins with its kind tag.
    switch (*static_cast<const u32*>(owner)) {
    case EQEK_EFFECT: return &static_cast<const SEffect*>(owner)->annotations;
    case EQEK_PARAMETER: return &static_cast<const SParameter*>(owner)->annotations;
    case EQEK_PASS: return &static_cast<const SPass*>(owner)->annotations;
    case EQEK_TECHNIQUE: return &static_cast<const STechnique*>(owner)->annotations;
    default: return nullptr;
    }
}

bool isNumberGap(c8 c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads count numbers from the text (see getValueFloats).
bool readFloats(const c8* p, f32* out, u32 count) {
    for (u32 i = 0; i < count; ++i) {
        while (isNumberGap(*p)) ++p;
        if (!*p) {
            for (; i < count; ++i) out[i] = 0.0f;
            return false;
        }
        p = irr::core::fast_atof_move(p, out[i]);
    }
    return true;
}

}  // namespace

bool qeHasFileExtension(const irr::io::path& fileName, const c8* a, const c8* b) {
    const s32 dot = fileName.findLast('.');
    if (dot < 0) return false;
    irr::core::stringc ext(fileName.c_str() + dot + 1);
    ext.make_lower();
    return ext == a || ext == b;
}

CQeEffectDef::CQeEffectDef(irr::io::IFileSystem* fileSystem, const irr::io::path& fileName, bool isOpenGL,
                           const c8** errorText)
    : FileName(fileSystem ? fileSystem->getAbsolutePath(fileName) : fileName), IsOpenGL(isOpenGL) {
    if (errorText) *errorText = "Error";
}

const SParameter* CQeEffectDef::findParameter(const irr::core::stringc& name) const {
    for (u32 i = 0; i < Effect.parameters.size(); ++i)
        if (Effect.parameters[i].name == name) return &Effect.parameters[i];
    return nullptr;
}

bool CQeEffectDef::getEffectDesc(SEffectDesc& desc) const {
    desc.id = Effect.id.c_str();
    desc.name = Effect.name.c_str();
    desc.title = Effect.title.c_str();
    desc.subject = Effect.subject.c_str();
    desc.comments = Effect.comments.c_str();
    desc.parameterCount = Effect.parameters.size();
    desc.techniqueCount = Effect.techniques.size();
    desc.annotationCount = Effect.annotations.size();
    return true;
}

const STechnique* CQeEffectDef::getTechnique(u32 index) const {
    return index < Effect.techniques.size() ? &Effect.techniques[index] : nullptr;
}

bool CQeEffectDef::getTechniqueDesc(const STechnique* technique, STechniqueDesc& desc) const {
    if (!technique) return false;
    desc.name = technique->name.c_str();
    desc.passCount = technique->passes.size();
    desc.annotationCount = technique->annotations.size();
    return true;
}

const SPass* CQeEffectDef::getPass(const STechnique* technique, u32 index) const {
    if (!technique) return nullptr;
    return index < technique->passes.size() ? &technique->passes[index] : nullptr;
}

bool CQeEffectDef::getPassDesc(const SPass* pass, SPassDesc& desc) const {
    if (!pass) return false;
    desc.name = pass->name.c_str();
    desc.shaderCount = pass->shaders.size();
    desc.stateCount = pass->states.size();
    desc.evaluateCount = pass->evaluates.size();
    desc.annotationCount = pass->annotations.size();
    return true;
}

const SState* CQeEffectDef::getState(const SPass* pass, u32 index) const {
    if (!pass) return nullptr;
    return index < pass->states.size() ? &pass->states[index] : nullptr;
}

const SState* CQeEffectDef::getStateByName(const SPass* pass, const c8* name) const {
    if (!pass || !name) return nullptr;
    for (u32 i = 0; i < pass->states.size(); ++i)
        if (pass->states[i].name == name) return &pass->states[i];
    return nullptr;
}

const SEvaluate* CQeEffectDef::getEvaluate(const SPass* pass, u32 index) const {
    if (!pass) return nullptr;
    return index < pass->evaluates.size() ? &pass->evaluates[index] : nullptr;
}

const SParameter* CQeEffectDef::getParameter(const SParameter* parent, u32 index) const {
    if (parent) return nullptr;
    return index < Effect.parameters.size() ? &Effect.parameters[index] : nullptr;
}

const SParameter* CQeEffectDef::getParameterBySemantic(const SParameter*, const c8* semantic) const {
    if (!semantic) return nullptr;
    for (u32 i = 0; i < Effect.parameters.size(); ++i)
        if (Effect.parameters[i].semantic == semantic) return &Effect.parameters[i];
    return nullptr;
}

const SParameter* CQeEffectDef::getParameterByName(const SParameter*, const c8* name) const {
    if (!name) return nullptr;
    return findParameter(name);
}

s32 CQeEffectDef::getParameterIndex(const SParameter* parameter) const {
    for (u32 i = 0; i < Effect.parameters.size(); ++i)
        if (&Effect.parameters[i] == parameter) return static_cast<s32>(i);
    return -1;
}

const SShader* CQeEffectDef::getShader(const SPass* pass, u32 index) const {
    if (!pass) return nullptr;
    return index < pass->shaders.size() ? &pass->shaders[index] : nullptr;
}

bool CQeEffectDef::getShaderDesc(const SShader* shader, SShaderDesc& desc) const {
    if (!shader) return false;
    desc.stage = shader->stage;
    desc.entry = shader->entry.c_str();
    desc.source = shader->source.c_str();
    desc.inlineSourceCount = shader->inlineSources.size();
    desc.target = shader->target;
    desc.annotationCount = shader->annotations.size();
    return true;
}

bool CQeEffectDef::getShaderInlineSource(const SShader* shader, u32 index, const c8*& text) const {
    if (!shader || index >= shader->inlineSources.size()) {
        text = nullptr;
        return false;
    }
    text = shader->inlineSources[index].c_str();
    return true;
}

const SParameter* CQeEffectDef::getShaderAnnotation(const SShader* shader, u32 index) const {
    if (!shader) return nullptr;
    return index < shader->annotations.size() ? &shader->annotations[index] : nullptr;
}

const SParameter* CQeEffectDef::getBoundParameter(const SParameter* binding) const {
    if (!binding) return nullptr;
    return findParameter(binding->value);
}

bool CQeEffectDef::getParameterDesc(const SParameter* parameter, SParameterDesc& desc) const {
    if (!parameter) return false;
    desc.name = parameter->name.c_str();
    desc.semantic = parameter->semantic.c_str();
    desc.type = parameter->type;
    desc.annotationCount = parameter->annotations.size();
    return true;
}

const SParameter* CQeEffectDef::getAnnotation(const void* owner, u32 index) const {
    const irr::core::array<SParameter>* list = annotationsOf(Effect, owner);
    return list && index < list->size() ? &(*list)[index] : nullptr;
}

const SParameter* CQeEffectDef::getAnnotationByName(const void* owner, const c8* name) const {
    const irr::core::array<SParameter>* list = annotationsOf(Effect, owner);
    if (!list || !name) return nullptr;
    for (u32 i = 0; i < list->size(); ++i)
        if ((*list)[i].name == name) return &(*list)[i];
    return nullptr;
}

bool CQeEffectDef::getValueFloat(const SParameter* parameter, f32& value) const {
    if (!parameter) return false;
    value = irr::core::fast_atof(parameter->value.c_str());
    return true;
}

bool CQeEffectDef::getValueFloats(const SParameter* parameter, f32* out, u32 count) const {
    if (!parameter || (!out && count)) return false;
    return readFloats(parameter->value.c_str(), out, count);
}

bool CQeEffectDef::getValueBool(const SParameter* parameter, bool& value) const {
    if (!parameter) return false;
    value = std::atoi(parameter->value.c_str()) != 0;
    return true;
}

bool CQeEffectDef::getValueInt(const SParameter* parameter, s32& value) const {
    if (!parameter) return false;
    value = std::atoi(parameter->value.c_str());
    return true;
}

bool CQeEffectDef::getValueInts(const SParameter* parameter, s32* out, u32 count) const {
    if (!parameter || (!out && count)) return false;
    const c8* p = parameter->value.c_str();
    for (u32 i = 0; i < count; ++i) {
        while (isNumberGap(*p)) ++p;
        if (!*p) {
            for (; i < count; ++i) out[i] = 0;
            return false;
        }
        f32 number = 0.0f;
        p = irr::core::fast_atof_move(p, number);
        // Truncated toward zero; out-of-range numbers are held at the integer limits.
        if (number >= 2147483520.0f)
            out[i] = 2147483647;
        else if (number <= -2147483648.0f)
            out[i] = -2147483647 - 1;
        else
            out[i] = static_cast<s32>(number);
    }
    return true;
}

bool CQeEffectDef::getParameterName(const SParameter* parameter, const c8*& name) const {
    if (!parameter) return false;
    name = parameter->name.c_str();
    return true;
}

bool CQeEffectDef::getValueString(const SParameter* parameter, const c8*& value) const {
    if (!parameter) return false;
    value = parameter->value.c_str();
    return true;
}

bool CQeEffectDef::getSamplerDesc(const SParameter* parameter, SSamplerDesc& desc) const {
    if (!parameter) return false;
    const SSamplerState& s = parameter->sampler;
    desc.image = s.image.c_str();
    desc.wrap_s = s.wrap_s.c_str();
    desc.wrap_t = s.wrap_t.c_str();
    desc.wrap_p = s.wrap_p.c_str();
    desc.minfilter = s.minfilter.c_str();
    desc.magfilter = s.magfilter.c_str();
    desc.mipfilter = s.mipfilter.c_str();
    return true;
}

bool CQeEffectDef::getStateDesc(const SState* state, SStateDesc& desc) const {
    if (!state) return false;
    desc.name = state->name.c_str();
    desc.value = state->value.c_str();
    desc.param = state->param.c_str();
    desc.index = state->index;
    return true;
}

const SParameter* CQeEffectDef::getStateParameter(const SState* state) const {
    if (!state) return nullptr;
    if (state->param.empty()) return nullptr;
    return findParameter(state->param);
}

bool CQeEffectDef::getEvaluateDesc(const SEvaluate* evaluate, SEvaluateDesc& desc) const {
    if (!evaluate) return false;
    desc.name = evaluate->name.c_str();
    desc.index = evaluate->index;
    desc.value = evaluate->value.c_str();
    desc.image = evaluate->image.c_str();
    return true;
}

const SParameter* CQeEffectDef::getEvaluateParameter(const SEvaluate* evaluate) const {
    if (!evaluate) return nullptr;
    if (evaluate->value.empty()) return nullptr;
    return findParameter(evaluate->value);
}
