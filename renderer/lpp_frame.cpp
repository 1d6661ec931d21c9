// One frame of the light pre-pass renderer: geometry pass (normals and depth), light pass with shadow maps,
// final pass, transparent and effect nodes, then the post chain.
#include <d3d9.h>
#include <irrlicht.h>

#include <cmath>
#include <vector>

#include "camera_effects.h"
#include "engine.h"
#include "engine_context.h"
#include "lights.h"
#include "lookups.h"
#include "lpp.h"
#include "lpp_internal.h"
#include "object_surfaces.h"
#include "objects.h"
#include "overlay.h"
#include "shader_object.h"

using namespace irr;

namespace {

const f32 kDegToRad = 0.017453292f;

// The scene manager's drawing stages: set-up (begin, cameras, lights, sky boxes) and the end of the frame.
const u32 kSetUpPasses = 0x001 | 0x002 | 0x004 | 0x008;
const u32 kEndPasses = 0x100;

// A node's materials as the frame found them: type and texture layers.
struct materialCtx_s {
    video::E_MATERIAL_TYPE type;
    video::SMaterialLayer layers[video::MATERIAL_MAX_TEXTURES];
};

std::vector<materialCtx_s>* saveMaterials(scene::ISceneNode* node) {
    auto* saved = new std::vector<materialCtx_s>(node->getMaterialCount());
    for (u32 i = 0; i < node->getMaterialCount(); ++i) {
        const video::SMaterial& m = node->getMaterial(i);
        (*saved)[i].type = m.MaterialType;
        for (u32 l = 0; l < video::MATERIAL_MAX_TEXTURES; ++l) (*saved)[i].layers[l] = m.TextureLayer[l];
    }
    return saved;
}

void restoreMaterials(scene::ISceneNode* node, std::vector<materialCtx_s>* saved) {
    for (u32 i = 0; i < node->getMaterialCount() && i < saved->size(); ++i) {
        video::SMaterial& m = node->getMaterial(i);
        m.MaterialType = (*saved)[i].type;
        for (u32 l = 0; l < video::MATERIAL_MAX_TEXTURES; ++l) m.TextureLayer[l] = (*saved)[i].layers[l];
    }
    delete saved;
}

const u32 kOverrideFlags = video::EMF_LIGHTING | video::EMF_ZBUFFER | video::EMF_ZWRITE_ENABLE;

void setOverride(video::IVideoDriver* driver, bool lighting, video::E_COMPARISON_FUNC depthTest, bool depthWrite,
                 u32 flags, u16 passes) {
    video::SOverrideMaterial& o = driver->getOverrideMaterial();
    o.Material.Lighting = lighting;
    o.Material.ZBuffer = depthTest;
    o.Material.ZWriteEnable = depthWrite;
    o.EnableFlags = flags;
    o.EnablePasses = passes;
    o.Enabled = true;
}

void disableOverride(video::IVideoDriver* driver) {
    video::SOverrideMaterial& o = driver->getOverrideMaterial();
    o.EnableFlags = 0;
    o.EnablePasses = 0;
    o.Enabled = false;
}

ObjectSurface* surfaceOf(ObjectSurfaceSet* set, u32 i) {
    return set && static_cast<int>(i) < set->count ? &set->surfaces[i] : nullptr;
}

void setLayer(video::SMaterial& m, u32& layer, video::ITexture* texture) {
    if (layer < video::MATERIAL_MAX_TEXTURES) m.setTexture(layer, texture);
    ++layer;
}

// Named-target binding of a surface's own shader: preset slots named after the renderer's targets.
void bindNamedTargets(LppRenderer* r, video::SMaterial& m, const ShaderObject* shader) {
    for (int slot = 0; slot < 8; ++slot) {
        if (!qeIrrShaderTextureIsPreset(shader, slot)) continue;
        const char* name = qeIrrShaderTextureName(shader, slot);
        if (!name) continue;
        video::ITexture* t = nullptr;
        if (core::stringc(name) == "LightRTT") t = r->lightRTT;
        else if (core::stringc(name) == "NormalRTT") t = r->normalRTT;
        else if (core::stringc(name) == "DepthRTT") t = r->depthRTT;
        if (t) m.setTexture(static_cast<u32>(slot), t);
    }
}

bool ownShaderWithTextures(const ObjectSurface* s) {
    return s && s->hasShaderMaterial && s->shader && qeIrrShaderHasPresetTextures(s->shader);
}

// ---- geometry and final pass steps ----

int geometryStep(LppRenderer* r, scene::ISceneNode* node) {
    const int id = node->getID();
    if (id == -1) return 0;
    ObjectSurfaceSet* set = qeIrrlichtGetObjectSurfaces(id);
    if (!set) return 0;
    const bool hasTangents = qeIrrlichtObjectHasTangents(id) != 0;
    std::vector<materialCtx_s>* saved = saveMaterials(node);
    int count = 0;
    for (u32 i = 0; i < node->getMaterialCount(); ++i) {
        ObjectSurface* s = surfaceOf(set, i);
        if (!s) continue;
        video::SMaterial& m = node->getMaterial(i);
        const LppSurfaceTextures t = qeIrrlichtLppSurfaceTextures(s);
        ShaderObject* shader = qeIrrlichtLppIsLppSurface(s, m)
                                   ? qeIrrlichtLppDepthShaderFor(r, qeIrrlichtLppDepthIndexOf(t, hasTangents))
                                   : nullptr;
        if (!shader) {
            // not drawn by the solid pass (a missing permutation counts as a surface of its own)
            m.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
            continue;
        }
        u32 layer = 0;
        if (t.normal) setLayer(m, layer, s->textures[QE_SURF_BUMP]);
        if (t.glossiness) setLayer(m, layer, s->textures[QE_SURF_GLOSSINESS]);
        if (layer < video::MATERIAL_MAX_TEXTURES) m.TextureLayer[layer].BilinearFilter = false;
        setLayer(m, layer, r->bestFitNormalsTexture);
        m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(qeIrrShaderGetMaterialType(shader));
        ++count;
    }
    if (count) node->render();
    restoreMaterials(node, saved);
    return count;
}

void finalStep(LppRenderer* r, scene::ISceneNode* node) {
    const int id = node->getID();
    ObjectSurfaceSet* set = id == -1 ? nullptr : qeIrrlichtGetObjectSurfaces(id);
    std::vector<materialCtx_s>* saved = saveMaterials(node);
    const int hasTangents = set ? qeIrrlichtObjectHasTangents(id) : 0;
    const int uv2 = set ? qeIrrlichtObjectHasUV2InBinormal(id) : 0;
    for (u32 i = 0; i < node->getMaterialCount(); ++i) {
        ObjectSurface* s = surfaceOf(set, i);
        if (!s) continue;
        video::SMaterial& m = node->getMaterial(i);
        if (!s->hasShaderMaterial && qeIrrlichtLppIsLppSurface(s, m)) {
            int reflective = 0;
            const int index = qeIrrlichtLppFinalPassIndex(s, hasTangents, uv2, &reflective);
            ShaderObject* shader = qeIrrlichtLppFinalShaderFor(r, index, reflective);
            if (!shader) continue;  // its permutation failed: drawn with its own material
            u32 layer = 0;
            if (index & 1) setLayer(m, layer, s->textures[QE_SURF_BASECOLOR]);
            if (index & 2) setLayer(m, layer, s->textures[QE_SURF_LUMINOSITY]);
            if (index & 4) setLayer(m, layer, s->textures[QE_SURF_DIFFUSE]);
            if (index & 8) setLayer(m, layer, s->textures[QE_SURF_SPECULARITY]);
            if (reflective) {
                setLayer(m, layer, s->textures[QE_SURF_REFLECTIONIMAGE]);
                if (index & 64) setLayer(m, layer, s->textures[QE_SURF_REFLECTIVITY]);
                if (index & 128) setLayer(m, layer, s->textures[QE_SURF_BUMP]);
            }
            setLayer(m, layer, r->lightRTT);
            m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(qeIrrShaderGetMaterialType(shader));
        } else if (ownShaderWithTextures(s)) {
            bindNamedTargets(r, m, s->shader);
        }
    }
    node->render();
    restoreMaterials(node, saved);
}

// ---- shadow map ----

bool boxOverlapsShadowCasters(const core::aabbox3df& frustumBox) {
    ObjectEntry* cursor = nullptr;
    for (int id = qeIrrlichtNextVisibleObject(&cursor); id != -1; id = qeIrrlichtNextVisibleObject(&cursor)) {
        if (!qeIrrlichtObjectShadowShading(id)) continue;
        scene::ISceneNode* node = qeIrrlichtGetObjectNode(id);
        if (!node) continue;
        core::aabbox3df box = node->getBoundingBox();
        node->getAbsoluteTransformation().transformBoxEx(box);
        if (box.intersectsWithBox(frustumBox)) return true;
    }
    return false;
}

// Draws the light's shadow map; false (nothing drawn) when no shadow caster meets its frustum.
bool shadowMapStep(EngineContext* ctx, LppRenderer* r, scene::ILightSceneNode* light, core::matrix4& shadowMatrix,
                   f32& range) {
    video::IVideoDriver* driver = ctx->driver;
    const video::SLight& data = light->getLightData();
    const bool spot = data.Type == video::ELT_SPOT;
    range = spot && data.Radius < 5000.0f ? data.Radius : 5000.0f;
    const core::vector3df p = light->getPosition();
    core::vector3df dir(0.0f, 0.0f, 1.0f);
    core::matrix4 rotation;
    rotation.setRotationDegrees(light->getRotation());
    rotation.rotateVect(dir);
    const core::vector3df target = p + dir;
    const core::vector3df eye = spot ? p : p - dir;
    core::matrix4 projection, view;
    if (spot)
        projection.buildProjectionMatrixPerspectiveFovLH(2.0f * data.OuterCone * kDegToRad, 1.0f, 0.01f, range);
    else
        projection.buildProjectionMatrixOrthoLH(30.0f, 30.0f, 0.01f, range);
    const core::vector3df away = eye - target;
    const core::vector3df up = away.X + away.Z == 0.0f ? core::vector3df(0, 0, 1) : core::vector3df(0, 1, 0);
    view.buildCameraLookAtMatrixLH(eye, target, up);
    shadowMatrix = projection * view;

    scene::SViewFrustum frustum(shadowMatrix);
    frustum.cameraPosition = eye;
    frustum.recalculateBoundingBox();
    if (!boxOverlapsShadowCasters(frustum.getBoundingBox())) return false;

    const core::matrix4 savedView = driver->getTransform(video::ETS_VIEW);
    const core::matrix4 savedProjection = driver->getTransform(video::ETS_PROJECTION);
    driver->setTransform(video::ETS_VIEW, view);
    driver->setTransform(video::ETS_PROJECTION, projection);
    setOverride(driver, false, video::ECFN_LESSEQUAL, true, kOverrideFlags, scene::ESNRP_SOLID);
    driver->setRenderTarget(r->shadowTexture, true, true, video::SColor(0xFFFFFFFF));
    qeIrrShaderSetParamFloatByName(r->shadowDepthShader, "MaxD", range);
    const video::E_MATERIAL_TYPE depthType =
        static_cast<video::E_MATERIAL_TYPE>(qeIrrShaderGetMaterialType(r->shadowDepthShader));
    ObjectEntry* cursor = nullptr;
    for (int id = qeIrrlichtNextVisibleObject(&cursor); id != -1; id = qeIrrlichtNextVisibleObject(&cursor)) {
        if (!qeIrrlichtObjectShadowShading(id)) continue;
        scene::ISceneNode* node = qeIrrlichtGetObjectNode(id);
        if (!node) continue;
        std::vector<materialCtx_s>* saved = saveMaterials(node);
        for (u32 i = 0; i < node->getMaterialCount(); ++i) node->getMaterial(i).MaterialType = depthType;
        node->render();
        restoreMaterials(node, saved);
    }
    driver->setTransform(video::ETS_VIEW, savedView);
    driver->setTransform(video::ETS_PROJECTION, savedProjection);
    setOverride(driver, false, video::ECFN_ALWAYS, false, kOverrideFlags, scene::ESNRP_SOLID);
    driver->setRenderTarget(r->lightRTT, false, false, video::SColor(0));
    return true;
}

// ---- light pass ----

void setMatrix(ShaderObject* shader, const char* name, const core::matrix4& m) {
    qeIrrShaderSetParamFloatsByName(shader, name, m.pointer(), 16);
}

void setVector(ShaderObject* shader, const char* name, const core::vector3df& v) {
    const f32 values[3] = {v.X, v.Y, v.Z};
    qeIrrShaderSetParamFloat3ByName(shader, name, values);
}

void drawVolume(video::IVideoDriver* driver, LppRenderer* r, scene::IMesh* mesh, const core::matrix4& world) {
    video::SOverrideMaterial& o = driver->getOverrideMaterial();
    o.Material.ZBuffer = video::ECFN_LESSEQUAL;
    driver->setTransform(video::ETS_WORLD, world);
    driver->setMaterial(r->screenQuad->getMaterial());
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) driver->drawMeshBuffer(mesh->getMeshBuffer(i));
}

