// The main of every test program. Modal boxes and dialogs never wait for a click here: boxes are
// printed and answered with OK, the open-file dialog and the resource dialogs are cancelled (tests that
// check them install their own hooks).
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdio>
#include <string>

#include "dialog.h"
#include "QeLog.h"
#include "gpu/QeShaderCache.h"
#include "sys.h"
#include "sysfile.h"

namespace {
int printBox(const char* caption, const char* text, unsigned int) {
    std::printf("[box %s] %s\n", caption, text);
    return 1;  // IDOK
}

int cancelOpenFile(struct tagOFNA*) { return 0; }

INT_PTR cancelDialog(HINSTANCE, LPCSTR, DLGPROC) { return IDCANCEL; }

// The compiled-shader cache beside qirn.exe, which engines started over qirn.exe's folder write into.
const char kBuildCache[] = QIRN_DATA_DIR "shadersCache";

ULONGLONG timeOf(const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

// Whether a file of the cache was written since the time.
bool cacheWrittenSince(ULONGLONG time) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(kBuildCache) + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool written = false;
    do written = written || timeOf(found.ftLastWriteTime) >= time;
    while (!written && FindNextFileA(search, &found));
    FindClose(search);
    return written;
}

// Blobs that a test compiled from its temporary shader sources go with those sources: a program that
// wrote into the cache clears it at its end as a run of the engine clears it (what only sources that are
// gone used, and what no request can use).
void clearBuildCache(ULONGLONG start) {
    if (!cacheWrittenSince(start)) return;
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    if (!device) return;
    qeLibSetLogger(device->getLogger());  // a logger of an engine stopped before is gone
    removeStaleCacheFiles(device->getFileSystem(), kBuildCache);
    qeLibSetLogger(nullptr);
    device->drop();
}
}  // namespace

int main(int argc, char** argv) {
    qeSysSetBoxHook(printBox);
    qeSysSetOpenFileHook(cancelOpenFile);
    qeSysSetDialogRunner(cancelDialog);
    qeSysSetBaseDir(QIRN_DATA_DIR);  // where qirn.exe and its data files live
    testing::InitGoogleTest(&argc, argv);
    FILETIME start;
    GetSystemTimeAsFileTime(&start);
    const int result = RUN_ALL_TESTS();
    clearBuildCache(timeOf(start));
    // The process ends with its result only once no Direct3D thread is on its way out (see sys.h).
    if (qeSysWaitForDirect3DThreads(2000) > 0)
        std::printf("A Direct3D command thread still runs at the end: a device was not released\n");
    return result;
}
