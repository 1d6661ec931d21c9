#ifndef QIRN_RENDERER_OVERLAY_H
#define QIRN_RENDERER_OVERLAY_H

#include <cstdint>

struct EngineContext;
namespace irr {
namespace gui { class IGUIFont; }
namespace video { class ITexture; }
}  // namespace irr

// One frame's 2D drawing: commands queued between two frames and drawn, in order, on top of the scene.
enum {
    QE_OVERLAY_MAX_COMMANDS = 1024,
    QE_OVERLAY_MAX_TEXTS = 64,
    QE_OVERLAY_TEXT_SIZE = 512,
};

enum QeOverlayKind {
    QE_OVERLAY_TEXT = 1,
    QE_OVERLAY_IMAGE = 2,
    QE_OVERLAY_LINE = 3,
    QE_OVERLAY_BOX = 4,
    QE_OVERLAY_BOX_EFFECT = 5,
    QE_OVERLAY_IMAGE_EFFECT = 6,
};

// Eight words: the kind, then the kind's parameters (pointers are kept as 32-bit words).
struct OverlayCommand {
    int32_t kind;
    int32_t p[7];
};

struct OverlayQueue {
    OverlayCommand commands[QE_OVERLAY_MAX_COMMANDS];
    int32_t commandCount;
    char texts[QE_OVERLAY_MAX_TEXTS][QE_OVERLAY_TEXT_SIZE];
    int32_t textCount;
};

// Adders: 0 when queued, -1 when the queue is full. Texts longer than a slot are cut.
int qeIrrlichtOverlayAddText(irr::gui::IGUIFont* font, int x, int y, const char* text, uint32_t colour);
int qeIrrlichtOverlayAddImage(irr::video::ITexture* texture, int x, int y, int width, int height, int useAlpha,
                              uint32_t colour);
int qeIrrlichtOverlayAddLine(int x1, int y1, int x2, int y2, uint32_t colour);
int qeIrrlichtOverlayAddBox(int x1, int y1, int x2, int y2, uint32_t colour);
int qeIrrlichtOverlayAddBoxWithEffect(int x1, int y1, int x2, int y2, void* effect, int parameter);
int qeIrrlichtOverlayAddImageWithEffect(irr::video::ITexture* texture, int x, int y, int width, int height,
                                        void* effect, int parameter);
int qeIrrlichtOverlayReset();
// Engine start: both blocks filled with zero bytes.
void qeIrrlichtOverlayClear();
// Draws every queued command through the context's driver, then empties the queue.
void qeIrrlichtOverlayDraw(EngineContext* ctx);
const OverlayQueue* qeIrrlichtOverlayQueue();

#endif
