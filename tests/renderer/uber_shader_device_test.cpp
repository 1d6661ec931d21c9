// The uber shader on the device: transparent surfaces set up through the object module take the built-in
// shader in their permutation, with one solid-colour texture per channel; the pixels show that every
// sampler reads its channel's texture and that the surface blends by its transparency.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstring>
#include <string>

#include "IQeGPUProgrammingServices.h"
#include "IQeManager.h"
#include "device_check.h"
#include "engine.h"
#include "engine_context.h"
#include "file_fixtures.h"
#include "frame.h"
#include "object_fixtures.h"
#include "object_surfaces.h"
#include "objects.h"
#include "shader_material.h"
#include "shader_object.h"
#include "shader_engine.h"
#include "shell_fixtures.h"
#include "sysfile.h"
#include "uber_shader.h"

using namespace irr;

namespace {

class UberShaderDevice : public testing::Test {
protected:
    static void SetUpTestSuite() {
        files = new qetest::TempDir("uber-shader");
        ASSERT_EQ(0, qetest::startShaderEngine(QIRN_OUTPUT_DIR, files->mkdir("cache")));
    }
    static void TearDownTestSuite() {
        qeIrrlichtTerm();
        delete files;
    }

    static ObjectSurfaceRecord record() {
        ObjectSurfaceRecord r;
        std::memset(&r, 0, sizeof(r));
        r.name = "glass";
        for (int c : {QE_SURF_BASECOLOR, QE_SURF_LUMINOSITY, QE_SURF_DIFFUSE, QE_SURF_TRANSPARENCY}) r.channels[c].type = 1;
        r.channels[QE_SURF_BASECOLOR].type = 0;
        r.channels[QE_SURF_BASECOLOR].value.f[0] = r.channels[QE_SURF_BASECOLOR].value.f[1] =
            r.channels[QE_SURF_BASECOLOR].value.f[2] = 1.0f;
        r.channels[QE_SURF_TRANSPARENCY].value.f[0] = 1.0f;
        return r;
    }

    // A solid-colour texture in the driver's cache under the name.
    static const char* solid(const char* name, video::SColor colour) {
        video::IVideoDriver* driver = qeIrrlichtGetContext()->driver;
        if (!driver->findTexture(name)) {
            video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
            image->fill(colour);
            driver->addTexture(name, image);
            image->drop();
        }
        return name;
    }

    // Object `id` over a one-material mesh with the record's surface; its material drawn over black.
    u32 drawSurface(int id, const ObjectSurfaceRecord& r) {
        EngineContext* ctx = qeIrrlichtGetContext();
        qetest::loadEmptyObject(("quad" + std::to_string(id) + ".x").c_str(), id);
        qeIrrlichtObjSetSurfaces(id, 1, &r, 1);
        const ObjectSurface* surface = qeIrrlichtObjGetSurface(id, 0);
        if (!surface || !surface->hasShaderMaterial) return 0xDEADBEEF;
        video::SMaterial material = qeIrrlichtGetObjectNode(id)->getMaterial(0);
        material.BackfaceCulling = false;
        material.ZBuffer = video::ECFN_ALWAYS;
        if (!target) target = ctx->driver->addRenderTargetTexture(core::dimension2du(32, 32), "uber-target");
        for (video::E_TRANSFORMATION_STATE t : {video::ETS_WORLD, video::ETS_VIEW, video::ETS_PROJECTION})
            ctx->driver->setTransform(t, core::IdentityMatrix);
        return qetest::drawAndReadCentre(ctx->driver, target, material, video::SColor(255, 0, 0, 0));
    }

