#include "scene_slots.h"

#include <strings.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

#include "camera_effects.h"
#include "draw2d.h"
#include "engine.h"
#include "facade.h"
#include "fxemitter.h"
#include "lights.h"
#include "log.h"
#include "objects.h"
#include "scene_access.h"
#include "sys.h"

namespace {

struct SlotsState {
    SceneSlot slots[QE_SCENE_SLOTS];
    QeSceneProgress progress = nullptr;
    void* progressDatum = nullptr;
    char geometryFile[1024];
    // Sized at load to the largest surface count met, so an object with many surfaces never writes past
    // it and the per-frame update never allocates.
    std::vector<ObjectSurfaceRecord> surfaces;
    ShaderValuesRecord shaderValues;
    bool resetRegistered = false;
};

SlotsState g_state;

SceneSlot* usedSlot(int slot) {
    if (slot < 0 || slot >= QE_SCENE_SLOTS || !g_state.slots[slot].inUse) return nullptr;
    return &g_state.slots[slot];
}

int progress(int percent) {
    return g_state.progress ? g_state.progress(percent, g_state.progressDatum) : 0;
}

int objectCount(const SceneSlot* s) { return s->handle->objects->getObjectCount(s->handle); }
int lightCount(const SceneSlot* s) { return s->extra ? 0 : s->handle->lights->getLightCount(s->handle); }
int emitterCount(const SceneSlot* s) { return s->handle->fxEmitters->getFxEmitterCount(s->handle); }
int cameraShaderCount(const SceneSlot* s) { return s->handle->processing->getCameraShaderCount(s->handle); }
// Camera shaders past the cap are never created, and only created ones have a shown flag.
int createdCameraShaders(const SceneSlot* s) {
    if (s->extra) return 0;
    const int n = cameraShaderCount(s);
    return n < QE_SCENE_CAMERA_SHADERS_MAX ? n : QE_SCENE_CAMERA_SHADERS_MAX;
}
bool objectEmpty(const SceneSlot* s, int i) { return s->handle->objects->isObjectEmpty(s->handle, i) != 0; }

// Calls the given functions (any may be null) on the IDs of the slot's objects, lights (none in an extra
// slot) and fx emitters that exist: an empty object has no entity, and one the load could not create was
// reported then, not at every show or hide.
void forEachEntity(const SceneSlot* s, void (*object)(int), void (*light)(int), void (*emitter)(int)) {
    const int objects = object ? objectCount(s) : 0;
    for (int i = 0; i < objects; ++i)
        if (qeSceneHasObject(s, i)) object(s->objectBase + i);
    const int lights = light ? lightCount(s) : 0;
    for (int i = 0; i < lights; ++i)
        if (qeIrrlichtLightExist(s->lightBase + i)) light(s->lightBase + i);
    const int emitters = emitter ? emitterCount(s) : 0;
    for (int i = 0; i < emitters; ++i)
        if (qeIrrlichtFxEmitterExist(s->fxEmitterBase + i)) emitter(s->fxEmitterBase + i);
}

// A name the scene does not give shows in a message as an empty name.
const char* orEmpty(const char* text) { return text ? text : ""; }

uint32_t colourOf(const SceneVec3& c) { return qeIrrlichtRGBf(c.X, c.Y, c.Z); }

}  // namespace

ObjectSurfaceRecord* qeSceneSurfaceBuffer(int count) {
    if (count < QE_SCENE_SURFACES_MAX) count = QE_SCENE_SURFACES_MAX;
    if (g_state.surfaces.size() < size_t(count)) g_state.surfaces.resize(size_t(count));
    return g_state.surfaces.data();
}

int qeSceneHasObject(const SceneSlot* s, int index) {
    return !objectEmpty(s, index) && qeIrrlichtObjectExist(s->objectBase + index);
}

SceneSlot* qeSceneGetSlot(int slot) {
    return slot < 0 || slot >= QE_SCENE_SLOTS ? nullptr : &g_state.slots[slot];
}

void qeSceneSetProgressCallback(QeSceneProgress callback, void* datum) {
    g_state.progress = callback;
    g_state.progressDatum = callback ? datum : nullptr;
}

void qeSceneSlotsReset() {
    for (SceneSlot& s : g_state.slots) {
        if (s.handle) qeSceneFileClose(s.handle);
        std::memset(&s, 0, sizeof(s));
    }
}

