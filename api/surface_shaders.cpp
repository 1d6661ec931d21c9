#include "surface_shaders.h"

#include <irrlicht.h>

#include "engine_context.h"
#include "frame.h"
#include "object_surfaces.h"
#include "shader_material.h"
#include "shader_object.h"
#include "sys.h"
#include "sysfile.h"
#include "uber_shader.h"

using namespace irr;

namespace {

// Header texture names that stand for a surface channel, with the channel they take.
struct ChannelName {
    const char* name;
    int channel;
};
const ChannelName kChannelNames[] = {
    {"Color", QE_SURF_BASECOLOR},         {"Luminosity", QE_SURF_LUMINOSITY},
    {"Diffuse", QE_SURF_DIFFUSE},         {"Specularity", QE_SURF_SPECULARITY},
    {"Reflectivity", QE_SURF_REFLECTIVITY}, {"Transparency", QE_SURF_TRANSPARENCY},
    {"Translucency", QE_SURF_TRANSLUCENCY}, {"RefractionIndex", QE_SURF_IOR},
    {"Bump", QE_SURF_BUMP},               {"Glossiness", QE_SURF_GLOSSINESS},
    {"ReflectionImage", QE_SURF_REFLECTIONIMAGE}, {"RefractionImage", QE_SURF_REFRACTIONIMAGE},
};

int channelNamed(const char* name) {
    for (const ChannelName& c : kChannelNames)
        if (qeSysStrCaseCmp(name, c.name) == 0) return c.channel;
    return -1;
}

// The header's texture slots: channel names take the surface's loaded textures, the others load by name.
void bindHeaderTextures(video::SMaterial& m, const ObjectSurface* s, const ObjectSurfaceRecord& r) {
    ShaderObject* shader = s->shader;
    const char* shaderName = qeIrrShaderGetFileName(shader);
    video::IVideoDriver* driver = qeIrrlichtGetContext()->driver;
    for (int slot = 0; slot < QE_SHADER_MAX_TEXTURES; ++slot) {
        if (!qeIrrShaderTextureUsed(shader, slot)) continue;
        const char* name = qeIrrShaderTextureName(shader, slot);
        const int channel = channelNamed(name);
        video::ITexture* texture = nullptr;
        if (channel >= 0) {
            texture = s->textures[channel];
            if (!texture) {
                const char* file = r.channels[channel].texImage;
                qeSysMessageBox("Shader '%s': can't load texture '%s' (ref='%s')", shaderName, name, file ? file : "");
            }
        } else {
            if (qeIrrShaderTextureIsCube(shader, slot))
                texture = qeIrrlichtLoadCubeMap(name);
            else if (qeIrrShaderTextureIsR32F(shader, slot))
                texture = qeIrrlichtLoadFloatTexture(qeSysFindDataFile(name));
            else
                texture = driver->getTexture(qeSysFindDataFile(name));
            if (!texture) qeSysMessageBox("Shader '%s': can't load texture '%s'", shaderName, name);
        }
        // Slots 8 and 9 have no material layer.
        if (texture && slot < static_cast<int>(video::MATERIAL_MAX_TEXTURES)) m.setTexture(slot, texture);
    }
}

}  // namespace

void qeIrrlichtSurfaceChooseShader(ObjectSurface* s, const ObjectSurfaceRecord& r, bool compTangent, bool uv2) {
    if (r.nodeShader) {
        const char* file = r.shader.fileName ? r.shader.fileName : "";
        ShaderObject* shader = qeIrrlichtUberShaderCreate(file, &r, compTangent, uv2);
        if (!shader) {
            qeSysMessageBox("Cannot qeIrrlichtUberShaderCreate('%s') failed", file);
            return;
        }
        if (qeIrrShaderSetupGpuMaterial(shader) != 0) {
            qeSysMessageBox("qeIrrShaderSetupGpuMaterial(%s) failed\n", file);
            qeIrrShaderDestroy(shader);
            return;
        }
        s->shader = shader;
        s->ownsShader = 1;
        s->hasShaderMaterial = 1;
        return;
    }
    if (!qeIrrlichtSurfaceIsTransparent(r)) return;
    ShaderObject* shader = qeIrrlichtUberShaderGetDefault(&r, compTangent, uv2);
    if (!shader) {
        qeSysMessageBox("qeIrrlichtUberShaderGetDefault() failed");
        return;
    }
    s->shader = shader;
    s->hasShaderMaterial = 1;
}

int qeIrrlichtSurfaceShaderWantsTangents(const ObjectSurface* s) {
    return s->shader && qeIrrShaderNeedsTangents(s->shader) ? 1 : 0;
}

void qeIrrlichtSurfaceShaderMaterial(video::SMaterial& m, ObjectSurface* s, const ObjectSurfaceRecord& r) {
    m.Lighting = false;
    m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(qeIrrShaderGetMaterialType(s->shader));
    const int base = qeIrrShaderGetBaseMaterial(s->shader);
    if (base == QE_SHADER_BASE_ONE_ONE || base == QE_SHADER_BASE_SUB_COLOR) {
        // The surface marker takes this parameter's place; the constant callback sets these blends itself.
        m.MaterialTypeParam = base == QE_SHADER_BASE_ONE_ONE
                                  ? video::pack_textureBlendFunc(video::EBF_ONE, video::EBF_ONE)
                                  : video::pack_textureBlendFunc(video::EBF_ZERO, video::EBF_ONE_MINUS_SRC_COLOR);
        m.ZWriteEnable = false;
    }
    bindHeaderTextures(m, s, r);
}

void qeIrrlichtSurfaceUpdateShader(ObjectSurface* s, const ObjectSurfaceRecord& r) {
    qeIrrShaderSetTime(s->shader, qeIrrlichtGetSceneTime() / 1000.0f);
    const int count = r.shader.paramCount < QE_SHADER_VALUES_MAX ? r.shader.paramCount : QE_SHADER_VALUES_MAX;
    for (int k = 0; k < count; ++k) {
        const ShaderValueEntry& value = r.shader.params[k];
        if (!value.param) continue;
        const char* name = value.param->name;
        for (int i = 0; i < qeIrrShaderGetParamCount(s->shader); ++i) {
            const ShaderParam* param = qeIrrShaderGetParam(s->shader, i);
            if (qeSysStrCaseCmp(param->name, name) != 0) continue;
            if (param->type == QE_SHADER_TYPE_FLOAT3)
                qeIrrShaderSetParamFloat3ByName(s->shader, name, value.value);
            else
                qeIrrShaderSetParamFloatByName(s->shader, name, value.value[0]);
            break;
        }
    }
}

void qeIrrlichtSurfaceFreeShader(ObjectSurface* s) {
    if (s->ownsShader && s->shader) qeIrrShaderDestroy(s->shader);
    s->shader = nullptr;
    s->ownsShader = 0;
    s->hasShaderMaterial = 0;
}
