#include "CQeEffectBindEngine.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "IQeRenderServices.h"
#include "IQeSceneManager.h"
#include "defs/IQeEffectDef.h"

using irr::f32;
using irr::s32;
using irr::u32;
using irr::core::matrix4;
using irr::video::IMaterialRendererServices;

namespace {

bool hasSemantic(const SQeFxConstBind* record) { return record->semantic && record->semantic[0]; }

bool isShaderStage(const SQeFxConstBind* record) {
    return record->stage == EQESS_VERTEX || record->stage == EQESS_PIXEL;
}

// The index of the semantic in a null-ended list, or -1.
s32 findSemantic(const char* const* names, const char* semantic) {
    for (s32 i = 0; names[i]; ++i)
        if (std::strcmp(names[i], semantic) == 0) return i;
    return -1;
}

irr::video::IVideoDriver* driverOf(irr::IrrlichtDevice* device) { return device ? device->getVideoDriver() : nullptr; }

}  // namespace

// ---------------------------------------------------------------------------------------------------
// Transforms

namespace {

// In pairs: the plain matrix, then its transpose. The matrix is named by index / 2.
const char* const kTransformSemantics[] = {"View",
                                           "ViewTranspose",
                                           "ViewInverse",
                                           "ViewInverseTranspose",
                                           "World",
                                           "WorldTranspose",
                                           "WorldInverse",
                                           "WorldInverseTranspose",
                                           "Projection",
                                           "ProjectionTranspose",
                                           "WorldView",
                                           "WorldViewTranspose",
                                           "WorldViewInverse",
                                           "WorldViewInverseTranspose",
                                           "ViewProjection",
                                           "ViewProjectionTranspose",
                                           "WorldViewProjection",
                                           "WorldViewProjectionTranspose",
                                           nullptr};

enum ETransformKind {
    TK_VIEW,
    TK_VIEW_INVERSE,
    TK_WORLD,
    TK_WORLD_INVERSE,
    TK_PROJECTION,
    TK_WORLD_VIEW,
    TK_WORLD_VIEW_INVERSE,
    TK_VIEW_PROJECTION,
    TK_WORLD_VIEW_PROJECTION
};

// Products start from the first factor and multiply by the next, so the last factor applies first.
// An inverse that does not exist leaves the matrix as it was.
matrix4 transformOf(irr::video::IVideoDriver* driver, u32 kind) {
    const matrix4& view = driver->getTransform(irr::video::ETS_VIEW);
    const matrix4& world = driver->getTransform(irr::video::ETS_WORLD);
    const matrix4& projection = driver->getTransform(irr::video::ETS_PROJECTION);
    matrix4 m;
    switch (kind) {
    case TK_VIEW:
    case TK_VIEW_INVERSE: m = view; break;
    case TK_WORLD:
    case TK_WORLD_INVERSE: m = world; break;
    case TK_PROJECTION: m = projection; break;
    case TK_WORLD_VIEW:
    case TK_WORLD_VIEW_INVERSE:
        m = view;
        m *= world;
        break;
    case TK_VIEW_PROJECTION:
        m = projection;
        m *= view;
        break;
    default:
        m = projection;
        m *= view;
        m *= world;
        break;
    }
    if (kind == TK_VIEW_INVERSE || kind == TK_WORLD_INVERSE || kind == TK_WORLD_VIEW_INVERSE) m.makeInverse();
    return m;
}

}  // namespace

CQeEffectBindTransform::CQeEffectBindTransform(irr::IrrlichtDevice* device)
    : Device(device), Driver(driverOf(device)) {}

BindSetter CQeEffectBindTransform::getBindFunction(const SQeFxConstBind* record, u32* userData) {
    if (!hasSemantic(record) || !isShaderStage(record)) return nullptr;
    const s32 index = findSemantic(kTransformSemantics, record->semantic);
    if (index < 0) return nullptr;
    userData[0] = static_cast<u32>(index / 2);
    userData[1] = static_cast<u32>(index % 2);  // 1: the transposed form
    return static_cast<BindSetter>(&CQeEffectBindTransform::setMatrix);
}

