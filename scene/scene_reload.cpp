// Hot reload: a slot in use takes over a rewritten scene file. The new scene is compared with the one the
// slot holds; entities whose identity changed are made again under the same IDs, those whose settings
// changed are set up again, and the rest keep their engine state until the next update applies the new
// scene's values. All compared values are taken at time 0.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "camera_effects.h"
#include "fxemitter.h"
#include "lights.h"
#include "objects.h"
#include "scene_access.h"
#include "scene_slots.h"
#include "sys.h"

namespace {

// One surface array per scene, grown to the largest surface count compared.
std::vector<ObjectSurfaceRecord> g_newSurfaces, g_oldSurfaces;

ObjectSurfaceRecord* surfacesOf(std::vector<ObjectSurfaceRecord>& buffer, SceneHandle* h, int i) {
    const int count = h->objects->getObjectSurfaceCount(h, i);
    if (buffer.size() < size_t(count)) buffer.resize(size_t(count));
    if (count > 0) h->objects->getObjectSurfaces(h, i, buffer.data(), 0.0f);
    return buffer.data();
}

// Texts compared as the exporter may write them: null equals null, case ignored when asked.
bool textsDiffer(const char* a, const char* b, bool ignoreCase) {
    if (!a || !b) return (a == nullptr) != (b == nullptr);
    return ignoreCase ? strcasecmp(a, b) != 0 : std::strcmp(a, b) != 0;
}

// The geometry file names of object i in both scenes (the query answers in one buffer).
bool geometryFilesDiffer(SceneHandle* fresh, SceneHandle* old, int i) {
    const char* name = fresh->objects->getObjectGeometryFile(fresh, i);
    char copy[512];
    if (name) std::snprintf(copy, sizeof(copy), "%s", name);
    return textsDiffer(name ? copy : nullptr, old->objects->getObjectGeometryFile(old, i), true);
}

bool vectorsDiffer(const SceneVec3& a, const SceneVec3& b) { return a.X != b.X || a.Y != b.Y || a.Z != b.Z; }

bool gradientsDiffer(int n, const float* a, int m, const float* b) {
    if (n != m) return true;
    for (int k = 0; k < n * 5; ++k)
        if (a[k] != b[k]) return true;
    return false;
}

int cameraShaderCount(SceneHandle* h) { return h->processing->getCameraShaderCount(h); }

const char* cameraShaderFile(SceneHandle* h, int i, ShaderValuesRecord* record) {
    h->processing->getCameraShader(h, i, record, 0.0f);
    return record->fileName;
}

void deleteOldObjects(const SceneSlot* s, SceneHandle* old) {
    const int n = old->objects->getObjectCount(old);
    for (int i = 0; i < n; ++i)
        if (!old->objects->isObjectEmpty(old, i)) qeIrrlichtDeleteObject(s->objectBase + i);
}

// An object made again follows its slot: in an extra slot it hangs from the camera, as at load.
void setUpNewObject(const SceneSlot* s, SceneHandle* h, int i, int id) {
    qeSceneSetupObject(h, i, id);
    if (s->extra) qeIrrlichtLockObjectOn(id);
}

// remade receives, per object of the new scene, whether it was made again (or deleted).
void reloadObjects(int slot, SceneSlot* s, SceneHandle* fresh, SceneHandle* old, std::vector<char>& remade) {
    const ObjectQueryTable* q = fresh->objects;
    const int n = q->getObjectCount(fresh);
    remade.assign(size_t(n > 0 ? n : 0), 0);
    if (qeSceneSameObjects(fresh, old) == 0) {
        for (int i = 0; i < n; ++i) {
            const int id = s->objectBase + i;
            if (q->isObjectEmpty(fresh, i)) {
                qeIrrlichtDeleteObject(id);  // emptied in the new scene: it has no entity any more
                remade[size_t(i)] = 1;
                continue;
            }
            if (qeSceneObjectChanged(fresh, old, i)) {
                qeIrrlichtDeleteObject(id);
                remade[size_t(i)] = 1;
                if (qeSceneLoadObject(fresh, i, slot, id, 0, 0) == 0) setUpNewObject(s, fresh, i, id);
            } else if (q->getObjectShadowOptions(fresh, i) != old->objects->getObjectShadowOptions(old, i)) {
                qeSceneSetupObject(fresh, i, id);
            } else if (qeIrrlichtObjectExist(id)) {
                // The kept surfaces point into the old scene, which is about to close: hand them the new
                // scene's texts now rather than at the next update.
                const ObjectSurfaceRecord* records = surfacesOf(g_newSurfaces, fresh, i);
                qeIrrlichtObjSetSurfaces(id, q->getObjectSurfaceCount(fresh, i), records, 0);
            }
        }
        return;
    }
    deleteOldObjects(s, old);
    remade.assign(remade.size(), 1);
    for (int i = 0; i < n; ++i) {
        if (q->isObjectEmpty(fresh, i)) continue;  // as at load: an empty object has no entity
        const int id = s->objectBase + i;
        const char* file = q->getObjectGeometryFile(fresh, i);
        qeIrrlichtLoadObject(file ? file : "", id);
        if (qeIrrlichtObjectExist(id))
            setUpNewObject(s, fresh, i, id);
        else if (qeSceneGetLoadVerbose())
            qeSysMessageBox("The object id=%d '%s' cannot be loaded", id, file ? file : "");
    }
}

// An extra slot has no lights: as at load, none are made (unload would never delete them).
void reloadLights(const SceneSlot* s, SceneHandle* fresh, SceneHandle* old) {
    if (s->extra) return;
    const int n = fresh->lights->getLightCount(fresh);
    const int oldCount = old->lights->getLightCount(old);
    if (n == oldCount) {
        for (int i = 0; i < n; ++i)
            if (qeSceneLightChanged(fresh, old, i)) qeSceneSetupLight(fresh, i, s->lightBase + i);
        return;
    }
    for (int i = 0; i < oldCount; ++i) qeIrrlichtDeleteLight(s->lightBase + i);
    for (int i = 0; i < n; ++i) {
        qeIrrlichtMakeLight(s->lightBase + i);
        qeSceneSetupLight(fresh, i, s->lightBase + i);
    }
}

// Emitters are made from the slot's scene, which already is the new one.
void createEmitter(int slot, const SceneSlot* s, SceneHandle* fresh, int i) {
    const int id = s->fxEmitterBase + i;
    if (qeSceneCreateFxEmitter(id, slot, i) != 0) return;
    qeSceneSetupFxEmitter(fresh, i, id);
    if (s->extra) qeIrrlichtLockFxEmitterOn(id);
}

// Whether emitter i sits on the vertices of an object (kind 1) that is no longer the one it was made over.
bool meshEmitterLostItsObject(int slot, const SceneSlot* s, SceneHandle* fresh, int i, const std::vector<char>& remade) {
    const FxEmitterQueryTable* q = fresh->fxEmitters;
    if (q->getFxEmitterKind(fresh, i) != 1) return false;
    const int objectId = qeSceneFindObjectByName(slot, q->getFxEmitterName(fresh, i));
    const int index = objectId - s->objectBase;
    return objectId == -1 || index < 0 || size_t(index) >= remade.size() || remade[size_t(index)];
}

void reloadEmitters(int slot, const SceneSlot* s, SceneHandle* fresh, SceneHandle* old, const std::vector<char>& remade) {
    const int n = fresh->fxEmitters->getFxEmitterCount(fresh);
    const int oldCount = old->fxEmitters->getFxEmitterCount(old);
    if (n != oldCount) {
        for (int i = 0; i < oldCount; ++i) qeIrrlichtDeleteFxEmitter(s->fxEmitterBase + i);
        for (int i = 0; i < n; ++i) createEmitter(slot, s, fresh, i);
        return;
    }
    for (int i = 0; i < n; ++i) {
        const int id = s->fxEmitterBase + i;
        if (qeSceneFxEmitterReplaced(fresh, old, i) || meshEmitterLostItsObject(slot, s, fresh, i, remade)) {
            qeIrrlichtDeleteFxEmitter(id);
            createEmitter(slot, s, fresh, i);
        } else if (qeSceneFxEmitterChanged(fresh, old, i)) {
            qeSceneSetupFxEmitter(fresh, i, id);
        }
        qeIrrlichtFxResetEmitterEmittedCount(id);
    }
}

// As at load: an extra slot has no camera shaders, and at most 20 are made.
void reloadCameraShaders(SceneSlot* s, SceneHandle* fresh, SceneHandle* old) {
    if (s->extra || !qeSceneCameraShadersChanged(fresh, old)) return;
    const int oldCount = cameraShaderCount(old);
    for (int i = 0; i < oldCount; ++i) {
        qeIrrlichtDeleteCameraEffect(s->cameraShaderBase + i);
        if (i < QE_SCENE_CAMERA_SHADERS_MAX) s->cameraShaderShown[i] = 0;
    }
    const int n = cameraShaderCount(fresh);
    ShaderValuesRecord record;
    for (int i = 0; i < n; ++i) {
        if (i >= QE_SCENE_CAMERA_SHADERS_MAX) {
            qeSysMessageBox("Camera shader i=%d > max %d camera shaders", i, int(QE_SCENE_CAMERA_SHADERS_MAX));
            continue;
        }
        const char* file = cameraShaderFile(fresh, i, &record);
        qeIrrlichtMakeCameraEffectFromFile(s->cameraShaderBase + i, file);
        if (!qeIrrlichtCameraEffectExist(s->cameraShaderBase + i))
            qeSysMessageBox("The camera shader id=%d file='%s' cannot be loaded", i, file ? file : "");
    }
}

}  // namespace

