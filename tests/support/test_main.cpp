// The main of every test program. Modal boxes and dialogs never wait for a click here: boxes are
// printed and answered with OK, the open-file dialog and the resource dialogs are cancelled (tests that
// check them install their own hooks).
#include <gtest/gtest.h>

#include <cstdio>

#include "dialog.h"
#include "sys.h"
#include "sysfile.h"

namespace {
int printBox(const char* caption, const char* text, unsigned int) {
    std::printf("[box %s] %s\n", caption, text);
    return 1;  // IDOK
}

int cancelOpenFile(struct tagOFNA*) { return 0; }

INT_PTR cancelDialog(HINSTANCE, LPCSTR, DLGPROC) { return IDCANCEL; }
}  // namespace

int main(int argc, char** argv) {
    qeSysSetBoxHook(printBox);
    qeSysSetOpenFileHook(cancelOpenFile);
    qeSysSetDialogRunner(cancelDialog);
    qeSysSetBaseDir(QIRN_DATA_DIR);  // where qirn.exe and its data files live
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The process ends with its result only once no Direct3D thread is on its way out (see sys.h).
    if (qeSysWaitForDirect3DThreads(2000) > 0)
        std::printf("A Direct3D command thread still runs at the end: a device was not released\n");
    return result;
}