bool CQeEffectBindTransform::setMatrix(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                       const u32* userData) {
    if (!Driver || !isShaderStage(record)) return false;
    const matrix4 m = transformOf(Driver, userData[0]);
    // Registers take the matrix in the other order than names do.
    const bool byRegister = record->reg != -1;
    const bool transpose = (userData[1] != 0) != byRegister;
    const matrix4 sent = transpose ? m.getTransposed() : m;
    if (byRegister) return qeBindSetByRegister(services, record, sent.pointer(), 4);
    return qeBindSetByName(services, record, sent.pointer(), 16);
}

// ---------------------------------------------------------------------------------------------------
// Time

CQeEffectBindTime::CQeEffectBindTime(irr::IrrlichtDevice* device, IQeSceneManager* sceneManager)
    : Device(device), Driver(driverOf(device)), SceneManager(sceneManager) {}

BindSetter CQeEffectBindTime::getBindFunction(const SQeFxConstBind* record, u32* userData) {
    if (!hasSemantic(record)) return nullptr;
    static const char* const names[] = {"Time", "Time0_X", "TimeScene", nullptr};
    const s32 index = findSemantic(names, record->semantic);
    if (index < 0) return nullptr;
    userData[0] = index == 2 ? 1u : 0u;  // 1: the scene time
    return static_cast<BindSetter>(&CQeEffectBindTime::setTime);
}

bool CQeEffectBindTime::setTime(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                const u32* userData) {
    u32 ms;
    if (userData[0] == 1) {
        if (!SceneManager) return false;
        ms = SceneManager->getSceneTime();
    } else {
        if (!Device || !Device->getTimer()) return false;
        ms = Device->getTimer()->getTime();
    }
    const f32 seconds = static_cast<f32>(ms) / 1000.0f;
    return qeBindSetByName(services, record, &seconds, 1);
}

// ---------------------------------------------------------------------------------------------------
// Screen

// The two integers (a, b) make the value (W, H) when a is 0, else (b / (a W), b / (a H)). The two
// "Quarter" rows carry b = 1, the same values as the full-screen rows.
const BindTableEntry CQeEffectBindScreen::Table[] = {
    {"TargetSize", static_cast<BindSetter>(&CQeEffectBindScreen::setSize<true, true>),
     static_cast<BindSetter>(&CQeEffectBindScreen::setSize<true, false>), {0, 0}},
    {"PixelSize", static_cast<BindSetter>(&CQeEffectBindScreen::setSize<true, true>),
     static_cast<BindSetter>(&CQeEffectBindScreen::setSize<true, false>), {1, 1}},
    {"HalfPixelSize", static_cast<BindSetter>(&CQeEffectBindScreen::setSize<true, true>),
     static_cast<BindSetter>(&CQeEffectBindScreen::setSize<true, false>), {2, 1}},
    {"ScreenSize", static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, true>),
     static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, false>), {0, 0}},
    {"ScreenPixelSize", static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, true>),
     static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, false>), {1, 1}},
    {"ScreenHalfPixelSize", static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, true>),
     static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, false>), {2, 1}},
    {"HalfScreenPixelSize", static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, true>),
     static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, false>), {1, 2}},
    {"HalfScreenHalfPixelSize", static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, true>),
     static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, false>), {2, 2}},
    {"QuarterScreenPixelSize", static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, true>),
     static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, false>), {1, 1}},
    {"QuarterScreenHalfPixelSize", static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, true>),
     static_cast<BindSetter>(&CQeEffectBindScreen::setSize<false, false>), {2, 1}},
    {nullptr, nullptr, nullptr, {0, 0}}};

CQeEffectBindScreen::CQeEffectBindScreen(irr::IrrlichtDevice* device) : Device(device), Driver(driverOf(device)) {}

