// The process entry.
#include <windows.h>

#include <cstdlib>

#include "launch.h"
#include "sys.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const int code = qeMain(__argc, __argv);
    // The exit code holds only once no Direct3D thread is on its way out (see sys.h).
    qeSysWaitForDirect3DThreads(2000);
    return code;
}
