#ifndef QIRN_SHELL_DEVICE_CHECK_H
#define QIRN_SHELL_DEVICE_CHECK_H

#include <irrlicht.h>

#include <string>
#include <vector>

// A clear colour the effect tests draw over, A8R8G8B8.
const unsigned kDeviceCheckClearColour = 0xFF204060;

// True when two A8R8G8B8 colours differ by at most tolerance in each channel.
bool qeColourNear(unsigned a, unsigned b, int tolerance);

// What device tests share: a windowed Direct3D 9 device, HLSL materials, full-target quads, read-back.
namespace qetest {

// A Direct3D 9 device in its own window (32 bits), closed at the end; null when none could be made.
struct D3D9Device {
    explicit D3D9Device(unsigned width = 160, unsigned height = 120, bool vsync = false);
    ~D3D9Device();
    D3D9Device(const D3D9Device&) = delete;
    D3D9Device& operator=(const D3D9Device&) = delete;
    irr::IrrlichtDevice* device = nullptr;
    irr::video::IVideoDriver* driver = nullptr;
};

// A vs_3_0/ps_3_0 material from one HLSL text holding both entry points; -1 when it does not compile.
irr::s32 hlslMaterial(irr::video::IVideoDriver* driver, const char* source, const char* vsEntry,
                      const char* psEntry, irr::video::IShaderConstantSetCallBack* callback);

// The material a full-target quad is drawn with: no lighting, no culling, the given depth test.
irr::video::SMaterial quadMaterial(irr::s32 materialType, irr::video::E_COMPARISON_FUNC depth = irr::video::ECFN_ALWAYS);

// Draws a quad covering the whole current render target at clip-space depth z.
void drawQuad(irr::video::IVideoDriver* driver, const irr::video::SMaterial& material, irr::f32 z = 0.5f);

// Clears the target, draws one full quad into it within a frame of its own, and gives the centre pixel
// (0xDEADBEEF when the frame could not be drawn or read).
irr::u32 drawAndReadCentre(irr::video::IVideoDriver* driver, irr::video::ITexture* target,
                           const irr::video::SMaterial& material, irr::video::SColor clear = irr::video::SColor(255, 1, 2, 3));

// One A8R8G8B8 pixel of a render target (0xDEADBEEF when it cannot be locked), its centre, all of them.
irr::u32 pixelAt(irr::video::ITexture* texture, irr::u32 x, irr::u32 y);
irr::u32 centrePixel(irr::video::ITexture* texture);
std::vector<irr::u32> readPixels(irr::video::ITexture* texture);

}  // namespace qetest

#endif
