// The service hub: it creates the library's services in a fixed order, hands them out without adding a
// reference, and deletes them with itself.
#include <new>

#include "IQeGPUProgrammingServices.h"
#include "IQeManager.h"
#include "QeLog.h"
#include "gpu/CQeGPUProgrammingServices.h"
#include "managers/CQeRenderServices.h"
#include "managers/CQeRendererManager.h"
#include "managers/CQeSceneManager.h"
#include "managers/CQeTextureManager.h"
#include "particles/CQeD3D9ParticleSystemSceneNode.h"
#include "runtime/CQeEffectManager.h"
#include "surfaces/CQeSurfaceManager.h"

namespace {

class CQeManager : public IQeManager {
public:
    explicit CQeManager(irr::IrrlichtDevice* device) {
        // The library logs through the engine's logger from here on.
        qeLibSetLogger(device ? device->getLogger() : nullptr);
        Device = device;
        // A service that cannot be allocated stays null; the others are still made.
        Gpu = new (std::nothrow) CQeGPUProgrammingServices(device);
        Textures = new (std::nothrow) CQeTextureManager(device);
        Scene = new (std::nothrow) CQeSceneManager(device);
        Surfaces = new (std::nothrow) CQeSurfaceManager(device);
        Renderers = new (std::nothrow) CQeRendererManager(device);
        RenderServices = new (std::nothrow) CQeRenderServices(device);
        Effects = new (std::nothrow) CQeEffectManager(device, Gpu, RenderServices, Textures, Scene);
    }
    ~CQeManager() override {
        delete Effects;
        delete RenderServices;
        delete Renderers;
        delete Surfaces;
        delete Scene;
        delete Textures;
        delete Gpu;
    }
    IQeGPUProgrammingServices* getGPUProgrammingServices() override { return Gpu; }
    IQeEffectManager* getEffectManager() override { return Effects; }
    IQeSceneManager* getSceneManager() override { return Scene; }
    IQeTextureManager* getTextureManager() override { return Textures; }
    IQeSurfaceManager* getSurfaceManager() override { return Surfaces; }
    IQeRendererManager* getRendererManager() override { return Renderers; }
    IQeRenderServices* getRenderServices() override { return RenderServices; }
    // Direct3D 9 cannot reset while the instanced particle nodes hold their shared buffers.
    void onBeforeDeviceReset(void*) override {
        irr::video::IVideoDriver* driver = Device ? Device->getVideoDriver() : nullptr;
        if (driver && driver->getDriverType() == irr::video::EDT_DIRECT3D9) CQeD3D9ParticleSystemSceneNode::OnDeviceReset();
    }

private:
    irr::IrrlichtDevice* Device = nullptr;
    CQeGPUProgrammingServices* Gpu = nullptr;
    CQeTextureManager* Textures = nullptr;
    CQeSceneManager* Scene = nullptr;
    CQeSurfaceManager* Surfaces = nullptr;
    CQeRendererManager* Renderers = nullptr;
    CQeRenderServices* RenderServices = nullptr;
    CQeEffectManager* Effects = nullptr;
};

}  // namespace

IQeManager* createQeManager(irr::IrrlichtDevice* device) { return new (std::nothrow) CQeManager(device); }
