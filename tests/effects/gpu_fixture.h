// What the GPU services and shader cache tests share: macro lists, file checks and a device whose
// library log is kept.
#ifndef QIRN_TESTS_EFFECTS_GPU_FIXTURE_H
#define QIRN_TESTS_EFFECTS_GPU_FIXTURE_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "IQeGPUProgrammingServices.h"
#include "effects_fixture.h"
#include "gpu/QeShaderCache.h"

namespace qetest {

// A sorted macro list of {name, value} pairs.
inline SShaderMacroList macroList(std::vector<std::pair<const char*, const char*>> pairs) {
    SShaderMacroList list;
    for (auto& p : pairs) list.push_back({p.first, p.second});
    list.sort();
    return list;
}

// The cache mode of a run that writes its cache: blobs read, dated against their sources, and written.
constexpr irr::u32 kFullCacheMode = ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE;

// A null device whose library log lines are kept.
class LoggedDeviceTest : public DeviceTest {
protected:
    LogCapture logger;
    bool logged(const std::string& text, irr::ELOG_LEVEL level = irr::ELL_DEBUG) const {
        return logger.count(text, level) > 0;
    }
};

}  // namespace qetest

#endif
