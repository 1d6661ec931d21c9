#ifndef QIRN_EFFECTS_BINDS_CQEEFFECTBINDENGINE_H
#define QIRN_EFFECTS_BINDS_CQEEFFECTBINDENGINE_H

#include "IQeEffectBind.h"

class IQeSceneManager;
class IQeRenderServices;

// Binds that feed shader constants from the state of the 3D engine. Each keeps the device it was made
// with and the device's video driver; a bind whose device, driver or service is missing sets nothing.

// The driver's view, world and projection transforms, their inverses, products and transposes.
class CQeEffectBindTransform : public IQeEffectBind {
public:
    explicit CQeEffectBindTransform(irr::IrrlichtDevice* device);
    bool onSetMaterial(const SQeNodeExtMaterial*, irr::s32) override { return true; }
    BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) override;

private:
    bool setMatrix(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                   const irr::u32* userData);
    irr::IrrlichtDevice* Device;
    irr::video::IVideoDriver* Driver;
};

// "Time" and "Time0_X" from the device timer, "TimeScene" from the library's scene manager, in seconds.
class CQeEffectBindTime : public IQeEffectBind {
public:
    CQeEffectBindTime(irr::IrrlichtDevice* device, IQeSceneManager* sceneManager);
    bool onSetMaterial(const SQeNodeExtMaterial*, irr::s32) override { return true; }
    BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) override;

private:
    bool setTime(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                 const irr::u32* userData);
    irr::IrrlichtDevice* Device;
    irr::video::IVideoDriver* Driver;
    IQeSceneManager* SceneManager;
};

// Render-target and screen sizes and the pixel sizes derived from them.
class CQeEffectBindScreen : public IQeEffectBind {
public:
    explicit CQeEffectBindScreen(irr::IrrlichtDevice* device);
    bool onSetMaterial(const SQeNodeExtMaterial*, irr::s32) override { return true; }
    BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) override;

private:
    template <bool Target, bool Vertex>
    bool setSize(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                 const irr::u32* userData);
    static const BindTableEntry Table[];
    irr::IrrlichtDevice* Device;
    irr::video::IVideoDriver* Driver;
};

// The active camera's position, far-plane corners in view space and far value.
class CQeEffectBindCamera : public IQeEffectBind {
public:
    explicit CQeEffectBindCamera(irr::IrrlichtDevice* device);
    bool onSetMaterial(const SQeNodeExtMaterial*, irr::s32) override { return true; }
    BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) override;

private:
    bool setCamera(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                   const irr::u32* userData);
    irr::IrrlichtDevice* Device;
    irr::video::IVideoDriver* Driver;
};

// "LightAmbient": the scene manager's ambient light.
class CQeEffectBindLight : public IQeEffectBind {
public:
    CQeEffectBindLight(irr::IrrlichtDevice* device, IQeRenderServices* renderServices);
    bool onSetMaterial(const SQeNodeExtMaterial*, irr::s32) override { return true; }
    BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) override;

private:
    bool setAmbient(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                    const irr::u32* userData);
    irr::IrrlichtDevice* Device;
    irr::video::IVideoDriver* Driver;
    IQeRenderServices* RenderServices;
};

// Up to five of the frame's dynamic lights for pixel shaders: directional lights first, then point
// lights, then spot lights, each group in list order.
struct LightParamsBlock {
    enum { MAX_LIGHTS = 5, RECORD_FLOATS = 12 };
    irr::s32 dirCount, pointCount, spotCount;
    irr::s32 dirFirst, pointFirst, spotFirst;
    // colour (3), position (3), direction (3), inverse radius squared (1), spot angles (2)
    irr::f32 lights[MAX_LIGHTS][RECORD_FLOATS];
};

class CQeEffectBindLightParams : public IQeEffectBind {
public:
    CQeEffectBindLightParams(irr::IrrlichtDevice* device, IQeRenderServices* renderServices);
    ~CQeEffectBindLightParams() override;
    // Refills the light block from the frame's light list.
    bool onSetMaterial(const SQeNodeExtMaterial* record, irr::s32 userData) override;
    BindSetter getBindFunction(const SQeFxConstBind* record, irr::u32* userData) override;
    const LightParamsBlock& getBlock() const { return *Block; }

private:
    bool setLightsNum(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                      const irr::u32* userData);
    bool setLightsIni(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                      const irr::u32* userData);
    bool setLightParams(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                        const irr::u32* userData);
    bool setTriple(irr::video::IMaterialRendererServices* services, const SQeFxConstBind* record,
                   const char* const names[3], const irr::s32 values[3]);
    irr::IrrlichtDevice* Device;
    irr::video::IVideoDriver* Driver;
    IQeRenderServices* RenderServices;
    LightParamsBlock* Block;
};

#endif
