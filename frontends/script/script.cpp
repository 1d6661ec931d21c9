// The script host run mode: runs a Lua script against the engine from the script's own folder.
#include "script.h"

#include <cstdio>

#include "commands.h"
#include "engine.h"
#include "frontends.h"
#include "log.h"
#include "sys.h"
#include "sysfile.h"

const luaL_Reg* const ScriptCommandTable[] = {ScriptEngineCommands, Script2DCommands, ScriptCameraCommands,
                                             ScriptObjectCommands,  ScriptFxCommands, NULL};

int qeScriptCommandCount() {
    int count = 0;
    for (int group = 0; ScriptCommandTable[group]; ++group)
        for (const luaL_Reg* command = ScriptCommandTable[group]; command->name; ++command) ++count;
    return count;
}

// Each command is a closure of its own (its one upvalue is unused): Lua names a command that was not
// called by a name, as through pcall, by finding the function among the loaded modules, and commands
// that share their code would otherwise all answer to one of their names.
int luaopen_qe(lua_State* L) {
    lua_createtable(L, 0, qeScriptCommandCount());
    for (int group = 0; ScriptCommandTable[group]; ++group) {
        lua_pushboolean(L, 1);
        luaL_setfuncs(L, ScriptCommandTable[group], 1);
    }
    return 1;
}

void qeScriptRegisterModule(lua_State* L) {
    luaL_requiref(L, "qe", luaopen_qe, 1);
    lua_pop(L, 1);
}

int qeScriptExecute(const char* name) {
    lua_State* L = luaL_newstate();
    if (!L) {
        fprintf(stderr, "%s\n", "not enough memory for the script");
        return LUA_ERRMEM;
    }
    luaL_openlibs(L);
    qeScriptRegisterModule(L);
    int status = luaL_loadfilex(L, name, NULL);
    if (status == LUA_OK) status = lua_pcallk(L, 0, LUA_MULTRET, 0, 0, NULL);
    if (status != LUA_OK) {
        const char* text = lua_tolstring(L, -1, NULL);
        if (text)
            fprintf(stderr, "%s\n", text);
        else
            fprintf(stderr, "(error object is a %s value)\n", luaL_typename(L, -1));
        fflush(stderr);
        lua_pop(L, 1);
    }
    lua_close(L);
    return status;
}

int qeScriptRun(const char* script, int) {
    qeSysSetBaseDir(qeSysGetExeDir());
    qeSysWinSetDir(qeSysDirOfPath(script));
    const char* name = qeSysBaseName(script);
    qeLogSetLevel(QE_LOG_NONE);
    qeLogDisableMessageBoxes();
    int status = qeScriptExecute(name);
    qeIrrlichtTerm();
    return status;
}
