#include "sysfile.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "file_fixtures.h"

using qetest::TempDir;

namespace {

// Every test starts from the portable default: no hooks, empty remembered directory.
class SysFileTest : public testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryA(sizeof(cwd_), cwd_);
        resetDefaults();
    }
    void TearDown() override {
        resetDefaults();
        SetCurrentDirectoryA(cwd_);
    }
    static void resetDefaults() {
        qeSysSetOpenHook(nullptr);
        qeSysSetDirHooks(nullptr);
        qeSysSetPathHooks(nullptr);
        qeSysSetDir("");
    }
    char cwd_[MAX_PATH];
};

TEST_F(SysFileTest, DefaultHandleReadsSeeksAndCloses) {
    TempDir dir("sysfile");
    const std::string file = dir.write("data.bin", "first line\nsecond\nxyz");

    SysFile* h = qeSysFileOpen(file.c_str(), "rb");
    ASSERT_NE(h, nullptr);
    char line[64];
    ASSERT_EQ(qeSysFileGets(line, sizeof(line), h), line);
    EXPECT_STREQ(line, "first line\n");
    EXPECT_EQ(qeSysFileTell(h), 11);
    EXPECT_EQ(qeSysFileGetc(h), 's');
    EXPECT_EQ(qeSysFileSeek(h, -3, SEEK_END), 0);
    char tail[4] = {};
    EXPECT_EQ(qeSysFileRead(tail, 1, 3, h), 3u);
    EXPECT_STREQ(tail, "xyz");
    EXPECT_EQ(qeSysFileGetc(h), EOF);
    EXPECT_EQ(qeSysFileGets(line, sizeof(line), h), nullptr);
    EXPECT_EQ(qeSysFileSeek(h, 0, SEEK_SET), 0);
    char two[2][6];
    EXPECT_EQ(qeSysFileRead(two, 6, 2, h), 2u);  // whole items
    EXPECT_EQ(std::string(two[1], 5), "line\n");
    EXPECT_EQ(qeSysFileClose(h), 0);

    EXPECT_EQ(qeSysFileExist(file.c_str()), 1);
    EXPECT_EQ(qeSysFileExist((dir.path() + "missing.bin").c_str()), 0);
    EXPECT_EQ(qeSysFileOpen((dir.path() + "missing.bin").c_str(), "rb"), nullptr);

    // No handle: failures, not crashes.
    EXPECT_EQ(qeSysFileOpen(nullptr, "rb"), nullptr);
    EXPECT_EQ(qeSysFileExist(nullptr), 0);
    EXPECT_EQ(qeSysFileClose(nullptr), -1);
    EXPECT_EQ(qeSysFileGetc(nullptr), EOF);
    EXPECT_EQ(qeSysFileRead(line, 1, 1, nullptr), 0u);
}

TEST_F(SysFileTest, DefaultOpenResolvesRelativeNamesAgainstTheRememberedDirectory) {
    TempDir dir("sysfile");
    const std::string file = dir.write("here.txt", "x");
    // An absolute name opens as it is, whatever the remembered directory.
    ASSERT_EQ(qeSysSetDir("some\\other\\folder"), 0);
    EXPECT_EQ(qeSysFileExist(file.c_str()), 1);
    EXPECT_EQ(qeSysFileExist("here.txt"), 0);
    ASSERT_EQ(qeSysSetDir(dir.path().c_str()), 0);
    EXPECT_EQ(qeSysFileExist("here.txt"), 1);
    EXPECT_EQ(qeSysFileExist(file.c_str()), 1);
}

