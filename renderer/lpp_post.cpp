// The light pre-pass renderer's post chain: glow with light streaks, ambient occlusion, morphological
// anti-aliasing, depth of field and camera effects. Every pass draws a full-screen quad into a target
// without clearing it (the anti-aliasing passes clear theirs); values a shader takes through a semantic
// come from the constant callback.
#include <d3d9.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "camera_effects.h"
#include "engine_context.h"
#include "lpp.h"
#include "lpp_internal.h"
#include "shader_object.h"
#include "sys.h"

using namespace irr;

namespace {

const f32 kDegToRad = 0.017453292f;

video::E_MATERIAL_TYPE materialOf(const ShaderObject* shader) {
    return static_cast<video::E_MATERIAL_TYPE>(qeIrrShaderGetMaterialType(shader));
}

// One post pass: target (the back buffer when null), layer 0, the shader, the quad.
void postPass(EngineContext* ctx, LppRenderer* r, video::ITexture* target, video::ITexture* input,
              ShaderObject* shader) {
    if (!shader) return;
    ctx->driver->setRenderTarget(target, false, false, video::SColor(0));
    video::SMaterial& m = r->ppQuad->getMaterial();
    m.setTexture(0, input);
    m.MaterialType = materialOf(shader);
    r->ppQuad->render(ctx->driver);
}

void setWrap(video::SMaterialLayer& layer, video::E_TEXTURE_CLAMP wrap) {
    layer.TextureWrapU = wrap;
    layer.TextureWrapV = wrap;
}

}  // namespace

void qeIrrlichtLppStreakLimits(const RenderSettings& rs, float limitAlpha[2], float limitColor[2]) {
    limitAlpha[0] = std::max(0.0f, rs.streakGlowMin - 0.02f);
    limitAlpha[1] = std::min(1.0f, rs.streakGlowMin + 0.02f);
    limitColor[0] = std::max(0.0f, rs.streakKeyMatch - 0.01f);
    limitColor[1] = std::min(1.0f, rs.streakKeyMatch + 0.01f);
}

void qeIrrlichtLppGlowCapture(EngineContext* ctx, LppRenderer* r, video::ITexture* frame) {
    if (!frame) {
        ctx->driver->copyBackBufferToTexture(r->halfScreen[2], true);
        return;
    }
    postPass(ctx, r, r->halfScreen[2], frame, r->postShader[LPP_POST_DOWNSCALE2X2]);
    ctx->driver->setRenderTarget(frame, false, false, video::SColor(0));
}

void qeIrrlichtLppGlowBlur(EngineContext* ctx, LppRenderer* r, video::ITexture* frame) {
    const f32 dist = ctx->render.glowRadius / 1000.0f;
    postPass(ctx, r, r->halfScreen[1], r->halfScreen[2], r->postShader[LPP_POST_GLOW_ALPHA_MUL]);
    for (int s : {LPP_POST_GLOW_H_BLUR, LPP_POST_GLOW_V_BLUR})
        if (r->postShader[s]) qeIrrShaderSetParamFloatByName(r->postShader[s], "sampleDist1", dist);
    postPass(ctx, r, r->halfScreen[0], r->halfScreen[1], r->postShader[LPP_POST_GLOW_H_BLUR]);
    postPass(ctx, r, r->halfScreen[1], r->halfScreen[0], r->postShader[LPP_POST_GLOW_V_BLUR]);
    if (ctx->render.streakOn) qeIrrlichtLppLightStreaks(ctx, r);
    ctx->driver->setRenderTarget(frame, false, false, video::SColor(0));
}

void qeIrrlichtLppGlowCompose(EngineContext* ctx, LppRenderer* r, video::ITexture* frame) {
    ShaderObject* compose = r->postShader[LPP_POST_GLOW_COMPOSE];
    if (compose) qeIrrShaderSetParamFloatByName(compose, "GlowIntensity", ctx->render.glowIntensity);
    postPass(ctx, r, frame, r->halfScreen[1], compose);
}

