// The video driver's additions on the real Direct3D 9 device: render targets with a depth surface of
// their own, back-buffer and texture copies, and the callbacks around a device reset.
#include <d3d9.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>
#include <vector>

#include "device_check.h"

using namespace irr;
using namespace irr::video;
using qetest::centrePixel;
using qetest::pixelAt;

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

const SColor kRed(255, 255, 0, 0), kGreen(255, 0, 255, 0), kBlue(255, 0, 0, 255), kGrey(255, 64, 64, 64);

class DriverAdditions : public testing::Test {
protected:
    qetest::D3D9Device d3d;
    IVideoDriver* driver = d3d.driver;
    FlatColour* flat = new FlatColour();
    s32 material = -1;

    void SetUp() override {
        g_calls.clear();
        g_seenDevice = nullptr;
        g_watched = nullptr;
        g_watchedHadSurface = false;
        ASSERT_NE(nullptr, driver) << "no Direct3D 9 device";
        material = qetest::hlslMaterial(driver, kFlatShader, "vsMain", "psMain", flat);
        ASSERT_GE(material, 0);
    }
    ~DriverAdditions() override { flat->drop(); }

    // A quad over the whole current target at depth z, depth tested (less or equal) and written.
    void drawQuad(f32 z, SColor colour) {
        flat->colour = colour;
        qetest::drawQuad(driver, qetest::quadMaterial(material, ECFN_LESSEQUAL), z);
    }
    // Clears the target, draws quads of (depth, colour) into it and gives its centre.
    u32 drawInto(ITexture* target, std::initializer_list<std::pair<f32, SColor>> quads) {
        if (!driver->beginScene(true, true, kGrey) || !driver->setRenderTarget(target, true, true, kGrey))
            return 0xDEADBEEF;
        for (const auto& q : quads) drawQuad(q.first, q.second);
        driver->setRenderTarget(0, false, false);
        driver->endScene();
        return centrePixel(target);
    }
};

TEST_F(DriverAdditions, TargetsMadeWithTheirOwnDepthKeepItApart) {
    const core::dimension2du size(64, 64);
    ITexture* a = driver->addRenderTargetTextureEx(size, "ownDepthA", ECF_A8R8G8B8);
    ITexture* b = driver->addRenderTargetTextureEx(size, "ownDepthB", ECF_A8R8G8B8);
    ASSERT_TRUE(a && b);

    // A gets a near quad; B, cleared, a far one; a far quad drawn into A again without clearing must
    // then lose against A's own depth (with a shared depth surface it would win). A last, nearer
    // quad shows A's depth test is really on.
    for (bool nearerLast : {false, true}) {
        ASSERT_TRUE(driver->beginScene(true, true, kGrey));
        ASSERT_TRUE(driver->setRenderTarget(a, true, true, kGrey));
        drawQuad(0.2f, kRed);
        ASSERT_TRUE(driver->setRenderTarget(b, true, true, kGrey));
        drawQuad(0.8f, kGreen);
        ASSERT_TRUE(driver->setRenderTarget(a, false, false));
        drawQuad(0.8f, kBlue);
        if (nearerLast) drawQuad(0.1f, kGreen);
        ASSERT_TRUE(driver->setRenderTarget(0, false, false));
        driver->endScene();
        const u32 expected = nearerLast ? 0xFF00FF00u : 0xFFFF0000u;
        EXPECT_PRED3(qeColourNear, expected, centrePixel(a), 2) << std::hex << centrePixel(a);
        EXPECT_PRED3(qeColourNear, 0xFF00FF00u, centrePixel(b), 2) << std::hex << centrePixel(b);
    }

    // A target whose device texture cannot be made (block-compressed formats cannot be drawn into) is
    // refused and not cached.
    const u32 count = driver->getTextureCount();
    EXPECT_EQ(nullptr, driver->addRenderTargetTextureEx(size, "noTarget", ECF_DXT1));
    EXPECT_EQ(count, driver->getTextureCount());
}

