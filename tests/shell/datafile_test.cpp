// The data-file search over real folders. The search directories cannot be removed, so one test
// builds the whole layout and fills the list to its end.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "file_fixtures.h"
#include "sysfile.h"

namespace {

TEST(DataFileSearch, OrderOfFoldersAndLimits) {
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof(previous), previous);
    {
        qetest::TempDir root("datafile");
        for (const char* top : {"work", "one", "two", "base"})
            for (const char* sub : {"shaders", "shadersPP", "shadersSURF", "shadersSURF2", "shadersHV", "textures"})
                root.mkdir(std::string(top) + "\\" + sub);
        for (const char* file : {"work\\shadersPP\\pp.txt", "one\\shadersPP\\pp.txt", "work\\shaders\\both.txt",
                                 "work\\textures\\both.txt", "one\\shadersHV\\order.txt", "two\\shaders\\order.txt",
                                 "one\\shadersSURF2\\deep.txt", "base\\deep.txt", "one\\plain.txt",
                                 "base\\basefile.txt", "base\\shadersSURF\\basefile.txt"})
            root.write(file, "");
        const std::string base = root.path() + "base\\";
        // Search directories are given without a trailing separator: the search adds a slash.
        const std::string one = root.path() + "one", two = root.path() + "two";
        ASSERT_EQ(qeSysSetupFileSystem(), 0);
        ASSERT_EQ(qeSysSetDir((root.path() + "work").c_str()), 0);
        ASSERT_EQ(qeSysSetBaseDir(base.c_str()), 0);
        ASSERT_EQ(qeSysAddSearchDirectory(one.c_str()), 0);
        ASSERT_EQ(qeSysAddSearchDirectory(two.c_str()), 0);

        EXPECT_STREQ(qeSysFindDataFile("pp.txt"), "shadersPP/pp.txt");  // the current folder first
        EXPECT_STREQ(qeSysFindDataFile("both.txt"), "shaders/both.txt");
        // Sub-folder order comes before the order of the search directories.
        EXPECT_EQ(std::string(qeSysFindDataFile("order.txt")), two + "/shaders/order.txt");
        EXPECT_EQ(std::string(qeSysFindDataFile("deep.txt")), one + "/shadersSURF2/deep.txt");
        EXPECT_EQ(std::string(qeSysFindDataFile("basefile.txt")), base + "basefile.txt");
        // A search directory itself is not searched; a name found nowhere comes back as it is.
        const char* plain = "plain.txt";
        EXPECT_EQ(qeSysFindDataFile(plain), plain);
        // A name too long for any candidate is refused candidate by candidate, never written past the buffer.
        const std::string huge(QE_SYS_PATH_SIZE + 100, 'h');
        EXPECT_EQ(qeSysFindDataFile(huge.c_str()), huge.c_str());

        // The base directory keeps at most 2047 characters; a longer one is refused and the old one stays.
        EXPECT_EQ(qeSysSetBaseDir(std::string(QE_SYS_PATH_SIZE, 'b').c_str()), -1);
        EXPECT_EQ(std::string(qeSysGetBaseDirectory()), base);
        // Ten search directories at most; a path of 2047 characters is kept, 2048 and NULL are refused.
        EXPECT_EQ(qeSysAddSearchDirectory(nullptr), -1);
        EXPECT_EQ(qeSysAddSearchDirectory(std::string(QE_SYS_PATH_SIZE, 's').c_str()), -1);
        EXPECT_EQ(qeSysAddSearchDirectory(std::string(QE_SYS_PATH_SIZE - 1, 's').c_str()), 0);
        for (int i = 3; i < 10; ++i) EXPECT_EQ(qeSysAddSearchDirectory("more"), 0) << i;
        EXPECT_EQ(qeSysAddSearchDirectory("eleventh"), -1);
        // The search still works past the directory whose candidates cannot be built.
        EXPECT_EQ(std::string(qeSysFindDataFile("basefile.txt")), base + "basefile.txt");
        SetCurrentDirectoryA(previous);
    }
}

}  // namespace
