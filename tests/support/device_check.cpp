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
    qetest::D3D9Device d3d(320, 240);
    if (!d3d.device) return fail(result, "could not create the Direct3D 9 device");
    d3d.device->setWindowCaption(L"Qirn");
    video::IVideoDriver* driver = d3d.driver;
    scene::ISceneManager* smgr = d3d.device->getSceneManager();
    if (!driver->queryFeature(video::EVDF_VERTEX_SHADER_3_0) || !driver->queryFeature(video::EVDF_PIXEL_SHADER_3_0))
        return fail(result, "the device offers no vertex and pixel shader model 3.0");
    CheckConstants* constants = new CheckConstants();
    const s32 material = qetest::hlslMaterial(driver, kCheckShader, "vsMain", "psMain", constants);
    constants->drop();
    if (material < 0) return fail(result, "the HLSL material did not compile");
    const core::dimension2d<u32> size(128, 128);
    video::ITexture* target = driver->addRenderTargetTexture(size, "qirn-check-target", video::ECF_A8R8G8B8);
    if (!target) return fail(result, "could not create the render target");

    scene::IMeshSceneNode* cube = smgr->addCubeSceneNode(10.0f);
    cube->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(material));
    cube->setMaterialFlag(video::EMF_LIGHTING, false);
    smgr->addCameraSceneNode(0, core::vector3df(0, 0, -30), core::vector3df(0, 0, 0))->setAspectRatio(1.0f);
    for (int frame = 0; frame < (options.frames > 0 ? options.frames : 1) && d3d.device->run(); ++frame) {
        cube->setRotation(core::vector3df(0, frame * 1.5f, 0));
        if (!driver->beginScene(true, true, video::SColor(255, 0, 0, 0))) return fail(result, "beginScene failed");
        driver->setRenderTarget(target, true, true, video::SColor(kDeviceCheckClearColour));
        smgr->drawAll();
        driver->setRenderTarget(0, false, false);
        driver->draw2DImage(target, core::position2d<s32>(96, 56));
        driver->endScene();
    }
    const std::vector<u32> pixels = qetest::readPixels(target);
    if (pixels.empty()) return fail(result, "could not lock the render target");
    result.width = static_cast<int>(size.Width);
    result.height = static_cast<int>(size.Height);
    result.clearPixel = pixels[2 * size.Width + 2];
    result.shadedPixel = pixels[size.Height / 2 * size.Width + size.Width / 2];
    return 0;
}

namespace qetest {

D3D9Device::D3D9Device(unsigned width, unsigned height, bool vsync) {
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_DIRECT3D9;
    params.WindowSize = core::dimension2d<u32>(width, height);
    params.Bits = 32;
    params.Fullscreen = false;
    params.Vsync = vsync;
    device = createDeviceEx(params);
    if (device) driver = device->getVideoDriver();
}

D3D9Device::~D3D9Device() {
    if (!device) return;
    device->closeDevice();
    device->run();
    device->drop();
}

s32 hlslMaterial(video::IVideoDriver* driver, const char* source, const char* vsEntry, const char* psEntry,
                 video::IShaderConstantSetCallBack* callback) {
    video::IGPUProgrammingServices* gpu = driver ? driver->getGPUProgrammingServices() : nullptr;
    if (!gpu) return -1;
    return gpu->addHighLevelShaderMaterial(source, vsEntry, video::EVST_VS_3_0, source, psEntry, video::EPST_PS_3_0,
                                           callback, video::EMT_SOLID);
}

video::SMaterial quadMaterial(s32 materialType, video::E_COMPARISON_FUNC depth) {
    video::SMaterial m;
    m.MaterialType = static_cast<video::E_MATERIAL_TYPE>(materialType);
    m.Lighting = false;
    m.BackfaceCulling = false;
    m.ZBuffer = depth;
    m.ZWriteEnable = true;
    return m;
}

void drawQuad(video::IVideoDriver* driver, const video::SMaterial& material, f32 z) {
    driver->setMaterial(material);
    const video::SColor white(255, 255, 255, 255);
    const video::S3DVertex v[4] = {video::S3DVertex(-1, -1, z, 0, 0, -1, white, 0, 1),
                                   video::S3DVertex(-1, 1, z, 0, 0, -1, white, 0, 0),
                                   video::S3DVertex(1, 1, z, 0, 0, -1, white, 1, 0),
                                   video::S3DVertex(1, -1, z, 0, 0, -1, white, 1, 1)};
    const u16 indices[6] = {0, 1, 2, 0, 2, 3};
    driver->drawVertexPrimitiveList(v, 4, indices, 2, video::EVT_STANDARD, scene::EPT_TRIANGLES, video::EIT_16BIT);
}

u32 drawAndReadCentre(video::IVideoDriver* driver, video::ITexture* target, const video::SMaterial& material,
                      video::SColor clear) {
    if (!target || !driver->beginScene(true, true, video::SColor(255, 0, 0, 0))) return 0xDEADBEEF;
    driver->setRenderTarget(target, true, true, clear);
    drawQuad(driver, material);
    driver->setRenderTarget(0, false, false);
    driver->endScene();
    return centrePixel(target);
}

u32 pixelAt(video::ITexture* texture, u32 x, u32 y) {
    const u8* data = static_cast<const u8*>(texture->lock(video::ETLM_READ_ONLY));
    if (!data) return 0xDEADBEEF;
    u32 v;
    std::memcpy(&v, data + y * texture->getPitch() + x * 4, 4);
    texture->unlock();
    return v;
}

u32 centrePixel(video::ITexture* texture) {
    return pixelAt(texture, texture->getSize().Width / 2, texture->getSize().Height / 2);
}

std::vector<u32> readPixels(video::ITexture* texture) {
    const core::dimension2d<u32> size = texture->getSize();
    const u8* data = static_cast<const u8*>(texture->lock(video::ETLM_READ_ONLY));
    if (!data) return {};
    std::vector<u32> pixels(size.Width * size.Height);
    for (u32 y = 0; y < size.Height; ++y)
        std::memcpy(&pixels[y * size.Width], data + y * texture->getPitch(), size.Width * 4);
    texture->unlock();
    return pixels;
}

}  // namespace qetest
