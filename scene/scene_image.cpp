#include "scene_image.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "scene_walk.h"

namespace {

struct LoadState {
    SceneImage* image;
    uint32_t parents[QE_SCENE_MAX_DEPTH + 2];
    // The record of the channel chunk last seen in a kept group (null when its group is not kept): its
    // NAME, TYPE and VALS follow it before any other channel chunk.
    ChannelRecord* channel;
};

// One property record as the walk hands it over (already checked against its chunk).
struct Prop {
    SceneMemoryFile* f;
    uint32_t off;
    const char* name;
    uint32_t type;
};

bool isKey(const Prop& p, const char* key) { return std::strcmp(p.name, key) == 0; }

// A key takes a property only when the property's type carries what the field needs.
void takeInts(const Prop& p, int32_t* dst, int n) {
    int have = p.type == QE_PROP_INT ? 1 : p.type == QE_PROP_INT2 ? 2 : 0;
    if (have < n) return;
    for (int i = 0; i < n; ++i) dst[i] = int32_t(prop_word(p.f, p.off, i));
}

void takeFloats(const Prop& p, float* dst, int n) {
    int have = p.type == QE_PROP_FLOAT ? 1 : p.type == QE_PROP_FLOAT2 ? 2 : p.type == QE_PROP_FLOAT3 ? 3 : 0;
    if (have < n) return;
    for (int i = 0; i < n; ++i) dst[i] = prop_float(p.f, p.off, i);
}

void takeText(const Prop& p, const char** dst) {
    if (p.type == QE_PROP_STRING) *dst = prop_string(p.f, p.off);
}

void copyText(char* dst, const char* src) {
    std::strncpy(dst, src ? src : "", QE_SHADER_TEXT - 1);
    dst[QE_SHADER_TEXT - 1] = 0;
}

void takeShaderText(const Prop& p, char* dst) {
    if (p.type == QE_PROP_STRING) copyText(dst, prop_string(p.f, p.off));
}

#define QE_INT(k, field) if (isKey(p, k)) { takeInts(p, &(field), 1); return; }
#define QE_INTS(k, field, n) if (isKey(p, k)) { takeInts(p, field, n); return; }
#define QE_FLT(k, field) if (isKey(p, k)) { takeFloats(p, &(field), 1); return; }
#define QE_FLTS(k, field, n) if (isKey(p, k)) { takeFloats(p, field, n); return; }
#define QE_TXT(k, field) if (isKey(p, k)) { takeText(p, &(field)); return; }

void sceneProp(SceneImage* im, const Prop& p) {
    SceneSettingsRecord& s = im->scene;
    QE_INT("frameStart", s.firstFrame);
    QE_INT("frameEnd", s.lastFrame);
    QE_FLT("framesPerSecond", s.fps);
    QE_INT("renderOpts", s.renderOptions);
    QE_TXT("loadAudio", s.audioFile);
    QE_FLT("audioStartTime", s.audioStartTime);
}

void backdropProp(SceneImage* im, const Prop& p) {
    BackdropRecord& b = im->backdrop;
    QE_INT("type", b.type);
    QE_FLTS("zenith", b.zenith, 3);
    QE_FLTS("sky", b.sky, 3);
    QE_FLTS("ground", b.ground, 3);
    QE_FLTS("nadir", b.nadir, 3);
    QE_FLTS("squeeze", b.squeeze, 2);
}

void processingProp(SceneImage* im, const Prop& p) {
    ProcessingRecord& r = im->processing;
    QE_INT("LimitDynamicRange", r.limitDynamicRange);
    QE_INT("DitherIntensity", r.ditherIntensity);
    QE_INT("AnimatedDither", r.animatedDither);
    QE_FLT("ColorSaturation", r.colorSaturation.value);
    QE_INT("GlowEffect", r.glowEffect);
    QE_FLT("GlowIntensity", r.glowIntensity.value);
    QE_FLT("GlowRadius", r.glowRadius.value);
}

void renderSettingsProp(SceneImage* im, const Prop& p) {
    RenderSettingsRecord& r = im->processing.render;
    QE_INT("CH_STREAK_ENABLE", r.streakOn);
    QE_FLT("CH_STREAK_GLOWMIN", r.streakGlowMin.value);
    QE_FLTS("CH_STREAK_COLORKEY", r.streakColorKey.value, 3);
    QE_FLT("CH_STREAK_COLORKEYMATCH", r.streakColorKeyMatch.value);
    QE_FLTS("CH_STREAK_COLORIZE", r.streakColorize.value, 3);
    QE_FLT("CH_STREAK_ATTENUATION", r.streakAttenuation.value);
    QE_FLT("CH_STREAK_ANGLE", r.streakAngle.value);
    QE_FLT("CH_STREAK_COMPOSE", r.streakCompose.value);
    QE_INT("CH_BLOOM_ENABLE", r.bloomOn);
    QE_FLT("CH_BLOOM_SPECULARMIN", r.bloomSpecularMin.value);
    QE_FLT("CH_BLOOM_COMPOSE", r.bloomCompose.value);
    QE_INT("CH_DOF_ADVANCED_ENABLE", r.advancedDofOn);
    QE_FLT("CH_DOF_MINFOCUSDIST", r.dofMinFocusDist.value);
    QE_FLT("CH_DOF_MAXFOCUSDIST", r.dofMaxFocusDist.value);
    QE_FLT("CH_DOF_RADIUSSCALE", r.dofRadiusScale.value);
    QE_INT("CH_SSAO_ENABLE", r.ssaoOn);
    QE_FLT("CH_SSAO_DISTANCEREACH", r.ssaoDistanceReach.value);
    QE_FLT("CH_SSAO_MAXDEPTHDECLINE", r.ssaoMaxDepthDecline.value);
    QE_FLT("CH_SSAO_DEPTHALIASINGEPSILON", r.ssaoDepthAliasingEpsilon.value);
    QE_FLT("CH_SSAO_OUTPUTMULTIPLIER", r.ssaoOutputMultiplier.value);
    QE_INT("CH_SHADOW_ENABLE", r.shadowOn);
    QE_FLT("CH_SHADOW_EPSILON", r.shadowEpsilon.value);
    QE_INT("CH_CAMERARANGE_ENABLE", r.cameraRangeOn);
    QE_FLT("CH_CAMERARANGE_MIN", r.cameraRangeMin);
    QE_FLT("CH_CAMERARANGE_MAX", r.cameraRangeMax);
}

void filterProp(SceneImage* im, const Prop& p) {
    if (im->processing.filters.empty()) return;
    ImageFilterRecord& r = im->processing.filters.back();
    if (r.kind == QE_FILTER_RENDERSETTINGS) {
        renderSettingsProp(im, p);
    } else if (r.kind == QE_FILTER_POSTPROC) {
        if (isKey(p, "filename")) { takeShaderText(p, r.shader.fileName); return; }
        QE_INT("useframe", r.useFrame);
        QE_INT("startframe", r.startFrame);
        QE_INT("endframe", r.endFrame);
    }
}

void objectProp(ObjectRecord& r, const Prop& p) {
    QE_INT("numPoints", r.numPoints);
    QE_INT("numPolygons", r.numPolygons);
    QE_INT("shadowOpts", r.shadowOpts);
    QE_INT("flags", r.flags);
    QE_INT("layer", r.layer);
}

void lightProp(LightRecord& r, const Prop& p) {
    QE_FLTS("ambient", r.ambient.value, 3);
    QE_INT("type", r.type);
    QE_INT("shadowType", r.shadowType);
    QE_FLTS("coneAngles", r.coneAngles, 2);
    QE_INT("flags", r.flags);
    QE_FLT("range", r.range.value);
    QE_INT("falloff", r.falloff);
    QE_FLTS("rawColor", r.rawColor.value, 3);
    QE_FLT("intensity", r.intensity.value);
    QE_FLTS("shadowColor", r.shadowColor, 3);
    QE_INT("shadMapSize", r.shadowMapSize);
    QE_FLT("shadMapFuzz", r.shadowMapFuzz);
}

void cameraProp(CameraRecord& r, const Prop& p) {
    QE_FLT("zoomFactor", r.zoomFactor.value);
    QE_FLT("focalLength", r.focalLength);
    QE_FLT("focalDistance", r.focalDistance.value);
    QE_FLT("fStop", r.fStop.value);
    QE_FLT("blurLength", r.blurLength);
    QE_FLTS("fovAngles", r.fovAngles, 2);
    QE_INT("flags", r.flags);
    QE_INTS("resolution", r.resolution, 2);
    QE_FLT("pixelAspect", r.pixelAspect);
    QE_FLT("separation", r.separation.value);
    QE_FLT("convergencePoint", r.convergencePoint.value);
    QE_INT("usingConvergencePoint", r.usingConvergencePoint);
}

struct SlotKey {
    const char* key;
    int slot;
    int kind;
};

const SlotKey kSlotKeys[] = {
    {"BaseColor", QE_SURF_BASECOLOR, QE_SLOT_COLOR},
    {"Luminosity", QE_SURF_LUMINOSITY, QE_SLOT_FLOAT},
    {"Diffuse", QE_SURF_DIFFUSE, QE_SLOT_FLOAT},
    {"Specularity", QE_SURF_SPECULARITY, QE_SLOT_FLOAT},
    {"Reflectivity", QE_SURF_REFLECTIVITY, QE_SLOT_FLOAT},
    {"Transparency", QE_SURF_TRANSPARENCY, QE_SLOT_FLOAT},
    {"Translucency", QE_SURF_TRANSLUCENCY, QE_SLOT_FLOAT},
    {"IOR", QE_SURF_IOR, QE_SLOT_FLOAT},
    {"Bump", QE_SURF_BUMP, QE_SLOT_FLOAT},
    {"Glossiness", QE_SURF_GLOSSINESS, QE_SLOT_FLOAT},
    {"GlowValue", QE_SURF_GLOWVALUE, QE_SLOT_FLOAT},
    {"LineSize", QE_SURF_LINESIZE, QE_SLOT_FLOAT},
    {"RenderOutlines", QE_SURF_RENDEROUTLINES, QE_SLOT_INT},
    {"Sidedness", QE_SURF_SIDEDNESS, QE_SLOT_INT},
    {"ReflectionSeamAngle", QE_SURF_REFLECTIONSEAMANGLE, QE_SLOT_FLOAT},
    {"ReflectionOptions", QE_SURF_REFLECTIONOPTIONS, QE_SLOT_INT},
    {"ReflectionImage", QE_SURF_REFLECTIONIMAGE, QE_SLOT_INT},
    {"VertexColoring", QE_SURF_VERTEXCOLORING, QE_SLOT_FLOAT},
};

// A slot's property is its key alone, or the key with "_tex_image" or "_tex_proj" after it. Every slot
// up to the one that takes the property gets its kind.
void surfaceProp(SurfaceRecord& r, const Prop& p) {
    for (const SlotKey& k : kSlotKeys) {
        SurfaceSlot& s = r.slots[k.slot];
        s.kind = k.kind;
        const size_t n = std::strlen(k.key);
        if (std::strncmp(p.name, k.key, n) != 0) continue;
        const char* rest = p.name + n;
        if (*rest == 0) {
            if (k.kind == QE_SLOT_COLOR) takeFloats(p, s.value, 3);
            else if (k.kind == QE_SLOT_FLOAT) takeFloats(p, s.value, 1);
            else takeInts(p, &s.intValue, 1);
            return;
        }
        if (std::strcmp(rest, "_tex_image") == 0) { takeText(p, &s.texImage); return; }
        if (std::strcmp(rest, "_tex_proj") == 0) { takeInts(p, &s.texProjection, 1); return; }
    }
}

int clampCount(int32_t n, int max) { return n < 0 ? 0 : n > max ? max : n; }

void gradientProp(HyperVoxelBlock& hv, const Prop& p) {
    const char* digits = p.name + 8;  // after "HV.Grad."
    if (!std::isdigit(static_cast<unsigned char>(*digits))) return;
    long index = 0;
    const char* c = digits;
    while (std::isdigit(static_cast<unsigned char>(*c)) && index < 1000) index = index * 10 + (*c++ - '0');
    if (index < 0 || index >= QE_HV_GRADIENTS || *c == 0) return;
    const char* field = c + 1;  // one separator character
    GradientRecord& g = hv.gradients[index];
    if (std::strcmp(field, "Channel") == 0) { takeInts(p, &g.channel, 1); return; }
    if (std::strcmp(field, "ParamName") == 0) { takeText(p, &g.paramName); return; }
    if (std::strcmp(field, "GradStart") == 0) { takeFloats(p, &g.start, 1); return; }
    if (std::strcmp(field, "GradEnd") == 0) { takeFloats(p, &g.end, 1); return; }
    if (std::strcmp(field, "GradRepeat") == 0) { takeFloats(p, &g.repeat, 1); return; }
    if (std::strcmp(field, "nKeys") == 0) {
        int32_t n = 0;
        if (p.type != QE_PROP_INT && p.type != QE_PROP_INT2) return;
        takeInts(p, &n, 1);
        g.keyCount = clampCount(n, QE_HV_GRADIENT_KEYS);
        return;
    }
    if (std::strcmp(field, "KeyFloats") == 0 && p.type == QE_PROP_STRING) {
        const char* s = prop_string(p.f, p.off);
        int n = 0;
        while (s && *s && n < QE_HV_KEY_FLOATS) {
            while (*s == ' ') ++s;
            if (!*s) break;
            char* next = nullptr;
            double v = std::strtod(s, &next);
            if (next == s) break;  // not a number: the list ends here
            g.keyFloats[n++] = float(v);
            s = next;
        }
    }
}

void hyperVoxelProp(HyperVoxelBlock& hv, const Prop& p) {
    if (std::strncmp(p.name, "HV.Grad.", 8) == 0) {
        gradientProp(hv, p);
        return;
    }
    QE_FLT("HV.ParticleSize", hv.particleSize);
    QE_FLTS("HV.VColor", hv.color, 3);
    QE_FLT("HV.VLuminosity", hv.luminosity);
    QE_FLT("HV.VOpacity", hv.opacity);
    QE_FLT("HV.VDensity", hv.density);
    QE_INT("HV.HVClipFlags", hv.clipFlags);
    QE_INT("HV.HVClipAlpha", hv.clipAlpha);
    QE_FLT("HV.HVClipThreshold", hv.clipThreshold);
    QE_FLT("HV.HVClipRotation", hv.clipRotation);
    QE_INT("HV.HVClipFrameOffset", hv.clipFrameOffset);
    QE_TXT("HV.ClipFilename", hv.clipFileName);
    QE_TXT("HV.ClipFileExt", hv.clipFileExt);
    if (isKey(p, "HV.numGrads")) {
        int32_t n = 0;
        if (p.type != QE_PROP_INT && p.type != QE_PROP_INT2) return;
        takeInts(p, &n, 1);
        hv.gradientCount = clampCount(n, QE_HV_GRADIENTS);
    }
}

void fxEmitterProp(FxEmitterRecord& r, const Prop& p) {
    if (std::strncmp(p.name, "HV.", 3) == 0) {
        hyperVoxelProp(r.hv, p);
        return;
    }
    QE_INT("FxEmitterType", r.emitterType);
    QE_FLTS("GeneratorSize", r.generatorSize, 3);
    QE_FLTS("CenterPosition", r.centerPosition, 3);
    QE_INT("ParticleLimit", r.particleLimit);
    QE_FLTS("Velocity", r.velocity, 3);
    QE_FLT("ParentMotion", r.parentMotion);
    QE_FLT("PositionBlur", r.positionBlur);
    QE_FLTS("Gravity", r.gravity, 3);
    QE_FLT("BirthRate", r.birthRate.value);
    QE_INT("Nozzle", r.nozzle);
    QE_FLTS("LifeTime", r.lifeTime, 2);
    QE_FLT("Explosion", r.explosion.value);
    QE_FLT("VelocityP", r.velocityPercent.value);
    QE_INT("StartFrame", r.startFrame);
    QE_INT("Fixed", r.fixed);
    QE_FLTS("Weight", r.weight, 2);
    QE_FLTS("Resistance", r.resistance, 2);
    QE_FLT("Vibration", r.vibration.value);
    QE_FLTS("Threshold", r.threshold, 2);
    QE_FLTS("Size", r.size, 2);
    QE_FLT("VibrationMin", r.vibrationMin);
    QE_FLT("MaxSpeed", r.maxSpeed);
    QE_FLT("HyperVoxelParticleSize", r.hyperVoxelParticleSize);
    QE_TXT("HyperVoxelImage", r.hyperVoxelImage);
}

void shaderParamProp(ShaderBlock& block, const Prop& p) {
    ShaderParamRecord r;
    std::memset(&r, 0, sizeof r);
    copyText(r.name, p.name);
    if (p.type == QE_PROP_FLOAT3) {
        r.kind = QE_SHADER_PARAM_FLOAT3;
        takeFloats(p, r.value, 3);
    } else if (p.type == QE_PROP_FLOAT) {
        r.kind = QE_SHADER_PARAM_FLOAT;
        takeFloats(p, r.value, 1);
    } else {
        r.kind = QE_SHADER_PARAM_FLOAT3;
    }
    block.params.push_back(r);
}

#undef QE_INT
#undef QE_INTS
#undef QE_FLT
#undef QE_FLTS
#undef QE_TXT

SurfaceRecord* lastSurface(SceneImage* im) {
    if (im->sceneObjects.empty() || im->sceneObjects.back().surfaces.empty()) return nullptr;
    return &im->sceneObjects.back().surfaces.back();
}

// The channel group that holds a chunk at this depth inside a top-level CGRP (groups are kept to
// five levels).
ChannelGroup* currentGroup(SceneImage* im, int depth) {
    if (depth < 1 || depth > 5 || im->groups.empty()) return nullptr;
    ChannelGroup* g = &im->groups.back();
    for (int i = 1; i < depth; ++i) {
        if (g->children.empty()) return nullptr;
        g = &g->children.back();
    }
    return g;
}

template <typename T>
T* last(std::vector<T>& v) {
    return v.empty() ? nullptr : &v.back();
}

// Calls tally with the id of each child of a container, from the child headers alone: a hint for sizing
// the lists before the walk fills them, so that they never grow by copies. A header that does not fit
// ends the count (the walk refuses such a file).
template <typename Tally>
void eachChildId(SceneMemoryFile* f, uint32_t pos, uint32_t length, uint32_t width, Tally tally) {
    if (pos > f->size || length > f->size - pos) return;
    const uint32_t end = pos + length;
    while (end - pos >= 4 + width) {
        const uint32_t id = qescene::be32(f->data + pos);
        const uint32_t len = width == 4 ? qescene::be32(f->data + pos + 4) : qescene::be16(f->data + pos + 4);
        pos += 4 + width;
        if (len > end - pos) return;
        tally(id);
        pos += len;
    }
}

uint32_t nestedWidth(const SceneMemoryFile* f) { return f->longNestedLengths ? 4 : 2; }

void reserveGroup(ChannelGroup& g, SceneMemoryFile* f, uint32_t pos, uint32_t length) {
    size_t groups = 0, channels = 0;
    eachChildId(f, pos, length, nestedWidth(f), [&](uint32_t id) {
        groups += id == QE_ID_CGRP;
        channels += id == QE_ID_CHAN;
    });
    g.children.reserve(groups);
    g.channels.reserve(channels);
}

void reserveSurfaces(SceneObjectRecord& so, SceneMemoryFile* f, uint32_t pos, uint32_t length) {
    size_t surfaces = 0;
    eachChildId(f, pos, length, nestedWidth(f), [&](uint32_t id) { surfaces += id == QE_ID_SURF; });
    so.surfaces.reserve(surfaces);
}

// The top-level lists, sized from the top-level headers (32-bit lengths in every form of the file).
void reserveTopLists(SceneImage* im, SceneMemoryFile* f) {
    if (f->size < 12) return;
    size_t n[6] = {0, 0, 0, 0, 0, 0};
    static const uint32_t kinds[6] = {QE_ID_OBJE, QE_ID_LIGH, QE_ID_CAME, QE_ID_SOBJ, QE_ID_FXEM, QE_ID_CGRP};
    eachChildId(f, 12, f->size - 12, 4, [&](uint32_t id) {
        for (int k = 0; k < 6; ++k) n[k] += id == kinds[k];
    });
    im->objects.reserve(n[0]);
    im->lights.reserve(n[1]);
    im->cameras.reserve(n[2]);
    im->sceneObjects.reserve(n[3]);
    im->fxEmitters.reserve(n[4]);
    im->groups.reserve(n[5]);
}

int refuse(const char* what) {
    std::fprintf(stderr, "Error: %s\n", what);
    std::fflush(stderr);
    return -1;
}

void onProperty(LoadState* st, SceneMemoryFile* f, int depth, uint32_t offset) {
    SceneImage* im = st->image;
    Prop p{f, offset, prop_name(f, offset), prop_type(f, offset)};
    if (!p.name || depth < 1) return;
    const uint32_t holder = st->parents[depth - 1];
    switch (holder) {
    case QE_ID_SCEN: sceneProp(im, p); break;
    case QE_ID_BKDR: backdropProp(im, p); break;
    case QE_ID_PROC: processingProp(im, p); break;
    case QE_ID_IMFL: filterProp(im, p); break;
    case QE_ID_OBJE: if (ObjectRecord* r = last(im->objects)) objectProp(*r, p); break;
    case QE_ID_LIGH: if (LightRecord* r = last(im->lights)) lightProp(*r, p); break;
    case QE_ID_CAME: if (CameraRecord* r = last(im->cameras)) cameraProp(*r, p); break;
    case QE_ID_FXEM: if (FxEmitterRecord* r = last(im->fxEmitters)) fxEmitterProp(*r, p); break;
    case QE_ID_SURF:
        if (depth >= 2 && st->parents[depth - 2] == QE_ID_SOBJ)
            if (SurfaceRecord* r = lastSurface(im)) surfaceProp(*r, p);
        break;
    case QE_ID_SSHA:
        if (SurfaceRecord* r = lastSurface(im)) {
            r->nodeShader = 1;
            if (isKey(p, "filename")) takeShaderText(p, r->shader.fileName);
        }
        break;
    case QE_ID_HVSH:
        if (FxEmitterRecord* r = last(im->fxEmitters))
            if (isKey(p, "filename")) takeShaderText(p, r->hvShader.fileName);
        break;
    case QE_ID_SHAD: {
        if (depth < 2) break;
        ShaderBlock* block = nullptr;
        switch (st->parents[depth - 2]) {
        case QE_ID_IMFL: if (ImageFilterRecord* r = last(im->processing.filters)) block = &r->shader; break;
        case QE_ID_SSHA: if (SurfaceRecord* r = lastSurface(im)) block = &r->shader; break;
        case QE_ID_HVSH: if (FxEmitterRecord* r = last(im->fxEmitters)) block = &r->hvShader; break;
        default: break;
        }
        if (block) shaderParamProp(*block, p);
        break;
    }
    default:
        break;
    }
}

// The text whose first byte is at offset (none at the end of the file).
const char* textAt(SceneMemoryFile* f, uint32_t offset) {
    return offset < f->size ? reinterpret_cast<const char*>(f->data + offset) : nullptr;
}

// What a chunk outside the channel groups does to the image being filled.
__attribute__((noinline)) int onItemChunk(LoadState* st, SceneMemoryFile* f, int depth, int parentKind, uint32_t id,
                                          uint32_t offset, uint32_t length) {
    SceneImage* im = st->image;
    const char* text = textAt(f, offset);
    switch (parentKind) {
    case qescene::kindOf(QE_ID_QIRN):
        switch (id) {
        case QE_ID_OBJE: im->objects.emplace_back(); break;
        case QE_ID_LIGH: im->lights.emplace_back(); break;
        case QE_ID_CAME: im->cameras.emplace_back(); break;
        case QE_ID_SOBJ:
            im->sceneObjects.emplace_back();
            reserveSurfaces(im->sceneObjects.back(), f, offset, length);
            break;
        case QE_ID_FXEM: im->fxEmitters.emplace_back(); break;
        case QE_ID_CGRP:
            im->groups.emplace_back();
            reserveGroup(im->groups.back(), f, offset, length);
            break;
        default: break;
        }
        break;
    case qescene::kindOf(QE_ID_SCEN):
        if (id == QE_ID_NAME) im->scene.name = text;
        else if (id == QE_ID_FNAM) im->scene.fileName = text;
        break;
    case qescene::kindOf(QE_ID_OBJE):
        if (ObjectRecord* r = last(im->objects)) {
            if (id == QE_ID_NAME) r->name = text;
            else if (id == QE_ID_FNAM) r->fileName = text;
        }
        break;
    case qescene::kindOf(QE_ID_LIGH):
        if (id == QE_ID_NAME) if (LightRecord* r = last(im->lights)) r->name = text;
        break;
    case qescene::kindOf(QE_ID_CAME):
        if (id == QE_ID_NAME) if (CameraRecord* r = last(im->cameras)) r->name = text;
        break;
    case qescene::kindOf(QE_ID_FXEM):
        if (id == QE_ID_NAME) if (FxEmitterRecord* r = last(im->fxEmitters)) r->name = text;
        break;
    case qescene::kindOf(QE_ID_SOBJ):
        if (SceneObjectRecord* r = last(im->sceneObjects)) {
            if (id == QE_ID_NAME) r->name = text;
            else if (id == QE_ID_FNAM) r->fileName = text;
            else if (id == QE_ID_SURF) r->surfaces.emplace_back();
        } else if (id == QE_ID_NAME || id == QE_ID_FNAM || id == QE_ID_SURF) {
            return refuse("SOBJ child without its scene object");
        }
        break;
    case qescene::kindOf(QE_ID_SURF):
        if (id == QE_ID_NAME && depth >= 2 && st->parents[depth - 1] == QE_ID_SOBJ)
            if (SurfaceRecord* r = lastSurface(im)) r->name = text;
        break;
    case qescene::kindOf(QE_ID_PROC):
        if (id == QE_ID_IMFL) im->processing.filters.emplace_back();
        break;
    case qescene::kindOf(QE_ID_IMFL):
        if (id == QE_ID_NAME) {
            if (ImageFilterRecord* r = last(im->processing.filters)) {
                r->name = text;
                r->kind = std::strcmp(text, "QirnRenderSettings") == 0 ? QE_FILTER_RENDERSETTINGS
                          : std::strcmp(text, "QirnPostProc") == 0     ? QE_FILTER_POSTPROC
                                                                       : QE_FILTER_OTHER;
            }
        }
        break;
    case qescene::kindOf(QE_ID_PRPS):
        if (id == QE_ID_PROP) onProperty(st, f, depth, offset);
        break;
    default:
        break;
    }
    return 0;
}

// What one chunk header does to the image being filled: the chunks of channel groups, which are most
// of a file, here, the rest in onItemChunk.
inline int onChunk(LoadState* st, SceneMemoryFile* f, int depth, uint32_t parent, int parentKind, uint32_t id,
                   uint32_t offset, uint32_t length) {
    if (depth < 0 || depth > QE_SCENE_MAX_DEPTH) return 0;
    SceneImage* im = st->image;
    st->parents[depth] = parent;
    switch (parentKind) {
    case qescene::kindOf(QE_ID_VALS):
        break;
    case qescene::kindOf(QE_ID_CGRP): {
        ChannelGroup* g = currentGroup(im, depth);
        if (id == QE_ID_CHAN) st->channel = nullptr;
        if (!g) break;
        if (id == QE_ID_CGRP && depth < 5) {
            g->children.emplace_back();
            reserveGroup(g->children.back(), f, offset, length);
        } else if (id == QE_ID_CHAN) {
            g->channels.push_back(ChannelRecord{nullptr, 0, 0});
            st->channel = &g->channels.back();
        } else if (id == QE_ID_NAME) {
            g->name = textAt(f, offset);
        }
        break;
    }
    case qescene::kindOf(QE_ID_CHAN): {
        if (id != QE_ID_NAME && id != QE_ID_TYPE && id != QE_ID_VALS) break;
        if (depth < 1) break;
        ChannelRecord* c = nullptr;
        if (st->parents[depth - 1] == QE_ID_SCEN) c = &im->scene.sceneChannel;
        else if (st->parents[depth - 1] == QE_ID_CGRP) c = st->channel;
        if (!c) break;
        if (id == QE_ID_NAME) c->name = textAt(f, offset);
        else if (id == QE_ID_TYPE) c->type = file_u32(f, offset);
        else c->values = offset;
        break;
    }
    default:
        return onItemChunk(st, f, depth, parentKind, id, offset, length);
    }
    return 0;
}

}  // namespace

