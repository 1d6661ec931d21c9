#include "scene_access.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "log.h"
#include "scene_channels.h"

namespace {

const double kRadToDeg = 57.29577951308232;

SceneImage* img(SceneHandle* h) { return h ? h->image : nullptr; }

template <typename T>
T* at(std::vector<T>& v, int i) {
    return (i >= 0 && size_t(i) < v.size()) ? &v[size_t(i)] : nullptr;
}

float clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }
float clampMin0(float v) { return v < 0.0f ? 0.0f : v; }
SceneVec3 vec(const float* v) { return SceneVec3(v[0], v[1], v[2]); }
SceneVec3 zero() { return SceneVec3(0, 0, 0); }

// The scene's frame number at a time (first frame + fps * t / 1000, the product truncated).
int64_t frameNumberAt(SceneImage* im, float t) {
    double f = double(im->scene.fps) * double(t) / 1000.0;
    if (!(f > -2e9 && f < 2e9)) f = 0.0;
    return int64_t(im->scene.firstFrame) + int64_t(f);
}

// The scale from its three channels. A component the scene has no channel for keeps the item's own size:
// 0 would make an object without scale channels vanish.
SceneVec3 scaleVector(SceneImage* im, const ChannelRef* scale, float t) {
    SceneVec3 v = qeSceneChannel3At(im, scale, t);
    if (!scale[0]) v.X = 1.0f;
    if (!scale[1]) v.Y = 1.0f;
    if (!scale[2]) v.Z = 1.0f;
    return v;
}

// Motion vectors: position, scale (when allowed) and the two rotation forms, from the nine channels.
SceneVec3 motionVector(SceneImage* im, const ChannelRef* motion, int kind, bool scale, float t) {
    switch (kind) {
    case QE_VEC_POSITION: return qeSceneChannel3At(im, motion + QE_MOTION_POSITION, t);
    case QE_VEC_SCALE: return scale ? scaleVector(im, motion + QE_MOTION_SCALE, t) : zero();
    case QE_VEC_ROTATION: return qeSceneRotationAt(im, motion + QE_MOTION_ROTATION, t);
    case QE_VEC_ROTATION_SWAPPED: return qeSceneRotationSwappedAt(im, motion + QE_MOTION_ROTATION, t);
    default: return zero();
    }
}

void fillShaderValues(SceneImage* im, ShaderBlock& block, ShaderValuesRecord* out, float t) {
    if (!out) return;
    out->fileName = block.fileName;
    out->vertexFunction = block.vertexFunction;
    out->pixelFunction = block.pixelFunction;
    int n = int(block.params.size());
    if (n > QE_SHADER_VALUES_MAX) n = QE_SHADER_VALUES_MAX;
    out->paramCount = n;
    for (int k = 0; k < n; ++k) {
        const ShaderParamRecord& p = block.params[size_t(k)];
        ShaderValueEntry& e = out->params[k];
        e.param = &p;
        e.type = p.kind;
        if (p.kind == QE_SHADER_PARAM_FLOAT3) {
            SceneVec3 v = p.channel[0] ? qeSceneChannel3At(im, p.channel, t) : vec(p.value);
            e.value[0] = v.X;
            e.value[1] = v.Y;
            e.value[2] = v.Z;
        } else if (p.kind == QE_SHADER_PARAM_FLOAT) {
            e.value[0] = p.channel[0] ? qeSceneChannelAt(im, p.channel[0], t) : p.value[0];
        }
    }
}

// ---- scene ----

int getFirstFrame(SceneHandle* h) { return img(h) ? img(h)->scene.firstFrame : 0; }
int getLastFrame(SceneHandle* h) { return img(h) ? img(h)->scene.lastFrame : 0; }

int getFps(SceneHandle* h) {
    if (!img(h)) return 0;
    float fps = img(h)->scene.fps;
    return (fps > -2e9f && fps < 2e9f) ? int(fps) : 0;
}

int getRenderOptions(SceneHandle* h) { return img(h) ? img(h)->scene.renderOptions : 0; }

int getCameraIndex(SceneHandle* h, float t) {
    SceneImage* im = img(h);
    if (!im) return 0;
    ChannelRef c = im->scene.cameraSelector ? im->scene.cameraSelector : im->scene.sceneChannel.values;
    float v = c ? qeSceneChannelAt(im, c, t) : 0.0f;
    int64_t index = (v > -2e9f && v < 2e9f) ? int64_t(v) : 0;
    const int64_t count = int64_t(im->cameras.size());
    if (index > count - 1) index = count - 1;
    if (index < 0) index = 0;
    return int(index);
}

