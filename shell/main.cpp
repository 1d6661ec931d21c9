// Qirn: for now the program proves the rendering platform: it opens the Direct3D 9 device, draws a mesh
// with an HLSL shader material into a render target, reads the pixels back and reports them.
//   qirn.exe [-frames N] [-image out.png]
#include "device_check.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    DeviceCheckOptions options;
    options.frames = 120;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-frames") == 0 && i + 1 < argc) options.frames = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "-image") == 0 && i + 1 < argc) options.imagePath = argv[++i];
    }
    DeviceCheckResult result;
    int status = qeDeviceCheckRun(options, result);
    if (status != 0) {
        std::printf("device check failed: %s\n", result.error.c_str());
        return 1;
    }
    std::printf("render target %dx%d: cleared pixel 0x%08X (drawn 0x%08X), shaded pixel 0x%08X (drawn 0x%08X)\n",
                result.width, result.height, result.clearPixel, kDeviceCheckClearColour, result.shadedPixel,
                kDeviceCheckShadeColour);
    if (options.imagePath) std::printf("frame written to %s\n", options.imagePath);
    return 0;
}
