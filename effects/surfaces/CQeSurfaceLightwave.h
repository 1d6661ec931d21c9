#ifndef QIRN_EFFECTS_SURFACES_CQESURFACELIGHTWAVE_H
#define QIRN_EFFECTS_SURFACES_CQESURFACELIGHTWAVE_H

#include "IQeSurface.h"

// Macro flags of a LightWave surface's effect compile, in list order.
enum EQeLightwaveMacroFlag {
    EQELM_TEX_COLOR = 1,
    EQELM_TEX_LUMINOSITY = 2,
    EQELM_TEX_DIFFUSE = 4,
    EQELM_TEX_SPECULAR = 8,
    EQELM_TEX_GLOSSINESS = 16,
    EQELM_TEX_REFLECIMG = 32,
    EQELM_TEX_REFLECTIVITY = 64,
    EQELM_TEX_TRANSPARENCY = 128,
    EQELM_TEX_NORMAL = 256,
    EQELM_TRANSPARENT = 512,
    EQELM_TEX_REFLECCUBE = 1024,
    EQELM_COMPTANGENT = 2048,
    EQELM_UV2INTEX2 = 4096,
    EQELM_DOF = 8192
};

// A surface of 39 LightWave channels.
class CQeSurfaceLightwave : public IQeSurfaceLightwave {
public:
    CQeSurfaceLightwave();

    irr::u32 getType() const override { return EQEST_LIGHTWAVE; }
    void readMaterial(const irr::video::SMaterial& material) override;
    void writeMaterial(irr::video::SMaterial& material) override;
    bool needsTangents(bool* keepSecondUV) override;
    bool getEffectCompileParameters(irr::u32* baseMaterial, SQeSurfaceMacro* macros, irr::s32 capacity,
                                    irr::scene::ISceneNode* node) override;
    bool setEffectTextures(IQeEffect* effect) override;
    bool setEffectTextureOnMaterial(irr::video::SMaterial* material, IQeEffect* effect, irr::u32 technique,
                                    irr::u32 pass) override;
    IQeSurface* clone() override;

    const LightwaveChannelRecord* getChannels() override { return Channels; }
    void setChannels(const LightwaveChannelRecord* channels) override;
    void setChannelFloat(irr::u32 channel, irr::f32 value) override;
    void setChannelInt(irr::u32 channel, irr::s32 value) override;
    void setChannelVector(irr::u32 channel, irr::f32 x, irr::f32 y, irr::f32 z) override;
    void setChannelTexture(irr::u32 channel, irr::video::ITexture* texture) override;
    irr::f32 getChannelFloat(irr::u32 channel) override;
    irr::s32 getChannelInt(irr::u32 channel) override;
    const irr::f32* getChannelVector(irr::u32 channel) override;
    irr::video::ITexture* getChannelTexture(irr::u32 channel) override;

    // The macro flags the surface compiles its effect with (node may be null).
    irr::u32 getMacroFlags(irr::scene::ISceneNode* node) const;

private:
    bool hasTexture(irr::u32 channel) const { return Channels[channel].texture != nullptr; }
    irr::f32 value(irr::u32 channel) const { return Channels[channel].value.f[0]; }

    LightwaveChannelRecord Channels[LWC_COUNT];
};

#endif
