// iniparser_load reads through the file layer and builds the library's dictionary.
#include <gtest/gtest.h>
#include <iniparser/iniparser.h>

#include <string>

#include "file_fixtures.h"
#include "sysfile.h"

namespace {

class IniLoadTest : public testing::Test {
protected:
    void SetUp() override {
        qeSysSetOpenHook(nullptr);
        qeSysSetDir("");
    }
    void TearDown() override { qeSysSetOpenHook(nullptr); }

    // Loads a file with the given text; what went to the error stream lands in errors.
    dictionary* load(const std::string& text) {
        const std::string file = dir_.write("test.ini", text);
        testing::internal::CaptureStderr();
        dictionary* d = iniparser_load(file.c_str());
        errors = testing::internal::GetCapturedStderr();
        return d;
    }

    qetest::TempDir dir_{"iniload"};
    std::string errors;
};

TEST_F(IniLoadTest, SectionsKeysAndValues) {
    dictionary* d = load(
        "; a comment\r\n[Setup]\r\nWidth = 1280 ; trailing comment\r\nTitle = \"A \\\"quoted\\\" ; name\"\r\n"
        "empty =\r\n[ Part One ]\nlong = first \\\n  second\nlast = no newline");
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(iniparser_getsecname(d, 1), "part one");
    EXPECT_EQ(iniparser_getint(d, "Setup:Width", -1), 1280);
    EXPECT_STREQ(iniparser_getstring(d, "setup:title", nullptr), "A \"quoted\" ; name");
    EXPECT_STREQ(iniparser_getstring(d, "part one:long", nullptr), "first   second");
    EXPECT_STREQ(iniparser_getstring(d, "part one:last", nullptr), "no newline");
    iniparser_freedict(d);
}

TEST_F(IniLoadTest, BrokenFilesGiveAnErrorAndNoDictionary) {
    EXPECT_EQ(load("[ok]\na = 1\nthis line has no equals sign\nb = 2\n"), nullptr);
    EXPECT_NE(errors.find("iniparser: syntax error in "), std::string::npos) << errors;
    EXPECT_NE(errors.find("test.ini (3):\n-> this line has no equals sign\n"), std::string::npos) << errors;

    EXPECT_EQ(load("[s]\nkey = " + std::string(1100, 'v') + "\nother = 1\n"), nullptr);
    EXPECT_NE(errors.find("iniparser: input line too long in "), std::string::npos) << errors;
    EXPECT_NE(errors.find("test.ini (2)"), std::string::npos) << errors;

    // Continued lines that together pass the line size.
    std::string continued = "[s]\nkey = ";
    for (int i = 0; i < 40; ++i) continued += std::string(40, 'c') + "\\\n";
    EXPECT_EQ(load(continued + "end\n"), nullptr);
    EXPECT_NE(errors.find("iniparser: input line too long in "), std::string::npos) << errors;
    // Bytes that are no text at all: an error, not a crash.
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131 + 7) & 0xFF);
    EXPECT_EQ(load(binary), nullptr);
    EXPECT_NE(errors.find("iniparser: "), std::string::npos) << errors;

    testing::internal::CaptureStderr();
    EXPECT_EQ(iniparser_load((dir_.path() + "missing.ini").c_str()), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "iniparser: cannot open " + dir_.path() + "missing.ini\n");
}

SysFile* hookOpen(const char* name, const char* mode, void* context) {
    *static_cast<std::string*>(context) += std::string(name) + " " + mode + ";";
    return qetest::openMemoryFile("[Hooked]\nKey = from the hook\n");
}

TEST_F(IniLoadTest, ReadsThroughTheFileLayer) {
    // A relative name resolves against the layer's current directory, not the process's.
    dir_.write("rel.ini", "[r]\nv = 3\n");
    qeSysSetDir(dir_.path().c_str());
    dictionary* d = iniparser_load("rel.ini");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(iniparser_getint(d, "r:v", 0), 3);
    iniparser_freedict(d);

    std::string opened;
    const SysFileOpenHook hook = {&opened, hookOpen};
    qeSysSetOpenHook(&hook);
    d = iniparser_load("virtual.ini");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(opened, "virtual.ini rb;");
    EXPECT_STREQ(iniparser_getstring(d, "hooked:key", nullptr), "from the hook");
    iniparser_freedict(d);
}

}  // namespace
