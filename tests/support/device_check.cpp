#include "device_check.h"

#include <irrlicht.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace irr;

namespace {

const char* kCheckShader =
    "float4x4 mWorldViewProj;\n"
    "float4 shadeColour;\n"
    "struct VS_OUT { float4 pos : POSITION; float3 normal : TEXCOORD0; };\n"
    "VS_OUT vsMain(float4 pos : POSITION, float3 normal : NORMAL) {\n"
    "  VS_OUT o;\n"
    "  o.pos = mul(pos, mWorldViewProj);\n"
    "  o.normal = normal;\n"
    "  return o;\n"
    "}\n"
    "float4 psMain(float3 normal : TEXCOORD0) : COLOR0 {\n"
    "  // Every face gets the same colour; the normal only keeps the interpolator alive.\n"
    "  return shadeColour + float4(normal * 0.0, 0.0);\n"
    "}\n";

video::SColorf colourf(unsigned argb) { return video::SColorf(video::SColor(argb)); }

class CheckConstants : public video::IShaderConstantSetCallBack {
public:
    void OnSetConstants(video::IMaterialRendererServices* services, s32) override {
        video::IVideoDriver* driver = services->getVideoDriver();
        core::matrix4 wvp = driver->getTransform(video::ETS_PROJECTION);
        wvp *= driver->getTransform(video::ETS_VIEW);
        wvp *= driver->getTransform(video::ETS_WORLD);
        services->setVertexShaderConstant("mWorldViewProj", wvp.pointer(), 16);
        video::SColorf c = colourf(kDeviceCheckShadeColour);
        f32 rgba[4] = {c.r, c.g, c.b, c.a};
        services->setPixelShaderConstant("shadeColour", rgba, 4);
    }
};

unsigned readPixel(const u8* data, u32 pitch, int x, int y) {
    unsigned v;
    std::memcpy(&v, data + static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * 4, 4);
    return v;
}

int fail(DeviceCheckResult& result, const char* text) {
    result.error = text;
    return -1;
}

}  // namespace

bool qeColourNear(unsigned a, unsigned b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        int ca = static_cast<int>((a >> shift) & 0xFF);
        int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}

int qeDeviceCheckRun(const DeviceCheckOptions& options, DeviceCheckResult& result) {
    result = DeviceCheckResult();
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_DIRECT3D9;
    params.WindowSize = core::dimension2d<u32>(320, 240);
    params.Bits = 32;
    params.Fullscreen = false;
    params.Vsync = false;
    IrrlichtDevice* device = createDeviceEx(params);
    if (!device) return fail(result, "could not create the Direct3D 9 device");
    device->setWindowCaption(L"Qirn");

    video::IVideoDriver* driver = device->getVideoDriver();
    scene::ISceneManager* smgr = device->getSceneManager();
    int status = 0;
    do {
        if (!driver->queryFeature(video::EVDF_VERTEX_SHADER_3_0) ||
            !driver->queryFeature(video::EVDF_PIXEL_SHADER_3_0)) {
            status = fail(result, "the device offers no vertex and pixel shader model 3.0");
            break;
        }
        video::IGPUProgrammingServices* gpu = driver->getGPUProgrammingServices();
        CheckConstants* constants = new CheckConstants();
        s32 material = gpu ? gpu->addHighLevelShaderMaterial(kCheckShader, "vsMain", video::EVST_VS_3_0,
                                                              kCheckShader, "psMain", video::EPST_PS_3_0,
                                                              constants, video::EMT_SOLID)
                           : -1;
        constants->drop();
        if (material < 0) {
            status = fail(result, "the HLSL material did not compile");
            break;
        }

        const core::dimension2d<u32> size(128, 128);
        video::ITexture* target = driver->addRenderTargetTexture(size, "qirn-check-target", video::ECF_A8R8G8B8);
        if (!target) {
            status = fail(result, "could not create the render target");
            break;
        }
        scene::IMeshSceneNode* cube = smgr->addCubeSceneNode(10.0f);
        cube->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(material));
        cube->setMaterialFlag(video::EMF_LIGHTING, false);
        scene::ICameraSceneNode* camera = smgr->addCameraSceneNode(0, core::vector3df(0, 0, -30), core::vector3df(0, 0, 0));
        camera->setAspectRatio(1.0f);

        const video::SColor clear(kDeviceCheckClearColour);
        int frames = options.frames > 0 ? options.frames : 1;
        for (int frame = 0; frame < frames && device->run(); ++frame) {
            cube->setRotation(core::vector3df(0, frame * 1.5f, 0));
            if (!driver->beginScene(true, true, video::SColor(255, 0, 0, 0))) {
                status = fail(result, "beginScene failed");
                break;
            }
            driver->setRenderTarget(target, true, true, clear);
            smgr->drawAll();
            driver->setRenderTarget(0, false, false);
            driver->draw2DImage(target, core::position2d<s32>(96, 56));
            driver->endScene();
        }
        if (status != 0) break;

        const u8* pixels = static_cast<const u8*>(target->lock(video::ETLM_READ_ONLY));
        if (!pixels) {
            status = fail(result, "could not lock the render target");
            break;
        }
        const u32 pitch = target->getPitch();
        result.width = static_cast<int>(size.Width);
        result.height = static_cast<int>(size.Height);
        result.clearPixel = readPixel(pixels, pitch, 2, 2);
        result.shadedPixel = readPixel(pixels, pitch, size.Width / 2, size.Height / 2);
        if (options.imagePath) {
            video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, size);
            for (u32 y = 0; y < size.Height; ++y)
                std::memcpy(static_cast<u8*>(image->lock()) + y * image->getPitch(), pixels + y * pitch, size.Width * 4);
            image->unlock();
            target->unlock();
            if (!driver->writeImageToFile(image, options.imagePath)) status = fail(result, "could not write the image");
            image->drop();
        } else {
            target->unlock();
        }
    } while (false);

    device->closeDevice();
    device->run();
    device->drop();
    return status;
}
