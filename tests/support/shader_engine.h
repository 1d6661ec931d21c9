// Device tests of shader files: one engine for a whole suite (starting one is slow under emulation), over
// the folder where qirn.exe and its "shaders" live, compiling into an empty shader cache of this run.
#ifndef QIRN_TESTS_SHADER_ENGINE_H
#define QIRN_TESTS_SHADER_ENGINE_H

#include <string>

#include "IQeGPUProgrammingServices.h"
#include "IQeManager.h"
#include "engine.h"
#include "frame.h"

namespace qetest {

// 0 when the engine started at width x height over baseDirectory, with or without the light pre-pass
// (and its anti-aliasing).
inline int startEngine(const char* baseDirectory, int width, int height, int lightPrePass, int antialias = 0) {
    DeviceSettings s;
    qeDeviceSettingsClear(&s);
    s.width = width;
    s.height = height;
    s.lightPrePass = lightPrePass;
    s.antialias = antialias;
    s.baseDirectory = baseDirectory;
    return qeIrrlichtSetup(&s);
}

// 0 when the engine started (160 x 120, no light pre-pass) with the cache in cacheDir.
inline int startShaderEngine(const char* baseDirectory, const std::string& cacheDir) {
    if (startEngine(baseDirectory, 160, 120, 0) != 0) return -1;
    getQeManager()->getGPUProgrammingServices()->setShaderCache(cacheDir.c_str(),
                                                                 ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE);
    return 0;
}

}  // namespace qetest

#endif
