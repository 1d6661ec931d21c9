#ifndef QIRN_RENDERER_STEREO_H
#define QIRN_RENDERER_STEREO_H

#include <cstdint>

struct EngineContext;
struct IDirect3DDevice9;
struct IDirect3DSurface9;
struct IDirect3DTexture9;
struct LppRenderer;
struct RenderSettings;
struct ShaderObject;
class CScreenQuad;
namespace irr { namespace scene { class ICameraSceneNode; } namespace video { class ITexture; } }

// Stereo output: anaglyph modes (2 to 6) and NVIDIA 3D Vision side by side (1).
struct StereoState {
    int32_t mode;
    int32_t anaglyph;  // 1 for the anaglyph modes
    CScreenQuad* quad;
    ShaderObject* leftShader;
    ShaderObject* rightShader;
    IDirect3DSurface9* target3DVision;      // 2 x width by height + 1, the last row the signature
    IDirect3DTexture9* signature3DVision;  // 5 x 1, default pool
    irr::video::ITexture* eyeTarget;        // each eye's image when no light pre-pass renderer draws it
};

// Switches the driver to direct stereo before the device exists: 0, or -1 after its debug print.
int qeIrrlichtRenderStereoInitNvApi();
// 0, or -1 after the failure's message box (and with nothing of the output left).
int qeIrrlichtRenderStereoInit(EngineContext* ctx, int mode);
// Both eyes into the back buffer, then the GUI layer and the 2D overlay (emptied).
void qeIrrlichtRenderStereoFrame(EngineContext* ctx, bool lightPrePass, LppRenderer* renderer);
void qeIrrlichtRenderStereoOnReset(IDirect3DDevice9* device);
void qeIrrlichtRenderStereoOnAfterReset();
void qeIrrlichtRenderStereoFree();
const StereoState* qeIrrlichtRenderStereoState();

// The pieces: the shader define of an anaglyph mode (null for the others); the eye separation and focus
// distance the render settings give; the 3D Vision image header; one eye's camera (left: 1).
const char* qeIrrlichtStereoModeDefine(int mode);
void qeIrrlichtStereoEyeValues(const RenderSettings& settings, float* separation, float* focusDistance);
void qeIrrlichtStereoHeader(uint32_t header[5], int width, int height);
void qeIrrlichtStereoSetEyeCamera(irr::scene::ICameraSceneNode* camera, int left, float separation,
                                  float focusDistance);

#endif
