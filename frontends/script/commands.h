#ifndef QIRN_FRONTENDS_SCRIPT_COMMANDS_H
#define QIRN_FRONTENDS_SCRIPT_COMMANDS_H

#include "script.h"

// Shapes shared by the commands that take no argument: the Setup check, the engine call, the result,
// the last-error check.
template <auto F>
int qeScriptCmdAction(lua_State* L) {
    qeScriptCheckSetup(L);
    F();
    return qeScriptCheckLastError(L, 0);
}

template <auto F>
int qeScriptCmdBoolean(lua_State* L) {
    qeScriptCheckSetup(L);
    lua_pushboolean(L, F() != 0);
    return qeScriptCheckLastError(L, 1);
}

template <auto F>
int qeScriptCmdInteger(lua_State* L) {
    qeScriptCheckSetup(L);
    lua_pushinteger(L, static_cast<lua_Integer>(F()));
    return qeScriptCheckLastError(L, 1);
}

// Integer argument k as the engine's 32-bit int.
inline int qeScriptCheckInt(lua_State* L, int k) { return static_cast<int>(luaL_checkinteger(L, k)); }

// Shapes of the commands that take one integer.
template <auto F>
int qeScriptCmdIntAction(lua_State* L) {
    qeScriptCheckSetup(L);
    F(qeScriptCheckInt(L, 1));
    return qeScriptCheckLastError(L, 0);
}

template <auto F>
int qeScriptCmdIntBoolean(lua_State* L) {
    qeScriptCheckSetup(L);
    lua_pushboolean(L, F(qeScriptCheckInt(L, 1)) != 0);
    return qeScriptCheckLastError(L, 1);
}

template <auto F>
int qeScriptCmdIntInteger(lua_State* L) {
    qeScriptCheckSetup(L);
    lua_pushinteger(L, static_cast<lua_Integer>(F(qeScriptCheckInt(L, 1))));
    return qeScriptCheckLastError(L, 1);
}

// The commands by group, each a table closed by {NULL, NULL}.
extern const luaL_Reg ScriptEngineCommands[];
extern const luaL_Reg Script2DCommands[];

#endif
