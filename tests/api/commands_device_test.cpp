// Render-target images (also shared by name with a camera effect and another image), cube maps of one name in
// two folders and the reflections drawn from them, a flat texture of a cube map's name in another folder, and
// module state across an engine restart, on the Direct3D 9 device.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <string>

#include "camera_effects.h"
#include "device_check.h"
#include "draw2d.h"
#include "engine.h"
#include "engine_context.h"
#include "file_fixtures.h"
#include "frame.h"
#include "idtable.h"
#include "images.h"
#include "joystick.h"
#include "log.h"
#include "lookups.h"
#include "lpp.h"
#include "object_fixtures.h"
#include "object_surfaces.h"
#include "overlay.h"
#include "shader_engine.h"
#include "shell_fixtures.h"

using namespace irr;

namespace {

struct Engine : testing::Test {
    qetest::BoxRecorder recorder;
    EngineContext* ctx = qeIrrlichtGetContext();
    Engine() { start(); }
    ~Engine() override { qeIrrlichtTerm(); }
    void start() {
        DeviceSettings s;
        qeDeviceSettingsClear(&s);
        s.width = 320;
        s.height = 240;
        s.lightPrePass = 0;
        ASSERT_EQ(0, qeIrrlichtSetup(&s)) << qeSysGetStartupError();
    }
};


// A surface "chrome" that reflects the image (a cube map when its name holds "00.") in its second layer.
ObjectSurfaceRecord chromeReflecting(const char* image) {
    ObjectSurfaceRecord r;
    std::memset(&r, 0, sizeof(r));
    r.name = "chrome";
    r.channels[QE_SURF_REFLECTIONOPTIONS].type = 2;
    r.channels[QE_SURF_REFLECTIONOPTIONS].value.i[0] = 2;
    r.channels[QE_SURF_REFLECTIONIMAGE].texImage = image;
    return r;
}

TEST_F(Engine, RenderTargetImagesRenderTheFrameAndLeaveWithTheirImage) {
    ASSERT_EQ(0, qeIrrlichtMakeImage(64, 32, 12));
    video::ITexture* target = ctx->driver->findTexture("qeRtImage12");
    ASSERT_NE(nullptr, target);
    EXPECT_EQ(64, qeIrrlichtImageWidth(12));
    EXPECT_EQ(32, qeIrrlichtImageHeight(12));
    const u32 textures = ctx->driver->getTextureCount();

    // The frame rendered into the image is cleared with the backdrop; the next Sync ends it once.
    qeIrrlichtColorBackdrop(0xFF102030);
    qeIrrlichtRenderToImage(12, 1);
    EXPECT_TRUE(qeIrrlichtSync());
    EXPECT_TRUE(qeIrrlichtSync());
    for (u32 pixel : qetest::readPixels(target)) ASSERT_EQ(0x102030u, pixel & 0x00FFFFFF);

    // Deleting the image leaves the target with the driver, and a paste of it already queued draws.
    ASSERT_EQ(0, qeIrrlichtPasteImageStretch(12, 0, 0, 16, 16, 0));
    qeIrrlichtDeleteImage(12);
    EXPECT_EQ(target, ctx->driver->findTexture("qeRtImage12"));
    EXPECT_TRUE(qeIrrlichtSync());

    // The ID made again at that size takes the target back; at another size it gets a new one of that name,
    // and the old one lives on for whatever drew from it.
    ASSERT_EQ(0, qeIrrlichtMakeImage(64, 32, 12));
    EXPECT_EQ(target, ctx->driver->findTexture("qeRtImage12"));
    EXPECT_EQ(textures, ctx->driver->getTextureCount());
    qeIrrlichtDeleteImage(12);
    ASSERT_EQ(0, qeIrrlichtMakeImage(16, 16, 12));
    video::ITexture* remade = ctx->driver->findTexture("qeRtImage12");
    ASSERT_NE(nullptr, remade);
    EXPECT_NE(target, remade);
    EXPECT_EQ(16u, remade->getOriginalSize().Width);
    EXPECT_EQ(textures + 1, ctx->driver->getTextureCount());
    EXPECT_EQ(-1, qeIrrlichtMakeImage(0, 16, 13));
    EXPECT_EQ(0, qeIrrlichtImageExist(13));
}

// An image is the size it says or is not made: a size below 1 or beyond the device's largest texture fails
// with "Failed to make image" (argument 1), leaving neither the ID nor a target behind.
TEST_F(Engine, MakeImageFailsForASizeTheDeviceCannotMake) {
    const core::dimension2du largest = ctx->driver->getMaxTextureSize();
    ASSERT_LT(largest.Width, 0x7FFFFFFFu);
    ASSERT_LT(largest.Height, 0x7FFFFFFFu);
    const u32 textures = ctx->driver->getTextureCount();
    const int wide = static_cast<int>(largest.Width), high = static_cast<int>(largest.Height);
    const int sizes[][2] = {{16, 0x7FFFFFFF}, {0x7FFFFFFF, 16}, {wide + 1, 16}, {16, high + 1}, {-16, 16}, {16, 0}};
    for (const auto& size : sizes) {
        qeLogClearLastError();
        EXPECT_EQ(-1, qeIrrlichtMakeImage(size[0], size[1], 41)) << size[0] << " x " << size[1];
        int argument = 0;
        const char* error = qeLogGetLastError(&argument);
        EXPECT_STREQ("Failed to make image", error ? error : "") << size[0] << " x " << size[1];
        EXPECT_EQ(1, argument);
        EXPECT_EQ(0, qeIrrlichtImageExist(41));
    }
    qeLogClearLastError();
    EXPECT_EQ(textures, ctx->driver->getTextureCount()) << "a refused size leaves no target";

    // The largest size in one direction is made whole.
    ASSERT_EQ(0, qeIrrlichtMakeImage(wide, 16, 41));
    EXPECT_EQ(wide, qeIrrlichtImageWidth(41));
    const ImageEntry* image = static_cast<ImageEntry*>(qeIdTableGet(ctx->images, 41));
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(core::dimension2du(largest.Width, 16), image->texture->getSize());
}

TEST_F(Engine, LoadedImagesKeepTheirPictureSize) {
    const std::string file = std::string(QIRN_ENGINE_MEDIA) + "/fontcourier.bmp";
    ASSERT_EQ(0, qeIrrlichtLoadImage(file.c_str(), 3));
    ASSERT_EQ(0, qeIrrlichtLoadImage(file.c_str(), 4));
    EXPECT_EQ(256, qeIrrlichtImageWidth(3));  // the picture's own size
    qeIrrlichtDeleteImage(3);
    EXPECT_EQ(256, qeIrrlichtImageHeight(4));
    ASSERT_EQ(0, qeIrrlichtPasteImage(4, 0, 0, 0));
    EXPECT_TRUE(qeIrrlichtSync());
}

// A cube map keeps the name it was given and is made once per folder (the driver keeps every texture it is
// given, and surfaces set up again at each reload would pile them up): loaded again it is the same texture,
// the same name in another folder is a cube map of its own, and after a restart it is made anew.
TEST_F(Engine, CubeMapsAreMadeOncePerFolderUnderTheirGivenName) {
    qetest::TempDir folders[2] = {qetest::TempDir("cube-a"), qetest::TempDir("cube-b")};
    for (int f = 0; f < 2; ++f) {
        for (int face = 0; face < 6; ++face) {
            video::IImage* side = ctx->driver->createImage(video::ECF_R8G8B8, core::dimension2du(2, 2));
            side->fill(video::SColor(255, 40 * face, 255 * f, 0));
            const std::string file = folders[f].path() + qeIrrlichtCubeMapFaceName("env00.bmp", face);
            ASSERT_TRUE(ctx->driver->writeImageToFile(side, file.c_str()));
            side->drop();
        }
    }
    char saved[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof(saved), saved));
    video::ITexture* cubes[2] = {};
    for (int round = 0; round < 3; ++round) {
        if (round == 2) {
            qeIrrlichtTerm();
            start();
        }
        for (int f = 0; f < 2; ++f) {
            ASSERT_TRUE(SetCurrentDirectoryA(folders[f].path().c_str()));
            const u32 before = ctx->driver->getTextureCount();
            video::ITexture* cube = qeIrrlichtLoadCubeMap("env00.bmp");
            ASSERT_NE(nullptr, cube);
            EXPECT_STREQ("env00.bmp", cube->getName().getPath().c_str());
            EXPECT_EQ(2u, cube->getTextureKind());
            if (round == 1) {
                EXPECT_EQ(cubes[f], cube);
                EXPECT_EQ(before, ctx->driver->getTextureCount());
            } else {
                EXPECT_EQ(before + 1, ctx->driver->getTextureCount());
            }
            cubes[f] = cube;
        }
        EXPECT_NE(cubes[0], cubes[1]);
    }
    SetCurrentDirectoryA(saved);
    EXPECT_TRUE(recorder.boxes().empty());
}

