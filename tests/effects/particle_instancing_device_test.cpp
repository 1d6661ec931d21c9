#include <gtest/gtest.h>

#include "effects_fixture.h"
#include "particles/CQeD3D9ParticleSystemSceneNode.h"

using namespace irr;

namespace {

// A particle shader of the kind the renderer gives particle nodes: the corner places the quad around
// the particle position, (birth, death) ride in the normal.
const char* kParticleShader =
    "float4x4 mViewProj;\n"
    "float4 particleColour;\n"
    "struct VS_OUT { float4 pos : POSITION; float2 corner : TEXCOORD0; };\n"
    "VS_OUT vsMain(float2 corner : TEXCOORD0, float3 pos : POSITION0, float3 times : NORMAL0) {\n"
    "  VS_OUT o;\n"
    "  float4 p = mul(float4(pos, 1.0), mViewProj);\n"
    "  p.xy += (corner - 0.5) * 0.16 * p.w;\n"
    "  o.pos = p;\n"
    "  o.corner = corner + times.xy * 0.0;\n"
    "  return o;\n"
    "}\n"
    "float4 psMain(float2 corner : TEXCOORD0) : COLOR0 {\n"
    "  return particleColour + float4(corner, 0.0, 0.0) * 0.0;\n"
    "}\n";

const u32 kClear = 0xFF204060;
const u32 kParticle = 0xFFE03020;

class ParticleConstants : public video::IShaderConstantSetCallBack {
public:
    void OnSetConstants(video::IMaterialRendererServices* services, s32) override {
        video::IVideoDriver* driver = services->getVideoDriver();
        core::matrix4 vp = driver->getTransform(video::ETS_PROJECTION);
        vp *= driver->getTransform(video::ETS_VIEW);
        vp *= driver->getTransform(video::ETS_WORLD);
        services->setVertexShaderConstant("mViewProj", vp.pointer(), 16);
        video::SColorf c{video::SColor(kParticle)};
        const f32 rgba[4] = {c.r, c.g, c.b, c.a};
        services->setPixelShaderConstant("particleColour", rgba, 4);
    }
};

bool near(u32 a, u32 b) { return qetest::colourNear(a, b, 8); }

struct D3D9Scene : qetest::D3D9Test {
    scene::ICameraSceneNode* camera = nullptr;
    video::ITexture* target = nullptr;
    s32 material = -1;
    qetest::LogCapture logger;
    const core::dimension2d<u32> size{128, 128};

    void SetUp() override {
        D3D9Test::SetUp();
        device->getTimer()->stop();
        device->getTimer()->setTime(5000);
        ParticleConstants* constants = new ParticleConstants();
        material = driver->getGPUProgrammingServices()->addHighLevelShaderMaterial(
            kParticleShader, "vsMain", video::EVST_VS_3_0, kParticleShader, "psMain", video::EPST_PS_3_0, constants,
            video::EMT_SOLID);
        constants->drop();
        ASSERT_GE(material, 0) << "the particle shader did not compile";
        target = driver->addRenderTargetTexture(size, "particle-target", video::ECF_A8R8G8B8);
        ASSERT_NE(nullptr, target);
        camera = smgr->addCameraSceneNode(0, core::vector3df(0, 0, -20), core::vector3df(0, 0, 0));
        camera->setAspectRatio(1.0f);
    }

    CQeD3D9ParticleSystemSceneNode* makeNode() {
        CQeD3D9ParticleSystemSceneNode* node = new CQeD3D9ParticleSystemSceneNode(smgr->getRootSceneNode(), smgr, -1);
        node->drop();
        video::SMaterial& m = node->getMaterial(0);
        m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(material);
        m.Lighting = false;
        m.ZWriteEnable = false;
        m.BackfaceCulling = false;
        node->getEmitter()->setBirthRate(0);
        return node;
    }

    // Draws one frame into the render target and reads its pixels back.
    bool frame(std::vector<u32>& pixels) {
        if (!device->run()) return false;
        if (!driver->beginScene(true, true, video::SColor(0xFF000000))) return false;
        driver->setRenderTarget(target, true, true, video::SColor(kClear));
        smgr->drawAll();
        driver->setRenderTarget(0, false, false);
        driver->endScene();
        pixels = readBack(target);
        return !pixels.empty();
    }