TEST_F(SysFileTest, DefaultDirectoryJoinsAndPathSplitting) {
    // (directory set, directory changed to, directory then): joins with '/' unless a separator or a
    // drive ends the directory; absolute paths replace it.
    const char* joins[][3] = {{"", "a", "a"},          {"a", "b", "a/b"},          {"a\\", "b", "a\\b"},
                              {"C:", "x", "C:x"},      {"base", "/abs/dir", "/abs/dir"},
                              {"base", "D:\\data", "D:\\data"}};
    for (const auto& j : joins) {
        qeSysSetDir(j[0]);
        qeSysChangeDir(j[1]);
        EXPECT_STREQ(j[2], qeSysGetDir()) << j[0] << " + " << j[1];
    }
    // (directory, name, full path)
    const char* full[][3] = {{"", "file.x", "file.x"}, {"dir", "file.x", "dir/file.x"},
                             {"dir", "\\root\\file.x", "\\root\\file.x"}};
    for (const auto& f : full) {
        qeSysSetDir(f[0]);
        EXPECT_STREQ(f[2], qeSysPathFull(f[1])) << f[0] << " + " << f[1];
        EXPECT_STREQ(f[0], qeSysGetDir());  // a query leaves the directory alone
    }
    // Results that would not fit come back empty.
    const std::string longDir = std::string(3000, 'p') + "/", longFile = std::string(3000, 'f');
    const std::pair<std::string, const char*> paths[] = {
        {"name", ""}, {"a/b/c.txt", "a/b/"}, {"a\\b/c", "a\\b/"}, {"C:name", "C:"}, {"C:\\x\\y.z", "C:\\x\\"},
        {"a/b:c", "a/b:"}, {longDir, ""}, {"d/" + longFile, "d/"}};
    for (const auto& p : paths) EXPECT_STREQ(p.second, qeSysPathPath(p.first.c_str())) << p.first;
    const struct {
        std::string path;
        int withExtension;
        const char* name;
    } names[] = {{"dir/scene.lws.ini", 0, "scene.lws"}, {"dir/scene.lws.ini", 1, "scene.lws.ini"},
                 {"C:\\a.b\\noext", 0, "noext"},       {"C:file.x", 0, "file"},
                 {"d/" + longFile + ".x", 1, ""},      {"d/f." + std::string(3000, 'e'), 0, "f"}};
    for (const auto& n : names) EXPECT_STREQ(n.name, qeSysPathFilename(n.path.c_str(), n.withExtension)) << n.path;
}

TEST_F(SysFileTest, DefaultJoinsAreBounded) {
    const std::string longest(QE_SYS_PATH_SIZE - 1, 'd');
    const std::string tooLong(QE_SYS_PATH_SIZE, 'd');
    EXPECT_EQ(qeSysSetDir(longest.c_str()), 0);
    EXPECT_EQ(std::string(qeSysGetDir()), longest);
    qeSysSetDir("kept");
    EXPECT_EQ(qeSysSetDir(tooLong.c_str()), -1);
    EXPECT_STREQ(qeSysGetDir(), "kept");

    // "kept" + '/' + name: 2047 characters fit, 2048 do not.
    const std::string fits(QE_SYS_PATH_SIZE - 1 - 5, 'n');
    const std::string overflows(QE_SYS_PATH_SIZE - 5, 'n');
    EXPECT_EQ(std::string(qeSysPathFull(fits.c_str())), "kept/" + fits);
    EXPECT_STREQ(qeSysPathFull(overflows.c_str()), "");
    EXPECT_EQ(qeSysChangeDir(overflows.c_str()), -1);
    EXPECT_STREQ(qeSysGetDir(), "kept");
    EXPECT_EQ(qeSysChangeDir(fits.c_str()), 0);
    EXPECT_EQ(std::string(qeSysGetDir()), "kept/" + fits);

    // A name whose full path is refused does not open (and does not fall back to the bare name).
    qeSysSetDir(longest.c_str());
    EXPECT_EQ(qeSysFileOpen("x", "rb"), nullptr);
}

