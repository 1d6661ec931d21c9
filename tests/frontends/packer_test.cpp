// The demo packer with the cabinet tool built next to qirn.exe, and the expansion of a packed copy's resources
// into the extraction folders (read from the copy as a data file, without running it). Every folder of
// the fixture has a blank in its name.
#include <gtest/gtest.h>
#include <windows.h>

#include <setupapi.h>

#include <irrlicht.h>
#include <sys/stat.h>
#include <sys/utime.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "demo/demo.h"
#include "file_fixtures.h"
#include "IQeGPUProgrammingServices.h"
#include "gpu/QeShaderCache.h"
#include "packer/packer.h"
#include "process_run.h"
#include "shell_fixtures.h"
#include "sysfile.h"
#include "temp_folders.h"

namespace {

using qetest::exists;
using qetest::namesIn;
using qetest::readFile;

std::string resourceOf(HMODULE module, int id) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "CAB");
    if (!found) return "";
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(bytes, SizeofResource(module, found));
}

UINT CALLBACK collectName(PVOID names, UINT notification, UINT_PTR param1, UINT_PTR) {
    if (notification != SPFILENOTIFY_FILEINCABINET) return NO_ERROR;
    static_cast<std::vector<std::string>*>(names)->push_back(
        reinterpret_cast<FILE_IN_CABINET_INFO_A*>(param1)->NameInCabinet);
    return FILEOP_SKIP;
}

// The names stored in a cabinet file, sorted.
std::vector<std::string> cabinetNames(const std::string& cabinet) {
    std::vector<std::string> names;
    SetupIterateCabinetA(cabinet.c_str(), 0, collectName, &names);
    std::sort(names.begin(), names.end());
    return names;
}

using qetest::temporaryFolder;

// A slot's folder: in the run's own folder, while the run holds it.
std::string extractDir(int slot) {
    const char* run = qeDemoGetRunFolder();
    return std::string(run ? run : "(no run folder)") + "\\TheDemoExtractDir." + std::to_string(slot);
}

std::string folderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

// ---- paths of any length, through the wide file functions ----

void writeW(const std::string& path, const std::string& content) {
    HANDLE file = CreateFileW(qeSysLongPath(path.c_str()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

void removeW(const std::string& path) {
    const std::wstring wide = qeSysLongPath(path.c_str());
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(wide.c_str());
        return;
    }
    for (const std::string& name : namesIn(path + "\\" + "*")) removeW(path + "\\" + name);
    RemoveDirectoryW(wide.c_str());
}

// A folder below `base` whose full path has `length` characters, in parts of at most 60.
std::string deepFolder(std::string base, size_t length, char fill) {
    while (base.size() + 61 < length) base += "\\" + std::string(60, fill);
    return base + "\\" + std::string(length - base.size() - 1, fill);
}

std::string thisProgram() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof(path));
    return path;
}

// Notes at each box whether `path` exists, then hands the box on to the hook installed before (a
// BoxRecorder's): a pack stopped on its box must not leave its output there.
class OutputAtBoxes {
public:
    explicit OutputAtBoxes(const std::string& output) : previous_(qeSysGetBoxHook()) {
        path() = output;
        seen().clear();
        hook() = previous_;
        qeSysSetBoxHook([](const char* caption, const char* text, unsigned int type) {
            seen().push_back(exists(path()));
            return hook()(caption, text, type);
        });
    }
    ~OutputAtBoxes() { qeSysSetBoxHook(previous_); }
    static std::vector<bool>& seen() {
        static std::vector<bool> list;
        return list;
    }

private:
    static std::string& path() {
        static std::string text;
        return text;
    }
    static QeSysBoxHook& hook() {
        static QeSysBoxHook previous = nullptr;
        return previous;
    }
    QeSysBoxHook previous_;
};

// ---- lists ----

TEST(PackerLists, FoldersOnceWhateverTheirCaseAndAtMost255) {
    std::unique_ptr<DemoDescription> demo(new DemoDescription());
    demo->partCount = 3;
    std::snprintf(demo->parts[0].directory, QE_DEMO_STRING_SIZE, "scenes\\intro");
    demo->parts[0].extraCount = 2;
    std::snprintf(demo->parts[0].extras[0].directory, QE_DEMO_STRING_SIZE, "logo");
    std::snprintf(demo->parts[0].extras[1].directory, QE_DEMO_STRING_SIZE, "SCENES\\Intro");
    std::snprintf(demo->parts[2].directory, QE_DEMO_STRING_SIZE, "Logo");  // part 1 has none
    std::vector<std::string> folders;
    ASSERT_EQ(0, qeDemoGatherFolders(demo.get(), &folders));
    EXPECT_EQ((std::vector<std::string>{"scenes\\intro", "logo"}), folders);
    // A scene without a folder lies in the demo's own folder, which is listed once, as "".
    std::snprintf(demo->parts[1].fileName, QE_DEMO_STRING_SIZE, "beside.qirn");
    demo->parts[2].extraCount = 1;
    std::snprintf(demo->parts[2].extras[0].fileName, QE_DEMO_STRING_SIZE, "also.qirn");
    ASSERT_EQ(0, qeDemoGatherFolders(demo.get(), &folders));
    EXPECT_EQ((std::vector<std::string>{"scenes\\intro", "logo", ""}), folders);
    demo->parts[2].extraCount = 0;

    // 64 parts of 16 folders each: the 256th distinct one is refused.
    demo->partCount = QE_DEMO_PARTS_MAX;
    for (int p = 0; p < QE_DEMO_PARTS_MAX; ++p) {
        std::snprintf(demo->parts[p].directory, QE_DEMO_STRING_SIZE, "d%d", p * 16);
        demo->parts[p].extraCount = QE_DEMO_EXTRAS_MAX;
        for (int e = 0; e < QE_DEMO_EXTRAS_MAX; ++e)
            std::snprintf(demo->parts[p].extras[e].directory, QE_DEMO_STRING_SIZE, "d%d", p * 16 + e + 1);
    }
    qetest::BoxRecorder boxes;
    EXPECT_EQ(-1, qeDemoGatherFolders(demo.get(), &folders));
    EXPECT_EQ(255u, folders.size());
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Reached max directories\n", boxes.text(0));
}