    // Where a world point lands in the render target.
    u32 at(const std::vector<u32>& pixels, const core::vector3df& p) {
        core::matrix4 vp = camera->getProjectionMatrix() * camera->getViewMatrix();
        f32 v[4] = {p.X, p.Y, p.Z, 1.0f};
        vp.multiplyWith1x4Matrix(v);
        const s32 x = static_cast<s32>((v[0] / v[3] + 1.0f) * 0.5f * size.Width);
        const s32 y = static_cast<s32>((1.0f - v[1] / v[3]) * 0.5f * size.Height);
        return pixels[static_cast<u32>(y) * size.Width + static_cast<u32>(x)];
    }
};

TEST_F(D3D9Scene, EveryBatchIsDrawnAndTheDriverKeepsDrawingAfterwards) {
    // 10000 particles: the first two batches (8192) on the left, the third (1808) on the right.
    CQeD3D9ParticleSystemSceneNode* node = makeNode();
    for (int i = 0; i < 10000; ++i) node->getFxEmitter()->addParticle(i < 8192 ? -5.0f : 5.0f, 0, 0, 0, 0xFFFFFFFFu);
    // A plain mesh drawn by the video driver before the particles, frame after frame.
    scene::IMeshSceneNode* cube = smgr->addCubeSceneNode(2.0f, 0, -1, core::vector3df(0, 6, 0));
    cube->setMaterialFlag(video::EMF_LIGHTING, false);

    std::vector<u32> pixels;
    for (int f = 0; f < 3; ++f) {
        ASSERT_TRUE(frame(pixels)) << f;
        EXPECT_EQ(kClear, pixels[2 * size.Width + 2]) << f;
        EXPECT_PRED2(near, kParticle, at(pixels, core::vector3df(-5, 0, 0))) << std::hex << at(pixels, core::vector3df(-5, 0, 0));
        EXPECT_PRED2(near, kParticle, at(pixels, core::vector3df(5, 0, 0))) << std::hex << at(pixels, core::vector3df(5, 0, 0));
        EXPECT_PRED2(near, 0xFFFFFFFFu, at(pixels, core::vector3df(0, 6, 0))) << "frame " << f << std::hex << " " << at(pixels, core::vector3df(0, 6, 0));
    }
    EXPECT_EQ(1, logger.count("CQeD3D9ParticleSystemSceneNode: Allocate VertexBuffer for Particles"));

    // More particles than the instance buffer holds: the first 65536 are drawn.
    for (int i = 0; i < 60000; ++i) node->getFxEmitter()->addParticle(0, -6, 0, 0, 0xFFFFFFFFu);
    ASSERT_EQ(70000u, node->getEmitter()->getParticleCount());
    ASSERT_TRUE(frame(pixels));
    EXPECT_PRED2(near, kParticle, at(pixels, core::vector3df(0, -6, 0)));
    EXPECT_PRED2(near, kParticle, at(pixels, core::vector3df(5, 0, 0)));

    // The last node going frees the shared objects; a new node makes them again only when it draws.
    node->remove();
    EXPECT_EQ(0, CQeD3D9ParticleSystemSceneNode::getSharedDataRefCount());
    EXPECT_FALSE(CQeD3D9ParticleSystemSceneNode::hasSharedData());
    EXPECT_EQ(1, logger.count("CQeD3D9ParticleSystemSceneNode::RemoveRefSharedData: remove VertexBuffer"));
    CQeD3D9ParticleSystemSceneNode* again = makeNode();
    EXPECT_FALSE(CQeD3D9ParticleSystemSceneNode::hasSharedData());
    again->getFxEmitter()->addParticle(-5, 0, 0, 0, 0xFFFFFFFFu);
    ASSERT_TRUE(frame(pixels));
    EXPECT_PRED2(near, kParticle, at(pixels, core::vector3df(-5, 0, 0)));
    EXPECT_EQ(kClear, at(pixels, core::vector3df(5, 0, 0)));

    // What the hub's before-reset hook does, then the driver's reset through a window resize: the
    // next frames make the shared objects again.
    CQeD3D9ParticleSystemSceneNode::OnDeviceReset();
    EXPECT_FALSE(CQeD3D9ParticleSystemSceneNode::hasSharedData());
    CQeD3D9ParticleSystemSceneNode::OnDeviceReset();  // nothing left to free
    EXPECT_EQ(1, logger.count("CQeD3D9ParticleSystemSceneNode::OnDeviceReset: remove VertexBuffer"));
    driver->OnResize(core::dimension2d<u32>(300, 220));
    for (int f = 0; f < 2; ++f) {
        ASSERT_TRUE(frame(pixels)) << f;
        EXPECT_PRED2(near, kParticle, at(pixels, core::vector3df(-5, 0, 0))) << f;
    }
    EXPECT_EQ(3, logger.count("CQeD3D9ParticleSystemSceneNode: Allocate VertexBuffer for Particles"));
}

}  // namespace
