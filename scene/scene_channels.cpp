#include "scene_channels.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <cstdint>
#include <unordered_map>
#include <vector>

#include <quaternion.h>

namespace {

// The first place of each name in a list of named entries: an open-addressing table of places, made
// in one go. Unnamed entries are left out, as the walks skip them.
class NameTable {
public:
    template <typename List, typename NameOf>
    void build(List& list, NameOf nameOf) {
        names_.clear();
        names_.reserve(list.size());
        for (auto& entry : list) names_.push_back(nameOf(entry));
        size_t size = 8;
        while (size < 2 * names_.size()) size *= 2;
        slots_.assign(size, 0);
        mask_ = uint32_t(size - 1);
        for (uint32_t i = 0; i < names_.size(); ++i) {
            if (!names_[i]) continue;
            uint32_t s = hash(names_[i]) & mask_;
            while (slots_[s] && std::strcmp(names_[slots_[s] - 1], names_[i]) != 0) s = (s + 1) & mask_;
            if (!slots_[s]) slots_[s] = i + 1;  // a later entry of the same name is not the first match
        }
    }
    // The place of the first entry of that name, or -1.
    long find(const char* name) const {
        if (slots_.empty()) return -1;
        for (uint32_t s = hash(name) & mask_; slots_[s]; s = (s + 1) & mask_)
            if (std::strcmp(names_[slots_[s] - 1], name) == 0) return long(slots_[s] - 1);
        return -1;
    }

private:
    static uint32_t hash(const char* text) {
        uint32_t h = 2166136261u;
        for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) h = (h ^ *c) * 16777619u;
        return h;
    }
    std::vector<const char*> names_;
    std::vector<uint32_t> slots_;  // place + 1; 0 is an empty slot
    uint32_t mask_ = 0;
};

// Lists longer than this are looked up through a name table; shorter ones by a walk.
const size_t kIndexedLength = 16;

const char* groupName(const ChannelGroup& g) { return g.name; }
const char* channelName(const ChannelRecord& c) { return c.name; }