void lightStep(EngineContext* ctx, LppRenderer* r, scene::ILightSceneNode* light, const core::matrix4& view,
               const core::matrix4& inverseView) {
    video::IVideoDriver* driver = ctx->driver;
    const int id = light->getID();
    if (id == -1) return;
    const f32 intensity = qeIrrlichtGetLightIntensity(id);
    if (intensity == 0.0f) return;
    const video::SLight& data = light->getLightData();
    // A point or spot light without a positive range (or one too short to square) reaches nothing; its
    // inverse squared radius would be infinite.
    if (data.Type != video::ELT_DIRECTIONAL && !qeIrrlichtLightRangeReaches(data.Radius)) return;

    int variant = 0;
    core::matrix4 shadowMatrix;
    f32 range = 0.0f;
    if (data.Type != video::ELT_POINT && qeIrrlichtGetLightShadow(id) && shadowMapStep(ctx, r, light, shadowMatrix, range)) {
        shadowMatrix = shadowMatrix * inverseView;
        const f32 fuzz = qeIrrlichtGetLightShadowFuzz(id);
        variant = fuzz < 1.0f ? 1 : fuzz < 2.0f ? 2 : fuzz < 4.0f ? 3 : fuzz < 8.0f ? 4 : 5;
    }
    const int index = data.Type == video::ELT_DIRECTIONAL ? variant : data.Type == video::ELT_SPOT ? 12 + variant : 6;
    ShaderObject* shader = r->lightPassShader[index];
    if (!shader) return;

    scene::ICameraSceneNode* camera = ctx->smgr->getActiveCamera();
    const f32 d = camera ? (camera->getPosition() - light->getPosition()).getLength() - camera->getNearValue() : 0.0f;
    bool volume = false;
    f32 length = 0.0f, width = 0.0f;
    if (data.Type != video::ELT_DIRECTIONAL) {
        core::vector3df position = data.Position;
        view.transformVect(position);
        setVector(shader, "LightPosition", position);
        qeIrrShaderSetParamFloatByName(shader, "InvLightRadiusSqr", 1.0f / (data.Radius * data.Radius));
    }
    if (data.Type != video::ELT_POINT) {
        core::vector3df direction = data.Direction;
        view.rotateVect(direction);
        setVector(shader, "LightDirection", direction.normalize());
    }
    if (data.Type == video::ELT_SPOT) {
        const f32 angles[2] = {std::cos(data.InnerCone * kDegToRad), std::cos(data.OuterCone * kDegToRad)};
        qeIrrShaderSetParamFloat2ByName(shader, "SpotlightAngles", angles);
        length = 1.05f * data.Radius;
        // a cone wider than about 81 degrees would turn inside out: the full-screen quad draws it
        const f32 halfAngle = 1.1f * data.OuterCone;
        width = length * std::tan(halfAngle * kDegToRad);
        volume = camera && halfAngle < 89.0f && std::sqrt(length * length + width * width) < d;
    } else if (data.Type == video::ELT_POINT) {
        volume = camera && 1.05f * data.Radius < d;
    }
    setVector(shader, "LightColor", core::vector3df(data.DiffuseColor.r, data.DiffuseColor.g, data.DiffuseColor.b));
    if (variant > 0) {
        setMatrix(shader, "ShadowWorldViewProj", shadowMatrix);
        qeIrrShaderSetParamFloatByName(shader, "ShadowMaxD", range);
        const float* c = qeIrrlichtGetLightShadowColor(id);
        const f32 colour[3] = {c ? c[0] * intensity : 0.0f, c ? c[1] * intensity : 0.0f, c ? c[2] * intensity : 0.0f};
        qeIrrShaderSetParamFloat3ByName(shader, "ShadowColor", colour);
        qeIrrShaderSetParamFloatByName(shader, "ShadowEpsilon",
                                       ctx->render.shadowOn ? ctx->render.shadowEpsilon * 0.00001f : 0.00005f);
    }
    r->screenQuad->getMaterial().MaterialType = static_cast<video::E_MATERIAL_TYPE>(qeIrrShaderGetMaterialType(shader));
    const core::matrix4 viewProjection = driver->getTransform(video::ETS_PROJECTION) * view;
    if (volume) {
        core::matrix4 world;
        scene::IMesh* mesh = r->lightSphereMesh;
        if (data.Type == video::ELT_POINT) {
            world.setTranslation(light->getPosition());
            world.setScale(1.05f * data.Radius);
        } else {
            mesh = r->lightConeMesh;
            world.setRotationDegrees(light->getRotation());
            world.setTranslation(light->getPosition());
            core::matrix4 scale;
            scale.setScale(core::vector3df(width, width, length));
            world = world * scale;
        }
        setMatrix(shader, "WorldViewProjection", viewProjection * world);
        drawVolume(driver, r, mesh, world);
        driver->getOverrideMaterial().Material.ZBuffer = video::ECFN_ALWAYS;
    } else {
        setMatrix(shader, "WorldViewProjection", core::IdentityMatrix);
        driver->getOverrideMaterial().Material.ZBuffer = video::ECFN_ALWAYS;
        r->screenQuad->render(driver);
    }
}

