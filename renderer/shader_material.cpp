#include "shader_material.h"

#include <d3d9.h>
#include <irrlicht.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "IQeGPUProgrammingServices.h"
#include "IQeManager.h"
#include "engine.h"
#include "engine_context.h"
#include "frame.h"
#include "log.h"
#include "lookups.h"
#include "scene_access.h"
#include "shader_object.h"

using namespace irr;

static_assert(sizeof(void*) == sizeof(f32), "material markers keep a pointer in a 32-bit material field");

namespace {

const f32 kDegToRad = 0.017453292f;
enum { kMaxTableLights = 5, kLightFloats = 12 };
enum : u32 { kVertexPresent = 1, kPixelPresent = 2 };

const ShaderLookups kDefaultLookups = {qeIrrlichtGetVisibleObjectId, qeIrrlichtGetObjectNode,
                                       qeIrrlichtGetVisibleLight, qeIrrlichtGetSurfaceChannels};

// What the callback keeps between draws; shared by every shader material.
struct ShaderMaterialState {
    ShaderLookups lookups = kDefaultLookups;
    bool resetRegistered = false;
    // the material being drawn (OnSetMaterial)
    uint32_t marker = 0;
    const void* markerAddress = nullptr;
    bool lightsDirty = true;
    bool raysDirty = true;
    // light table: counts and first indices of directional, point and spot lights, then the entries
    s32 lightCounts[3] = {};
    f32 lights[kMaxTableLights][kLightFloats] = {};
    f32 rays[8][3] = {};  // the four corner starts, then the four ends
    // down-scale offsets and the screen size they were made for
    s32 offsetsWidth = 0;
    s32 offsetsHeight = 0;
    f32 down4x4[32] = {};
    f32 down2x2[8] = {};
    f32 halfDown2x2[8] = {};
};
ShaderMaterialState g_state;

// Shader objects kept with their material types (see qeIrrShaderKeepGpuMaterial). The generation counts
// the devices: an object made by an earlier one is never kept nor handed out again.
struct KeptMaterials {
    core::array<ShaderObject*> shaders;
    uint32_t generation = 1;
};
KeptMaterials g_kept;

// A channel slot's first value as a float, whatever its kind.
f32 channelFloat(const SurfaceChannelEntry& entry) {
    return entry.type == 2 ? static_cast<f32>(entry.value.i[0]) : entry.value.f[0];
}

IDirect3DDevice9* d3dDevice(video::IVideoDriver* driver) {
    if (!driver || driver->getDriverType() != video::EDT_DIRECT3D9) return nullptr;
    return static_cast<IDirect3DDevice9*>(driver->getExposedVideoData().D3D9.D3DDev9);
}

const SurfaceChannelEntry* currentSurfaceChannels() {
    if (g_state.marker != QE_MARKER_SURFACE || !g_state.markerAddress || !g_state.lookups.surfaceChannels)
        return nullptr;
    return g_state.lookups.surfaceChannels(g_state.markerAddress);
}

const ParticleShaderBlock* currentParticleBlock() {
    if (g_state.marker != QE_MARKER_PARTICLE) return nullptr;
    return static_cast<const ParticleShaderBlock*>(g_state.markerAddress);
}

// Sends constants of one shader: by name for HLSL, by register for assembler programs. An HLSL constant
// that the compiled program does not have (present bits, see ShaderObject) is skipped: setting it would
// make the driver log a warning and every variable of the program, at every draw.
class ConstantSender {
public:
    ConstantSender(video::IMaterialRendererServices* services, const ShaderObject* shader, const ShaderParam& param,
                   u32 present)
        : services_(services), hlsl_(shader->hlsl != 0), param_(param), present_(hlsl_ ? present : ~0u),
          device_(d3dDevice(services->getVideoDriver())) {}

    bool hlsl() const { return hlsl_; }

    // The parameter's own values to the programs its flags name.
    void send(const f32* data, int count) {
        if (param_.vertex && (present_ & kVertexPresent))
            sendTo(true, param_.name, param_.registerKind, param_.registerNumber, data, count);
        if (param_.pixel && (present_ & kPixelPresent))
            sendTo(false, param_.name, param_.registerKind, param_.registerNumber, data, count);
    }

    // A 4x4 matrix: the value as given for HLSL, transposed for assembler programs.
    void sendMatrix(const core::matrix4& m) { send(hlsl_ ? m.pointer() : m.getTransposed().pointer(), 16); }

    // Struct member k of an HLSL program, or registers from offset k of the parameter's register.
    void member(bool vertex, const char* name, int k, const f32* data, int count) {
        if (present_ & (1u << k)) sendTo(vertex, name, QE_SHADER_REG_FLOAT, param_.registerNumber + k, data, count);
    }

