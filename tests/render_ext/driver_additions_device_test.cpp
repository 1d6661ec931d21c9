// The video driver's additions on the real Direct3D 9 device: render targets with a depth surface of
// their own, back-buffer and texture copies, and the callbacks around a device reset.
#include <d3d9.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <string>
#include <vector>

#include "device_check.h"

using namespace irr;
using namespace irr::video;

namespace {

// Passes clip-space positions through and fills with one colour.
const char* kFlatShader =
    "float4 colour;\n"
    "float4 vsMain(float4 pos : POSITION) : POSITION { return pos; }\n"
    "float4 psMain() : COLOR0 { return colour; }\n";

class FlatColour : public IShaderConstantSetCallBack {
public:
    SColor colour;
    void OnSetConstants(IMaterialRendererServices* services, s32) override {
        SColorf c(colour);
        f32 rgba[4] = {c.r, c.g, c.b, c.a};
        services->setPixelShaderConstant("colour", rgba, 4);
    }
};

// Reads one A8R8G8B8 pixel of a render target.
u32 pixelAt(ITexture* texture, u32 x, u32 y) {
    const u8* data = static_cast<const u8*>(texture->lock(ETLM_READ_ONLY));
    if (!data) return 0xDEADBEEF;
    u32 v;
    std::memcpy(&v, data + y * texture->getPitch() + x * 4, 4);
    texture->unlock();
    return v;
}

u32 centre(ITexture* texture) {
    return pixelAt(texture, texture->getSize().Width / 2, texture->getSize().Height / 2);
}

std::vector<std::string> g_calls;
IDirect3DDevice9* g_seenDevice = nullptr;
ITexture* g_watched = nullptr;
bool g_watchedHadSurface = false;

void recordBefore(IDirect3DDevice9* device) {
    g_calls.push_back("before");
    g_seenDevice = device;
}

void recordAfter(IDirect3DDevice9* device) {
    g_calls.push_back("after");
    g_seenDevice = device;
    g_watchedHadSurface = g_watched && g_watched->getNativeSurface() != nullptr;
}

class DriverAdditions : public testing::Test {
protected:
    IrrlichtDevice* device = nullptr;
    IVideoDriver* driver = nullptr;
    FlatColour* flat = nullptr;
    s32 material = -1;

    void SetUp() override {
        g_calls.clear();
        g_seenDevice = nullptr;
        g_watched = nullptr;
        g_watchedHadSurface = false;
        SIrrlichtCreationParameters params;
        params.DriverType = EDT_DIRECT3D9;
        params.WindowSize = core::dimension2d<u32>(160, 120);
        params.Bits = 32;
        params.Vsync = false;
        device = createDeviceEx(params);
        ASSERT_NE(nullptr, device) << "no Direct3D 9 device";
        driver = device->getVideoDriver();
        flat = new FlatColour();
        material = driver->getGPUProgrammingServices()->addHighLevelShaderMaterial(
            kFlatShader, "vsMain", EVST_VS_3_0, kFlatShader, "psMain", EPST_PS_3_0, flat, EMT_SOLID);
        ASSERT_GE(material, 0);
    }
    void TearDown() override {
        if (flat) flat->drop();
        if (device) {
            device->closeDevice();
            device->run();
            device->drop();
        }
    }