// The files that a cabinet's list takes from its base folder as the cabinet tool finds them (each file a
// pattern matches, a named file that is there), relative to that folder, in lower case and sorted: a file
// taken twice is there twice.
std::vector<std::string> filesTaken(const std::string& base, const DemoFileList& list) {
    std::vector<std::string> files;
    for (const std::string& item : list) {
        const size_t cut = item.find_last_of("\\/");
        const std::string folder = cut == std::string::npos ? std::string() : item.substr(0, cut + 1);
        for (const std::string& name : namesIn(base + item)) {
            std::string file = folder + name;
            for (char& c : file) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            files.push_back(file);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A file of every kind that some cabinet takes, and of kinds that none takes.
const char* const kFileOfEveryKind[] = {
    "s.x",    "s.lws.ini.bin", "s.qirn",    "i.jpg",    "i.png", "i.jpeg", "i.bmp",     "i.tga",     "i.gif",
    "i.raw",  "i.dds",         "h.hlsl",    "h.vsh",    "h.psh", "e.dbs",  "e.fx",      "e.h",       "m.mp3",
    "m.mpg",  "m.mpeg",        "c.vso",     "c.pso",    "c.vso.inf", "c.pso.inf", "notes.txt", "mesh.obj",
    "sound.wav", "scene.ini"};

// Writes a file of every kind in `folder` ("": the root itself).
void writeEveryKind(const qetest::TempDir& root, const std::string& folder) {
    if (!folder.empty()) root.mkdir(folder);
    for (const char* name : kFileOfEveryKind) root.write(folder.empty() ? name : folder + "\\" + name, name);
}

// `names` in `folder` ("": the base folder itself), as filesTaken gives them.
std::vector<std::string> within(const std::string& folder, std::initializer_list<const char*> names) {
    std::vector<std::string> files;
    for (const char* name : names) files.push_back(folder.empty() ? name : folder + "\\" + name);
    return files;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> files;
    for (const std::vector<std::string>& part : parts) files.insert(files.end(), part.begin(), part.end());
    std::sort(files.begin(), files.end());
    return files;
}

// What a scene folder's files give the data cabinet: scenes, images and shaders.
std::vector<std::string> sceneFolderFiles(const std::string& folder) {
    return within(folder, {"s.x", "s.lws.ini.bin", "s.qirn", "i.jpg", "i.png", "i.jpeg", "i.bmp", "i.tga", "i.gif",
                           "i.raw", "i.dds", "h.hlsl", "h.vsh", "h.psh"});
}

TEST(PackerLists, EachCabinetTakesTheFilesOfItsKindsAndNoOthers) {
    qetest::TempDir root("pack lists");
    for (const char* folder : {"demo", "demo\\a", "demo\\b c", "demo\\fx", "demo\\music", "demo\\other"})
        writeEveryKind(root, folder);
    root.write("demo\\show.demo.ini", "[setup]");
    root.write("demo\\loading.png", "loading");
    const std::string demoFolder = root.path() + "demo\\";

    std::unique_ptr<DemoDescription> demo(new DemoDescription());
    std::snprintf(demo->shadersDirectory, QE_DEMO_STRING_SIZE, "fx");
    std::snprintf(demo->musicDirectory, QE_DEMO_STRING_SIZE, "music");
    // The data: the scene folders' scenes, images and shaders, the shaders directory's shaders and effects,
    // and the description; nothing of a folder that no part names, nor of the demo's own folder.
    EXPECT_EQ(joined({sceneFolderFiles("a"), sceneFolderFiles("b c"), within("fx", {"e.dbs", "e.fx", "h.hlsl"}),
                      {"show.demo.ini"}}),
              filesTaken(demoFolder, qeDemoDataList(demo.get(), {"a", "b c"}, "show.demo.ini")));
    EXPECT_EQ(joined({within("music", {"m.mp3", "m.mpg", "m.mpeg"})}),
              filesTaken(demoFolder, qeDemoMusicList(demo.get())));
    // A shaders directory that is also a scene folder gives each of its files once.
    EXPECT_EQ(joined({sceneFolderFiles("fx"), within("fx", {"e.dbs", "e.fx"}), {"show.demo.ini"}}),
              filesTaken(demoFolder, qeDemoDataList(demo.get(), {"FX"}, "show.demo.ini")));

    // Setup folders left out, and a scene beside the description: the demo's own folder gives the files
    // those folders would, and nothing of the folders below it.
    demo->shadersDirectory[0] = 0;
    demo->musicDirectory[0] = 0;
    EXPECT_EQ(joined({within("", {"e.dbs", "e.fx", "h.hlsl", "show.demo.ini"})}),
              filesTaken(demoFolder, qeDemoDataList(demo.get(), {}, "show.demo.ini")));
    EXPECT_EQ(joined({sceneFolderFiles(""), within("", {"e.dbs", "e.fx", "loading.png", "show.demo.ini"})}),
              filesTaken(demoFolder, qeDemoDataList(demo.get(), {""}, "show.demo.ini")));
    EXPECT_EQ(joined({within("", {"m.mp3", "m.mpg", "m.mpeg"})}),
              filesTaken(demoFolder, qeDemoMusicList(demo.get())));

    // The default data: the engine's shader folders' shaders, effects and headers, the compiled-shader
    // cache and the textures, nothing else of the program's folder.
    for (const char* folder : {"tool", "tool\\shaders", "tool\\shadersPP", "tool\\shadersSURF", "tool\\shadersSURF2",
                               "tool\\shadersHV", "tool\\shadersCache", "tool\\textures", "tool\\other"})
        writeEveryKind(root, folder);
    std::vector<std::string> defaults;
    for (const char* folder : {"shaders", "shaderspp", "shaderssurf", "shaderssurf2", "shadershv"})
        defaults = joined({defaults, within(folder, {"h.hlsl", "h.vsh", "h.psh", "e.fx", "e.h"})});
    EXPECT_EQ(joined({defaults, within("shaderscache", {"c.vso", "c.pso", "c.vso.inf", "c.pso.inf"}),
                      within("textures", {"i.jpg", "i.png", "i.jpeg", "i.bmp", "i.tga", "i.gif", "i.raw", "i.dds"})}),
              filesTaken(root.path() + "tool\\", qeDemoDefaultDataList()));
}

// The cabinet tool's error line, turned into a message that names what the file or list belongs to.
TEST(PackerLists, ToolFailuresNameThePartAndTheFile) {
    std::unique_ptr<DemoDescription> demo(new DemoDescription());
    demo->partCount = 3;
    std::snprintf(demo->parts[0].name, QE_DEMO_NAME_SIZE, "intro");
    std::snprintf(demo->parts[0].directory, QE_DEMO_STRING_SIZE, "scenes/Intro");
    std::snprintf(demo->parts[0].fileName, QE_DEMO_STRING_SIZE, "intro.qirn");
    demo->parts[0].extraCount = 1;
    std::snprintf(demo->parts[0].extras[0].directory, QE_DEMO_STRING_SIZE, "logo");
    std::snprintf(demo->parts[0].extras[0].fileName, QE_DEMO_STRING_SIZE, "logo.qirn");
    std::snprintf(demo->parts[1].name, QE_DEMO_NAME_SIZE, "end");  // neither folder nor scene
    std::snprintf(demo->parts[2].name, QE_DEMO_NAME_SIZE, "beside");
    std::snprintf(demo->parts[2].fileName, QE_DEMO_STRING_SIZE, "b.qirn");
    std::snprintf(demo->shadersDirectory, QE_DEMO_STRING_SIZE, "fx");
    const struct {
        int id;
        const char* line;
        const char* message;
    } cases[] = {
        {QE_CAB_DATA, "Error: cannot add scenes\\intro\\intro.qirn (1)",
         "Part intro: the cabinet tool cannot read the file 'scenes\\intro\\intro.qirn' in 'C:\\d\\' (Error: cannot add "
         "scenes\\intro\\intro.qirn (1))\n"},
        {QE_CAB_DATA, "Error: cannot add logo\\wall.png (1)", "Part intro, extra logo.qirn: the cabinet tool cannot read "
                                                              "the file 'logo\\wall.png'"},
        {QE_CAB_DATA, "Error: cannot add b.x (1)", "Part beside: the cabinet tool cannot read the file 'b.x'"},
        {QE_CAB_DATA, "Error: cannot add fx\\glow.hlsl (3)", "Setup shadersdirectory: the cabinet tool cannot read"},
        {QE_CAB_DATA, "Error: Could not find file: show.demo.ini",
         "The demo description: the file 'show.demo.ini' in 'C:\\d\\' went missing while packing"},
        {QE_CAB_MUSIC, "Error: no files to add",
         "Setup musicdirectory: the folder 'C:\\d\\tunes' holds no music file (*.mp3, *.mpg or *.mpeg)\n"},
        {QE_CAB_MUSIC, "Error: cannot add tunes\\a.mp3 (1)", "Setup musicdirectory: the cabinet tool cannot read the "
                                                             "file 'tunes\\a.mp3'"},
        {QE_CAB_LOADING, "Error: cannot write x.cab (4)",
         "Failed to add loading to cab base_dir='C:\\d\\': the cabinet tool says: Error: cannot write x.cab (4)\n"},
    };
    std::snprintf(demo->musicDirectory, QE_DEMO_STRING_SIZE, "tunes");
    for (const auto& c : cases) {
        const std::string message = qeDemoCabToolFailure(demo.get(), "Show.demo.ini", c.id, "C:\\d\\", c.line);
        EXPECT_EQ(0u, message.find(c.message)) << message;
    }
    // Without a music directory the demo's own folder was searched; without a shaders directory a file at
    // the top of the data that no scene lies beside is one of its shaders.
    demo->musicDirectory[0] = 0;
    EXPECT_EQ(0u, qeDemoCabToolFailure(demo.get(), "show.demo.ini", QE_CAB_MUSIC, "C:\\d\\", "Error: no files to add")
                      .find("Setup musicdirectory: the folder 'C:\\d\\' holds no music file"));
    demo->shadersDirectory[0] = 0;
    demo->partCount = 2;
    EXPECT_EQ(0u, qeDemoCabToolFailure(demo.get(), "show.demo.ini", QE_CAB_DATA, "C:\\d\\",
                                       "Error: cannot add wave.fx (1)")
                      .find("Setup shadersdirectory: the cabinet tool cannot read the file 'wave.fx'"));
}

TEST(PackerLists, ExtractionTargetsStayInsideTheirFolder) {
    char target[MAX_PATH];
    ASSERT_TRUE(qeDemoExtractTarget("C:\\t\\x.1", "scenes\\intro\\a.qirn", target, sizeof(target)));
    EXPECT_STREQ("C:\\t\\x.1\\scenes\\intro\\a.qirn", target);
    ASSERT_TRUE(qeDemoExtractTarget("C:\\t", "\\a.mp3", target, sizeof(target)));  // from a root-relative pattern
    EXPECT_STREQ("C:\\t\\a.mp3", target);
    EXPECT_TRUE(qeDemoExtractTarget("C:\\t", "a..b\\..c", target, sizeof(target)));
    EXPECT_FALSE(qeDemoExtractTarget("C:\\t", "..\\a.x", target, sizeof(target)));
    EXPECT_FALSE(qeDemoExtractTarget("C:\\t", "a\\..\\..\\b.x", target, sizeof(target)));
    EXPECT_FALSE(qeDemoExtractTarget("C:\\t", "D:\\b.x", target, sizeof(target)));
    EXPECT_FALSE(qeDemoExtractTarget("C:\\t", "", target, sizeof(target)));
    const std::string deep(300, 'd');
    std::memset(target, 'z', sizeof(target));
    EXPECT_FALSE(qeDemoExtractTarget("C:\\t", deep.c_str(), target, sizeof(target)));
}

TEST(PackerLists, OnlyFoldersInsideTheDemoCanBePacked) {
    for (const char* inside : {"", "intro", "scenes\\intro", "scenes/intro", "a..b\\..c", ".\\intro"})
        EXPECT_TRUE(qeDemoFolderInsideDemo(inside)) << inside;
    for (const char* outside : {"..", "..\\shared\\intro", "../shared", "intro\\..\\..\\x", "intro/..",
                                "C:\\demo", "D:intro", "\\intro", "/intro", "\\\\server\\share"})
        EXPECT_FALSE(qeDemoFolderInsideDemo(outside)) << outside;
}

// ---- packing and expanding ----

// A demo, a program folder with the tool and default data, and a work folder, all with blanks in their
// names; the current folder is the work folder while a test runs.
class Packer : public testing::Test {
protected:
    static void SetUpTestSuite() {
        root = new qetest::TempDir("pack demo");
        // A temporary folder of the program's own: what its tests leave there, or look for, meets no other
        // program's runs.
        privateTemp = new qetest::TemporaryFolderAs(root->mkdir("temp"));
        toolDir = root->mkdir("tool dir");
        demoDir = root->mkdir("my demo");
        workDir = root->mkdir("work dir");
        program = toolDir + "qirn.exe";
        CopyFileA(thisProgram().c_str(), program.c_str(), FALSE);
        CopyFileA(QIRN_CABARC, (toolDir + "cabarc.exe").c_str(), FALSE);
        root->mkdir("tool dir\\shaders");
        root->mkdir("tool dir\\shadersPP");
        root->mkdir("tool dir\\shadersCache");
        root->mkdir("tool dir\\textures");
        root->write("tool dir\\shaders\\a.hlsl", "float4 main() : COLOR { return 0; }");
        root->write("tool dir\\shadersPP\\pp.psh", "ps");
        root->write("tool dir\\shadersCache\\abc.vso", "vso");
        root->write("tool dir\\shadersCache\\abc.vso.inf", "inf");
        root->write("tool dir\\textures\\t.png", "png");
        root->write("tool dir\\textures\\notes.txt", "not packed");

        root->mkdir("my demo\\scenes\\intro");
        root->mkdir("my demo\\logo");
        root->mkdir("my demo\\fx");
        root->mkdir("my demo\\music");
        root->write("my demo\\show.demo.ini",
                    "[setup]\nmusicdirectory = music\nshadersdirectory = fx\n"
                    "[part1]\ntime = 0\nmusic = song.mp3\ndirectory = scenes\\intro\nfilename = intro.qirn\n"
                    "extra.0.directory = logo\nextra.0.filename = logo.qirn\n"
                    "[part2]\ntime = 1000\ndirectory = SCENES\\Intro\nfilename = a_scene_with_a_rather_long_name.qirn\n"
                    "[part3]\ntime = 2000\n");
        root->write("my demo\\scenes\\intro\\intro.qirn", "scene one");
        root->write("my demo\\scenes\\intro\\a_scene_with_a_rather_long_name.qirn", "scene two");
        root->write("my demo\\scenes\\intro\\intro.layer1.x", "xof 0303txt 0032");
        root->write("my demo\\scenes\\intro\\wall.png", "png");
        root->write("my demo\\scenes\\intro\\notes.txt", "not packed");
        root->write("my demo\\logo\\logo.qirn", "logo");
        root->write("my demo\\fx\\ripple.hlsl", "ripple");
        root->write("my demo\\music\\song.mp3", "mp3");
        root->write("my demo\\loading.png", "loading");
        log = root->path() + "cabarc log.txt";
    }
    static void TearDownTestSuite() {
        delete privateTemp;
        privateTemp = nullptr;
        delete root;
        root = nullptr;
    }

    void SetUp() override {
        char current[MAX_PATH];
        GetCurrentDirectoryA(sizeof(current), current);
        previousDir = current;
        SetCurrentDirectoryA(workDir.c_str());
        DeleteFileA(log.c_str());
        SetEnvironmentVariableA("QIRN_CABARC_LOG", log.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableA("QIRN_CABARC_LOG", nullptr);
        qeDemoRemoveExtractDirs();
        SetCurrentDirectoryA(previousDir.c_str());
    }

    // Packs `ini` into `output` in the work folder: refused with one box that begins with `box`, before the
    // program is copied or the tool runs.
    static void expectRefused(const std::string& ini, const char* output, const std::string& box) {
        qetest::BoxRecorder boxes;
        EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), output, ini.c_str()));
        ASSERT_EQ(1u, boxes.boxes().size()) << ini;
        EXPECT_EQ(0u, boxes.text(0).find(box)) << boxes.text(0);
        EXPECT_FALSE(exists(workDir + output)) << ini;
        EXPECT_FALSE(exists(log)) << ini;
    }

    static std::string withoutSeparator(std::string path) {
        if (!path.empty() && path.back() == '\\') path.pop_back();
        return path;
    }

    static qetest::TempDir* root;
    static qetest::TemporaryFolderAs* privateTemp;
    static std::string toolDir, demoDir, workDir, program, log;
    std::string previousDir;
};

qetest::TempDir* Packer::root = nullptr;
qetest::TemporaryFolderAs* Packer::privateTemp = nullptr;
std::string Packer::toolDir, Packer::demoDir, Packer::workDir, Packer::program, Packer::log;

TEST_F(Packer, FourCabinetsOfTheToolAreStoredInTheCopyAndReplacedByAPackAgain) {
    const std::string output = workDir + "show.exe";
    qetest::BoxRecorder boxes;
    ASSERT_EQ(0, qeDemoPackExecutableFrom(program.c_str(), "show.exe", (demoDir + "show.demo.ini").c_str()));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();

    // The tool ran from the program's folder, in the base folder of each cabinet, with quoted paths.
    std::vector<std::string> lines;
    std::istringstream logText(readFile(log));
    for (std::string line; std::getline(logText, line);) lines.push_back(line);
    ASSERT_EQ(8u, lines.size());
    const std::string tool = "command: \"" + toolDir + "cabarc.exe\" -p n \"" + workDir;
    EXPECT_EQ(0u, lines[0].find(tool + "tmp_demo_data.cab\" \"scenes\\intro\\*.x\" \"scenes\\intro\\*.lws.ini.bin\""))
        << lines[0];
    EXPECT_NE(std::string::npos, lines[0].find("\"scenes\\intro\\*.psh\" \"logo\\*.x\""));
    EXPECT_NE(std::string::npos, lines[0].find("\"fx\\*.hlsl\" \"show.demo.ini\""));
    EXPECT_EQ("folder: " + withoutSeparator(demoDir), lines[1]);
    EXPECT_EQ(tool + "tmp_demo_music.cab\" \"music\\*.mp3\" \"music\\*.mpg\" \"music\\*.mpeg\"", lines[2]);
    EXPECT_EQ(tool + "tmp_demo_loading.cab\" \"loading.png\"", lines[4]);
    EXPECT_EQ(0u, lines[6].find(tool + "tmp_demo_defdata.cab\" \"shaders\\*.hlsl\"")) << lines[6];
    // the default data is gathered from the program's folder in a folder of the pack's own under the
    // temporary folder, gone after the pack
    EXPECT_EQ(0u, lines[7].find("folder: " + temporaryFolder() + "TheDemoRun.")) << lines[7];
    EXPECT_EQ(lines[7].size() - 17, lines[7].find("\\tmp_demo_defdata")) << lines[7];
    EXPECT_FALSE(exists(lines[7].substr(8)));
    EXPECT_FALSE(exists(folderOf(lines[7].substr(8))));
    EXPECT_EQ(nullptr, qeDemoGetRunFolder());
    EXPECT_TRUE(exists(workDir + "out-500.txt"));  // the tool's output, beside the cabinets

    // What each cabinet holds, under the paths the demo names.
    EXPECT_EQ((std::vector<std::string>{"fx\\ripple.hlsl", "logo\\logo.qirn",
                                        "scenes\\intro\\a_scene_with_a_rather_long_name.qirn",
                                        "scenes\\intro\\intro.layer1.x", "scenes\\intro\\intro.qirn",
                                        "scenes\\intro\\wall.png", "show.demo.ini"}),
              cabinetNames(workDir + "tmp_demo_data.cab"));
    EXPECT_EQ(std::vector<std::string>{"music\\song.mp3"}, cabinetNames(workDir + "tmp_demo_music.cab"));
    EXPECT_EQ(std::vector<std::string>{"loading.png"}, cabinetNames(workDir + "tmp_demo_loading.cab"));
    // (the cache folder holds no compiled shader of the cache's own naming)
    EXPECT_EQ((std::vector<std::string>{"shadersPP\\pp.psh", "shaders\\a.hlsl", "textures\\t.png"}),
              cabinetNames(workDir + "tmp_demo_defdata.cab"));

    // Each resource is the cabinet byte for byte; the copy still carries the program's own resources.
    const int ids[4] = {QE_CAB_DATA, QE_CAB_MUSIC, QE_CAB_LOADING, QE_CAB_DEFAULT_DATA};
    HMODULE packed = LoadLibraryExA(output.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, packed);
    for (int id : ids)
        EXPECT_EQ(readFile(workDir + qeDemoCabFileName(id)), resourceOf(packed, id)) << id;
    EXPECT_NE(nullptr, FindResourceA(packed, MAKEINTRESOURCEA(101), MAKEINTRESOURCEA(5)));  // the setup dialog
    EXPECT_EQ(1, qeDemoModuleHasCabResources(packed));
    const std::string firstData = resourceOf(packed, QE_CAB_DATA);
    FreeLibrary(packed);
    EXPECT_EQ(0, qeDemoModuleHasCabResources(nullptr));  // the test program itself

    // Packing again into the same output replaces the resources.
    root->write("my demo\\scenes\\intro\\later.png", "later");
    ASSERT_EQ(0, qeDemoPackExecutableFrom(program.c_str(), "show.exe", (demoDir + "show.demo.ini").c_str()));
    DeleteFileA((demoDir + "scenes\\intro\\later.png").c_str());
    packed = LoadLibraryExA(output.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, packed);
    const std::string secondData = resourceOf(packed, QE_CAB_DATA);
    EXPECT_NE(firstData, secondData);
    EXPECT_EQ(readFile(workDir + "tmp_demo_data.cab"), secondData);
    EXPECT_EQ(readFile(workDir + "tmp_demo_defdata.cab"), resourceOf(packed, QE_CAB_DEFAULT_DATA));

    // A copy with only 500 and 501 is not a packed demo.
    const std::string partial = workDir + "partial.exe";
    ASSERT_TRUE(CopyFileA(program.c_str(), partial.c_str(), FALSE));
    ASSERT_EQ(0, qeDemoStoreCabResource(partial.c_str(), (workDir + "tmp_demo_data.cab").c_str(), QE_CAB_DATA));
    ASSERT_EQ(0, qeDemoStoreCabResource(partial.c_str(), (workDir + "tmp_demo_music.cab").c_str(), QE_CAB_MUSIC));
    HMODULE partialModule = LoadLibraryExA(partial.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, partialModule);
    EXPECT_EQ(0, qeDemoModuleHasCabResources(partialModule));
    FreeLibrary(partialModule);

    // Expanding the packed copy's resources, each slot into a folder of its name in the run's own folder
    // under the temporary folder.
    EXPECT_EQ(nullptr, qeDemoGetRunFolder());
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 3, QE_CAB_DEFAULT_DATA));
    ASSERT_NE(nullptr, qeDemoGetRunFolder());
    const std::string run = qeDemoGetRunFolder();
    EXPECT_EQ(0u, run.find(temporaryFolder() + "TheDemoRun.")) << run;
    std::string folder = extractDir(3);
    EXPECT_STREQ(folder.c_str(), qeDemoGetExtractDir(3));
    EXPECT_EQ("float4 main() : COLOR { return 0; }", readFile(folder + "\\shaders\\a.hlsl"));
    EXPECT_TRUE(exists(folder + "\\textures\\t.png"));
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof(current), current);
    EXPECT_EQ(0, _stricmp(folder.c_str(), withoutSeparator(current).c_str())) << current;

    // Two folder levels below the slot's folder are made.
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 4, QE_CAB_DATA));
    folder = extractDir(4);
    EXPECT_EQ("scene one", readFile(folder + "\\scenes\\intro\\intro.qirn"));
    EXPECT_EQ("later", readFile(folder + "\\scenes\\intro\\later.png"));
    EXPECT_EQ("[setup]", readFile(folder + "\\show.demo.ini").substr(0, 7));
    EXPECT_EQ(0, qeDemoEnterExtractDir(4));
    EXPECT_EQ(-1, qeDemoEnterExtractDir(7));

    // Reopening a slot in use deletes its folder first, even while it is the current folder.
    SetCurrentDirectoryA((folder + "\\scenes\\intro").c_str());
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 4, QE_CAB_LOADING));
    EXPECT_EQ("loading", readFile(folder + "\\loading.png"));
    EXPECT_FALSE(exists(folder + "\\scenes"));

    folder = extractDir(5);
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 5, QE_CAB_MUSIC));
    EXPECT_EQ("mp3", readFile(folder + "\\music\\song.mp3"));
    EXPECT_EQ(run, qeDemoGetRunFolder());  // one folder for all the slots of a run

    // A target past 260 characters is written whole.
    const std::string deep = root->mkdir(std::string(220 - root->path().size(), 'd'));
    EXPECT_EQ(0, qeDemoExtractCabResourceFrom(packed, QE_CAB_DATA, withoutSeparator(deep).c_str()));
    EXPECT_EQ("scene two", readFile(deep + "scenes\\intro\\a_scene_with_a_rather_long_name.qirn"));
    removeW(withoutSeparator(deep));

    // Failures: a module without the resource, bad slots.
    EXPECT_EQ(QE_EXTRACT_NOT_FOUND, qeDemoOpenCabResourceFrom(GetModuleHandleA(nullptr), 6, QE_CAB_DEFAULT_DATA));
    EXPECT_EQ(nullptr, qeDemoGetExtractDir(6));
    EXPECT_FALSE(exists(extractDir(6)));
    EXPECT_EQ(-1, qeDemoOpenCabResourceFrom(packed, QE_EXTRACT_SLOTS, QE_CAB_DATA));
    EXPECT_EQ(-1, qeDemoRemoveExtractDir(6));
    FreeLibrary(packed);

    EXPECT_EQ(0, qeDemoRemoveExtractDirs());
    for (int slot = 3; slot <= 5; ++slot) EXPECT_EQ(nullptr, qeDemoGetExtractDir(slot));
    // with the last slot, the run's folder goes
    EXPECT_EQ(nullptr, qeDemoGetRunFolder());
    EXPECT_FALSE(exists(run));
}

