// The process entry.
#include <windows.h>

#include <cstdlib>

#include "launch.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return qeMain(__argc, __argv); }