int qeSceneFindObjectByFile(const char* directory, const char* file) {
    if (!directory || !file) return -1;
    for (int k = 0; k < QE_SCENE_SLOTS; ++k) {
        const SceneSlot* s = usedSlot(k);
        if (!s || strcasecmp(s->directory, directory) != 0) continue;
        const int n = objectCount(s);
        for (int j = 0; j < n; ++j) {
            const char* other = s->handle->objects->getObjectGeometryFile(s->handle, j);
            if (other && strcasecmp(other, file) == 0 && qeIrrlichtObjectExist(s->objectBase + j))
                return s->objectBase + j;
        }
    }
    return -1;
}

int qeSceneFindObjectByName(int slot, const char* name) {
    const SceneSlot* s = usedSlot(slot);
    if (!s || !name) return -1;
    const int n = objectCount(s);
    for (int j = 0; j < n; ++j) {
        const char* other = s->handle->objects->getObjectName(s->handle, j);
        if (other && strcasecmp(other, name) == 0 && qeIrrlichtObjectExist(s->objectBase + j))
            return s->objectBase + j;
    }
    return -1;
}

int qeSceneLoadObject(SceneHandle* handle, int index, int slot, int id, int reuseMode, int allowClone) {
    const char* file = handle->objects->getObjectGeometryFile(handle, index);
    std::strncpy(g_state.geometryFile, file ? file : "", sizeof(g_state.geometryFile) - 1);
    g_state.geometryFile[sizeof(g_state.geometryFile) - 1] = 0;
    const int found = qeSceneFindObjectByFile(g_state.slots[slot].directory, g_state.geometryFile);
    if (found != -1 && found != id && (reuseMode || allowClone))
        qeIrrlichtInstanceObject(id, found);  // a clone is the same operation as an instance
    else
        qeIrrlichtLoadObject(g_state.geometryFile, id);
    if (qeIrrlichtObjectExist(id)) return 0;
    if (qeSceneGetLoadVerbose()) qeSysMessageBox("The object id=%d '%s' cannot be loaded", id, g_state.geometryFile);
    return -1;
}

void qeSceneSetupObject(SceneHandle* handle, int index, int id) {
    const ObjectQueryTable* q = handle->objects;
    if (q->getObjectShadowOptions(handle, index) & 2) qeIrrlichtSetShadowShadingOn(id);
    const int count = q->getObjectSurfaceCount(handle, index);
    if (count > QE_SCENE_SURFACES_MAX)
        qeSysMessageBox("The object id=%d '%s' numSurfaces=%d > NOF_SURFACE_MAX=%d. Will result in corruption", id,
                        orEmpty(q->getObjectGeometryFile(handle, index)), count, int(QE_SCENE_SURFACES_MAX));
    ObjectSurfaceRecord* records = qeSceneSurfaceBuffer(count);
    q->getObjectSurfaces(handle, index, records, 0.0f);
    qeIrrlichtObjSetSurfaces(id, count, records, 1);
    if (q->getObjectTranslucency(handle, index) != 0.0f || q->getObjectTransparency(handle, index) != 0.0f)
        qeIrrlichtGhostObjectOn(id);
}

void qeSceneSetupLight(SceneHandle* handle, int index, int id) {
    const LightQueryTable* q = handle->lights;
    const int type = q->getLightType(handle, index);
    if (type == 0) {
        qeIrrlichtSetDirectionalLight(id, 0, 0, 1);
    } else if (type == 2) {
        float cone = 0, edge = 0;
        q->getLightConeAngles(handle, index, &cone, &edge, 0.0f);
        qeIrrlichtSetSpotLight(id, cone - edge, cone);
    } else {
        qeIrrlichtSetPointLight(id, 0, 0, 1);
    }
    if (q->hasLightRange(handle, index)) qeIrrlichtSetLightRange(id, q->getLightRange(handle, index, 0.0f));
    SceneVec3 c;
    q->getLightColor(&c, handle, index, 0.0f);
    const float k = q->getLightIntensity(handle, index, 0.0f);
    qeIrrlichtColorLight(id, qeIrrlichtRGB(int(c.X * k * 255), int(c.Y * k * 255), int(c.Z * k * 255)));
    qeIrrlichtSetLightRawColor(id, c.X, c.Y, c.Z);
    qeIrrlichtSetLightIntensity(id, k);
    const int shadow = q->getLightShadowType(handle, index);
    qeIrrlichtSetLightShadow(id, shadow == 2 ? 1 : 0);
    if (shadow != 0) {
        SceneVec3 sc;
        q->getLightShadowColor(&sc, handle, index);
        qeIrrlichtColorLightShadow(id, colourOf(sc));
        qeIrrlichtSetShadowMapSize(id, q->getLightShadowMapSize(handle, index));
        qeIrrlichtSetShadowMapFuzz(id, q->getLightShadowMapFuzz(handle, index));
    }
}