void getMusic(SceneHandle* h, const char** name, float* start) {
    SceneImage* im = img(h);
    if (name) *name = im ? im->scene.audioFile : nullptr;
    if (start) *start = im ? im->scene.audioStartTime : 0.0f;
}

const SceneQueryTable kSceneTable = {getFirstFrame, getLastFrame, getFps, getRenderOptions, getCameraIndex, getMusic};

// ---- backdrop ----

SceneVec3 getZenithColor(SceneHandle* h) { return img(h) ? vec(img(h)->backdrop.zenith) : zero(); }
SceneVec3 getSkyColor(SceneHandle* h) { return img(h) ? vec(img(h)->backdrop.sky) : zero(); }
SceneVec3 getGroundColor(SceneHandle* h) { return img(h) ? vec(img(h)->backdrop.ground) : zero(); }
SceneVec3 getNadirColor(SceneHandle* h) { return img(h) ? vec(img(h)->backdrop.nadir) : zero(); }

const BackdropQueryTable kBackdropTable = {getZenithColor, getZenithColor, getSkyColor, getGroundColor,
                                           getNadirColor};

// ---- image processing ----

ProcessingRecord* proc(SceneHandle* h) { return img(h) ? &img(h)->processing : nullptr; }

int getLimitDynamicRange(SceneHandle* h) { return proc(h) ? proc(h)->limitDynamicRange : 0; }
int getDitherIntensity(SceneHandle* h) { return proc(h) ? proc(h)->ditherIntensity : 0; }
int getAnimatedDither(SceneHandle* h) { return proc(h) ? proc(h)->animatedDither : 0; }
float getColorSaturation(SceneHandle* h, float t) {
    return proc(h) ? qeSceneFloatAt(img(h), proc(h)->colorSaturation, t) : 0.0f;
}
int getGlowEnable(SceneHandle* h) { return proc(h) ? proc(h)->glowEffect : 0; }
float getGlowIntensity(SceneHandle* h, float t) {
    return proc(h) ? qeSceneFloatAt(img(h), proc(h)->glowIntensity, t) : 0.0f;
}
float getGlowRadius(SceneHandle* h, float t) { return proc(h) ? qeSceneFloatAt(img(h), proc(h)->glowRadius, t) : 0.0f; }
int getImageFilterCount(SceneHandle* h) { return proc(h) ? int(proc(h)->filters.size()) : 0; }

const char* getImageFilterName(SceneHandle* h, int i) {
    ImageFilterRecord* f = proc(h) ? at(proc(h)->filters, i) : nullptr;
    return f ? f->name : nullptr;
}

void getImageFilterShader(SceneHandle* h, int i, ShaderValuesRecord* out, float t) {
    ImageFilterRecord* f = proc(h) ? at(proc(h)->filters, i) : nullptr;
    if (f && f->kind == QE_FILTER_POSTPROC) fillShaderValues(img(h), f->shader, out, t);
}

int getCameraShaderCount(SceneHandle* h) {
    int n = 0;
    if (proc(h))
        for (const ImageFilterRecord& f : proc(h)->filters) n += f.kind == QE_FILTER_POSTPROC;
    return n;
}

ImageFilterRecord* cameraShader(SceneHandle* h, int i) {
    if (!proc(h) || i < 0) return nullptr;
    for (ImageFilterRecord& f : proc(h)->filters)
        if (f.kind == QE_FILTER_POSTPROC && i-- == 0) return &f;
    return nullptr;
}

int isCameraShaderActive(SceneHandle* h, int i, float t) {
    ImageFilterRecord* f = cameraShader(h, i);
    if (!f) return 0;
    if (!f->useFrame) return 1;
    int64_t frame = frameNumberAt(img(h), t);
    return frame >= f->startFrame && frame < f->endFrame ? 1 : 0;
}

void getCameraShader(SceneHandle* h, int i, ShaderValuesRecord* out, float t) {
    if (ImageFilterRecord* f = cameraShader(h, i)) fillShaderValues(img(h), f->shader, out, t);
}

void put(float* out, float v) {
    if (out) *out = v;
}