int qeSceneImageOnChunk(SceneMemoryFile* f, int depth, uint32_t parent, uint32_t id, uint32_t offset,
                        uint32_t length, void* user) {
    LoadState* st = static_cast<LoadState*>(user);
    return st ? onChunk(st, f, depth, parent, qescene::chunkKind(parent), id, offset, length) : 0;
}

SceneImage* qeSceneImageLoadFile(SceneMemoryFile* file) {
    if (!file) return nullptr;
    SceneImage* im = new (std::nothrow) SceneImage();
    if (!im) {
        scene_file_close(file);
        return nullptr;
    }
    reserveTopLists(im, file);
    im->file = file;
    LoadState st;
    std::memset(&st, 0, sizeof st);
    st.image = im;
    // The walk of read_form, handing each chunk straight to the loader.
    auto visit = [&st, file](int depth, uint32_t parent, int parentKind, uint32_t id, int, uint32_t offset,
                             uint32_t length) { return onChunk(&st, file, depth, parent, parentKind, id, offset, length); };
    const int rc = qescene::walkForm(file, visit);
    if (rc != 0) {
        qeSceneImageFree(im);
        return nullptr;
    }
    return im;
}

SceneImage* qeSceneImageLoad(const char* name) { return qeSceneImageLoadFile(open_scene_memory_file(name)); }

SceneImage* qeSceneImageLoadBuffer(const void* data, size_t size) {
    return qeSceneImageLoadFile(open_scene_memory_buffer(data, size));
}

void qeSceneImageFree(SceneImage* image) {
    if (!image) return;
    scene_file_close(image->file);
    delete image;
}