TEST_F(DriverAdditions, BackBufferAndTextureCopiesStretchOverTheWholeTarget) {
    ITexture* grab = driver->addRenderTargetTextureEx(core::dimension2du(32, 32), "grab", ECF_A8R8G8B8);
    ITexture* small = driver->addRenderTargetTextureEx(core::dimension2du(16, 16), "small", ECF_A8R8G8B8);
    ITexture* large = driver->addRenderTargetTexture(core::dimension2du(64, 64), "large", ECF_A8R8G8B8);
    ITexture* plain = driver->addTexture(core::dimension2du(16, 16), "plain", ECF_A8R8G8B8);
    ASSERT_TRUE(grab && small && large && plain);

    ASSERT_TRUE(driver->beginScene(true, true, kBlue));
    for (ITexture* t : {grab, small, large})
        ASSERT_TRUE(driver->setRenderTarget(t, true, true, t == small ? kGreen : kRed));
    ASSERT_TRUE(driver->setRenderTarget(0, false, false));
    EXPECT_TRUE(driver->copyBackBufferToTexture(grab, false));
    EXPECT_FALSE(driver->copyBackBufferToTexture(plain, true));  // not a render target
    EXPECT_TRUE(driver->copyTextureToTexture(small, large, true));
    EXPECT_FALSE(driver->copyTextureToTexture(nullptr, large, true));
    EXPECT_FALSE(driver->copyTextureToTexture(plain, large, false));
    driver->endScene();

    for (u32 at : {0u, 31u}) EXPECT_PRED3(qeColourNear, 0xFF0000FFu, pixelAt(grab, at, at), 2) << at;
    // every corner of the large target shows the small one's colour
    for (u32 x : {0u, 63u})
        for (u32 y : {0u, 63u}) EXPECT_PRED3(qeColourNear, 0xFF00FF00u, pixelAt(large, x, y), 2) << x << "," << y;
}

TEST_F(DriverAdditions, ARefusedResetCallsOnlyTheBeforeCallbackAndTheNextResetRestoresTargets) {
    ITexture* target = driver->addRenderTargetTextureEx(core::dimension2du(32, 32), "survivor", ECF_A8R8G8B8);
    ASSERT_NE(nullptr, target);
    g_watched = target;
    driver->setBeforeResetCallback(recordBefore);
    driver->setAfterResetCallback(recordAfter);

    // A resource of the default pool held outside the driver makes the device refuse the reset.
    IDirect3DDevice9* d3d9 = static_cast<IDirect3DDevice9*>(driver->getExposedVideoData().D3D9.D3DDev9);
    IDirect3DVertexBuffer9* held = nullptr;
    ASSERT_EQ(D3D_OK, d3d9->CreateVertexBuffer(256, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &held, nullptr));
    driver->OnResize(core::dimension2du(200, 150));  // a new back-buffer size resets the device
    EXPECT_EQ((std::vector<std::string>{"before"}), g_calls);
    EXPECT_EQ(nullptr, target->getNativeSurface());  // released, not restored

    held->Release();
    driver->OnResize(core::dimension2du(180, 140));
    EXPECT_EQ((std::vector<std::string>{"before", "before", "after"}), g_calls);
    EXPECT_EQ(d3d9, g_seenDevice);
    EXPECT_TRUE(g_watchedHadSurface) << "render targets must exist again when the after-reset callback runs";
    // The target and its own depth surface work after the reset: the farther quad loses.
    EXPECT_PRED3(qeColourNear, 0xFF00FF00u, drawInto(target, {{0.2f, kGreen}, {0.8f, kBlue}}), 2);

    // A later setter replaces the callback; none switches it off.
    driver->setBeforeResetCallback(nullptr);
    driver->setAfterResetCallback(nullptr);
    driver->OnResize(core::dimension2du(160, 120));
    EXPECT_EQ(3u, g_calls.size());
}

TEST_F(DriverAdditions, ATargetMadeAfterAResetThatGrewTheBackBufferSharesItsDepth) {
    // A depth surface of a target's own, larger than the back buffer will be, is there to be found too.
    ITexture* own = driver->addRenderTargetTextureEx(core::dimension2du(256, 256), "ownDepth", ECF_A8R8G8B8);
    ASSERT_NE(nullptr, own);
    driver->OnResize(core::dimension2du(200, 150));
    ITexture* screen = driver->addRenderTargetTexture(core::dimension2du(200, 150), "screenSized", ECF_A8R8G8B8);
    ASSERT_NE(nullptr, screen);

    // A near quad in the back buffer; a farther one in the target, whose depth is not cleared, loses
    // against it (with the other depth surface, cleared, it would win).
    ASSERT_TRUE(driver->beginScene(true, true, kGrey));
    ASSERT_TRUE(driver->setRenderTarget(own, true, true, kGrey));
    ASSERT_TRUE(driver->setRenderTarget(0, false, false));
    drawQuad(0.2f, kRed);
    ASSERT_TRUE(driver->setRenderTarget(screen, true, false, kGrey));
    drawQuad(0.8f, kBlue);
    ASSERT_TRUE(driver->setRenderTarget(0, false, false));
    driver->endScene();
    EXPECT_PRED3(qeColourNear, 0xFF404040u, centrePixel(screen), 2) << std::hex << centrePixel(screen);
}