void put3(float* out, const SceneVec3& v) {
    if (!out) return;
    out[0] = v.X;
    out[1] = v.Y;
    out[2] = v.Z;
}

RenderSettingsRecord* rs(SceneHandle* h) { return proc(h) ? &proc(h)->render : nullptr; }

int getStreakEnable(SceneHandle* h) { return rs(h) ? rs(h)->streakOn : 0; }

void getStreakParams(SceneHandle* h, float* glowMin, float colorKey[3], float* colorKeyMatch, float colorize[3],
                     float* attenuation, float* angle, float* compose, float t) {
    RenderSettingsRecord* r = rs(h);
    if (!r) return;
    SceneImage* im = img(h);
    put(glowMin, qeSceneFloatAt(im, r->streakGlowMin, t));
    put3(colorKey, qeSceneVectorAt(im, r->streakColorKey, t));
    put(colorKeyMatch, qeSceneFloatAt(im, r->streakColorKeyMatch, t));
    put3(colorize, qeSceneVectorAt(im, r->streakColorize, t));
    put(attenuation, qeSceneFloatAt(im, r->streakAttenuation, t));
    put(angle, float(qeSceneFloatAt(im, r->streakAngle, t) * kRadToDeg));
    put(compose, qeSceneFloatAt(im, r->streakCompose, t));
}

int getBloomEnable(SceneHandle* h) { return rs(h) ? rs(h)->bloomOn : 0; }

void getBloomParams(SceneHandle* h, float* specularMin, float* compose, float t) {
    if (RenderSettingsRecord* r = rs(h)) {
        put(specularMin, qeSceneFloatAt(img(h), r->bloomSpecularMin, t));
        put(compose, qeSceneFloatAt(img(h), r->bloomCompose, t));
    }
}

int getAdvancedDofEnable(SceneHandle* h) { return rs(h) ? rs(h)->advancedDofOn : 0; }

void getAdvancedDofParams(SceneHandle* h, float* minFocusDist, float* maxFocusDist, float* radiusScale, float t) {
    if (RenderSettingsRecord* r = rs(h)) {
        put(minFocusDist, qeSceneFloatAt(img(h), r->dofMinFocusDist, t));
        put(maxFocusDist, qeSceneFloatAt(img(h), r->dofMaxFocusDist, t));
        put(radiusScale, qeSceneFloatAt(img(h), r->dofRadiusScale, t));
    }
}

int getSsaoEnable(SceneHandle* h) { return rs(h) ? rs(h)->ssaoOn : 0; }

void getSsaoParams(SceneHandle* h, float* distanceReach, float* maxDepthDecline, float* depthAliasingEpsilon,
                   float* outputMultiplier, float t) {
    if (RenderSettingsRecord* r = rs(h)) {
        put(distanceReach, qeSceneFloatAt(img(h), r->ssaoDistanceReach, t));
        put(maxDepthDecline, qeSceneFloatAt(img(h), r->ssaoMaxDepthDecline, t));
        put(depthAliasingEpsilon, qeSceneFloatAt(img(h), r->ssaoDepthAliasingEpsilon, t));
        put(outputMultiplier, qeSceneFloatAt(img(h), r->ssaoOutputMultiplier, t));
    }
}

int getShadowEnable(SceneHandle* h) { return rs(h) ? rs(h)->shadowOn : 0; }

void getShadowEpsilon(SceneHandle* h, float* epsilon, float t) {
    if (RenderSettingsRecord* r = rs(h)) put(epsilon, qeSceneFloatAt(img(h), r->shadowEpsilon, t));
}

int getCameraRangeEnable(SceneHandle* h) { return rs(h) ? rs(h)->cameraRangeOn : 0; }

void getCameraRange(SceneHandle* h, float* min, float* max) {
    if (RenderSettingsRecord* r = rs(h)) {
        put(min, r->cameraRangeMin);
        put(max, r->cameraRangeMax);
    }
}

const ImageProcessingQueryTable kProcessingTable = {
    getLimitDynamicRange, getDitherIntensity,   getAnimatedDither,   getColorSaturation, getGlowEnable,
    getGlowIntensity,     getGlowRadius,        getImageFilterCount, getImageFilterName, getImageFilterShader,
    getCameraShaderCount, isCameraShaderActive, getCameraShader,     getStreakEnable,    getStreakParams,
    getBloomEnable,       getBloomParams,       getAdvancedDofEnable, getAdvancedDofParams, getSsaoEnable,
    getSsaoParams,        getShadowEnable,      getShadowEpsilon,    getCameraRangeEnable, getCameraRange,
};

