// A runtime effect on a real Direct3D 9 device: a shader-header effect file compiled through the
// engine, its constants' registers taken from the compiler's constant table, and a mesh drawn with
// the values the effect holds.
#include <irrlicht.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device_check.h"
#include "engine_gpu_fixture.h"
#include "file_fixtures.h"
#include "runtime/CQeEffectManager.h"

using namespace irr;

namespace {

const char* kEffect =
    "// [QIRN_BEGIN]\n"
    "//title Tinted cube\n"
    "//float4x4 wvp : 0 vertex\n"
    "//float4 tint : 0.25,0.5,0.75,1 pixel\n"
    "//bool useTint : 1 pixel\n"
    "//int twice : 2 pixel\n"
    "// [QIRN_END]\n"
    "float4x4 wvp;\n"
    "float4 tint;\n"
    "float useTint;\n"
    "float twice;\n"
    "float4 vs_main(float4 pos : POSITION) : POSITION { return mul(pos, wvp); }\n"
    "float4 ps_main() : COLOR0 { return tint * useTint * (twice * 0.5); }\n";

unsigned readCentreAndCorner(video::ITexture* target, unsigned& corner) {
    const u8* pixels = static_cast<const u8*>(target->lock(video::ETLM_READ_ONLY));
    if (!pixels) return 0;
    const u32 pitch = target->getPitch();
    unsigned centre;
    std::memcpy(&centre, pixels + 32 * pitch + 32 * 4, 4);
    std::memcpy(&corner, pixels + 1 * pitch + 1 * 4, 4);
    target->unlock();
    return centre;
}

TEST(RuntimeEffectDevice, DrawsAMeshWithTheEffectsConstants) {
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_DIRECT3D9;
    params.WindowSize = core::dimension2d<u32>(160, 120);
    IrrlichtDevice* device = createDeviceEx(params);
    ASSERT_NE(device, nullptr);
    video::IVideoDriver* driver = device->getVideoDriver();
    scene::ISceneManager* smgr = device->getSceneManager();
    qetest::TempDir dir("effect-device");
    const std::string file = dir.write("tinted.hlsl", kEffect);
    {
        qetest::EngineGpu gpu(driver);
        CQeEffectManager manager(device, &gpu, nullptr, nullptr, nullptr);
        IQeEffect* effect = manager.createEffect(file.c_str(), -1, nullptr, nullptr);
        ASSERT_NE(effect, nullptr) << manager.getLastError();

        // every constant of the compiled pair is bound at the register the compiler gave it
        const SQeFxPass& pass = static_cast<CQeEffect*>(effect)->getTechniques()[0].passes[0];
        const qetest::EngineGpu::Tables& tables = gpu.Materials[pass.material.MaterialType];
        ASSERT_EQ(pass.shaders.size(), 2u);
        ASSERT_EQ(pass.shaders[0].constBinds.size(), 1u);
        ASSERT_EQ(pass.shaders[1].constBinds.size(), 3u);
        EXPECT_EQ(pass.shaders[0].constBinds[0].reg, tables.vertex.at("wvp"));
        for (u32 i = 0; i < 3; ++i) {
            const SQeFxConstBind& bind = pass.shaders[1].constBinds[i];
            EXPECT_EQ(bind.reg, tables.pixel.at(bind.name.c_str())) << bind.name.c_str();
        }
        EXPECT_NE(tables.pixel.at("tint"), tables.pixel.at("twice"));

        // the matrix flattens the cube onto the screen plane (symmetric, so its packing does not matter)
        const f32 flat[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        ASSERT_TRUE(effect->setValueFloats(effect->getParameterByName(nullptr, "wvp"), flat, 16));

        scene::IMeshSceneNode* cube = smgr->addCubeSceneNode(1.0f);
        video::SMaterial& material = cube->getMaterial(0);
        ASSERT_TRUE(effect->setMaterial(0, 0, material));
        material.Lighting = false;
        SQeNodeExtMaterial record;
        record.activeEffect = effect;
        qeMaterialSetRecord(material, &record);
        smgr->addCameraSceneNode(0, core::vector3df(0, 0, -5), core::vector3df(0, 0, 0));

        video::ITexture* target = driver->addRenderTargetTexture(core::dimension2d<u32>(64, 64), "effect-target",
                                                                 video::ECF_A8R8G8B8);
        ASSERT_NE(target, nullptr);
        auto frame = [&]() {
            ASSERT_TRUE(driver->beginScene(true, true, video::SColor(255, 0, 0, 0)));
            driver->setRenderTarget(target, true, true, video::SColor(kDeviceCheckClearColour));
            smgr->drawAll();
            driver->setRenderTarget(0, false, false);
            driver->endScene();
        };
        frame();
        unsigned corner = 0;
        unsigned centre = readCentreAndCorner(target, corner);
        EXPECT_TRUE(qeColourNear(centre, 0xFF4080BF, 3)) << std::hex << centre;
        EXPECT_TRUE(qeColourNear(corner, kDeviceCheckClearColour, 3)) << std::hex << corner;

        // a changed bool and colour reach the shader at the next draw
        effect->setValueBool(effect->getParameterByName(nullptr, "useTint"), false);
        frame();
        centre = readCentreAndCorner(target, corner);
        EXPECT_EQ(centre & 0x00FFFFFFu, 0u) << std::hex << centre;
        const f32 green[4] = {0, 1, 0, 1};
        effect->setValueBool(effect->getParameterByName(nullptr, "useTint"), true);
        effect->setValueFloats(effect->getParameterByName(nullptr, "tint"), green, 4);
        frame();
        centre = readCentreAndCorner(target, corner);
        EXPECT_TRUE(qeColourNear(centre, 0xFF00FF00, 3)) << std::hex << centre;

        smgr->clear();
        effect->drop();
    }
    device->closeDevice();
    device->run();
    device->drop();
}

}  // namespace