    // Integer registers (x = the value, y to w zero) of an assembler pixel program.
    void pixelIntegers(const s32* values, int count) {
        if (!device_) return;
        for (int i = 0; i < count; ++i) {
            const int reg[4] = {values[i], 0, 0, 0};
            device_->SetPixelShaderConstantI(static_cast<UINT>(param_.registerNumber + i), reg, 1);
        }
    }

private:
    void sendTo(bool vertex, const char* name, s32 kind, s32 reg, const f32* data, int count) {
        if (count <= 0) return;
        if (hlsl_) {
            if (vertex) services_->setVertexShaderConstant(name, data, count);
            else services_->setPixelShaderConstant(name, data, count);
            return;
        }
        // whole registers from a zero-padded copy: every value arrives and nothing is read past the data
        f32 padded[4 * 25] = {};
        const int registers = (count + 3) / 4;
        if (registers > 25) return;
        std::memcpy(padded, data, sizeof(f32) * count);
        if (kind == QE_SHADER_REG_FLOAT) {
            if (vertex) services_->setVertexShaderConstant(padded, reg, registers);
            else services_->setPixelShaderConstant(padded, reg, registers);
        } else if (kind == QE_SHADER_REG_INT && device_) {
            int ints[4 * 25];
            for (int i = 0; i < registers * 4; ++i) ints[i] = static_cast<int>(padded[i]);
            if (vertex) device_->SetVertexShaderConstantI(static_cast<UINT>(reg), ints, static_cast<UINT>(registers));
            else device_->SetPixelShaderConstantI(static_cast<UINT>(reg), ints, static_cast<UINT>(registers));
        } else if (kind == QE_SHADER_REG_BOOL && device_) {
            BOOL bools[4 * 25];
            for (int i = 0; i < count; ++i) bools[i] = padded[i] != 0.0f;
            if (vertex) device_->SetVertexShaderConstantB(static_cast<UINT>(reg), bools, static_cast<UINT>(count));
            else device_->SetPixelShaderConstantB(static_cast<UINT>(reg), bools, static_cast<UINT>(count));
        }
    }

