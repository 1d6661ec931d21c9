#include "CQeEffectBind.h"

#include <cstring>

#include "defs/IQeEffectDef.h"

using irr::f32;
using irr::s32;
using irr::u32;
using irr::video::IMaterialRendererServices;

bool qeBindSetByName(IMaterialRendererServices* services, const SQeFxConstBind* record, const f32* floats,
                     s32 count) {
    if (record->stage == EQESS_VERTEX) return services->setVertexShaderConstant(record->name.c_str(), floats, count);
    return services->setPixelShaderConstant(record->name.c_str(), floats, count);
}

bool qeBindSetByRegister(IMaterialRendererServices* services, const SQeFxConstBind* record, const f32* floats,
                         s32 registers) {
    if (record->stage == EQESS_VERTEX)
        services->setVertexShaderConstant(floats, record->reg, registers);
    else
        services->setPixelShaderConstant(floats, record->reg, registers);
    return true;
}

namespace {

f32 intValue(const SQeFxConstBind* record) {
    s32 v;
    std::memcpy(&v, record->data, sizeof(v));
    return static_cast<f32>(v);
}

}  // namespace

BindSetter CQeEffectBind::getBindFunction(const SQeFxConstBind* record, u32*) {
    if (record->stage != EQESS_VERTEX && record->stage != EQESS_PIXEL) return nullptr;
    if (record->type < EQEPT_BOOL || record->type > EQEPT_INT) return nullptr;
    const bool byName = record->reg == -1;
    if (record->type == EQEPT_BOOL || record->type == EQEPT_INT)
        return static_cast<BindSetter>(byName ? &CQeEffectBind::setIntByName : &CQeEffectBind::setIntByRegister);
    return static_cast<BindSetter>(byName ? &CQeEffectBind::setFloatsByName : &CQeEffectBind::setFloatsByRegister);
}

bool CQeEffectBind::setIntByName(IMaterialRendererServices* services, const SQeFxConstBind* record, const u32*) {
    const f32 v = intValue(record);
    return qeBindSetByName(services, record, &v, 1);
}

bool CQeEffectBind::setIntByRegister(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                     const u32*) {
    // A register holds four floats: the value goes first, the rest is zero.
    const f32 v[4] = {intValue(record), 0.0f, 0.0f, 0.0f};
    return qeBindSetByRegister(services, record, v, 1);
}

bool CQeEffectBind::setFloatsByName(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                    const u32*) {
    return qeBindSetByName(services, record, static_cast<const f32*>(record->data), record->count);
}

bool CQeEffectBind::setFloatsByRegister(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                        const u32*) {
    const s32 registers = record->count / 4 > 0 ? record->count / 4 : 1;
    return qeBindSetByRegister(services, record, static_cast<const f32*>(record->data), registers);
}
