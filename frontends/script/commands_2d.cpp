// Script commands of the 2D overlay: ink, boxes and lines, colours, faders, text and images.
#include "commands.h"
#include "draw2d.h"
#include "images.h"

namespace {

// Colour and opacity arguments that the rows give as integers (0xRRGGBB; the engine keeps the 32 bits).
template <auto F>
int cmdIntColour(lua_State* L) {
    qeScriptCheckSetup(L);
    F(qeScriptCheckIntBits(L, 1));
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

//! 2D drawing, text, faders and images
//! Drawing commands queue what they draw for the next `Sync`, over the scene, in the order called; a
//! frame holds at most 1024 items and 64 texts, beyond which they raise "too many 2D draws in one frame"
//! (#-1). Coordinates are window pixels from the top left corner.
const luaL_Reg Script2DCommands[] = {
    //! Drawing, colours and faders
    /// The colour of the following boxes and lines, 0xRRGGBB.
    {"Ink", cmdIntColour<qeIrrlichtInk>},
    /// Their opacity, 0 (clear) to 255 (solid); larger values are not cut (300 draws as 44).
    {"InkAlpha", cmdIntColour<qeIrrlichtInkAlpha>},
    /// A filled rectangle from (x1, y1) to (x2, y2) in the ink colour and opacity.
    {"Box", qeScriptCmd<qeIrrlichtBox>},
    /// Draws nothing: no effect exists to draw with, so it always raises "Effect ID n does not exist. ..."
    /// (#5).
    {"BoxWithEffect", qeScriptCmd<qeIrrlichtBoxWithEffect>},
    /// A line from (x1, y1) to (x2, y2) in the ink colour and opacity.
    {"Line", qeScriptCmd<qeIrrlichtLine>},
    /// 0xRRGGBB from red, green and blue 0-255 (the low 8 bits of each are used).
    {"RGB", qeScriptCmdInteger<qeIrrlichtRGB>},
    /// 0xRRGGBB from red, green and blue 0.0-1.0 (each times 255, cut to an integer, low 8 bits).
    {"RGBf", qeScriptCmdInteger<qeIrrlichtRGBf>},
    /// Fades the screen in from the colour over timeMs milliseconds, replacing a running fade.
    {"FadeIn", qeScriptCmd<qeIrrlichtFadeIn>},
    /// Fades the screen out to the colour over timeMs milliseconds, replacing a running fade.
    {"FadeOut", qeScriptCmd<qeIrrlichtFadeOut>},
    /// Removes the current fade.
    {"StopFade", qeScriptCmd<qeIrrlichtStopFade>},

    //! Text
    /// (x: integer, y: integer, text...: text) -> nothing
    /// Writes the arguments from the third on, joined by spaces, at (x, y) in the text font, colour and
    /// opacity ('%' is written as it is). At most 511 characters are drawn.
    {"Text", cmdText},
    /// The bitmap font of the following texts, loaded from the file; "The font 'name' cannot be loaded"
    /// (#1) keeps the current one.
    {"SetTextFont", qeScriptCmd<qeIrrlichtSetTextFont>},
    /// The colour of the following texts, 0xRRGGBB.
    {"SetTextColor", qeScriptCmd<qeIrrlichtSetTextColor>},
    /// Their opacity, 0-255 (kept within it).
    {"SetTextAlpha", qeScriptCmd<qeIrrlichtSetTextAlpha>},
    /// The file name given to `SetTextFont`; nil while the default font is in use.
    {"TextFont", qeScriptCmdString<qeIrrlichtTextFont>},
    /// The text colour, 0xRRGGBB.
    {"TextColor", qeScriptCmdInteger<qeIrrlichtTextColor>},
    /// The text opacity.
    {"TextAlpha", qeScriptCmdInteger<qeIrrlichtTextAlpha>},
    /// (text...: text) -> integer
    /// The width in pixels of the arguments joined by spaces, in the text font.
    {"TextWidth", cmdTextMeasure<qeIrrlichtTextWidth>},
    /// (text...: text) -> integer
    /// Their height in pixels.
    {"TextHeight", cmdTextMeasure<qeIrrlichtTextHeight>},

    //! Images
    //! Image IDs 0-999. Commands that take an image ID raise "Image ID n does not exist. ..." (#1) for an
    //! empty one, but for `ImageExist` and `DeleteImage`.
    /// Loads an image file (PNG, JPEG, BMP, TGA, DDS...) under the ID. Raises "invalid Image ID n : ..." (#2)
    /// for an ID out of range, "Failed to load image 'name'" (#1) for a file that cannot be read (the ID is
    /// then empty).
    {"LoadImage", qeScriptCmdReplace<qeIrrlichtImageExist, qeIrrlichtDeleteImage, qeIrrlichtLoadImage, 2>},
    /// Makes an image of width x height pixels that frames can be rendered into (`RenderToImage`). Raises
    /// "invalid Image ID n : ..." (#3) for an ID out of range, "Failed to make image" (#1) for a size below
    /// 1 or beyond the device's largest texture (the ID is then empty).
    {"MakeImage", qeScriptCmdReplace<qeIrrlichtImageExist, qeIrrlichtDeleteImage, qeIrrlichtMakeImage, 3>},
    /// (id: integer, [clear: boolean = true]) -> nothing
    /// Renders one frame of the scene into an image made by `MakeImage` (cleared with the backdrop colour
    /// first when clear is true). A loaded image raises "Image ID n is not renderable" (#1).
    {"RenderToImage", cmdRenderToImage},
    /// The tint of the following pastes, 0xRRGGBB (0xFFFFFF, as at first, leaves the image as it is).
    {"SetImageColor", cmdIntColour<qeIrrlichtSetImageColor>},
    /// The opacity of the following pastes, 0-255 (255 at first).
    {"SetImageAlpha", cmdIntColour<qeIrrlichtSetImageAlpha>},
    /// (id: integer, x: integer, y: integer, [useAlpha: boolean = false]) -> nothing
    /// Draws the image at its own size with its top left corner at (x, y); with useAlpha true its alpha
    /// channel makes it see-through.
    {"PasteImage", cmdPasteImage},
    /// (id: integer, x: integer, y: integer, width: integer, height: integer, [useAlpha: boolean = false]) -> nothing
    /// As `PasteImage`, stretched to width x height pixels.
    {"PasteImageStretch", cmdPasteImageStretch},
    /// Draws nothing: after the image check it always raises "Effect ID n does not exist. ..." (#6).
    {"PasteImageWithEffect", qeScriptCmd<qeIrrlichtPasteImageWithEffect>},
    /// True when the ID holds an image; false for any other ID, out of range too.
    {"ImageExist", qeScriptCmdBoolean<qeIrrlichtImageExist>},
    /// Deletes the image; nothing when the ID holds none. A render target stays with the driver, video
    /// memory and all, until the engine stops: a camera effect or another image may have taken it by its
    /// name ("qeRtImage" and the ID). `MakeImage` under the ID at the same size takes it back; at another
    /// size it makes a new target under the name, and what took the old one by name goes on drawing the
    /// old one. So every change of size keeps one more target until the engine stops (a thousand
    /// make-and-delete cycles over four sizes hold some 355 MB more); at one size the memory stays flat.
    {"DeleteImage", qeScriptCmd<qeIrrlichtDeleteImage>},
    /// The image's width in pixels.
    {"ImageWidth", qeScriptCmdInteger<qeIrrlichtImageWidth>},
    /// The image's height in pixels.
    {"ImageHeight", qeScriptCmdInteger<qeIrrlichtImageHeight>},
    {NULL, NULL},
};