    video::IMaterialRendererServices* services_;
    bool hlsl_;
    const ShaderParam& param_;
    u32 present_;
    IDirect3DDevice9* device_;
};

void rebuildLightTable() {
    g_state.lightsDirty = false;
    s32* counts = g_state.lightCounts;
    counts[0] = counts[1] = counts[2] = 0;
    static const video::E_LIGHT_TYPE kOrder[3] = {video::ELT_DIRECTIONAL, video::ELT_POINT, video::ELT_SPOT};
    int taken = 0;
    for (int group = 0; group < 3 && g_state.lookups.visibleLight; ++group) {
        for (int n = 0; taken < kMaxTableLights; ++n) {
            scene::ILightSceneNode* node = g_state.lookups.visibleLight(n);
            if (!node) break;
            const video::SLight& light = node->getLightData();
            if (light.Type != kOrder[group]) continue;
            // a point or spot light that reaches nothing takes no entry (its 1 / radius² would be infinite)
            if (light.Type != video::ELT_DIRECTIONAL && !qeIrrlichtLightRangeReaches(light.Radius)) continue;
            f32* e = g_state.lights[taken++];
            ++counts[group];
            e[0] = light.DiffuseColor.r;
            e[1] = light.DiffuseColor.g;
            e[2] = light.DiffuseColor.b;
            if (light.Type != video::ELT_DIRECTIONAL) {
                e[3] = light.Position.X;
                e[4] = light.Position.Y;
                e[5] = light.Position.Z;
                e[9] = 1.0f / (light.Radius * light.Radius);
            }
            if (light.Type != video::ELT_POINT) {
                e[6] = light.Direction.X;
                e[7] = light.Direction.Y;
                e[8] = light.Direction.Z;
            }
            if (light.Type == video::ELT_SPOT) {
                e[10] = static_cast<f32>(std::cos(light.InnerCone * 0.017453292519943295));
                e[11] = static_cast<f32>(std::cos(light.OuterCone * 0.017453292519943295));
            }
        }
    }
}

// The HLSL names of the struct members that a semantic is sent as (the light table to the pixel program,
// the corner rays to the vertex program): their count, 0 for a semantic sent under its own name.
int memberCount(s32 semantic) {
    switch (semantic) {
        case QE_SEM_LIGHTS_INI:
        case QE_SEM_LIGHTS_NUM: return 3;
        case QE_SEM_LIGHT_PARAMS: return kMaxTableLights * 5;
        case QE_SEM_LINE_STARTS_ENDS: return 8;
        default: return 0;
    }
}

const char* const kLightMembers[5] = {"LightColor", "LightPosition", "LightDirection", "InvLightRadiusSqr",
                                      "SpotlightAngles"};

// Member k of the semantic's struct, formatted into the caller's buffer.
const char* memberName(s32 semantic, int k, char* buffer, size_t size) {
    static const char* const kGroups[2][3] = {
        {"LightsIni.LightDirsIni", "LightsIni.LightPointsIni", "LightsIni.LightSpotsIni"},
        {"LightsNum.LightDirsNum", "LightsNum.LightPointsNum", "LightsNum.LightSpotsNum"}};
    switch (semantic) {
        case QE_SEM_LIGHTS_INI: return kGroups[0][k];
        case QE_SEM_LIGHTS_NUM: return kGroups[1][k];
        case QE_SEM_LIGHT_PARAMS: std::snprintf(buffer, size, "LightParams[%d].%s", k / 5, kLightMembers[k % 5]); break;
        default: std::snprintf(buffer, size, "LineStartsEnds.Line%s%d", k < 4 ? "Starts" : "Ends", k % 4); break;
    }
    return buffer;
}

void sendLightIndices(ConstantSender& out, bool counts) {
    if (g_state.lightsDirty) rebuildLightTable();
    const s32* n = g_state.lightCounts;
    const s32 values[3] = {counts ? n[0] : 0, counts ? n[1] : n[0], counts ? n[2] : n[0] + n[1]};
    if (!out.hlsl() && counts) {
        out.pixelIntegers(values, 3);
        return;
    }
    char name[48];
    for (int i = 0; i < 3; ++i) {
        const f32 v = static_cast<f32>(values[i]);
        out.member(false, memberName(counts ? QE_SEM_LIGHTS_NUM : QE_SEM_LIGHTS_INI, i, name, sizeof(name)), i, &v, 1);
    }
}

void sendLightParams(ConstantSender& out) {
    if (g_state.lightsDirty) rebuildLightTable();
    static const int kFirst[5] = {0, 3, 6, 9, 10};
    static const int kCount[5] = {3, 3, 3, 1, 2};
    char name[64];
    for (int k = 0; k < kMaxTableLights * 5; ++k)
        out.member(false, memberName(QE_SEM_LIGHT_PARAMS, k, name, sizeof(name)), k,
                   g_state.lights[k / 5] + kFirst[k % 5], kCount[k % 5]);
}

void sendRays(ConstantSender& out, scene::ICameraSceneNode* camera) {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (g_state.raysDirty) {
        if (!camera || !ctx->smgr || !ctx->driver) return;
        scene::ISceneCollisionManager* collision = ctx->smgr->getSceneCollisionManager();
        const core::rect<s32>& view = ctx->driver->getViewPort();
        const core::position2di corners[4] = {
            view.UpperLeftCorner, core::position2di(view.LowerRightCorner.X, view.UpperLeftCorner.Y),
            core::position2di(view.UpperLeftCorner.X, view.LowerRightCorner.Y), view.LowerRightCorner};
        for (int i = 0; i < 4; ++i) {
            const core::line3df ray = collision->getRayFromScreenCoordinates(corners[i], camera);
            const core::vector3df points[2] = {ray.start, ray.end};
            for (int k = 0; k < 2; ++k) {
                g_state.rays[k * 4 + i][0] = points[k].X;
                g_state.rays[k * 4 + i][1] = points[k].Y;
                g_state.rays[k * 4 + i][2] = points[k].Z;
            }
        }
        g_state.raysDirty = false;
    }
    char name[48];
    for (int i = 0; i < 8; ++i)
        out.member(true, memberName(QE_SEM_LINE_STARTS_ENDS, i, name, sizeof(name)), i, g_state.rays[i], 3);
}

void fillDownScale2x2(f32* table, f32 w, f32 h) {
    for (int r = 0; r < 2; ++r) {
        const f32 y = (r - 0.5f) / h;
        const f32 row[4] = {-0.5f / w, y, 0.5f / w, y};
        std::memcpy(table + r * 4, row, sizeof(row));
    }
}

// The down-scale offsets for the screen size, made again when the size changed since they were made.
void updateDownScaleOffsets(s32 width, s32 height) {
    if (width == g_state.offsetsWidth && height == g_state.offsetsHeight) return;
    g_state.offsetsWidth = width;
    g_state.offsetsHeight = height;
    const f32 w = static_cast<f32>(width);
    const f32 h = static_cast<f32>(height);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            g_state.down4x4[(r * 4 + c) * 2] = (c - 1.5f) / w;
            g_state.down4x4[(r * 4 + c) * 2 + 1] = (r - 1.5f) / h;
        }
    fillDownScale2x2(g_state.down2x2, w, h);
    fillDownScale2x2(g_state.halfDown2x2, w / 2.0f, h / 2.0f);
}

scene::ISceneNode* visibleObjectNode(int n) {
    if (!g_state.lookups.visibleObjectId || !g_state.lookups.objectNode) return nullptr;
    const int id = g_state.lookups.visibleObjectId(n);
    return id < 0 ? nullptr : g_state.lookups.objectNode(id);
}

scene::ILightSceneNode* visibleLight(int n) {
    return g_state.lookups.visibleLight ? g_state.lookups.visibleLight(n) : nullptr;
}

void sendVector4(ConstantSender& out, const core::vector3df& v, f32 w) {
    const f32 data[4] = {v.X, v.Y, v.Z, w};
    out.send(data, 4);
}

