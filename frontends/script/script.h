#ifndef QIRN_FRONTENDS_SCRIPT_SCRIPT_H
#define QIRN_FRONTENDS_SCRIPT_SCRIPT_H

#include <lua5.2/lua.hpp>

// The script host: one Lua state per run with the standard libraries and the command table "qe".

// Creates the state, loads and runs the script `name`, writes its error (if any) to stderr as one line,
// closes the state. 0 when the script ran to its end, else Lua's load or call status.
int qeScriptExecute(const char* name);
// Registers "qe" as a loaded module and as a global, leaving the stack as it was.
void qeScriptRegisterModule(lua_State* L);
int luaopen_qe(lua_State* L);

// The command tables by group (each closed by {NULL, NULL}), the list closed by NULL, and the number
// of commands in all of them.
extern const luaL_Reg* const ScriptCommandTable[];
int qeScriptCommandCount();

// Binding helpers shared by every command. The checks raise Lua errors (longjmp): callers hold no
// object with a destructor across them.
// Raises "calling '<name>' without Setup first" when the engine is not running.
void qeScriptCheckSetup(lua_State* L);
// Argument k as 0 or 1; anything but true or false raises "boolean expected, got <type>".
int qeScriptCheckBoolean(lua_State* L, int k);
// The optional boolean k: `fallback` when k is beyond the top, else checked as above.
int qeScriptOptBoolean(lua_State* L, int k, int fallback);
// Arguments k..top through the global tostring, joined by single spaces, at most 1023 characters, in
// one static buffer.
const char* qeScriptArgsToText(lua_State* L, int k);
// Raises the pending last error of the engine as a bad-argument error (clearing it); else returns
// `results`.
int qeScriptCheckLastError(lua_State* L, int results);

#endif