int qeSceneCreateFxEmitter(int id, int slot, int index) {
    SceneHandle* handle = g_state.slots[slot].handle;
    const FxEmitterQueryTable* q = handle->fxEmitters;
    const char* image = q->getFxEmitterImage(handle, index);
    if (!image) {
        if (qeSceneGetLoadVerbose()) qeSysMessageBox("fxemitter id=%d : image file='%s' not set", id, "");
        return -1;
    }
    const int kind = q->getFxEmitterKind(handle, index);
    const int nozzle = q->getFxEmitterNozzleType(handle, index);
    int objectId = -1;
    if (kind == 1 || (kind == 0 && (nozzle == 2 || nozzle == 3 || nozzle == 5))) {
        objectId = qeSceneFindObjectByName(slot, q->getFxEmitterName(handle, index));
        if (objectId == -1) qeSysMessageBox("fxemitter mesh id=%d image file='%s' cannot find object ", id, image);
    }
    if (kind == 1) {
        if (objectId != -1) qeIrrlichtMakeFxEmitterMeshStatic(id, image, objectId);
    } else if (kind == 0) {
        SceneVec3 size;
        q->getFxEmitterNozzleSize(&size, handle, index);
        switch (nozzle) {
        case 0: qeIrrlichtMakeFxEmitterBox(id, image, size.X, size.Y, size.Z); break;
        case 1: qeIrrlichtMakeFxEmitterSphere(id, image, size.X, size.Y, size.Z); break;
        case 2: if (objectId != -1) qeIrrlichtMakeFxEmitterMeshVertices(id, image, objectId); break;
        case 3: if (objectId != -1) qeIrrlichtMakeFxEmitterMeshNormal(id, image, objectId); break;
        case 5: if (objectId != -1) qeIrrlichtMakeFxEmitterMeshTriangles(id, image, objectId); break;
        default:
            qeSysMessageBox("Unsupported Nozzle type %d for fxemitter id=%d (image file='%s')", nozzle, id, image);
        }
    }
    if (qeIrrlichtFxEmitterExist(id)) return 0;
    if (qeSceneGetLoadVerbose()) qeSysMessageBox("The fxemitter id=%d (image file='%s') cannot be created", id, image);
    return -1;
}

void qeSceneSetupFxEmitter(SceneHandle* handle, int index, int id) {
    const FxEmitterQueryTable* q = handle->fxEmitters;
    const float particleSize = q->getFxEmitterParticleSize(handle, index);
    // Particles of size 0 are drawn as points of nothing: a scene without a particle size shows no
    // particles at all, which is worth a line in the log.
    if (!(particleSize > 0.0f))
        qeLogPrint(QE_LOG_WARN, "fxemitter id=%d '%s' has particle size %g: its particles do not show", id,
                   orEmpty(q->getFxEmitterName(handle, index)), particleSize);
    qeIrrlichtSetFxEmitterParticleSize(id, particleSize);
    qeIrrlichtSetFxEmitterLifeTime(id, q->getFxEmitterLifeTime(handle, index, 0.0f),
                                   q->getFxEmitterLifeTimeVariation(handle, index));
    qeIrrlichtSetFxEmitterExplosion(id, q->getFxEmitterExplosion(handle, index, 0.0f));
    qeIrrlichtSetFxEmitterParticleLimit(id, q->getFxEmitterParticleLimit(handle, index));
    int blend = 0, useImageColour = 0;
    float colour[3] = {0, 0, 0}, rotation = 0;
    q->getFxEmitterLook(handle, index, &blend, &useImageColour, colour, &rotation);
    qeIrrlichtSetFxEmitterBlendMode(id, blend);
    if (useImageColour)
        qeIrrlichtSetFxEmitterUseImageColor(id);
    else
        qeIrrlichtSetFxEmitterColor(id, qeIrrlichtRGBf(colour[0], colour[1], colour[2]));
    qeIrrlichtSetFxEmitterRotation(id, rotation);
    const float* keys = nullptr;
    int n = q->getFxEmitterSizeGradient(handle, index, &keys);
    if (n > 0) qeIrrlichtSetFxEmitterSizeGradient(id, n, keys);
    n = q->getFxEmitterColorGradient(handle, index, &keys);
    if (n > 0) qeIrrlichtSetFxEmitterColorGradient(id, n, keys);
}