// Without the light pre-pass a reflective surface is drawn by the fixed-function reflection material: with
// cube maps of one name in two folders, each object reflects the cube map of the folder it was set up in,
// however the objects of the two folders follow each other.
TEST_F(Engine, FixedFunctionReflectionsDrawTheirOwnFoldersCubeMap) {
    ASSERT_FALSE(ctx->lightPrePass);
    const video::SColor colours[2] = {video::SColor(255, 255, 0, 0), video::SColor(255, 0, 255, 0)};
    qetest::TempDir folders[2] = {qetest::TempDir("reflect-a"), qetest::TempDir("reflect-b")};
    for (int f = 0; f < 2; ++f) {
        for (int face = 0; face < 6; ++face) {
            video::IImage* side = ctx->driver->createImage(video::ECF_R8G8B8, core::dimension2du(2, 2));
            side->fill(colours[f]);
            const std::string file = folders[f].path() + qeIrrlichtCubeMapFaceName("env00.bmp", face);
            ASSERT_TRUE(ctx->driver->writeImageToFile(side, file.c_str()));
            side->drop();
        }
    }
    // a white base texture: the reflection goes into the second layer
    video::IImage* white = ctx->driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
    white->fill(video::SColor(255, 255, 255, 255));
    video::ITexture* base = ctx->driver->addTexture("reflect-base", white);
    white->drop();
    ObjectSurfaceRecord r = chromeReflecting("env00.bmp");

    char saved[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof(saved), saved));
    const int order[4] = {0, 1, 0, 1};
    for (int k = 0; k < 4; ++k) {
        ASSERT_TRUE(SetCurrentDirectoryA(folders[order[k]].path().c_str()));
        qetest::loadEmptyObject(("mirror" + std::to_string(k) + ".x").c_str(), 20 + k, base);
        qeIrrlichtObjSetSurfaces(20 + k, 1, &r, 1);
    }
    SetCurrentDirectoryA(saved);

    video::ITexture* target = ctx->driver->addRenderTargetTexture(core::dimension2du(32, 32), "reflect-target");
    ASSERT_NE(nullptr, target);
    for (video::E_TRANSFORMATION_STATE t : {video::ETS_WORLD, video::ETS_VIEW, video::ETS_PROJECTION})
        ctx->driver->setTransform(t, core::IdentityMatrix);
    for (int k = 0; k < 4; ++k) {
        const ObjectSurface* surface = qeIrrlichtObjGetSurface(20 + k, 0);
        ASSERT_NE(nullptr, surface);
        ASSERT_NE(nullptr, surface->textures[QE_SURF_REFLECTIONIMAGE]);
        video::SMaterial m = qeIrrlichtGetObjectNode(20 + k)->getMaterial(0);
        ASSERT_EQ(video::EMT_REFLECTION_2_LAYER, m.MaterialType);
        EXPECT_EQ(surface->textures[QE_SURF_REFLECTIONIMAGE], m.getTexture(1)) << "object " << k;
        m.Lighting = false;
        m.BackfaceCulling = false;
        m.ZBuffer = video::ECFN_ALWAYS;
        const u32 drawn = qetest::drawAndReadCentre(ctx->driver, target, m, video::SColor(255, 0, 0, 255));
        EXPECT_TRUE(qeColourNear(colours[order[k]].color, drawn | 0xFF000000u, 8))
            << "object " << k << " set up in folder " << order[k] << " drew " << std::hex << drawn;
    }
    EXPECT_TRUE(recorder.boxes().empty());
}

