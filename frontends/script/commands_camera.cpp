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

//! Camera, camera effects, collision and effects
const luaL_Reg ScriptCameraCommands[] = {
    //! Camera
    //! One camera; it takes a new position or rotation at the next frame.
    /// (near: number, far: number) -> nothing
    /// The near and far clip distances; equal values give 0.1 and 1000.
    {"SetCameraRange", qeScriptCmd<qeIrrlichtSetCameraRange>},
    /// () -> nothing
    /// Does nothing (any arguments are ignored).
    {"SetCameraRotationXYZ", qeScriptCmd<qeScriptIgnore<>>},
    /// () -> nothing
    /// Does nothing (any arguments are ignored).
    {"SetCameraRotationZYX", qeScriptCmd<qeScriptIgnore<>>},
    /// (fov: number) -> nothing
    /// The field of view: fov x 3.14 / 230 radians (90 gives about 70 degrees).
    {"SetCameraFOV", qeScriptCmd<qeIrrlichtSetCameraFOV>},
    /// Depth of field: on (0 off, else on), the distance in focus and the f-stop (larger is sharper).
    {"SetCameraDOF", qeScriptCmd<qeIrrlichtSetCameraDOF>},
    /// The advanced depth of field: on (0 off), the nearest and farthest distances in focus and the blur
    /// radius scale.
    {"SetCameraAdvancedDOF", qeScriptCmd<qeIrrlichtSetCameraAdvancedDOF>},
    /// The stereo camera: on (0 off), the eye separation, focusOn (0 off) and the focus distance. They
    /// take effect in stereo output ("-stereo n" or the setup file).
    {"SetCameraStereo", qeScriptCmd<qeIrrlichtSetCameraStereo>},
    /// Places the camera at (x, y, z).
    {"PositionCamera", qeScriptCmd<qeIrrlichtPositionCamera>},
    /// Turns the camera to x, y, z degrees about the three axes.
    {"RotateCamera", qeScriptCmd<qeIrrlichtRotateCamera>},
    /// 1: free flight with the arrow keys and mouse look; 2: free flight looking around while the left
    /// button drags; any other value: the camera stays where `PositionCamera` and `RotateCamera` put it.
    {"SetCameraMode", qeScriptCmd<qeIrrlichtSetCameraMode>},
    /// The free flight's speed, in units per millisecond.
    {"SetCameraMoveSpeed", qeScriptCmd<qeIrrlichtSetCameraMoveSpeed>},
    /// The free flight's jump speed.
    {"SetCameraJumpSpeed", qeScriptCmd<qeIrrlichtSetCameraJumpSpeed>},

    //! Camera effects
    //! Full-screen shader passes after the frame, under IDs 0-199. They raise no errors: an empty ID is
    //! left alone.
    /// (id: integer, effectId: integer) -> nothing
    /// Makes nothing (effects do not exist), but empties the ID.
    {"MakeCameraEffect",
     qeScriptCmdReplace<qeIrrlichtCameraEffectExist, qeIrrlichtDeleteCameraEffect, qeScriptIgnore<int, int>, 1>},
    /// A camera effect from a shader file with the engine's header (looked for as given, then in the
    /// folders "shaders", "shadersPP"... beside qirn.exe). A file that cannot be made into one, or an ID
    /// out of range, leaves the ID empty without an error: ask `CameraEffectExist`.
    {"MakeCameraEffectFromFile", qeScriptCmdReplace<qeIrrlichtCameraEffectExist, qeIrrlichtDeleteCameraEffect,
                                                    qeIrrlichtMakeCameraEffectFromFile, 1>},
    /// True when the ID holds a camera effect.
    {"CameraEffectExist", qeScriptCmdBoolean<qeIrrlichtCameraEffectExist>},
    /// Deletes the camera effect.
    {"DeleteCameraEffect", qeScriptCmd<qeIrrlichtDeleteCameraEffect>},
    /// Switches the camera effect on; effects run in the order they were switched on.
    {"ShowCameraEffect", qeScriptCmd<qeIrrlichtShowCameraEffect>},
    /// Switches the camera effect off.
    {"HideCameraEffect", qeScriptCmd<qeIrrlichtHideCameraEffect>},
    /// (id: integer, priority: integer) -> nothing
    /// Checks its arguments and does nothing.
    {"SetCameraEffectPriority", qeScriptCmd<qeScriptIgnore<int, int>>},
    /// () -> nothing
    /// Always raises "the function is not implemented" (#-1).
    {"SetCameraEffectParameters", qeScriptCmdNotImplemented},

    //! Collision
    //! The camera collides with the objects switched on here, once `AutomaticCameraCollisionOn` is given.
    /// The object joins the camera's collision world (nothing for an empty ID).
    {"SetObjectCollisionOn", qeScriptCmd<qeIrrlichtSetObjectCollisionOn>},
    /// (id: integer) -> nothing
    /// The object leaves it (nothing for an empty ID).
    {"SetObjectCollisionOff", qeScriptCmd<qeIrrlichtObjRemoveCollision>},
    /// The camera collides with them as a sphere of that radius, pulled down by gravity, the sphere moved
    /// up from the camera by offset.
    {"AutomaticCameraCollisionOn", qeScriptCmd<qeIrrlichtAutomaticCameraCollisionOn>},
    /// The camera moves freely again.
    {"AutomaticCameraCollisionOff", qeScriptCmd<qeIrrlichtAutomaticCameraCollisionOff>},

    //! Effects
    //! Effects do not exist in this engine: these commands check their arguments and do nothing.
    /// (file: string, id: integer) -> nothing
    /// Checks its arguments.
    {"LoadEffect", qeScriptCmd<qeScriptIgnore<const char*, int>, QE_RESULT_NONE, QE_FIRST_TO_LAST>},
    /// (file: string, id: integer, objectId: integer, surface: integer) -> nothing
    /// Checks its arguments.
    {"LoadEffectForObjectSurface",
     qeScriptCmd<qeScriptIgnore<const char*, int, int, int>, QE_RESULT_NONE, QE_FIRST_TO_LAST>},
    /// (file: string, id: integer, emitterId: integer) -> nothing
    /// Checks its arguments.
    {"LoadEffectForFxEmitter", qeScriptCmd<qeScriptIgnore<const char*, int, int>, QE_RESULT_NONE, QE_FIRST_TO_LAST>},
    /// (id: integer) -> boolean
    /// Always false.
    {"EffectExist", qeScriptCmdBoolean<qeScriptFalse<int>>},
    /// (id: integer) -> nothing
    /// Checks its argument.
    {"DeleteEffect", qeScriptCmd<qeScriptIgnore<int>>},
    /// (id: integer, name: string, value: boolean) -> nothing
    /// Checks its arguments.
    {"SetEffectConstantBoolean", cmdSetEffectConstantBoolean},
    /// (id: integer, name: string, value: integer) -> nothing
    /// Checks its arguments.
    {"SetEffectConstantInteger", qeScriptCmd<qeScriptIgnore<int, const char*, int>>},
    /// (id: integer, name: string, value: number) -> nothing
    /// Checks its arguments.
    {"SetEffectConstantFloat", qeScriptCmd<qeScriptIgnore<int, const char*, float>>},
    /// (id: integer, name: string, values...: number) -> nothing
    /// Checks the ID and the name; up to 16 values (what is not a number counts as 0), a 17th raises
    /// "too much floats parameters" (#-1).
    {"SetEffectConstantFloatN", cmdSetEffectConstantFloatN},
    /// (id: integer, name: string, file: string) -> nothing
    /// Checks its arguments.
    {"SetEffectTexture", qeScriptCmd<qeScriptIgnore<int, const char*, const char*>>},
    /// (id: integer, name: string, imageId: integer) -> nothing
    /// Checks its arguments.
    {"SetEffectTextureImage", qeScriptCmd<qeScriptIgnore<int, const char*, int>>},
    {NULL, NULL},
};