TEST_F(DriverAdditions, ATargetSharingTheBackBuffersDepthTakesOneThatFitsWhenAResetShrinksIt) {
    driver->OnResize(core::dimension2du(200, 150));
    ITexture* target = driver->addRenderTargetTexture(core::dimension2du(200, 150), "madeLarge", ECF_A8R8G8B8);
    ASSERT_NE(nullptr, target);
    driver->OnResize(core::dimension2du(160, 120));
    // a near quad, then a farther one that the depth test keeps behind it, all over the target
    EXPECT_PRED3(qeColourNear, 0xFFFF0000u, drawInto(target, {{0.2f, kRed}, {0.8f, kBlue}}), 2);
    EXPECT_PRED3(qeColourNear, 0xFFFF0000u, pixelAt(target, 195, 145), 2) << std::hex << pixelAt(target, 195, 145);
}


TEST_F(DriverAdditions, ATargetResizedInPlaceStaysTheSameTextureAndDrawsWithADepthThatFits) {
    ITexture* shared = driver->addRenderTargetTexture(core::dimension2du(64, 64), "resized", ECF_A8R8G8B8);
    ITexture* own = driver->addRenderTargetTextureEx(core::dimension2du(64, 64), "resizedOwnDepth", ECF_R32F);
    ASSERT_TRUE(shared && own);
    const u32 count = driver->getTextureCount();
    // larger than the 160 x 120 back buffer, whose depth the shared one had; then smaller again
    for (const core::dimension2du size : {core::dimension2du(256, 192), core::dimension2du(48, 32)}) {
        SCOPED_TRACE(size.Width);
        ASSERT_TRUE(driver->resizeRenderTargetTexture(shared, size));
        ASSERT_TRUE(driver->resizeRenderTargetTexture(own, size));
        EXPECT_EQ(size, shared->getSize());
        EXPECT_EQ(size, own->getOriginalSize());
        EXPECT_EQ(ECF_R32F, own->getColorFormat());
        EXPECT_EQ(shared, driver->findTexture("resized"));
        EXPECT_EQ(count, driver->getTextureCount());
        EXPECT_PRED3(qeColourNear, 0xFFFF0000u, drawInto(shared, {{0.2f, kRed}, {0.8f, kBlue}}), 2);
        EXPECT_PRED3(qeColourNear, 0xFFFF0000u, pixelAt(shared, size.Width - 2, size.Height - 2), 2);
        // the own depth stays apart: the shared target's near quad does not hide a farther one in it
        ASSERT_TRUE(driver->beginScene(true, true, kGrey));
        ASSERT_TRUE(driver->setRenderTarget(shared, true, true, kGrey));
        drawQuad(0.2f, kRed);
        ASSERT_TRUE(driver->setRenderTarget(own, true, true, kGrey));
        drawQuad(0.8f, kGreen);
        ASSERT_TRUE(driver->setRenderTarget(0, false, false));
        driver->endScene();
        EXPECT_NE(0xFF404040u, centrePixel(own)) << std::hex << centrePixel(own);
    }
    // what is no render target, an empty size, the target being drawn into: refused, unchanged
    IImage* image = driver->createImage(ECF_A8R8G8B8, core::dimension2du(8, 8));
    ITexture* loaded = driver->addTexture("notATarget", image);
    image->drop();
    EXPECT_FALSE(driver->resizeRenderTargetTexture(loaded, core::dimension2du(16, 16)));
    EXPECT_FALSE(driver->resizeRenderTargetTexture(nullptr, core::dimension2du(16, 16)));
    EXPECT_FALSE(driver->resizeRenderTargetTexture(shared, core::dimension2du(0, 16)));
    ASSERT_TRUE(driver->beginScene(true, true, kGrey));
    ASSERT_TRUE(driver->setRenderTarget(shared, true, true, kGrey));
    EXPECT_FALSE(driver->resizeRenderTargetTexture(shared, core::dimension2du(32, 32)));
    ASSERT_TRUE(driver->setRenderTarget(0, false, false));
    driver->endScene();
    EXPECT_EQ(core::dimension2du(48, 32), shared->getSize());
    EXPECT_EQ(core::dimension2du(8, 8), loaded->getSize());
}

}  // namespace