// A cube map keeps the bare name it was given, and a flat texture of that name in another folder is still
// that folder's own: as a surface's base colour and as the texture its .x file names, it is one flat texture
// that draws in its own colour, beside the cube map.
TEST_F(Engine, AFlatTextureOfACubeMapsNameInAnotherFolderIsThatFoldersOwn) {
    qetest::TempDir cubeFolder("flat-a"), flatFolder("flat-c");
    video::IImage* side = ctx->driver->createImage(video::ECF_R8G8B8, core::dimension2du(2, 2));
    side->fill(video::SColor(255, 255, 0, 0));
    for (int face = 0; face < 6; ++face) {
        const std::string file = cubeFolder.path() + qeIrrlichtCubeMapFaceName("env00.bmp", face);
        ASSERT_TRUE(ctx->driver->writeImageToFile(side, file.c_str()));
    }
    side->fill(video::SColor(255, 0, 0, 255));
    ASSERT_TRUE(ctx->driver->writeImageToFile(side, (flatFolder.path() + "env00.bmp").c_str()));
    side->drop();
    flatFolder.write("plate.x",
                     "xof 0303txt 0032\n"
                     "Mesh plate {\n"
                     " 4;\n"
                     " -1.0;-1.0;0.5;, 1.0;-1.0;0.5;, 1.0;1.0;0.5;, -1.0;1.0;0.5;;\n"
                     " 2;\n"
                     " 3;0,1,2;, 3;0,2,3;;\n"
                     " MeshTextureCoords { 4; 0.0;1.0;, 1.0;1.0;, 1.0;0.0;, 0.0;0.0;; }\n"
                     " MeshMaterialList {\n"
                     "  1;\n"
                     "  2;\n"
                     "  0,0;;\n"
                     "  Material { 1.0;1.0;1.0;1.0;; 8.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;\n"
                     "   TextureFilename { \"env00.bmp\"; }\n"
                     "  }\n"
                     " }\n"
                     "}\n");

    ObjectSurfaceRecord mirror = chromeReflecting("env00.bmp");
    ObjectSurfaceRecord paint;
    std::memset(&paint, 0, sizeof(paint));
    paint.name = "paint";
    paint.channels[QE_SURF_BASECOLOR].texImage = "env00.bmp";

    char saved[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(sizeof(saved), saved));
    ASSERT_TRUE(SetCurrentDirectoryA(cubeFolder.path().c_str()));
    qetest::loadEmptyObject("mirror.x", 40);
    qeIrrlichtObjSetSurfaces(40, 1, &mirror, 1);
    ASSERT_TRUE(SetCurrentDirectoryA(flatFolder.path().c_str()));
    qeIrrlichtLoadObject("plate.x", 41);
    if (qeIrrlichtGetObjectNode(41)) qeIrrlichtObjSetSurfaces(41, 1, &paint, 1);
    SetCurrentDirectoryA(saved);

    const ObjectSurface* reflective = qeIrrlichtObjGetSurface(40, 0);
    ASSERT_NE(nullptr, reflective);
    video::ITexture* cube = reflective->textures[QE_SURF_REFLECTIONIMAGE];
    ASSERT_NE(nullptr, cube);
    EXPECT_EQ(2u, cube->getTextureKind());
    EXPECT_STREQ("env00.bmp", cube->getName().getPath().c_str());

    ASSERT_NE(nullptr, qeIrrlichtGetObjectNode(41));
    const ObjectSurface* painted = qeIrrlichtObjGetSurface(41, 0);
    ASSERT_NE(nullptr, painted);
    video::ITexture* base = painted->textures[QE_SURF_BASECOLOR];
    ASSERT_NE(nullptr, base);
    EXPECT_EQ(0u, base->getTextureKind());
    video::SMaterial m = qeIrrlichtGetObjectNode(41)->getMaterial(0);
    EXPECT_EQ(base, m.getTexture(0)) << "the .x file's texture and the base colour are one texture";
    video::ITexture* target = ctx->driver->addRenderTargetTexture(core::dimension2du(32, 32), "flat-target");
    ASSERT_NE(nullptr, target);
    for (video::E_TRANSFORMATION_STATE t : {video::ETS_WORLD, video::ETS_VIEW, video::ETS_PROJECTION})
        ctx->driver->setTransform(t, core::IdentityMatrix);
    m.MaterialType = video::EMT_SOLID;
    m.Lighting = false;
    m.BackfaceCulling = false;
    m.ZBuffer = video::ECFN_ALWAYS;
    const u32 drawn = qetest::drawAndReadCentre(ctx->driver, target, m, video::SColor(255, 0, 255, 0));
    EXPECT_TRUE(qeColourNear(0xFF0000FFu, drawn | 0xFF000000u, 8)) << "drew " << std::hex << drawn;
    EXPECT_TRUE(recorder.boxes().empty());
}

