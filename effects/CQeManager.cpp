// The service hub as far as engine start needs it today: the hub object and its GPU programming
// services holding the shader-cache setting (they make no shader material yet). The other services are
// not built yet and answer null.
#include <new>

#include "IQeGPUProgrammingServices.h"
#include "IQeManager.h"
#include "QeLog.h"
#include "particles/CQeD3D9ParticleSystemSceneNode.h"

namespace {

class CQeGPUProgrammingServices : public IQeGPUProgrammingServices {
public:
    void setShaderCache(const irr::core::stringc& folder, irr::u32 mode) override {
        Folder = folder;
        Mode = mode;
    }
    irr::s32 getShaderMaterial(const irr::core::stringc&, const char*, irr::video::E_VERTEX_SHADER_TYPE,
                               const irr::core::stringc&, const char*, irr::video::E_PIXEL_SHADER_TYPE,
                               irr::video::IShaderConstantSetCallBack*, irr::video::E_MATERIAL_TYPE, irr::s32,
                               const SQeMacro*) override {
        return -1;
    }
    bool getPixelShaderConstantRegister(irr::s32, const char*, irr::s32*) override { return false; }
    bool getVertexShaderConstantRegister(irr::s32, const char*, irr::s32*) override { return false; }
    bool getPixelShaderSamplerIndex(irr::s32, const char*, irr::s32*) override { return false; }
    bool getVertexShaderSamplerIndex(irr::s32, const char*, irr::s32*) override { return false; }
    bool printConstants(irr::s32) override { return false; }

private:
    irr::core::stringc Folder;
    irr::u32 Mode = 0;
};

class CQeManager : public IQeManager {
public:
    explicit CQeManager(irr::IrrlichtDevice* device) : Device(device) {
        // The library logs through the engine's logger from here on.
        qeLibSetLogger(device ? device->getLogger() : nullptr);
    }
    IQeGPUProgrammingServices* getGPUProgrammingServices() override { return &Gpu; }
    IQeEffectManager* getEffectManager() override { return nullptr; }
    IQeSceneManager* getSceneManager() override { return nullptr; }
    IQeTextureManager* getTextureManager() override { return nullptr; }
    IQeSurfaceManager* getSurfaceManager() override { return nullptr; }
    IQeRendererManager* getRendererManager() override { return nullptr; }
    IQeRenderServices* getRenderServices() override { return nullptr; }
    // Direct3D 9 cannot reset while the instanced particle nodes hold their shared buffers.
    void onBeforeDeviceReset(void*) override {
        irr::video::IVideoDriver* driver = Device ? Device->getVideoDriver() : nullptr;
        if (driver && driver->getDriverType() == irr::video::EDT_DIRECT3D9) CQeD3D9ParticleSystemSceneNode::OnDeviceReset();
    }

private:
    irr::IrrlichtDevice* Device;
    CQeGPUProgrammingServices Gpu;
};

}  // namespace

IQeManager* createQeManager(irr::IrrlichtDevice* device) { return new (std::nothrow) CQeManager(device); }
