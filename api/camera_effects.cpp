#include "camera_effects.h"

#include <irrlicht.h>

#include <cstdlib>
#include <cstring>

#include "engine.h"
#include "engine_context.h"
#include "entity_lookup.h"
#include "frame.h"
#include "idtable.h"
#include "scene_access.h"
#include "shader_material.h"
#include "shader_object.h"
#include "sys.h"
#include "sysfile.h"

using namespace irr;

namespace {

struct CameraEffectModule {
    irr::core::array<int32_t>* enabled = nullptr;  // made on first use, room for 100
    bool resetRegistered = false;
};
CameraEffectModule g_effects;

IdTable* table() { return qeIrrlichtGetContext()->cameraEffects; }

CameraEffectEntry* find(int id) { return static_cast<CameraEffectEntry*>(qeApiFind(table(), id)); }

void removeEnabled(int id) {
    if (g_effects.enabled)
        for (u32 i = 0; i < g_effects.enabled->size(); ++i)
            if ((*g_effects.enabled)[i] == id) {
                g_effects.enabled->erase(i);
                return;
            }
    qeSysMessageBox("remove enabled FAILED to find ID=%d in enabled list\n", id);
}

void destroy(CameraEffectEntry* entry) {
    qeIrrShaderDestroy(entry->shader);
    std::free(entry);
}

// The declared texture slots: flags recorded, textures of the non-preset ones loaded.
void loadSlots(CameraEffectEntry* entry, const char* file) {
    video::IVideoDriver* driver = qeIrrlichtGetContext()->driver;
    ShaderObject* shader = entry->shader;
    for (int slot = 0; slot < QE_CAMERA_EFFECT_SLOTS; ++slot) {
        if (!qeIrrShaderTextureUsed(shader, slot)) continue;
        entry->hasTextures = 1;
        entry->repeat[slot] = qeIrrShaderTextureRepeat(shader, slot);
        entry->mipMaps[slot] = qeIrrShaderTextureMipMaps(shader, slot);
        entry->filterPoint[slot] = qeIrrShaderTextureFilterPoint(shader, slot);
        if (qeIrrShaderTextureIsPreset(shader, slot)) {
            entry->preset[slot] = 1;
            continue;
        }
        if (!driver) continue;
        const char* name = qeIrrShaderTextureName(shader, slot);
        const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
        if (!entry->mipMaps[slot]) driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
        entry->texture[slot] = driver->getTexture(qeSysFindDataFile(name));
        if (!entry->texture[slot]) qeSysMessageBox("camera shader '%s': can't load texture '%s'", file, name);
        driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
    }
}

}  // namespace

void qeIrrlichtMakeCameraEffectFromFile(int id, const char* file) {
    qeIrrlichtDeleteCameraEffect(id);
    CameraEffectEntry* entry = static_cast<CameraEffectEntry*>(std::calloc(1, sizeof(CameraEffectEntry)));
    if (!entry) return;
    entry->shader = qeIrrShaderCreate(file, nullptr);
    if (!entry->shader || qeIrrShaderSetupGpuMaterial(entry->shader) != 0) {
        destroy(entry);
        return;
    }
    loadSlots(entry, file);
    if (qeIdTableAdd(table(), id, entry) != 0) {
        destroy(entry);
        return;
    }
    if (!g_effects.resetRegistered) {
        qeIrrlichtRegisterModuleReset(qeIrrlichtCameraEffectsReset, QE_STOP_AFTER_DROP);
        g_effects.resetRegistered = true;
    }
}

int qeIrrlichtCameraEffectExist(int id) { return find(id) ? 1 : 0; }

void qeIrrlichtDeleteCameraEffect(int id) {
    CameraEffectEntry* entry = find(id);
    if (!entry) return;
    if (entry->enabled) {
        entry->enabled = 0;
        removeEnabled(id);
    }
    destroy(entry);
    qeIdTableRemove(table(), id);
}

