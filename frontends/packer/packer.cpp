#include <windows.h>

#include "frontends.h"
#include "sys.h"

int qeDemoHasCabResources(const char* exePath) {
    HMODULE module = LoadLibraryExA(exePath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return 0;
    int found = 1;
    for (int id = 500; id <= 502 && found; ++id)
        found = FindResourceA(module, MAKEINTRESOURCEA(id), "CAB") != nullptr;
    FreeLibrary(module);
    return found;
}

// Packing and packed demos come with the packer.
int qeDemoPackExecutable(const char* outExe, const char*, int) {
    qeSysMessageBox("Cannot build '%s': the demo packer is not available in this version", outExe);
    return -1;
}

int qeDemoRunPacked(const char* exePath) {
    qeSysMessageBox("Cannot play the demo packed in '%s': packed demos are not available in this version", exePath);
    return -1;
}