// Dates a folder's last write `hours` back.
void writtenHoursAgo(const std::string& folder, int hours) {
    HANDLE handle = CreateFileA(folder.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle) << folder;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time;
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart -= hours * 3600ULL * 10000000ULL;
    now.dwLowDateTime = time.LowPart;
    now.dwHighDateTime = time.HighPart;
    EXPECT_TRUE(SetFileTime(handle, nullptr, nullptr, &now));
    CloseHandle(handle);
}

void writtenAnHourAgo(const std::string& folder) { writtenHoursAgo(folder, 1); }

// The engine's file system without a driver, writing blobs of a stand-in compiled pixel shader (entry
// point "psMain", no macros) into a cache as a run does, and reading them back.
class ShaderCacheWriter {
public:
    static const irr::u32 kMode = ESCM_READ | ESCM_CHECK_DATES | ESCM_WRITE;
    ShaderCacheWriter() : device_(irr::createDevice(irr::video::EDT_NULL)) {
        static const irr::u32 tokens[3] = {0xFFFF0300u, 0x01020304u, 0x0000FFFFu};
        code_.set(tokens, sizeof(tokens));
    }
    ~ShaderCacheWriter() {
        if (device_) device_->drop();
    }
    irr::io::IFileSystem* fs() const { return device_ ? device_->getFileSystem() : nullptr; }
    bool write(const std::string& cache, const std::string& source) const {
        return fs() && writeShaderCache(fs(), cache.c_str(), kMode, source.c_str(), "psMain", false, none_, code_);
    }
    // The name of the source's blob, for what the source holds now.
    std::string blobOf(const std::string& source) const {
        SShaderFileMemo memo;
        return makeCacheFileName(fs(), source.c_str(), "psMain", none_, false,
                                 shaderSourceKeyForgettingStatuses(fs(), memo, source.c_str()))
            .c_str();
    }
    bool serves(const std::string& cache, const std::string& source) const {
        irr::video::SShaderCodeBuffer* got = readShaderCache(fs(), cache.c_str(), kMode, source.c_str(), "psMain", false, none_);
        delete got;
        return got != nullptr;
    }

private:
    irr::IrrlichtDevice* device_;
    irr::video::SShaderCodeBuffer code_;
    const SShaderMacroList none_;
};

