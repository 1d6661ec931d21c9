#ifndef QIRN_RENDERER_UBER_SHADER_H
#define QIRN_RENDERER_UBER_SHADER_H

#include <cstdint>

struct ObjectSurfaceRecord;
struct ShaderObject;

// The uber shader: "UberShader.hlsl" in the permutation a surface's channels select, one cached shader
// object per permutation mask.
enum : uint32_t {
    QE_UBER_TEX_COLOR = 0x1,
    QE_UBER_TEX_LUMINOSITY = 0x2,
    QE_UBER_TEX_DIFFUSE = 0x4,
    QE_UBER_TEX_SPECULAR = 0x8,
    QE_UBER_TEX_GLOSSINESS = 0x10,
    QE_UBER_TEX_REFLECIMG = 0x20,
    QE_UBER_TEX_REFLECTIVITY = 0x40,
    QE_UBER_TEX_TRANSPARENCY = 0x80,
    QE_UBER_TEX_NORMAL = 0x100,
    QE_UBER_TRANSPARENT = 0x200,
    QE_UBER_TEX_REFLECCUBE = 0x400,
    QE_UBER_COMPTANGENT = 0x800,
    QE_UBER_UV2INTEX2 = 0x1000,
    QE_UBER_DOF = 0x2000,
    QE_UBER_CACHE_SLOTS = 0x4000,
};

// The permutation mask of a surface record (without the DOF bit).
uint32_t qeIrrlichtUberShaderMask(const ObjectSurfaceRecord* record, bool compTangent, bool uv2InTex2);
// The surface channel (QE_SURF_REFLECTIVITY) whose texture a mask's permutation cannot bind, or -1. A
// material holds eight textures; with all nine channel textures the last in the shader's order is left out.
int qeIrrlichtUberShaderUnboundChannel(uint32_t mask);
// The define names of a mask, in bit order, null-terminated; gives their count (at most 14).
int qeIrrlichtUberShaderDefines(uint32_t mask, const char* defines[15]);

// Empties the cache (render-system start); always 0.
int qeIrrlichtUberShaderInit();
ShaderObject* qeIrrlichtUberShaderGetDefault(const ObjectSurfaceRecord* record, bool compTangent, bool uv2InTex2);
ShaderObject* qeIrrlichtUberShaderCreate(const char* shaderFile, const ObjectSurfaceRecord* record, bool compTangent,
                                         bool uv2InTex2);

#endif
