#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "file_fixtures.h"
#include "managers/CQeRenderServices.h"
#include "managers/CQeSceneManager.h"
#include "managers/CQeTextureManager.h"
#include "particles/CQeD3D9ParticleSystemSceneNode.h"
#include "effects_fixture.h"
#include "surface_test_support.h"

using namespace irr;

namespace {

// Clip-space positions pass through; the colour shows the texture coordinates.
const char* kQuadShader =
    "struct VS_OUT { float4 pos : POSITION; float2 uv : TEXCOORD0; };\n"
    "VS_OUT vsMain(float3 pos : POSITION0, float2 uv : TEXCOORD0) {\n"
    "  VS_OUT o;\n"
    "  o.pos = float4(pos, 1.0);\n"
    "  o.uv = uv;\n"
    "  return o;\n"
    "}\n"
    "float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return float4(uv.x, uv.y, 0.0, 1.0); }\n";

const u32 kClear = 0xFF2040A0;

// Keeps the draw records it finds on the materials it is given.
class RecordProbe : public video::IShaderConstantSetCallBack {
public:
    void OnSetMaterial(const video::SMaterial& material) override { Material = &material; }
    void OnSetConstants(video::IMaterialRendererServices*, s32) override {
        const SQeNodeExtMaterial* r = Material ? qeMaterialGetRecord(*Material) : nullptr;
        if (r) seen.push_back(*r);
    }
    std::vector<SQeNodeExtMaterial> seen;

private:
    const video::SMaterial* Material = nullptr;
};

using qetest::colourNear;
using D3D9Managers = qetest::D3D9Test;

TEST_F(D3D9Managers, ScreenQuadDrawnWithAnEffectPassFillsTheTarget) {
    RecordProbe* probe = new RecordProbe();
    const s32 material = driver->getGPUProgrammingServices()->addHighLevelShaderMaterial(
        kQuadShader, "vsMain", video::EVST_VS_3_0, kQuadShader, "psMain", video::EPST_PS_3_0, probe, video::EMT_SOLID);
    ASSERT_GE(material, 0) << "the quad shader did not compile";
    const core::dimension2du size(64, 64);
    video::ITexture* target = driver->addRenderTargetTexture(size, "quad-target", video::ECF_A8R8G8B8);
    ASSERT_NE(nullptr, target);

    FakeEffect effect;
    effect.passes = {1, 2};
    effect.passMaterial.MaterialType = static_cast<video::E_MATERIAL_TYPE>(material);
    CQeRenderServices services(device);

    std::vector<u32> pixels;
    auto draw = [&](u32 technique, u32 pass) {
        ASSERT_TRUE(device->run());
        ASSERT_TRUE(driver->beginScene(true, true, video::SColor(0xFF000000)));
        driver->setRenderTarget(target, true, true, video::SColor(kClear));
        services.drawScreenQuad(&effect, technique, pass);
        driver->setRenderTarget(0, false, false);
        driver->endScene();
        pixels = readBack(target);
        ASSERT_EQ(pixels.size(), size.Width * size.Height);
    };

    draw(1, 1);
    // u runs left to right, v top to bottom over the whole target.
    EXPECT_PRED3(colourNear, 0xFFFF0000u, pixels[size.Width - 1], 8) << std::hex << pixels[size.Width - 1];
    EXPECT_PRED3(colourNear, 0xFF00FF00u, pixels[(size.Height - 1) * size.Width], 8);
    // The shader callback found the pass's draw record on the material while it drew.
    ASSERT_EQ(1u, probe->seen.size());
    EXPECT_EQ(&effect, probe->seen[0].activeEffect);
    EXPECT_EQ(1u, probe->seen[0].pass);

    // A pass the effect does not have draws nothing.
    draw(0, 1);
    EXPECT_EQ(kClear, pixels[32 * size.Width + 32]);
    EXPECT_EQ(1u, probe->seen.size());
    probe->drop();
}

TEST_F(D3D9Managers, CubeFloatAndPlainTexturesAndInstancedParticleNodes) {
    qetest::TempDir dir("texdev");
    for (int i = 0; i < 6; ++i) writeImage(dir.path() + "sky000" + std::to_string(i) + ".png", 0xFF000000u | (i * 40));
    const std::string sky = dir.path() + "sky00.png";
    CQeTextureManager textures(device);

    video::ITexture* cube = textures.loadTexture(sky.c_str());  // all six faces exist: a cube map
    ASSERT_NE(nullptr, cube);
    EXPECT_STREQ((sky + "_cube").c_str(), cube->getName().getPath().c_str());

    // Without the last face the name stands for a plain texture, made without mip-maps.
    DeleteFileA((dir.path() + "sky0005.png").c_str());
    writeImage(sky, 0xFF336699);
    EXPECT_EQ(nullptr, textures.loadCubeTexture(sky.c_str()));
    video::ITexture* plain = textures.loadTexture(sky.c_str());
    ASSERT_NE(nullptr, plain);
    EXPECT_FALSE(plain->hasMipMaps());

    // A float texture holds the red component of each texel.
    const std::string h = dir.path() + "h.png";
    writeImage(h, 0xFF806040);
    video::ITexture* height = textures.loadTextureR32F(h.c_str());
    ASSERT_NE(nullptr, height);
    EXPECT_EQ(video::ECF_R32F, height->getColorFormat());
    const f32* texels = static_cast<const f32*>(height->lock(video::ETLM_READ_ONLY));
    ASSERT_NE(nullptr, texels);
    EXPECT_FLOAT_EQ(128.0f / 255.0f, texels[0]);
    height->unlock();

    // On this driver every particle factory makes instanced nodes.
    CQeSceneManager manager(device);
    scene::IMesh* mesh = device->getSceneManager()->getGeometryCreator()->createCubeMesh();
    scene::IMeshSceneNode* source = device->getSceneManager()->addMeshSceneNode(mesh);
    mesh->drop();
    EXPECT_NE(nullptr, dynamic_cast<CQeD3D9ParticleSystemSceneNode*>(manager.createAnimatedMeshParticleSystemSceneNode(source, nullptr, -1)));
}

}  // namespace
