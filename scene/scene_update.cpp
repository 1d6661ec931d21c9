// The per-frame slot update and the render-setting setters it drives. An object, light or fx emitter that
// the load could not create is left out: the load said why, and the update would say it again every frame.
#include <cstdint>

#include "camera_effects.h"
#include "draw2d.h"
#include "engine_context.h"
#include "facade.h"
#include "frame.h"
#include "fxemitter.h"
#include "lights.h"
#include "objects.h"
#include "scene_access.h"
#include "scene_slots.h"

namespace {

RenderSettings& render() { return qeIrrlichtGetContext()->render; }

enum { APPLIED_GLOW, APPLIED_STREAK, APPLIED_DOF, APPLIED_ADVANCED_DOF, APPLIED_BLOOM, APPLIED_SSAO, APPLIED_SHADOW };

// Sends a switch when it changed; its parameters go every frame while it is on.
template <typename Params>
void applySwitch(int32_t& last, int enable, void (*send)(int), Params params) {
    if (enable != last) {
        send(enable);
        last = enable;
    }
    if (enable) params();
}

void renderSettings(SceneSlot* s, float t) {
    SceneHandle* h = s->handle;
    const ImageProcessingQueryTable* p = h->processing;
    int32_t* last = s->lastApplied;
    const int glow = p->getGlowEnable(h);
    if (glow != last[APPLIED_GLOW] || glow) {
        qeSceneSetGlow(glow, p->getGlowIntensity(h, t), p->getGlowRadius(h, t));
        last[APPLIED_GLOW] = glow;
    }
    applySwitch(last[APPLIED_STREAK], p->getStreakEnable(h), qeSceneSetStreakEnable, [&] {
        float glowMin = 0, key[3] = {0, 0, 0}, match = 0, colorize[3] = {0, 0, 0}, attenuation = 0, angle = 0,
              compose = 0;
        p->getStreakParams(h, &glowMin, key, &match, colorize, &attenuation, &angle, &compose, t);
        qeSceneSetStreakParams(glowMin, key[0], key[1], key[2], match, colorize[0], colorize[1], colorize[2],
                               attenuation, angle, compose);
    });
    applySwitch(last[APPLIED_BLOOM], p->getBloomEnable(h), qeSceneSetBloomEnable, [&] {
        float specularMin = 0, compose = 0;
        p->getBloomParams(h, &specularMin, &compose, t);
        qeSceneSetBloomParams(specularMin, compose);
    });
    applySwitch(last[APPLIED_SSAO], p->getSsaoEnable(h), qeSceneSetSsaoEnable, [&] {
        float reach = 0, decline = 0, epsilon = 0, multiplier = 0;
        p->getSsaoParams(h, &reach, &decline, &epsilon, &multiplier, t);
        qeSceneSetSsaoParams(reach, decline, epsilon, multiplier);
    });
    applySwitch(last[APPLIED_SHADOW], p->getShadowEnable(h), qeSceneSetShadowEnable, [&] {
        float epsilon = 0;
        p->getShadowEpsilon(h, &epsilon, t);
        qeSceneSetShadowEpsilon(epsilon);
    });
}

void cameraLens(SceneSlot* s, int c, float t) {
    SceneHandle* h = s->handle;
    const CameraQueryTable* q = h->cameras;
    float horizontal = 0, vertical = 0;
    q->getCameraFov(h, c, &horizontal, &vertical, t);
    qeIrrlichtSetCameraFOV(horizontal);
    int dof = 0;
    float focalDistance = 0, fStop = 0;
    q->getCameraDof(h, c, &dof, &focalDistance, &fStop, t);
    if (dof != s->lastApplied[APPLIED_DOF] || dof) {
        qeIrrlichtSetCameraDOF(dof, focalDistance, fStop);
        s->lastApplied[APPLIED_DOF] = dof;
    }
    const int advanced = h->processing->getAdvancedDofEnable(h);
    if (advanced != s->lastApplied[APPLIED_ADVANCED_DOF] || advanced) {
        float minFocus = 0, maxFocus = 0, radiusScale = 0;
        h->processing->getAdvancedDofParams(h, &minFocus, &maxFocus, &radiusScale, t);
        qeIrrlichtSetCameraAdvancedDOF(advanced, minFocus, maxFocus, radiusScale);
        s->lastApplied[APPLIED_ADVANCED_DOF] = advanced;
    }
    if (q->getCameraStereoEnable(h, c)) {
        float separation = 0, convergence = 0;
        int useConvergence = 0;
        q->getCameraStereo(h, c, &separation, &useConvergence, &convergence, t);
        qeIrrlichtSetCameraStereo(1, separation, useConvergence, convergence);
    } else {
        qeIrrlichtSetCameraStereo(0, 0, 0, 0);
    }
}

void updateLights(SceneSlot* s, float t) {
    SceneHandle* h = s->handle;
    const LightQueryTable* q = h->lights;
    const int n = q->getLightCount(h);
    for (int i = 0; i < n; ++i) {
        const int id = s->lightBase + i;
        if (!qeIrrlichtLightExist(id)) continue;
        SceneVec3 v;
        q->getLightVector(&v, h, i, QE_VEC_POSITION, t);
        qeIrrlichtPositionLight(id, v.X, v.Y, v.Z);
        q->getLightVector(&v, h, i, QE_VEC_ROTATION_SWAPPED, t);
        qeIrrlichtRotateLight(id, v.X, v.Y, v.Z);
        SceneVec3 c;
        q->getLightColor(&c, h, i, t);
        const float k = q->getLightIntensity(h, i, t);
        qeIrrlichtColorLight(id, qeIrrlichtRGB(int(c.X * k * 255), int(c.Y * k * 255), int(c.Z * k * 255)));
        qeIrrlichtSetLightRawColor(id, c.X, c.Y, c.Z);
        qeIrrlichtSetLightIntensity(id, k);
        if (q->getLightType(h, i) == 2) {
            float cone = 0, edge = 0;
            q->getLightConeAngles(h, i, &cone, &edge, t);
            qeIrrlichtSetSpotLight(id, cone - edge, cone);
        }
        if (q->hasLightRange(h, i)) qeIrrlichtSetLightRange(id, q->getLightRange(h, i, t));
    }
}

void updateEmitters(SceneSlot* s, int time, float t) {
    SceneHandle* h = s->handle;
    const FxEmitterQueryTable* q = h->fxEmitters;
    const int n = q->getFxEmitterCount(h);
    for (int i = 0; i < n; ++i) {
        const int id = s->fxEmitterBase + i;
        if (!qeIrrlichtFxEmitterExist(id)) continue;
        SceneVec3 v;
        q->getFxEmitterVector(&v, h, i, QE_VEC_POSITION, t);
        qeIrrlichtPositionFxEmitter(id, v.X, v.Y, v.Z);
        q->getFxEmitterVector(&v, h, i, QE_VEC_ROTATION_SWAPPED, t);
        qeIrrlichtRotateFxEmitter(id, v.X, v.Y, v.Z);
        q->getFxEmitterVelocity(&v, h, i, t);
        qeIrrlichtSetFxEmitterVelocity(id, v.X, v.Y, v.Z);
        qeIrrlichtSetFxEmitterParentMotion(id, q->getFxEmitterParentMotion(h, i));
        q->getFxEmitterGravity(&v, h, i);
        qeIrrlichtSetFxEmitterGravity(id, v.X, v.Y, v.Z);
        qeIrrlichtSetFxEmitterBirthRate(id, q->getFxEmitterBirthRate(h, i, t));
        qeIrrlichtSetFxEmitterLifeTime(id, q->getFxEmitterLifeTime(h, i, t), q->getFxEmitterLifeTimeVariation(h, i));
        qeIrrlichtSetFxEmitterExplosion(id, q->getFxEmitterExplosion(h, i, t));
        qeIrrlichtSetFxEmitterWeight(id, q->getFxEmitterWeight(h, i, t));
        qeIrrlichtSetFxEmitterResistance(id, q->getFxEmitterResistance(h, i, t));
        qeIrrlichtSetFxEmitterVibration(id, q->getFxEmitterVibration(h, i, t));
    }
    // Playing from the start restarts the particle systems once.
    if (time <= 0 && time != s->lastTime)
        for (int i = 0; i < n; ++i)
            if (qeIrrlichtFxEmitterExist(s->fxEmitterBase + i)) qeIrrlichtFxResetEmitter(s->fxEmitterBase + i);
}

void updateObjects(SceneSlot* s, float t, const SceneVec3& camera) {
    SceneHandle* h = s->handle;
    const ObjectQueryTable* q = h->objects;
    const int n = q->getObjectCount(h);
    const int fps = h->scene->getFps(h);
    for (int i = 0; i < n; ++i) {
        if (!qeSceneHasObject(s, i)) continue;
        const int id = s->objectBase + i;
        SceneVec3 v;
        q->getObjectVector(&v, h, i, QE_VEC_POSITION, t);
        if (s->extra) v -= camera;  // extra objects hang from the engine camera
        qeIrrlichtPositionObject(id, v.X, v.Y, v.Z);
        q->getObjectVector(&v, h, i, QE_VEC_ROTATION_SWAPPED, t);
        qeIrrlichtRotateObject(id, v.X, v.Y, v.Z);
        q->getObjectVector(&v, h, i, QE_VEC_SCALE, t);
        qeIrrlichtScaleObject(id, v.X * 100.0f, v.Y * 100.0f, v.Z * 100.0f);
        const int frames = qeIrrlichtTotalObjectFrames(id);
        if (frames > 1) {
            float f = float(fps) * t / 1000.0f;
            if (f > float(frames)) f = float(frames);
            if (f < 0.0f) f = 0.0f;
            qeIrrlichtSetObjectFrame(id, f);
        }
        const int count = q->getObjectSurfaceCount(h, i);
        ObjectSurfaceRecord* records = qeSceneSurfaceBuffer(count);
        q->getObjectSurfaces(h, i, records, t);
        qeIrrlichtObjSetSurfaces(id, count, records, 0);
    }
}

void updateCameraShaders(SceneSlot* s, float t) {
    if (s->extra) return;  // an extra slot creates none
    SceneHandle* h = s->handle;
    const ImageProcessingQueryTable* p = h->processing;
    int n = p->getCameraShaderCount(h);
    if (n > QE_SCENE_CAMERA_SHADERS_MAX) n = QE_SCENE_CAMERA_SHADERS_MAX;  // the rest were never created
    static ShaderValuesRecord record;
    for (int i = 0; i < n; ++i) {
        const int id = s->cameraShaderBase + i;
        const int active = p->isCameraShaderActive(h, i, t);
        if (!active) {
            if (s->cameraShaderShown[i]) {
                s->cameraShaderShown[i] = 0;
                qeIrrlichtHideCameraEffect(id);
            }
            continue;
        }
        if (!s->cameraShaderShown[i]) {
            s->cameraShaderShown[i] = 1;
            qeIrrlichtShowCameraEffect(id);
        }
        p->getCameraShader(h, i, &record, t);
        qeIrrlichtCameraEffectSetParams(id, &record);
    }
}

}  // namespace