TEST_F(SysFileTest, StringFunctions) {
    EXPECT_EQ(qeSysStrCaseCmp("Scene.QIRN", "scene.qirn"), 0);
    EXPECT_EQ(qeSysStrCaseCmp("abc", "abd"), 'c' - 'd');
    EXPECT_EQ(qeSysStrCaseCmp("ab", "a"), 'b');
    EXPECT_EQ(qeSysStrCaseCmp("", "A"), -'a');
    // Bytes above 127 are characters, not negative numbers.
    EXPECT_GT(qeSysStrCaseCmp("\xFF", "a"), 0);
    EXPECT_EQ(qeSysStrCaseCmp("\xE9t\xE9", "\xE9T\xE9"), 0);

    const char* path = "C:dir\\sub/file.x";
    EXPECT_EQ(qeSysBaseName(path), path + 10);
    const char* plain = "file.x";
    EXPECT_EQ(qeSysBaseName(plain), plain);
    EXPECT_STREQ(qeSysBaseName("dir/"), "");
}

// ---- Hooks ----

struct HookLog {
    std::string calls;
};

SysFile* memoryOpen(const char* name, const char* mode, void* context) {
    static_cast<HookLog*>(context)->calls += std::string("open ") + name + " " + mode + ";";
    if (std::string(name).find("missing") != std::string::npos) return nullptr;
    return qetest::openMemoryFile(std::string("content of ") + name);
}

int logSetDir(const char* path, void* context) {
    static_cast<HookLog*>(context)->calls += std::string("set ") + path + ";";
    return 0;
}
int logChangeDir(const char* path, void* context) {
    static_cast<HookLog*>(context)->calls += std::string("change ") + path + ";";
    return -1;
}
const char* logGetDir(void* context) {
    static_cast<HookLog*>(context)->calls += "get;";
    return "hooked dir";
}
const char* logPathOf(const char*, void*) { return "hooked path"; }
const char* logFileNameOf(const char*, int withExtension, void*) { return withExtension ? "name.ext" : "name"; }
const char* logFullPathOf(const char* path, void* context) {
    static_cast<HookLog*>(context)->calls += std::string("full ") + path + ";";
    return "Q:\\hooked\\full";
}

TEST_F(SysFileTest, OpenHookServesEveryOpen) {
    HookLog log;
    const SysFileOpenHook hook = {&log, memoryOpen};
    ASSERT_EQ(qeSysSetOpenHook(&hook), 0);
    SysFile* h = qeSysFileOpen("a.txt", "r");
    ASSERT_NE(h, nullptr);
    char text[32];
    ASSERT_NE(qeSysFileGets(text, sizeof(text), h), nullptr);
    EXPECT_STREQ(text, "content of a.txt");
    EXPECT_EQ(qeSysFileClose(h), 0);
    EXPECT_EQ(qeSysFileExist("b.txt"), 1);
    EXPECT_EQ(qeSysFileExist("missing"), 0);
    EXPECT_EQ(log.calls, "open a.txt r;open b.txt rb;open missing rb;");

    // The data-file search tests its candidates through the hook too.
    log.calls.clear();
    EXPECT_STREQ(qeSysFindDataFile("missing"), "missing");
    EXPECT_NE(log.calls.find("open shaders/missing rb;open shadersPP/missing rb;"), std::string::npos)
        << log.calls;

    qeSysSetOpenHook(nullptr);
    log.calls.clear();
    EXPECT_EQ(qeSysFileExist("b.txt"), 0);  // the default: no such file in the current directory
    EXPECT_EQ(log.calls, "");
}

