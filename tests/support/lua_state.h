// Script tests: a Lua state with the standard libraries and the "qe" module, and a snippet runner.
#ifndef QIRN_TESTS_LUA_STATE_H
#define QIRN_TESTS_LUA_STATE_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "log.h"
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

class LuaStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        qeLogClearLastError();
        L = luaL_newstate();
        luaL_openlibs(L);
        qeScriptRegisterModule(L);
    }
    void TearDown() override { lua_close(L); }

    std::string run(const char* code) { return runLua(L, code); }
    std::string run(const std::string& code) { return runLua(L, code.c_str()); }
    // The global as tostring shows it ("nil" when unset).
    std::string global(const char* name) {
        lua_getglobal(L, "tostring");
        lua_getglobal(L, name);
        lua_call(L, 1, 1);
        std::string text = lua_tostring(L, -1);
        lua_pop(L, 1);
        return text;
    }

    lua_State* L = nullptr;
};

}  // namespace qetest

#endif
