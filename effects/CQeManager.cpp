// The service hub: it owns the GPU programming services; the other services are not built yet and
// answer null.
#include <new>

#include "IQeGPUProgrammingServices.h"
#include "IQeManager.h"
#include "QeLog.h"
#include "gpu/CQeGPUProgrammingServices.h"
#include "particles/CQeD3D9ParticleSystemSceneNode.h"

namespace {

class CQeManager : public IQeManager {
public:
    explicit CQeManager(irr::IrrlichtDevice* device) : Device(device) {
        // The library logs through the engine's logger from here on.
        qeLibSetLogger(device ? device->getLogger() : nullptr);
        Gpu = new (std::nothrow) CQeGPUProgrammingServices(device);
    }
    ~CQeManager() override { delete Gpu; }
    IQeGPUProgrammingServices* getGPUProgrammingServices() override { return Gpu; }
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
    CQeGPUProgrammingServices* Gpu = nullptr;
};

}  // namespace

IQeManager* createQeManager(irr::IrrlichtDevice* device) { return new (std::nothrow) CQeManager(device); }