// ---- objects ----

ObjectRecord* object(SceneHandle* h, int i) { return img(h) ? at(img(h)->objects, i) : nullptr; }

int getObjectCount(SceneHandle* h) { return img(h) ? int(img(h)->objects.size()) : 0; }
const char* getObjectName(SceneHandle* h, int i) { return object(h, i) ? object(h, i)->name : nullptr; }
const char* getObjectFile(SceneHandle* h, int i) { return object(h, i) ? object(h, i)->fileName : nullptr; }

// ship.lwo with layer 2 (or the item name "ship:Layer2") gives ship.layer2.x.
const char* getObjectGeometryFile(SceneHandle* h, int i) {
    static char buffer[256 + 32];
    ObjectRecord* o = object(h, i);
    if (!o || !o->fileName) return nullptr;
    const char* cut = std::strstr(o->fileName, ".lwo");
    if (!cut) return o->fileName;
    size_t n = size_t(cut - o->fileName);
    if (n > 255) n = 255;
    std::memcpy(buffer, o->fileName, n);
    buffer[n] = 0;
    int layer = o->layer;
    if (layer == 0) {
        layer = 1;
        // The item name is the cut file name followed by ":Layer" and the number.
        const char* name = o->name;
        if (name && std::strncmp(name, buffer, n) == 0 && std::strncmp(name + n, ":Layer", 6) == 0) {
            int parsed = 0;
            if (std::sscanf(name + n + 6, "%d", &parsed) == 1) layer = parsed;
        }
    }
    std::snprintf(buffer + n, sizeof buffer - n, ".layer%d.x", layer);
    return buffer;
}

int isObjectEmpty(SceneHandle* h, int i) {
    ObjectRecord* o = object(h, i);
    return o && (o->numPoints == 0 || o->numPolygons == 0) ? 1 : 0;
}

int getObjectShadowOptions(SceneHandle* h, int i) { return object(h, i) ? object(h, i)->shadowOpts : 0; }
int getObjectFlags(SceneHandle* h, int i) { return object(h, i) ? object(h, i)->flags : 0; }

void getObjectVector(SceneVec3* out, SceneHandle* h, int i, int kind, float t) {
    if (!out) return;
    ObjectRecord* o = object(h, i);
    *out = o ? motionVector(img(h), o->motion, kind, true, t) : zero();
}

int getObjectConstantOne(SceneHandle*, int) { return 1; }

SurfaceRecord* firstSurface(SceneHandle* h, int i) {
    ObjectRecord* o = object(h, i);
    if (!o || !o->sceneObject || o->sceneObject->surfaces.empty()) return nullptr;
    return &o->sceneObject->surfaces[0];
}

float slotFloatAt(SceneImage* im, const SurfaceSlot& s, float t) {
    return s.channel[0] ? qeSceneChannelAt(im, s.channel[0], t) : s.value[0];
}

float getObjectTransparency(SceneHandle* h, int i) {
    SurfaceRecord* s = firstSurface(h, i);
    return s ? slotFloatAt(img(h), s->slots[QE_SURF_TRANSPARENCY], 0.0f) : 0.0f;
}

float getObjectTranslucency(SceneHandle* h, int i) {
    SurfaceRecord* s = firstSurface(h, i);
    return s ? slotFloatAt(img(h), s->slots[QE_SURF_TRANSLUCENCY], 0.0f) : 0.0f;
}

int getObjectSurfaceCount(SceneHandle* h, int i) {
    ObjectRecord* o = object(h, i);
    return o && o->sceneObject ? int(o->sceneObject->surfaces.size()) : 0;
}

