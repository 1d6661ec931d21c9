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

//! Lights and objects
const luaL_Reg ScriptObjectCommands[] = {
    //! Lights
    //! Light IDs 0-999. Commands that take a light ID raise "Light ID n does not exist. ..." (#1) for an
    //! empty one, but for `LightExist`, `DeleteLight`, `SetLightRotationXYZ` and `SetLightRotationZYX` (the
    //! last two only check their argument). `Setup` makes light 0.
    /// A new light, shown: a white point light at (0, 0, 0) with no range limit. An ID that holds a light
    /// is not replaced: it raises "invalid Light ID n : id n already exist" (#1), as does an ID out of range.
    {"MakeLight", qeScriptCmd<qeIrrlichtMakeLight>},
    /// Makes it a directional light shining along its rotation, turned to x, y, z degrees.
    {"SetDirectionalLight", qeScriptCmd<qeIrrlichtSetDirectionalLight>},
    /// Makes it a spot light with inner and outer cone angles in degrees; it shines along its rotation.
    {"SetSpotLight", qeScriptCmd<qeIrrlichtSetSpotLight>},
    /// Makes it a point light at (x, y, z).
    {"SetPointLight", qeScriptCmd<qeIrrlichtSetPointLight>},
    /// True when the ID holds a light.
    {"LightExist", qeScriptCmdBoolean<qeIrrlichtLightExist>},
    /// True while the light is shown.
    {"LightVisible", qeScriptCmdBoolean<qeIrrlichtLightVisible>},
    /// (id: integer) -> nothing
    /// Checks its argument and does nothing.
    {"SetLightRotationXYZ", qeScriptCmd<qeScriptIgnore<int>>},
    /// (id: integer) -> nothing
    /// Checks its argument and does nothing.
    {"SetLightRotationZYX", qeScriptCmd<qeScriptIgnore<int>>},
    /// How far the light reaches.
    {"SetLightRange", qeScriptCmd<qeIrrlichtSetLightRange>},
    /// The light's colour, 0xRRGGBB; the intensity goes back to 1.
    {"ColorLight", qeScriptCmd<qeIrrlichtColorLight>},
    /// The light's colour as red, green and blue 0.0-1.0, times its intensity.
    {"SetLightRawColor", qeScriptCmd<qeIrrlichtSetLightRawColor>},
    /// The factor of its raw colour (1 at first).
    {"SetLightIntensity", qeScriptCmd<qeIrrlichtSetLightIntensity>},
    /// Shows the light.
    {"ShowLight", qeScriptCmd<qeIrrlichtShowLight>},
    /// Hides the light.
    {"HideLight", qeScriptCmd<qeIrrlichtHideLight>},
    /// Deletes the light; nothing when the ID holds none.
    {"DeleteLight", qeScriptCmd<qeIrrlichtDeleteLight>},
    /// Places the light at (x, y, z).
    {"PositionLight", qeScriptCmd<qeIrrlichtPositionLight>},
    /// Turns the light to x, y, z degrees.
    {"RotateLight", qeScriptCmd<qeIrrlichtRotateLight>},
    /// The ambient colour, 0xRRGGBB. The first shown light carries it: with no light shown it is lost.
    {"ColorAmbientLight", qeScriptCmd<qeIrrlichtColorAmbientLight>},
    /// The colour the frame is cleared with, 0xRRGGBB.
    {"ColorBackdrop", qeScriptCmd<qeIrrlichtColorBackdrop>},
    /// (id: integer, on: boolean) -> nothing
    /// Whether the light casts shadows (spot and directional lights, in the light pre-pass renderer).
    {"SetLightShadow", cmdSetLightShadow},
    /// The colour of its shadows, 0xRRGGBB.
    {"ColorLightShadow", qeScriptCmd<qeIrrlichtColorLightShadow>},
    /// The size of its shadow map in pixels (512 at first).
    {"SetShadowMapSize", qeScriptCmd<qeIrrlichtSetShadowMapSize>},
    /// How soft its shadows' edges are (0 at first).
    {"SetShadowMapFuzz", qeScriptCmd<qeIrrlichtSetShadowMapFuzz>},

    //! Objects
    //! Object IDs 0-999. Commands that take an object ID raise "Object ID n does not exist. ..." (#1) for
    //! an empty one, but for `ObjectExist`, `DeleteObject` and the commands from `SetObjectRotationXYZ` on,
    //! which do not look the ID up. Placing, turning and scaling leave terrains as they are.
    /// Loads a mesh file (.x, .obj, .lwo...; animated .x meshes keep their animation), or a terrain when the
    /// name holds ".terrain", under the ID, shown. Raises "invalid Object ID n : ..." (#2) for an ID out of
    /// range, "Failed to load mesh 'path'" or "Failed to load terrain 'name'" (#1) for a file that cannot
    /// be read (the ID is then empty). A terrain whose height map is missing first stops on the message box
    /// "Cannot load height map file 'name'" until it is answered.
    {"LoadObject", qeScriptCmdReplace<qeIrrlichtObjectExist, qeIrrlichtDeleteObject, qeIrrlichtLoadObject, 2>},
    /// A new object under newId sharing the mesh of the object sourceId, shown; what newId holds is deleted
    /// first. Raises "Object ID n does not exist" (#2) for an empty source (newId is then empty),
    /// "Terrain not supported" (#2) for a terrain, "invalid Object ID n : ..." (#1) for a newId out of
    /// range or equal to sourceId.
    {"InstanceObject", qeScriptCmd<instanceObject, QE_RESULT_NONE, QE_FIRST_TO_LAST>},
    /// The same as `InstanceObject`: the mesh is shared, not copied.
    {"CloneObject", qeScriptCmd<instanceObject, QE_RESULT_NONE, QE_FIRST_TO_LAST>},
    /// True when the ID holds an object.
    {"ObjectExist", qeScriptCmdBoolean<qeIrrlichtObjectExist>},
    /// True while the object is shown.
    {"ObjectVisible", qeScriptCmdBoolean<qeIrrlichtObjectVisible>},
    /// Shows the object.
    {"ShowObject", qeScriptCmd<qeIrrlichtShowObject>},
    /// Hides the object.
    {"HideObject", qeScriptCmd<qeIrrlichtHideObject>},
    /// Deletes the object (and takes it out of camera collision); nothing when the ID holds none.
    {"DeleteObject", qeScriptCmd<qeIrrlichtDeleteObject>},
    /// Places the object at (x, y, z).
    {"PositionObject", qeScriptCmd<qeIrrlichtPositionObject>},
    /// Turns the object to x, y, z degrees about the three axes.
    {"RotateObject", qeScriptCmd<qeIrrlichtRotateObject>},
    /// Scales the object along its axes, in percent: 100 is its natural size.
    {"ScaleObject", qeScriptCmd<qeIrrlichtScaleObject>},
    /// The number of frames of an animated object; 1 for a static one.
    {"TotalObjectFrames", qeScriptCmdInteger<qeIrrlichtTotalObjectFrames>},
    /// Shows an animated object at that frame, counted from its first; a static object stays as it is.
    {"SetObjectFrame", qeScriptCmd<qeIrrlichtSetObjectFrame>},
    /// The object follows the camera: its place and rotation become relative to the camera.
    {"LockObjectOn", qeScriptCmd<qeIrrlichtLockObjectOn>},
    /// The object stays in the scene again, with its relative place and rotation as they are.
    {"LockObjectOff", qeScriptCmd<qeIrrlichtLockObjectOff>},
    /// The depth (z extent) of the object's mesh bounding box, which the object viewer takes as its size;
    /// 0 for a terrain.
    {"GetObjectRadius", qeScriptCmd<qeIrrlichtGetObjectRadius, QE_RESULT_NUMBER>},
    /// The object casts shadows from the lights that have `SetLightShadow` on (not for terrains).
    {"SetShadowShadingOn", qeScriptCmd<qeIrrlichtSetShadowShadingOn>},
    /// Changes nothing: only the ID is checked.
    {"GhostObjectOn", qeScriptCmd<qeIrrlichtGhostObjectOn>},
    /// (id: integer, alpha: number) -> nothing
    /// Changes nothing: only the ID is checked.
    {"SetAlphaMappingOn", qeScriptCmd<alphaMappingOn>},
    /// (id: integer) -> nothing
    /// Checks its argument and does nothing.
    {"SetObjectRotationXYZ", qeScriptCmd<qeScriptIgnore<int>>},
    /// (id: integer) -> nothing
    /// Checks its argument and does nothing.
    {"SetObjectRotationZYX", qeScriptCmd<qeScriptIgnore<int>>},
    /// () -> nothing
    /// Always raises "the function is not implemented" (#-1).
    {"SetObjectSurfaces", qeScriptCmdNotImplemented},
    /// (id: integer, surface: integer, name: string, file: string) -> nothing
    /// Always raises "the parameter does not exist" (#3): surfaces have no effect parameters. Only the
    /// name is checked.
    {"SetObjectSurfaceParamTex", qeScriptCmdNoSurfaceParameter},
    /// (id: integer, surface: integer, name: string, imageId: integer) -> nothing
    /// Always raises "the parameter does not exist" (#3).
    {"SetObjectSurfaceParamTexImg", qeScriptCmdNoSurfaceParameter},
    /// (id: integer, surface: integer, name: string, value: integer) -> nothing
    /// Always raises "the parameter does not exist" (#3).
    {"SetObjectSurfaceParamInt", qeScriptCmdNoSurfaceParameter},
    /// (id: integer, surface: integer, name: string, value: number) -> nothing
    /// Always raises "the parameter does not exist" (#3).
    {"SetObjectSurfaceParamFloat", qeScriptCmdNoSurfaceParameter},
    /// (id: integer, surface: integer, name: string, x: number, y: number, z: number) -> nothing
    /// Always raises "the parameter does not exist" (#3).
    {"SetObjectSurfaceParamFloat3", qeScriptCmdNoSurfaceParameter},
    /// (id: integer, surface: integer, effectId: integer) -> nothing
    /// Checks its arguments and does nothing.
    {"SetObjectSurfaceEffect", qeScriptCmd<qeScriptIgnore<int, int, int>>},
    /// (id: integer, surface: integer, technique: integer) -> nothing
    /// Checks its arguments and does nothing.
    {"SetObjectSurfaceEffectTechnique", qeScriptCmd<qeScriptIgnore<int, int, int>>},
    /// (id: integer) -> nothing
    /// Checks its argument and does nothing.
    {"UpdateObjectFromSurfaces", qeScriptCmd<qeScriptIgnore<int>>},
    {NULL, NULL},
};