// A folder `name` of `place` with this program as "qirn.exe", the cabinet tool, an engine shader folder
// and a compiled-shader cache. Gives the folder.
std::string packingTool(const qetest::TempDir& place, const std::string& name) {
    const std::string tool = place.mkdir(name);
    EXPECT_TRUE(CopyFileA(thisProgram().c_str(), (tool + "qirn.exe").c_str(), FALSE));
    EXPECT_TRUE(CopyFileA(QIRN_CABARC, (tool + "cabarc.exe").c_str(), FALSE));
    place.mkdir(name + "\\shaders");
    place.mkdir(name + "\\shadersCache");
    return tool;
}

// A pack works from a current folder and of a demo folder as deep as the system allows (here 240
// characters each, with files past 260): its checks find the files, the tool reads them and writes its
// cabinet, and the current folder gets the cabinets and the tool's outputs and nothing else; the default
// data is gathered in the pack's own folder, never in a folder of the user's (one named as the gathering
// folder once was stays). A demo folder too long for the cabinet tool to run in is named as too long.
TEST_F(Packer, PacksFromDeepFoldersTakeTheirFilesAndNameAFolderTooLong) {
    const std::string work = deepFolder(root->path() + "deep work", 240, 'w') + "\\";
    const std::string demo = deepFolder(root->path() + "deep demo", 240, 'd') + "\\";
    qetest::makeFolders(work + "tmp_demo_defdata");
    writeW(work + "tmp_demo_defdata\\mine.txt", "the user's");
    qetest::makeFolders(demo + "intro_long_name");
    qetest::makeFolders(demo + "music");
    const std::string ini = demo + "deep.demo.ini";
    qetest::makeFolders(demo + "fx");
    writeW(ini, "[setup]\nmusicdirectory = music\nshadersdirectory = fx\n[part1]\ntime = 0\nmusic = song.mp3\n"
                "directory = intro_long_name\nfilename = intro.qirn\n[part2]\ntime = 1000\n");
    writeW(demo + "intro_long_name\\intro.qirn", "deep scene");
    writeW(demo + "intro_long_name\\wall.png", "png");
    writeW(demo + "music\\song.mp3", "mp3");
    writeW(demo + "loading.png", "loading");
    const std::string camera = demo + "fx\\camera_ripple.hlsl";
    writeW(camera, "float4 psMain() : COLOR0 { return 7; }\n");
    EXPECT_LT(MAX_PATH, static_cast<int>((demo + "intro_long_name\\intro.qirn").size()));
    EXPECT_LT(MAX_PATH, static_cast<int>(camera.size()));
    // the camera shader was compiled into the program's cache by a run of the demo
    ShaderCacheWriter shaders;
    ASSERT_TRUE(shaders.write(toolDir + "shadersCache", camera));
    const std::string blob = "shadersCache\\" + shaders.blobOf(camera);
    struct RemovedAtEnd {
        std::string path;
        ~RemovedAtEnd() {
            DeleteFileA(path.c_str());
            DeleteFileA((path + ".inf").c_str());
        }
    } programBlob{toolDir + blob};
    ASSERT_TRUE(exists(toolDir + blob));
    ASSERT_TRUE(SetCurrentDirectoryA(work.c_str()));

    qetest::BoxRecorder boxes;
    EXPECT_EQ(0, qeDemoPackExecutableFrom(program.c_str(), "deep.exe", ini.c_str()));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    EXPECT_EQ((std::vector<std::string>{"deep.exe", "out-500.txt", "out-501.txt", "out-502.txt", "out-503.txt",
                                        "tmp_demo_data.cab", "tmp_demo_defdata", "tmp_demo_defdata.cab",
                                        "tmp_demo_loading.cab", "tmp_demo_music.cab"}),
              namesIn(work + "*"));
    EXPECT_EQ("the user's", readFile(work + "tmp_demo_defdata\\mine.txt"));
    EXPECT_EQ(nullptr, qeDemoGetRunFolder());
    // what the cabinets hold, read from copies at short paths
    for (const char* cabinet : {"tmp_demo_data.cab", "tmp_demo_defdata.cab", "deep.exe"})
        ASSERT_TRUE(CopyFileW(qeSysLongPath((work + cabinet).c_str()).c_str(),
                              qeSysLongPath((workDir + "deep " + cabinet).c_str()).c_str(), FALSE));
    EXPECT_EQ((std::vector<std::string>{"deep.demo.ini", "fx\\camera_ripple.hlsl", "intro_long_name\\intro.qirn",
                                        "intro_long_name\\wall.png"}),
              cabinetNames(workDir + "deep tmp_demo_data.cab"));
    std::vector<std::string> defaults = {"shadersPP\\pp.psh", "shaders\\a.hlsl", "textures\\t.png", blob, blob + ".inf"};
    std::sort(defaults.begin(), defaults.end());
    EXPECT_EQ(defaults, cabinetNames(workDir + "deep tmp_demo_defdata.cab"));
    // expanded where the packed demo has them, the packed cache serves the camera shader
    HMODULE packed = LoadLibraryExA((workDir + "deep deep.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, packed);
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 0, QE_CAB_DEFAULT_DATA));
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 1, QE_CAB_DATA));
    FreeLibrary(packed);
    EXPECT_EQ("deep scene", readFile(extractDir(1) + "\\intro_long_name\\intro.qirn"));
    EXPECT_TRUE(shaders.serves(extractDir(0) + "\\shadersCache", extractDir(1) + "\\fx\\camera_ripple.hlsl"));
    SetCurrentDirectoryA(work.c_str());
    qeDemoRemoveExtractDirs();

    // A demo folder longer than a current folder can be: the pack says so, with the folder.
    const std::string deeper = deepFolder(root->path() + "deeper demo", 262, 'e') + "\\";
    qetest::makeFolders(deeper + "intro");
    writeW(deeper + "deeper.demo.ini", "[part1]\ntime = 0\ndirectory = intro\nfilename = intro.qirn\n[part2]\ntime = 1000\n");
    writeW(deeper + "intro\\intro.qirn", "scene");
    writeW(deeper + "loading.png", "loading");
    boxes.boxes().clear();
    SetCurrentDirectoryA(workDir.c_str());
    EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "deeper.exe", (deeper + "deeper.demo.ini").c_str()));
    ASSERT_EQ(2u, boxes.boxes().size());  // then "Failed to add data to cab ...", as for any failure to run the tool
    EXPECT_EQ("Failed to execute: the folder '" + withoutSeparator(deeper) +
                  "' is too long a path (262 characters) for the cabinet tool to run in: the system takes at most 258\n",
              boxes.text(0));
    EXPECT_FALSE(exists(workDir + "deeper.exe"));
    removeW(withoutSeparator(root->path() + "deep work"));
    removeW(withoutSeparator(root->path() + "deep demo"));
    removeW(withoutSeparator(root->path() + "deeper demo"));
}

// A run's folder is its own while the run lives: a later start or end of a run removes the folders of runs
// that were killed (which no process holds), never one that a live run holds; the run folders of runs made
// before runs marked their folders, and the folders of the earlier layout, which their runs did not hold,
// go once they were not written to within the last minute, those of the earlier layout all together once
// none is any process's current folder.
TEST_F(Packer, LeftoversOfKilledRunsGoAndFoldersOfLiveRunsStay) {
    const std::string temp = temporaryFolder();
    // what a run writes in its folder: its mark, and its slots' folders
    ASSERT_NE(nullptr, qeDemoHoldRunFolder());
    const std::string mark = readFile(std::string(qeDemoGetRunFolder()) + "\\~qirn-run.txt");
    qeDemoReleaseRunFolder();
    ASSERT_FALSE(mark.empty());
    auto runLeftover = [&](const std::string& name, bool marked) {
        CreateDirectoryA((temp + name).c_str(), nullptr);
        CreateDirectoryA((temp + name + "\\TheDemoExtractDir.1").c_str(), nullptr);
        std::ofstream(temp + name + "\\TheDemoExtractDir.1\\intro.qirn") << "scene";
        if (marked) std::ofstream(temp + name + "\\~qirn-run.txt", std::ios::binary) << mark;
        return temp + name;
    };
    auto earlierLeftover = [&](int slot, const std::string& file, bool old) {
        const std::string folder = temp + "TheDemoExtractDir." + std::to_string(slot);
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA((folder + "\\shaders").c_str(), nullptr);
        std::ofstream(folder + "\\" + file) << "stale";
        if (old) writtenAnHourAgo(folder);
        return folder;
    };
    const std::string killed = runLeftover("TheDemoRun.0000DEAD", true);
    const std::string live = runLeftover("TheDemoRun.0000A11E", true);
    const std::string before = runLeftover("TheDemoRun.0000BEF0", false);  // of a run before the marks
    writtenAnHourAgo(before);
    // held as a live run holds its folder
    HANDLE hold = CreateFileA(live.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hold);
    const std::string zero = earlierLeftover(0, "shaders\\a.hlsl", true);
    const std::string two = earlierLeftover(2, "song.mp3", true);
    SetCurrentDirectoryA(two.c_str());  // as a run of a packed demo made before has its folder

    ASSERT_NE(nullptr, qeDemoHoldRunFolder());  // a start
    EXPECT_FALSE(exists(killed));
    EXPECT_FALSE(exists(before));
    EXPECT_TRUE(exists(live + "\\TheDemoExtractDir.1\\intro.qirn"));
    EXPECT_TRUE(exists(zero + "\\shaders\\a.hlsl"));  // one of the earlier layout is in use: all stay
    EXPECT_TRUE(exists(two + "\\song.mp3"));
    SetCurrentDirectoryA(workDir.c_str());
    runLeftover("TheDemoRun.0000DEAD", true);
    const std::string fresh = runLeftover("TheDemoRun.0000F2E5", false);  // just made by a run before the marks
    const std::string one = earlierLeftover(1, "show.demo.ini", false);   // written just now
    qeDemoReleaseRunFolder();  // an end
    EXPECT_FALSE(exists(killed));
    EXPECT_TRUE(exists(fresh + "\\TheDemoExtractDir.1\\intro.qirn"));
    EXPECT_TRUE(exists(live + "\\TheDemoExtractDir.1\\intro.qirn"));
    EXPECT_TRUE(exists(zero + "\\shaders\\a.hlsl"));
    EXPECT_TRUE(exists(one + "\\show.demo.ini"));

    writtenAnHourAgo(one);
    writtenAnHourAgo(fresh);
    CloseHandle(hold);  // the live run is killed
    EXPECT_TRUE(exists(live));
    EXPECT_EQ(5, qeDemoClearLeftovers());
    for (const std::string& folder : {live, fresh, zero, one, two}) EXPECT_FALSE(exists(folder)) << folder;
}