void qeIrrlichtLppLightStreaks(EngineContext* ctx, LppRenderer* r) {
    const RenderSettings& rs = ctx->render;
    ShaderObject* maxInt = r->postShader[LPP_POST_STREAK_MAX_INT];
    ShaderObject* draw = r->postShader[LPP_POST_STREAK_DRAW];
    ShaderObject* compose = r->postShader[LPP_POST_STREAK_COMPOSE];
    if (!maxInt || !draw || !compose) return;

    float limitAlpha[2], limitColor[2];
    qeIrrlichtLppStreakLimits(rs, limitAlpha, limitColor);
    const float colorKey[3] = {rs.streakKeyRed, rs.streakKeyGreen, rs.streakKeyBlue};
    qeIrrShaderSetParamFloat2ByName(maxInt, "limitalpha", limitAlpha);
    qeIrrShaderSetParamFloat2ByName(maxInt, "limitcolor", limitColor);
    qeIrrShaderSetParamFloat3ByName(maxInt, "colorkey", colorKey);
    postPass(ctx, r, r->quarterScreen[1], r->halfScreen[2], maxInt);

    const f32 a = rs.streakAngle * kDegToRad;
    float direction[2] = {std::cos(a), std::sin(a)};
    const float colorize[3] = {rs.streakColorRed, rs.streakColorGreen, rs.streakColorBlue};
    qeIrrShaderSetParamFloat2ByName(draw, "direction", direction);
    qeIrrShaderSetParamFloat3ByName(draw, "colorize", colorize);
    qeIrrShaderSetParamFloatByName(draw, "attenuation", 1.0f - rs.streakAttenuation * 0.1f);
    for (int n = 0; n < 6; ++n) {
        if (n == 3) {
            direction[0] = -direction[0];
            direction[1] = -direction[1];
            qeIrrShaderSetParamFloat2ByName(draw, "direction", direction);
        }
        qeIrrShaderSetParamFloatByName(draw, "passn", static_cast<f32>(n % 3 + 1));
        postPass(ctx, r, r->quarterScreen[n % 2], r->quarterScreen[(n + 1) % 2], draw);
    }

    qeIrrShaderSetParamFloatByName(compose, "GlowIntensity", rs.streakCompose);
    postPass(ctx, r, r->halfScreen[1], r->quarterScreen[1], compose);
}

void qeIrrlichtLppSSAO(EngineContext* ctx, LppRenderer* r, video::ITexture* dest) {
    const RenderSettings& rs = ctx->render;
    ShaderObject* ssao = r->postShader[LPP_POST_SSAO];
    if (!ssao) return;
    qeIrrShaderSetParamFloatByName(ssao, "SSAO_REACH", rs.ssaoReach);
    qeIrrShaderSetParamFloatByName(ssao, "MAX_DEPTH_DECLINE", rs.ssaoMaxDepthDecline);
    qeIrrShaderSetParamFloatByName(ssao, "DEPTH_ALIASING_EPISILON", rs.ssaoDepthEpsilon);
    qeIrrShaderSetParamFloatByName(ssao, "SSAO_OUTPUT_MULTIPLIER", rs.ssaoMultiplier);

    video::SMaterial& m = r->ppQuad->getMaterial();
    m.setTexture(1, r->randVecTexture);
    setWrap(m.TextureLayer[1], video::ETC_REPEAT);
    postPass(ctx, r, r->backRTT[1], r->depthRTT, ssao);
    setWrap(m.TextureLayer[1], video::ETC_CLAMP_TO_EDGE);

    ctx->driver->copyTextureToTexture(r->backRTT[1], r->halfScreen[0], true);
    postPass(ctx, r, r->halfScreen[1], r->halfScreen[0], r->postShader[LPP_POST_SSAO_H_BLUR]);
    postPass(ctx, r, r->halfScreen[0], r->halfScreen[1], r->postShader[LPP_POST_SSAO_V_BLUR]);

    m.setTexture(1, r->halfScreen[0]);
    postPass(ctx, r, dest, r->backRTT[0], r->postShader[LPP_POST_SSAO_COMBINE]);
}

bool qeIrrlichtLppMlaaTargets(LppRenderer* r, video::ITexture* target, video::ITexture* out[3]) {
    if (!target) {
        out[0] = r->backRTT[2], out[1] = r->backRTT[0], out[2] = r->backRTT[1];
    } else if (target == r->backRTT[0]) {
        out[0] = r->backRTT[0], out[1] = r->backRTT[2], out[2] = r->backRTT[1];
    } else if (target == r->backRTT[1]) {
        out[0] = r->backRTT[1], out[1] = r->backRTT[2], out[2] = r->backRTT[0];
    } else {
        return false;
    }
    return true;
}

