#include "uber_shader.h"

#include <cstring>

#include "engine.h"
#include "log.h"
#include "scene_access.h"
#include "shader_object.h"
#include "shader_material.h"
#include "sys.h"

namespace {

const char* const kDefines[14] = {
    "TEX_COLOR",       "TEX_LUMINOSITY", "TEX_DIFFUSE", "TEX_SPECULAR",   "TEX_GLOSSINESS",
    "TEX_REFLECIMG",   "TEX_REFLECTIVITY", "TEX_TRANSPARENCY", "TEX_NORMAL", "TRANSPARENT",
    "TEX_REFLECCUBE",  "COMPTANGENT",    "UV2INTEX2",   "DOF",
};

bool hasImage(const ObjectSurfaceRecord* r, int slot) { return r->channels[slot].texImage != nullptr; }

float slotValue(const SurfaceChannelEntry& slot) {
    return slot.type == 2 ? static_cast<float>(slot.value.i[0]) : slot.value.f[0];
}

}  // namespace

uint32_t qeIrrlichtUberShaderMask(const ObjectSurfaceRecord* r, bool compTangent, bool uv2InTex2) {
    uint32_t mask = 0;
    if (hasImage(r, QE_SURF_BASECOLOR)) mask |= QE_UBER_TEX_COLOR;
    if (hasImage(r, QE_SURF_LUMINOSITY)) mask |= QE_UBER_TEX_LUMINOSITY;
    if (hasImage(r, QE_SURF_DIFFUSE)) mask |= QE_UBER_TEX_DIFFUSE;
    if (hasImage(r, QE_SURF_SPECULARITY)) mask |= QE_UBER_TEX_SPECULAR;
    if (hasImage(r, QE_SURF_GLOSSINESS)) mask |= QE_UBER_TEX_GLOSSINESS;
    const char* reflection = r->channels[QE_SURF_REFLECTIONIMAGE].texImage;
    if (reflection && slotValue(r->channels[QE_SURF_REFLECTIONOPTIONS]) >= 2.0f) {
        mask |= QE_UBER_TEX_REFLECIMG;
        if (hasImage(r, QE_SURF_REFLECTIVITY)) mask |= QE_UBER_TEX_REFLECTIVITY;
        if (std::strstr(reflection, "00.")) mask |= QE_UBER_TEX_REFLECCUBE;
    }
    if (hasImage(r, QE_SURF_TRANSPARENCY)) mask |= QE_UBER_TEX_TRANSPARENCY;
    if (hasImage(r, QE_SURF_BUMP)) mask |= QE_UBER_TEX_NORMAL;
    if (hasImage(r, QE_SURF_TRANSPARENCY) || slotValue(r->channels[QE_SURF_TRANSPARENCY]) != 0.0f)
        mask |= QE_UBER_TRANSPARENT;
    if (compTangent) mask |= QE_UBER_COMPTANGENT;
    if (uv2InTex2) mask |= QE_UBER_UV2INTEX2;
    return mask;
}

int qeIrrlichtUberShaderUnboundChannel(uint32_t mask) {
    const uint32_t textures = QE_UBER_TEX_COLOR | QE_UBER_TEX_LUMINOSITY | QE_UBER_TEX_DIFFUSE | QE_UBER_TEX_SPECULAR |
                              QE_UBER_TEX_GLOSSINESS | QE_UBER_TEX_REFLECIMG | QE_UBER_TEX_REFLECTIVITY |
                              QE_UBER_TEX_TRANSPARENCY | QE_UBER_TEX_NORMAL;
    return (mask & textures) == textures ? QE_SURF_REFLECTIVITY : -1;
}

int qeIrrlichtUberShaderDefines(uint32_t mask, const char* defines[15]) {
    int n = 0;
    for (int bit = 0; bit < 14; ++bit)
        if (mask & (1u << bit)) defines[n++] = kDefines[bit];
    defines[n] = nullptr;
    return n;
}

namespace {

struct UberShaderModule {
    ShaderObject* cache[QE_UBER_CACHE_SLOTS];
    bool toldUnboundReflectivity;
};
UberShaderModule g_uber;

void freeCache() {
    for (ShaderObject*& shader : g_uber.cache) {
        if (shader) qeIrrShaderDestroy(shader);
        shader = nullptr;
    }
    g_uber.toldUnboundReflectivity = false;
}

// A material binds eight textures; the shader's slots follow its channel order and Reflectivity comes last.
// A surface with all nine therefore draws without its Reflectivity map (the constant value stands for it):
// say so once per run rather than leave it to be found in the picture.
void tellUnboundReflectivity(const ObjectSurfaceRecord* record, uint32_t mask) {
    if (qeIrrlichtUberShaderUnboundChannel(mask) < 0 || g_uber.toldUnboundReflectivity) return;
    g_uber.toldUnboundReflectivity = true;
    qeLogPrint(QE_LOG_WARN,
               "UberShader: surface '%s' has nine channel textures but a material binds eight: its Reflectivity "
               "texture is not used",
               record->name ? record->name : "");
}

ShaderObject* createWithDefines(const char* file, uint32_t mask) {
    const char* defines[15];
    qeIrrlichtUberShaderDefines(mask, defines);
    return qeIrrShaderCreate(file, defines);
}

}  // namespace

// Shader objects of the cache go with the engine: their materials went with the driver.
int qeIrrlichtUberShaderInit() {
    qeIrrlichtRegisterModuleReset(freeCache, QE_STOP_AFTER_DROP);
    freeCache();
    return 0;
}

ShaderObject* qeIrrlichtUberShaderGetDefault(const ObjectSurfaceRecord* record, bool compTangent, bool uv2InTex2) {
    const uint32_t mask = qeIrrlichtUberShaderMask(record, compTangent, uv2InTex2) | QE_UBER_DOF;
    tellUnboundReflectivity(record, mask);
    ShaderObject*& slot = g_uber.cache[mask];
    // A permutation whose GPU material failed stays failed: it is not handed out without a material.
    if (slot) return qeIrrShaderGetMaterialType(slot) >= 0 ? slot : nullptr;
    ShaderObject* shader = createWithDefines("UberShader.hlsl", mask);
    if (!shader) {
        qeSysMessageBox("failed to create shader UberShader.hlsl");
        return nullptr;
    }
    slot = shader;
    if (qeIrrShaderSetupGpuMaterial(shader) != 0) {
        qeSysMessageBox("failed to set gpu for shader UberShader.hlsl");
        return nullptr;
    }
    return shader;
}

ShaderObject* qeIrrlichtUberShaderCreate(const char* shaderFile, const ObjectSurfaceRecord* record, bool compTangent,
                                         bool uv2InTex2) {
    ShaderObject* shader = createWithDefines(shaderFile, qeIrrlichtUberShaderMask(record, compTangent, uv2InTex2));
    if (!shader) qeSysMessageBox("failed to create shader %s", shaderFile);
    return shader;
}
