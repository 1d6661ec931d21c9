// qirn.exe packs the bundled example demo with the cabinet tool built next to it, and the packed executable,
// alone in a folder of its own, plays it to its end: the test answers its "Screen Mode" dialog as a user
// would. Every path has a blank in it. A message box (a failure) is read, told and closed; a stalled run
// is ended after a limit.
#include <gtest/gtest.h>
#include <windows.h>

#include <irrlicht.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "IQeGPUProgrammingServices.h"
#include "file_fixtures.h"
#include "gpu/QeShaderCache.h"
#include "process_run.h"
#include "packer/packer.h"
#include "resource_ids.h"
#include "sys.h"
#include "temp_folders.h"

namespace {

std::string fullPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    return n > 0 && n < sizeof(full) ? full : path;
}

using qetest::exists;
using qetest::namesIn;
using qetest::readFile;

using qetest::temporaryFolder;

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
    std::atomic<bool> watching{false};
    std::vector<std::string> boxes;       // read after stop()
    std::vector<std::string> runFolders;  // the runs' folders seen while watching, read after stop()

private:
    void run() {
        while (!done) {
            Sleep(200);
            const std::vector<std::string> seen = watching ? namesIn(temporaryFolder() + "TheDemoRun.*") : runFolders;
            for (const std::string& name : seen)
                if (std::find(runFolders.begin(), runFolders.end(), name) == runFolders.end()) runFolders.push_back(name);
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
    user->watching = true;  // the pack's own folder is gone
    // Extraction, loading and the translated code of the test machines add to the demo's own length.
    const long code =
        qetest::runProcess(packed, "\"" + packed + "\"", run, root.path() + "demo output.txt", 600, &user->pid);
    *log = readFile(root.path() + "demo output.txt");
    return code;
}

// Plays `ini` with the program `exe` unpacked, in `folder`, its output into `output`, each box it shows a
// failure. The exit code.
long playUnpacked(const std::string& exe, const std::string& ini, const std::string& folder, const std::string& output) {
    User user;
    const long code = qetest::runProcess(exe, "\"" + exe + "\" \"" + ini + "\"", folder, output, 600, &user.pid);
    user.stop();
    for (const std::string& box : user.boxes) ADD_FAILURE() << "unpacked box: " << box;
    return code;
}

// packAndPlay, then true when the packed demo played to its end without a box; a failure tells what went wrong.
bool packedAndPlayed(const qetest::TempDir& root, const std::string& tool, const std::string& demoIni, User* user,
                     std::string* log) {
    const long code = packAndPlay(root, tool, demoIni, user, log);
    user->stop();
    for (const std::string& box : user->boxes) ADD_FAILURE() << "box: " << box;
    if (code == -100) ADD_FAILURE() << "no packed executable";
    else if (code != 0) ADD_FAILURE() << "the packed demo failed or did not end within the limit\n" << *log;
    return code == 0 && user->boxes.empty();
}

// The folders that packed runs expand into in the temporary folder: the runs' own folders and those of the
// earlier layout.
std::vector<std::string> runFolders() {
    std::vector<std::string> names = namesIn(temporaryFolder() + "TheDemoRun.*");
    for (const std::string& name : namesIn(temporaryFolder() + "TheDemoExtractDir.*")) names.push_back(name);
    return names;
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

    EXPECT_EQ(std::vector<std::string>{}, runFolders());
    // One folder of the run's own served the whole run, the music's slot too.
    EXPECT_EQ(1u, user.runFolders.size()) << testing::PrintToString(user.runFolders);
    // Nothing was written beside the packed executable either.
    EXPECT_EQ(std::vector<std::string>{"packed demo.exe"}, namesIn(run + "*"));
}

// The packed example, packed and played with a temporary folder of 200 characters, plays to its end and
// leaves nothing there; played with a temporary folder too small for its files, it stops at its
// first expansion with a box that names the folder as full, and leaves nothing there either.
TEST(PackedDemoEndToEnd, APackedDemoPlaysFromADeepTemporaryFolderAndNamesAFullOne) {
    const std::string demoIni = fullPath(std::string(QIRN_EXAMPLES_DIR) + "demo/example.demo.ini");
    qetest::TempDir root("packed deep temp");
    const std::string tool = toolFolder(root);
    std::string deep = root.path() + "deep temp";
    while (deep.size() + 61 < 199) deep += "\\" + std::string(60, 't');
    deep += "\\" + std::string(199 - deep.size() - 1, 't') + "\\";
    for (size_t end = deep.find('\\', 3); end != std::string::npos; end = deep.find('\\', end + 1))
        CreateDirectoryA(deep.substr(0, end).c_str(), nullptr);
    ASSERT_EQ(200u, deep.size());
    {
        qetest::TemporaryFolderAs temp(deep);
        User user;
        std::string log;
        ASSERT_TRUE(packedAndPlayed(root, tool, demoIni, &user, &log));
        EXPECT_NE(std::string::npos, log.find(deep + "TheDemoRun.")) << log;
        EXPECT_EQ(std::vector<std::string>{}, namesIn(deep + "*"));
    }

    // smaller than the engine's default data
    qetest::SmallFileSystem full("full", "size=128k");
    ASSERT_TRUE(full.mounted()) << "a tmpfs cannot be mounted here";
    qetest::TemporaryFolderAs temp(full.path());
    User user;
    const std::string packed = root.path() + "run dir\\packed demo.exe";
    const long code = qetest::runProcess(packed, "\"" + packed + "\"", root.path() + "run dir",
                                         root.path() + "full output.txt", 600, &user.pid);
    user.stop();
    EXPECT_EQ(0, code) << "the packed demo did not end within the limit";  // as after any box of a run mode
    EXPECT_EQ(std::vector<std::string>{"Failed to open default data err=112: the temporary folder '" + full.path() +
                                       "' is full"},
              user.boxes);
    EXPECT_EQ(std::vector<std::string>{}, namesIn(full.path() + "*"));
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
        const long code = playUnpacked(std::string(QIRN_OUTPUT_DIR) + "qirn.exe", ini, QIRN_OUTPUT_DIR,
                                       root.path() + "unpacked output.txt");
        const std::string log = readFile(root.path() + "unpacked output.txt");
        ASSERT_EQ(0, code) << "the demo failed or did not end within the limit\n" << log;
        const int music = musicAtStartOf(log, "part2");
        std::printf("unpacked: the end came with the music at %d ms\n", music);
        EXPECT_GE(music, 1500) << log;
    }

    std::string log;
    User user;
    ASSERT_TRUE(packedAndPlayed(root, tool, ini, &user, &log));
    EXPECT_NE(std::string::npos, log.find("TheDemoExtractDir.1\\gem.layer1.x")) << log;
    EXPECT_GE(musicAtStartOf(log, "part1"), 0) << log;  // part1 started the music
    const int music = musicAtStartOf(log, "part2");
    std::printf("packed: the end came with the music at %d ms\n", music);
    EXPECT_GE(music, 1500) << log;
}