void qeSceneSetGlow(int enable, float intensity, float radius) {
    RenderSettings& r = render();
    r.glowOn = enable;
    r.glowIntensity = intensity;
    r.glowRadius = radius;
}
void qeSceneSetStreakEnable(int enable) { render().streakOn = enable; }
void qeSceneSetStreakParams(float glowMin, float keyR, float keyG, float keyB, float keyMatch, float colorR,
                            float colorG, float colorB, float attenuation, float angle, float compose) {
    RenderSettings& r = render();
    r.streakGlowMin = glowMin;
    r.streakKeyRed = keyR;
    r.streakKeyGreen = keyG;
    r.streakKeyBlue = keyB;
    r.streakKeyMatch = keyMatch;
    r.streakColorRed = colorR;
    r.streakColorGreen = colorG;
    r.streakColorBlue = colorB;
    r.streakAttenuation = attenuation;
    r.streakAngle = angle;
    r.streakCompose = compose;
}
void qeSceneSetBloomEnable(int enable) { render().bloomOn = enable; }
void qeSceneSetBloomParams(float specularMin, float compose) {
    render().bloomSpecularMin = specularMin;
    render().bloomCompose = compose;
}
void qeSceneSetSsaoEnable(int enable) { render().ssaoOn = enable; }
void qeSceneSetSsaoParams(float reach, float maxDepthDecline, float depthEpsilon, float multiplier) {
    RenderSettings& r = render();
    r.ssaoReach = reach;
    r.ssaoMaxDepthDecline = maxDepthDecline;
    r.ssaoDepthEpsilon = depthEpsilon;
    r.ssaoMultiplier = multiplier;
}
void qeSceneSetShadowEnable(int enable) { render().shadowOn = enable; }
void qeSceneSetShadowEpsilon(float epsilon) { render().shadowEpsilon = epsilon; }