TEST_F(Engine, ARestartFindsEveryModuleAsNew) {
    qeIrrlichtInk(0x112233);
    qeIrrlichtInkAlpha(9);
    qeIrrlichtSetTextAlpha(3);
    ASSERT_EQ(0, qeIrrlichtSetTextFont((std::string(QIRN_ENGINE_MEDIA) + "/fontcourier.bmp").c_str()));
    qeIrrlichtSetImageAlpha(1);
    ASSERT_EQ(0, qeIrrlichtMakeImage(8, 8, 5));
    qeIrrlichtFadeIn(100, 0);
    qeIrrlichtEnableJoystick();

    qeIrrlichtTerm();
    start();
    EXPECT_EQ(nullptr, qeIrrlichtTextFont());
    EXPECT_EQ(255u, qeIrrlichtTextAlpha());
    EXPECT_GT(qeIrrlichtTextWidth("Qirn"), 0);
    EXPECT_EQ(0, qeIrrlichtImageExist(5));
    EXPECT_EQ(nullptr, ctx->driver->findTexture("qeRtImage5"));
    EXPECT_EQ(nullptr, ctx->fader);
    ASSERT_EQ(0, qeIrrlichtBox(0, 0, 1, 1));
    const OverlayQueue* q = qeIrrlichtOverlayQueue();
    EXPECT_EQ(0xFFFFFFFFu, static_cast<u32>(q->commands[q->commandCount - 1].p[4]));
    SEvent e = qetest::blankEvent(EET_JOYSTICK_INPUT_EVENT);
    e.JoystickEvent.Axis[1] = -20000;
    ctx->device->postEventFromUser(e);
    EXPECT_EQ(0, qeIrrlichtJoystickY()) << "joystick input is off again";
    qeIrrlichtEnableJoystick();
    EXPECT_EQ(-20000, qeIrrlichtJoystickY());
    EXPECT_TRUE(qeIrrlichtSync());
    EXPECT_TRUE(recorder.boxes().empty());
}