// Folders of the user's in the temporary folder whose names look like those of runs, two hours old, stay
// with their files through a start, an end, a clearing and a pack: a folder of a run's name without the
// run's mark holding a file no run writes, folders of other names, a folder of the earlier layout holding a
// file its expansion never wrote or a read-only one.
TEST_F(Packer, FoldersOfTheUsersWithTheNamesOfRunsStay) {
    const std::string temp = temporaryFolder();
    const struct {
        const char* folder;
        const char* file;
        bool readOnly;
    } kept[] = {
        {"TheDemoRun.12345678", "notes.txt", false},
        {"TheDemoRun.my-notes", "notes.txt", false},
        {"TheDemoRun.ABCDEF01", "TheDemoExtractDir.1\\notes.txt", false},
        {"TheDemoRun.ABCDEF02", "TheDemoExtractDir.1\\intro.qirn", true},
        {"TheDemoExtractDir.2", "notes.txt", false},
        {"TheDemoExtractDir.backup", "song.mp3", false},
        {"TheDemoExtractDir.1", "scene\\wall.png", true},
    };
    for (const auto& k : kept) {
        const std::string file = temp + k.folder + "\\" + k.file;
        qetest::makeFolders(folderOf(file));
        std::ofstream(file) << "the user's";
        if (k.readOnly) SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
        writtenHoursAgo(folderOf(file), 2);
        writtenHoursAgo(temp + k.folder, 2);
    }
    ASSERT_NE(nullptr, qeDemoHoldRunFolder());
    qeDemoReleaseRunFolder();
    qeDemoClearLeftovers();
    qetest::BoxRecorder boxes;
    EXPECT_EQ(0, qeDemoPackExecutableFrom(program.c_str(), "show.exe", (demoDir + "show.demo.ini").c_str()));
    for (const auto& k : kept) {
        const std::string file = temp + k.folder + "\\" + k.file;
        EXPECT_EQ("the user's", readFile(file)) << file;
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        removeW(temp + k.folder);
    }
}

// A 1 MB temporary folder that fills up, and one that cannot be written: a pack says so, naming it, and no
// scene; the expansion of a packed demo fails with the reason that its box tells, naming it too. Nothing
// is left in either.
TEST_F(Packer, AFullOrReadOnlyTemporaryFolderIsNamedAndLeftEmpty) {
    // a demo of two megabytes that do not shrink in a cabinet
    const std::string big = root->mkdir("big demo");
    root->mkdir("big demo\\intro");
    std::string noise(2 << 20, '\0');
    unsigned int seed = 12345;
    for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    root->write("big demo\\intro\\intro.qirn", noise);
    root->write("big demo\\loading.png", "loading");
    root->write("big demo\\song.mp3", "mp3");
    const std::string ini = root->write("big demo\\big.demo.ini",
                                        "[part1]\ntime = 0\nmusic = song.mp3\ndirectory = intro\nfilename = intro.qirn\n"
                                        "[part2]\ntime = 1000\n");
    qetest::BoxRecorder boxes;
    ASSERT_EQ(0, qeDemoPackExecutableFrom(program.c_str(), "big.exe", ini.c_str()));
    HMODULE packed = LoadLibraryExA((workDir + "big.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, packed);

    qetest::SmallFileSystem full("full", "size=1m");
    ASSERT_TRUE(full.mounted()) << "a tmpfs cannot be mounted here";
    {
        qetest::TemporaryFolderAs temp(full.path());
        boxes.boxes().clear();
        EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "big full.exe", ini.c_str()));
        ASSERT_EQ(1u, boxes.boxes().size());
        EXPECT_EQ(0u, boxes.text(0).find("Failed to add data to cab base_dir='" + big + "': the temporary folder '" +
                                         full.path() + "' is full"))
            << boxes.text(0);
        EXPECT_FALSE(exists(workDir + "big full.exe"));
        EXPECT_EQ(std::vector<std::string>{}, namesIn(full.path() + "*"));

        const int code = qeDemoOpenCabResourceFrom(packed, 1, QE_CAB_DATA);
        EXPECT_EQ(ERROR_DISK_FULL, code);
        EXPECT_EQ("the temporary folder '" + full.path() + "' is full", qeDemoTemporaryFolderFault(code));
        EXPECT_EQ(nullptr, qeDemoGetExtractDir(1));
        EXPECT_EQ(nullptr, qeDemoGetRunFolder());
        EXPECT_EQ(std::vector<std::string>{}, namesIn(full.path() + "*"));
    }

    qetest::SmallFileSystem readOnly("read-only", "size=1m,ro");
    ASSERT_TRUE(readOnly.mounted()) << "a tmpfs cannot be mounted here";
    {
        qetest::TemporaryFolderAs temp(readOnly.path());
        boxes.boxes().clear();
        EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "big read-only.exe", ini.c_str()));
        ASSERT_EQ(1u, boxes.boxes().size());
        EXPECT_EQ("Failed to make a folder of the pack's own in the temporary folder: the temporary folder '" +
                      readOnly.path() + "' cannot be written\n",
                  boxes.text(0));
        EXPECT_FALSE(exists(workDir + "big read-only.exe"));

        const int code = qeDemoOpenCabResourceFrom(packed, 0, QE_CAB_DEFAULT_DATA);
        EXPECT_EQ("the temporary folder '" + readOnly.path() + "' cannot be written", qeDemoTemporaryFolderFault(code))
            << code;
        EXPECT_EQ(nullptr, qeDemoGetRunFolder());
    }
    FreeLibrary(packed);
}

// Packs and expansions work from temporary folders of 150 and 200 characters, where their files lie past
// 260, and leave nothing there; one too long for the folders a run enters is named as too long.
TEST_F(Packer, DeepTemporaryFoldersWorkAndOneTooLongIsNamed) {
    // a shader of a long name in the program's folder: gathered in the pack's own folder past 260 characters
    struct RemovedAtEnd {
        std::string path;
        ~RemovedAtEnd() { DeleteFileA(path.c_str()); }
    } longShader{root->write("tool dir\\shaders\\" + std::string(70, 's') + ".hlsl", "long")};
    for (size_t length : {150, 200}) {
        const std::string deep = deepFolder(root->path() + "deep temp", length - 1, 't') + "\\";
        qetest::makeFolders(deep);
        ASSERT_EQ(length, deep.size());
        const std::string exe = "deep " + std::to_string(length) + ".exe";
        {
            qetest::TemporaryFolderAs temp(deep);
            qetest::BoxRecorder boxes;
            EXPECT_EQ(0, qeDemoPackExecutableFrom(program.c_str(), exe.c_str(), (demoDir + "show.demo.ini").c_str()));
            EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
            EXPECT_EQ(std::vector<std::string>{}, namesIn(deep + "*")) << length;
            HMODULE packed = LoadLibraryExA((workDir + exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
            ASSERT_NE(nullptr, packed);
            EXPECT_EQ(0, qeDemoOpenCabResourceFrom(packed, 0, QE_CAB_DEFAULT_DATA));
            EXPECT_EQ(0, qeDemoOpenCabResourceFrom(packed, 1, QE_CAB_DATA));
            FreeLibrary(packed);
            const std::string scene = extractDir(1) + "\\scenes\\intro\\a_scene_with_a_rather_long_name.qirn";
            EXPECT_EQ(length == 200, scene.size() > MAX_PATH) << scene;
            EXPECT_EQ("scene two", readFile(scene));
            EXPECT_EQ("float4 main() : COLOR { return 0; }", readFile(extractDir(0) + "\\shaders\\a.hlsl"));
            SetCurrentDirectoryA(workDir.c_str());
            qeDemoRemoveExtractDirs();
            EXPECT_EQ(std::vector<std::string>{}, namesIn(deep + "*")) << length;
        }
        DeleteFileA((workDir + exe).c_str());
    }
    const std::string deeper = deepFolder(root->path() + "deeper temp", 239, 't') + "\\";
    qetest::makeFolders(deeper);
    {
        qetest::TemporaryFolderAs temp(deeper);
        qetest::BoxRecorder boxes;
        EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "deeper.exe", (demoDir + "show.demo.ini").c_str()));
        ASSERT_EQ(1u, boxes.boxes().size());
        EXPECT_EQ("Failed to make a folder of the pack's own in the temporary folder: the temporary folder '" + deeper +
                      "' is too long a path (240 characters): the folders written there are entered as current "
                      "folders, which the system takes up to 258 characters long, so it can have at most 219\n",
                  boxes.text(0));
        EXPECT_EQ(ERROR_FILENAME_EXCED_RANGE, qeDemoOpenCabResourceFrom(nullptr, 0, QE_CAB_DEFAULT_DATA));
        EXPECT_EQ(std::vector<std::string>{}, namesIn(deeper + "*"));
    }
    removeW(withoutSeparator(root->path() + "deep temp"));
    removeW(withoutSeparator(root->path() + "deeper temp"));
}

TEST_F(Packer, WithoutTheToolTheWholeCommandIsShown) {
    const std::string bare = root->mkdir("bare dir");
    root->write("bare dir\\qirn.exe", "MZ");
    qetest::BoxRecorder boxes;
    OutputAtBoxes outputAtBoxes(workDir + "bare.exe");
    EXPECT_EQ(-1, qeDemoPackExecutableFrom((bare + "qirn.exe").c_str(), "bare.exe",
                                           (demoDir + "show.demo.ini").c_str()));
    ASSERT_EQ(2u, boxes.boxes().size());
    EXPECT_EQ((std::vector<bool>{false, false}), OutputAtBoxes::seen());  // gone before the first box shows
    EXPECT_EQ(0u, boxes.text(0).find("Failed to execute: \"" + bare + "cabarc.exe\" -p n \"" + workDir +
                                     "tmp_demo_data.cab\" \"scenes\\intro\\*.x\""))
        << boxes.text(0);
    EXPECT_EQ(0u, boxes.text(1).find("Failed to add data to cab base_dir='" + demoDir + "' dirlist='scenes\\intro\\*.x "))
        << boxes.text(1);
    EXPECT_FALSE(exists(workDir + "bare.exe"));  // a failed pack leaves no plain copy of the program

    // A command longer than a process can be started with is refused before anything runs.
    boxes.boxes().clear();
    const DemoFileList many(3000, "scenes\\intro\\*.qirn");
    EXPECT_EQ(-1, qeDemoBuildCabResource(toolDir.c_str(), (workDir + "bare.exe").c_str(), QE_CAB_DATA, demoDir.c_str(),
                                         many));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ(0u, boxes.text(0).find("Failed to execute: the command is ")) << boxes.text(0);
    EXPECT_FALSE(exists(log));

    // An output that is a folder is no executable: the program is not copied into it.
    const std::string folderOutput = root->mkdir("work dir\\folder.exe");
    boxes.boxes().clear();
    EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "folder.exe", (demoDir + "show.demo.ini").c_str()));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Failed to copy " + program + " to folder.exe\n", boxes.text(0));
    EXPECT_FALSE(exists(folderOutput + "qirn.exe"));

    boxes.boxes().clear();
    EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "x.exe", (demoDir + "missing.demo.ini").c_str()));
    ASSERT_FALSE(boxes.boxes().empty());
    EXPECT_EQ("Failed to load ini file " + demoDir + "missing.demo.ini\n", boxes.text(boxes.boxes().size() - 1));
    EXPECT_FALSE(exists(workDir + "x.exe"));
}

