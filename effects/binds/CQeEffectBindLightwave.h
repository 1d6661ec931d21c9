#ifndef QIRN_EFFECTS_BINDS_CQEEFFECTBINDLIGHTWAVE_H
#define QIRN_EFFECTS_BINDS_CQEEFFECTBINDLIGHTWAVE_H

#include "IQeEffectBind.h"

class IQeSurfaceLightwave;
struct LightwaveHVParams;

// Feeds the "LW_<channel>" constants (and "LW_Roughness") from the LightWave surface of the material
// being drawn, found through the node's extension.
class CQeEffectBindLightwave : public IQeEffectBind {
public:
    explicit CQeEffectBindLightwave(irr::IrrlichtDevice* device);
    // Finds the surface of the record's node and material index; false (logged) when there is none.
    bool onSetMaterial(const SQeNodeExtMaterial* record, irr::s32 userData) override;
    BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) override;

private:
    bool setInt(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                const irr::u32* userData);
    bool setFloat(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                  const irr::u32* userData);
    bool setVector(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                   const irr::u32* userData);
    bool setRoughness(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                      const irr::u32* userData);
    bool sendScalar(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record, irr::f32 value);

    irr::IrrlichtDevice* Device;
    irr::video::IVideoDriver* Driver;
    IQeSurfaceLightwave* Surface;  // valid during one constant-setting call, not held
};

// Feeds the "LWHV_..." constants from the parameter block of a hypervoxel surface.
class CQeEffectBindLightwaveHV : public IQeEffectBind {
public:
    explicit CQeEffectBindLightwaveHV(irr::IrrlichtDevice* device);
    bool onSetMaterial(const SQeNodeExtMaterial* record, irr::s32 userData) override;
    BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) override;

private:
    // Count floats from the block at Offset; a key count (an unsigned integer) when IsCount.
    template <unsigned Offset, int Count, bool Vertex, bool IsCount>
    bool setBlock(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                  const irr::u32* userData);
    static const BindTableEntry Table[];

    irr::IrrlichtDevice* Device;
    irr::video::IVideoDriver* Driver;
    const LightwaveHVParams* Params;  // valid during one constant-setting call
};

#endif