void doMLAA(EngineContext* ctx, LppRenderer* r, video::ITexture* target) {
    video::ITexture* t[3];
    if (!qeIrrlichtLppMlaaTargets(r, target, t)) {
        qeSysDebugPrint("doMLAA: unsupported dest render tex\n");
        return;
    }
    video::ITexture *source = t[0], *edges = t[1], *weights = t[2];
    ShaderObject* edge = r->postShader[LPP_POST_MLAA_EDGE];
    ShaderObject* weight = r->postShader[LPP_POST_MLAA_WEIGHT];
    ShaderObject* blend = r->postShader[LPP_POST_MLAA_BLEND];
    IDirect3DDevice9* d = r->device;
    if (!edge || !weight || !blend || !d) return;
    video::IVideoDriver* driver = ctx->driver;
    video::SMaterial& m = r->mlaaQuad->getMaterial();
    auto layers = [&m](video::ITexture* l0, bool bilinear1, video::ITexture* l1, video::ITexture* l2) {
        m.setTexture(0, l0);
        m.setTexture(1, l1);
        m.setTexture(2, l2);
        m.TextureLayer[0].BilinearFilter = false;
        m.TextureLayer[1].BilinearFilter = bilinear1;
        m.TextureLayer[2].BilinearFilter = false;
    };

    if (!target) driver->copyBackBufferToTexture(r->backRTT[2], false);

    d->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
    d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    d->SetRenderState(D3DRS_STENCILREF, 1);
    driver->setRenderTarget(edges, true, false, video::SColor(0));
    layers(source, false, nullptr, nullptr);
    m.MaterialType = materialOf(edge);
    r->mlaaQuad->render(driver);

    d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    d->SetRenderState(D3DRS_STENCILREF, 1);
    driver->setRenderTarget(weights, true, false, video::SColor(0));
    layers(edges, true, edges, r->mlaaAreaMapTexture);
    m.MaterialType = materialOf(weight);
    r->mlaaQuad->render(driver);

    if (target) driver->copyTextureToTexture(target, r->backRTT[2], false);
    driver->setRenderTarget(target, false, false, video::SColor(0));
    layers(r->backRTT[2], false, weights, nullptr);
    m.MaterialType = materialOf(blend);
    r->mlaaQuad->render(driver);

    d->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_REPLACE);
    d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
}

namespace {

void dofPass(EngineContext* ctx, LppRenderer* r, video::ITexture* source, video::ITexture* dest, int shader) {
    r->ppQuad->getMaterial().setTexture(1, r->depthRTT);
    postPass(ctx, r, dest, source, r->postShader[shader]);
}

// The texture a camera effect's preset slot names (null for a name the renderer does not know).
video::ITexture* presetTexture(LppRenderer* r, const char* name, video::ITexture* source) {
    if (!name) return nullptr;
    if (!std::strcmp(name, "DepthRTT")) return r->depthRTT;
    if (!std::strcmp(name, "RandVec")) return r->randVecTexture;
    if (!std::strcmp(name, "SourceRTT")) return source;
    if (!std::strcmp(name, "NormalRTT")) return r->normalRTT;
    if (!std::strcmp(name, "LightRTT")) return r->lightRTT;
    return nullptr;
}

}  // namespace

void qeIrrlichtLppDof(EngineContext* ctx, LppRenderer* r, video::ITexture* source, video::ITexture* dest) {
    dofPass(ctx, r, source, dest, LPP_POST_DOF);
}

void qeIrrlichtLppDofAdvanced(EngineContext* ctx, LppRenderer* r, video::ITexture* source, video::ITexture* dest) {
    dofPass(ctx, r, source, dest, LPP_POST_DOF_ADVANCED);
}

void qeIrrlichtLppApplyCameraEffect(EngineContext* ctx, LppRenderer* r, int effectId, video::ITexture* source,
                                    video::ITexture* dest) {
    ShaderObject* shader = qeIrrlichtGetCameraEffectShader(effectId);
    if (!shader) return;
    video::SMaterial& m = r->ppQuad->getMaterial();
    m.setTexture(0, source);
    bool repeat = false, point = false;
    if (qeIrrlichtCameraEffectHasTextures(effectId)) {
        for (int i = 0; i < 10; ++i) {
            if (i >= static_cast<int>(video::MATERIAL_MAX_TEXTURES)) continue;
            video::ITexture* texture = qeIrrlichtCameraEffectSlotPreset(effectId, i)
                                           ? presetTexture(r, qeIrrlichtGetCameraEffectTextureName(effectId, i), source)
                                           : qeIrrlichtGetCameraEffectTexture(effectId, i);
            if (texture) m.setTexture(i, texture);
            if (qeIrrlichtCameraEffectSlotRepeat(effectId, i)) {
                setWrap(m.TextureLayer[i], video::ETC_REPEAT);
                repeat = true;
            }
            if (qeIrrlichtCameraEffectSlotFilterPoint(effectId, i)) {
                m.TextureLayer[i].BilinearFilter = false;
                point = true;
            }
        }
    }
    postPass(ctx, r, dest, m.getTexture(0), shader);
    for (video::SMaterialLayer& layer : m.TextureLayer) {
        if (repeat) setWrap(layer, video::ETC_CLAMP_TO_EDGE);
        if (point) layer.BilinearFilter = true;
    }
}
