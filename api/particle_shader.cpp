#include "particle_shader.h"

#include <irrlicht.h>

#include "engine.h"
#include "shader_material.h"
#include "shader_object.h"
#include "sys.h"

namespace {

const char* const kParticleShaderFile = "Particle.hlsl";

struct ParticleShaderModule {
    ShaderObject* cache[QE_PARTICLE_PERMUTATIONS] = {};
};
ParticleShaderModule g_particles;

}  // namespace

int qeIrrlichtParticleShaderIndex(const ParticleShaderBlock* block) {
    if (block->blendKind > 2) return -1;
    return (block->useImageColor ? 1 : 0) + (block->colorKeyCount != 0 ? 2 : 0) + (block->sizeKeyCount != 0 ? 4 : 0) +
           (block->rotation != 0.0f ? 8 : 0) + 16 * static_cast<int>(block->blendKind);
}

int qeIrrlichtParticleShaderDefines(int index, const char** out) {
    int n = 0;
    if (index & 1) out[n++] = "TEX_COLOR";
    else if (index & 2) out[n++] = "COLOR_GRADIENT";
    if (index & 4) out[n++] = "SIZE_GRADIENT";
    if (index & 8) out[n++] = "ROTATION";
    static const char* const kBlends[3] = {"BLEND_ALPHA", "BLEND_ADD", "BLEND_SUB"};
    const int blend = index / 16;
    if (blend >= 0 && blend < 3) out[n++] = kBlends[blend];
    out[n] = nullptr;
    return n;
}

void qeIrrlichtParticleShaderReset() {
    for (ShaderObject*& shader : g_particles.cache) {
        qeIrrShaderDestroy(shader);
        shader = nullptr;
    }
}

int qeIrrlichtParticleShaderInit() {
    // a previous engine's permutations carry material types of its driver
    qeIrrlichtParticleShaderReset();
    qeIrrlichtRegisterModuleReset(qeIrrlichtParticleShaderReset, QE_STOP_AFTER_DROP);
    return 0;
}

ShaderObject* qeIrrlichtParticleShaderCached(int index) {
    return index >= 0 && index < QE_PARTICLE_PERMUTATIONS ? g_particles.cache[index] : nullptr;
}

int qeIrrlichtParticleShaderApply(irr::scene::ISceneNode* node, ParticleShaderBlock* block) {
    const int index = qeIrrlichtParticleShaderIndex(block);
    if (index < 0 || !node || node->getMaterialCount() == 0) return -1;
    ShaderObject*& slot = g_particles.cache[index];
    if (!slot) {
        const char* defines[8];
        qeIrrlichtParticleShaderDefines(index, defines);
        slot = qeIrrShaderCreate(kParticleShaderFile, defines);
        if (!slot) {
            qeSysMessageBox("failed to create shader %s", kParticleShaderFile);
            return -1;
        }
        if (qeIrrShaderSetupGpuMaterial(slot) != 0) {
            qeSysMessageBox("failed to set gpu for shader %s", kParticleShaderFile);
            qeIrrShaderDestroy(slot);
            slot = nullptr;
            return -1;
        }
    }
    irr::video::SMaterial& material = node->getMaterial(0);
    material.MaterialType = static_cast<irr::video::E_MATERIAL_TYPE>(qeIrrShaderGetMaterialType(slot));
    qeIrrlichtSetMaterialMarker(material, QE_MARKER_PARTICLE, block);
    return 0;
}