void sendColour(ConstantSender& out, const video::SColorf& c) {
    const f32 data[4] = {c.r, c.g, c.b, c.a};
    out.send(data, 4);
}

void sendOne(ConstantSender& out, f32 value) { out.send(&value, 1); }

void sendTwo(ConstantSender& out, f32 x, f32 y) {
    const f32 data[2] = {x, y};
    out.send(data, 2);
}

// Matrix semantics in pairs: the first of a pair is sent transposed, its "Transpose" partner as it is.
void sendMatrixPair(ConstantSender& out, const core::matrix4& m, bool transposed) {
    out.sendMatrix(transposed ? m.getTransposed() : m);
}

void sendObjectValue(ConstantSender& out, int semantic) {
    const int kind = (semantic - QE_SEM_OBJECT_POS0) / 8;
    scene::ISceneNode* node = visibleObjectNode((semantic - QE_SEM_OBJECT_POS0) % 8);
    if (!node) return;
    switch (kind) {
        case 0: sendVector4(out, node->getPosition(), 1.0f); break;
        case 1: sendVector4(out, node->getRotation(), 0.0f); break;
        case 2: {
            const core::vector3df s = node->getScale();
            const f32 data[3] = {s.X, s.Y, s.Z};
            out.send(data, 3);
            break;
        }
        case 3: out.sendMatrix(node->getAbsoluteTransformation()); break;
        default: {
            core::matrix4 inverse;
            node->getAbsoluteTransformation().getInverse(inverse);
            out.sendMatrix(inverse);
            break;
        }
    }
}

void sendLightValue(ConstantSender& out, int semantic) {
    const int n = semantic >= QE_SEM_LIGHT_POS1 ? 1 : 0;
    const int what = (semantic - QE_SEM_LIGHT_POS0) % 4;
    scene::ILightSceneNode* node = visibleLight(n);
    if (!node) {
        if (what == 3) sendColour(out, video::SColorf(0.05f, 0.05f, 0.05f, 0.05f));
        return;
    }
    const video::SLight& light = node->getLightData();
    switch (what) {
        case 0: sendVector4(out, light.Position, 1.0f); break;
        case 1: sendVector4(out, light.Direction, 0.0f); break;
        case 2: sendColour(out, light.DiffuseColor); break;
        default: sendColour(out, light.AmbientColor); break;
    }
}

void sendParticleValue(ConstantSender& out, int semantic) {
    if (semantic == QE_SEM_PARTICLE_TIME_NOW) {
        EngineContext* ctx = qeIrrlichtGetContext();
        if (ctx->device) sendOne(out, static_cast<f32>(ctx->device->getTimer()->getTime()) / 1000.0f);
        return;
    }
    const ParticleShaderBlock* block = currentParticleBlock();
    if (!block) return;
    switch (semantic) {
        case QE_SEM_PARTICLE_COLOR: out.send(block->color, 4); break;
        case QE_SEM_PARTICLE_SIZE: sendOne(out, block->size); break;
        case QE_SEM_PARTICLE_ROTATION: sendOne(out, block->rotation); break;
        case QE_SEM_PARTICLE_GRAD_COLOR_NUM: sendOne(out, static_cast<f32>(block->colorKeyCount)); break;
        case QE_SEM_PARTICLE_GRAD_COLOR_KEY_PARAMS: out.send(block->colorKeys, 8); break;
        case QE_SEM_PARTICLE_GRAD_COLOR_KEY_VALUES: out.send(&block->colorKeyValues[0][0], 36); break;
        case QE_SEM_PARTICLE_GRAD_SIZE_NUM: sendOne(out, static_cast<f32>(block->sizeKeyCount)); break;
        case QE_SEM_PARTICLE_GRAD_SIZE_KEY_PARAMS: out.send(block->sizeKeys, 8); break;
        default: out.send(block->sizeKeyValues, 9); break;
    }
}

void sendSurfaceChannel(ConstantSender& out, int channel) {
    const SurfaceChannelEntry* channels = currentSurfaceChannels();
    if (!channels) return;
    const SurfaceChannelEntry& entry = channels[channel];
    f32 data[3] = {};
    if (entry.type == 0) std::memcpy(data, entry.value.f, sizeof(data));
    else if (entry.type == 1 || entry.type == 2) data[0] = channelFloat(entry);
    out.send(data, 3);
}

