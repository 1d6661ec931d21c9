// Script commands of the camera, camera effects, camera collision and the effects (which have no
// engine side: they validate their arguments and do nothing).
#include "camera_effects.h"
#include "collision.h"
#include "commands.h"
#include "facade.h"

namespace {

int cmdSetEffectConstantBoolean(lua_State* L) {
    qeScriptCheckSetup(L);
    qeScriptCheckBoolean(L, 3);
    luaL_checklstring(L, 2, NULL);
    qeScriptCheckInt(L, 1);
    return qeScriptCheckLastError(L, 0);
}

// At most 16 floats; a value that is not a number counts as 0.
int cmdSetEffectConstantFloatN(lua_State* L) {
    qeScriptCheckSetup(L);
    const int top = lua_gettop(L);
    for (int k = 3, count = 1; k <= top; ++k, ++count) {
        lua_tonumberx(L, k, NULL);
        if (count == 17) return luaL_argerror(L, -1, "too much floats parameters");
    }
    luaL_checklstring(L, 2, NULL);
    qeScriptCheckInt(L, 1);
    return qeScriptCheckLastError(L, 0);
}

}  // namespace

const luaL_Reg ScriptCameraCommands[] = {
    {"SetCameraRange", qeScriptCmd<qeIrrlichtSetCameraRange>},
    {"SetCameraRotationXYZ", qeScriptCmd<qeScriptIgnore<>>},
    {"SetCameraRotationZYX", qeScriptCmd<qeScriptIgnore<>>},
    {"SetCameraFOV", qeScriptCmd<qeIrrlichtSetCameraFOV>},
    {"SetCameraDOF", qeScriptCmd<qeIrrlichtSetCameraDOF>},
    {"SetCameraAdvancedDOF", qeScriptCmd<qeIrrlichtSetCameraAdvancedDOF>},
    {"SetCameraStereo", qeScriptCmd<qeIrrlichtSetCameraStereo>},
    {"PositionCamera", qeScriptCmd<qeIrrlichtPositionCamera>},
    {"RotateCamera", qeScriptCmd<qeIrrlichtRotateCamera>},
    {"SetCameraMode", qeScriptCmd<qeIrrlichtSetCameraMode>},
    {"SetCameraMoveSpeed", qeScriptCmd<qeIrrlichtSetCameraMoveSpeed>},
    {"SetCameraJumpSpeed", qeScriptCmd<qeIrrlichtSetCameraJumpSpeed>},
    // Camera effects made from effects do not exist: the command only empties its new ID.
    {"MakeCameraEffect",
     qeScriptCmdReplace<qeIrrlichtCameraEffectExist, qeIrrlichtDeleteCameraEffect, qeScriptIgnore<int, int>, 1>},
    {"MakeCameraEffectFromFile", qeScriptCmdReplace<qeIrrlichtCameraEffectExist, qeIrrlichtDeleteCameraEffect,
                                                    qeIrrlichtMakeCameraEffectFromFile, 1>},
    {"CameraEffectExist", qeScriptCmdBoolean<qeIrrlichtCameraEffectExist>},
    {"DeleteCameraEffect", qeScriptCmd<qeIrrlichtDeleteCameraEffect>},
    {"ShowCameraEffect", qeScriptCmd<qeIrrlichtShowCameraEffect>},
    {"HideCameraEffect", qeScriptCmd<qeIrrlichtHideCameraEffect>},
    {"SetCameraEffectPriority", qeScriptCmd<qeScriptIgnore<int, int>>},
    {"SetCameraEffectParameters", qeScriptCmdNotImplemented},
    {"SetObjectCollisionOn", qeScriptCmd<qeIrrlichtSetObjectCollisionOn>},
    {"SetObjectCollisionOff", qeScriptCmd<qeIrrlichtObjRemoveCollision>},
    {"AutomaticCameraCollisionOn", qeScriptCmd<qeIrrlichtAutomaticCameraCollisionOn>},
    {"AutomaticCameraCollisionOff", qeScriptCmd<qeIrrlichtAutomaticCameraCollisionOff>},
    {"LoadEffect", qeScriptCmd<qeScriptIgnore<const char*, int>, QE_RESULT_NONE, QE_FIRST_TO_LAST>},
    {"LoadEffectForObjectSurface",
     qeScriptCmd<qeScriptIgnore<const char*, int, int, int>, QE_RESULT_NONE, QE_FIRST_TO_LAST>},
    {"LoadEffectForFxEmitter", qeScriptCmd<qeScriptIgnore<const char*, int, int>, QE_RESULT_NONE, QE_FIRST_TO_LAST>},
    {"EffectExist", qeScriptCmdBoolean<qeScriptFalse<int>>},
    {"DeleteEffect", qeScriptCmd<qeScriptIgnore<int>>},
    {"SetEffectConstantBoolean", cmdSetEffectConstantBoolean},
    {"SetEffectConstantInteger", qeScriptCmd<qeScriptIgnore<int, const char*, int>>},
    {"SetEffectConstantFloat", qeScriptCmd<qeScriptIgnore<int, const char*, float>>},
    {"SetEffectConstantFloatN", cmdSetEffectConstantFloatN},
    {"SetEffectTexture", qeScriptCmd<qeScriptIgnore<int, const char*, const char*>>},
    {"SetEffectTextureImage", qeScriptCmd<qeScriptIgnore<int, const char*, int>>},
    {NULL, NULL},
};