// A demo that the packed copy could not play (a folder it could not expand, a scene file or the loading
// screen missing) is refused before the program is copied or the tool runs.
TEST_F(Packer, ADemoThePackedCopyCouldNotPlayIsRefusedBeforeAnythingIsWritten) {
    const std::string plainDir = root->mkdir("plain demo");  // no loading.png
    const struct {
        std::string folder;
        const char* ini;
        std::string box;
    } cases[] = {
        {demoDir, "[part1]\ntime = 0\ndirectory = ../shared/intro\nfilename = intro.qirn\n[part2]\ntime = 1000\n",
         "Part part1: the folder '../shared/intro' is outside the demo's folder"},
        {demoDir,
         "[part1]\ntime = 0\ndirectory = scenes\\intro\nfilename = intro.qirn\nextra.2.directory = C:\\logo\n"
         "extra.2.filename = logo.qirn\n[part2]\ntime = 1000\n",
         "Part part1, extra logo.qirn: the folder 'C:\\logo' is outside the demo's folder"},
        {demoDir, "[setup]\nmusicdirectory = ..\\music\n[part1]\ntime = 0\n[part2]\ntime = 1000\n",
         "Setup musicdirectory: the folder '..\\music' is outside the demo's folder"},
        // A part whose folder is gone, and an extra whose file is not in its folder.
        {demoDir,
         "[setup]\nmusicdirectory = music\n[part1]\ntime = 0\ndirectory = scenes\\intro\nfilename = intro.qirn\n"
         "[part2]\ntime = 1000\ndirectory = gem\nfilename = gem.qirn\n[part3]\ntime = 2000\n",
         "Part part2: the scene file 'gem\\gem.qirn' is missing\n"},
        {demoDir,
         "[setup]\nmusicdirectory = music\n[part1]\ntime = 0\ndirectory = scenes\\intro\nfilename = intro.qirn\n"
         "extra.0.directory = logo\nextra.0.filename = spin.qirn\n[part2]\ntime = 1000\n",
         "Part part1, extra spin.qirn: the scene file 'logo\\spin.qirn' is missing\n"},
        {plainDir, "[part1]\ntime = 0\n[part2]\ntime = 1000\n",
         "The demo's folder has no loading screen '" + plainDir + "loading.png'"},
    };
    for (const auto& c : cases) {
        const std::string ini = c.folder + "refused.demo.ini";
        std::ofstream(ini) << c.ini;
        SCOPED_TRACE(c.ini);
        expectRefused(ini, "refused.exe", c.box);
        DeleteFileA(ini.c_str());
    }
}

// A scene file that does not reach the data cabinet (gone while packing, or of a kind the patterns do not
// take) fails the pack, and its output is gone before the box shows.
TEST_F(Packer, ASceneFileMissingFromTheDataCabinetFailsThePack) {
    root->write("my demo\\scenes\\intro\\odd.scene", "scene");
    // The first part's scene goes in, named in another letter case with other separators.
    const std::string ini = root->write("my demo\\odd.demo.ini",
                                        "[setup]\nmusicdirectory = music\n"
                                        "[part1]\ntime = 0\ndirectory = scenes/intro/\nfilename = INTRO.qirn\n"
                                        "[part2]\ntime = 1000\ndirectory = .\\scenes\\intro\nfilename = odd.scene\n"
                                        "[part3]\ntime = 2000\n");
    qetest::BoxRecorder boxes;
    OutputAtBoxes outputAtBoxes(workDir + "odd.exe");
    EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "odd.exe", ini.c_str()));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ(0u, boxes.text(0).find("Part part2: the scene file '.\\scenes\\intro\\odd.scene' is not in the "
                                     "packed data"))
        << boxes.text(0);
    EXPECT_EQ(std::vector<bool>{false}, OutputAtBoxes::seen());
    EXPECT_FALSE(exists(workDir + "odd.exe"));
    DeleteFileA(ini.c_str());
    DeleteFileA((demoDir + "scenes\\intro\\odd.scene").c_str());
}

// A scene beside the .demo.ini (a part without a folder) goes into the data cabinet with its folder's files
// at the cabinet's top, where the packed demo looks for it, and nothing of the named folders comes along.
TEST_F(Packer, ASceneBesideTheDescriptionIsPackedAtTheTopOfTheData) {
    root->write("my demo\\beside.qirn", "beside");
    root->write("my demo\\beside.layer1.x", "xof 0303txt 0032");
    const std::string ini = root->write("my demo\\beside.demo.ini",
                                        "[setup]\nmusicdirectory = music\n[part1]\ntime = 0\nfilename = beside.qirn\n"
                                        "[part2]\ntime = 1000\n");
    qetest::BoxRecorder boxes;
    EXPECT_EQ(0, qeDemoPackExecutableFrom(program.c_str(), "beside.exe", ini.c_str()));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    const std::vector<std::string> names = cabinetNames(workDir + "tmp_demo_data.cab");
    EXPECT_EQ((std::vector<std::string>{"beside.demo.ini", "beside.layer1.x", "beside.qirn", "loading.png"}), names);

    HMODULE packed = LoadLibraryExA((workDir + "beside.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, packed);
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 3, QE_CAB_DATA));
    EXPECT_EQ("beside", readFile(extractDir(3) + "\\beside.qirn"));
    FreeLibrary(packed);
    for (const char* name : {"beside.qirn", "beside.layer1.x", "beside.demo.ini"}) DeleteFileA((demoDir + name).c_str());
}

// Without a music or shaders directory, the music and the shaders beside the .demo.ini go into the top of
// their cabinets, where the packed demo looks for them (the demo's folder, not the drive's root).
TEST_F(Packer, TheMusicAndShadersBesideTheDescriptionArePackedWithoutSetupFolders) {
    root->write("my demo\\beside song.mp3", "beside mp3");
    root->write("my demo\\wave.hlsl", "wave");
    root->write("my demo\\wave.fx", "wave effect");
    const std::string ini = root->write("my demo\\nofolders.demo.ini",
                                        "[part1]\ntime = 0\nmusic = beside song.mp3\ndirectory = logo\n"
                                        "filename = logo.qirn\nshader.0.name = wave.hlsl\n[part2]\ntime = 1000\n");
    qetest::BoxRecorder boxes;
    EXPECT_EQ(0, qeDemoPackExecutableFrom(program.c_str(), "nofolders.exe", ini.c_str()));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    EXPECT_EQ((std::vector<std::string>{"logo\\logo.qirn", "nofolders.demo.ini", "wave.fx", "wave.hlsl"}),
              cabinetNames(workDir + "tmp_demo_data.cab"));
    EXPECT_EQ(std::vector<std::string>{"beside song.mp3"}, cabinetNames(workDir + "tmp_demo_music.cab"));

    HMODULE packed = LoadLibraryExA((workDir + "nofolders.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, packed);
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 3, QE_CAB_MUSIC));
    EXPECT_EQ("beside mp3", readFile(extractDir(3) + "\\beside song.mp3"));
    FreeLibrary(packed);
    for (const char* name : {"beside song.mp3", "wave.hlsl", "wave.fx", "nofolders.demo.ini"})
        DeleteFileA((demoDir + name).c_str());
}

// Whenever a pack stops, by a kill or a failure, nothing lies under the output's name: not the copy being
// filled, and not the output of an earlier pack. A temporary file left by a killed pack goes with the next
// pack of that output.
// A file's last write time, in seconds.
__time64_t writeTimeOf(const std::string& path) {
    struct _stat64 status;
    return _stat64(path.c_str(), &status) == 0 ? status.st_mtime : -1;
}

void setWriteTime(const std::string& path, __time64_t t) {
    __utimbuf64 times = {t, t};
    ASSERT_EQ(0, _utime64(path.c_str(), &times)) << path;
}

// The default data carries the compiled shaders that the packed shaders can use, and no other: not those
// of another demo's shaders, nor one compiled from what a source held before an edit. Expanded, every file
// keeps the date the cabinet stores, so a blob stays as much newer than its source as it was: the packed
// demo's cache serves its shaders from the first start. Each packed ".inf" lists its sources where the
// packed demo has them (beside its cache in the default data's folder, and in the data's folder next to
// it), its hashed part as it was: a run that wrote into the packed cache and had to compile a shader (the
// edited one) would clear the cache then and keep every carried blob.
TEST_F(Packer, TheDefaultDataCarriesTheCacheThePackedShadersCanUseAndTheFilesKeepTheirDates) {
    qetest::TempDir place("pack cache");
    const std::string tool = packingTool(place, "cache tool");
    place.mkdir("cache demo\\scene");
    place.mkdir("cache demo\\fx");
    place.mkdir("cache demo\\music");
    place.mkdir("other demo\\fx");
    const std::string demo = place.path() + "cache demo\\";
    place.write("cache demo\\cache.demo.ini",
                "[setup]\nmusicdirectory = music\nshadersdirectory = fx\n"
                "[part1]\ntime = 0\nmusic = song.mp3\ndirectory = scene\nfilename = s.qirn\n"
                "[part2]\ntime = 1000\nfilename = top.qirn\n");
    place.write("cache demo\\scene\\s.qirn", "scene");
    place.write("cache demo\\top.qirn", "scene beside the description");
    place.write("cache demo\\music\\song.mp3", "mp3");
    place.write("cache demo\\loading.png", "loading");
    const std::string engine = place.write("cache tool\\shaders\\lpp.hlsl", "float4 psMain() : COLOR0 { return 1; }\n");
    const std::string node = place.write("cache demo\\scene\\node.hlsl", "float4 psMain() : COLOR0 { return 2; }\n");
    const std::string ripple = place.write("cache demo\\fx\\ripple.hlsl", "float4 psMain() : COLOR0 { return 3; }\n");
    const std::string elsewhere = place.write("other demo\\fx\\ripple.hlsl", "float4 psMain() : COLOR0 { return 4; }\n");
    const std::string top = place.write("cache demo\\top.hlsl", "float4 psMain() : COLOR0 { return 6; }\n");

    ShaderCacheWriter shaders;
    for (const std::string& source : {engine, node, ripple, elsewhere, top})
        ASSERT_TRUE(shaders.write(tool + "shadersCache", source)) << source;
    // the demo's ripple was edited since its blob was compiled
    place.write("cache demo\\fx\\ripple.hlsl", "float4 psMain() : COLOR0 { return 5; }\n");
    const std::string engineBlob = shaders.blobOf(engine), nodeBlob = shaders.blobOf(node), topBlob = shaders.blobOf(top);
    // the top of the data expands into the data slot's folder: its sources' blobs go under that name
    const std::string packedTopBlob = qeDemoExtractFolderName(1) + topBlob.substr(std::strlen("cache demo"));
    const std::string nodeInfo = readFile(tool + "shadersCache\\" + nodeBlob + ".inf");
    // sources from long ago, blobs compiled later: older than the expansion by far
    const __time64_t compiled = 1600000000;
    for (const std::string& source : {engine, node, top}) setWriteTime(source, compiled - 3600);
    for (const std::string& name : {engineBlob, nodeBlob, topBlob}) {
        setWriteTime(tool + "shadersCache\\" + name, compiled);
        setWriteTime(tool + "shadersCache\\" + name + ".inf", compiled);
    }
    // the program and its cache moved away from where they were when the blobs were written
    const std::string moved = place.mkdir("elsewhere") + "moved tool\\";
    ASSERT_TRUE(MoveFileA(tool.c_str(), moved.c_str()));

    const std::string output = workDir + "cache.exe";
    qetest::BoxRecorder boxes;
    ASSERT_EQ(0, qeDemoPackExecutableFrom((moved + "qirn.exe").c_str(), "cache.exe", (demo + "cache.demo.ini").c_str()));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    std::vector<std::string> expected = {"shadersCache\\" + engineBlob, "shadersCache\\" + engineBlob + ".inf",
                                         "shadersCache\\" + nodeBlob, "shadersCache\\" + nodeBlob + ".inf",
                                         "shadersCache\\" + packedTopBlob, "shadersCache\\" + packedTopBlob + ".inf",
                                         "shaders\\lpp.hlsl"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, cabinetNames(workDir + "tmp_demo_defdata.cab"));
    EXPECT_EQ(10u, std::distance(std::filesystem::directory_iterator(moved + "shadersCache"),
                                 std::filesystem::directory_iterator()));  // the program's own cache is as it was

    // expanded as the packed demo expands them: default data first, then the demo's data beside it in the
    // run's own folder
    HMODULE packed = LoadLibraryExA(output.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, packed);
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 0, QE_CAB_DEFAULT_DATA));
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 1, QE_CAB_DATA));
    FreeLibrary(packed);
    const std::string defaults = extractDir(0) + "\\", data = extractDir(1) + "\\";
    const std::string packedCache = defaults + "shadersCache";
    SetCurrentDirectoryA(workDir.c_str());
    for (const std::string& name : {std::string("shaders\\lpp.hlsl"), "shadersCache\\" + nodeBlob})
        EXPECT_GE(2, std::abs(writeTimeOf(moved + name) - writeTimeOf(defaults + name))) << name;
    EXPECT_GE(2, std::abs(writeTimeOf(node) - writeTimeOf(data + "scene\\node.hlsl")));
    const std::string hashedPart = nodeInfo.substr(0, nodeInfo.find('\n', nodeInfo.find('\n') + 1) + 1);
    const std::string packedInfo = readFile(packedCache + "\\" + nodeBlob + ".inf");
    EXPECT_EQ(hashedPart + "../../TheDemoExtractDir.1/scene/node.hlsl", packedInfo);
    for (const auto& blobAndSource : {std::make_pair(packedTopBlob, std::string("../../TheDemoExtractDir.1/top.hlsl")),
                                      std::make_pair(engineBlob, std::string("../shaders/lpp.hlsl"))}) {
        const std::string info = readFile(packedCache + "\\" + blobAndSource.first + ".inf");
        EXPECT_EQ(blobAndSource.second, info.substr(info.rfind('\n') + 1));
    }

    // a run writing into the packed cache: the edited shader is not carried; compiled, the cache is cleared
    // first
    EXPECT_FALSE(shaders.serves(packedCache, data + "fx\\ripple.hlsl"));
    EXPECT_EQ(0, removeStaleCacheFiles(shaders.fs(), packedCache.c_str()));
    EXPECT_TRUE(shaders.write(packedCache, data + "fx\\ripple.hlsl"));
    for (const std::string& source : {defaults + "shaders\\lpp.hlsl", data + "scene\\node.hlsl", data + "top.hlsl"})
        EXPECT_TRUE(shaders.serves(packedCache, source)) << source;
    // each blob's ".inf" listed its packed source already: reading only gave that line the source's full path
    std::string nodeFull = data + "scene/node.hlsl";
    std::replace(nodeFull.begin(), nodeFull.end(), '\\', '/');
    EXPECT_EQ(packedInfo + "|" + nodeFull, readFile(packedCache + "\\" + nodeBlob + ".inf"));
}

