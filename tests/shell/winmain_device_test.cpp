// The whole road of the entry point: setup file beside the executable (its size and window position
// applied), engine start, the object viewer on a mesh until the window is closed, and shutdown.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "engine.h"
#include "launch.h"
#include "sys.h"

namespace {

TEST(WinMain, ObjectViewerRunsWithTheSetupFileUntilTheWindowCloses) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string exe(path), dir = exe.substr(0, exe.find_last_of("\\/") + 1);
    const std::string ini = dir + "qirn-setup.ini";
    const std::string mesh = dir + "winmain-triangle.obj";
    {
        std::ofstream(ini) << "[Setup]\ndisplay = 400 300 32\nwindowed = yes\nwindowpos = 30 40\nlightprepass = 0\n";
        std::ofstream(mesh) << "v -1 -1 0\nv 0 1 0\nv 1 -1 0\nf 1 2 3\n";
    }
    std::atomic<int> width{0}, height{0}, left{-1}, top{-1};
    std::atomic<bool> returned{false};
    // The window is waited for as long as qeMain runs: on a loaded machine the engine may take far longer
    // than usual to open it, and a window left open would never let qeMain return.
    std::thread user([&] {
        HWND window = nullptr;
        while (!window && !returned) {
            Sleep(25);
            window = FindWindowA(nullptr, "Qirn");
        }
        if (!window) return;
        Sleep(300);
        RECT client, outer;
        GetClientRect(window, &client);
        width = client.right;
        height = client.bottom;
        GetWindowRect(window, &outer);
        left = outer.left;
        top = outer.top;
        PostMessageA(window, WM_CLOSE, 0, 0);
    });
    char program[] = "qirn.exe";
    std::string meshArg = mesh;
    char* argv[] = {program, &meshArg[0], nullptr};
    const int result = qeMain(2, argv);
    returned = true;
    user.join();
    std::printf("object viewer window client area %d x %d\n", width.load(), height.load());
    EXPECT_EQ(0, result);
    EXPECT_EQ(400, width.load());
    EXPECT_EQ(300, height.load());
    EXPECT_EQ(30, left.load());
    EXPECT_EQ(40, top.load());
    std::remove(ini.c_str());
    std::remove(mesh.c_str());
}

}  // namespace
