#include "lights.h"

#include <irrlicht.h>

#include <cmath>
#include <cstdlib>

#include "engine.h"
#include "engine_context.h"
#include "entity_lookup.h"
#include "idtable.h"
#include "log.h"
#include "lookups.h"

using namespace irr;

namespace {

struct LightModule {
    LightEntry* visibleHead = nullptr;
    bool resetRegistered = false;
};
LightModule g_lights;

IdTable* table() { return qeIrrlichtGetContext()->lights; }

LightEntry* lookup(int id) { return static_cast<LightEntry*>(qeApiLookup(table(), id, "Light")); }
LightEntry* find(int id) { return static_cast<LightEntry*>(qeApiFind(table(), id)); }

void append(LightEntry* entry) {
    entry->prev = entry->next = nullptr;
    if (!g_lights.visibleHead) {
        g_lights.visibleHead = entry;
        return;
    }
    LightEntry* last = g_lights.visibleHead;
    while (last->next) last = last->next;
    last->next = entry;
    entry->prev = last;
}

void unlink(LightEntry* entry) {
    entry->visible = 0;
    if (!g_lights.visibleHead) {
        qeLogPrint(QE_LOG_ERROR, "make the light not visible but no visible light present!");
        return;
    }
    if (entry->prev) {
        entry->prev->next = entry->next;
        if (entry->next) entry->next->prev = entry->prev;
    } else {
        g_lights.visibleHead = entry->next;
        if (entry->next) entry->next->prev = nullptr;
    }
    entry->prev = entry->next = nullptr;
}

video::SColorf colourOf(uint32_t rgb) { return video::SColorf(video::SColor(0xFF000000u | rgb)); }

void updateDiffuse(LightEntry* entry) {
    video::SLight& data = entry->node->getLightData();
    data.DiffuseColor = video::SColorf(qeIrrlichtLightColourByte(entry->raw[0] * entry->intensity),
                                       qeIrrlichtLightColourByte(entry->raw[1] * entry->intensity),
                                       qeIrrlichtLightColourByte(entry->raw[2] * entry->intensity), 1.0f);
}

}  // namespace

int qeIrrlichtLightRangeReaches(float radius) {
    if (!(radius > 0.0f)) return 0;
    return std::isfinite(1.0f / (radius * radius)) ? 1 : 0;
}

float qeIrrlichtLightColourByte(float value) {
    const int scaled = static_cast<int>(value * 255.0f);
    return static_cast<float>(scaled & 0xFF) / 255.0f;
}

void qeIrrlichtMakeLight(int id) {
    LightEntry* entry = static_cast<LightEntry*>(std::calloc(1, sizeof(LightEntry)));
    if (!entry) return;
    if (qeIdTableAdd(table(), id, entry) != 0) {
        qeLogError(1, "invalid Light ID %d : %s", id, qeIdTableGetMessage());
        std::free(entry);
        return;
    }
    EngineContext* ctx = qeIrrlichtGetContext();
    scene::ILightSceneNode* node =
        ctx->smgr ? ctx->smgr->addLightSceneNode(nullptr, core::vector3df(0, 0, 0), video::SColorf(1, 1, 1, 1), 100.0f, -1)
                  : nullptr;
    if (!node) {
        qeLogError(-1, "failed to create light");
        qeIdTableRemove(table(), id);
        std::free(entry);
        return;
    }
    if (!g_lights.resetRegistered) {
        qeIrrlichtRegisterModuleReset(qeIrrlichtLightsReset, QE_STOP_AFTER_DROP);
        g_lights.resetRegistered = true;
    }
    entry->node = node;
    entry->shadowOn = 0;
    entry->raw[0] = entry->raw[1] = entry->raw[2] = 1.0f;
    entry->intensity = 1.0f;
    entry->shadowMapSize = 512;
    entry->shadowFuzz = 0.0f;
    node->getLightData().Radius = 1e7f;
    node->setID(id);
    entry->visible = 1;
    append(entry);
}

int qeIrrlichtLightExist(int id) { return find(id) ? 1 : 0; }

int qeIrrlichtLightVisible(int id) {
    LightEntry* entry = lookup(id);
    return entry ? entry->visible : 0;
}

void qeIrrlichtShowLight(int id) {
    LightEntry* entry = lookup(id);
    if (!entry) return;
    entry->node->setVisible(true);
    if (entry->visible) return;
    entry->visible = 1;
    append(entry);
}

void qeIrrlichtHideLight(int id) {
    LightEntry* entry = lookup(id);
    if (!entry) return;
    entry->node->setVisible(false);
    if (entry->visible) unlink(entry);
}

void qeIrrlichtDeleteLight(int id) {
    LightEntry* entry = find(id);
    if (!entry) return;
    if (entry->visible) unlink(entry);
    entry->node->remove();
    std::free(entry);
    qeIdTableRemove(table(), id);
}

