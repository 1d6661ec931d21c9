#ifndef QIRN_RENDERER_SHADER_MATERIAL_H
#define QIRN_RENDERER_SHADER_MATERIAL_H

#include <irrlicht.h>

#include <cstdint>

struct ShaderObject;
struct SurfaceChannelEntry;

// Material markers: a material that belongs to an object surface carries QE_MARKER_SURFACE in
// MaterialTypeParam and the address of its surface in MaterialTypeParam2; material 0 of a particle
// node carries QE_MARKER_PARTICLE and the address of its emitter's ParticleShaderBlock. The bits are
// moved with memcpy, never through float arithmetic.
enum : uint32_t { QE_MARKER_SURFACE = 0x12345678u, QE_MARKER_PARTICLE = 0x12345679u };
void qeIrrlichtSetMaterialMarker(irr::video::SMaterial& material, uint32_t marker, const void* address);
// The marker bits of MaterialTypeParam; the address of MaterialTypeParam2 goes to *address when given.
uint32_t qeIrrlichtGetMaterialMarker(const irr::video::SMaterial& material, const void** address);

// An fx emitter's particle-shader block: the drawing settings its particle shader reads through the
// constant callback. It must stay at one address while a material points at it.
struct ParticleShaderBlock {
    uint32_t useImageColor;  // 1: colours come from the particle image
    uint32_t blendKind;      // 0 alpha, 1 additive, 2 subtractive
    float color[4];
    float size;
    float rotation;
    int32_t colorKeyCount;  // 0 to 8
    float colorKeys[8];
    float colorKeyValues[9][4];
    int32_t sizeKeyCount;  // 0 to 8
    float sizeKeys[8];
    float sizeKeyValues[9];
};

// Makes the shader's GPU material: HLSL through the effect library's shader material (compiled with
// "USE_" + each macro name defined, through the shader cache), assembler pairs from their loaded texts.
// Sets the shader's material type and frees its texts; 0, or -1 (the material type stays -1).
int qeIrrShaderSetupGpuMaterial(ShaderObject* shader);

// Feeds a shader material's declared parameters on every draw. The shader arrives as the user datum.
class MyShaderCallBack : public irr::video::IShaderConstantSetCallBack {
public:
    void OnSetMaterial(const irr::video::SMaterial& material) override;
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;
};

// What the callback reads of other modules. The defaults are the modules' own functions (lookups.h);
// tests put their own in place (null puts the defaults back).
struct ShaderLookups {
    int (*visibleObjectId)(int n);
    irr::scene::ISceneNode* (*objectNode)(int id);
    irr::scene::ILightSceneNode* (*visibleLight)(int n);
    const SurfaceChannelEntry* (*surfaceChannels)(const void* surface);
};
void qeIrrShaderSetLookups(const ShaderLookups* lookups);

// Forgets the callback's remembered material and cached tables, and frees the shader objects kept with
// their materials (engine stop, after the device is gone; registered by the first set-up).
void qeIrrShaderMaterialReset();

// Material types are never freed by the driver: a shader object destroyed while its device lives is kept
// with its material (qeIrrShaderDestroy), and the next shader made of the same files and macros is that
// object again (qeIrrShaderCreate), whose set-up takes the material back unless the programs would differ
// (entry points, base material, or an assembler pair's texts). Keeps the object (true) when it has a
// material of this device; it then has no content until qeIrrShaderTakeKept hands it out.
bool qeIrrShaderKeepGpuMaterial(ShaderObject* shader);
// A kept object of these files (full paths) and macros ("USE_" names, in order), taken off the kept
// list; or null.
ShaderObject* qeIrrShaderTakeKept(int hlsl, const irr::core::stringc& vertexPath, const irr::core::stringc& pixelPath,
                                  const irr::core::array<irr::core::stringc>& macros);
// How many shader objects are kept with their materials.
int qeIrrShaderKeptCount();

#endif
