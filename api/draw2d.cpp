#include "draw2d.h"

#include <irrlicht.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "engine.h"
#include "engine_context.h"
#include "idtable.h"
#include "log.h"
#include "overlay.h"
#include "sysfile.h"

using namespace irr;

namespace {

enum { TEXT_SIZE = 512, FONT_NAME_SIZE = 264 };

struct Draw2DModule {
    uint32_t inkColour = 0xFFFFFF;
    uint32_t inkAlpha = 255;
    uint32_t textColour = 0xFFFFFF;
    uint32_t textAlpha = 255;
    gui::IGUIFont* font = nullptr;  // borrowed from the GUI environment; none: its default font
    char fontName[FONT_NAME_SIZE] = {};
    char text[TEXT_SIZE] = {};
    wchar_t wideText[TEXT_SIZE] = {};
};
Draw2DModule g_draw;

// The font belongs to the GUI environment that engine stop drops.
void resetDraw2D() { g_draw = Draw2DModule{}; }

Draw2DModule& module() {
    qeIrrlichtRegisterModuleReset(resetDraw2D, QE_STOP_AFTER_DROP);
    return g_draw;
}

gui::IGUIEnvironment* needGui(const char* function) {
    gui::IGUIEnvironment* gui = qeIrrlichtGetContext()->gui;
    if (!gui) qeLogError(-1, "%s: no engine is running", function);
    return gui;
}

int queued(int result) {
    if (result != 0) qeLogError(-1, "too many 2D draws in one frame");
    return result;
}

uint32_t inkWord() { return (module().inkAlpha << 24) | module().inkColour; }

void fade(int timeMs, uint32_t colour, bool in) {
    gui::IGUIEnvironment* gui = needGui(in ? "qeIrrlichtFadeIn" : "qeIrrlichtFadeOut");
    if (!gui) return;
    qeIrrlichtStopFade();
    gui::IGUIInOutFader* fader = gui->addInOutFader(nullptr, nullptr, -1);
    if (!fader) return;
    qeIrrlichtGetContext()->fader = fader;
    fader->setColor(video::SColor(colour));
    const u32 time = timeMs > 0 ? static_cast<u32>(timeMs) : 0;
    if (in)
        fader->fadeIn(time);
    else
        fader->fadeOut(time);
}

// The channel's low 8 bits of value × 255 truncated toward zero; a value past the integer range packs as
// the processor's conversion gives it (0x80000000, low byte 0).
uint32_t channel(float value) {
    const float scaled = value * 255.0f;
    if (!(scaled > -2147483648.0f && scaled < 2147483648.0f)) return 0;
    return static_cast<uint32_t>(static_cast<int32_t>(scaled)) & 0xFF;
}

void formatText(const char* format, va_list args) {
    Draw2DModule& m = module();
    m.text[0] = 0;
    if (format) std::vsnprintf(m.text, sizeof(m.text), format, args);
}

// The size of the text in the buffer, in the text font or the GUI environment's default font.
core::dimension2d<u32> textSize(const char* function) {
    Draw2DModule& m = module();
    gui::IGUIFont* font = m.font ? m.font : qeIrrlichtGetContext()->font;
    if (!font) {
        qeLogError(-1, "%s: no engine is running", function);
        return core::dimension2d<u32>(0, 0);
    }
    size_t i = 0;
    for (; i < TEXT_SIZE - 1 && m.text[i]; ++i) m.wideText[i] = static_cast<unsigned char>(m.text[i]);
    m.wideText[i] = 0;
    return font->getDimension(m.wideText);
}

}  // namespace

void qeIrrlichtStopFade() {
    EngineContext* ctx = qeIrrlichtGetContext();
    if (!ctx->fader) return;
    ctx->fader->remove();
    ctx->fader = nullptr;
}

void qeIrrlichtFadeIn(int timeMs, uint32_t colour) { fade(timeMs, colour, true); }
void qeIrrlichtFadeOut(int timeMs, uint32_t colour) { fade(timeMs, colour, false); }

void qeIrrlichtInk(uint32_t colour) { module().inkColour = colour; }
void qeIrrlichtInkAlpha(uint32_t alpha) { module().inkAlpha = alpha; }

int qeIrrlichtBox(int x1, int y1, int x2, int y2) { return queued(qeIrrlichtOverlayAddBox(x1, y1, x2, y2, inkWord())); }

int qeIrrlichtLine(int x1, int y1, int x2, int y2) {
    return queued(qeIrrlichtOverlayAddLine(x1, y1, x2, y2, inkWord()));
}

int qeIrrlichtBoxWithEffect(int, int, int, int, int effectId) {
    qeIdTableGet(qeIrrlichtGetContext()->effects, effectId);  // sets the table's message for a bad ID
    qeLogError(5, "Effect ID %d does not exist. %s", effectId, qeIdTableGetMessage());
    return -1;
}

uint32_t qeIrrlichtRGB(int r, int g, int b) {
    return ((static_cast<uint32_t>(r) & 0xFF) << 16) | ((static_cast<uint32_t>(g) & 0xFF) << 8) |
           (static_cast<uint32_t>(b) & 0xFF);
}

uint32_t qeIrrlichtRGBf(float r, float g, float b) { return (channel(r) << 16) | (channel(g) << 8) | channel(b); }

int qeIrrlichtText(int x, int y, const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatText(format, args);
    va_end(args);
    Draw2DModule& m = module();
    return queued(qeIrrlichtOverlayAddText(m.font, x, y, m.text, (m.textAlpha << 24) | m.textColour));
}

void qeIrrlichtSetTextColor(uint32_t colour) { module().textColour = colour & 0xFFFFFF; }

void qeIrrlichtSetTextAlpha(int alpha) { module().textAlpha = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha; }

const char* qeIrrlichtTextFont() { return module().font ? module().fontName : nullptr; }
uint32_t qeIrrlichtTextColor() { return module().textColour; }
uint32_t qeIrrlichtTextAlpha() { return module().textAlpha; }

int qeIrrlichtTextWidth(const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatText(format, args);
    va_end(args);
    return static_cast<int>(textSize(__func__).Width);
}

int qeIrrlichtTextHeight(const char* format, ...) {
    va_list args;
    va_start(args, format);
    formatText(format, args);
    va_end(args);
    return static_cast<int>(textSize(__func__).Height);
}

int qeIrrlichtSetTextFont(const char* fileName) {
    Draw2DModule& m = module();
    if (!fileName) {
        m.font = nullptr;
        m.fontName[0] = 0;
        return 0;
    }
    gui::IGUIEnvironment* gui = needGui(__func__);
    if (!gui) return -1;
    // The environment keeps its fonts by name: by the full path, one name in another folder is another font.
    const char* full = qeSysPathFull(fileName);
    gui::IGUIFont* font = gui->getFont(full && *full ? full : fileName);
    if (!font) {
        qeLogError(1, "The font '%s' cannot be loaded", fileName);
        return -1;
    }
    m.font = font;
    std::snprintf(m.fontName, sizeof(m.fontName), "%s", fileName);
    return 0;
}
