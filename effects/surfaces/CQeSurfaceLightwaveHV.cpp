#include "CQeSurfaceLightwaveHV.h"

#include <cstring>

#include "QeLog.h"
#include "runtime/IQeEffect.h"

using namespace irr;

namespace {

const char* const ClipSemantic = "LWHV_Tex_Clip";

video::E_MATERIAL_TYPE blendMaterial(u32 blend) {
    switch (blend) {
    case 0: return video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    case 1: return video::EMT_TRANSPARENT_ADD_COLOR;
    case 2: return video::EMT_ONETEXTURE_BLEND;
    default: return video::EMT_SOLID;
    }
}

}  // namespace

CQeSurfaceLightwaveHV::CQeSurfaceLightwaveHV() {
    std::memset(&Params, 0, sizeof(Params));
    for (f32& c : Params.color) c = 1.0f;
    Params.size = 0.2f;
    Params.blend = 1;
}

void CQeSurfaceLightwaveHV::setParameters(const LightwaveHVParams* parameters) {
    if (parameters) std::memcpy(&Params, parameters, sizeof(Params));
}

void CQeSurfaceLightwaveHV::readMaterial(const video::SMaterial& m) {
    Params.colorTexture = 1;
    Params.clipTexture = m.getTexture(0);
    switch (m.MaterialType) {
    case video::EMT_TRANSPARENT_ALPHA_CHANNEL: Params.blend = 0; break;
    case video::EMT_ONETEXTURE_BLEND: Params.blend = 2; break;
    default: Params.blend = 1; break;
    }
}

void CQeSurfaceLightwaveHV::writeMaterial(video::SMaterial& m) {
    m.setTexture(0, Params.clipTexture);
    m.ZWriteEnable = false;
    m.MaterialType = blendMaterial(Params.blend);
}

bool CQeSurfaceLightwaveHV::getEffectCompileParameters(u32* baseMaterial, SQeSurfaceMacro* macros, s32 capacity,
                                                       scene::ISceneNode*) {
    if (baseMaterial) *baseMaterial = blendMaterial(Params.blend);
    if (capacity <= 0 || !macros) return true;
    const bool set[4] = {Params.colorTexture != 0, Params.colorKeyCount != 0, Params.sizeKeyCount != 0,
                         Params.rotation != 0.0f};
    const char* const names[4] = {"USE_TEX_COLOR", "USE_COLOR_GRADIENT", "USE_SIZE_GRADIENT", "USE_ROTATION"};
    s32 count = 0;
    for (u32 i = 0; i < 4; ++i) {
        if (!set[i]) continue;
        macros[count].name = names[i];
        macros[count].definition = nullptr;
        if (++count >= capacity) {
            qeLibLog(ELL_ERROR, "CQeSurfaceLightwaveHV::getEffectCompileParameters Not enough space for macros");
            return false;
        }
    }
    if (count >= capacity - 1) {
        qeLibLog(ELL_ERROR, "CQeSurfaceLightwaveHV::getEffectCompileParameters Not enough space for macros");
        return false;
    }
    static const char* const blends[3] = {"USE_BLEND_ALPHA", "USE_BLEND_ADD", "USE_BLEND_SUB"};
    // An unknown blend mode ends the list here.
    macros[count].name = Params.blend < 3 ? blends[Params.blend] : nullptr;
    macros[count].definition = nullptr;
    macros[count + 1].name = nullptr;
    macros[count + 1].definition = nullptr;
    return true;
}

bool CQeSurfaceLightwaveHV::setEffectTextures(IQeEffect* effect) {
    if (!effect) return false;
    const SParameter* parameter = effect->getParameterBySemantic(nullptr, ClipSemantic);
    if (parameter && !effect->setTexture(parameter, Params.clipTexture)) {
        qeLibLog(ELL_ERROR, "CQeSurfaceLightwaveHV::setEffectTextures setSamplerTexture failed for %s", ClipSemantic);
        return false;
    }
    return true;
}

bool CQeSurfaceLightwaveHV::setEffectTextureOnMaterial(video::SMaterial* material, IQeEffect* effect, u32 technique,
                                                       u32 pass) {
    if (!material || !effect) return false;
    const SParameter* parameter = effect->getParameterBySemantic(nullptr, ClipSemantic);
    if (parameter && !effect->setTextureOnMaterial(technique, pass, parameter, *material, Params.clipTexture)) {
        qeLibLog(ELL_ERROR,
                 "CQeSurfaceLightwaveHV::setEffectTextureOnMaterial setSamplerTextureOnMaterial failed for %s",
                 ClipSemantic);
        return false;
    }
    return true;
}

IQeSurface* CQeSurfaceLightwaveHV::clone() {
    CQeSurfaceLightwaveHV* copy = new CQeSurfaceLightwaveHV();
    copy->setParameters(&Params);
    return copy;
}
