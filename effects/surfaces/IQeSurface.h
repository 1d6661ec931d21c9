#ifndef QIRN_EFFECTS_SURFACES_IQESURFACE_H
#define QIRN_EFFECTS_SURFACES_IQESURFACE_H

#include <irrlicht.h>

#include <cstddef>

class IQeEffect;

// Surface type codes.
const irr::u32 EQEST_LIGHTWAVE = MAKE_IRR_ID('l', 'w', 's', 'r');
const irr::u32 EQEST_LIGHTWAVEHV = MAKE_IRR_ID('l', 'w', 'h', 'v');

// The channels of a LightWave surface.
enum LightwaveChannel {
    LWC_BaseColor = 0,
    LWC_Luminosity,
    LWC_Diffuse,
    LWC_Specularity,
    LWC_Reflectivity,
    LWC_Transparency,
    LWC_Translucency,
    LWC_IOR,
    LWC_Bump,
    LWC_Glossiness,
    LWC_SpecialBuffer1,
    LWC_SpecialBuffer2,
    LWC_SpecialBuffer3,
    LWC_SpecialBuffer4,
    LWC_DiffuseSharpness,
    LWC_BumpDropoff,
    LWC_SmoothingAngle,
    LWC_ReflectionSeamAngle,
    LWC_RefractionSeamAngle,
    LWC_ReflectionBlurring,
    LWC_RefractionBlurring,
    LWC_ColorFilter,
    LWC_ColorHighlights,
    LWC_AdditiveTransparency,
    LWC_AlphaValue,
    LWC_GlowValue,
    LWC_LineColor,
    LWC_LineSize,
    LWC_AlphaOptions,
    LWC_ReflectionOptions,
    LWC_RefractionOptions,
    LWC_Sidedness,
    LWC_ExcludeFromVStack,
    LWC_Glow,
    LWC_RenderOutlines,
    LWC_ReflectionImage,
    LWC_RefractionImage,
    LWC_VertexColoring,
    LWC_VertexNormal,
    LWC_COUNT
};

// The channel's name ("BaseColor" ... "VertexNormal"); "" for an index out of range.
const char* qeLightwaveChannelName(irr::u32 channel);

// One channel: a float, an s32 or three floats in the first words of the value, and a texture
// (not held).
struct LightwaveChannelRecord {
    union {
        irr::f32 f[4];
        irr::s32 i[4];
    } value;
    irr::video::ITexture* texture;
};

// The parameter block of a hypervoxel (particle) surface. The hypervoxel binds read it by offset.
struct LightwaveHVParams {
    irr::u32 colorTexture;          // non-zero: the colour comes from a texture
    irr::f32 color[4];              // r, g, b, a
    irr::f32 size;
    irr::f32 rotation;
    irr::u32 blend;                 // 0 alpha, 1 add, 2 subtract
    irr::u32 colorKeyCount;
    irr::f32 colorKeyParams[9];
    irr::f32 colorKeyValues[9][4];
    irr::u32 sizeKeyCount;
    irr::f32 sizeKeyParams[9];
    irr::f32 sizeKeyValues[9];
    irr::video::ITexture* clipTexture;  // not held
};

static_assert(offsetof(LightwaveHVParams, size) == 20 && offsetof(LightwaveHVParams, colorKeyCount) == 32 &&
                  offsetof(LightwaveHVParams, colorKeyValues) == 72 && offsetof(LightwaveHVParams, sizeKeyCount) == 216 &&
                  offsetof(LightwaveHVParams, sizeKeyValues) == 256 && offsetof(LightwaveHVParams, clipTexture) == 292,
              "the hypervoxel binds read the block by these offsets");

// A macro of an effect compile: (name, definition); a list ends with a pair of nulls.
struct SQeSurfaceMacro {
    const char* name;
    const char* definition;
};

// How one material of a mesh looks: converts itself to and from a 3D engine material, names the shader
// macros its effect is compiled with and hands its textures to an effect.
class IQeSurface : public irr::io::IAttributeExchangingObject {
public:
    virtual irr::u32 getType() const = 0;
    virtual void readMaterial(const irr::video::SMaterial& material) = 0;
    virtual void writeMaterial(irr::video::SMaterial& material) = 0;
    // True when the mesh needs tangent vertices; *keepSecondUV (when given) tells whether the second
    // texture coordinates must survive the conversion.
    virtual bool needsTangents(bool* keepSecondUV) = 0;
    // Writes at most `capacity` pairs, the closing pair of nulls included; false when they do not fit.
    virtual bool getEffectCompileParameters(irr::u32* baseMaterial, SQeSurfaceMacro* macros, irr::s32 capacity,
                                            irr::scene::ISceneNode* node) = 0;
    virtual bool setEffectTextures(IQeEffect* effect) = 0;
    virtual bool setEffectTextureOnMaterial(irr::video::SMaterial* material, IQeEffect* effect, irr::u32 technique,
                                            irr::u32 pass) = 0;
    // A copy (reference count 1) that shares the texture pointers.
    virtual IQeSurface* clone() = 0;
};

class IQeSurfaceLightwave : public IQeSurface {
public:
    virtual const LightwaveChannelRecord* getChannels() = 0;
    virtual void setChannels(const LightwaveChannelRecord* channels) = 0;
    // The setters ignore a channel of LWC_COUNT or more; the getters answer zero / null for one.
    virtual void setChannelFloat(irr::u32 channel, irr::f32 value) = 0;
    virtual void setChannelInt(irr::u32 channel, irr::s32 value) = 0;
    virtual void setChannelVector(irr::u32 channel, irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    virtual void setChannelTexture(irr::u32 channel, irr::video::ITexture* texture) = 0;
    virtual irr::f32 getChannelFloat(irr::u32 channel) = 0;
    virtual irr::s32 getChannelInt(irr::u32 channel) = 0;
    virtual const irr::f32* getChannelVector(irr::u32 channel) = 0;
    virtual irr::video::ITexture* getChannelTexture(irr::u32 channel) = 0;
};

class IQeSurfaceLightwaveHV : public IQeSurface {
public:
    virtual LightwaveHVParams* getParameters() = 0;
    virtual void setParameters(const LightwaveHVParams* parameters) = 0;
};

#endif