void sendSemantic(ConstantSender& out, const ShaderObject* shader, int semantic) {
    EngineContext* ctx = qeIrrlichtGetContext();
    video::IVideoDriver* driver = ctx->driver;
    scene::ICameraSceneNode* camera = ctx->smgr ? ctx->smgr->getActiveCamera() : nullptr;
    const RenderSettings& rs = ctx->render;
    const f32 w = static_cast<f32>(ctx->width);
    const f32 h = static_cast<f32>(ctx->height);
    const f32 fStop = rs.dofFStop > 0.001f ? rs.dofFStop : 0.001f;

    if (semantic >= QE_SEM_PROJECTION && semantic <= QE_SEM_WORLD_TRANSPOSE && semantic != QE_SEM_VIEW_POSITION) {
        if (!driver) return;
        const core::matrix4& proj = driver->getTransform(video::ETS_PROJECTION);
        const core::matrix4& view = driver->getTransform(video::ETS_VIEW);
        const core::matrix4& world = driver->getTransform(video::ETS_WORLD);
        core::matrix4 m;
        switch (semantic) {
            case QE_SEM_PROJECTION: case QE_SEM_PROJECTION_TRANSPOSE: m = proj; break;
            case QE_SEM_VIEW_PROJECTION: case QE_SEM_VIEW_PROJECTION_TRANSPOSE: m = proj * view; break;
            case QE_SEM_VIEW: case QE_SEM_VIEW_TRANSPOSE: m = view; break;
            case QE_SEM_VIEW_INVERSE: case QE_SEM_VIEW_INVERSE_TRANSPOSE: view.getInverse(m); break;
            case QE_SEM_WORLD_VIEW_PROJECTION: case QE_SEM_WORLD_VIEW_PROJECTION_TRANSPOSE: m = proj * view * world; break;
            case QE_SEM_WORLD_VIEW: case QE_SEM_WORLD_VIEW_TRANSPOSE: m = view * world; break;
            case QE_SEM_WORLD_VIEW_INVERSE: case QE_SEM_WORLD_VIEW_INVERSE_TRANSPOSE: (view * world).getInverse(m); break;
            case QE_SEM_WORLD_INVERSE: case QE_SEM_WORLD_INVERSE_TRANSPOSE: world.getInverse(m); break;
            default: m = world; break;
        }
        const bool transposed = semantic == QE_SEM_PROJECTION || semantic == QE_SEM_VIEW_PROJECTION ||
                                semantic == QE_SEM_VIEW || semantic == QE_SEM_VIEW_INVERSE ||
                                semantic == QE_SEM_WORLD_VIEW_PROJECTION || semantic == QE_SEM_WORLD_VIEW ||
                                semantic == QE_SEM_WORLD_VIEW_INVERSE || semantic == QE_SEM_WORLD_INVERSE ||
                                semantic == QE_SEM_WORLD;
        sendMatrixPair(out, m, transposed);
        return;
    }
    if (semantic >= QE_SEM_OBJECT_POS0 && semantic < QE_SEM_LIGHT_POS0) return sendObjectValue(out, semantic);
    if (semantic >= QE_SEM_LIGHT_POS0 && semantic <= QE_SEM_LIGHT_AMBIENT1) return sendLightValue(out, semantic);
    if (semantic >= QE_SEM_PARTICLE_COLOR && semantic <= QE_SEM_PARTICLE_TIME_NOW)
        return sendParticleValue(out, semantic);

    switch (semantic) {
        case QE_SEM_TIME: {
            const f32 t[4] = {shader->time, shader->time, shader->time, shader->time};
            out.send(t, 4);
            break;
        }
        case QE_SEM_VIEW_POSITION:
            if (camera) sendVector4(out, camera->getAbsolutePosition(), 1.0f);
            break;
        case QE_SEM_WORLD_TRANSLATION:
        case QE_SEM_WORLD_ROTATION:
        case QE_SEM_WORLD_SCALE: {
            if (!driver) return;
            const core::matrix4& world = driver->getTransform(video::ETS_WORLD);
            core::vector3df v = semantic == QE_SEM_WORLD_TRANSLATION ? world.getTranslation()
                                : semantic == QE_SEM_WORLD_SCALE     ? world.getScale()
                                                                     : world.getRotationDegrees() * kDegToRad;
            const f32 data[3] = {v.X, v.Y, v.Z};
            out.send(data, 3);
            break;
        }
        case QE_SEM_FRUSTUM_FAR_CORNERS: {
            if (!camera || !driver) return;
            const scene::SViewFrustum* frustum = camera->getViewFrustum();
            const core::matrix4& view = driver->getTransform(video::ETS_VIEW);
            core::vector3df corners[4] = {frustum->getFarLeftUp(), frustum->getFarRightUp(),
                                          frustum->getFarLeftDown(), frustum->getFarRightDown()};
            f32 data[12];
            for (int i = 0; i < 4; ++i) {
                view.transformVect(corners[i]);
                data[i * 3] = corners[i].X;
                data[i * 3 + 1] = corners[i].Y;
                data[i * 3 + 2] = corners[i].Z;
            }
            out.send(data, 12);
            break;
        }
        case QE_SEM_ZFAR_VALUE:
            if (camera) sendOne(out, camera->getFarValue());
            break;
        case QE_SEM_SCREEN_SIZE: sendTwo(out, w, h); break;
        case QE_SEM_PIXEL_SIZE: sendTwo(out, 1.0f / w, 1.0f / h); break;
        case QE_SEM_HALF_PIXEL_SIZE: sendTwo(out, 0.5f / w, 0.5f / h); break;
        case QE_SEM_HALF_SCREEN_HALF_PIXEL_SIZE:
            sendTwo(out, 0.5f / static_cast<f32>(ctx->width / 2), 0.5f / static_cast<f32>(ctx->height / 2));
            break;
        case QE_SEM_QUARTER_SCREEN_HALF_PIXEL_SIZE:
            sendTwo(out, 0.5f / static_cast<f32>(ctx->width / 4), 0.5f / static_cast<f32>(ctx->height / 4));
            break;
        case QE_SEM_FOCAL_DISTANCE: sendOne(out, rs.dofFocalDistance); break;
        case QE_SEM_FSTOP: sendOne(out, rs.dofFStop); break;
        case QE_SEM_FOCAL_RANGE: sendOne(out, 1.0f / (fStop * 500.0f)); break;
        case QE_SEM_DOF_MAX_COC: sendOne(out, 0.4f / fStop); break;
        case QE_SEM_DOF_FOCAL_RANGE_MIN: sendOne(out, rs.advancedDofMinFocus); break;
        case QE_SEM_DOF_FOCAL_RANGE_MAX: sendOne(out, rs.advancedDofMaxFocus); break;
        case QE_SEM_DOF_RADIUS_SCALE: sendOne(out, rs.advancedDofRadiusScale); break;
        case QE_SEM_BLOOM_SPEC_MIN: sendOne(out, rs.bloomOn ? rs.bloomSpecularMin : 2.0f); break;
        case QE_SEM_BLOOM_THRESHOLD: sendOne(out, rs.bloomOn ? 1.0f - rs.bloomCompose : 1.0f); break;
        case QE_SEM_LIGHTS_INI: sendLightIndices(out, false); break;
        case QE_SEM_LIGHTS_NUM: sendLightIndices(out, true); break;
        case QE_SEM_LIGHT_PARAMS: sendLightParams(out); break;
        case QE_SEM_LINE_STARTS_ENDS: sendRays(out, camera); break;
        case QE_SEM_DOWNSCALE_4X4_SAMPLES:
        case QE_SEM_DOWNSCALE_2X2_SAMPLES:
        case QE_SEM_HALF_DOWNSCALE_2X2_SAMPLES:
            updateDownScaleOffsets(ctx->width, ctx->height);
            if (semantic == QE_SEM_DOWNSCALE_4X4_SAMPLES) out.send(g_state.down4x4, 32);
            else out.send(semantic == QE_SEM_DOWNSCALE_2X2_SAMPLES ? g_state.down2x2 : g_state.halfDown2x2, 8);
            break;
        case QE_SEM_SURFACE_ROUGHNESS:
            if (const SurfaceChannelEntry* channels = currentSurfaceChannels())
                sendOne(out, std::pow(2.0f, 10.0f * channelFloat(channels[QE_SHADER_CHANNEL_GLOSSINESS]) + 2.0f));
            break;
        default: break;
    }
}