void getObjectSurfaces(SceneHandle* h, int i, ObjectSurfaceRecord* out, float t) {
    ObjectRecord* o = object(h, i);
    if (!o || !o->sceneObject || !out) return;
    SceneImage* im = img(h);
    size_t k = 0;
    for (SurfaceRecord& s : o->sceneObject->surfaces) {
        ObjectSurfaceRecord& r = out[k++];
        r.name = s.name;
        for (int c = 0; c < QE_SURF_SLOTS; ++c) {
            const SurfaceSlot& slot = s.slots[c];
            SurfaceChannelEntry& e = r.channels[c];
            e.type = slot.kind;
            std::memset(&e.value, 0, sizeof e.value);
            if (slot.kind == QE_SLOT_COLOR) {
                SceneVec3 v = slot.channel[0] ? qeSceneChannel3At(im, slot.channel, t) : vec(slot.value);
                e.value.f[0] = v.X;
                e.value.f[1] = v.Y;
                e.value.f[2] = v.Z;
            } else if (slot.kind == QE_SLOT_FLOAT) {
                e.value.f[0] = slotFloatAt(im, slot, t);
            } else {
                e.value.i[0] = slot.channel[0] ? qeSceneIntAt(im, AnimatedFloat{0.0f, slot.channel[0]}, t) : slot.intValue;
            }
            e.texProjection = slot.texProjection;
            e.texImage = slot.texImage;
        }
        r.nodeShader = s.nodeShader;
        if (s.nodeShader) fillShaderValues(im, s.shader, &r.shader, t);
    }
}

const ObjectQueryTable kObjectTable = {
    getObjectCount,        getObjectName,         getObjectFile,  getObjectGeometryFile, isObjectEmpty,
    getObjectShadowOptions, getObjectFlags,       getObjectVector, getObjectConstantOne, getObjectTransparency,
    getObjectTranslucency, getObjectSurfaceCount, getObjectSurfaces,
};

// ---- lights ----

LightRecord* light(SceneHandle* h, int i) { return img(h) ? at(img(h)->lights, i) : nullptr; }

int getLightCount(SceneHandle* h) { return img(h) ? int(img(h)->lights.size()) : 0; }

SceneVec3 clampedColor(SceneImage* im, const AnimatedColor& c, float t) {
    if (!c.channel[0]) return vec(c.value);
    SceneVec3 v = qeSceneChannel3At(im, c.channel, t);
    return SceneVec3(clamp01(v.X), clamp01(v.Y), clamp01(v.Z));
}

void getAmbientColor(SceneVec3* out, SceneHandle* h, float t) {
    if (!out) return;
    LightRecord* l = light(h, 0);
    *out = l ? clampedColor(img(h), l->ambient, t) : zero();
}

const char* getLightName(SceneHandle* h, int i) { return light(h, i) ? light(h, i)->name : nullptr; }
int getLightType(SceneHandle* h, int i) { return light(h, i) ? light(h, i)->type : 0; }
int getLightShadowType(SceneHandle* h, int i) { return light(h, i) ? light(h, i)->shadowType : 0; }

void getLightConeAngles(SceneHandle* h, int i, float* cone, float* edge, float t) {
    LightRecord* l = light(h, i);
    if (!l) return;
    SceneImage* im = img(h);
    put(cone, float(qeSceneFloatAt(im, AnimatedFloat{l->coneAngles[0], l->coneChannels[0]}, t) * kRadToDeg));
    put(edge, float(qeSceneFloatAt(im, AnimatedFloat{l->coneAngles[1], l->coneChannels[1]}, t) * kRadToDeg));
}

int getLightFlags(SceneHandle* h, int i) { return light(h, i) ? light(h, i)->flags : 0; }

float getLightRange(SceneHandle* h, int i, float t) {
    LightRecord* l = light(h, i);
    if (!l) return 0.0f;
    return l->range.channel ? clampMin0(qeSceneChannelAt(img(h), l->range.channel, t)) : l->range.value;
}

int hasLightRange(SceneHandle* h, int i) { return light(h, i) ? light(h, i)->falloff : 0; }

void getLightColor(SceneVec3* out, SceneHandle* h, int i, float t) {
    if (!out) return;
    LightRecord* l = light(h, i);
    *out = l ? clampedColor(img(h), l->rawColor, t) : zero();
}

float getLightIntensity(SceneHandle* h, int i, float t) {
    LightRecord* l = light(h, i);
    if (!l) return 0.0f;
    return l->intensity.channel ? qeSceneChannelAt(img(h), l->intensity.channel, t) : clamp01(l->intensity.value);
}

void getLightShadowColor(SceneVec3* out, SceneHandle* h, int i) {
    if (out) *out = light(h, i) ? vec(light(h, i)->shadowColor) : zero();
}

