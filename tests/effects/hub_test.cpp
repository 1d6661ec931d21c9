#include <gtest/gtest.h>
#include <irrlicht.h>

#include "IQeManager.h"
#include "IQeSceneManager.h"
#include "QeLog.h"

using namespace irr;

// One hub builds every service of the library and answers them without adding references.
TEST(Hub, BuildsEveryServiceAndItsSceneManagerIsTheLibrarys) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL);
    ASSERT_NE(nullptr, device);
    IQeManager* hub = createQeManager(device);
    ASSERT_NE(nullptr, hub);
    EXPECT_EQ(device->getLogger(), qeLibLogger);
    EXPECT_NE(nullptr, hub->getGPUProgrammingServices());
    EXPECT_NE(nullptr, hub->getEffectManager());
    EXPECT_NE(nullptr, hub->getTextureManager());
    EXPECT_NE(nullptr, hub->getSurfaceManager());
    EXPECT_NE(nullptr, hub->getRendererManager());
    EXPECT_NE(nullptr, hub->getRenderServices());
    ASSERT_NE(nullptr, hub->getSceneManager());
    EXPECT_NE(static_cast<void*>(device->getSceneManager()), static_cast<void*>(hub->getSceneManager()));
    // Not Direct3D 9: the reset hook has nothing to free, however often it is called.
    hub->onBeforeDeviceReset(nullptr);
    hub->onBeforeDeviceReset(nullptr);
    delete hub;
    qeLibSetLogger(nullptr);
    device->drop();
}
