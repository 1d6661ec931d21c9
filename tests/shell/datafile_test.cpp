// The data-file search over real folders. The search directories cannot be removed, so one test
// builds the whole layout and fills the list to its end.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "file_fixtures.h"
#include "sysfile.h"

using qetest::TempDir;

namespace {

TEST(DataFileSearch, OrderOfFoldersAndLimits) {
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof(previous), previous);
    {
        TempDir root("datafile");
        const std::string work = root.mkdir("work");
        const std::string one = root.mkdir("one");
        const std::string two = root.mkdir("two");
        const std::string base = root.mkdir("base");
        for (const char* sub : {"shaders", "shadersPP", "shadersSURF", "shadersSURF2", "shadersHV", "textures"}) {
            root.mkdir(std::string("work\\") + sub);
            root.mkdir(std::string("one\\") + sub);
            root.mkdir(std::string("two\\") + sub);
            root.mkdir(std::string("base\\") + sub);
        }
        // The current folder and its sub-folders.
        root.write("work\\here.txt", "");
        root.write("work\\shadersPP\\pp.txt", "");
        root.write("work\\shaders\\both.txt", "");
        root.write("work\\textures\\both.txt", "");
        root.write("work\\textures\\near.txt", "");
        root.write("one\\shaders\\near.txt", "");
        // The search directories: sub-folder order comes before the order of the directories.
        root.write("one\\shadersHV\\order.txt", "");
        root.write("two\\shaders\\order.txt", "");
        root.write("one\\shadersSURF\\first.txt", "");
        root.write("two\\shadersSURF\\first.txt", "");
        root.write("one\\shadersSURF2\\deep.txt", "");
        root.write("base\\deep.txt", "");
        root.write("one\\plain.txt", "");
        // The base directory, then its sub-folders.
        root.write("base\\basefile.txt", "");
        root.write("base\\shadersSURF\\basefile.txt", "");
        root.write("base\\shadersPP\\onlypp.txt", "");
        root.write("base\\textures\\tex.png", "");

        ASSERT_EQ(qeSysSetupFileSystem(), 0);
        ASSERT_EQ(qeSysSetDir(work.c_str()), 0);
        ASSERT_EQ(qeSysSetBaseDir(base.c_str()), 0);
        EXPECT_EQ(std::string(qeSysGetBaseDirectory()), base);
        // Search directories are given without a trailing separator: the search adds a slash.
        const std::string searchOne = one.substr(0, one.size() - 1);
        const std::string searchTwo = two.substr(0, two.size() - 1);
        ASSERT_EQ(qeSysAddSearchDirectory(searchOne.c_str()), 0);
        ASSERT_EQ(qeSysAddSearchDirectory(searchTwo.c_str()), 0);

        const char* name = "here.txt";
        EXPECT_EQ(qeSysFindDataFile(name), name);
        EXPECT_STREQ(qeSysFindDataFile("pp.txt"), "shadersPP/pp.txt");
        EXPECT_STREQ(qeSysFindDataFile("both.txt"), "shaders/both.txt");
        EXPECT_STREQ(qeSysFindDataFile("near.txt"), "textures/near.txt");
        EXPECT_EQ(std::string(qeSysFindDataFile("order.txt")), searchTwo + "/shaders/order.txt");
        EXPECT_EQ(std::string(qeSysFindDataFile("first.txt")), searchOne + "/shadersSURF/first.txt");
        EXPECT_EQ(std::string(qeSysFindDataFile("deep.txt")), searchOne + "/shadersSURF2/deep.txt");
        EXPECT_EQ(std::string(qeSysFindDataFile("basefile.txt")), base + "basefile.txt");
        EXPECT_EQ(std::string(qeSysFindDataFile("onlypp.txt")), base + "shadersPP/onlypp.txt");
        EXPECT_EQ(std::string(qeSysFindDataFile("tex.png")), base + "textures/tex.png");
        // A search directory itself is not searched; a name found nowhere comes back as it is.
        const char* plain = "plain.txt";
        EXPECT_EQ(qeSysFindDataFile(plain), plain);
        const char* nowhere = "nowhere.txt";
        EXPECT_EQ(qeSysFindDataFile(nowhere), nowhere);
        EXPECT_EQ(qeSysFindDataFile(nullptr), nullptr);

        // A name too long for any candidate is refused candidate by candidate, never written past the
        // buffer.
        const std::string huge(QE_SYS_PATH_SIZE + 100, 'h');
        EXPECT_EQ(qeSysFindDataFile(huge.c_str()), huge.c_str());

        // The base directory keeps at most 2047 characters; a longer one is refused and the old one stays.
        EXPECT_EQ(qeSysSetBaseDir(std::string(QE_SYS_PATH_SIZE, 'b').c_str()), -1);
        EXPECT_EQ(std::string(qeSysGetBaseDirectory()), base);
        EXPECT_EQ(qeSysSetBaseDir(nullptr), -1);

        // Ten search directories at most; a path of 2047 characters is kept, 2048 and NULL are refused.
        EXPECT_EQ(qeSysAddSearchDirectory(nullptr), -1);
        EXPECT_EQ(qeSysAddSearchDirectory(std::string(QE_SYS_PATH_SIZE, 's').c_str()), -1);
        EXPECT_EQ(qeSysAddSearchDirectory(std::string(QE_SYS_PATH_SIZE - 1, 's').c_str()), 0);
        for (int i = 3; i < 10; ++i) EXPECT_EQ(qeSysAddSearchDirectory("more"), 0) << i;
        EXPECT_EQ(qeSysAddSearchDirectory("eleventh"), -1);
        // The search still works past the directory whose candidates cannot be built.
        EXPECT_EQ(std::string(qeSysFindDataFile("basefile.txt")), base + "basefile.txt");

        qeSysSetDirHooks(nullptr);
        qeSysSetPathHooks(nullptr);
        SetCurrentDirectoryA(previous);
    }
}

}  // namespace
