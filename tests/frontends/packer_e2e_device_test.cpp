// qirn.exe packs the bundled example demo with the cabinet tool built next to it, and the packed executable,
// alone in a folder of its own, plays it to its end: the test answers its "Screen Mode" dialog as a user
// would. Every path has a blank in it. A message box (a failure) is read, told and closed; a stalled run
// is ended after a limit.
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

#include "file_fixtures.h"
#include "process_run.h"
#include "packer/packer.h"
#include "resource_ids.h"

namespace {

std::string fullPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    return n > 0 && n < sizeof(full) ? full : path;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Plays the user of the process in `pid` until stopped: starts it windowed from the "Screen Mode" dialog
// and reads and closes any message box.
class User {
public:
    User() : thread_([this] { run(); }) {}
    ~User() { stop(); }
    void stop() {
        done = true;
        if (thread_.joinable()) thread_.join();
    }
    std::atomic<bool> done{false};
    std::atomic<DWORD> pid{0};
    std::atomic<int> modes{-1};
    std::vector<std::string> boxes;  // read after stop()

private:
    void run() {
        while (!done) {
            Sleep(200);
            if (HWND box = qetest::windowOf(pid, "#32770", "Qirn", false)) {
                char text[1024] = "";
                GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
                boxes.push_back(text);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                Sleep(500);
            }
            HWND dialog = qetest::windowOf(pid, nullptr, "Screen Mode", false);
            if (!dialog || !IsWindowVisible(dialog) || modes >= 0) continue;
            Sleep(300);
            HWND list = GetDlgItem(dialog, QE_IDC_MODE_LIST);
            modes = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
            SendMessageA(list, LB_SETCURSEL, 0, 0);
            SendMessageA(GetDlgItem(dialog, QE_IDC_WINDOWED), BM_SETCHECK, BST_CHECKED, 0);
            PostMessageA(dialog, WM_COMMAND, modes > 0 ? IDOK : IDCANCEL, 0);
        }
    }
    std::thread thread_;
};

// Copies what the build puts next to qirn.exe, and nothing else, into a folder of `root`: the program, its
// cabinet tool and its data. Gives the folder.
std::string toolFolder(const qetest::TempDir& root) {
    const std::string output = fullPath(QIRN_OUTPUT_DIR);
    const std::string tool = root.mkdir("tool dir");
    for (const char* name : {"qirn.exe", "cabarc.exe", "shaders", "textures"})
        EXPECT_EQ(0, qeSysCopyFile((output + name).c_str(), (tool + name).c_str())) << name;
    return tool;
}

// Packs `demoIni` with the program in `tool` into "<root>run dir\packed demo.exe" and plays the packed
// executable alone in that folder, `user` answering it; its output goes to `log`. The exit code of the
// play, or -100 when no packed executable came out.
long packAndPlay(const qetest::TempDir& root, const std::string& tool, const std::string& demoIni, User* user,
                 std::string* log) {
    const std::string run = root.mkdir("run dir");
    const std::string packed = run + "packed demo.exe";
    const long packing = qetest::runProcess(
        tool + "qirn.exe", "\"" + tool + "qirn.exe\" -demoexe \"" + packed + "\" \"" + demoIni + "\"", root.path(),
        root.path() + "packer output.txt", 600, &user->pid);
    EXPECT_EQ(0, packing) << "the packer failed or did not end within the limit";
    HMODULE module = LoadLibraryExA(packed.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return -100;
    EXPECT_EQ(1, qeDemoModuleHasCabResources(module));
    EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(QE_CAB_DEFAULT_DATA), "CAB"));
    FreeLibrary(module);
    // Extraction, loading and the translated code of the test machines add to the demo's own length.
    const long code =
        qetest::runProcess(packed, "\"" + packed + "\"", run, root.path() + "demo output.txt", 600, &user->pid);
    *log = readFile(root.path() + "demo output.txt");
    return code;
}

