// Script commands of fx emitters and music.
#include "commands.h"
#include "fxemitter.h"
#include "music.h"

namespace {

// The creating emitter commands: what the new ID (argument 1) holds is deleted first.
template <auto Make>
int cmdMakeEmitter(lua_State* L) {
    return qeScriptCmdReplace<qeIrrlichtFxEmitterExist, qeIrrlichtDeleteFxEmitter, Make, 1>(L);
}

// The variation (argument 3) is optional, 0.0 when not given, and checked first.
int cmdSetFxEmitterLifeTime(lua_State* L) {
    qeScriptCheckSetup(L);
    float variation = lua_gettop(L) >= 3 ? static_cast<float>(luaL_checknumber(L, 3)) : 0.0f;
    float seconds = static_cast<float>(luaL_checknumber(L, 2));
    qeIrrlichtSetFxEmitterLifeTime(qeScriptCheckInt(L, 1), seconds, variation);
    return qeScriptCheckLastError(L, 0);
}

}  // namespace

//! Fx emitters and music
const luaL_Reg ScriptFxCommands[] = {
    //! Fx emitters
    //! Particle emitters under IDs 0-999. Commands that take an emitter ID raise "FxEmitter ID n does not
    //! exist. ..." (#1) for an empty one, but for `FxEmitterExist` and `DeleteFxEmitter`. A new emitter
    //! emits nothing until `SetFxEmitterBirthRate`; its particles live 1 second. The setters marked
    //! "moving" leave a static-mesh emitter as it is.
    /// An emitter whose particles start within a box of size x, y, z around it, drawn with the particle
    /// image file ("" for the engine's default particle). Raises "invalid FxEmitter ID n : ..." (#1) for an
    /// ID out of range, "failed to setup material image" (#2) for an image that cannot be loaded (the ID
    /// is then empty).
    {"MakeFxEmitterBox", cmdMakeEmitter<qeIrrlichtMakeFxEmitterBox>},
    /// As `MakeFxEmitterBox`, within a sphere of size x, y, z.
    {"MakeFxEmitterSphere", cmdMakeEmitter<qeIrrlichtMakeFxEmitterSphere>},
    /// A static-mesh emitter for the object: one lasting particle on each vertex of the object's mesh as
    /// the object shows it, static or animated (where it stands, in the frame it shows). The particles
    /// follow the object, not the emitter's own place, and stay where they are once the object is deleted.
    /// Raises "failed to create FxEmitter node" (#3) for an empty object ID, and the errors of
    /// `MakeFxEmitterBox`.
    {"MakeFxEmitterMeshStatic", cmdMakeEmitter<qeIrrlichtMakeFxEmitterMeshStatic>},
    /// A moving emitter whose particles start at the vertices of the object's mesh. For an empty object
    /// ID it raises "failed to get mesh of object ID n" (#3) and the emitter stays, emitting from its
    /// centre; else the errors of `MakeFxEmitterBox`.
    {"MakeFxEmitterMeshVertices", cmdMakeEmitter<qeIrrlichtMakeFxEmitterMeshVertices>},
    /// As `MakeFxEmitterMeshVertices`, the particles leaving along the vertices' normals.
    {"MakeFxEmitterMeshNormal", cmdMakeEmitter<qeIrrlichtMakeFxEmitterMeshNormal>},
    /// True when the ID holds an emitter.
    {"FxEmitterExist", qeScriptCmdBoolean<qeIrrlichtFxEmitterExist>},
    /// Shows the emitter.
    {"ShowFxEmitter", qeScriptCmd<qeIrrlichtShowFxEmitter>},
    /// Hides the emitter.
    {"HideFxEmitter", qeScriptCmd<qeIrrlichtHideFxEmitter>},
    /// Deletes the emitter; nothing when the ID holds none.
    {"DeleteFxEmitter", qeScriptCmd<qeIrrlichtDeleteFxEmitter>},
    /// Places the emitter at (x, y, z).
    {"PositionFxEmitter", qeScriptCmd<qeIrrlichtPositionFxEmitter>},
    /// Turns the emitter to x, y, z degrees.
    {"RotateFxEmitter", qeScriptCmd<qeIrrlichtRotateFxEmitter>},
    /// The emitter follows the camera: its place and rotation become relative to the camera.
    {"LockFxEmitterOn", qeScriptCmd<qeIrrlichtLockFxEmitterOn>},
    /// The emitter stays in the scene again, with its relative place and rotation as they are.
    {"LockFxEmitterOff", qeScriptCmd<qeIrrlichtLockFxEmitterOff>},
    /// The particles' size: half the width of their square. A new emitter draws as after
    /// `SetFxEmitterParticleSize(0.5)`: squares 1 wide.
    {"SetFxEmitterParticleSize", qeScriptCmd<qeIrrlichtSetFxEmitterParticleSize>},
    /// Moving: the velocity particles start with.
    {"SetFxEmitterVelocity", qeScriptCmd<qeIrrlichtSetFxEmitterVelocity>},
    /// Moving: the share of the emitter's own motion that new particles take.
    {"SetFxEmitterParentMotion", qeScriptCmd<qeIrrlichtSetFxEmitterParentMotion>},
    /// Moving: the acceleration on every particle.
    {"SetFxEmitterGravity", qeScriptCmd<qeIrrlichtSetFxEmitterGravity>},
    /// Moving: particles born per second.
    {"SetFxEmitterBirthRate", qeScriptCmd<qeIrrlichtSetFxEmitterBirthRate>},
    /// (id: integer, seconds: number, [variation: number = 0]) -> nothing
    /// How long particles live, in seconds, give or take variation seconds.
    {"SetFxEmitterLifeTime", cmdSetFxEmitterLifeTime},
    /// The speed at which particles burst out from the emitter's centre.
    {"SetFxEmitterExplosion", qeScriptCmd<qeIrrlichtSetFxEmitterExplosion>},
    /// Moving: how strongly gravity pulls the particles.
    {"SetFxEmitterWeight", qeScriptCmd<qeIrrlichtSetFxEmitterWeight>},
    /// Moving: how much the particles are slowed down.
    {"SetFxEmitterResistance", qeScriptCmd<qeIrrlichtSetFxEmitterResistance>},
    /// Moving: how much the particles shake.
    {"SetFxEmitterVibration", qeScriptCmd<qeIrrlichtSetFxEmitterVibration>},
    /// Moving: the emitter stops after emitting that many particles (0: no limit, as at first) until
    /// `FxResetEmitterEmittedCount`.
    {"SetFxEmitterParticleLimit", qeScriptCmd<qeIrrlichtSetFxEmitterParticleLimit>},
    /// 1 alpha blending (particles sorted by depth), 2 additive, 3 subtractive; other values blend by the
    /// particles' alpha, unsorted.
    {"SetFxEmitterBlendMode", qeScriptCmd<qeIrrlichtSetFxEmitterBlendMode>},
    /// The particles' colour, 0xRRGGBB, instead of the image's own.
    {"SetFxEmitterColor", qeScriptCmd<qeIrrlichtSetFxEmitterColor>},
    /// The particles take the image's own colour again (as at first).
    {"SetFxEmitterUseImageColor", qeScriptCmd<qeIrrlichtSetFxEmitterUseImageColor>},
    /// The particles turn at that many radians per second of their age (0 at first: not turning).
    {"SetFxEmitterRotation", qeScriptCmd<qeIrrlichtSetFxEmitterRotation>},
    /// () -> nothing
    /// Always raises "the function is not implemented" (#-1).
    {"SetFxEmitterSizeGradient", qeScriptCmdNotImplemented},
    /// () -> nothing
    /// Always raises "the function is not implemented" (#-1).
    {"SetFxEmitterColorGradient", qeScriptCmdNotImplemented},
    /// () -> nothing
    /// Always raises "the function is not implemented" (#-1).
    {"SetFxEmitterEffectParameters", qeScriptCmdNotImplemented},
    /// (id: integer, effectId: integer) -> nothing
    /// Checks its arguments and does nothing.
    {"SetFxEmitterEffect", qeScriptCmd<qeScriptIgnore<int, int>>},
    /// (id: integer, technique: integer) -> nothing
    /// Checks its arguments and does nothing.
    {"SetFxEmitterEffectTechnique", qeScriptCmd<qeScriptIgnore<int, int>>},
    /// (id: integer, file: string) -> nothing
    /// Checks its arguments and does nothing.
    {"SetFxEmitterEffectFromFile", qeScriptCmd<qeScriptIgnore<int, const char*>>},
    /// (id: integer) -> nothing
    /// Checks its argument and does nothing.
    {"SetFxEmitterDefaultEffect", qeScriptCmd<qeScriptIgnore<int>>},
    /// Moving: removes the particles alive and starts the count of emitted particles again.
    {"FxResetEmitter", qeScriptCmd<qeIrrlichtFxResetEmitter>},
    /// Moving: starts the count of emitted particles again (see `SetFxEmitterParticleLimit`).
    {"FxResetEmitterEmittedCount", qeScriptCmd<qeIrrlichtFxResetEmitterEmittedCount>},

    //! Music
    //! mp3 files, read whole into memory, under IDs 0-49. Commands that take a music ID raise "Music ID n
    //! does not exist. ..." (#1) for an empty one, but for `MusicExist` and `DeleteMusic`.
    /// Loads the mp3 file under the ID, stopped at its start. Raises "invalid Music ID n : ..." (#2) for an
    /// ID out of range, "Failed to load mp3" (#-1) for a file that cannot be read or decoded,
    /// "Failed to load mp3: the file name is missing or too long" (#1).
    {"LoadMusic", qeScriptCmdReplace<qeIrrlichtMusicExist, qeIrrlichtDeleteMusic, qeIrrlichtLoadMusic, 2>},
    /// True when the ID holds a music.
    {"MusicExist", qeScriptCmdBoolean<qeIrrlichtMusicExist>},
    /// Stops and deletes the music; nothing when the ID holds none.
    {"DeleteMusic", qeScriptCmd<qeIrrlichtDeleteMusic>},
    /// Plays the music; one already playing or paused starts again from the beginning.
    {"PlayMusic", qeScriptCmd<qeIrrlichtPlayMusic>},
    /// Stops the music and goes back to its start.
    {"StopMusic", qeScriptCmd<qeIrrlichtStopMusic>},
    /// Pauses the music where it is.
    {"PauseMusic", qeScriptCmd<qeIrrlichtPauseMusic>},
    /// Plays the music on from where it is.
    {"ResumeMusic", qeScriptCmd<qeIrrlichtResumeMusic>},
    /// Moves the music to ms milliseconds from its start.
    {"SetMusicPosition", qeScriptCmd<qeIrrlichtSetMusicPosition>},
    /// Where the music is, in milliseconds from its start.
    {"GetMusicPosition", qeScriptCmdInteger<qeIrrlichtGetMusicPosition>},
    /// The music's volume in percent: 100 full, 0 silent (on a logarithmic scale in between).
    {"SetMusicVolume", qeScriptCmd<qeIrrlichtSetMusicVolume>},
    /// The music's volume in percent.
    {"MusicVolume", qeScriptCmdInteger<qeIrrlichtMusicVolume>},
    {NULL, NULL},
};
