// The light pre-pass renderer, as far as it is built today: the renderer object exists and a frame is
// the plain scene draw (scene, GUI layer, 2D overlay). Its passes and post effects come with the renderer.
#include "lpp.h"

#include <irrlicht.h>

#include <new>

#include "engine.h"
#include "engine_context.h"
#include "overlay.h"

struct LppRenderer {};

LppRenderer* qeIrrlichtLppCreate(EngineContext*, bool) { return new (std::nothrow) LppRenderer(); }

void qeIrrlichtLppDestroy(EngineContext*, LppRenderer* renderer) { delete renderer; }

void qeIrrlichtLppPrepareShaders(EngineContext*, LppRenderer*, irr::scene::ISceneNode*) {}

void qeIrrlichtLppRender(EngineContext* ctx, LppRenderer*) {
    // The frame began without clearing: the renderer clears what it draws into.
    ctx->driver->setRenderTarget(nullptr, true, true, irr::video::SColor(qeIrrlichtGetBackdropColor()));
    ctx->smgr->drawAll();
    ctx->gui->drawAll();
    qeIrrlichtOverlayDraw(ctx);
}