int qeSceneSameObjects(SceneHandle* fresh, SceneHandle* old) {
    const ObjectQueryTable* q = fresh->objects;
    const ObjectQueryTable* o = old->objects;
    const int n = q->getObjectCount(fresh);
    if (n != o->getObjectCount(old)) return 1;
    for (int i = 0; i < n; ++i) {
        if (geometryFilesDiffer(fresh, old, i)) {
            std::printf("all diff filename\n");
            std::fflush(stdout);
            return 1;
        }
        if (q->getObjectSurfaceCount(fresh, i) != o->getObjectSurfaceCount(old, i)) {
            std::printf("all diff num surf\n");
            std::fflush(stdout);
            return 1;
        }
    }
    return 0;
}

int qeSceneObjectChanged(SceneHandle* fresh, SceneHandle* old, int i) {
    if (geometryFilesDiffer(fresh, old, i)) return 1;
    const int count = fresh->objects->getObjectSurfaceCount(fresh, i);
    if (count != old->objects->getObjectSurfaceCount(old, i)) return 1;
    const ObjectSurfaceRecord* a = surfacesOf(g_newSurfaces, fresh, i);
    const ObjectSurfaceRecord* b = surfacesOf(g_oldSurfaces, old, i);
    for (int k = 0; k < count; ++k) {
        if (a[k].nodeShader != b[k].nodeShader) return 1;
        if (a[k].nodeShader && textsDiffer(a[k].shader.fileName, b[k].shader.fileName, true)) return 1;
        for (int c = 0; c < QE_SURF_SLOTS; ++c)
            if (textsDiffer(a[k].channels[c].texImage, b[k].channels[c].texImage, true)) return 1;
        const bool clearA = a[k].channels[QE_SURF_TRANSPARENCY].value.f[0] == 0.0f;
        const bool clearB = b[k].channels[QE_SURF_TRANSPARENCY].value.f[0] == 0.0f;
        if (clearA != clearB) return 1;
    }
    return 0;
}

