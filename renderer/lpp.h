#ifndef QIRN_RENDERER_LPP_H
#define QIRN_RENDERER_LPP_H

struct EngineContext;
struct ObjectSurface;
namespace irr { namespace scene { class ISceneNode; } namespace video { class ITexture; } }

// The light pre-pass renderer.
struct LppRenderer;

// Null after the failure's message box (and with nothing of it left behind).
LppRenderer* qeIrrlichtLppCreate(EngineContext* ctx, bool stereo3DVision);
void qeIrrlichtLppDestroy(EngineContext* ctx, LppRenderer* renderer);
// Gives the screen-sized, half and quarter targets the context's width and height (after the window's
// size changed), each staying the same texture. 0; -1 when they could not all be resized (after the
// message box), and the renderer keeps its old size.
int qeIrrlichtLppResize(EngineContext* ctx, LppRenderer* renderer);
// Creates the depth-pass and final-pass permutations the object node's surfaces need.
void qeIrrlichtLppPrepareShaders(EngineContext* ctx, LppRenderer* renderer, irr::scene::ISceneNode* node);
// Final-pass permutation of a surface: the index, and its table in *reflective (1: the reflective one).
int qeIrrlichtLppFinalPassIndex(const ObjectSurface* surface, int hasTangents, int uv2InBinormal, int* reflective);
// Permutation creators: 0 (also for an index that makes no shader), non-zero after their message box.
int qeIrrlichtLppCreateDepthPassShader(LppRenderer* renderer, int index);
int qeIrrlichtLppCreateFinalPassShader(LppRenderer* renderer, int index, int reflective);

// One frame: the scene through the light pre-pass, the GUI layer and the 2D overlay.
void qeIrrlichtLppRender(EngineContext* ctx, LppRenderer* renderer);
// The pieces of a frame, for the stereo output: the scene manager's set-up passes, one eye's frame (the
// texture that holds it, or null when it went to the back buffer; toTarget asks for a texture), and the
// end of the frame with the GUI layer and the 2D overlay.
void qeIrrlichtLppBeginPasses(EngineContext* ctx);
irr::video::ITexture* qeIrrlichtLppRenderFrame(EngineContext* ctx, LppRenderer* renderer, int toTarget);
void qeIrrlichtLppEndPasses(EngineContext* ctx);

// The post chain (glow, SSAO, anti-aliasing, depth of field, camera effects); frame is a target or null
// for the back buffer.
void qeIrrlichtLppGlowCapture(EngineContext* ctx, LppRenderer* renderer, irr::video::ITexture* frame);
void qeIrrlichtLppGlowBlur(EngineContext* ctx, LppRenderer* renderer, irr::video::ITexture* frame);
void qeIrrlichtLppGlowCompose(EngineContext* ctx, LppRenderer* renderer, irr::video::ITexture* frame);
void qeIrrlichtLppSSAO(EngineContext* ctx, LppRenderer* renderer, irr::video::ITexture* dest);
void doMLAA(EngineContext* ctx, LppRenderer* renderer, irr::video::ITexture* target);
void qeIrrlichtLppDof(EngineContext* ctx, LppRenderer* renderer, irr::video::ITexture* source, irr::video::ITexture* dest);
void qeIrrlichtLppDofAdvanced(EngineContext* ctx, LppRenderer* renderer, irr::video::ITexture* source,
                              irr::video::ITexture* dest);
void qeIrrlichtLppApplyCameraEffect(EngineContext* ctx, LppRenderer* renderer, int effectId,
                                    irr::video::ITexture* source, irr::video::ITexture* dest);

#endif
