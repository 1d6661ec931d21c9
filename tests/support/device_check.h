#ifndef QIRN_SHELL_DEVICE_CHECK_H
#define QIRN_SHELL_DEVICE_CHECK_H

#include <string>

// Proves the rendering path end to end: a Direct3D 9 device in a window, an HLSL vs_3_0/ps_3_0 material
// compiled through the engine, a mesh drawn into a render target whose pixels are read back.
struct DeviceCheckOptions {
    int frames = 1;                 // frames drawn (the mesh turns a little every frame)
    const char* imagePath = nullptr; // when set, the last render-target frame is written there (PNG/BMP)
};

struct DeviceCheckResult {
    std::string error;           // empty on success
    unsigned clearPixel = 0;     // A8R8G8B8 read at a corner of the render target
    unsigned shadedPixel = 0;    // A8R8G8B8 read at its centre, on the mesh
    int width = 0, height = 0;   // render-target size
};

// The colours the check draws with, A8R8G8B8.
const unsigned kDeviceCheckClearColour = 0xFF204060;
const unsigned kDeviceCheckShadeColour = 0xFF4080C0;

// Returns 0 when every step worked, -1 with result.error set otherwise.
int qeDeviceCheckRun(const DeviceCheckOptions& options, DeviceCheckResult& result);

// True when two A8R8G8B8 colours differ by at most tolerance in each channel.
bool qeColourNear(unsigned a, unsigned b, int tolerance);

#endif