BindSetter CQeEffectBindScreen::getBindFunction(const SQeFxConstBind* record, u32* userData) {
    if (!hasSemantic(record)) return nullptr;
    for (const BindTableEntry* entry = Table; entry->name; ++entry) {
        if (std::strcmp(entry->name, record->semantic) != 0) continue;
        userData[0] = entry->userData[0];
        userData[1] = entry->userData[1];
        return record->stage == EQESS_VERTEX ? entry->vertexSetter : entry->pixelSetter;
    }
    return nullptr;
}

template <bool Target, bool Vertex>
bool CQeEffectBindScreen::setSize(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                  const u32* userData) {
    if (!Driver) return false;
    const irr::core::dimension2d<u32> size =
        Target ? Driver->getCurrentRenderTargetSize() : Driver->getScreenSize();
    const f32 w = static_cast<f32>(size.Width), h = static_cast<f32>(size.Height);
    f32 value[2] = {w, h};
    if (userData[0] != 0) {
        const f32 a = static_cast<f32>(userData[0]), b = static_cast<f32>(userData[1]);
        value[0] = (1.0f / a) / (w / b);
        value[1] = (1.0f / a) / (h / b);
    }
    const char* name = record->name.c_str();
    return Vertex ? services->setVertexShaderConstant(name, value, 2) : services->setPixelShaderConstant(name, value, 2);
}

// ---------------------------------------------------------------------------------------------------
// Camera

CQeEffectBindCamera::CQeEffectBindCamera(irr::IrrlichtDevice* device) : Device(device), Driver(driverOf(device)) {}

BindSetter CQeEffectBindCamera::getBindFunction(const SQeFxConstBind* record, u32* userData) {
    if (!hasSemantic(record)) return nullptr;
    static const char* const names[] = {"ViewPosition", "FrustrumFarCorners", "ZFarValue", nullptr};
    const s32 index = findSemantic(names, record->semantic);
    if (index < 0) return nullptr;
    userData[0] = static_cast<u32>(index);
    return static_cast<BindSetter>(&CQeEffectBindCamera::setCamera);
}

bool CQeEffectBindCamera::setCamera(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                    const u32* userData) {
    irr::scene::ISceneManager* smgr = Device ? Device->getSceneManager() : nullptr;
    irr::scene::ICameraSceneNode* camera = smgr ? smgr->getActiveCamera() : nullptr;
    // Without a camera there is nothing to tell the shader.
    if (!camera || !Driver) return false;
    switch (userData[0]) {
    case 0: {
        const irr::core::vector3df p = camera->getAbsolutePosition();
        const f32 value[4] = {p.X, p.Y, p.Z, 1.0f};
        return qeBindSetByName(services, record, value, 4);
    }
    case 1: {
        const irr::scene::SViewFrustum* frustum = camera->getViewFrustum();
        const matrix4& view = Driver->getTransform(irr::video::ETS_VIEW);
        irr::core::vector3df corners[4] = {frustum->getFarLeftUp(), frustum->getFarRightUp(),
                                           frustum->getFarLeftDown(), frustum->getFarRightDown()};
        f32 value[12];
        for (u32 i = 0; i < 4; ++i) {
            view.transformVect(corners[i]);
            value[3 * i] = corners[i].X;
            value[3 * i + 1] = corners[i].Y;
            value[3 * i + 2] = corners[i].Z;
        }
        return qeBindSetByName(services, record, value, 12);
    }
    default: {
        const f32 value = camera->getFarValue();
        return qeBindSetByName(services, record, &value, 1);
    }
    }
}

// ---------------------------------------------------------------------------------------------------
// Ambient light

CQeEffectBindLight::CQeEffectBindLight(irr::IrrlichtDevice* device, IQeRenderServices* renderServices)
    : Device(device), Driver(driverOf(device)), RenderServices(renderServices) {}

BindSetter CQeEffectBindLight::getBindFunction(const SQeFxConstBind* record, u32*) {
    if (!hasSemantic(record) || std::strcmp(record->semantic, "LightAmbient") != 0) return nullptr;
    return static_cast<BindSetter>(&CQeEffectBindLight::setAmbient);
}

