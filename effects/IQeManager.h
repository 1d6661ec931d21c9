#ifndef QIRN_EFFECTS_IQEMANAGER_H
#define QIRN_EFFECTS_IQEMANAGER_H

#include <irrlicht.h>

class IQeGPUProgrammingServices;
class IQeEffectManager;
class IQeSceneManager;
class IQeTextureManager;
class IQeSurfaceManager;
class IQeRendererManager;
class IQeRenderServices;

// The effect library's service hub: the one doorway into the library. Getters never add a reference;
// the hub owns its services.
class IQeManager {
public:
    virtual ~IQeManager() {}
    virtual IQeGPUProgrammingServices* getGPUProgrammingServices() = 0;
    virtual IQeEffectManager* getEffectManager() = 0;
    virtual IQeSceneManager* getSceneManager() = 0;
    virtual IQeTextureManager* getTextureManager() = 0;
    virtual IQeSurfaceManager* getSurfaceManager() = 0;
    virtual IQeRendererManager* getRendererManager() = 0;
    virtual IQeRenderServices* getRenderServices() = 0;
    // Called by the video driver's before-reset callback with the value it receives.
    virtual void onBeforeDeviceReset(void* device) = 0;
};

IQeManager* createQeManager(irr::IrrlichtDevice* device);

#endif
