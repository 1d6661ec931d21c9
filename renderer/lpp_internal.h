#ifndef QIRN_RENDERER_LPP_INTERNAL_H
#define QIRN_RENDERER_LPP_INTERNAL_H

// The light pre-pass renderer's record and its pieces, shared by creation, the frame, the post effects
// and the stereo output.
#include <irrlicht.h>

#include <cstdint>

#include "screen_quad.h"

struct EngineContext;
struct RenderSettings;
struct IDirect3DDevice9;
struct ObjectSurface;
struct ShaderObject;

// The anti-aliasing passes' quad: shifted by half a pixel (-1/w, +1/h in clip space), indices 0 1 3 1 2 3.
class CScreenQuadMLAA {
public:
    CScreenQuadMLAA(int width, int height);
    virtual ~CScreenQuadMLAA() {}
    virtual void render(irr::video::IVideoDriver* driver);
    virtual irr::video::SMaterial& getMaterial() { return Material; }

private:
    irr::video::S3DVertex Vertices[4];
    irr::video::SMaterial Material;
};

enum {
    LPP_DEPTH_PASS_SHADERS = 8,
    LPP_LIGHT_PASS_SHADERS = 18,
    LPP_FINAL_PASS_SHADERS = 64,
    LPP_REFLEC_FINAL_PASS_SHADERS = 512,
    LPP_POST_SHADERS = 20,
};

// Post shader indexes.
enum {
    LPP_POST_DOWNSCALE4X4 = 0, LPP_POST_DOWNSCALE2X2, LPP_POST_DOWNSCALE2X2_HALF, LPP_POST_GLOW_ALPHA_MUL,
    LPP_POST_GLOW_HV_BLUR, LPP_POST_GLOW_H_BLUR, LPP_POST_GLOW_V_BLUR, LPP_POST_GLOW_COMPOSE,
    LPP_POST_STREAK_MAX_INT, LPP_POST_STREAK_DRAW, LPP_POST_STREAK_COMPOSE, LPP_POST_DOF, LPP_POST_DOF_ADVANCED,
    LPP_POST_SSAO, LPP_POST_SSAO_H_BLUR, LPP_POST_SSAO_V_BLUR, LPP_POST_SSAO_COMBINE, LPP_POST_MLAA_EDGE,
    LPP_POST_MLAA_WEIGHT, LPP_POST_MLAA_BLEND,
};

struct LppRenderer {
    irr::video::ITexture* depthRTT;
    irr::video::ITexture* normalRTT;
    irr::video::ITexture* lightRTT;
    irr::core::array<irr::video::IRenderTarget>* geometryTargets;
    irr::video::ITexture* halfScreen[3];
    irr::video::ITexture* quarterScreen[2];
    irr::video::ITexture* backRTT[3];
    irr::video::ITexture* shadowTexture;
    irr::core::array<irr::video::IRenderTarget>* finalTargets;
    irr::video::ITexture* bestFitNormalsTexture;
    irr::video::ITexture* randVecTexture;
    irr::video::ITexture* randRotTexture;
    irr::video::ITexture* mlaaAreaMapTexture;
    ShaderObject* depthClearShader;
    ShaderObject* depthPassShader[LPP_DEPTH_PASS_SHADERS];
    ShaderObject* lightClearShader;
    ShaderObject* shadowDepthShader;
    ShaderObject* lightPassShader[LPP_LIGHT_PASS_SHADERS];
    ShaderObject* finalPassShader[LPP_FINAL_PASS_SHADERS];
    ShaderObject* reflecFinalPassShader[LPP_REFLEC_FINAL_PASS_SHADERS];
    ShaderObject* postShader[LPP_POST_SHADERS];
    CScreenQuad* screenQuad;
    CScreenQuad* ppQuad;
    CScreenQuadMLAA* mlaaQuad;
    IDirect3DDevice9* device;
    irr::scene::IMesh* lightSphereMesh;
    irr::scene::IMesh* lightConeMesh;
    bool stereo3DVision;  // created for 3D Vision: its screen-sized targets are two rows shorter
};

// Makes a shader object with its GPU material into *slot: 0, or 1 after the message box naming messageName
// ("failed to create shader %s", "failed to set gpu for shader %s").
int qeIrrlichtMakeShader(ShaderObject** slot, const char* file, const char* const* defines, const char* messageName);

// Permutation rules (pure). The final-pass index of a surface's textures, with its reflective flag.
struct LppSurfaceTextures {
    bool color, luminosity, diffuse, specular, reflectivity, normal, glossiness;
    bool reflectionImage;  // set and its reflection mode is 2 or more
    bool reflectionCube;
};
int qeIrrlichtLppFinalIndexOf(const LppSurfaceTextures& t, bool hasTangents, bool uv2InBinormal, int* reflective);
int qeIrrlichtLppDepthIndexOf(const LppSurfaceTextures& t, bool hasTangents);
// Null-terminated define lists of a permutation: false when that index makes no shader.
bool qeIrrlichtLppDepthPassDefines(int index, const char* defines[4]);
bool qeIrrlichtLppLightPassDefines(int index, const char* defines[4]);
// The file of post shader index (LPP_POST_*), or null.
const char* qeIrrlichtLppPostShaderFile(int index);
bool qeIrrlichtLppFinalPassDefines(int index, bool reflective, const char* defines[11]);
// The window sizes the renderer accepts on a driver without non-power-of-two textures.
bool qeIrrlichtLppPowerOfTwoSize(int width, int height);

// Surface look-ups of the passes.
LppSurfaceTextures qeIrrlichtLppSurfaceTextures(const ObjectSurface* surface);
// An lpp surface: drawn by the geometry and final passes.
bool qeIrrlichtLppIsLppSurface(const ObjectSurface* surface, const irr::video::SMaterial& material);
// Gives the permutation's shader for a surface (null: the slot is empty or failed).
ShaderObject* qeIrrlichtLppDepthShaderFor(LppRenderer* r, int index);
ShaderObject* qeIrrlichtLppFinalShaderFor(LppRenderer* r, int index, int reflective);

// Post chain pieces: the light streaks (drawn inside the glow blur), the streak shader's glow-mask and
// colour-key windows, and the anti-aliasing's source, edge and weight targets for a target (false: the
// target is not one the passes can work on).
void qeIrrlichtLppLightStreaks(EngineContext* ctx, LppRenderer* renderer);
void qeIrrlichtLppStreakLimits(const RenderSettings& rs, float limitAlpha[2], float limitColor[2]);
bool qeIrrlichtLppMlaaTargets(LppRenderer* renderer, irr::video::ITexture* target, irr::video::ITexture* out[3]);

#endif