void qeSceneUpdate(int slot, int time) {
    SceneSlot* s = qeSceneGetSlot(slot);
    if (!s || !s->inUse) return;
    SceneHandle* h = s->handle;
    const float t = float(time);
    qeIrrlichtSetSceneTime(slot, time);
    if (!s->extra) renderSettings(s, t);
    // A scene without a camera has no lens nor placement to send; its objects sit relative to the origin.
    const bool hasCamera = h->cameras->getCameraCount(h) > 0;
    const int c = hasCamera ? h->scene->getCameraIndex(h, t) : 0;
    if (!s->extra && hasCamera) cameraLens(s, c, t);
    SceneVec3 camera(0, 0, 0);
    if (hasCamera) h->cameras->getCameraVector(&camera, h, c, QE_VEC_POSITION, t);
    if (!s->extra && hasCamera) {
        qeIrrlichtPositionCamera(camera.X, camera.Y, camera.Z);
        SceneVec3 r;
        h->cameras->getCameraVector(&r, h, c, QE_VEC_ROTATION_SWAPPED, t);
        qeIrrlichtRotateCamera(r.X, r.Y, r.Z);
    }
    SceneVec3 ambient;
    h->lights->getAmbientColor(&ambient, h, t);
    qeIrrlichtColorAmbientLight(qeIrrlichtRGBf(ambient.X, ambient.Y, ambient.Z));
    if (!s->extra) updateLights(s, t);
    updateEmitters(s, time, t);
    updateObjects(s, t, camera);
    updateCameraShaders(s, t);
    s->lastTime = time;
}
