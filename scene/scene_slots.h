#ifndef QIRN_SCENE_SCENE_SLOTS_H
#define QIRN_SCENE_SCENE_SLOTS_H

// Scene slots: a loaded scene turned into engine entities (objects, lights, fx emitters, camera shaders)
// under ID bases the caller picks, kept as a group that is shown, hidden, parked and unloaded together.
// An extra slot holds an overlay scene that moves with the camera: no lights, no camera shaders, and its
// objects and emitters are locked to the camera.

#include <cstdint>

struct SceneHandle;

enum {
    QE_SCENE_SLOTS = 60,
    QE_SCENE_CAMERA_SHADERS_MAX = 20,
    QE_SCENE_SURFACES_MAX = 256,
    QE_SCENE_APPLIED = 7,  // glow, streak, dof, advanced dof, bloom, ssao, shadow
};

struct SceneSlot {
    int32_t inUse;
    int32_t extra;
    int32_t objectBase;
    int32_t lightBase;
    int32_t fxEmitterBase;
    int32_t cameraShaderBase;
    SceneHandle* handle;  // owned
    char directory[256];
    int32_t cameraShaderShown[QE_SCENE_CAMERA_SHADERS_MAX];
    int32_t lastApplied[QE_SCENE_APPLIED];  // -1 after load (first update sends all), 0 after hide
    int32_t lastTime;                        // ms of the previous update; INT32_MIN after load
};

typedef int32_t (*QeSceneProgress)(int32_t percent, void* datum);

void qeSceneSetProgressCallback(QeSceneProgress callback, void* datum);
// 0 loaded, -1 failed, 1 aborted by the progress callback (what was created stays; unload it).
int qeSceneLoad(const char* fileName, int slot, int objectBase, int lightBase, int fxEmitterBase,
                int cameraShaderBase, int reuseMode, const char* directory, int extra);
void qeSceneUnload(int slot);
void qeSceneHide(int slot);
void qeSceneShow(int slot);
void qeScenePark(int slot);
void qeSceneShowFxEmitters(int slot);

int qeSceneSaveBinary(int slot, const char* path);
int qeSceneGetObjectCount(int slot);
int qeSceneGetLightCount(int slot);
int qeSceneGetFxEmitterCount(int slot);
int qeSceneGetCameraShaderCount(int slot);
int qeSceneGetDuration(int slot);
int qeSceneGetFps(int slot);
int qeSceneGetFirstFrame(int slot);
const char* qeSceneGetMusic(int slot);
int qeSceneGetMusicOffset(int slot);

// Internals shared with the update and the reload.
SceneSlot* qeSceneGetSlot(int slot);  // null for a bad slot number
// 1 when object `index` of the slot's scene has its entity: it is not empty and its load made it.
int qeSceneHasObject(const SceneSlot* s, int index);
int qeSceneLoadObject(SceneHandle* handle, int index, int slot, int id, int reuseMode, int allowClone);
void qeSceneSetupObject(SceneHandle* handle, int index, int id);
void qeSceneSetupLight(SceneHandle* handle, int index, int id);
int qeSceneCreateFxEmitter(int id, int slot, int index);
void qeSceneSetupFxEmitter(SceneHandle* handle, int index, int id);
void qeSceneApplyBackdrop(SceneHandle* handle);
int qeSceneFindObjectByFile(const char* directory, const char* file);
int qeSceneFindObjectByName(int slot, const char* name);
// The surface buffer, grown to hold `count` records (never shrinks; load and reload grow it).
struct ObjectSurfaceRecord* qeSceneSurfaceBuffer(int count);

// Brings the engine to the slot's scene at `time` ms: render settings (switches sent when they change),
// camera, lights, fx emitters, objects and camera shaders. Nothing for a bad slot or one not in use.
void qeSceneUpdate(int slot, int time);

// Hot reload: the slot takes over the scene in `fileName`, keeping its IDs; only what changed is made or
// set up again. 0 when the slot holds the new scene; -1 for a bad slot, a slot not in use or a file that
// cannot be opened (the slot keeps its scene). Follow it with an update before the next frame.
int qeSceneReload(const char* fileName, int slot);
// The reload's comparisons of a new scene with an old one (values at time 0): 1 when they differ.
int qeSceneSameObjects(SceneHandle* fresh, SceneHandle* old);  // prints why the lists differ
int qeSceneObjectChanged(SceneHandle* fresh, SceneHandle* old, int index);
int qeSceneLightChanged(SceneHandle* fresh, SceneHandle* old, int index);
int qeSceneFxEmitterReplaced(SceneHandle* fresh, SceneHandle* old, int index);
int qeSceneFxEmitterChanged(SceneHandle* fresh, SceneHandle* old, int index);
int qeSceneCameraShadersChanged(SceneHandle* fresh, SceneHandle* old);

// The post-processing fields of the render settings the update writes.
void qeSceneSetGlow(int enable, float intensity, float radius);
void qeSceneSetStreakEnable(int enable);
void qeSceneSetStreakParams(float glowMin, float keyR, float keyG, float keyB, float keyMatch, float colorR,
                            float colorG, float colorB, float attenuation, float angle, float compose);
void qeSceneSetBloomEnable(int enable);
void qeSceneSetBloomParams(float specularMin, float compose);
void qeSceneSetSsaoEnable(int enable);
void qeSceneSetSsaoParams(float reach, float maxDepthDecline, float depthEpsilon, float multiplier);
void qeSceneSetShadowEnable(int enable);
void qeSceneSetShadowEpsilon(float epsilon);

// Closes every slot's scene (the engine's entities go with the engine); called at engine stop.
void qeSceneSlotsReset();

#endif
