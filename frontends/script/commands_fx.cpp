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

const luaL_Reg ScriptFxCommands[] = {
    {"MakeFxEmitterBox", cmdMakeEmitter<qeIrrlichtMakeFxEmitterBox>},
    {"MakeFxEmitterSphere", cmdMakeEmitter<qeIrrlichtMakeFxEmitterSphere>},
    {"MakeFxEmitterMeshStatic", cmdMakeEmitter<qeIrrlichtMakeFxEmitterMeshStatic>},
    {"MakeFxEmitterMeshVertices", cmdMakeEmitter<qeIrrlichtMakeFxEmitterMeshVertices>},
    {"MakeFxEmitterMeshNormal", cmdMakeEmitter<qeIrrlichtMakeFxEmitterMeshNormal>},
    {"FxEmitterExist", qeScriptCmdBoolean<qeIrrlichtFxEmitterExist>},
    {"ShowFxEmitter", qeScriptCmd<qeIrrlichtShowFxEmitter>},
    {"HideFxEmitter", qeScriptCmd<qeIrrlichtHideFxEmitter>},
    {"DeleteFxEmitter", qeScriptCmd<qeIrrlichtDeleteFxEmitter>},
    {"PositionFxEmitter", qeScriptCmd<qeIrrlichtPositionFxEmitter>},
    {"RotateFxEmitter", qeScriptCmd<qeIrrlichtRotateFxEmitter>},
    {"LockFxEmitterOn", qeScriptCmd<qeIrrlichtLockFxEmitterOn>},
    {"LockFxEmitterOff", qeScriptCmd<qeIrrlichtLockFxEmitterOff>},
    {"SetFxEmitterParticleSize", qeScriptCmd<qeIrrlichtSetFxEmitterParticleSize>},
    {"SetFxEmitterVelocity", qeScriptCmd<qeIrrlichtSetFxEmitterVelocity>},
    {"SetFxEmitterParentMotion", qeScriptCmd<qeIrrlichtSetFxEmitterParentMotion>},
    {"SetFxEmitterGravity", qeScriptCmd<qeIrrlichtSetFxEmitterGravity>},
    {"SetFxEmitterBirthRate", qeScriptCmd<qeIrrlichtSetFxEmitterBirthRate>},
    {"SetFxEmitterLifeTime", cmdSetFxEmitterLifeTime},
    {"SetFxEmitterExplosion", qeScriptCmd<qeIrrlichtSetFxEmitterExplosion>},
    {"SetFxEmitterWeight", qeScriptCmd<qeIrrlichtSetFxEmitterWeight>},
    {"SetFxEmitterResistance", qeScriptCmd<qeIrrlichtSetFxEmitterResistance>},
    {"SetFxEmitterVibration", qeScriptCmd<qeIrrlichtSetFxEmitterVibration>},
    {"SetFxEmitterParticleLimit", qeScriptCmd<qeIrrlichtSetFxEmitterParticleLimit>},
    {"SetFxEmitterBlendMode", qeScriptCmd<qeIrrlichtSetFxEmitterBlendMode>},
    {"SetFxEmitterColor", qeScriptCmd<qeIrrlichtSetFxEmitterColor>},
    {"SetFxEmitterUseImageColor", qeScriptCmd<qeIrrlichtSetFxEmitterUseImageColor>},
    {"SetFxEmitterRotation", qeScriptCmd<qeIrrlichtSetFxEmitterRotation>},
    {"SetFxEmitterSizeGradient", qeScriptCmdNotImplemented},
    {"SetFxEmitterColorGradient", qeScriptCmdNotImplemented},
    {"SetFxEmitterEffectParameters", qeScriptCmdNotImplemented},
    {"SetFxEmitterEffect", qeScriptCmd<qeScriptIgnore<int, int>>},
    {"SetFxEmitterEffectTechnique", qeScriptCmd<qeScriptIgnore<int, int>>},
    {"SetFxEmitterEffectFromFile", qeScriptCmd<qeScriptIgnore<int, const char*>>},
    {"SetFxEmitterDefaultEffect", qeScriptCmd<qeScriptIgnore<int>>},
    {"FxResetEmitter", qeScriptCmd<qeIrrlichtFxResetEmitter>},
    {"FxResetEmitterEmittedCount", qeScriptCmd<qeIrrlichtFxResetEmitterEmittedCount>},
    {"LoadMusic", qeScriptCmdReplace<qeIrrlichtMusicExist, qeIrrlichtDeleteMusic, qeIrrlichtLoadMusic, 2>},
    {"MusicExist", qeScriptCmdBoolean<qeIrrlichtMusicExist>},
    {"DeleteMusic", qeScriptCmd<qeIrrlichtDeleteMusic>},
    {"PlayMusic", qeScriptCmd<qeIrrlichtPlayMusic>},
    {"StopMusic", qeScriptCmd<qeIrrlichtStopMusic>},
    {"PauseMusic", qeScriptCmd<qeIrrlichtPauseMusic>},
    {"ResumeMusic", qeScriptCmd<qeIrrlichtResumeMusic>},
    {"SetMusicPosition", qeScriptCmd<qeIrrlichtSetMusicPosition>},
    {"GetMusicPosition", qeScriptCmdInteger<qeIrrlichtGetMusicPosition>},
    {"SetMusicVolume", qeScriptCmd<qeIrrlichtSetMusicVolume>},
    {"MusicVolume", qeScriptCmdInteger<qeIrrlichtMusicVolume>},
    {NULL, NULL},
};
