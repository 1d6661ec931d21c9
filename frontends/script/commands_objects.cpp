// Script commands of lights and objects.
#include "commands.h"
#include "engine.h"
#include "lights.h"
#include "log.h"
#include "objects.h"

namespace {

int cmdSetLightShadow(lua_State* L) {
    qeScriptCheckSetup(L);
    int on = qeScriptCheckBoolean(L, 2);
    qeIrrlichtSetLightShadow(qeScriptCheckInt(L, 1), on);
    return qeScriptCheckLastError(L, 0);
}

// InstanceObject and CloneObject. A new ID that is the source's own would lose the source to the replace
// step: the source is looked at first, and the taken ID is refused by the engine.
void instanceObject(int newId, int sourceId) {
    if (newId != sourceId) {
        if (qeIrrlichtObjectExist(newId)) qeIrrlichtDeleteObject(newId);
        qeIrrlichtInstanceObject(newId, sourceId);
    } else if (qeIrrlichtObjectExist(sourceId)) {
        qeIrrlichtInstanceObject(newId, sourceId);
    } else {
        qeLogError(2, "Object ID %d does not exist", sourceId);
    }
}

// The alpha value is not read: the same as GhostObjectOn.
void alphaMappingOn(int id, float) { qeIrrlichtGhostObjectOn(id); }

}  // namespace

const luaL_Reg ScriptObjectCommands[] = {
    {"MakeLight", qeScriptCmd<qeIrrlichtMakeLight>},
    {"SetDirectionalLight", qeScriptCmd<qeIrrlichtSetDirectionalLight>},
    {"SetSpotLight", qeScriptCmd<qeIrrlichtSetSpotLight>},
    {"SetPointLight", qeScriptCmd<qeIrrlichtSetPointLight>},
    {"LightExist", qeScriptCmdBoolean<qeIrrlichtLightExist>},
    {"LightVisible", qeScriptCmdBoolean<qeIrrlichtLightVisible>},
    {"SetLightRotationXYZ", qeScriptCmd<qeScriptIgnore<int>>},
    {"SetLightRotationZYX", qeScriptCmd<qeScriptIgnore<int>>},
    {"SetLightRange", qeScriptCmd<qeIrrlichtSetLightRange>},
    {"ColorLight", qeScriptCmd<qeIrrlichtColorLight>},
    {"SetLightRawColor", qeScriptCmd<qeIrrlichtSetLightRawColor>},
    {"SetLightIntensity", qeScriptCmd<qeIrrlichtSetLightIntensity>},
    {"ShowLight", qeScriptCmd<qeIrrlichtShowLight>},
    {"HideLight", qeScriptCmd<qeIrrlichtHideLight>},
    {"DeleteLight", qeScriptCmd<qeIrrlichtDeleteLight>},
    {"PositionLight", qeScriptCmd<qeIrrlichtPositionLight>},
    {"RotateLight", qeScriptCmd<qeIrrlichtRotateLight>},
    {"ColorAmbientLight", qeScriptCmd<qeIrrlichtColorAmbientLight>},
    {"ColorBackdrop", qeScriptCmd<qeIrrlichtColorBackdrop>},
    {"SetLightShadow", cmdSetLightShadow},
    {"ColorLightShadow", qeScriptCmd<qeIrrlichtColorLightShadow>},
    {"SetShadowMapSize", qeScriptCmd<qeIrrlichtSetShadowMapSize>},
    {"SetShadowMapFuzz", qeScriptCmd<qeIrrlichtSetShadowMapFuzz>},
    {"LoadObject", qeScriptCmdReplace<qeIrrlichtObjectExist, qeIrrlichtDeleteObject, qeIrrlichtLoadObject, 2>},
    {"InstanceObject", qeScriptCmd<instanceObject, QE_RESULT_NONE, QE_FIRST_TO_LAST>},
    {"CloneObject", qeScriptCmd<instanceObject, QE_RESULT_NONE, QE_FIRST_TO_LAST>},
    {"ObjectExist", qeScriptCmdBoolean<qeIrrlichtObjectExist>},
    {"ObjectVisible", qeScriptCmdBoolean<qeIrrlichtObjectVisible>},
    {"ShowObject", qeScriptCmd<qeIrrlichtShowObject>},
    {"HideObject", qeScriptCmd<qeIrrlichtHideObject>},
    {"DeleteObject", qeScriptCmd<qeIrrlichtDeleteObject>},
    {"PositionObject", qeScriptCmd<qeIrrlichtPositionObject>},
    {"RotateObject", qeScriptCmd<qeIrrlichtRotateObject>},
    {"ScaleObject", qeScriptCmd<qeIrrlichtScaleObject>},
    {"TotalObjectFrames", qeScriptCmdInteger<qeIrrlichtTotalObjectFrames>},
    {"SetObjectFrame", qeScriptCmd<qeIrrlichtSetObjectFrame>},
    {"LockObjectOn", qeScriptCmd<qeIrrlichtLockObjectOn>},
    {"LockObjectOff", qeScriptCmd<qeIrrlichtLockObjectOff>},
    {"GetObjectRadius", qeScriptCmd<qeIrrlichtGetObjectRadius, QE_RESULT_NUMBER>},
    {"SetShadowShadingOn", qeScriptCmd<qeIrrlichtSetShadowShadingOn>},
    {"GhostObjectOn", qeScriptCmd<qeIrrlichtGhostObjectOn>},
    {"SetAlphaMappingOn", qeScriptCmd<alphaMappingOn>},
    {"SetObjectRotationXYZ", qeScriptCmd<qeScriptIgnore<int>>},
    {"SetObjectRotationZYX", qeScriptCmd<qeScriptIgnore<int>>},
    {"SetObjectSurfaces", qeScriptCmdNotImplemented},
    {"SetObjectSurfaceParamTex", qeScriptCmdNoSurfaceParameter},
    {"SetObjectSurfaceParamTexImg", qeScriptCmdNoSurfaceParameter},
    {"SetObjectSurfaceParamInt", qeScriptCmdNoSurfaceParameter},
    {"SetObjectSurfaceParamFloat", qeScriptCmdNoSurfaceParameter},
    {"SetObjectSurfaceParamFloat3", qeScriptCmdNoSurfaceParameter},
    {"SetObjectSurfaceEffect", qeScriptCmd<qeScriptIgnore<int, int, int>>},
    {"SetObjectSurfaceEffectTechnique", qeScriptCmd<qeScriptIgnore<int, int, int>>},
    {"UpdateObjectFromSurfaces", qeScriptCmd<qeScriptIgnore<int>>},
    {NULL, NULL},
};
