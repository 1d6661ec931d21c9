#include "CQeEffectBindLightwave.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "IQeSceneNodeExt.h"
#include "QeLog.h"
#include "defs/IQeEffectDef.h"
#include "runtime/SQeNodeExtMaterial.h"
#include "surfaces/IQeSurface.h"

using irr::f32;
using irr::s32;
using irr::u32;
using irr::video::IMaterialRendererServices;

namespace {

bool hasSemantic(const SQeFxConstBind* record) { return record->semantic && record->semantic[0]; }

// The surface of the record's material, checked for the expected type; logs with the bind's name.
IQeSurface* findSurface(const SQeNodeExtMaterial* record, u32 type, const char* bind, const char* typeName) {
    if (!record || !record->node) {
        qeLibLog(irr::ELL_ERROR, "%s::onSetMaterial : Missing matExt->Node", bind);
        return nullptr;
    }
    IQeSceneNodeExt* ext = getSceneNodeExt(record->node);
    if (!ext) {
        qeLibLog(irr::ELL_ERROR, "%s::onSetMaterial : Missing IQeSceneNodeExt", bind);
        return nullptr;
    }
    IQeSurface* surface = ext->getSurface(record->materialIndex);
    if (!surface) {
        qeLibLog(irr::ELL_ERROR, "%s::onSetMaterial : Missing Surface at index %d", bind,
                 static_cast<s32>(record->materialIndex));
        return nullptr;
    }
    if (surface->getType() != type) {
        qeLibLog(irr::ELL_ERROR, "%s::onSetMaterial : Unexpected Surface type != %s at index %d", bind, typeName,
                 static_cast<s32>(record->materialIndex));
        return nullptr;
    }
    return surface;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------
// LightWave surface

CQeEffectBindLightwave::CQeEffectBindLightwave(irr::IrrlichtDevice* device)
    : Device(device), Driver(device ? device->getVideoDriver() : nullptr), Surface(nullptr) {}

bool CQeEffectBindLightwave::onSetMaterial(const SQeNodeExtMaterial* record, s32) {
    IQeSurface* surface = findSurface(record, EQEST_LIGHTWAVE, "CQeEffectBindLightwave", "EQEST_LIGHTWAVE");
    Surface = surface ? static_cast<IQeSurfaceLightwave*>(surface) : nullptr;
    return Surface != nullptr;
}

BindSetter CQeEffectBindLightwave::getBindFunction(const SQeFxConstBind* record, u32* userData) {
    if (!hasSemantic(record)) return nullptr;
    const char* semantic = record->semantic;
    if (std::strncmp(semantic, "LW_", 3) == 0) {
        for (u32 channel = 0; channel < LWC_COUNT; ++channel) {
            if (std::strcmp(semantic + 3, qeLightwaveChannelName(channel)) != 0) continue;
            userData[0] = channel;
            if (record->stage != EQESS_VERTEX && record->stage != EQESS_PIXEL) return nullptr;
            switch (record->type) {
            case EQEPT_BOOL:
            case EQEPT_INT: return static_cast<BindSetter>(&CQeEffectBindLightwave::setInt);
            case EQEPT_FLOAT: return static_cast<BindSetter>(&CQeEffectBindLightwave::setFloat);
            case EQEPT_FLOAT3: return static_cast<BindSetter>(&CQeEffectBindLightwave::setVector);
            default: return nullptr;
            }
        }
    }
    if (std::strcmp(semantic, "LW_Roughness") == 0) return static_cast<BindSetter>(&CQeEffectBindLightwave::setRoughness);
    return nullptr;
}

bool CQeEffectBindLightwave::sendScalar(IMaterialRendererServices* services, const SQeFxConstBind* record, f32 value) {
    if (record->reg == -1) return qeBindSetByName(services, record, &value, 1);
    const f32 reg[4] = {value, 0.0f, 0.0f, 0.0f};
    return qeBindSetByRegister(services, record, reg, 1);
}

bool CQeEffectBindLightwave::setInt(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                    const u32* userData) {
    if (!Surface || userData[0] >= LWC_COUNT) return false;
    return sendScalar(services, record, static_cast<f32>(Surface->getChannelInt(userData[0])));
}

bool CQeEffectBindLightwave::setFloat(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                      const u32* userData) {
    if (!Surface || userData[0] >= LWC_COUNT) return false;
    return sendScalar(services, record, Surface->getChannelFloat(userData[0]));
}

bool CQeEffectBindLightwave::setVector(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                       const u32* userData) {
    if (!Surface || userData[0] >= LWC_COUNT) return false;
    const f32* v = Surface->getChannelVector(userData[0]);
    if (!v) return false;
    if (record->reg == -1) return qeBindSetByName(services, record, v, 3);
    const f32 reg[4] = {v[0], v[1], v[2], 0.0f};
    return qeBindSetByRegister(services, record, reg, 1);
}

bool CQeEffectBindLightwave::setRoughness(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                          const u32*) {
    if (!Surface) return false;
    const f32 value = std::pow(2.0f, 10.0f * Surface->getChannelFloat(LWC_Glossiness) + 2.0f);
    return qeBindSetByName(services, record, &value, 1);
}

// ---------------------------------------------------------------------------------------------------
// Hypervoxel surface

#define QE_HV_ENTRY(name, field, vertexCount, pixelCount, isCount)                                              \
    {name,                                                                                                       \
     static_cast<BindSetter>(                                                                                    \
         &CQeEffectBindLightwaveHV::setBlock<offsetof(LightwaveHVParams, field), vertexCount, true, isCount>),   \
     static_cast<BindSetter>(                                                                                    \
         &CQeEffectBindLightwaveHV::setBlock<offsetof(LightwaveHVParams, field), pixelCount, false, isCount>),   \
     {0, 0}}

// The key-position rows send 8 of the 9 positions; the size values go 9 to a vertex shader and 8 to a
// pixel shader.
const BindTableEntry CQeEffectBindLightwaveHV::Table[] = {
    QE_HV_ENTRY("LWHV_Color", color, 4, 4, false),
    QE_HV_ENTRY("LWHV_Size", size, 1, 1, false),
    QE_HV_ENTRY("LWHV_Rotation", rotation, 1, 1, false),
    QE_HV_ENTRY("LWHV_ColorNumKeys", colorKeyCount, 1, 1, true),
    QE_HV_ENTRY("LWHV_ColorKeyParams", colorKeyParams, 8, 8, false),
    QE_HV_ENTRY("LWHV_ColorKeyValues", colorKeyValues, 36, 36, false),
    QE_HV_ENTRY("LWHV_SizeNumKeys", sizeKeyCount, 1, 1, true),
    QE_HV_ENTRY("LWHV_SizeKeyParams", sizeKeyParams, 8, 8, false),
    QE_HV_ENTRY("LWHV_SizeKeyValues", sizeKeyValues, 9, 8, false),
    {nullptr, nullptr, nullptr, {0, 0}}};

#undef QE_HV_ENTRY

CQeEffectBindLightwaveHV::CQeEffectBindLightwaveHV(irr::IrrlichtDevice* device)
    : Device(device), Driver(device ? device->getVideoDriver() : nullptr), Params(nullptr) {}

bool CQeEffectBindLightwaveHV::onSetMaterial(const SQeNodeExtMaterial* record, s32) {
    IQeSurface* surface =
        findSurface(record, EQEST_LIGHTWAVEHV, "CQeEffectBindLightwaveHV", "EQEST_LIGHTWAVEHV");
    Params = surface ? static_cast<IQeSurfaceLightwaveHV*>(surface)->getParameters() : nullptr;
    return Params != nullptr;
}

BindSetter CQeEffectBindLightwaveHV::getBindFunction(const SQeFxConstBind* record, u32*) {
    if (!hasSemantic(record)) return nullptr;
    for (const BindTableEntry* entry = Table; entry->name; ++entry)
        if (std::strcmp(entry->name, record->semantic) == 0)
            return record->stage == EQESS_VERTEX ? entry->vertexSetter : entry->pixelSetter;
    return nullptr;
}

template <unsigned Offset, int Count, bool Vertex, bool IsCount>
bool CQeEffectBindLightwaveHV::setBlock(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                        const u32*) {
    if (!Params) return false;
    const irr::u8* at = reinterpret_cast<const irr::u8*>(Params) + Offset;
    f32 values[Count];
    if (IsCount) {
        u32 count;
        std::memcpy(&count, at, sizeof(count));
        values[0] = static_cast<f32>(count);
    } else {
        std::memcpy(values, at, sizeof(values));
    }
    const char* name = record->name.c_str();
    return Vertex ? services->setVertexShaderConstant(name, values, Count)
                  : services->setPixelShaderConstant(name, values, Count);
}