void lightPass(EngineContext* ctx, LppRenderer* r) {
    video::IVideoDriver* driver = ctx->driver;
    const core::matrix4 view = driver->getTransform(video::ETS_VIEW);
    core::matrix4 inverseView;
    if (!view.getInverse(inverseView)) inverseView = view;
    r->screenQuad->getMaterial().MaterialType =
        static_cast<video::E_MATERIAL_TYPE>(qeIrrShaderGetMaterialType(r->lightClearShader));
    r->screenQuad->render(driver);
    core::array<scene::ISceneNode*> lights;
    ctx->smgr->getLightList(lights);
    for (u32 i = 0; i < lights.size(); ++i)
        lightStep(ctx, r, static_cast<scene::ILightSceneNode*>(lights[i]), view, inverseView);
}

bool listHasGlow(const core::array<scene::ISceneNode*>& list) {
    for (u32 n = 0; n < list.size(); ++n) {
        const int id = list[n]->getID();
        if (id == -1) continue;
        ObjectSurfaceSet* set = qeIrrlichtGetObjectSurfaces(id);
        for (u32 i = 0; i < list[n]->getMaterialCount(); ++i) {
            const ObjectSurface* s = surfaceOf(set, i);
            if (s && qeIrrlichtSurfaceValue(s->channels[QE_SURF_GLOWVALUE]) != 0.0f) return true;
        }
    }
    return false;
}

