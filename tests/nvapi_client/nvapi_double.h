#ifndef QIRN_TESTS_NVAPI_DOUBLE_H
#define QIRN_TESTS_NVAPI_DOUBLE_H

#include <windows.h>

#include <string>

#include "fake_nvapi/fake_nvapi.h"

namespace qetest {

// The folder of a build of the driver double, beside the test program ("nvapi_double" or
// "nvapi_double_zero"), ending with a separator.
inline std::string nvApiDoubleFolder(const char* name) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    folder.erase(folder.find_last_of("\\/") + 1);
    return folder + name + "\\";
}

// The state of the mapped double, or null when no "nvapi.dll" is mapped.
inline FakeNvApi* fakeNvApi(int reset = 0) {
    HMODULE module = GetModuleHandleA("nvapi.dll");
    if (!module) return nullptr;
    FARPROC state = GetProcAddress(module, "fake_nvapi_state");
    return state ? reinterpret_cast<FakeNvApiStateFn>(reinterpret_cast<void*>(state))(reset) : nullptr;
}

}  // namespace qetest

#endif