TEST(PackedDemoEndToEnd, PackedExampleDemoPlaysAloneAndLeavesNoFolder) {
    const std::string demoIni = fullPath(std::string(QIRN_EXAMPLES_DIR) + "demo/example.demo.ini");
    qetest::TempDir root("packed e2e");
    const std::string tool = toolFolder(root);
    const std::string run = root.path() + "run dir\\";

    User user;
    std::string log;
    const long code = packAndPlay(root, tool, demoIni, &user, &log);
    user.stop();
    for (const std::string& box : user.boxes) ADD_FAILURE() << "box: " << box;
    ASSERT_NE(-100, code) << "no packed executable";
    ASSERT_GT(user.modes.load(), 0) << "the Screen Mode dialog showed no mode";
    ASSERT_EQ(0, code) << "the packed demo did not end within the limit\n" << log;
    // Every scene was read from the expanded data, up to the last part's mesh.
    EXPECT_NE(std::string::npos, log.find("TheDemoExtractDir.1\\gem\\gem.layer1.x")) << log;

    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    for (int slot = 0; slot < 3; ++slot)
        EXPECT_FALSE(exists(std::string(temp) + "TheDemoExtractDir." + std::to_string(slot))) << slot;
    // Nothing was written beside the packed executable either.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((run + "*").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    std::vector<std::string> names;
    do {
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..") names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(std::vector<std::string>{"packed demo.exe"}, names);
}

// Where the music stood when the part `name` started, as the demo's log tells; -1 when no music played, -2
// when the log does not tell the part's start.
int musicAtStartOf(const std::string& log, const std::string& name) {
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        char part[64] = "";
        int due = 0, starts = 0, music = 0;
        if (std::sscanf(line.c_str(), "INFO : Demo part %63s due at %d ms starts at %d ms, music at %d ms", part, &due,
                        &starts, &music) == 4 &&
            name == part)
            return music;
    }
    return -2;
}

// A demo whose scene, music and camera shader all lie beside its .demo.ini, without setup folders, plays
// with its music, and packs and plays packed: the scene and its mesh come from the data folder's top, the
// music from the music folder's. The part after the music's part comes on the music's time line.
TEST(PackedDemoEndToEnd, ADemoBesideItsDescriptionPlaysWithMusicUnpackedAndPacked) {
    const std::string example = fullPath(std::string(QIRN_EXAMPLES_DIR) + "demo/");
    qetest::TempDir root("packed beside");
    const std::string tool = toolFolder(root);
    const std::string demo = root.mkdir("beside demo");
    for (const char* name : {"gem\\gem.qirn", "gem\\gem.layer1.x", "gem\\crystal.png", "loading.png",
                             "music\\theme.mp3", "shaders\\ripple.hlsl"}) {
        const char* bare = std::strchr(name, '\\') ? std::strchr(name, '\\') + 1 : name;
        ASSERT_TRUE(CopyFileA((example + name).c_str(), (demo + bare).c_str(), FALSE)) << name;
    }
    const std::string ini = root.write("beside demo\\beside.demo.ini",
                                       "[part1]\ntime = 0\nmusic = theme.mp3\nfilename = gem.qirn\n"
                                       "shader.0.name = ripple.hlsl\nshader.0.time = 0\nshader.0.length = 1500\n"
                                       "[part2]\ntime = 1500\n");

    // Unpacked, by the build's qirn.exe with its setup file.
    {
        User user;
        const std::string exe = std::string(QIRN_OUTPUT_DIR) + "qirn.exe";
        const long code = qetest::runProcess(exe, "\"" + exe + "\" \"" + ini + "\"", QIRN_OUTPUT_DIR,
                                             root.path() + "unpacked output.txt", 600, &user.pid);
        user.stop();
        for (const std::string& box : user.boxes) ADD_FAILURE() << "unpacked box: " << box;
        const std::string log = readFile(root.path() + "unpacked output.txt");
        ASSERT_EQ(0, code) << "the demo failed or did not end within the limit\n" << log;
        const int music = musicAtStartOf(log, "part2");
        std::printf("unpacked: the end came with the music at %d ms\n", music);
        EXPECT_GE(music, 1500) << log;
    }

    User user;
    std::string log;
    const long code = packAndPlay(root, tool, ini, &user, &log);
    user.stop();
    for (const std::string& box : user.boxes) ADD_FAILURE() << "box: " << box;
    ASSERT_NE(-100, code) << "no packed executable";
    ASSERT_EQ(0, code) << "the packed demo did not end within the limit\n" << log;
    EXPECT_NE(std::string::npos, log.find("TheDemoExtractDir.1\\gem.layer1.x")) << log;
    EXPECT_GE(musicAtStartOf(log, "part1"), 0) << log;  // part1 started the music
    const int music = musicAtStartOf(log, "part2");
    std::printf("packed: the end came with the music at %d ms\n", music);
    EXPECT_GE(music, 1500) << log;
}

}  // namespace