    static qetest::TempDir* files;
    static video::ITexture* target;
};
qetest::TempDir* UberShaderDevice::files = nullptr;
video::ITexture* UberShaderDevice::target = nullptr;

TEST_F(UberShaderDevice, EachChannelReadsItsOwnTextureAndTheSurfaceBlends) {
    // colour (s0) and transparency (s1): the colour at the alpha the transparency map leaves
    ObjectSurfaceRecord a = record();
    a.channels[QE_SURF_LUMINOSITY].value.f[0] = 1.0f;  // emits the base colour: no light needed
    a.channels[QE_SURF_BASECOLOR].texImage = solid("c-orange.png", video::SColor(255, 200, 100, 40));
    a.channels[QE_SURF_TRANSPARENCY].texImage = solid("t-quarter.png", video::SColor(255, 64, 255, 255));
    const u32 first = drawSurface(1, a);
    EXPECT_TRUE(qeColourNear(0xFF964B1E, first | 0xFF000000u, 3)) << std::hex << first;

    // colour (s0), luminosity (s1), diffuse (s2), transparency (s3): luminosity map plus the ambient
    // share of colour × diffuse, at half alpha
    ObjectSurfaceRecord b = record();
    b.channels[QE_SURF_LUMINOSITY].value.f[0] = 1.0f;
    b.channels[QE_SURF_DIFFUSE].value.f[0] = 1.0f;
    b.channels[QE_SURF_BASECOLOR].texImage = solid("c-white.png", video::SColor(255, 255, 255, 255));
    b.channels[QE_SURF_LUMINOSITY].texImage = solid("l-green.png", video::SColor(255, 0, 200, 0));
    b.channels[QE_SURF_DIFFUSE].texImage = solid("d-red.png", video::SColor(255, 255, 0, 0));
    b.channels[QE_SURF_TRANSPARENCY].texImage = solid("t-half.png", video::SColor(255, 128, 0, 0));
    const u32 second = drawSurface(2, b);
    EXPECT_TRUE(qeColourNear(0xFF066A06, second | 0xFF000000u, 3)) << std::hex << second;

    // the same permutation comes from the cache
    ObjectSurfaceRecord c = b;
    c.name = "other";
    qeIrrlichtDeleteObject(2);
    EXPECT_EQ(second, drawSurface(3, c));
    EXPECT_EQ(qeIrrlichtObjGetSurface(3, 0)->shader, qeIrrlichtUberShaderGetDefault(&b, false, false));
}

// The largest permutations still fit the pixel program's temporaries: a program that does not link draws
// black without an error. White textures in every layer and a luminous white surface must come out white.
TEST_F(UberShaderDevice, LargePermutationsLinkAndDraw) {
    EngineContext* ctx = qeIrrlichtGetContext();
    const char* white = solid("white.png", video::SColor(255, 255, 255, 255));
    ObjectSurfaceRecord r = record();
    r.channels[QE_SURF_LUMINOSITY].value.f[0] = 1.0f;
    r.channels[QE_SURF_TRANSPARENCY].value.f[0] = 0.0f;
    r.channels[QE_SURF_REFLECTIONOPTIONS].type = 2;
    r.channels[QE_SURF_REFLECTIONOPTIONS].value.i[0] = 2;
    for (int c : {QE_SURF_BASECOLOR, QE_SURF_LUMINOSITY, QE_SURF_DIFFUSE, QE_SURF_SPECULARITY, QE_SURF_GLOSSINESS,
                  QE_SURF_REFLECTIVITY, QE_SURF_TRANSPARENCY, QE_SURF_BUMP})
        r.channels[c].texImage = white;
    ObjectSurface surface;
    std::memset(&surface, 0, sizeof(surface));
    std::memcpy(surface.channels, r.channels, sizeof(surface.channels));
    // eight textures bind; the ninth (Reflectivity) cannot, and the log says so once
    r.channels[QE_SURF_REFLECTIONIMAGE].texImage = "white.png";
    EXPECT_EQ(-1, qeIrrlichtUberShaderUnboundChannel(qeIrrlichtUberShaderMask(&r, false, false) & ~QE_UBER_TEX_NORMAL));
    EXPECT_EQ(QE_SURF_REFLECTIVITY, qeIrrlichtUberShaderUnboundChannel(qeIrrlichtUberShaderMask(&r, false, false)));
    testing::internal::CaptureStdout();
    for (const char* reflection : {"white.png", "sky00.png"}) {
        r.channels[QE_SURF_REFLECTIONIMAGE].texImage = reflection;
        for (bool compTangent : {false, true}) {
            ShaderObject* shader = qeIrrlichtUberShaderGetDefault(&r, compTangent, !compTangent);
            ASSERT_NE(nullptr, shader);
            video::SMaterial material = qetest::quadMaterial(qeIrrShaderGetMaterialType(shader));
            qeIrrlichtSetMaterialMarker(material, QE_MARKER_SURFACE, &surface);
            for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
                material.setTexture(layer, ctx->driver->getTexture(white));
            if (!target) target = ctx->driver->addRenderTargetTexture(core::dimension2du(32, 32), "uber-target");
            const u32 drawn = qetest::drawAndReadCentre(ctx->driver, target, material, video::SColor(255, 0, 0, 0));
            EXPECT_TRUE(qeColourNear(0xFFFFFFFF, drawn, 8)) << reflection << " " << compTangent << std::hex << drawn;
        }
    }
    const std::string printed = testing::internal::GetCapturedStdout();
    const std::string told = "WARN : UberShader: surface 'glass' has nine channel textures but a material binds eight: "
                             "its Reflectivity texture is not used\n";
    EXPECT_NE(std::string::npos, printed.find(told)) << printed;
    EXPECT_EQ(printed.find(told), printed.rfind(told)) << printed;
}

}  // namespace