int qeSceneLightChanged(SceneHandle* fresh, SceneHandle* old, int i) {
    const LightQueryTable* q = fresh->lights;
    if (q->getLightType(fresh, i) != old->lights->getLightType(old, i)) return 1;
    const int shadow = q->getLightShadowType(fresh, i);
    if (shadow != old->lights->getLightShadowType(old, i)) return 1;
    return shadow != 0 ? 1 : 0;  // a shadow-casting light is always set up again
}

int qeSceneFxEmitterReplaced(SceneHandle* fresh, SceneHandle* old, int i) {
    const FxEmitterQueryTable* q = fresh->fxEmitters;
    const FxEmitterQueryTable* o = old->fxEmitters;
    const char* image = q->getFxEmitterImage(fresh, i);
    const char* oldImage = o->getFxEmitterImage(old, i);
    if (image && oldImage && std::strcmp(image, oldImage) != 0) return 1;
    if (q->getFxEmitterKind(fresh, i) != o->getFxEmitterKind(old, i)) return 1;
    if (q->getFxEmitterNozzleType(fresh, i) != o->getFxEmitterNozzleType(old, i)) return 1;
    const char* name = q->getFxEmitterName(fresh, i);
    const char* oldName = o->getFxEmitterName(old, i);
    if (name && oldName && std::strcmp(name, oldName) != 0) return 1;
    SceneVec3 size, oldSize;
    q->getFxEmitterNozzleSize(&size, fresh, i);
    o->getFxEmitterNozzleSize(&oldSize, old, i);
    if (vectorsDiffer(size, oldSize)) return 1;
    ShaderValuesRecord shader, oldShader;
    q->getFxEmitterShader(fresh, i, &shader, 0.0f);
    o->getFxEmitterShader(old, i, &oldShader, 0.0f);
    return textsDiffer(shader.fileName, oldShader.fileName, true) ? 1 : 0;
}