TEST_F(SysFileTest, DirectoryAndPathHooksReplaceTheDefaults) {
    HookLog log;
    const SysDirHooks dirHooks = {&log, logSetDir, logChangeDir, logGetDir};
    qeSysSetDirHooks(&dirHooks);
    EXPECT_EQ(qeSysSetDir("one"), 0);
    EXPECT_EQ(qeSysChangeDir("two"), -1);
    EXPECT_STREQ(qeSysGetDir(), "hooked dir");
    EXPECT_EQ(log.calls, "set one;change two;get;");

    const SysPathHooks pathHooks = {&log, logPathOf, logFileNameOf, logFullPathOf};
    qeSysSetPathHooks(&pathHooks);
    EXPECT_STREQ(qeSysPathPath("a/b"), "hooked path");
    EXPECT_STREQ(qeSysPathFilename("a/b", 0), "name");
    EXPECT_STREQ(qeSysPathFilename("a/b", 1), "name.ext");
    log.calls.clear();
    // The default open asks the path hook for the full path.
    EXPECT_EQ(qeSysFileOpen("rel.txt", "rb"), nullptr);
    EXPECT_EQ(log.calls, "full rel.txt;");

    // Clearing the hooks brings the remembered directory back, as it was left.
    qeSysSetDirHooks(nullptr);
    qeSysSetPathHooks(nullptr);
    EXPECT_STREQ(qeSysGetDir(), "");
    qeSysChangeDir("two");
    EXPECT_STREQ(qeSysGetDir(), "two");
    EXPECT_STREQ(qeSysPathPath("a/b"), "a/");
}

// ---- The Windows file system ----

TEST_F(SysFileTest, WindowsFileSystem) {
    TempDir dir("sysfile");
    dir.mkdir("sub");
    dir.write("sub\\inside.txt", "in");
    EXPECT_EQ(qeSysFileSystemKindIs2or3(), 0);

    // Installing removes an open hook.
    HookLog log;
    const SysFileOpenHook hook = {&log, memoryOpen};
    qeSysSetOpenHook(&hook);
    ASSERT_EQ(qeSysSetupFileSystem(), 0);
    EXPECT_EQ(qeSysFileSystemKindIs2or3(), 0);

    ASSERT_EQ(qeSysSetDir(dir.path().c_str()), 0);
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof(cwd), cwd);
    const std::string expected = dir.path().substr(0, dir.path().size() - 1);
    EXPECT_EQ(qeSysStrCaseCmp(cwd, expected.c_str()), 0) << cwd;
    EXPECT_EQ(qeSysStrCaseCmp(qeSysGetDir(), expected.c_str()), 0) << qeSysGetDir();
    EXPECT_EQ(qeSysSetDir("no such folder"), -1);
    EXPECT_EQ(qeSysStrCaseCmp(qeSysGetDir(), expected.c_str()), 0);

    EXPECT_EQ(qeSysChangeDir("sub"), 0);
    EXPECT_EQ(qeSysFileExist("inside.txt"), 1);
    EXPECT_EQ(log.calls, "");
    EXPECT_EQ(qeSysStrCaseCmp(qeSysPathFull("inside.txt"), (dir.path() + "sub\\inside.txt").c_str()), 0)
        << qeSysPathFull("inside.txt");
    EXPECT_EQ(qeSysStrCaseCmp(qeSysPathFull("..\\sub\\.\\inside.txt"), (dir.path() + "sub\\inside.txt").c_str()), 0);

    EXPECT_STREQ(qeSysPathPath("C:\\a\\b\\c.txt"), "C:\\a\\b\\");
    EXPECT_STREQ(qeSysPathPath("name.txt"), "");
    EXPECT_STREQ(qeSysPathFilename("C:\\a\\b.c.txt", 0), "b.c");
    EXPECT_STREQ(qeSysPathFilename("C:\\a\\b.c.txt", 1), "b.c.txt");
    EXPECT_STREQ(qeSysPathFilename("C:\\a\\noext", 1), "noext");

    // Paths past the Windows limits come back empty, and such a name does not open.
    const std::string longName = std::string(300, 'n') + ".txt";
    EXPECT_STREQ(qeSysPathFull(longName.c_str()), "");
    EXPECT_EQ(qeSysFileOpen(longName.c_str(), "rb"), nullptr);
    EXPECT_STREQ(qeSysPathPath(("C:\\" + std::string(300, 'd') + "\\x").c_str()), "");
    EXPECT_STREQ(qeSysPathFilename(("C:\\" + std::string(300, 'f') + ".x").c_str(), 1), "");

    SetCurrentDirectoryA(cwd_);  // leave the folder so that it can be removed
}

}  // namespace
