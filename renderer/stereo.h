#ifndef QIRN_RENDERER_STEREO_H
#define QIRN_RENDERER_STEREO_H

struct EngineContext;
struct IDirect3DDevice9;
struct LppRenderer;

// Stereo output: anaglyph modes and NVIDIA 3D Vision.
int qeIrrlichtRenderStereoInitNvApi();
int qeIrrlichtRenderStereoInit(EngineContext* ctx, int mode);
void qeIrrlichtRenderStereoFrame(EngineContext* ctx, bool lightPrePass, LppRenderer* renderer);
void qeIrrlichtRenderStereoOnReset(IDirect3DDevice9* device);
void qeIrrlichtRenderStereoOnAfterReset();
void qeIrrlichtRenderStereoFree();

#endif
