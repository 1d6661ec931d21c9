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

int cmdText(lua_State* L) {
    qeScriptCheckSetup(L);
    const char* text = qeScriptArgsToText(L, 3);
    int y = qeScriptCheckInt(L, 2);
    int x = qeScriptCheckInt(L, 1);
    qeIrrlichtText(x, y, "%s", text);
    return qeScriptCheckLastError(L, 0);
}

// TextWidth and TextHeight: the join of all arguments.
template <auto F>
int cmdTextMeasure(lua_State* L) {
    qeScriptCheckSetup(L);
    lua_pushinteger(L, F("%s", qeScriptArgsToText(L, 1)));
    return qeScriptCheckLastError(L, 1);
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
    {"Box", qeScriptCmd<qeIrrlichtBox>},
    {"BoxWithEffect", qeScriptCmd<qeIrrlichtBoxWithEffect>},
    {"Line", qeScriptCmd<qeIrrlichtLine>},
    {"RGB", qeScriptCmdInteger<qeIrrlichtRGB>},
    {"RGBf", qeScriptCmdInteger<qeIrrlichtRGBf>},
    {"FadeIn", qeScriptCmd<qeIrrlichtFadeIn>},
    {"FadeOut", qeScriptCmd<qeIrrlichtFadeOut>},
    {"StopFade", qeScriptCmd<qeIrrlichtStopFade>},
    {"Text", cmdText},
    {"SetTextFont", qeScriptCmd<qeIrrlichtSetTextFont>},
    {"SetTextColor", qeScriptCmd<qeIrrlichtSetTextColor>},
    {"SetTextAlpha", qeScriptCmd<qeIrrlichtSetTextAlpha>},
    {"TextFont", qeScriptCmdString<qeIrrlichtTextFont>},
    {"TextColor", qeScriptCmdInteger<qeIrrlichtTextColor>},
    {"TextAlpha", qeScriptCmdInteger<qeIrrlichtTextAlpha>},
    {"TextWidth", cmdTextMeasure<qeIrrlichtTextWidth>},
    {"TextHeight", cmdTextMeasure<qeIrrlichtTextHeight>},
    {"LoadImage", qeScriptCmdReplace<qeIrrlichtImageExist, qeIrrlichtDeleteImage, qeIrrlichtLoadImage, 2>},
    {"MakeImage", qeScriptCmdReplace<qeIrrlichtImageExist, qeIrrlichtDeleteImage, qeIrrlichtMakeImage, 3>},
    {"RenderToImage", cmdRenderToImage},
    {"SetImageColor", cmdIntColour<qeIrrlichtSetImageColor>},
    {"SetImageAlpha", cmdIntColour<qeIrrlichtSetImageAlpha>},
    {"PasteImage", cmdPasteImage},
    {"PasteImageStretch", cmdPasteImageStretch},
    {"PasteImageWithEffect", qeScriptCmd<qeIrrlichtPasteImageWithEffect>},
    {"ImageExist", qeScriptCmdBoolean<qeIrrlichtImageExist>},
    {"DeleteImage", qeScriptCmd<qeIrrlichtDeleteImage>},
    {"ImageWidth", qeScriptCmdInteger<qeIrrlichtImageWidth>},
    {"ImageHeight", qeScriptCmdInteger<qeIrrlichtImageHeight>},
    {NULL, NULL},
};