// Every file that a packed shader includes goes into the data, where the packed shader finds it: beside
// it, in a sub-folder, in another folder of the demo, and what those include in turn, as the compiler's
// include search finds them (an include found in a folder makes that folder one to search), in either
// form and of any name. Includes that the compiler never reads (in a comment, in a skipped branch, a
// guarded header met again) are not asked for; one under a condition that only a permutation's macros
// decide goes in when it is there. With its includes where it finds them, the packed cache serves each
// packed shader: a packed start compiles none of them.
TEST_F(Packer, TheIncludesOfThePackedShadersGoWhereThePackedShadersFindThem) {
    qetest::TempDir place("pack includes");
    const std::string tool = packingTool(place, "include tool");
    for (const char* folder : {"scene", "music", "shaders\\sub\\more", "lib", "cycle"})
        place.mkdir(std::string("include demo\\") + folder);
    const std::string demo = place.path() + "include demo\\";
    const std::pair<const char*, const char*> files[] = {
        {"inc.demo.ini",
         "[setup]\nmusicdirectory = music\nshadersdirectory = shaders\n"
         "[part1]\ntime = 0\nmusic = song.mp3\ndirectory = scene\nfilename = s.qirn\n"
         "shader.0.name = scan.hlsl\nshader.0.time = 0\nshader.0.length = 500\n[part2]\ntime = 1000\n"},
        {"scene\\s.qirn", "scene"},
        {"music\\song.mp3", "mp3"},
        {"loading.png", "loading"},
        {"shaders\\scan.hlsl",
         "#include \"palette.h\"\n"
         "  #  include <sub/more/wave.hlsli>\n"
         "#include \"../lib/tone.fxh\"\n"
         "// #include \"legacy.h\"\n"
         "/* #include \"gone.h\"\n   #include \"gone too.h\" */\n"
         "#if 0\n#include \"skipped.h\"\n#elif 1\n#include \"kept.inc\"\n#else\n#include \"skipped.h\"\n#endif\n"
         "#ifdef SOME_PERMUTATION\n#include \"maybe.h\"\n#include \"optional.h\"\n#endif\n"
         "float4 psMain() : COLOR0 { return Tone * Wave; }\n"},
        {"shaders\\palette.h", "#define PALETTE 1\n"},
        {"shaders\\sub\\more\\wave.hlsli", "static const float Wave = 0.5;\n"},
        // found beside the header through the folder that the header was found in; a guarded cycle back
        {"lib\\tone.fxh", "#ifndef TONE_FXH\n#define TONE_FXH\n#include \"util.inc\"\nstatic const float Tone = 2;\n#endif\n"},
        {"lib\\util.inc", "#include \"tone.fxh\"\n#include \"../cycle/back.h\"\n"},
        {"cycle\\back.h", "#pragma once\n#include \"../lib/util.inc\"\n"},
        {"shaders\\kept.inc", "// kept\n"},
        // only the cache's content key reads a commented-out include: it goes in for the blob to match
        {"shaders\\legacy.h", "// the old palette\n"},
        {"shaders\\optional.h", "// there, though only a permutation asks for it\n"},
        {"shaders\\unused.h", "// not included by anything\n"},
        {"scene\\node.hlsl",
         "#include \"node common.h\"\n#include \"../shaders/palette.h\"\nfloat4 psMain() : COLOR0 { return 2; }\n"},
        {"scene\\node common.h", "// shared by the scene's shaders\n"},
    };
    for (const auto& file : files) place.write(std::string("include demo\\") + file.first, file.second);
    const std::string scan = demo + "shaders\\scan.hlsl", node = demo + "scene\\node.hlsl";

    // the shaders were compiled into the program's cache by a run of the demo
    ShaderCacheWriter shaders;
    for (const std::string& source : {scan, node}) ASSERT_TRUE(shaders.write(tool + "shadersCache", source)) << source;

    qetest::BoxRecorder boxes;
    ASSERT_EQ(0, qeDemoPackExecutableFrom((tool + "qirn.exe").c_str(), "includes.exe", (demo + "inc.demo.ini").c_str()));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    EXPECT_EQ((std::vector<std::string>{"cycle\\back.h", "inc.demo.ini", "lib\\tone.fxh", "lib\\util.inc",
                                        "scene\\node common.h", "scene\\node.hlsl", "scene\\s.qirn",
                                        "shaders\\kept.inc", "shaders\\legacy.h", "shaders\\optional.h",
                                        "shaders\\palette.h", "shaders\\scan.hlsl", "shaders\\sub\\more\\wave.hlsli"}),
              cabinetNames(workDir + "tmp_demo_data.cab"));

    HMODULE packed = LoadLibraryExA((workDir + "includes.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, packed);
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 0, QE_CAB_DEFAULT_DATA));
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 1, QE_CAB_DATA));
    FreeLibrary(packed);
    SetCurrentDirectoryA(workDir.c_str());
    for (const char* source : {"\\shaders\\scan.hlsl", "\\scene\\node.hlsl"})
        EXPECT_TRUE(shaders.serves(extractDir(0) + "\\shadersCache", extractDir(1) + source)) << source;
}

// An include that the compiler surely reads and a pack cannot carry (missing, or outside the demo's
// folder) refuses the demo before anything is written, naming the shader and the include (and the header
// that names it, for an include of an include).
TEST_F(Packer, AnIncludeThePackCannotCarryIsRefusedBeforeAnythingIsWritten) {
    root->mkdir("my demo\\bad fx");
    root->mkdir("my demo\\bad lib");
    root->write("outside.h", "// beside the demo's folder, not in it\n");
    root->write("my demo\\bad lib\\guarded.h", "#ifndef GUARDED_H\n#define GUARDED_H\n#include \"lost.h\"\n#endif\n");
    const std::string ini = root->write("my demo\\bad.demo.ini",
                                        "[setup]\nmusicdirectory = music\nshadersdirectory = bad fx\n"
                                        "[part1]\ntime = 0\ndirectory = logo\nfilename = logo.qirn\n"
                                        "[part2]\ntime = 1000\n");
    const struct {
        std::string shader;
        std::string box;
    } cases[] = {
        {"#include \"nothere.h\"\n", "The shader 'bad fx\\bad.hlsl' includes 'nothere.h', which is missing"},
        {"#include <../../outside.h>\n",
         "The shader 'bad fx\\bad.hlsl' includes '../../outside.h', which lies outside the demo's folder ('" +
             root->path() + "outside.h')"},
        {"#include \"../bad lib/guarded.h\"\n",
         "The shader 'bad fx\\bad.hlsl' includes 'lost.h' (named in 'bad lib\\guarded.h'), which is missing"},
        // a condition that the source decides itself
        {"#define USE_TONE 1\n#if defined(USE_TONE) && USE_TONE > 0\n#include \"tone.h\"\n#endif\n",
         "The shader 'bad fx\\bad.hlsl' includes 'tone.h', which is missing"},
        // a broken condition nested past any shader's is left undecided, and the walk goes on after it
        {"#if " + std::string(100000, '(') + "1" + std::string(100000, ')') + " && " + std::string(100000, '!') +
             "1\n#endif\n#include \"after.h\"\n",
         "The shader 'bad fx\\bad.hlsl' includes 'after.h', which is missing"},
    };
    for (const auto& c : cases) {
        root->write("my demo\\bad fx\\bad.hlsl", c.shader);
        SCOPED_TRACE(c.shader);
        expectRefused(ini, "bad.exe", c.box);
    }
    DeleteFileA(ini.c_str());
    DeleteFileA((root->path() + "outside.h").c_str());
    for (const char* file : {"bad fx\\bad.hlsl", "bad lib\\guarded.h"}) DeleteFileA((demoDir + file).c_str());
    RemoveDirectoryA((demoDir + "bad fx").c_str());
    RemoveDirectoryA((demoDir + "bad lib").c_str());
}

UINT CALLBACK collectDate(PVOID dates, UINT notification, UINT_PTR param1, UINT_PTR) {
    if (notification != SPFILENOTIFY_FILEINCABINET) return NO_ERROR;
    const FILE_IN_CABINET_INFO_A* info = reinterpret_cast<FILE_IN_CABINET_INFO_A*>(param1);
    (*static_cast<std::map<std::string, std::pair<WORD, WORD>>*>(dates))[info->NameInCabinet] = {info->DosDate,
                                                                                               info->DosTime};
    return FILEOP_SKIP;
}