void qeIrrlichtSetPointLight(int id, float x, float y, float z) {
    if (LightEntry* entry = lookup(id)) {
        entry->node->setLightType(video::ELT_POINT);
        entry->node->setPosition(core::vector3df(x, y, z));
    }
}

void qeIrrlichtSetSpotLight(int id, float inner, float outer) {
    if (LightEntry* entry = lookup(id)) {
        entry->node->setLightType(video::ELT_SPOT);
        entry->node->getLightData().InnerCone = inner;
        entry->node->getLightData().OuterCone = outer;
    }
}

void qeIrrlichtSetDirectionalLight(int id, float x, float y, float z) {
    if (LightEntry* entry = lookup(id)) {
        entry->node->setLightType(video::ELT_DIRECTIONAL);
        entry->node->setRotation(core::vector3df(x, y, z));
    }
}

void qeIrrlichtPositionLight(int id, float x, float y, float z) {
    if (LightEntry* entry = lookup(id)) entry->node->setPosition(core::vector3df(x, y, z));
}

void qeIrrlichtRotateLight(int id, float x, float y, float z) {
    if (LightEntry* entry = lookup(id)) entry->node->setRotation(core::vector3df(x, y, z));
}

void qeIrrlichtSetLightRange(int id, float range) {
    if (LightEntry* entry = lookup(id)) entry->node->getLightData().Radius = range;
}

void qeIrrlichtColorLight(int id, uint32_t rgb) {
    LightEntry* entry = lookup(id);
    if (!entry) return;
    const video::SColorf c = colourOf(rgb);
    entry->node->getLightData().DiffuseColor = c;
    entry->raw[0] = c.r;
    entry->raw[1] = c.g;
    entry->raw[2] = c.b;
    entry->intensity = 1.0f;
}

void qeIrrlichtSetLightRawColor(int id, float r, float g, float b) {
    LightEntry* entry = lookup(id);
    if (!entry) return;
    entry->raw[0] = r;
    entry->raw[1] = g;
    entry->raw[2] = b;
    updateDiffuse(entry);
}

void qeIrrlichtSetLightIntensity(int id, float intensity) {
    LightEntry* entry = lookup(id);
    if (!entry) return;
    entry->intensity = intensity;
    updateDiffuse(entry);
}

void qeIrrlichtColorAmbientLight(uint32_t rgb) {
    if (g_lights.visibleHead) g_lights.visibleHead->node->getLightData().AmbientColor = colourOf(rgb);
}

void qeIrrlichtSetLightShadow(int id, int on) {
    if (LightEntry* entry = lookup(id)) entry->shadowOn = on;
}

void qeIrrlichtColorLightShadow(int id, uint32_t rgb) {
    LightEntry* entry = lookup(id);
    if (!entry) return;
    entry->shadowColor[0] = static_cast<float>((rgb >> 16) & 0xFF) / 255.0f;
    entry->shadowColor[1] = static_cast<float>((rgb >> 8) & 0xFF) / 255.0f;
    entry->shadowColor[2] = static_cast<float>(rgb & 0xFF) / 255.0f;
}

void qeIrrlichtSetShadowMapSize(int id, int size) {
    if (LightEntry* entry = lookup(id)) entry->shadowMapSize = size;
}

void qeIrrlichtSetShadowMapFuzz(int id, float fuzz) {
    if (LightEntry* entry = lookup(id)) entry->shadowFuzz = fuzz;
}

scene::ILightSceneNode* qeIrrlichtGetVisibleLight(int n) {
    LightEntry* entry = g_lights.visibleHead;
    for (int i = 0; entry && i < n; ++i) entry = entry->next;
    return n >= 0 && entry ? entry->node : nullptr;
}

float qeIrrlichtGetLightIntensity(int id) {
    LightEntry* entry = find(id);
    return entry ? entry->intensity : 0.0f;
}

int qeIrrlichtGetLightShadow(int id) {
    LightEntry* entry = find(id);
    return entry ? entry->shadowOn : 0;
}

float qeIrrlichtGetLightShadowFuzz(int id) {
    LightEntry* entry = find(id);
    return entry ? entry->shadowFuzz : 0.0f;
}

const float* qeIrrlichtGetLightShadowColor(int id) {
    LightEntry* entry = find(id);
    return entry ? entry->shadowColor : nullptr;
}

int qeIrrlichtGetLightShadowMapSize(int id) {
    LightEntry* entry = find(id);
    return entry ? entry->shadowMapSize : 0;
}

void qeIrrlichtLightsReset() {
    IdTable* lights = table();
    if (lights)
        for (int id = 0; id < lights->capacity; ++id) {
            std::free(lights->slots[id]);
            lights->slots[id] = nullptr;
        }
    g_lights.visibleHead = nullptr;
}