// The one-texture blend that base materials 5 and 6 map to reads its factors from MaterialTypeParam,
// which holds marker bits (or 0 on a quad): the blend these base materials stand for is set here.
void applyBaseBlend(video::IVideoDriver* driver, const ShaderObject* shader) {
    const int base = shader->content->baseMaterial;
    if (base != QE_SHADER_BASE_ONE_ONE && base != QE_SHADER_BASE_SUB_COLOR) return;
    IDirect3DDevice9* device = d3dDevice(driver);
    if (!device) return;
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device->SetRenderState(D3DRS_SRCBLEND, base == QE_SHADER_BASE_ONE_ONE ? D3DBLEND_ONE : D3DBLEND_ZERO);
    device->SetRenderState(D3DRS_DESTBLEND, base == QE_SHADER_BASE_ONE_ONE ? D3DBLEND_ONE : D3DBLEND_INVSRCCOLOR);
}

bool validBinding(s32 id) {
    return (id >= 0 && id < QE_SEM_COUNT) ||
           (id >= QE_SHADER_CHANNEL_BASE && id < QE_SHADER_CHANNEL_BASE + QE_SHADER_CHANNEL_COUNT);
}

// Whether the compiled program of the material type has the constant; true when that is not known.
bool programHas(IQeGPUProgrammingServices* services, s32 type, bool vertex, const char* name) {
    s32 index = -1;
    return vertex ? services->getVertexShaderConstantRegister(type, name, &index)
                  : services->getPixelShaderConstantRegister(type, name, &index);
}

void findPresentParams(ShaderObject* shader, IQeGPUProgrammingServices* services) {
    const ShaderFileContent* content = shader->content;
    char name[64];
    for (int i = 0; i < content->paramCount; ++i) {
        const ShaderParam& param = content->params[i];
        const int members = param.bound ? memberCount(param.value.id) : 0;
        u32 present = 0;
        for (int k = 0; k < members; ++k) {
            const bool vertex = param.value.id == QE_SEM_LINE_STARTS_ENDS;
            if (programHas(services, shader->materialType, vertex, memberName(param.value.id, k, name, sizeof(name))))
                present |= 1u << k;
        }
        if (!members) {
            if (programHas(services, shader->materialType, true, param.name)) present |= kVertexPresent;
            if (programHas(services, shader->materialType, false, param.name)) present |= kPixelPresent;
        }
        shader->paramPresent[i] = present;
    }
    shader->presenceKnown = 1;
}