// A render target that something else took by its name outlives the image that made it: a camera effect's
// texture slot, and another image loaded under the name, draw on after the image is deleted.
TEST(SharedRenderTarget, DrawsOnAfterItsImageIsDeleted) {
    qetest::BoxRecorder recorder;
    qetest::TempDir files("shared-target");
    ASSERT_EQ(0, qetest::startEngine(QIRN_OUTPUT_DIR, 64, 64, 1)) << qeSysGetStartupError();
    EngineContext* ctx = qeIrrlichtGetContext();
    ctx->render.dofOn = ctx->render.ssaoOn = ctx->render.glowOn = 0;
    const std::string effect = files.write(
        "image9.hlsl",
        "//[QIRN_BEGIN]\n//function vertexMain : vsMain\n//function pixelMain : psMain\n//texture 1 qeRtImage9\n"
        "//[QIRN_END]\n"
        "sampler2D Image : register(s1);\n"
        "void vsMain(float4 p : POSITION, float2 uv : TEXCOORD0, out float4 op : POSITION, out float2 ouv : TEXCOORD0)"
        " { op = float4(p.xyz, 1.0); ouv = uv; }\n"
        "float4 psMain(float2 uv : TEXCOORD0) : COLOR0 { return float4(tex2D(Image, uv).rgb, 1.0); }\n");

    // The effect shows image 9, rendered green; then the image goes and the frames go on over a red backdrop.
    ASSERT_EQ(0, qeIrrlichtMakeImage(64, 64, 9));
    qeIrrlichtMakeCameraEffectFromFile(4, effect.c_str());
    ASSERT_EQ(1, qeIrrlichtCameraEffectExist(4));
    qeIrrlichtShowCameraEffect(4);
    qeIrrlichtColorBackdrop(0x00FF00);
    for (int frame = 0; frame < 3; ++frame) {
        qeIrrlichtRenderToImage(9, 1);
        EXPECT_TRUE(qeIrrlichtSync());
    }
    qeIrrlichtDeleteImage(9);
    qeIrrlichtColorBackdrop(0xFF0000);
    for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(qeIrrlichtSync());
    ASSERT_TRUE(qeIrrlichtBeginScene(ctx));
    qeIrrlichtLppBeginPasses(ctx);
    video::ITexture* frame = qeIrrlichtLppRenderFrame(ctx, qeIrrlichtGetRenderer(), 1);
    qeIrrlichtLppEndPasses(ctx);
    qeIrrlichtEndScene(ctx);
    ASSERT_NE(nullptr, frame);
    EXPECT_EQ(0x00FF00u, qetest::centrePixel(frame) & 0xFFFFFF) << "the effect draws what image 9 held";

    // Image 8 is image 7's target by its name; deleting 8 leaves 7 whole.
    ASSERT_EQ(0, qeIrrlichtMakeImage(16, 16, 7));
    ASSERT_EQ(0, qeIrrlichtLoadImage("qeRtImage7", 8));
    qeIrrlichtDeleteImage(8);
    qeLogClearLastError();
    qeIrrlichtColorBackdrop(0x0000FF);
    qeIrrlichtRenderToImage(7, 1);
    const char* error = qeLogGetLastError(nullptr);
    EXPECT_STREQ("", error ? error : "");
    EXPECT_TRUE(qeIrrlichtSync());
    const ImageEntry* seven = static_cast<ImageEntry*>(qeIdTableGet(ctx->images, 7));
    ASSERT_NE(nullptr, seven);
    for (u32 pixel : qetest::readPixels(seven->texture)) ASSERT_EQ(0x0000FFu, pixel & 0x00FFFFFF);
    EXPECT_EQ(16, qeIrrlichtImageWidth(7));

    qeIrrlichtTerm();
    EXPECT_TRUE(recorder.boxes().empty());
}

}  // namespace