// Equal texts; none matches an absent one. Inline, as binding compares short names by the thousand.
bool sameName(const char* a, const char* b) {
    if (!a || !b) return false;
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

// The name tables of one bind: made once per bind (the lists do not change while it runs), each giving
// the first match in file order as the walks do. The finds below take it (null outside a bind).
struct BindIndex {
    const SceneImage* image;
    NameTable top;
    NameTable objectFiles;
    std::unordered_map<const ChannelGroup*, NameTable> children;
    std::unordered_map<const ChannelGroup*, NameTable> channels;
};

ChannelGroup* findGroup(BindIndex* ix, SceneImage* im, const char* name) {
    if (!im || !name) return nullptr;
    if (ix && ix->image == im) {
        const long at = ix->top.find(name);
        return at >= 0 ? &im->groups[size_t(at)] : nullptr;
    }
    for (ChannelGroup& g : im->groups)
        if (sameName(g.name, name)) return &g;
    return nullptr;
}

ChannelGroup* findChild(BindIndex* ix, ChannelGroup* group, const char* name) {
    if (!group || !name) return nullptr;
    if (ix && group->children.size() > kIndexedLength) {
        const auto made = ix->children.try_emplace(group);
        if (made.second) made.first->second.build(group->children, groupName);
        const long at = made.first->second.find(name);
        return at >= 0 ? &group->children[size_t(at)] : nullptr;
    }
    for (ChannelGroup& g : group->children)
        if (sameName(g.name, name)) return &g;
    return nullptr;
}

ChannelRef findChannel(BindIndex* ix, ChannelGroup* group, const char* name) {
    if (!group || !name) return 0;
    if (ix && group->channels.size() > kIndexedLength) {
        const auto made = ix->channels.try_emplace(group);
        if (made.second) made.first->second.build(group->channels, channelName);
        const long at = made.first->second.find(name);
        return at >= 0 ? group->channels[size_t(at)].values : 0;
    }
    for (const ChannelRecord& c : group->channels)
        if (sameName(c.name, name)) return c.values;
    return 0;
}

void bindAll(SceneImage* im, BindIndex& index);

const double kRadToDeg = 57.29577951308232;

const char* const kMotionChannels[QE_MOTION_CHANNELS] = {
    "Position.X", "Position.Y", "Position.Z", "Rotation.H", "Rotation.P",
    "Rotation.B", "Scale.X",    "Scale.Y",    "Scale.Z",
};

ChannelGroup* motionGroup(BindIndex* ix, SceneImage* im, const char* name) {
    // "Qirn.World:" and the name, cut to 299 characters like a formatted text of 300 bytes
    static const char kPrefix[] = "Qirn.World:";
    char text[300];
    const size_t prefix = sizeof kPrefix - 1;
    std::memcpy(text, kPrefix, prefix);
    size_t n = std::strlen(name);
    if (n > sizeof text - 1 - prefix) n = sizeof text - 1 - prefix;
    std::memcpy(text + prefix, name, n);
    text[prefix + n] = 0;
    return findGroup(ix, im, text);
}

// Each motion channel from the first channel of its name: one walk over the group, which finds each
// channel at its own place first as files write them in that order.
void bindMotion(ChannelGroup* g, ChannelRef* motion) {
    bool found[QE_MOTION_CHANNELS] = {};
    for (int i = 0; i < QE_MOTION_CHANNELS; ++i) motion[i] = 0;
    int place = 0;
    for (const ChannelRecord& c : g->channels) {
        const int expected = place++;
        int m = expected < QE_MOTION_CHANNELS && sameName(c.name, kMotionChannels[expected]) ? expected : -1;
        for (int i = 0; m < 0 && i < QE_MOTION_CHANNELS; ++i)
            if (sameName(c.name, kMotionChannels[i])) m = i;
        if (m >= 0 && !found[m]) {
            found[m] = true;
            motion[m] = c.values;
        }
    }
}

void bind(BindIndex* ix, ChannelGroup* g, const char* name, ChannelRef* ref) { *ref = findChannel(ix, g, name); }

void bindColor(BindIndex* ix, ChannelGroup* g, const char* prefix, ChannelRef* refs) {
    static const char* const parts[3] = {".R", ".G", ".B"};
    char name[300];
    for (int i = 0; i < 3; ++i) {
        std::snprintf(name, sizeof name, "%s%s", prefix, parts[i]);
        refs[i] = findChannel(ix, g, name);
    }
}

// Shader parameters: one channel named as a float parameter; for a three-float parameter the channels
// "%s.X/Y/Z" when "%s.X" exists, else "%s.R/G/B".
void bindShaderParams(BindIndex* ix, ChannelGroup* g, ShaderBlock& block) {
    if (!g) return;
    char name[100];
    for (ShaderParamRecord& p : block.params) {
        if (p.kind == QE_SHADER_PARAM_FLOAT) {
            p.channel[0] = findChannel(ix, g, p.name);
        } else if (p.kind == QE_SHADER_PARAM_FLOAT3) {
            std::snprintf(name, sizeof name, "%s.X", p.name);
            const bool xyz = findChannel(ix, g, name) != 0;
            static const char* const xyzParts[3] = {"X", "Y", "Z"};
            static const char* const rgbParts[3] = {"R", "G", "B"};
            for (int i = 0; i < 3; ++i) {
                std::snprintf(name, sizeof name, "%s.%s", p.name, xyz ? xyzParts[i] : rgbParts[i]);
                p.channel[i] = findChannel(ix, g, name);
            }
        }
    }
}

void copyShaderText(char* dst, const char* src, size_t n) {
    if (n > QE_SHADER_TEXT - 1) n = QE_SHADER_TEXT - 1;
    std::memcpy(dst, src, n);
    dst[n] = 0;
}

// The value of a node group name: the text after the first ':' up to the first blank.
void nodeValue(const char* groupName, char* dst) {
    const char* v = std::strchr(groupName, ':');
    v = v ? v + 1 : groupName + std::strlen(groupName);
    size_t n = std::strcspn(v, " ");
    copyShaderText(dst, v, n);
}

bool startsWith(const char* s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

void bindNodes(BindIndex* ix, SurfaceRecord& s) {
    if (!s.nodesGroup) return;
    for (ChannelGroup& child : s.nodesGroup->children) {
        if (!child.name) continue;
        if (startsWith(child.name, "Shader:")) {
            nodeValue(child.name, s.shader.fileName);
            s.nodeShader = 1;
        } else if (startsWith(child.name, "ShaderVertexFunction:")) {
            nodeValue(child.name, s.shader.vertexFunction);
        } else if (startsWith(child.name, "ShaderPixelFunction:")) {
            nodeValue(child.name, s.shader.pixelFunction);
        } else if (startsWith(child.name, "ShaderParam:")) {
            ShaderParamRecord p;
            std::memset(&p, 0, sizeof p);
            nodeValue(child.name, p.name);
            p.kind = QE_SHADER_PARAM_FLOAT;
            p.channel[0] = findChannel(ix, &child, "Scalar");
            s.shader.params.push_back(p);
        }
    }
}

// The surface channels and the slot component each binds.
struct SurfaceChannel {
    const char* name;
    int slot;
    int component;
};

const SurfaceChannel kSurfaceChannels[] = {
    {"Color.R", QE_SURF_BASECOLOR, 0},       {"Color.G", QE_SURF_BASECOLOR, 1},
    {"Color.B", QE_SURF_BASECOLOR, 2},       {"Luminosity", QE_SURF_LUMINOSITY, 0},
    {"Diffuse", QE_SURF_DIFFUSE, 0},         {"Specular", QE_SURF_SPECULARITY, 0},
    {"Reflective", QE_SURF_REFLECTIVITY, 0}, {"Transparency", QE_SURF_TRANSPARENCY, 0},
    {"Translucency", QE_SURF_TRANSLUCENCY, 0}, {"Refractive Index", QE_SURF_IOR, 0},
    {"Bump", QE_SURF_BUMP, 0},               {"Glossiness", QE_SURF_GLOSSINESS, 0},
    {"GlowIntensity", QE_SURF_GLOWVALUE, 0}, {"PolygonOutlineSize", QE_SURF_LINESIZE, 0},
    {"VertexColoring", QE_SURF_VERTEXCOLORING, 0},
};
const int kSurfaceChannelCount = int(sizeof kSurfaceChannels / sizeof kSurfaceChannels[0]);

// Each surface channel from the first channel of its name. A short group is walked once, each channel
// taking the field of its name unless an earlier channel of that name took it; a long one is searched
// by name through its table.
void bindSurfaceChannels(BindIndex* ix, ChannelGroup* g, SurfaceSlot* slot) {
    ChannelRef refs[kSurfaceChannelCount] = {};
    if (g && ix && g->channels.size() > kIndexedLength) {
        for (int i = 0; i < kSurfaceChannelCount; ++i) refs[i] = findChannel(ix, g, kSurfaceChannels[i].name);
    } else if (g) {
        bool found[kSurfaceChannelCount] = {};
        for (const ChannelRecord& c : g->channels) {
            for (int i = 0; i < kSurfaceChannelCount; ++i) {
                if (found[i] || !sameName(c.name, kSurfaceChannels[i].name)) continue;
                found[i] = true;
                refs[i] = c.values;
                break;
            }
        }
    }
    for (int i = 0; i < kSurfaceChannelCount; ++i)
        slot[kSurfaceChannels[i].slot].channel[kSurfaceChannels[i].component] = refs[i];
}

void bindSurface(BindIndex* ix, SurfaceRecord& s) {
    ChannelGroup* g = s.group;
    bindSurfaceChannels(ix, g, s.slots);
    s.nodesGroup = findChild(ix, g, "Nodes");
    bindNodes(ix, s);
    bindShaderParams(ix, findChild(ix, findChild(ix, g, "QirnShader"), s.shader.fileName), s.shader);
}

double channelValueAt(const SceneImage* im, ChannelRef c, int frame) {
    if (!c) return 0.0;
    return dumpqirn_ext_vals_get_value(im->file, c, frame);
}

}  // namespace

ChannelGroup* qeSceneFindGroup(SceneImage* im, const char* name) { return findGroup(nullptr, im, name); }

ChannelGroup* qeSceneFindChildGroup(ChannelGroup* group, const char* name) { return findChild(nullptr, group, name); }

ChannelRef qeSceneFindChannel(ChannelGroup* group, const char* name) { return findChannel(nullptr, group, name); }

int qeSceneBindChannels(SceneImage* im) {
    if (!im) return 0;
    BindIndex index;
    index.image = im;
    index.top.build(im->groups, groupName);
    index.objectFiles.build(im->sceneObjects, [](const SceneObjectRecord& so) { return so.fileName; });
    bindAll(im, index);
    return 0;
}

namespace {

void bindAll(SceneImage* im, BindIndex& index) {
    BindIndex* ix = &index;
    // Scene and processing.
    bind(ix, findGroup(ix, im, "MC"), "CameraSelector", &im->scene.cameraSelector);
    ChannelGroup* global = findGroup(ix, im, "Global");
    ProcessingRecord& proc = im->processing;
    bind(ix, global, "ColorSaturation", &proc.colorSaturation.channel);
    bind(ix, global, "GlowIntensity", &proc.glowIntensity.channel);
    bind(ix, global, "GlowRadius", &proc.glowRadius.channel);
    ChannelGroup* qirn = findGroup(ix, im, "Qirn");
    ChannelGroup* rs = findChild(ix, qirn, "QirnRenderSettings");
    RenderSettingsRecord& r = proc.render;
    bind(ix, rs, "CH_STREAK_GLOWMIN", &r.streakGlowMin.channel);
    bindColor(ix, rs, "CH_STREAK_COLORKEY", r.streakColorKey.channel);
    bind(ix, rs, "CH_STREAK_COLORKEYMATCH", &r.streakColorKeyMatch.channel);
    bindColor(ix, rs, "CH_STREAK_COLORIZE", r.streakColorize.channel);
    bind(ix, rs, "CH_STREAK_ATTENUATION", &r.streakAttenuation.channel);
    bind(ix, rs, "CH_STREAK_ANGLE", &r.streakAngle.channel);
    bind(ix, rs, "CH_STREAK_COMPOSE", &r.streakCompose.channel);
    bind(ix, rs, "CH_BLOOM_SPECULARMIN", &r.bloomSpecularMin.channel);
    bind(ix, rs, "CH_BLOOM_COMPOSE", &r.bloomCompose.channel);
    bind(ix, rs, "CH_DOF_MINFOCUSDIST", &r.dofMinFocusDist.channel);
    bind(ix, rs, "CH_DOF_MAXFOCUSDIST", &r.dofMaxFocusDist.channel);
    bind(ix, rs, "CH_DOF_RADIUSSCALE", &r.dofRadiusScale.channel);
    bind(ix, rs, "CH_SSAO_DISTANCEREACH", &r.ssaoDistanceReach.channel);
    bind(ix, rs, "CH_SSAO_MAXDEPTHDECLINE", &r.ssaoMaxDepthDecline.channel);
    bind(ix, rs, "CH_SSAO_DEPTHALIASINGEPSILON", &r.ssaoDepthAliasingEpsilon.channel);
    bind(ix, rs, "CH_SSAO_OUTPUTMULTIPLIER", &r.ssaoOutputMultiplier.channel);
    bind(ix, rs, "CH_SHADOW_EPSILON", &r.shadowEpsilon.channel);
    ChannelGroup* postProc = findChild(ix, qirn, "QirnPostProc");
    for (ImageFilterRecord& f : proc.filters)
        if (f.kind == QE_FILTER_POSTPROC)
            bindShaderParams(ix, findChild(ix, postProc, f.shader.fileName), f.shader);

    // Objects.
    for (ObjectRecord& o : im->objects) {
        if (!o.name) continue;
        if (o.fileName) {
            const long at = index.objectFiles.find(o.fileName);
            if (at >= 0) o.sceneObject = &im->sceneObjects[size_t(at)];
        }
        o.motionGroup = motionGroup(ix, im, o.name);
        if (o.motionGroup) bindMotion(o.motionGroup, o.motion);
    }

    // Lights.
    for (LightRecord& l : im->lights) {
        bindColor(ix, global, "AmbientColor", l.ambient.channel);
        if (!l.name) continue;
        ChannelGroup* mg = motionGroup(ix, im, l.name);
        if (!mg) continue;
        bindMotion(mg, l.motion);
        l.group = findGroup(ix, im, l.name);
        if (!l.group) continue;
        bind(ix, l.group, "Range", &l.range.channel);
        bindColor(ix, l.group, "Color", l.rawColor.channel);
        bind(ix, l.group, "Intensity", &l.intensity.channel);
        bind(ix, l.group, "ConeAngle", &l.coneChannels[0]);
        bind(ix, l.group, "EdgeAngle", &l.coneChannels[1]);
    }

    // Cameras.
    for (CameraRecord& c : im->cameras) {
        if (!c.name) continue;
        ChannelGroup* mg = motionGroup(ix, im, c.name);
        if (!mg) continue;
        bindMotion(mg, c.motion);
        c.group = findGroup(ix, im, c.name);
        if (!c.group) continue;
        bind(ix, c.group, "ZoomFactor", &c.zoomFactor.channel);
        bind(ix, c.group, "FocalDistance", &c.focalDistance.channel);
        bind(ix, c.group, "FStop", &c.fStop.channel);
        bind(ix, c.group, "EyeSeparation", &c.separation.channel);
        bind(ix, c.group, "ConvergencePoint", &c.convergencePoint.channel);
    }

    // Surfaces.
    ChannelGroup* surfaces = findGroup(ix, im, "Surfaces");
    for (SceneObjectRecord& so : im->sceneObjects) {
        if (!so.name) continue;
        ChannelGroup* og = findChild(ix, surfaces, so.name);
        for (SurfaceRecord& s : so.surfaces) {
            if (!s.name) continue;
            s.group = findChild(ix, og, s.name);
            bindSurface(ix, s);
        }
    }

    // Fx emitters.
    for (FxEmitterRecord& e : im->fxEmitters) {
        if (!e.name) continue;
        e.motionGroup = motionGroup(ix, im, e.name);
        if (e.motionGroup) bindMotion(e.motionGroup, e.motion);
        bindShaderParams(ix, findChild(ix, findChild(ix, e.motionGroup, "QirnHVShader"), e.hvShader.fileName),
                         e.hvShader);
        ChannelGroup* fx = findChild(ix, findGroup(ix, im, e.name), "particlefx");
        bind(ix, fx, "birthrate", &e.birthRate.channel);
        bind(ix, fx, "lifetime", &e.lifeTimeChannel);
        bind(ix, fx, "explosion", &e.explosion.channel);
        bind(ix, fx, "vibration", &e.vibration.channel);
        bind(ix, fx, "velocity", &e.velocityPercent.channel);
        bind(ix, fx, "weight", &e.weightChannel);
        bind(ix, fx, "resistance", &e.resistanceChannel);
        bind(ix, fx, "size", &e.sizeChannel);
    }
}

}  // namespace

SceneFramePos qeSceneFrameAt(const SceneImage* im, float t) {
    SceneFramePos p{0, 0, 0.0};
    if (!im) return p;
    const int64_t n = int64_t(im->scene.lastFrame) - int64_t(im->scene.firstFrame) + 1;
    if (n <= 1) return p;  // one frame, or a last frame before the first: always frame 0
    double f = double(im->scene.fps) * double(t) / 1000.0;
    if (!(f > 0.0)) f = 0.0;  // also NaN
    if (f > double(n - 1)) f = double(n - 1);
    double lo = std::floor(f), hi = std::ceil(f);
    if (hi > double(n - 1)) hi = double(n - 1);
    p.lo = int(lo);
    p.hi = int(hi);
    p.weight = hi == lo ? 0.0 : (f - lo) / (hi - lo);
    return p;
}

float qeSceneChannelAt(const SceneImage* im, ChannelRef c, float t) {
    if (!im || !c) return 0.0f;
    SceneFramePos p = qeSceneFrameAt(im, t);
    double v = channelValueAt(im, c, p.hi) * p.weight + channelValueAt(im, c, p.lo) * (1.0 - p.weight);
    return float(v);
}

irr::core::vector3df qeSceneChannel3At(const SceneImage* im, const ChannelRef c[3], float t) {
    return irr::core::vector3df(qeSceneChannelAt(im, c[0], t), qeSceneChannelAt(im, c[1], t),
                                qeSceneChannelAt(im, c[2], t));
}

float qeSceneFloatAt(const SceneImage* im, const AnimatedFloat& v, float t) {
    return v.channel ? qeSceneChannelAt(im, v.channel, t) : v.value;
}

int qeSceneIntAt(const SceneImage* im, const AnimatedFloat& v, float t) {
    float f = qeSceneFloatAt(im, v, t);
    if (!(f > -2147483648.0f && f < 2147483648.0f)) return 0;
    return int(f);
}

irr::core::vector3df qeSceneVectorAt(const SceneImage* im, const AnimatedColor& v, float t) {
    if (!v.channel[0]) return irr::core::vector3df(v.value[0], v.value[1], v.value[2]);
    return qeSceneChannel3At(im, v.channel, t);
}

namespace {

irr::core::vector3df rotationRadians(const SceneImage* im, const ChannelRef c[3], float t) {
    SceneFramePos p = qeSceneFrameAt(im, t);
    irr::core::quaternion a, b;
    a.set(float(channelValueAt(im, c[0], p.lo)), float(channelValueAt(im, c[1], p.lo)),
          float(channelValueAt(im, c[2], p.lo)));
    b.set(float(channelValueAt(im, c[0], p.hi)), float(channelValueAt(im, c[1], p.hi)),
          float(channelValueAt(im, c[2], p.hi)));
    irr::core::quaternion q;
    q.slerp(a, b, float(p.weight));
    irr::core::vector3df e;
    q.toEuler(e);
    return e;
}

irr::core::vector3df toDegrees(const irr::core::vector3df& r) {
    return irr::core::vector3df(float(r.X * kRadToDeg), float(r.Y * kRadToDeg), float(r.Z * kRadToDeg));
}

}  // namespace

irr::core::vector3df qeSceneRotationAt(const SceneImage* im, const ChannelRef c[3], float t) {
    if (!im) return irr::core::vector3df(0, 0, 0);
    return toDegrees(rotationRadians(im, c, t));
}

irr::core::vector3df qeSceneRotationSwappedAt(const SceneImage* im, const ChannelRef c[3], float t) {
    if (!im) return irr::core::vector3df(0, 0, 0);
    irr::core::vector3df r = rotationRadians(im, c, t);
    irr::core::quaternion q;
    q.set(r.X, r.Y, r.Z);
    irr::core::quaternion swapped(q.Y, q.X, q.Z, q.W);
    irr::core::vector3df e;
    swapped.toEuler(e);
    return toDegrees(e);
}
