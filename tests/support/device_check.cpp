#include "device_check.h"

#include <irrlicht.h>

#include <cstdlib>
#include <cstring>

using namespace irr;

bool qeColourNear(unsigned a, unsigned b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        int ca = static_cast<int>((a >> shift) & 0xFF);
        int cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > tolerance) return false;
    }
    return true;
}

namespace qetest {

D3D9Device::D3D9Device(unsigned width, unsigned height, bool vsync) {
    device = createDevice(video::EDT_DIRECT3D9, core::dimension2d<u32>(width, height), 32, false, false, vsync);
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
    const std::vector<u32> pixels = readPixels(texture);
    return pixels.empty() ? 0xDEADBEEF : pixels[y * texture->getSize().Width + x];
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
