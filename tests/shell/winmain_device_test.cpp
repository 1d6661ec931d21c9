// The whole road of the entry point: setup file beside the executable (its size and window position
// applied), engine start, the object viewer on a mesh until the window is closed, and shutdown; and
// qirn.exe itself typed in another folder and found through PATH.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine.h"
#include "file_fixtures.h"
#include "launch.h"
#include "process_run.h"
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

TEST(WinMain, StartedThroughPathFromAnotherFolderItReadsItsOwnSetupFileAndStarts) {
    char full[MAX_PATH];
    ASSERT_NE(0u, GetFullPathNameA(QIRN_OUTPUT_DIR, MAX_PATH, full, nullptr));
    const std::string qirnDir = full;
    qetest::TempDir elsewhere("path-start");
    ASSERT_TRUE(CopyFileA((std::string(QIRN_EXAMPLES_DIR) + "cube.x").c_str(), (elsewhere.path() + "cube.x").c_str(),
                          FALSE));
    std::vector<char> path(32767);
    const DWORD length = GetEnvironmentVariableA("PATH", path.data(), static_cast<DWORD>(path.size()));
    const std::string oldPath(path.data(), length < path.size() ? length : 0);
    SetEnvironmentVariableA("PATH", (qirnDir + ";" + oldPath).c_str());

    // The user: closes any message box (a failed start), and the engine window once it shows.
    std::atomic<DWORD> pid{0};
    std::atomic<bool> done{false};
    std::atomic<int> width{0}, height{0};
    std::vector<std::string> boxes;
    std::thread user([&] {
        while (!done) {
            Sleep(100);
            if (HWND box = qetest::windowOf(pid, "#32770", nullptr, true)) {
                char text[1024] = "";
                GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
                boxes.push_back(text);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                Sleep(500);
            } else if (HWND window = qetest::windowOf(pid, "CIrrDeviceWin32", nullptr, true)) {
                if (width == 0) {  // measured once: a window on its way out has no size to speak of
                    Sleep(300);
                    RECT client;
                    GetClientRect(window, &client);
                    width = client.right;
                    height = client.bottom;
                }
                PostMessageA(window, WM_CLOSE, 0, 0);
                Sleep(500);
            }
        }
    });
    const std::string output = elsewhere.path() + "qirn output.txt";
    const long code = qetest::runProcess("", "qirn.exe cube.x", elsewhere.path(), output, 600, &pid);
    done = true;
    user.join();
    SetEnvironmentVariableA("PATH", oldPath.c_str());
    std::ifstream in(output);
    std::ostringstream log;
    log << in.rdbuf();

    ASSERT_NE(-2, code) << "qirn.exe was not found through PATH";
    EXPECT_EQ(0, code) << log.str();
    for (const std::string& box : boxes) ADD_FAILURE() << "box: " << box;
    std::printf("qirn.exe through PATH: window client area %d x %d\n", width.load(), height.load());
    EXPECT_EQ(800, width.load()) << log.str();  // the setup file beside qirn.exe
    EXPECT_EQ(600, height.load());
}

}  // namespace
