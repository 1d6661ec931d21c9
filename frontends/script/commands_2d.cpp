// Script commands of the 2D overlay: ink, boxes and lines, colours, faders, text and images.
#include "commands.h"
#include "draw2d.h"
#include "images.h"

namespace {

int cmdInk(lua_State* L) {
    qeScriptCheckSetup(L);
    qeIrrlichtInk(static_cast<uint32_t>(luaL_checkinteger(L, 1)));
    return qeScriptCheckLastError(L, 0);
}

int cmdInkAlpha(lua_State* L) {
    qeScriptCheckSetup(L);
    qeIrrlichtInkAlpha(static_cast<uint32_t>(luaL_checkinteger(L, 1)));
    return qeScriptCheckLastError(L, 0);
}

// Box and Line: four integers, checked from the last to the first.
template <auto F>
int cmdFourInts(lua_State* L) {
    qeScriptCheckSetup(L);
    int y2 = qeScriptCheckInt(L, 4);
    int x2 = qeScriptCheckInt(L, 3);
    int y1 = qeScriptCheckInt(L, 2);
    int x1 = qeScriptCheckInt(L, 1);
    F(x1, y1, x2, y2);
    return qeScriptCheckLastError(L, 0);
}

int cmdRGB(lua_State* L) {
    qeScriptCheckSetup(L);
    int b = qeScriptCheckInt(L, 3);
    int g = qeScriptCheckInt(L, 2);
    int r = qeScriptCheckInt(L, 1);
    lua_pushinteger(L, static_cast<lua_Integer>(qeIrrlichtRGB(r, g, b)));
    return qeScriptCheckLastError(L, 1);
}

int cmdText(lua_State* L) {
    qeScriptCheckSetup(L);
    const char* text = qeScriptArgsToText(L, 3);
    int y = qeScriptCheckInt(L, 2);
    int x = qeScriptCheckInt(L, 1);
    qeIrrlichtText(x, y, "%s", text);
    return qeScriptCheckLastError(L, 0);
}

int cmdImageExist(lua_State* L) {
    qeScriptCheckSetup(L);
    lua_pushboolean(L, qeIrrlichtImageExist(qeScriptCheckInt(L, 1)) != 0);
    return qeScriptCheckLastError(L, 1);
}

}  // namespace

const luaL_Reg Script2DCommands[] = {
    {"Ink", cmdInk},
    {"InkAlpha", cmdInkAlpha},
    {"Box", cmdFourInts<qeIrrlichtBox>},
    {"Line", cmdFourInts<qeIrrlichtLine>},
    {"RGB", cmdRGB},
    {"StopFade", qeScriptCmdAction<qeIrrlichtStopFade>},
    {"Text", cmdText},
    {"TextColor", qeScriptCmdInteger<qeIrrlichtTextColor>},
    {"TextAlpha", qeScriptCmdInteger<qeIrrlichtTextAlpha>},
    {"ImageExist", cmdImageExist},
    {NULL, NULL},
};