void freeTexts(ShaderFileContent* content) {
    std::free(content->vertexText);
    std::free(content->pixelText);
    content->vertexText = nullptr;
    content->pixelText = nullptr;
}

// What a material is compiled from besides the files and macros that hand a kept object out: the entry
// points and base material, and an assembler pair's texts (HLSL programs come from the shader cache,
// which compiles a file, entry and macro list once a run).
core::stringc gpuIdentityOf(const ShaderObject* shader, video::E_MATERIAL_TYPE base) {
    const ShaderFileContent* content = shader->content;
    core::stringc identity = content->vertexEntry;
    identity += "\n";
    identity += content->pixelEntry;
    identity += "\n";
    identity += static_cast<s32>(base);
    if (!shader->hlsl) {
        identity += "\n";
        identity += content->vertexText ? content->vertexText : "";
        identity += "\n";
        identity += content->pixelText ? content->pixelText : "";
    }
    return identity;
}

// A kept object's set-up: its material again, and which parameters its programs have (the new header may
// declare others).
int takeBackMaterial(ShaderObject* shader, s32 type) {
    IQeManager* manager = shader->hlsl ? getQeManager() : nullptr;
    IQeGPUProgrammingServices* services = manager ? manager->getGPUProgrammingServices() : nullptr;
    if (shader->hlsl && !services) return -1;
    shader->materialType = type;
    if (services) findPresentParams(shader, services);
    freeTexts(shader->content);
    return 0;
}

}  // namespace

void qeIrrlichtSetMaterialMarker(video::SMaterial& material, uint32_t marker, const void* address) {
    const uintptr_t bits = reinterpret_cast<uintptr_t>(address);
    std::memcpy(&material.MaterialTypeParam, &marker, sizeof(marker));
    std::memcpy(&material.MaterialTypeParam2, &bits, sizeof(f32));
}

uint32_t qeIrrlichtGetMaterialMarker(const video::SMaterial& material, const void** address) {
    uint32_t marker;
    std::memcpy(&marker, &material.MaterialTypeParam, sizeof(marker));
    if (address) {
        uintptr_t bits = 0;
        std::memcpy(&bits, &material.MaterialTypeParam2, sizeof(f32));
        *address = reinterpret_cast<const void*>(bits);
    }
    return marker;
}

void qeIrrShaderSetLookups(const ShaderLookups* lookups) { g_state.lookups = lookups ? *lookups : kDefaultLookups; }

void qeIrrShaderMaterialReset() {
    const ShaderLookups lookups = g_state.lookups;
    const bool registered = g_state.resetRegistered;
    g_state = ShaderMaterialState{};
    g_state.lookups = lookups;
    g_state.resetRegistered = registered;
    // Their materials went with the device.
    for (u32 i = 0; i < g_kept.shaders.size(); ++i) delete g_kept.shaders[i];
    g_kept.shaders.clear();
    ++g_kept.generation;
}

bool qeIrrShaderKeepGpuMaterial(ShaderObject* shader) {
    // An object handed out again and destroyed before its set-up still has its material.
    const s32 type = shader ? (shader->materialType >= 0 ? shader->materialType : shader->keptMaterialType) : -1;
    if (type < 0 || shader->gpuGeneration != g_kept.generation) return false;
    // A material left on a node would find no content and send nothing.
    qeIrrShaderFreeContent(shader->content);
    shader->content = nullptr;
    shader->keptMaterialType = type;
    shader->materialType = -1;
    shader->time = 0.0f;
    shader->presenceKnown = 0;
    std::memset(shader->paramPresent, 0, sizeof(shader->paramPresent));
    g_kept.shaders.push_back(shader);
    return true;
}

ShaderObject* qeIrrShaderTakeKept(int hlsl, const core::stringc& vertexPath, const core::stringc& pixelPath,
                                  const core::array<core::stringc>& macros) {
    for (u32 i = 0; i < g_kept.shaders.size(); ++i) {
        ShaderObject* shader = g_kept.shaders[i];
        if (shader->hlsl != hlsl || shader->vertexPath != vertexPath || shader->pixelPath != pixelPath ||
            shader->macros.size() != macros.size())
            continue;
        bool same = true;
        for (u32 k = 0; k < macros.size() && same; ++k) same = shader->macros[k] == macros[k];
        if (!same) continue;
        g_kept.shaders.erase(i);
        return shader;
    }
    return nullptr;
}

int qeIrrShaderKeptCount() { return static_cast<int>(g_kept.shaders.size()); }

