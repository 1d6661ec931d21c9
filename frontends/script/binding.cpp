// What every script command shares: the Setup check, the integer and colour checks, the strict boolean,
// the text join and the engine's last error turned into a Lua argument error.
#include <cmath>
#include <cstring>

#include "engine.h"
#include "log.h"
#include "commands.h"

namespace {
char g_joined[1024];
}

void qeScriptCheckSetup(lua_State* L) {
    if (qeIrrlichtIsSetup()) return;
    lua_Debug ar;
    const char* name = "?";
    if (lua_getstack(L, 0, &ar) && lua_getinfo(L, "n", &ar) && ar.name) name = ar.name;
    luaL_error(L, "calling '%s' without Setup first", name);
}

namespace {

// What an integer argument holds: the engine's int (IDs, counts, sizes), or either that or an unsigned
// 32-bit value (the 32 bits that Ink and the like keep).
enum IntRange { RANGE_INT, RANGE_BITS };

// Whether the number, rounded to the nearest integer with halves to even (as Lua converts it), is one that
// the range holds. Every range runs from an even integer to an odd one, so a number rounds into
// [low, high] exactly when it lies in [low - 0.5, high + 0.5). NaN fails both tests.
bool roundsInto(lua_Number value, IntRange range) {
    const lua_Number low = -2147483648.0;
    const lua_Number high = range == RANGE_INT ? 2147483647.0 : 4294967295.0;
    return value >= low - 0.5 && value < high + 0.5;
}

// Argument k must be a number (or a numeric string) that rounds into the range. Lua's own conversion
// keeps the low 32 bits of what does not, so NaN, the infinities, 2^53 or 2^32 + 5 would reach the engine
// as some other value.
void checkRoundsInto(lua_State* L, int k, IntRange range) {
    if (!roundsInto(luaL_checknumber(L, k), range))
        luaL_argerror(L, k, "number has no integer representation");
}

}  // namespace

int qeScriptCheckInt(lua_State* L, int k) {
    checkRoundsInto(L, k, RANGE_INT);
    return static_cast<int>(luaL_checkinteger(L, k));
}

uint32_t qeScriptCheckColour(lua_State* L, int k) {
    const lua_Number value = luaL_checknumber(L, k);
    // Below 2^53 every integer is exact in a double, and so is the number's value modulo 2^32; NaN fails
    // the test too.
    if (!(std::fabs(value) < 9007199254740992.0))
        luaL_argerror(L, k, "number has no integer representation");
    // Rounded to the nearest integer, a half to the even one, as an integer argument is. Lua's own
    // conversion adds 1.5 * 2^52, which drops the low bit from 2^51 on: the modulo is taken here.
    lua_Number whole = std::floor(value);
    const lua_Number fraction = value - whole;  // exact below 2^53
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    lua_Number low = std::fmod(whole, 4294967296.0);  // exact, with the sign of whole
    if (low < 0.0) low += 4294967296.0;
    return static_cast<uint32_t>(low);
}

uint32_t qeScriptCheckIntBits(lua_State* L, int k) {
    checkRoundsInto(L, k, RANGE_BITS);
    return static_cast<uint32_t>(luaL_checkunsigned(L, k));
}

int qeScriptCheckBoolean(lua_State* L, int k) {
    if (!lua_isboolean(L, k))
        luaL_argerror(L, k, lua_pushfstring(L, "%s expected, got %s", "boolean", luaL_typename(L, k)));
    return lua_toboolean(L, k) ? 1 : 0;
}

int qeScriptOptBoolean(lua_State* L, int k, int fallback) {
    return k > lua_gettop(L) ? fallback : qeScriptCheckBoolean(L, k);
}

const char* qeScriptArgsToText(lua_State* L, int k) {
    const size_t limit = sizeof g_joined - 1;
    size_t used = 0;
    g_joined[0] = '\0';
    int top = lua_gettop(L);
    lua_getglobal(L, "tostring");
    for (int i = k; i <= top; ++i) {
        lua_pushvalue(L, -1);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        size_t length = 0;
        const char* part = lua_tolstring(L, -1, &length);
        if (!part) luaL_error(L, "'tostring' must return a string to 'Text'");
        if (i > k && used < limit) g_joined[used++] = ' ';
        size_t take = length < limit - used ? length : limit - used;
        memcpy(g_joined + used, part, take);
        used += take;
        g_joined[used] = '\0';
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return g_joined;
}

int qeScriptCheckLastError(lua_State* L, int results) {
    int argument = -1;
    const char* text = qeLogGetLastError(&argument);
    if (!text) return results;
    const char* kept = lua_pushstring(L, text);
    qeLogClearLastError();
    return luaL_argerror(L, argument, kept);
}

int qeScriptCmdNotImplemented(lua_State* L) {
    qeScriptCheckSetup(L);
    return luaL_argerror(L, -1, "the function is not implemented");
}

int qeScriptCmdNoSurfaceParameter(lua_State* L) {
    qeScriptCheckSetup(L);
    luaL_checklstring(L, 3, NULL);
    return luaL_argerror(L, 3, "the parameter does not exist");
}
