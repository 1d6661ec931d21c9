#ifndef QIRN_RENDERER_LPP_H
#define QIRN_RENDERER_LPP_H

struct EngineContext;
namespace irr { namespace scene { class ISceneNode; } namespace video { class ITexture; } }

// The light pre-pass renderer.
struct LppRenderer;

LppRenderer* qeIrrlichtLppCreate(EngineContext* ctx, bool stereo3DVision);
void qeIrrlichtLppDestroy(EngineContext* ctx, LppRenderer* renderer);
void qeIrrlichtLppPrepareShaders(EngineContext* ctx, LppRenderer* renderer, irr::scene::ISceneNode* node);
// One frame: the scene, the GUI layer and the 2D overlay.
void qeIrrlichtLppRender(EngineContext* ctx, LppRenderer* renderer);

#endif