int getLightShadowMapSize(SceneHandle* h, int i) { return light(h, i) ? light(h, i)->shadowMapSize : 0; }
float getLightShadowMapFuzz(SceneHandle* h, int i) { return light(h, i) ? light(h, i)->shadowMapFuzz : 0.0f; }

void getLightVector(SceneVec3* out, SceneHandle* h, int i, int kind, float t) {
    if (!out) return;
    LightRecord* l = light(h, i);
    *out = l ? motionVector(img(h), l->motion, kind, false, t) : zero();
}

const LightQueryTable kLightTable = {
    getLightCount,     getAmbientColor, getLightName,  getLightType,        getLightShadowType,
    getLightConeAngles, getLightFlags,  getLightRange, hasLightRange,       getLightColor,
    getLightIntensity, getLightShadowColor, getLightShadowMapSize, getLightShadowMapFuzz, getLightVector,
};

// ---- cameras ----

CameraRecord* camera(SceneHandle* h, int i) { return img(h) ? at(img(h)->cameras, i) : nullptr; }

int getCameraCount(SceneHandle* h) { return img(h) ? int(img(h)->cameras.size()) : 0; }
const char* getCameraName(SceneHandle* h, int i) { return camera(h, i) ? camera(h, i)->name : nullptr; }

void getCameraFov(SceneHandle* h, int i, float* horizontal, float* vertical, float t) {
    CameraRecord* c = camera(h, i);
    if (!c) {
        put(horizontal, 0.0f);
        put(vertical, 0.0f);
        return;
    }
    if (c->zoomFactor.channel) {
        float z = qeSceneChannelAt(img(h), c->zoomFactor.channel, t);
        if (z != 0.0f && !std::isnan(z)) {
            float fov = float(2.0 * std::atan(1.0 / double(z)) * kRadToDeg);
            put(horizontal, fov);
            put(vertical, fov);
            return;
        }
    }
    put(horizontal, float(c->fovAngles[0] * kRadToDeg));
    put(vertical, float(c->fovAngles[1] * kRadToDeg));
}

void getCameraDof(SceneHandle* h, int i, int* enable, float* focalDistance, float* fStop, float t) {
    CameraRecord* c = camera(h, i);
    if (enable) *enable = c ? (c->flags & 8) : 0;
    put(focalDistance, c ? qeSceneFloatAt(img(h), c->focalDistance, t) : 0.0f);
    put(fStop, c ? qeSceneFloatAt(img(h), c->fStop, t) : 0.0f);
}

int getCameraStereoEnable(SceneHandle* h, int i) { return camera(h, i) ? (camera(h, i)->flags & 1) : 0; }

void getCameraStereo(SceneHandle* h, int i, float* separation, int* useConvergence, float* convergence, float t) {
    CameraRecord* c = camera(h, i);
    put(separation, c ? qeSceneFloatAt(img(h), c->separation, t) : 0.0f);
    int use = c ? c->usingConvergencePoint : 0;
    if (useConvergence) *useConvergence = use;
    put(convergence, use ? qeSceneFloatAt(img(h), c->convergencePoint, t) : 0.0f);
}

void getCameraVector(SceneVec3* out, SceneHandle* h, int i, int kind, float t) {
    if (!out) return;
    CameraRecord* c = camera(h, i);
    *out = c ? motionVector(img(h), c->motion, kind, false, t) : zero();
}

const CameraQueryTable kCameraTable = {getCameraCount,        getCameraName,   getCameraFov,   getCameraDof,
                                       getCameraStereoEnable, getCameraStereo, getCameraVector};

// ---- fx emitters ----

FxEmitterRecord* fx(SceneHandle* h, int i) { return img(h) ? at(img(h)->fxEmitters, i) : nullptr; }

int getFxEmitterCount(SceneHandle* h) { return img(h) ? int(img(h)->fxEmitters.size()) : 0; }
int getFxEmitterKind(SceneHandle* h, int i) { return fx(h, i) ? fx(h, i)->emitterType : 0; }
const char* getFxEmitterName(SceneHandle* h, int i) { return fx(h, i) ? fx(h, i)->name : nullptr; }

const char* getFxEmitterImage(SceneHandle* h, int i) {
    FxEmitterRecord* e = fx(h, i);
    if (!e) return nullptr;
    if (e->hv.clipFileName && e->hv.clipFileName[0]) return e->hv.clipFileName;
    return e->hyperVoxelImage;
}