void setTarget(video::IVideoDriver* driver, video::ITexture* target) {
    driver->setRenderTarget(target, false, false, video::SColor(0));
}

}  // namespace

video::ITexture* qeIrrlichtLppRenderFrame(EngineContext* ctx, LppRenderer* r, int toTarget) {
    video::IVideoDriver* driver = ctx->driver;
    scene::ISceneManager* smgr = ctx->smgr;
    const RenderSettings& rs = ctx->render;
    const int effects = qeIrrlichtGetEnabledCameraEffectCount();
    const bool routed = rs.dofOn || effects > 0 || toTarget;

    // 1-2: the main target and the SSAO target
    video::ITexture* main = rs.ssaoOn || routed ? r->backRTT[0] : nullptr;
    video::ITexture* ssaoTarget = rs.ssaoOn && routed ? r->backRTT[1] : nullptr;
    driver->setRenderTarget(main, true, true, video::SColor(qeIrrlichtGetBackdropColor() & 0x00FFFFFF));

    // 3-4: the frame's lists and the glow decision
    core::array<scene::ISceneNode*> solid, transparent, effectNodes;
    smgr->getSolidNodeList(solid);
    smgr->getTransparentNodeList(transparent);
    smgr->getTransparentEffectNodeList(effectNodes);
    const bool glowOn = rs.glowOn && rs.glowIntensity != 0.0f;
    bool tG = false, eG = false, glowPass = false;
    if (glowOn) {
        const bool sG = listHasGlow(solid);
        tG = listHasGlow(transparent);
        eG = listHasGlow(effectNodes);
        glowPass = sG || tG || eG || rs.bloomOn;
    }

    // 5-6: geometry pass; the clear draw does not sample the targets it writes
    driver->setRenderTarget(*r->geometryTargets, true, true, video::SColor(0));
    video::SMaterial& quad = r->screenQuad->getMaterial();
    quad.setTexture(0, nullptr);
    quad.setTexture(1, nullptr);
    quad.MaterialType = static_cast<video::E_MATERIAL_TYPE>(qeIrrShaderGetMaterialType(r->depthClearShader));
    r->screenQuad->render(driver);
    quad.setTexture(0, r->depthRTT);
    quad.setTexture(1, r->normalRTT);
    smgr->setSceneNodeRenderPass(scene::ESNRP_SOLID);
    int drawn = 0;
    for (u32 i = 0; i < solid.size(); ++i) drawn += geometryStep(r, solid[i]);

    // 7: light pass
    if (drawn) {
        setOverride(driver, false, video::ECFN_ALWAYS, false, kOverrideFlags, scene::ESNRP_SOLID);
        setTarget(driver, r->lightRTT);
        lightPass(ctx, r);
    }

    // 8-11: final pass
    setOverride(driver, true, video::ECFN_LESSEQUAL, true, kOverrideFlags, scene::ESNRP_SOLID);
    if (rs.dofOn && main) driver->setRenderTarget(*r->finalTargets, false, false, video::SColor(0));
    else setTarget(driver, main);
    smgr->setSceneNodeRenderPass(scene::ESNRP_SOLID);
    for (u32 i = 0; i < solid.size(); ++i) finalStep(r, solid[i]);
    disableOverride(driver);
    if (rs.dofOn && main) driver->setRenderTarget(*r->finalTargets, false, false, video::SColor(0));

    // 12: blended draws keep the glow mask in alpha (times one minus their alpha)
    if (glowPass && r->device) {
        r->device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, TRUE);
        r->device->SetRenderState(D3DRS_SRCBLENDALPHA, D3DBLEND_BLENDFACTOR);
        r->device->SetRenderState(D3DRS_BLENDFACTOR, 0);
        r->device->SetRenderState(D3DRS_DESTBLENDALPHA, D3DBLEND_INVSRCALPHA);
        r->device->SetRenderState(D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD);
    }

    // 13: transparent pass
    setOverride(driver, false, video::ECFN_LESSEQUAL, false, video::EMF_ZWRITE_ENABLE, scene::ESNRP_TRANSPARENT);
    smgr->setSceneNodeRenderPass(scene::ESNRP_TRANSPARENT);
    // With depth of field on, depthRTT is target 1: nodes without a shader of their own (which writes
    // COLOR1 itself) leave it untouched.
    const bool depthTarget = rs.dofOn && main && r->device;
    for (u32 n = 0; n < transparent.size(); ++n) {
        scene::ISceneNode* node = transparent[n];
        const int id = node->getID();
        ObjectSurfaceSet* set = id == -1 ? nullptr : qeIrrlichtGetObjectSurfaces(id);
        bool shaded = false;
        for (u32 i = 0; i < node->getMaterialCount(); ++i) {
            const ObjectSurface* s = surfaceOf(set, i);
            if (s && s->hasShaderMaterial && s->shader) shaded = true;
            if (ownShaderWithTextures(s)) bindNamedTargets(r, node->getMaterial(i), s->shader);
        }
        if (depthTarget) r->device->SetRenderState(D3DRS_COLORWRITEENABLE1, shaded ? 0xF : 0);
        node->render();
    }
    if (depthTarget) r->device->SetRenderState(D3DRS_COLORWRITEENABLE1, 0xF);

    // 14-15: glow capture and SSAO
    if (glowPass) qeIrrlichtLppGlowCapture(ctx, r, main);
    if (rs.ssaoOn) {
        qeIrrlichtLppSSAO(ctx, r, ssaoTarget);
        main = ssaoTarget;
    }

    // 16-18: transparent effect nodes
    if ((tG || eG) && r->device) r->device->SetRenderState(D3DRS_BLENDFACTOR, 0);
    smgr->setSceneNodeRenderPass(scene::ESNRP_TRANSPARENT_EFFECT);
    for (u32 n = 0; n < effectNodes.size(); ++n) effectNodes[n]->render();
    if (glowPass && r->device) r->device->SetRenderState(D3DRS_SEPARATEALPHABLENDENABLE, FALSE);
    if (rs.dofOn && main) setTarget(driver, main);
    disableOverride(driver);

    // 19-21: anti-aliasing, glow, depth of field
    if (ctx->antialias) doMLAA(ctx, r, main);
    if (glowPass) {
        qeIrrlichtLppGlowBlur(ctx, r, main);
        qeIrrlichtLppGlowCompose(ctx, r, main);
    }
    if (rs.dofOn) {
        // never the texture it reads (SSAO may have left the frame in backRTT[1])
        video::ITexture* dest = effects > 0 || toTarget ? (main == r->backRTT[1] ? r->backRTT[0] : r->backRTT[1]) : nullptr;
        if (rs.advancedDofOn) qeIrrlichtLppDofAdvanced(ctx, r, main, dest);
        else qeIrrlichtLppDof(ctx, r, main, dest);
        setTarget(driver, dest);
        main = dest;
    }

    // 22: camera effects, alternating between the two back targets
    if (effects > 0) {
        int parity = main != r->backRTT[0] ? 1 : 0;
        for (int i = 0; i < effects; ++i) {
            video::ITexture* dest = i == effects - 1 && !toTarget ? nullptr : parity == 0 ? r->backRTT[1] : r->backRTT[0];
            qeIrrlichtLppApplyCameraEffect(ctx, r, GetEnabled(i), main, dest);
            parity = 1 - parity;
            main = dest;
        }
        setTarget(driver, main);
    }
    smgr->setSceneNodeRenderPass(scene::ESNRP_NONE);
    return main;
}

void qeIrrlichtLppBeginPasses(EngineContext* ctx) { ctx->smgr->drawAllPasses(kSetUpPasses); }

void qeIrrlichtLppEndPasses(EngineContext* ctx) {
    ctx->smgr->drawAllPasses(kEndPasses);
    ctx->gui->drawAll();
    qeIrrlichtOverlayDraw(ctx);
}

void qeIrrlichtLppRender(EngineContext* ctx, LppRenderer* renderer) {
    qeIrrlichtLppBeginPasses(ctx);
    qeIrrlichtLppRenderFrame(ctx, renderer, 0);
    qeIrrlichtLppEndPasses(ctx);
}
