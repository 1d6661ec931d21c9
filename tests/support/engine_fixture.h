#ifndef QIRN_TESTS_ENGINE_FIXTURE_H
#define QIRN_TESTS_ENGINE_FIXTURE_H

#include "IQeGPUProgrammingServices.h"
#include "IQeManager.h"
#include "engine.h"
#include "file_fixtures.h"
#include "frame.h"

namespace qetest {

// Starts (or restarts) the engine in a 160x120 window without the light pre-pass, with baseDirectory
// (qirn.exe's folder) as the base directory; compiled shaders go to the "cache" folder of files, empty at
// the first start. True when it started.
inline bool startEngine(const TempDir& files, const char* baseDirectory) {
    DeviceSettings s;
    qeDeviceSettingsClear(&s);
    s.width = 160;
    s.height = 120;
    s.lightPrePass = 0;
    s.baseDirectory = baseDirectory;
    if (qeIrrlichtSetup(&s) != 0) return false;
    getQeManager()->getGPUProgrammingServices()->setShaderCache(files.mkdir("cache").c_str(),
                                                                 ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE);
    return true;
}

}  // namespace qetest

#endif