// The DOS date and time that a cabinet file stores for each name.
std::map<std::string, std::pair<WORD, WORD>> cabinetDates(const std::string& cabinet) {
    std::map<std::string, std::pair<WORD, WORD>> dates;
    SetupIterateCabinetA(cabinet.c_str(), 0, collectDate, &dates);
    return dates;
}

// Sources dated before 1980 or after 2107, which a cabinet cannot hold, are stored as the nearest date it
// can, and a packed blob is never older than what it was compiled from (its source and the includes the
// date test reads, however they are dated): the packed demo's cache serves every packed shader.
TEST_F(Packer, DatesACabinetCannotHoldLeaveNoPackedShaderOlderThanItsSource) {
    qetest::TempDir place("pack dates");
    const std::string tool = packingTool(place, "dates tool");
    place.mkdir("dates demo\\fx");
    place.mkdir("dates demo\\music");
    const std::string demo = place.path() + "dates demo\\";
    place.write("dates demo\\dates.demo.ini",
                "[setup]\nmusicdirectory = music\nshadersdirectory = fx\n"
                "[part1]\ntime = 0\nmusic = song.mp3\nfilename = top.qirn\n[part2]\ntime = 1000\n");
    place.write("dates demo\\top.qirn", "scene");
    place.write("dates demo\\music\\song.mp3", "mp3");
    place.write("dates demo\\loading.png", "loading");
    const std::string old = place.write("dates demo\\fx\\old.hlsl", "float4 psMain() : COLOR0 { return 1; }\n");
    const std::string future = place.write("dates demo\\fx\\future.hlsl", "float4 psMain() : COLOR0 { return 2; }\n");
    const std::string header = place.write("dates tool\\shaders\\later.h", "#define LATER 3\n");
    const std::string engine =
        place.write("dates tool\\shaders\\lpp.hlsl", "#include \"later.h\"\nfloat4 psMain() : COLOR0 { return LATER; }\n");

    ShaderCacheWriter shaders;
    for (const std::string& source : {old, future, engine})
        ASSERT_TRUE(shaders.write(tool + "shadersCache", source)) << source;
    // the blobs compiled in 2020, one source from 1975, one from 2150 and a header from 2150
    const __time64_t compiled = 1600000000, early = 157766400 /* 1975 */, late = 5680281600 /* 2150 */;
    for (const auto& entry : std::filesystem::directory_iterator(tool + "shadersCache"))
        setWriteTime(entry.path().string(), compiled);
    setWriteTime(old, early);
    setWriteTime(future, late);
    setWriteTime(header, late);
    setWriteTime(engine, early);

    qetest::BoxRecorder boxes;
    ASSERT_EQ(0, qeDemoPackExecutableFrom((tool + "qirn.exe").c_str(), "dates.exe", (demo + "dates.demo.ini").c_str()));
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    // 1980-01-01 00:00:00 and 2107-12-31 23:59:58, never 0 or a year wrapped round
    const std::pair<WORD, WORD> first = {(0 << 9) | (1 << 5) | 1, 0}, last = {(127 << 9) | (12 << 5) | 31,
                                                                               (23 << 11) | (59 << 5) | 29};
    std::map<std::string, std::pair<WORD, WORD>> dates = cabinetDates(workDir + "tmp_demo_data.cab");
    EXPECT_EQ(first, dates["fx\\old.hlsl"]);
    EXPECT_EQ(last, dates["fx\\future.hlsl"]);
    dates = cabinetDates(workDir + "tmp_demo_defdata.cab");
    EXPECT_EQ(last, dates["shaders\\later.h"]);
    EXPECT_EQ(first, dates["shaders\\lpp.hlsl"]);
    EXPECT_EQ(8u, dates.size());  // the two shader files and three blobs with their .inf files

    // expanded as the packed demo expands them, its cache serves all three
    HMODULE packed = LoadLibraryExA((workDir + "dates.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, packed);
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 6, QE_CAB_DEFAULT_DATA));
    ASSERT_EQ(0, qeDemoOpenCabResourceFrom(packed, 7, QE_CAB_DATA));
    FreeLibrary(packed);
    const std::string defaults = std::string(qeDemoGetExtractDir(6)) + "\\";
    const std::string data = place.path() + qeDemoExtractFolderName(1) + "\\";
    SetCurrentDirectoryA(workDir.c_str());
    ASSERT_TRUE(MoveFileA(qeDemoGetExtractDir(7), data.c_str()));
    for (const std::string& source : {defaults + "shaders\\lpp.hlsl", data + "fx\\old.hlsl", data + "fx\\future.hlsl"})
        EXPECT_TRUE(shaders.serves(defaults + "shadersCache", source)) << source;
}

TEST_F(Packer, AStoppedPackLeavesNothingUnderTheOutputsName) {
    struct Seen {
        static std::vector<std::string>& steps() {
            static std::vector<std::string> list;
            return list;
        }
        static std::string& output() {
            static std::string path;
            return path;
        }
    };
    const std::string output = workDir + "stopped.exe";
    const std::string temporary = qeDemoPackTemporaryName(output);
    EXPECT_EQ(std::string::npos, temporary.find(".exe", temporary.size() - 4));
    const std::string ini = demoDir + "show.demo.ini";
    qetest::BoxRecorder boxes;
    ASSERT_EQ(0, qeDemoPackExecutableFrom(program.c_str(), "stopped.exe", ini.c_str()));  // an earlier pack
    root->write("work dir\\" + temporary.substr(workDir.size()), "left by a killed pack");

    // At each step, what a pack stopped there would leave.
    Seen::steps().clear();
    Seen::output() = output;
    qeDemoSetPackStepHook([](const char* step) {
        Seen::steps().push_back(std::string(step) + (exists(Seen::output()) ? " output" : "") +
                                (exists(qeDemoPackTemporaryName(Seen::output())) ? " temporary" : ""));
    });
    const int packed = qeDemoPackExecutableFrom(program.c_str(), "stopped.exe", ini.c_str());
    qeDemoSetPackStepHook(nullptr);
    ASSERT_EQ(0, packed);
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front();
    EXPECT_EQ((std::vector<std::string>{"copy", "cabinet 500 temporary", "cabinet 501 temporary",
                                        "cabinet 502 temporary", "cabinet 503 temporary", "rename temporary"}),
              Seen::steps());
    EXPECT_TRUE(exists(output));
    EXPECT_FALSE(exists(temporary));
    HMODULE module = LoadLibraryExA(output.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(1, qeDemoModuleHasCabResources(module));
    EXPECT_NE(nullptr, FindResourceA(module, MAKEINTRESOURCEA(QE_CAB_DEFAULT_DATA), "CAB"));
    FreeLibrary(module);

    // A leftover goes even with a pack that is refused.
    root->write("work dir\\" + temporary.substr(workDir.size()), "left by a killed pack");
    EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "stopped.exe", (demoDir + "none.demo.ini").c_str()));
    EXPECT_FALSE(exists(temporary));
}

// When the cabinet tool fails on a file it cannot read or a list that finds no file, the box names the
// part or setup folder and the file or folder, and the pack leaves nothing behind.
TEST_F(Packer, ToolFailuresNameThePartAndTheFileOrFolder) {
    qetest::BoxRecorder boxes;
    HANDLE locked = CreateFileA((demoDir + "scenes\\intro\\intro.qirn").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "failed.exe", (demoDir + "show.demo.ini").c_str()));
    CloseHandle(locked);
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ(0u, boxes.text(0).find("Part part1: the cabinet tool cannot read the file 'scenes\\intro\\intro.qirn' in '" +
                                     demoDir + "' (Error: cannot add scenes\\intro\\intro.qirn"))
        << boxes.text(0);

    root->mkdir("my demo\\silence");
    root->write("my demo\\silence\\notes.txt", "no music here");
    const std::string ini = root->write("my demo\\silent.demo.ini",
                                        "[setup]\nmusicdirectory = silence\n[part1]\ntime = 0\ndirectory = logo\n"
                                        "filename = logo.qirn\n[part2]\ntime = 1000\n");
    boxes.boxes().clear();
    EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "failed.exe", ini.c_str()));
    ASSERT_EQ(1u, boxes.boxes().size());
    EXPECT_EQ("Setup musicdirectory: the folder '" + demoDir + "silence' holds no music file (*.mp3, *.mpg or *.mpeg)\n",
              boxes.text(0));
    EXPECT_FALSE(exists(workDir + "failed.exe"));
    EXPECT_FALSE(exists(qeDemoPackTemporaryName(workDir + "failed.exe")));
    DeleteFileA(ini.c_str());

    // A demo that names more scenes than a demo can hold is refused before anything is written.
    std::string many = "[setup]\nmusicdirectory = music\n";
    for (int p = 0; p <= 60; ++p) many += "[part" + std::to_string(p) + "]\ntime = 0\ndirectory = logo\nfilename = logo.qirn\n";
    const std::string crowded = root->write("my demo\\crowded.demo.ini", many);
    boxes.boxes().clear();
    DeleteFileA(log.c_str());
    EXPECT_EQ(-1, qeDemoPackExecutableFrom(program.c_str(), "failed.exe", crowded.c_str()));
    ASSERT_FALSE(boxes.boxes().empty());
    EXPECT_EQ(0u, boxes.text(0).find("Too many scenes: a demo can hold 60")) << boxes.text(0);
    EXPECT_FALSE(exists(log));
    DeleteFileA(crowded.c_str());
}

// The tool answers any other command line with its usage, which says what it does not do.
TEST_F(Packer, TheCabinetToolTellsItsOneFormToOtherCommands) {
    const std::string output = workDir + "usage.txt";
    const std::string tool = toolDir + "cabarc.exe";
    EXPECT_EQ(2, qetest::runProcess(tool, "\"" + tool + "\" l show.cab", workDir, output, 60, nullptr,
                                    CREATE_NO_WINDOW));
    const std::string text = readFile(output);
    EXPECT_NE(std::string::npos, text.find("usage: cabarc [-p] n <cabinet> <file or pattern>...")) << text;
    EXPECT_NE(std::string::npos, text.find("are not supported")) << text;
    EXPECT_FALSE(exists(workDir + "show.cab"));
}

TEST_F(Packer, ACabinetThatCannotBeReadWholeIsNotStored) {
    qetest::BoxRecorder boxes;
    const std::string target = workDir + "store.exe";
    ASSERT_TRUE(CopyFileA(program.c_str(), target.c_str(), FALSE));
    EXPECT_EQ(-1, qeDemoStoreCabResource(target.c_str(), (workDir + "none.cab").c_str(), QE_CAB_DATA));
    root->write("work dir\\empty.cab", "");
    EXPECT_EQ(-1, qeDemoStoreCabResource(target.c_str(), (workDir + "empty.cab").c_str(), QE_CAB_DATA));
    ASSERT_EQ(2u, boxes.boxes().size());
    EXPECT_EQ("Failed to get size of cab " + workDir + "none.cab", boxes.text(0));
    // Not a program: the update cannot begin, and nothing is left open.
    root->write("work dir\\plain.cab", "cabinet bytes");
    EXPECT_EQ(-1, qeDemoStoreCabResource((workDir + "plain.cab").c_str(), (workDir + "plain.cab").c_str(), 7));
    EXPECT_EQ("cabinet bytes", readFile(workDir + "plain.cab"));
    HMODULE module = LoadLibraryExA(target.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(nullptr, FindResourceA(module, MAKEINTRESOURCEA(QE_CAB_DATA), "CAB"));
    FreeLibrary(module);
}

}  // namespace
