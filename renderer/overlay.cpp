#include "overlay.h"

#include <irrlicht.h>

#include <cstring>

#include "engine_context.h"

using namespace irr;

static_assert(sizeof(void*) == 4, "overlay commands keep pointers in 32-bit words");

namespace {
OverlayQueue g_queue;

int32_t word(const void* p) {
    int32_t w;
    std::memcpy(&w, &p, sizeof(w));
    return w;
}

template <typename T>
T* pointer(int32_t w) {
    T* p;
    std::memcpy(&p, &w, sizeof(p));
    return p;
}

OverlayCommand* next(int kind) {
    if (g_queue.commandCount >= QE_OVERLAY_MAX_COMMANDS) return nullptr;
    OverlayCommand* c = &g_queue.commands[g_queue.commandCount++];
    c->kind = kind;
    return c;
}
}  // namespace

const OverlayQueue* qeIrrlichtOverlayQueue() { return &g_queue; }

int qeIrrlichtOverlayAddText(gui::IGUIFont* font, int x, int y, const char* text, uint32_t colour) {
    if (g_queue.commandCount >= QE_OVERLAY_MAX_COMMANDS || g_queue.textCount >= QE_OVERLAY_MAX_TEXTS) return -1;
    char* slot = g_queue.texts[g_queue.textCount++];
    std::strncpy(slot, text ? text : "", QE_OVERLAY_TEXT_SIZE - 1);
    slot[QE_OVERLAY_TEXT_SIZE - 1] = 0;
    OverlayCommand* c = next(QE_OVERLAY_TEXT);
    c->p[0] = word(font);
    c->p[1] = x;
    c->p[2] = y;
    c->p[3] = static_cast<int32_t>(colour);
    c->p[4] = word(slot);
    return 0;
}

static int addImage(int kind, video::ITexture* texture, int x, int y, int width, int height, int32_t a, int32_t b) {
    OverlayCommand* c = next(kind);
    if (!c) return -1;
    c->p[0] = word(texture);
    c->p[1] = x;
    c->p[2] = y;
    c->p[3] = width;
    c->p[4] = height;
    c->p[5] = a;
    c->p[6] = b;
    return 0;
}

int qeIrrlichtOverlayAddImage(video::ITexture* texture, int x, int y, int width, int height, int useAlpha,
                              uint32_t colour) {
    return addImage(QE_OVERLAY_IMAGE, texture, x, y, width, height, useAlpha, static_cast<int32_t>(colour));
}

static int addRect(int kind, int x1, int y1, int x2, int y2, int32_t a, int32_t b) {
    OverlayCommand* c = next(kind);
    if (!c) return -1;
    c->p[0] = x1;
    c->p[1] = y1;
    c->p[2] = x2;
    c->p[3] = y2;
    c->p[4] = a;
    if (kind == QE_OVERLAY_BOX_EFFECT) c->p[5] = b;
    return 0;
}

int qeIrrlichtOverlayAddLine(int x1, int y1, int x2, int y2, uint32_t colour) {
    return addRect(QE_OVERLAY_LINE, x1, y1, x2, y2, static_cast<int32_t>(colour), 0);
}

int qeIrrlichtOverlayAddBox(int x1, int y1, int x2, int y2, uint32_t colour) {
    return addRect(QE_OVERLAY_BOX, x1, y1, x2, y2, static_cast<int32_t>(colour), 0);
}

int qeIrrlichtOverlayAddBoxWithEffect(int x1, int y1, int x2, int y2, void* effect, int parameter) {
    return addRect(QE_OVERLAY_BOX_EFFECT, x1, y1, x2, y2, word(effect), parameter);
}

int qeIrrlichtOverlayAddImageWithEffect(video::ITexture* texture, int x, int y, int width, int height, void* effect,
                                        int parameter) {
    return addImage(QE_OVERLAY_IMAGE_EFFECT, texture, x, y, width, height, word(effect), parameter);
}

int qeIrrlichtOverlayReset() {
    g_queue.commandCount = 0;
    g_queue.textCount = 0;
    return 0;
}

void qeIrrlichtOverlayClear() { std::memset(&g_queue, 0, sizeof(g_queue)); }

namespace {

void drawText(EngineContext* ctx, const OverlayCommand& c) {
    const char* text = pointer<const char>(c.p[4]);
    if (!text || !text[0]) return;
    gui::IGUIFont* font = pointer<gui::IGUIFont>(c.p[0]);
    if (!font) font = ctx->font;
    if (!font) return;
    core::stringw wide(text);
    font->draw(wide, core::rect<s32>(c.p[1], c.p[2], 512, 60), video::SColor(static_cast<u32>(c.p[3])), false, false,
               nullptr);
}

void drawImage(EngineContext* ctx, const OverlayCommand& c) {
    video::ITexture* texture = pointer<video::ITexture>(c.p[0]);
    if (!texture) return;
    video::IVideoDriver* driver = ctx->driver;
    const core::dimension2d<u32> size = texture->getOriginalSize();
    const core::rect<s32> source(0, 0, size.Width, size.Height);
    const video::SColor colour(static_cast<u32>(c.p[6]));
    const bool useAlpha = c.p[5] != 0;
    if (c.p[3] >= 0 && c.p[4] >= 0) {
        video::SMaterial& m2d = driver->getMaterial2D();
        m2d.TextureLayer[0].BilinearFilter = true;
        m2d.AntiAliasing = video::EAAM_FULL_BASIC;
        driver->enableMaterial2D(true);
        const video::SColor colours[4] = {colour, colour, colour, colour};
        driver->draw2DImage(texture, core::rect<s32>(c.p[1], c.p[2], c.p[1] + c.p[3], c.p[2] + c.p[4]), source,
                            nullptr, colours, useAlpha);
        driver->enableMaterial2D(false);
    } else {
        driver->draw2DImage(texture, core::position2d<s32>(c.p[1], c.p[2]), source, nullptr, colour, useAlpha);
    }
}

}  // namespace

void qeIrrlichtOverlayDraw(EngineContext* ctx) {
    if (ctx && ctx->driver) {
        for (int i = 0; i < g_queue.commandCount; ++i) {
            const OverlayCommand& c = g_queue.commands[i];
            switch (c.kind) {
                case QE_OVERLAY_TEXT:
                    drawText(ctx, c);
                    break;
                case QE_OVERLAY_IMAGE:
                    drawImage(ctx, c);
                    break;
                case QE_OVERLAY_LINE:
                    ctx->driver->draw2DLine(core::position2d<s32>(c.p[0], c.p[1]),
                                            core::position2d<s32>(c.p[2], c.p[3]),
                                            video::SColor(static_cast<u32>(c.p[4])));
                    break;
                case QE_OVERLAY_BOX:
                    ctx->driver->draw2DRectangle(video::SColor(static_cast<u32>(c.p[4])),
                                                 core::rect<s32>(c.p[0], c.p[1], c.p[2], c.p[3]), nullptr);
                    break;
                case QE_OVERLAY_BOX_EFFECT:
                case QE_OVERLAY_IMAGE_EFFECT:
                    // The effect library's 2D effect draw draws nothing: no effect reaches the queue.
                    break;
                default:
                    break;
            }
        }
    }
    qeIrrlichtOverlayReset();
}
