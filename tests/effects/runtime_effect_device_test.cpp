// A runtime effect on a real Direct3D 9 device: a shader-header effect file compiled by the GPU
// programming services, its constants bound at the registers of the compiler's constant tables, and a
// mesh drawn with the values the effect holds.
#include <d3dx9shader.h>
#include <gtest/gtest.h>

#include <string>

#include "effects_fixture.h"
#include "file_fixtures.h"
#include "gpu/CQeGPUProgrammingServices.h"
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

const u32 kClear = 0xFF204060;

s32 registerOf(ID3DXConstantTable* table, const char* name) {
    D3DXCONSTANT_DESC desc;
    UINT count = 1;
    D3DXHANDLE h = table->GetConstantByName(nullptr, name);
    return h && SUCCEEDED(table->GetConstantDesc(h, &desc, &count)) ? static_cast<s32>(desc.RegisterIndex) : -100;
}

class RuntimeEffectDevice : public qetest::D3D9Test {
protected:
    RuntimeEffectDevice() : D3D9Test(160, 120) {}
};

TEST_F(RuntimeEffectDevice, DrawsAMeshWithTheEffectsConstants) {
    qetest::TempDir dir("effect-device");
    const std::string file = dir.write("tinted.hlsl", kEffect);
    CQeGPUProgrammingServices gpu(device);
    CQeEffectManager manager(device, &gpu, nullptr, nullptr, nullptr);
    IQeEffect* effect = manager.createEffect(file.c_str(), -1, nullptr, nullptr);
    ASSERT_NE(effect, nullptr) << manager.getLastError();

    // every constant of the compiled pair is bound at the register the compiler gave it
    const SQeFxPass& pass = static_cast<CQeEffect*>(effect)->getTechniques()[0].passes[0];
    ID3DXConstantTable* vt = nullptr;
    ID3DXConstantTable* pt = nullptr;
    ASSERT_TRUE(driver->getGPUProgrammingServices()->getMaterialTypeConstantTables(pass.material.MaterialType, &vt,
                                                                                    &pt, nullptr));
    ASSERT_EQ(pass.shaders.size(), 2u);
    ASSERT_EQ(pass.shaders[0].constBinds.size(), 1u);
    ASSERT_EQ(pass.shaders[1].constBinds.size(), 3u);
    EXPECT_EQ(pass.shaders[0].constBinds[0].reg, registerOf(vt, "wvp"));
    for (u32 i = 0; i < 3; ++i) {
        const SQeFxConstBind& bind = pass.shaders[1].constBinds[i];
        EXPECT_EQ(bind.reg, registerOf(pt, bind.name.c_str())) << bind.name.c_str();
    }
    EXPECT_NE(registerOf(pt, "tint"), registerOf(pt, "twice"));

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
    // Draws a frame; gives the centre pixel and checks the corner keeps the clear colour.
    auto centre = [&]() {
        EXPECT_TRUE(driver->beginScene(true, true, video::SColor(255, 0, 0, 0)));
        driver->setRenderTarget(target, true, true, video::SColor(kClear));
        smgr->drawAll();
        driver->setRenderTarget(0, false, false);
        driver->endScene();
        const std::vector<u32> pixels = readBack(target);
        EXPECT_PRED3(qetest::colourNear, kClear, pixels.at(64 + 1), 3);
        return pixels.at(32 * 64 + 32);
    };
    EXPECT_PRED3(qetest::colourNear, 0xFF4080BFu, centre(), 3);
    // a changed bool and colour reach the shader at the next draw
    effect->setValueBool(effect->getParameterByName(nullptr, "useTint"), false);
    EXPECT_EQ(centre() & 0x00FFFFFFu, 0u);
    const f32 green[4] = {0, 1, 0, 1};
    effect->setValueBool(effect->getParameterByName(nullptr, "useTint"), true);
    effect->setValueFloats(effect->getParameterByName(nullptr, "tint"), green, 4);
    EXPECT_PRED3(qetest::colourNear, 0xFF00FF00u, centre(), 3);
    smgr->clear();
    effect->drop();
}

}  // namespace