void qeSceneApplyBackdrop(SceneHandle* handle) {
    qeIrrlichtColorBackdrop(colourOf(handle->backdrop->getBackdropColor(handle)));
    if (handle->processing->getCameraRangeEnable(handle)) {
        float nearValue = 0, farValue = 0;
        handle->processing->getCameraRange(handle, &nearValue, &farValue);
        qeIrrlichtSetCameraRange(nearValue, farValue);
    }
}

int qeSceneLoad(const char* fileName, int slot, int objectBase, int lightBase, int fxEmitterBase,
                int cameraShaderBase, int reuseMode, const char* directory, int extra) {
    if (progress(0) != 0) return 1;
    if (slot < 0 || slot >= QE_SCENE_SLOTS) return -1;
    if (!g_state.resetRegistered) {
        qeIrrlichtRegisterModuleReset(qeSceneSlotsReset, QE_STOP_AFTER_DROP);
        g_state.resetRegistered = true;
    }
    qeSceneUnload(slot);
    SceneSlot* s = &g_state.slots[slot];
    std::memset(s, 0, sizeof(*s));
    s->extra = extra;
    s->handle = fileName ? qeSceneFileOpen(fileName) : nullptr;
    if (!s->handle) return -1;
    SceneHandle* h = s->handle;
    std::strncpy(s->directory, directory ? directory : "", sizeof(s->directory) - 1);
    s->inUse = 1;
    for (int32_t& v : s->lastApplied) v = -1;
    s->lastTime = INT32_MIN;  // so the first update, at whatever time, restarts the emitters once

    s->objectBase = objectBase;
    const int objects = objectCount(s);
    for (int i = 0; i < objects; ++i) {
        if (progress(i * 100 / objects) != 0) return 1;
        if (objectEmpty(s, i)) continue;
        const int id = objectBase + i;
        if (qeSceneLoadObject(h, i, slot, id, reuseMode, 1) != 0) continue;
        qeSceneSetupObject(h, i, id);
        if (extra) qeIrrlichtLockObjectOn(id);
    }

    s->lightBase = lightBase;
    const int lights = lightCount(s);
    for (int i = 0; i < lights; ++i) {
        qeIrrlichtMakeLight(lightBase + i);
        qeSceneSetupLight(h, i, lightBase + i);
    }

    s->fxEmitterBase = fxEmitterBase;
    const int emitters = emitterCount(s);
    for (int i = 0; i < emitters; ++i) {
        const int id = fxEmitterBase + i;
        if (qeSceneCreateFxEmitter(id, slot, i) != 0) continue;
        qeSceneSetupFxEmitter(h, i, id);
        if (extra) qeIrrlichtLockFxEmitterOn(id);
    }

    s->cameraShaderBase = cameraShaderBase;
    const int shaders = extra ? 0 : cameraShaderCount(s);
    for (int i = 0; i < shaders; ++i) {
        if (i >= QE_SCENE_CAMERA_SHADERS_MAX) {
            qeSysMessageBox("Camera shader i=%d > max %d camera shaders", i, int(QE_SCENE_CAMERA_SHADERS_MAX));
            continue;
        }
        h->processing->getCameraShader(h, i, &g_state.shaderValues, 0.0f);
        const char* file = g_state.shaderValues.fileName;
        qeIrrlichtMakeCameraEffectFromFile(cameraShaderBase + i, file);
        if (!qeIrrlichtCameraEffectExist(cameraShaderBase + i))
            qeSysMessageBox("The camera shader id=%d file='%s' cannot be loaded", i, orEmpty(file));
    }

    qeSceneHide(slot);
    // Loaded means hidden, but the first update still sends every switch, off ones included: another
    // scene may have left the render settings on.
    for (int32_t& v : s->lastApplied) v = -1;
    return 0;
}

void qeSceneUnload(int slot) {
    SceneSlot* s = usedSlot(slot);
    if (!s) return;
    forEachEntity(s, qeIrrlichtDeleteObject, qeIrrlichtDeleteLight, qeIrrlichtDeleteFxEmitter);
    const int shaders = cameraShaderCount(s);
    for (int i = 0; i < shaders; ++i) qeIrrlichtDeleteCameraEffect(s->cameraShaderBase + i);
    qeSceneFileClose(s->handle);
    s->handle = nullptr;
    s->inUse = 0;
}

