// Runs a Lua snippet in a test's state.
#ifndef QIRN_TESTS_FRONTENDS_LUA_RUN_H
#define QIRN_TESTS_FRONTENDS_LUA_RUN_H

#include <cstring>
#include <string>

#include "script/script.h"

namespace qetest {

// Runs `code` under the chunk name "t"; gives the error text, or "" when it ran.
inline std::string runLua(lua_State* L, const char* code) {
    if (luaL_loadbuffer(L, code, std::strlen(code), "=t") || lua_pcall(L, 0, 0, 0)) {
        std::string text = lua_tostring(L, -1) ? lua_tostring(L, -1) : "(non-string)";
        lua_pop(L, 1);
        return text;
    }
    return "";
}

}  // namespace qetest

#endif