bool CQeEffectBindLight::setAmbient(IMaterialRendererServices* services, const SQeFxConstBind* record, const u32*) {
    irr::scene::ISceneManager* smgr = Device ? Device->getSceneManager() : nullptr;
    if (!smgr) return false;
    const irr::video::SColorf c = smgr->getAmbientLight();
    const f32 value[4] = {c.r, c.g, c.b, c.a};
    return qeBindSetByName(services, record, value, 4);
}

// ---------------------------------------------------------------------------------------------------
// Dynamic lights

namespace {

const f32 kDegToRad = 0.017453292f;

enum { LP_NUM, LP_INI, LP_PARAMS };

// Offsets of the members of one light record.
enum { LR_COLOR = 0, LR_POSITION = 3, LR_DIRECTION = 6, LR_INV_RADIUS_SQR = 9, LR_SPOT = 10 };

void putVector(f32* at, const irr::core::vector3df& v) {
    at[0] = v.X;
    at[1] = v.Y;
    at[2] = v.Z;
}

// Takes the lights of one kind from the list, in order, while the block has room; returns how many.
s32 collect(const irr::core::array<irr::scene::ISceneNode*>& list, irr::video::E_LIGHT_TYPE type,
            LightParamsBlock& block, s32 first, s32 taken) {
    s32 count = 0;
    for (u32 i = 0; i < list.size() && taken + count < LightParamsBlock::MAX_LIGHTS; ++i) {
        irr::scene::ISceneNode* node = list[i];
        if (!node || node->getType() != irr::scene::ESNT_LIGHT) continue;
        const irr::video::SLight& light = static_cast<irr::scene::ILightSceneNode*>(node)->getLightData();
        if (light.Type != type) continue;
        f32* r = block.lights[first + count];
        r[LR_COLOR] = light.DiffuseColor.r;
        r[LR_COLOR + 1] = light.DiffuseColor.g;
        r[LR_COLOR + 2] = light.DiffuseColor.b;
        if (type != irr::video::ELT_POINT) putVector(r + LR_DIRECTION, light.Direction);
        if (type != irr::video::ELT_DIRECTIONAL) {
            putVector(r + LR_POSITION, light.Position);
            const f32 inverse = 1.0f / light.Radius;
            r[LR_INV_RADIUS_SQR] = inverse * inverse;
        }
        if (type == irr::video::ELT_SPOT) {
            r[LR_SPOT] = std::cos(light.InnerCone * kDegToRad);
            r[LR_SPOT + 1] = std::cos(light.OuterCone * kDegToRad);
        }
        ++count;
    }
    return count;
}

}  // namespace

CQeEffectBindLightParams::CQeEffectBindLightParams(irr::IrrlichtDevice* device, IQeRenderServices* renderServices)
    : Device(device), Driver(driverOf(device)), RenderServices(renderServices), Block(new LightParamsBlock()) {}

CQeEffectBindLightParams::~CQeEffectBindLightParams() { delete Block; }

bool CQeEffectBindLightParams::onSetMaterial(const SQeNodeExtMaterial*, s32) {
    irr::core::array<irr::scene::ISceneNode*> list;
    if (RenderServices) RenderServices->getLightList(list);
    std::memset(Block, 0, sizeof(*Block));
    LightParamsBlock& b = *Block;
    b.dirFirst = 0;
    b.dirCount = collect(list, irr::video::ELT_DIRECTIONAL, b, b.dirFirst, 0);
    b.pointFirst = b.dirCount;
    b.pointCount = collect(list, irr::video::ELT_POINT, b, b.pointFirst, b.dirCount);
    b.spotFirst = b.dirCount + b.pointCount;
    b.spotCount = collect(list, irr::video::ELT_SPOT, b, b.spotFirst, b.spotFirst);
    return true;
}

