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

TEST_F(SysFileTest, DefaultHandleReadsSeeksAndResolvesAgainstTheRememberedDirectory) {
    TempDir dir("sysfile");
    const std::string file = dir.write("data.bin", "first line\nsecond\nxyz");
    SysFile* h = qeSysFileOpen(file.c_str(), "rb");
    ASSERT_NE(h, nullptr);
    char line[64];
    ASSERT_EQ(qeSysFileGets(line, sizeof(line), h), line);
    EXPECT_EQ(qeSysFileTell(h), 11);
    EXPECT_EQ(qeSysFileSeek(h, -3, SEEK_END), 0);
    char tail[4] = {};
    EXPECT_EQ(qeSysFileRead(tail, 1, 3, h), 3u);
    EXPECT_STREQ(tail, "xyz");
    EXPECT_EQ(qeSysFileGetc(h), EOF);
    EXPECT_EQ(qeSysFileClose(h), 0);
    EXPECT_EQ(qeSysFileClose(nullptr), -1);  // no handle: a failure, not a crash

    // An absolute name opens as it is, a relative one against the remembered directory.
    ASSERT_EQ(qeSysSetDir("some\\other\\folder"), 0);
    EXPECT_EQ(qeSysFileExist(file.c_str()), 1);
    EXPECT_EQ(qeSysFileExist("data.bin"), 0);
    ASSERT_EQ(qeSysSetDir(dir.path().c_str()), 0);
    EXPECT_EQ(qeSysFileExist("data.bin"), 1);
}

TEST_F(SysFileTest, DefaultDirectoryJoinsAndPathSplittingAreBounded) {
    // (directory set, directory changed to, directory then)
    const char* joins[][3] = {{"a", "b", "a/b"}, {"a\\", "b", "a\\b"}, {"C:", "x", "C:x"}, {"base", "D:\\data", "D:\\data"}};
    for (const auto& j : joins) {
        qeSysSetDir(j[0]);
        qeSysChangeDir(j[1]);
        EXPECT_STREQ(j[2], qeSysGetDir()) << j[0] << " + " << j[1];
    }
    // Results that would not fit come back empty.
    const std::string longFile(3000, 'f');
    const std::pair<std::string, const char*> paths[] = {
        {"name", ""}, {"a\\b/c", "a\\b/"}, {"C:name", "C:"}, {std::string(3000, 'p') + "/", ""}, {"d/" + longFile, "d/"}};
    for (const auto& p : paths) EXPECT_STREQ(p.second, qeSysPathPath(p.first.c_str())) << p.first;
    EXPECT_STREQ("scene.lws", qeSysPathFilename("dir/scene.lws.ini", 0));
    EXPECT_STREQ("", qeSysPathFilename(("d/" + longFile + ".x").c_str(), 1));
    EXPECT_STREQ("f", qeSysPathFilename(("d/f." + longFile).c_str(), 0));

    EXPECT_EQ(qeSysStrCaseCmp("abc", "ABD"), 'c' - 'd');
    // Bytes above 127 are characters, not negative numbers.
    EXPECT_GT(qeSysStrCaseCmp("\xFF", "a"), 0);
    EXPECT_EQ(qeSysStrCaseCmp("\xE9t\xE9", "\xE9T\xE9"), 0);
    EXPECT_STREQ(qeSysBaseName("C:dir\\sub/file.x"), "file.x");

    const std::string longest(QE_SYS_PATH_SIZE - 1, 'd');
    qeSysSetDir("kept");
    EXPECT_EQ(qeSysSetDir(std::string(QE_SYS_PATH_SIZE, 'd').c_str()), -1);
    EXPECT_STREQ(qeSysGetDir(), "kept");
    // "kept" + '/' + name: 2047 characters fit, 2048 do not.
    const std::string fits(QE_SYS_PATH_SIZE - 1 - 5, 'n');
    const std::string overflows(QE_SYS_PATH_SIZE - 5, 'n');
    EXPECT_EQ(std::string(qeSysPathFull(fits.c_str())), "kept/" + fits);
    EXPECT_STREQ(qeSysPathFull(overflows.c_str()), "");
    EXPECT_EQ(qeSysChangeDir(overflows.c_str()), -1);
    EXPECT_STREQ(qeSysGetDir(), "kept");
    // A name whose full path is refused does not open (and does not fall back to the bare name).
    qeSysSetDir(longest.c_str());
    EXPECT_EQ(qeSysFileOpen("x", "rb"), nullptr);
}

std::string g_calls;

SysFile* memoryOpen(const char* name, const char* mode, void*) {
    g_calls += std::string("open ") + name + " " + mode + ";";
    if (std::string(name).find("missing") != std::string::npos) return nullptr;
    return qetest::openMemoryFile(std::string("content of ") + name);
}