int qeSceneFxEmitterChanged(SceneHandle* fresh, SceneHandle* old, int i) {
    const FxEmitterQueryTable* q = fresh->fxEmitters;
    const FxEmitterQueryTable* o = old->fxEmitters;
    if (q->getFxEmitterParticleSize(fresh, i) != o->getFxEmitterParticleSize(old, i)) return 1;
    if (q->getFxEmitterParticleLimit(fresh, i) != o->getFxEmitterParticleLimit(old, i)) return 1;
    int blend[2] = {0, 0}, useImage[2] = {0, 0};
    float colour[2][3] = {{0, 0, 0}, {0, 0, 0}}, rotation[2] = {0, 0};
    q->getFxEmitterLook(fresh, i, &blend[0], &useImage[0], colour[0], &rotation[0]);
    o->getFxEmitterLook(old, i, &blend[1], &useImage[1], colour[1], &rotation[1]);
    if (blend[0] != blend[1] || useImage[0] != useImage[1] || rotation[0] != rotation[1]) return 1;
    for (int c = 0; c < 3; ++c)
        if (colour[0][c] != colour[1][c]) return 1;
    const float *keys = nullptr, *oldKeys = nullptr;
    int n = q->getFxEmitterSizeGradient(fresh, i, &keys);
    int m = o->getFxEmitterSizeGradient(old, i, &oldKeys);
    if (gradientsDiffer(n, keys, m, oldKeys)) return 1;
    n = q->getFxEmitterColorGradient(fresh, i, &keys);
    m = o->getFxEmitterColorGradient(old, i, &oldKeys);
    return gradientsDiffer(n, keys, m, oldKeys) ? 1 : 0;
}

int qeSceneCameraShadersChanged(SceneHandle* fresh, SceneHandle* old) {
    const int n = cameraShaderCount(fresh);
    if (n != cameraShaderCount(old)) return 1;
    ShaderValuesRecord a, b;
    for (int i = 0; i < n; ++i)
        if (textsDiffer(cameraShaderFile(fresh, i, &a), cameraShaderFile(old, i, &b), false)) return 1;
    return 0;
}

int qeSceneReload(const char* fileName, int slot) {
    SceneSlot* s = qeSceneGetSlot(slot);
    if (!s || !s->inUse || !fileName) return -1;
    SceneHandle* fresh = qeSceneFileOpen(fileName);
    if (!fresh) return -1;
    // From here the slot answers for the new scene (emitters over meshes look their objects up by the
    // slot's names); the old one stays open for the comparisons.
    SceneHandle* old = s->handle;
    s->handle = fresh;
    std::vector<char> remade;
    reloadObjects(slot, s, fresh, old, remade);
    reloadLights(s, fresh, old);
    reloadEmitters(slot, s, fresh, old, remade);
    reloadCameraShaders(s, fresh, old);
    if (!s->extra) qeSceneApplyBackdrop(fresh);
    qeSceneFileClose(old);
    return 0;
}