BindSetter CQeEffectBindLightParams::getBindFunction(const SQeFxConstBind* record, u32* userData) {
    if (record->stage != EQESS_PIXEL || !hasSemantic(record)) return nullptr;
    static const char* const names[] = {"LightsNum", "LightsIni", "LightParams", nullptr};
    const s32 index = findSemantic(names, record->semantic);
    if (index < 0) return nullptr;
    userData[0] = static_cast<u32>(index);
    switch (index) {
    case LP_NUM: return static_cast<BindSetter>(&CQeEffectBindLightParams::setLightsNum);
    case LP_INI: return static_cast<BindSetter>(&CQeEffectBindLightParams::setLightsIni);
    default: return static_cast<BindSetter>(&CQeEffectBindLightParams::setLightParams);
    }
}

bool CQeEffectBindLightParams::setTriple(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                         const char* const names[3], const s32 values[3]) {
    // Without the render services there is no light list to report.
    if (!RenderServices) return false;
    if (record->reg == -1 || record->reg == 0) {
        bool ok = true;
        for (u32 i = 0; i < 3; ++i) {
            const f32 v = static_cast<f32>(values[i]);
            ok = services->setPixelShaderConstant(names[i], &v, 1) && ok;
        }
        return ok;
    }
    f32 registers[12] = {};
    for (u32 i = 0; i < 3; ++i) registers[4 * i] = static_cast<f32>(values[i]);
    services->setPixelShaderConstant(registers, record->reg, 3);
    return true;
}

bool CQeEffectBindLightParams::setLightsNum(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                            const u32*) {
    static const char* const names[3] = {"LightsNum.LightDirsNum", "LightsNum.LightPointsNum",
                                         "LightsNum.LightSpotsNum"};
    const s32 values[3] = {Block->dirCount, Block->pointCount, Block->spotCount};
    return setTriple(services, record, names, values);
}

bool CQeEffectBindLightParams::setLightsIni(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                            const u32*) {
    static const char* const names[3] = {"LightsIni.LightDirsIni", "LightsIni.LightPointsIni",
                                         "LightsIni.LightSpotsIni"};
    const s32 values[3] = {Block->dirFirst, Block->pointFirst, Block->spotFirst};
    return setTriple(services, record, names, values);
}

bool CQeEffectBindLightParams::setLightParams(IMaterialRendererServices* services, const SQeFxConstBind* record,
                                              const u32*) {
    if (!RenderServices) return false;
    if (record->reg == -1 || record->reg == 0) {
        struct Member {
            const char* name;
            s32 offset, count;
        };
        static const Member members[] = {{"LightColor", LR_COLOR, 3},
                                         {"LightPosition", LR_POSITION, 3},
                                         {"LightDirection", LR_DIRECTION, 3},
                                         {"InvLightRadiusSqr", LR_INV_RADIUS_SQR, 1},
                                         {"SpotlightAngles", LR_SPOT, 2}};
        bool ok = true;
        char name[64];
        for (s32 i = 0; i < LightParamsBlock::MAX_LIGHTS; ++i) {
            for (const Member& m : members) {
                std::snprintf(name, sizeof(name), "LightParams[%d].%s", i, m.name);
                ok = services->setPixelShaderConstant(name, Block->lights[i] + m.offset, m.count) && ok;
            }
        }
        return ok;
    }
    // Five registers per light: colour, position, direction, inverse radius squared, spot angles.
    f32 registers[LightParamsBlock::MAX_LIGHTS * 5 * 4] = {};
    for (s32 i = 0; i < LightParamsBlock::MAX_LIGHTS; ++i) {
        const f32* r = Block->lights[i];
        f32* out = registers + 20 * i;
        std::memcpy(out, r + LR_COLOR, 3 * sizeof(f32));
        std::memcpy(out + 4, r + LR_POSITION, 3 * sizeof(f32));
        std::memcpy(out + 8, r + LR_DIRECTION, 3 * sizeof(f32));
        out[12] = r[LR_INV_RADIUS_SQR];
        std::memcpy(out + 16, r + LR_SPOT, 2 * sizeof(f32));
    }
    services->setPixelShaderConstant(registers, record->reg, LightParamsBlock::MAX_LIGHTS * 5);
    return true;
}
