// The platform itself: a Direct3D 9 device in a window, an HLSL vs_3_0/ps_3_0 material compiled through
// the engine, a mesh drawn into a render target and its pixels read back; and the wait for the command
// threads of released devices.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdio>

#include "device_check.h"
#include "sys.h"

using namespace irr;

namespace {

const char* kShader =
    "float4x4 mWorldViewProj;\n"
    "float4 shadeColour;\n"
    "float4 vsMain(float4 pos : POSITION) : POSITION { return mul(pos, mWorldViewProj); }\n"
    "float4 psMain() : COLOR0 { return shadeColour; }\n";
const u32 kShadeColour = 0xFF4080C0;

struct Constants : video::IShaderConstantSetCallBack {
    void OnSetConstants(video::IMaterialRendererServices* services, s32) override {
        video::IVideoDriver* driver = services->getVideoDriver();
        core::matrix4 wvp = driver->getTransform(video::ETS_PROJECTION);
        wvp *= driver->getTransform(video::ETS_VIEW);
        wvp *= driver->getTransform(video::ETS_WORLD);
        services->setVertexShaderConstant("mWorldViewProj", wvp.pointer(), 16);
        const video::SColorf c{video::SColor(kShadeColour)};
        const f32 rgba[4] = {c.r, c.g, c.b, c.a};
        services->setPixelShaderConstant("shadeColour", rgba, 4);
    }
};

TEST(Platform, DrawsAShadedMeshIntoARenderTargetAndReadsItBack) {
    qetest::D3D9Device d(320, 240);
    ASSERT_NE(nullptr, d.driver) << "no Direct3D 9 device";
    ASSERT_TRUE(d.driver->queryFeature(video::EVDF_VERTEX_SHADER_3_0));
    ASSERT_TRUE(d.driver->queryFeature(video::EVDF_PIXEL_SHADER_3_0));
    Constants* constants = new Constants();
    const s32 material = qetest::hlslMaterial(d.driver, kShader, "vsMain", "psMain", constants);
    constants->drop();
    ASSERT_GE(material, 0);

    video::ITexture* target = d.driver->addRenderTargetTexture(core::dimension2du(128, 128), "platform",
                                                               video::ECF_A8R8G8B8);
    ASSERT_NE(nullptr, target);
    scene::ISceneManager* smgr = d.device->getSceneManager();
    scene::IMeshSceneNode* cube = smgr->addCubeSceneNode(10.0f);
    cube->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(material));
    cube->setMaterialFlag(video::EMF_LIGHTING, false);
    smgr->addCameraSceneNode(nullptr, core::vector3df(0, 0, -30), core::vector3df(0, 0, 0))->setAspectRatio(1.0f);

    ASSERT_TRUE(d.driver->beginScene(true, true, video::SColor(255, 0, 0, 0)));
    d.driver->setRenderTarget(target, true, true, video::SColor(kDeviceCheckClearColour));
    smgr->drawAll();
    d.driver->setRenderTarget(nullptr, false, false);
    d.driver->endScene();

    const u32 cleared = qetest::pixelAt(target, 2, 2);
    const u32 shaded = qetest::centrePixel(target);
    std::printf("render target 128x128: cleared pixel 0x%08X (expected 0x%08X), shaded pixel 0x%08X (expected 0x%08X)\n",
                cleared, kDeviceCheckClearColour, shaded, kShadeColour);
    EXPECT_TRUE(qeColourNear(cleared, kDeviceCheckClearColour, 1));
    EXPECT_TRUE(qeColourNear(shaded, kShadeColour, 2));
}

// A released device's command thread ends on its own time, after the release has returned: the wait a
// program makes before it ends finds the thread of a live device and outlasts the end of a released one.
TEST(Platform, TheWaitBeforeTheEndOutlastsTheCommandThreadOfAReleasedDevice) {
    {
        qetest::D3D9Device d(64, 64);
        ASSERT_NE(nullptr, d.driver) << "no Direct3D 9 device";
        EXPECT_GT(qeSysWaitForDirect3DThreads(0), 0) << "the live device's command thread was not found";
    }
    EXPECT_EQ(0, qeSysWaitForDirect3DThreads(2000));
}

}  // namespace