TEST_F(SysFileTest, HooksServeOpensAndPaths) {
    g_calls.clear();
    const SysFileOpenHook hook = {nullptr, memoryOpen};
    ASSERT_EQ(qeSysSetOpenHook(&hook), 0);
    SysFile* h = qeSysFileOpen("a.txt", "r");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(qeSysFileGetc(h), 'c');
    EXPECT_EQ(qeSysFileClose(h), 0);
    EXPECT_EQ(qeSysFileExist("missing"), 0);
    EXPECT_EQ(g_calls, "open a.txt r;open missing rb;");
    // The data-file search tests its candidates through the hook too.
    EXPECT_STREQ(qeSysFindDataFile("missing"), "missing");
    EXPECT_NE(g_calls.find("open shaders/missing rb;open shadersPP/missing rb;"), std::string::npos) << g_calls;
    qeSysSetOpenHook(nullptr);

    const SysPathHooks pathHooks = {nullptr, [](const char*, void*) { return "hooked path"; },
                                    [](const char*, int, void*) { return "name"; },
                                    [](const char* path, void*) {
                                        g_calls = std::string("full ") + path;
                                        return "Q:\\hooked\\full";
                                    }};
    qeSysSetPathHooks(&pathHooks);
    EXPECT_STREQ(qeSysPathPath("a/b"), "hooked path");
    // The default open asks the path hook for the full path.
    EXPECT_EQ(qeSysFileOpen("rel.txt", "rb"), nullptr);
    EXPECT_EQ(g_calls, "full rel.txt");
    qeSysSetPathHooks(nullptr);
    EXPECT_STREQ(qeSysPathPath("a/b"), "a/");
}

TEST_F(SysFileTest, WindowsFileSystem) {
    TempDir dir("sysfile");
    dir.mkdir("sub");
    dir.write("sub\\inside.txt", "in");
    g_calls.clear();
    const SysFileOpenHook hook = {nullptr, memoryOpen};
    qeSysSetOpenHook(&hook);
    ASSERT_EQ(qeSysSetupFileSystem(), 0);  // installing removes an open hook
    EXPECT_EQ(qeSysFileSystemKindIs2or3(), 0);

    ASSERT_EQ(qeSysSetDir(dir.path().c_str()), 0);
    const std::string expected = dir.path().substr(0, dir.path().size() - 1);
    EXPECT_EQ(qeSysStrCaseCmp(qeSysGetDir(), expected.c_str()), 0) << qeSysGetDir();
    EXPECT_EQ(qeSysChangeDir("sub"), 0);
    EXPECT_EQ(qeSysFileExist("inside.txt"), 1);
    EXPECT_EQ(g_calls, "");
    EXPECT_EQ(qeSysStrCaseCmp(qeSysPathFull("..\\sub\\.\\inside.txt"), (dir.path() + "sub\\inside.txt").c_str()), 0);
    EXPECT_STREQ(qeSysPathFilename("C:\\a\\b.c.txt", 0), "b.c");

    // A path past MAX_PATH that the system takes has its full path, and opens.
    std::string deep;
    for (char part = 'a'; part <= 'e'; ++part) deep += std::string(60, part) + "\\";
    dir.mkdir(deep.substr(0, deep.size() - 1));
    const std::string deepName = dir.write(deep + "deep.txt", "deep");
    ASSERT_GT(deepName.size(), 300u);
    EXPECT_EQ(qeSysStrCaseCmp(qeSysPathFull(deepName.c_str()), deepName.c_str()), 0) << qeSysPathFull(deepName.c_str());
    EXPECT_EQ(qeSysFileExist(deepName.c_str()), 1);

    // Paths past the Windows limits come back empty, and such a name does not open.
    const std::string longName = std::string(300, 'n') + ".txt";
    EXPECT_STREQ(qeSysPathFull(longName.c_str()), "");
    EXPECT_EQ(qeSysFileOpen(longName.c_str(), "rb"), nullptr);
    EXPECT_STREQ(qeSysPathFilename(("C:\\" + std::string(300, 'f') + ".x").c_str(), 1), "");
    SetCurrentDirectoryA(cwd_);  // leave the folder so that it can be removed
}

TEST_F(SysFileTest, ReadWholeFileGivesTheBytesAndAZeroAfterThem) {
    TempDir dir("readwhole");
    const std::string content("ab\0cd\r\n", 7);
    size_t size = 99;
    char* bytes = qeSysReadWholeFile(dir.write("f.bin", content).c_str(), &size);
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(content, std::string(bytes, size));
    EXPECT_EQ(0, bytes[size]);
    std::free(bytes);
    bytes = qeSysReadWholeFile(dir.write("empty.bin", "").c_str(), &size);
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(0u, size);
    std::free(bytes);
    size = 99;
    EXPECT_EQ(nullptr, qeSysReadWholeFile((dir.path() + "missing.bin").c_str(), &size));
    EXPECT_EQ(0u, size);
}

TEST_F(SysFileTest, MakeFoldersMakesEveryMissingFolderAtAnyLength) {
    TempDir dir("makefolders");
    std::string relative = "x/";
    for (char part = 'a'; part <= 'e'; ++part) relative += std::string(60, part) + (part % 2 ? "\\" : "/");
    const std::string deep = dir.path() + relative;
    ASSERT_GT(deep.size(), 300u);
    ASSERT_TRUE(qeSysMakeFolders(deep.c_str())) << GetLastError();
    EXPECT_TRUE(qetest::exists(dir.write(relative + "f.txt", "f")));
    EXPECT_TRUE(qeSysMakeFolders(deep.c_str()));  // there already

    // A file where a folder must go: refused, and the system says why.
    dir.write("file", "not a folder");
    EXPECT_FALSE(qeSysMakeFolders((dir.path() + "file\\below").c_str()));
    EXPECT_NE(0u, GetLastError());
    EXPECT_FALSE(qeSysMakeFolders(""));
}

}  // namespace
