// A node drawn on a Direct3D 9 device with an effect through its extension: the transform bind places
// it, the LightWave bind colours it from the node's surface; its copy draws on after the original is
// gone, and a removed effect leaves a plain material.
#include <irrlicht.h>

#include <gtest/gtest.h>

#include <string>

#include "bind_fixture.h"
#include "effects_fixture.h"
#include "gpu/CQeGPUProgrammingServices.h"
#include "file_fixtures.h"
#include "runtime/CQeEffectManager.h"
#include "runtime/CQeSceneNodeExt.h"

using namespace irr;

namespace {

// The header's WorldViewProjection arrives in its transposed form: the engine's matrix, one row per
// register, which the shader applies to the position as a column.
const char* kEffect =
    "// [QIRN_BEGIN]\n"
    "//title Surface colour\n"
    "//float4x4 wvp : WorldViewProjection vertex\n"
    "//float3 base : Surface_BaseColor pixel\n"
    "// [QIRN_END]\n"
    "float4x4 wvp;\n"
    "float3 base;\n"
    "float4 vs_main(float4 pos : POSITION) : POSITION { return mul(wvp, pos); }\n"
    "float4 ps_main() : COLOR0 { return float4(base, 1); }\n";

// How many pixels of the middle row, in the left and the right half, have the colour.
void countRow(const std::vector<u32>& pixels, u32 colour, int& left, int& right) {
    left = right = 0;
    if (pixels.size() < 64 * 64) return;
    for (u32 x = 0; x < 64; ++x)
        if (qetest::colourNear(pixels[32 * 64 + x], colour, 3)) ++(x < 32 ? left : right);
}

class NodeExtDevice : public qetest::D3D9Test {
protected:
    NodeExtDevice() : D3D9Test(160, 120) {}
};

TEST_F(NodeExtDevice, DrawsANodeWithItsSurfaceThroughTheEffect) {
    qetest::TempDir dir("node-ext-device");
    const std::string file = dir.write("surface.hlsl", kEffect);
    CQeGPUProgrammingServices gpu(device);
    CQeEffectManager manager(device, &gpu, nullptr, nullptr, nullptr);
    IQeEffect* effect = manager.createEffect(file.c_str(), -1, nullptr, nullptr);
    ASSERT_NE(effect, nullptr) << manager.getLastError();
    CQeSurfaceLightwave* surface = new CQeSurfaceLightwave();
    surface->setChannelVector(LWC_BaseColor, 0.25f, 0.5f, 0.75f);

    scene::IMeshSceneNode* cube = smgr->addCubeSceneNode(1.0f, nullptr, -1, core::vector3df(-1, 0, 0));
    IQeSceneNodeExt* ext = createQeSceneNodeExt(cube);
    cube->addAnimator(ext);
    ext->drop();
    ext->setSurface(0, surface);
    ext->setEffect(0, effect);
    smgr->addCameraSceneNode(0, core::vector3df(0, 0, -5), core::vector3df(0, 0, 0));
    video::ITexture* target =
        driver->addRenderTargetTexture(core::dimension2d<u32>(64, 64), "node-ext-target", video::ECF_A8R8G8B8);
    ASSERT_NE(target, nullptr);
    int left = 0, right = 0;
    auto frame = [&](u32 colour) {
        ASSERT_TRUE(driver->beginScene(true, true, video::SColor(255, 0, 0, 0)));
        driver->setRenderTarget(target, true, true, video::SColor(0xFF204060));
        smgr->drawAll();
        driver->setRenderTarget(0, false, false);
        driver->endScene();
        countRow(readBack(target), colour, left, right);
    };
    frame(0xFF4080BF);
    EXPECT_GT(left, 3);
    EXPECT_EQ(right, 0);

    // the surface's colour is read at each draw
    surface->setChannelVector(LWC_BaseColor, 0, 1, 0);
    frame(0xFF00FF00);
    EXPECT_GT(left, 3);

    // a copy on the right draws with its own extension after the original is gone
    scene::ISceneNode* copy = cube->clone();
    ASSERT_NE(copy, nullptr);
    copy->setPosition(core::vector3df(1, 0, 0));
    IQeSceneNodeExt* copyExt = getSceneNodeExt(copy);
    ASSERT_NE(copyExt, nullptr);
    cube->remove();
    frame(0xFF00FF00);
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 3);

    // without its effect the copy still draws, with a plain material
    copyExt->removeEffect(0);
    frame(0xFF00FF00);
    EXPECT_EQ(right, 0);

    smgr->clear();
    EXPECT_EQ(effect->getReferenceCount(), 1);
    EXPECT_EQ(surface->getReferenceCount(), 1);
    surface->drop();
    effect->drop();
}

}  // namespace