    // Draws a quad over the whole current target at depth z, depth tested (less or equal) and written.
    void drawQuad(f32 z, SColor colour) {
        flat->colour = colour;
        SMaterial m;
        m.MaterialType = static_cast<E_MATERIAL_TYPE>(material);
        m.Lighting = false;
        m.BackfaceCulling = false;
        m.ZBuffer = ECFN_LESSEQUAL;
        m.ZWriteEnable = true;
        driver->setMaterial(m);
        const S3DVertex v[4] = {
            S3DVertex(-1, -1, z, 0, 0, -1, colour, 0, 1), S3DVertex(-1, 1, z, 0, 0, -1, colour, 0, 0),
            S3DVertex(1, 1, z, 0, 0, -1, colour, 1, 0), S3DVertex(1, -1, z, 0, 0, -1, colour, 1, 1)};
        const u16 indices[6] = {0, 1, 2, 0, 2, 3};
        driver->drawVertexPrimitiveList(v, 4, indices, 2, EVT_STANDARD, scene::EPT_TRIANGLES, EIT_16BIT);
    }
};

const SColor kRed(255, 255, 0, 0), kGreen(255, 0, 255, 0), kBlue(255, 0, 0, 255), kGrey(255, 64, 64, 64);

TEST_F(DriverAdditions, TargetsMadeWithTheirOwnDepthKeepItApart) {
    const core::dimension2du size(64, 64);
    ITexture* a = driver->addRenderTargetTextureEx(size, "ownDepthA", ECF_A8R8G8B8);
    ITexture* b = driver->addRenderTargetTextureEx(size, "ownDepthB", ECF_A8R8G8B8);
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_TRUE(a->isRenderTarget());
    EXPECT_EQ(size, a->getSize());
    EXPECT_EQ(ECF_A8R8G8B8, a->getColorFormat());
    EXPECT_EQ(a, driver->getTexture("ownDepthA"));  // cached under its name

    ASSERT_TRUE(driver->beginScene(true, true, kGrey));
    // A gets a near quad; B, cleared, a far one; a far quad drawn into A again without clearing
    // must then lose against A's own depth (with a shared depth surface it would win).
    ASSERT_TRUE(driver->setRenderTarget(a, true, true, kGrey));
    drawQuad(0.2f, kRed);
    ASSERT_TRUE(driver->setRenderTarget(b, true, true, kGrey));
    drawQuad(0.8f, kGreen);
    ASSERT_TRUE(driver->setRenderTarget(a, false, false));
    drawQuad(0.8f, kBlue);
    drawQuad(0.1f, kGreen);  // nearer than red: passes, so A's depth test is really on
    ASSERT_TRUE(driver->setRenderTarget(0, false, false));
    driver->endScene();

    EXPECT_PRED3(qeColourNear, 0xFF00FF00u, centre(a), 2) << std::hex << centre(a);
    EXPECT_PRED3(qeColourNear, 0xFF00FF00u, centre(b), 2) << std::hex << centre(b);

    // Without the last green quad the blue one must have lost: draw the sequence again, stop before it.
    ASSERT_TRUE(driver->beginScene(true, true, kGrey));
    ASSERT_TRUE(driver->setRenderTarget(a, true, true, kGrey));
    drawQuad(0.2f, kRed);
    ASSERT_TRUE(driver->setRenderTarget(b, true, true, kGrey));
    drawQuad(0.8f, kGreen);
    ASSERT_TRUE(driver->setRenderTarget(a, false, false));
    drawQuad(0.8f, kBlue);
    ASSERT_TRUE(driver->setRenderTarget(0, false, false));
    driver->endScene();
    EXPECT_PRED3(qeColourNear, 0xFFFF0000u, centre(a), 2) << std::hex << centre(a);

    // Freed like any cached texture.
    const u32 count = driver->getTextureCount();
    driver->removeTexture(a);
    EXPECT_EQ(count - 1, driver->getTextureCount());
}

TEST_F(DriverAdditions, ATargetWhoseDeviceTextureCannotBeMadeIsRefusedAndNotCached) {
    const u32 count = driver->getTextureCount();
    // block-compressed formats cannot be drawn into
    EXPECT_EQ(nullptr, driver->addRenderTargetTextureEx(core::dimension2du(64, 64), "noTarget", ECF_DXT1));
    EXPECT_EQ(count, driver->getTextureCount());
}

TEST_F(DriverAdditions, BackBufferCopyStretchesTheFrameIntoATarget) {
    ITexture* target = driver->addRenderTargetTextureEx(core::dimension2du(32, 32), "grab", ECF_A8R8G8B8);
    ASSERT_NE(nullptr, target);
    ITexture* plain = driver->addTexture(core::dimension2du(32, 32), "plain", ECF_A8R8G8B8);
    ASSERT_NE(nullptr, plain);

    ASSERT_TRUE(driver->beginScene(true, true, SColor(255, 0, 0, 255)));
    ASSERT_TRUE(driver->setRenderTarget(target, true, true, kRed));
    ASSERT_TRUE(driver->setRenderTarget(0, false, false));
    EXPECT_TRUE(driver->copyBackBufferToTexture(target, false));
    EXPECT_FALSE(driver->copyBackBufferToTexture(nullptr, true));
    EXPECT_FALSE(driver->copyBackBufferToTexture(plain, true));  // not a render target
    driver->endScene();

    EXPECT_PRED3(qeColourNear, 0xFF0000FFu, pixelAt(target, 0, 0), 2) << std::hex << pixelAt(target, 0, 0);
    EXPECT_PRED3(qeColourNear, 0xFF0000FFu, pixelAt(target, 31, 31), 2);
}

TEST_F(DriverAdditions, TextureCopyStretchesTheWholeSourceOntoTheWholeTarget) {
    ITexture* small = driver->addRenderTargetTextureEx(core::dimension2du(16, 16), "small", ECF_A8R8G8B8);
    ITexture* large = driver->addRenderTargetTexture(core::dimension2du(64, 64), "large", ECF_A8R8G8B8);
    ITexture* plain = driver->addTexture(core::dimension2du(16, 16), "plain", ECF_A8R8G8B8);
    ASSERT_NE(nullptr, small);
    ASSERT_NE(nullptr, large);

    ASSERT_TRUE(driver->beginScene(true, true, kGrey));
    ASSERT_TRUE(driver->setRenderTarget(small, true, true, kGreen));
    ASSERT_TRUE(driver->setRenderTarget(large, true, true, kRed));
    ASSERT_TRUE(driver->setRenderTarget(0, false, false));
    EXPECT_TRUE(driver->copyTextureToTexture(small, large, true));
    EXPECT_FALSE(driver->copyTextureToTexture(nullptr, large, true));
    EXPECT_FALSE(driver->copyTextureToTexture(small, nullptr, true));
    EXPECT_FALSE(driver->copyTextureToTexture(plain, large, false));
    driver->endScene();

    // every corner of the large target now shows the small one's colour
    EXPECT_PRED3(qeColourNear, 0xFF00FF00u, pixelAt(large, 0, 0), 2) << std::hex << pixelAt(large, 0, 0);
    EXPECT_PRED3(qeColourNear, 0xFF00FF00u, pixelAt(large, 63, 0), 2);
    EXPECT_PRED3(qeColourNear, 0xFF00FF00u, pixelAt(large, 0, 63), 2);
    EXPECT_PRED3(qeColourNear, 0xFF00FF00u, pixelAt(large, 63, 63), 2);
}

TEST_F(DriverAdditions, AResetCallsBothCallbacksInOrderAndTargetsWorkAfter) {
    ITexture* target = driver->addRenderTargetTextureEx(core::dimension2du(32, 32), "kept", ECF_A8R8G8B8);
    ASSERT_NE(nullptr, target);
    g_watched = target;
    driver->setBeforeResetCallback(recordBefore);
    driver->setAfterResetCallback(recordAfter);

    driver->OnResize(core::dimension2du(200, 150));  // a new back-buffer size resets the device
    ASSERT_EQ((std::vector<std::string>{"before", "after"}), g_calls);
    EXPECT_EQ(driver->getExposedVideoData().D3D9.D3DDev9, static_cast<void*>(g_seenDevice));
    EXPECT_TRUE(g_watchedHadSurface) << "render targets must exist again when the after-reset callback runs";
    EXPECT_EQ(core::dimension2du(32, 32), target->getSize());

    // The target and its own depth surface work after the reset.
    ASSERT_TRUE(driver->beginScene(true, true, kGrey));
    ASSERT_TRUE(driver->setRenderTarget(target, true, true, kGrey));
    drawQuad(0.2f, kRed);
    drawQuad(0.8f, kBlue);  // behind: loses
    ASSERT_TRUE(driver->setRenderTarget(0, false, false));
    driver->endScene();
    EXPECT_PRED3(qeColourNear, 0xFFFF0000u, centre(target), 2) << std::hex << centre(target);

    // A later setter replaces the callback; none switches it off.
    driver->setBeforeResetCallback(nullptr);
    driver->setAfterResetCallback(nullptr);
    driver->OnResize(core::dimension2du(160, 120));
    EXPECT_EQ(2u, g_calls.size());
}

TEST_F(DriverAdditions, AFailedResetCallsOnlyTheBeforeCallbackAndTheNextResetRestoresTargets) {
    ITexture* target = driver->addRenderTargetTextureEx(core::dimension2du(32, 32), "survivor", ECF_A8R8G8B8);
    ASSERT_NE(nullptr, target);
    g_watched = target;
    driver->setBeforeResetCallback(recordBefore);
    driver->setAfterResetCallback(recordAfter);

    // A resource of the default pool held outside the driver makes the device refuse the reset.
    IDirect3DDevice9* d3d = static_cast<IDirect3DDevice9*>(driver->getExposedVideoData().D3D9.D3DDev9);
    ASSERT_NE(nullptr, d3d);
    IDirect3DVertexBuffer9* held = nullptr;
    ASSERT_EQ(D3D_OK, d3d->CreateVertexBuffer(256, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &held, nullptr));
    driver->OnResize(core::dimension2du(200, 150));
    EXPECT_EQ((std::vector<std::string>{"before"}), g_calls);
    EXPECT_EQ(nullptr, target->getNativeSurface());  // released, not restored

    held->Release();
    driver->OnResize(core::dimension2du(180, 140));
    EXPECT_EQ((std::vector<std::string>{"before", "before", "after"}), g_calls);
    EXPECT_TRUE(g_watchedHadSurface);

    ASSERT_TRUE(driver->beginScene(true, true, kGrey));
    ASSERT_TRUE(driver->setRenderTarget(target, true, true, kGrey));
    drawQuad(0.2f, kGreen);
    drawQuad(0.8f, kBlue);  // behind: loses
    ASSERT_TRUE(driver->setRenderTarget(0, false, false));
    driver->endScene();
    EXPECT_PRED3(qeColourNear, 0xFF00FF00u, centre(target), 2) << std::hex << centre(target);
}

}  // namespace