void qeSceneHide(int slot) {
    SceneSlot* s = usedSlot(slot);
    if (!s) return;
    forEachEntity(s, qeIrrlichtHideObject, qeIrrlichtHideLight, qeIrrlichtHideFxEmitter);
    const int shaders = createdCameraShaders(s);
    for (int i = 0; i < shaders; ++i) {
        qeIrrlichtHideCameraEffect(s->cameraShaderBase + i);
        s->cameraShaderShown[i] = 0;
    }
    for (int32_t& v : s->lastApplied) v = 0;
}

void qeSceneShow(int slot) {
    SceneSlot* s = usedSlot(slot);
    if (!s) return;
    forEachEntity(s, qeIrrlichtShowObject, qeIrrlichtShowLight, qeIrrlichtShowFxEmitter);
    if (!s->extra) qeSceneApplyBackdrop(s->handle);
}

void qeScenePark(int slot) {
    SceneSlot* s = usedSlot(slot);
    if (!s) return;
    const int objects = objectCount(s);
    for (int i = 0; i < objects; ++i)
        if (qeSceneHasObject(s, i)) qeIrrlichtPositionObject(s->objectBase + i, 0.0f, 0.0f, -1000000.0f);
    forEachEntity(s, nullptr, nullptr, qeIrrlichtHideFxEmitter);
    const int shaders = createdCameraShaders(s);
    for (int i = 0; i < shaders; ++i) qeIrrlichtHideCameraEffect(s->cameraShaderBase + i);
}

void qeSceneShowFxEmitters(int slot) {
    SceneSlot* s = usedSlot(slot);
    if (!s) return;
    forEachEntity(s, nullptr, nullptr, qeIrrlichtShowFxEmitter);
}

int qeSceneSaveBinary(int slot, const char* path) {
    SceneSlot* s = usedSlot(slot);
    return s ? qeSceneFileSaveBinary(s->handle, path) : -1;
}

int qeSceneGetObjectCount(int slot) {
    SceneSlot* s = usedSlot(slot);
    return s ? objectCount(s) : -1;
}
int qeSceneGetLightCount(int slot) {
    SceneSlot* s = usedSlot(slot);
    return s ? s->handle->lights->getLightCount(s->handle) : -1;
}
int qeSceneGetFxEmitterCount(int slot) {
    SceneSlot* s = usedSlot(slot);
    return s ? emitterCount(s) : -1;
}
int qeSceneGetCameraShaderCount(int slot) {
    SceneSlot* s = usedSlot(slot);
    return s ? cameraShaderCount(s) : -1;
}

int qeSceneGetDuration(int slot) {
    SceneSlot* s = usedSlot(slot);
    if (!s) return 0;
    const int fps = s->handle->scene->getFps(s->handle);
    if (fps <= 0) return 0;
    // Counted wide and kept within 0 and the integer range: a scene whose frame numbers lie far apart (or
    // whose last frame comes before its first) must not give a wrapped, negative duration.
    const int64_t frames =
        int64_t(s->handle->scene->getLastFrame(s->handle)) - int64_t(s->handle->scene->getFirstFrame(s->handle));
    if (frames <= 0) return 0;
    const int64_t ms = frames * 1000 / fps;
    return ms > INT32_MAX ? INT32_MAX : int(ms);
}
int qeSceneGetFps(int slot) {
    SceneSlot* s = usedSlot(slot);
    return s ? s->handle->scene->getFps(s->handle) : 0;
}
int qeSceneGetFirstFrame(int slot) {
    SceneSlot* s = usedSlot(slot);
    return s ? s->handle->scene->getFirstFrame(s->handle) : 0;
}
const char* qeSceneGetMusic(int slot) {
    SceneSlot* s = usedSlot(slot);
    if (!s) return nullptr;
    const char* name = nullptr;
    float start = 0;
    s->handle->scene->getMusic(s->handle, &name, &start);
    return name && name[0] ? name : nullptr;
}
int qeSceneGetMusicOffset(int slot) {
    SceneSlot* s = usedSlot(slot);
    if (!s) return 0;
    const int fps = s->handle->scene->getFps(s->handle);
    if (fps == 0) return 0;  // as the duration does: no division by a zero rate
    const char* name = nullptr;
    float start = 0;
    s->handle->scene->getMusic(s->handle, &name, &start);
    const double ms = (double(s->handle->scene->getFirstFrame(s->handle)) / double(fps) - double(start)) * 1000.0;
    if (ms >= double(INT_MAX) || ms <= double(INT_MIN) || ms != ms) return 0;
    return int(ms);
}