void MyShaderCallBack::OnSetMaterial(const video::SMaterial& material) {
    g_state.lightsDirty = true;
    g_state.raysDirty = true;
    g_state.marker = qeIrrlichtGetMaterialMarker(material, &g_state.markerAddress);

    EngineContext* ctx = qeIrrlichtGetContext();
    if (!ctx->smgr || ctx->smgr->getSceneNodeRenderPass() != scene::ESNRP_TRANSPARENT) return;
    IDirect3DDevice9* device = d3dDevice(ctx->driver);
    if (!device) return;
    DWORD factor = 0;
    if (const SurfaceChannelEntry* channels = currentSurfaceChannels()) {
        f32 glow = channelFloat(channels[QE_SHADER_CHANNEL_GLOW_VALUE]);
        glow = glow < 0.0f ? 0.0f : (glow > 1.0f ? 1.0f : glow);
        factor = static_cast<DWORD>(static_cast<u32>(glow * 255.0f)) << 24;
    }
    device->SetRenderState(D3DRS_BLENDFACTOR, factor);
}

void MyShaderCallBack::OnSetConstants(video::IMaterialRendererServices* services, s32 userData) {
    const ShaderObject* shader = reinterpret_cast<const ShaderObject*>(static_cast<intptr_t>(userData));
    if (!shader || !shader->content || !services) return;
    applyBaseBlend(services->getVideoDriver(), shader);
    const ShaderFileContent* content = shader->content;
    for (int i = 0; i < content->paramCount; ++i) {
        const ShaderParam& param = content->params[i];
        ConstantSender out(services, shader, param, shader->presenceKnown ? shader->paramPresent[i] : ~0u);
        if (!param.bound) {
            // "float4x4" literals have no values, "floatNRef" ones no reference: nothing to send
            if (param.type != QE_SHADER_TYPE_FLOAT4X4 && param.type != QE_SHADER_TYPE_FLOATNREF)
                out.send(param.value.f, param.components);
            continue;
        }
        const s32 id = param.value.id;
        if (!validBinding(id)) continue;
        if (id >= QE_SHADER_CHANNEL_BASE) sendSurfaceChannel(out, id - QE_SHADER_CHANNEL_BASE);
        else sendSemantic(out, shader, id);
    }
}

int qeIrrShaderSetupGpuMaterial(ShaderObject* shader) {
    EngineContext* ctx = qeIrrlichtGetContext();
    video::IGPUProgrammingServices* gpu = ctx->driver ? ctx->driver->getGPUProgrammingServices() : nullptr;
    if (!gpu || !shader || !shader->content) return -1;
    if (!g_state.resetRegistered) {
        qeIrrlichtRegisterModuleReset(qeIrrShaderMaterialReset, QE_STOP_AFTER_DROP);
        g_state.resetRegistered = true;
    }
    ShaderFileContent* content = shader->content;
    const video::E_MATERIAL_TYPE base = qeIrrShaderGetEngineMaterialType(shader);
    const s32 userData = static_cast<s32>(reinterpret_cast<intptr_t>(shader));
    const core::stringc identity = gpuIdentityOf(shader, base);
    const s32 kept = shader->keptMaterialType;
    shader->keptMaterialType = -1;
    if (kept >= 0 && shader->gpuGeneration == g_kept.generation && identity == shader->gpuIdentity)
        return takeBackMaterial(shader, kept);
    s32 type = -1;
    if (shader->hlsl) {
        if (shader->macros.size() > QE_SHADER_MAX_MACROS) {
            qeLogPrint(QE_LOG_ERROR, "Too many Macros for shader\n");
            return -1;
        }
        IQeManager* manager = getQeManager();
        IQeGPUProgrammingServices* services = manager ? manager->getGPUProgrammingServices() : nullptr;
        if (!services) return -1;
        SQeMacro macros[QE_SHADER_MAX_MACROS + 1] = {};
        for (u32 i = 0; i < shader->macros.size(); ++i) macros[i].Name = shader->macros[i].c_str();
        MyShaderCallBack* callback = new MyShaderCallBack();
        type = services->getShaderMaterial(shader->vertexFile, content->vertexEntry, video::EVST_VS_3_0,
                                           shader->pixelFile, content->pixelEntry, video::EPST_PS_3_0, callback, base,
                                           userData, macros);
        callback->drop();
        if (type == -1) {
            qeLogPrint(QE_LOG_ERROR, "addHighLevelShaderMaterialFromFiles('%s') failed\n", content->vertexFile);
            return -1;
        }
        shader->materialType = type;
        findPresentParams(shader, services);
    } else {
        MyShaderCallBack* callback = new MyShaderCallBack();
        if (content->vertexText && content->pixelText)
            type = gpu->addShaderMaterial(content->vertexText, content->pixelText, callback, base, userData);
        callback->drop();
        if (type == -1) {
            qeLogPrint(QE_LOG_ERROR, "addShaderMaterialFromFiles('%s') failed\n", content->vertexFile);
            return -1;
        }
    }
    shader->materialType = type;
    shader->gpuGeneration = g_kept.generation;
    shader->gpuIdentity = identity;
    freeTexts(content);
    return 0;
}
