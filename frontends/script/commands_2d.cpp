// Script commands of the 2D overlay: ink, boxes and lines, colours, faders, text and images.
#include "commands.h"
#include "draw2d.h"
#include "images.h"

namespace {

// Colour arguments that the rows give as integers (0xRRGGBB).
template <auto F>
int cmdIntColour(lua_State* L) {
    qeScriptCheckSetup(L);
    F(static_cast<uint32_t>(luaL_checkinteger(L, 1)));
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

// BoxWithEffect and PasteImageWithEffect: five integers, then an effect ID; last to first.
template <auto F>
int cmdFiveIntsAndEffect(lua_State* L) {
    qeScriptCheckSetup(L);
    int effect = qeScriptCheckInt(L, 6);
    int v[5];
    for (int k = 5; k >= 1; --k) v[k - 1] = qeScriptCheckInt(L, k);
    F(v[0], v[1], v[2], v[3], v[4], effect);
    return qeScriptCheckLastError(L, 0);
}

int cmdBoxWithEffect(lua_State* L) {
    qeScriptCheckSetup(L);
    int effect = qeScriptCheckInt(L, 5);
    int y2 = qeScriptCheckInt(L, 4);
    int x2 = qeScriptCheckInt(L, 3);
    int y1 = qeScriptCheckInt(L, 2);
    int x1 = qeScriptCheckInt(L, 1);
    qeIrrlichtBoxWithEffect(x1, y1, x2, y2, effect);
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

int cmdRGBf(lua_State* L) {
    qeScriptCheckSetup(L);
    float b = static_cast<float>(luaL_checknumber(L, 3));
    float g = static_cast<float>(luaL_checknumber(L, 2));
    float r = static_cast<float>(luaL_checknumber(L, 1));
    lua_pushinteger(L, static_cast<lua_Integer>(qeIrrlichtRGBf(r, g, b)));
    return qeScriptCheckLastError(L, 1);
}

// FadeIn and FadeOut: time in ms, colour.
template <auto F>
int cmdFade(lua_State* L) {
    qeScriptCheckSetup(L);
    uint32_t colour = static_cast<uint32_t>(luaL_checkunsigned(L, 2));
    int time = qeScriptCheckInt(L, 1);
    F(time, colour);
    return qeScriptCheckLastError(L, 0);
}

int cmdText(lua_State* L) {
    qeScriptCheckSetup(L);
    const char* text = qeScriptArgsToText(L, 3);
    int y = qeScriptCheckInt(L, 2);
    int x = qeScriptCheckInt(L, 1);
    qeIrrlichtText(x, y, "%s", text);
    return qeScriptCheckLastError(L, 0);
}

int cmdSetTextFont(lua_State* L) {
    qeScriptCheckSetup(L);
    qeIrrlichtSetTextFont(luaL_checklstring(L, 1, NULL));
    return qeScriptCheckLastError(L, 0);
}

int cmdSetTextColor(lua_State* L) {
    qeScriptCheckSetup(L);
    qeIrrlichtSetTextColor(static_cast<uint32_t>(luaL_checkunsigned(L, 1)));
    return qeScriptCheckLastError(L, 0);
}

int cmdTextFont(lua_State* L) {
    qeScriptCheckSetup(L);
    lua_pushstring(L, qeIrrlichtTextFont());
    return qeScriptCheckLastError(L, 1);
}

// TextWidth and TextHeight: the join of all arguments.
template <auto F>
int cmdTextMeasure(lua_State* L) {
    qeScriptCheckSetup(L);
    lua_pushinteger(L, F("%s", qeScriptArgsToText(L, 1)));
    return qeScriptCheckLastError(L, 1);
}

// The creating commands check first to last and replace what holds the new ID.
int cmdLoadImage(lua_State* L) {
    qeScriptCheckSetup(L);
    const char* file = luaL_checklstring(L, 1, NULL);
    int id = qeScriptCheckInt(L, 2);
    if (qeIrrlichtImageExist(id)) qeIrrlichtDeleteImage(id);
    qeIrrlichtLoadImage(file, id);
    return qeScriptCheckLastError(L, 0);
}

int cmdMakeImage(lua_State* L) {
    qeScriptCheckSetup(L);
    int width = qeScriptCheckInt(L, 1);
    int height = qeScriptCheckInt(L, 2);
    int id = qeScriptCheckInt(L, 3);
    if (qeIrrlichtImageExist(id)) qeIrrlichtDeleteImage(id);
    qeIrrlichtMakeImage(width, height, id);
    return qeScriptCheckLastError(L, 0);
}

int cmdRenderToImage(lua_State* L) {
    qeScriptCheckSetup(L);
    int clear = qeScriptOptBoolean(L, 2, 1);
    qeIrrlichtRenderToImage(qeScriptCheckInt(L, 1), clear);
    return qeScriptCheckLastError(L, 0);
}

int cmdPasteImage(lua_State* L) {
    qeScriptCheckSetup(L);
    int useAlpha = qeScriptOptBoolean(L, 4, 0);
    int y = qeScriptCheckInt(L, 3);
    int x = qeScriptCheckInt(L, 2);
    int id = qeScriptCheckInt(L, 1);
    qeIrrlichtPasteImage(id, x, y, useAlpha);
    return qeScriptCheckLastError(L, 0);
}

int cmdPasteImageStretch(lua_State* L) {
    qeScriptCheckSetup(L);
    int useAlpha = qeScriptOptBoolean(L, 6, 0);
    int v[5];
    for (int k = 5; k >= 1; --k) v[k - 1] = qeScriptCheckInt(L, k);
    qeIrrlichtPasteImageStretch(v[0], v[1], v[2], v[3], v[4], useAlpha);
    return qeScriptCheckLastError(L, 0);
}

}  // namespace

const luaL_Reg Script2DCommands[] = {
    {"Ink", cmdIntColour<qeIrrlichtInk>},
    {"InkAlpha", cmdIntColour<qeIrrlichtInkAlpha>},
    {"Box", cmdFourInts<qeIrrlichtBox>},
    {"BoxWithEffect", cmdBoxWithEffect},
    {"Line", cmdFourInts<qeIrrlichtLine>},
    {"RGB", cmdRGB},
    {"RGBf", cmdRGBf},
    {"FadeIn", cmdFade<qeIrrlichtFadeIn>},
    {"FadeOut", cmdFade<qeIrrlichtFadeOut>},
    {"StopFade", qeScriptCmdAction<qeIrrlichtStopFade>},
    {"Text", cmdText},
    {"SetTextFont", cmdSetTextFont},
    {"SetTextColor", cmdSetTextColor},
    {"SetTextAlpha", qeScriptCmdIntAction<qeIrrlichtSetTextAlpha>},
    {"TextFont", cmdTextFont},
    {"TextColor", qeScriptCmdInteger<qeIrrlichtTextColor>},
    {"TextAlpha", qeScriptCmdInteger<qeIrrlichtTextAlpha>},
    {"TextWidth", cmdTextMeasure<qeIrrlichtTextWidth>},
    {"TextHeight", cmdTextMeasure<qeIrrlichtTextHeight>},
    {"LoadImage", cmdLoadImage},
    {"MakeImage", cmdMakeImage},
    {"RenderToImage", cmdRenderToImage},
    {"SetImageColor", cmdIntColour<qeIrrlichtSetImageColor>},
    {"SetImageAlpha", cmdIntColour<qeIrrlichtSetImageAlpha>},
    {"PasteImage", cmdPasteImage},
    {"PasteImageStretch", cmdPasteImageStretch},
    {"PasteImageWithEffect", cmdFiveIntsAndEffect<qeIrrlichtPasteImageWithEffect>},
    {"ImageExist", qeScriptCmdIntBoolean<qeIrrlichtImageExist>},
    {"DeleteImage", qeScriptCmdIntAction<qeIrrlichtDeleteImage>},
    {"ImageWidth", qeScriptCmdIntInteger<qeIrrlichtImageWidth>},
    {"ImageHeight", qeScriptCmdIntInteger<qeIrrlichtImageHeight>},
    {NULL, NULL},
};
