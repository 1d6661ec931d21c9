#ifndef QIRN_EFFECTS_SURFACES_CQESURFACELIGHTWAVEHV_H
#define QIRN_EFFECTS_SURFACES_CQESURFACELIGHTWAVEHV_H

#include "IQeSurface.h"

// The hypervoxel surface of particle emitters.
class CQeSurfaceLightwaveHV : public IQeSurfaceLightwaveHV {
public:
    CQeSurfaceLightwaveHV();

    irr::u32 getType() const override { return EQEST_LIGHTWAVEHV; }
    void readMaterial(const irr::video::SMaterial& material) override;
    void writeMaterial(irr::video::SMaterial& material) override;
    bool needsTangents(bool* keepSecondUV) override { return false; }
    bool getEffectCompileParameters(irr::u32* baseMaterial, SQeSurfaceMacro* macros, irr::s32 capacity,
                                    irr::scene::ISceneNode* node) override;
    bool setEffectTextures(IQeEffect* effect) override;
    bool setEffectTextureOnMaterial(irr::video::SMaterial* material, IQeEffect* effect, irr::u32 technique,
                                    irr::u32 pass) override;
    IQeSurface* clone() override;

    LightwaveHVParams* getParameters() override { return &Params; }
    void setParameters(const LightwaveHVParams* parameters) override;

private:
    LightwaveHVParams Params;
};

#endif