float getFxEmitterParticleSize(SceneHandle* h, int i) {
    FxEmitterRecord* e = fx(h, i);
    if (!e) return 0.0f;
    return e->hv.particleSize != 0.0f ? e->hv.particleSize : e->hyperVoxelParticleSize;
}

void getFxEmitterNozzleSize(SceneVec3* out, SceneHandle* h, int i) {
    if (out) *out = fx(h, i) ? vec(fx(h, i)->generatorSize) : zero();
}

void getFxEmitterVector(SceneVec3* out, SceneHandle* h, int i, int kind, float t) {
    if (!out) return;
    FxEmitterRecord* e = fx(h, i);
    *out = e ? motionVector(img(h), e->motion, kind, true, t) : zero();
}

float animatedMin0(SceneImage* im, const AnimatedFloat& v, float t) {
    return v.channel ? clampMin0(qeSceneChannelAt(im, v.channel, t)) : v.value;
}

void getFxEmitterVelocity(SceneVec3* out, SceneHandle* h, int i, float t) {
    if (!out) return;
    FxEmitterRecord* e = fx(h, i);
    *out = e ? vec(e->velocity) * animatedMin0(img(h), e->velocityPercent, t) : zero();
}

float getFxEmitterParentMotion(SceneHandle* h, int i) { return fx(h, i) ? fx(h, i)->parentMotion : 0.0f; }
float getFxEmitterPositionBlur(SceneHandle* h, int i) { return fx(h, i) ? fx(h, i)->positionBlur : 0.0f; }

void getFxEmitterGravity(SceneVec3* out, SceneHandle* h, int i) {
    if (out) *out = fx(h, i) ? vec(fx(h, i)->gravity) : zero();
}

float getFxEmitterBirthRate(SceneHandle* h, int i, float t) {
    FxEmitterRecord* e = fx(h, i);
    if (!e) return 0.0f;
    if (e->fixed && frameNumberAt(img(h), t) < e->startFrame) return 0.0f;
    return animatedMin0(img(h), e->birthRate, t);
}

int getFxEmitterNozzleType(SceneHandle* h, int i) { return fx(h, i) ? fx(h, i)->nozzle : 0; }

// Frames to seconds at the scene's whole frames per second; a scene without a frame rate gives 0.
float framesToSeconds(SceneHandle* h, float frames) {
    int fps = getFps(h);
    return fps > 0 ? frames / float(fps) : 0.0f;
}

float getFxEmitterLifeTime(SceneHandle* h, int i, float t) {
    FxEmitterRecord* e = fx(h, i);
    if (!e) return 0.0f;
    return framesToSeconds(h, animatedMin0(img(h), AnimatedFloat{e->lifeTime[0], e->lifeTimeChannel}, t));
}

float getFxEmitterLifeTimeVariation(SceneHandle* h, int i) {
    return fx(h, i) ? framesToSeconds(h, fx(h, i)->lifeTime[1]) : 0.0f;
}

float getFxEmitterExplosion(SceneHandle* h, int i, float t) {
    return fx(h, i) ? qeSceneFloatAt(img(h), fx(h, i)->explosion, t) : 0.0f;
}

float getFxEmitterWeight(SceneHandle* h, int i, float t) {
    FxEmitterRecord* e = fx(h, i);
    return e ? qeSceneFloatAt(img(h), AnimatedFloat{e->weight[0], e->weightChannel}, t) : 0.0f;
}

float getFxEmitterWeightVariation(SceneHandle* h, int i) { return fx(h, i) ? fx(h, i)->weight[1] : 0.0f; }

float getFxEmitterResistance(SceneHandle* h, int i, float t) {
    FxEmitterRecord* e = fx(h, i);
    return e ? qeSceneFloatAt(img(h), AnimatedFloat{e->resistance[0], e->resistanceChannel}, t) : 0.0f;
}

float getFxEmitterResistanceVariation(SceneHandle* h, int i) { return fx(h, i) ? fx(h, i)->resistance[1] : 0.0f; }

float getFxEmitterVibration(SceneHandle* h, int i, float t) {
    return fx(h, i) ? qeSceneFloatAt(img(h), fx(h, i)->vibration, t) : 0.0f;
}