// A demo whose camera shader is split into itself, a header beside it and one in another folder of the
// demo plays unpacked, and packed after that run plays alone with its effect: the pack carries the
// headers where the packed shader finds them, and the blobs that the run compiled.
TEST(PackedDemoEndToEnd, ADemoWhoseShaderIncludesHeadersPlaysPackedWithItsEffect) {
    const std::string example = fullPath(std::string(QIRN_EXAMPLES_DIR) + "demo/");
    qetest::TempDir root("packed includes");
    const std::string tool = toolFolder(root);
    const std::string demo = root.mkdir("include demo");
    root.mkdir("include demo\\gem");
    root.mkdir("include demo\\music");
    root.mkdir("include demo\\shaders");
    root.mkdir("include demo\\common");
    for (const char* name : {"gem\\gem.qirn", "gem\\gem.layer1.x", "gem\\crystal.png", "loading.png", "music\\theme.mp3"})
        ASSERT_TRUE(CopyFileA((example + name).c_str(), (demo + name).c_str(), FALSE)) << name;
    // the example's ripple, its wave and its tone in headers of their own
    std::string ripple = readFile(example + "shaders\\ripple.hlsl");
    const size_t body = ripple.find("float4 psMain");
    ASSERT_NE(std::string::npos, body);
    ripple.insert(body, "#include \"ripple_wave.h\"\n#include \"../common/tone.h\"\n\n");
    const std::pair<std::string, std::string> moved[] = {{"sin(r * 60.0 - Clock * 6.0)", "rippleWave(r, Clock)"},
                                                         {"colour.rgb * (1.0 + 0.15 * wave)", "toned(colour.rgb, wave)"}};
    for (const auto& code : moved) {
        const size_t at = ripple.find(code.first);
        ASSERT_NE(std::string::npos, at) << code.first;
        ripple.replace(at, code.first.size(), code.second);
    }
    root.write("include demo\\shaders\\ripple.hlsl", ripple);
    root.write("include demo\\shaders\\ripple_wave.h",
               "float rippleWave(float r, float clock) { return sin(r * 60.0 - clock * 6.0); }\n");
    root.write("include demo\\common\\tone.h",
               "float3 toned(float3 colour, float wave) { return colour * (1.0 + 0.15 * wave); }\n");
    const std::string ini = root.write("include demo\\include.demo.ini",
                                       "[setup]\nmusicdirectory = music\nshadersdirectory = shaders\n"
                                       "[part1]\ntime = 0\nmusic = theme.mp3\ndirectory = gem\nfilename = gem.qirn\n"
                                       "shader.0.name = ripple.hlsl\nshader.0.time = 0\nshader.0.length = 1500\n"
                                       "[part2]\ntime = 1500\n");

    // Unpacked, by the program that then packs it: the run compiles the shaders into its cache.
    ASSERT_EQ(0, playUnpacked(tool + "qirn.exe", ini, tool, root.path() + "unpacked output.txt"))
        << "the demo failed or did not end within the limit\n" << readFile(root.path() + "unpacked output.txt");

    std::string log;
    User user;
    EXPECT_TRUE(packedAndPlayed(root, tool, ini, &user, &log));
    EXPECT_EQ(std::string::npos, log.find("FAILED")) << log;
    EXPECT_NE(std::string::npos, log.find("TheDemoExtractDir.1\\gem\\gem.layer1.x")) << log;

    // Expanded as the packed demo expands them, the packed cache serves both stages of the shader that the
    // run compiled, with its headers where it finds them: a packed start compiles neither.
    HMODULE module = LoadLibraryExA((root.path() + "run dir\\packed demo.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(0, qeDemoOpenCabResourceFrom(module, 0, QE_CAB_DEFAULT_DATA));
    EXPECT_EQ(0, qeDemoOpenCabResourceFrom(module, 1, QE_CAB_DATA));
    FreeLibrary(module);
    SetCurrentDirectoryA(root.path().c_str());
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    ASSERT_NE(nullptr, device);
    const std::string cache = std::string(qeDemoGetExtractDir(0) ? qeDemoGetExtractDir(0) : "") + "\\shadersCache";
    const std::string source = std::string(qeDemoGetExtractDir(1) ? qeDemoGetExtractDir(1) : "") + "\\shaders\\ripple.hlsl";
    for (const bool vertex : {true, false}) {
        irr::video::SShaderCodeBuffer* code = readShaderCache(device->getFileSystem(), cache.c_str(), ESCM_READ | ESCM_CHECK_DATES,
                                                              source.c_str(), vertex ? "vsMain" : "psMain", vertex,
                                                              SShaderMacroList());
        EXPECT_NE(nullptr, code) << (vertex ? "the vertex stage" : "the pixel stage");
        delete code;
    }
    device->drop();
    qeDemoRemoveExtractDirs();
}

// A packed demo started in the background: its process, its output file, and the boxes and dialog that
// the test answers for it.
class PackedRun {
public:
    PackedRun(const std::string& exe, const std::string& folder, const std::string& output) : output_(output) {
        SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = out;
        std::string command = "\"" + exe + "\"";
        started_ = out != INVALID_HANDLE_VALUE && CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, TRUE, 0,
                                                                 nullptr, folder.c_str(), &startup, &process_);
        if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    }
    ~PackedRun() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 10 * 1000);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    bool started() const { return started_; }
    bool ended() const { return !started_ || WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
    long exitCode() const {
        DWORD code = 0;
        return started_ && GetExitCodeProcess(process_.hProcess, &code) ? static_cast<long>(code) : -2;
    }
    std::string log() const { return readFile(output_); }
    // Its "Screen Mode" dialog, once shown (the run has expanded its default data and waits there).
    HWND dialog() const {
        HWND window = qetest::windowOf(process_.dwProcessId, nullptr, "Screen Mode", true);
        return window;
    }
    // Starts it windowed from its dialog, as a user would.
    bool answer() {
        HWND window = dialog();
        if (!window) return false;
        HWND list = GetDlgItem(window, QE_IDC_MODE_LIST);
        const int modes = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        SendMessageA(list, LB_SETCURSEL, 0, 0);
        SendMessageA(GetDlgItem(window, QE_IDC_WINDOWED), BM_SETCHECK, BST_CHECKED, 0);
        PostMessageA(window, WM_COMMAND, modes > 0 ? IDOK : IDCANCEL, 0);
        return modes > 0;
    }
    // Reads and closes a message box it shows.
    void closeBoxes() {
        if (HWND box = qetest::windowOf(process_.dwProcessId, "#32770", "Qirn", false)) {
            char text[1024] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
            boxes.push_back(text);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
    }
    std::vector<std::string> boxes;

private:
    std::string output_;
    PROCESS_INFORMATION process_ = {};
    bool started_ = false;
};

// Waits in steps of 200 ms, closing the runs' boxes meanwhile, until `done` or `seconds` have passed.
template <typename Done>
bool waitFor(std::vector<PackedRun*> runs, int seconds, Done done) {
    for (int step = 0; step < seconds * 5; ++step) {
        if (done()) return true;
        for (PackedRun* run : runs) run->closeBoxes();
        Sleep(200);
    }
    return done();
}

// The run folder that a packed run's log names for its data ("TheDemoRun.<hex>"), or "".
std::string runFolderIn(const std::string& log) {
    const size_t data = log.find("\\TheDemoExtractDir.1\\");
    if (data == std::string::npos) return "";
    const size_t start = log.rfind("TheDemoRun.", data);
    return start == std::string::npos ? "" : log.substr(start, data - start);
}

// Two packed demos started in one temporary folder, the second while the first waits in its "Screen Mode"
// dialog with its default data expanded: the second loads and plays, then the first does, each from folders
// of its own, and neither removes what the other uses. Both play to their ends without a message, and
// nothing of them is left in the temporary folder.
TEST(PackedDemoEndToEnd, TwoPackedDemosStartedTogetherEachPlayTheirOwn) {
    const std::string example = fullPath(std::string(QIRN_EXAMPLES_DIR) + "demo/");
    qetest::TempDir root("packed twice");
    const std::string tool = toolFolder(root);
    std::string exes[2];
    for (int i = 0; i < 2; ++i) {
        const std::string name = i == 0 ? "first" : "second";
        const std::string demo = root.mkdir(name + " demo");
        for (const char* file : {"gem\\gem.qirn", "gem\\gem.layer1.x", "gem\\crystal.png", "loading.png",
                                 "music\\theme.mp3", "shaders\\ripple.hlsl"}) {
            const char* bare = std::strchr(file, '\\') ? std::strchr(file, '\\') + 1 : file;
            ASSERT_TRUE(CopyFileA((example + file).c_str(), (demo + bare).c_str(), FALSE)) << file;
        }
        // the second plays longer: it is still playing when the first ends
        const std::string ini = root.write(name + " demo\\" + name + ".demo.ini",
                                           "[part1]\ntime = 0\nmusic = theme.mp3\nfilename = gem.qirn\n"
                                           "shader.0.name = ripple.hlsl\nshader.0.time = 0\nshader.0.length = 1500\n"
                                           "[part2]\ntime = " + std::string(i == 0 ? "1500" : "4000") + "\n");
        exes[i] = root.mkdir(name + " run") + name + ".exe";
        const long packing = qetest::runProcess(tool + "qirn.exe",
                                                "\"" + tool + "qirn.exe\" -demoexe \"" + exes[i] + "\" \"" + ini + "\"",
                                                root.path(), root.path() + name + " packer output.txt", 600);
        ASSERT_EQ(0, packing) << readFile(root.path() + name + " packer output.txt");
    }

    PackedRun first(exes[0], root.path() + "first run", root.path() + "first output.txt");
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(waitFor({&first}, 300, [&] { return first.dialog() != nullptr || first.ended(); }))
        << "the first run showed no Screen Mode dialog";
    ASSERT_FALSE(first.ended()) << first.log();
    Sleep(500);
    PackedRun second(exes[1], root.path() + "second run", root.path() + "second output.txt");
    ASSERT_TRUE(second.started());
    ASSERT_TRUE(waitFor({&first, &second}, 300, [&] { return second.dialog() != nullptr || second.ended(); }))
        << "the second run showed no Screen Mode dialog";
    Sleep(300);
    EXPECT_TRUE(second.answer());
    // the second has loaded all it needs and removed its default and data folders when its first part starts
    const bool playing = waitFor({&first, &second}, 300, [&] {
        return second.log().find("Demo part part1 due at") != std::string::npos || second.ended();
    });
    EXPECT_TRUE(playing) << second.log();
    EXPECT_TRUE(first.answer());
    EXPECT_TRUE(waitFor({&first, &second}, 600, [&] { return first.ended() && second.ended(); }))
        << "the runs did not end within the limit";
    for (const std::string& box : first.boxes) ADD_FAILURE() << "first run's box: " << box;
    for (const std::string& box : second.boxes) ADD_FAILURE() << "second run's box: " << box;
    EXPECT_EQ(0, first.exitCode()) << first.log();
    EXPECT_EQ(0, second.exitCode()) << second.log();
    // each read its scene from a folder of its own
    const std::string firstFolder = runFolderIn(first.log()), secondFolder = runFolderIn(second.log());
    EXPECT_NE("", firstFolder) << first.log();
    EXPECT_NE("", secondFolder) << second.log();
    EXPECT_NE(firstFolder, secondFolder);
    EXPECT_GE(musicAtStartOf(second.log(), "part2"), 4000) << second.log();
    EXPECT_GE(musicAtStartOf(first.log(), "part2"), 1500) << first.log();
    EXPECT_EQ(std::vector<std::string>{}, runFolders());
}

}  // namespace