void qeIrrlichtShowCameraEffect(int id) {
    CameraEffectEntry* entry = find(id);
    if (!entry || entry->enabled) return;
    if (!g_effects.enabled) {
        g_effects.enabled = new core::array<int32_t>();
        g_effects.enabled->reallocate(100);
    }
    entry->enabled = 1;
    g_effects.enabled->push_back(id);
}

void qeIrrlichtHideCameraEffect(int id) {
    CameraEffectEntry* entry = find(id);
    if (!entry || !entry->enabled) return;
    entry->enabled = 0;
    removeEnabled(id);
}

void qeIrrlichtCameraEffectSetParams(int id, const ShaderValuesRecord* record) {
    CameraEffectEntry* entry = find(id);
    if (!entry || !record) return;
    // the signed scene time: a scene may run at negative times
    qeIrrShaderSetTime(entry->shader, static_cast<float>(qeIrrlichtGetSceneTime()) / 1000.0f);
    const int count = record->paramCount < 0                      ? 0
                      : record->paramCount > QE_SHADER_VALUES_MAX ? QE_SHADER_VALUES_MAX
                                                                  : record->paramCount;
    for (int i = 0; i < count; ++i) {
        const ShaderValueEntry& p = record->params[i];
        if (!p.param) continue;
        const char* name = reinterpret_cast<const char*>(p.param);  // the record starts with its name
        switch (p.type) {
            case 0: qeIrrShaderSetParamFloat3ByName(entry->shader, name, p.value); break;
            case 1: qeIrrShaderSetParamFloatByName(entry->shader, name, p.value[0]); break;
            case 2: {
                int32_t word;
                std::memcpy(&word, &p.value[0], sizeof(word));
                qeIrrShaderSetParamFloatByName(entry->shader, name, static_cast<float>(word));
                break;
            }
            default: break;
        }
    }
}

int qeIrrlichtGetEnabledCameraEffectCount() {
    return g_effects.enabled ? static_cast<int>(g_effects.enabled->size()) : 0;
}

int GetEnabled(int index) {
    if (!g_effects.enabled || index < 0 || index >= static_cast<int>(g_effects.enabled->size())) return -1;
    const int id = (*g_effects.enabled)[static_cast<u32>(index)];
    if (find(id)) return id;
    qeSysMessageBox("GetEnabled FAILED to ID=%d\n", id);
    return -1;
}

ShaderObject* qeIrrlichtGetCameraEffectShader(int id) {
    CameraEffectEntry* entry = find(id);
    return entry ? entry->shader : nullptr;
}

int qeIrrlichtCameraEffectHasTextures(int id) {
    CameraEffectEntry* entry = find(id);
    return entry ? entry->hasTextures : 0;
}

video::ITexture* qeIrrlichtGetCameraEffectTexture(int id, int slot) {
    CameraEffectEntry* entry = find(id);
    return entry ? entry->texture[slot] : nullptr;
}

int qeIrrlichtCameraEffectSlotPreset(int id, int slot) {
    CameraEffectEntry* entry = find(id);
    return entry ? entry->preset[slot] : 0;
}

int qeIrrlichtCameraEffectSlotRepeat(int id, int slot) {
    CameraEffectEntry* entry = find(id);
    return entry ? entry->repeat[slot] : 0;
}

int qeIrrlichtCameraEffectSlotFilterPoint(int id, int slot) {
    CameraEffectEntry* entry = find(id);
    return entry ? entry->filterPoint[slot] : 0;
}

const char* qeIrrlichtGetCameraEffectTextureName(int id, int slot) {
    CameraEffectEntry* entry = find(id);
    return entry ? qeIrrShaderTextureName(entry->shader, slot) : nullptr;
}

void qeIrrlichtCameraEffectsReset() {
    IdTable* effects = table();
    if (effects)
        for (int id = 0; id < effects->capacity; ++id) {
            if (effects->slots[id]) destroy(static_cast<CameraEffectEntry*>(effects->slots[id]));
            effects->slots[id] = nullptr;
        }
    delete g_effects.enabled;
    g_effects.enabled = nullptr;
}