int getFxEmitterParticleLimit(SceneHandle* h, int i) { return fx(h, i) ? fx(h, i)->particleLimit : 0; }

void getFxEmitterLook(SceneHandle* h, int i, int* blendMode, int* useImageColor, float color[3], float* rotation) {
    FxEmitterRecord* e = fx(h, i);
    if (!e) return;
    int alpha = e->hv.clipAlpha;
    if (blendMode) *blendMode = (alpha == 0 || alpha == 1 || alpha == 3) ? alpha : 2;
    if (useImageColor) *useImageColor = (e->hv.clipFlags & 2) ? 1 : 0;
    put3(color, vec(e->hv.color));
    put(rotation, e->hv.clipRotation);
}

int gradient(SceneHandle* h, int i, int channel, const float** keys) {
    if (keys) *keys = nullptr;
    FxEmitterRecord* e = fx(h, i);
    if (!e) return 0;
    int n = e->hv.gradientCount;
    if (n > QE_HV_GRADIENTS) n = QE_HV_GRADIENTS;
    for (int g = 0; g < n; ++g) {
        GradientRecord& r = e->hv.gradients[g];
        if (r.channel == channel) {
            if (keys) *keys = r.keyFloats;
            return r.keyCount;
        }
    }
    return 0;
}

int getFxEmitterSizeGradient(SceneHandle* h, int i, const float** keys) { return gradient(h, i, 1, keys); }
int getFxEmitterColorGradient(SceneHandle* h, int i, const float** keys) { return gradient(h, i, 35, keys); }

void getFxEmitterShader(SceneHandle* h, int i, ShaderValuesRecord* out, float t) {
    if (FxEmitterRecord* e = fx(h, i)) fillShaderValues(img(h), e->hvShader, out, t);
}

const FxEmitterQueryTable kFxEmitterTable = {
    getFxEmitterCount,        getFxEmitterKind,          getFxEmitterName,
    getFxEmitterImage,        getFxEmitterParticleSize,  getFxEmitterNozzleSize,
    getFxEmitterVector,       getFxEmitterVelocity,      getFxEmitterParentMotion,
    getFxEmitterPositionBlur, getFxEmitterGravity,       getFxEmitterBirthRate,
    getFxEmitterNozzleType,   getFxEmitterLifeTime,      getFxEmitterLifeTimeVariation,
    getFxEmitterExplosion,    getFxEmitterWeight,        getFxEmitterWeightVariation,
    getFxEmitterResistance,   getFxEmitterResistanceVariation, getFxEmitterVibration,
    getFxEmitterParticleLimit, getFxEmitterLook,         getFxEmitterSizeGradient,
    getFxEmitterColorGradient, getFxEmitterShader,
};

SceneHandle* makeHandle(SceneImage* im) {
    if (!im) return nullptr;
    qeSceneBindChannels(im);
    SceneHandle* h = new (std::nothrow) SceneHandle();
    if (!h) {
        qeSceneImageFree(im);
        return nullptr;
    }
    h->image = im;
    h->scene = &kSceneTable;
    h->backdrop = &kBackdropTable;
    h->processing = &kProcessingTable;
    h->objects = &kObjectTable;
    h->lights = &kLightTable;
    h->cameras = &kCameraTable;
    h->fxEmitters = &kFxEmitterTable;
    return h;
}

}  // namespace

SceneHandle* qeSceneOpenBinary(const char* name) { return makeHandle(qeSceneImageLoad(name)); }

SceneHandle* qeSceneOpenBinaryBuffer(const void* data, size_t size) {
    return makeHandle(qeSceneImageLoadBuffer(data, size));
}

void qeSceneCloseBinary(SceneHandle* h) {
    if (!h) return;
    qeSceneImageFree(h->image);
    delete h;
}

SceneHandle* qeSceneFileOpen(const char* name) {
    if (!name || std::strstr(name, ".lws.ini") || !std::strstr(name, ".qirn")) return nullptr;
    SceneHandle* h = qeSceneOpenBinary(name);
    if (h) h->binary = 1;
    return h;
}

void qeSceneFileClose(SceneHandle* h) {
    if (h && h->binary == 1) qeSceneCloseBinary(h);
}

// A binary scene is already in the form a save would write: nothing to do, and no file is made.
int qeSceneFileSaveBinary(SceneHandle* h, const char*) {
    if (!h || h->binary != 1) return -1;
    return 0;
}
