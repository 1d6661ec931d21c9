// iniparser_load reads through the file layer and builds the library's dictionary.
#include <gtest/gtest.h>
#include <iniparser/iniparser.h>

#include <string>

#include "file_fixtures.h"
#include "sysfile.h"

using qetest::TempDir;

namespace {

class IniLoadTest : public testing::Test {
protected:
    void SetUp() override {
        qeSysSetOpenHook(nullptr);
        qeSysSetDir("");
    }
    void TearDown() override { qeSysSetOpenHook(nullptr); }

    // Loads a file with the given text and gives the dictionary and what went to the error stream.
    dictionary* load(const std::string& text, std::string* errors = nullptr) {
        const std::string file = dir_.write("test.ini", text);
        testing::internal::CaptureStderr();
        dictionary* d = iniparser_load(file.c_str());
        const std::string printed = testing::internal::GetCapturedStderr();
        if (errors) *errors = printed;
        return d;
    }

    TempDir dir_{"iniload"};
};

TEST_F(IniLoadTest, SectionsKeysAndValues) {
    dictionary* d = load(
        "; a comment\r\n"
        "# another\r\n"
        "[Setup]\r\n"
        "Width = 1280\r\n"
        "height=720 ; trailing comment\r\n"
        "Title = \"A  \\\"quoted\\\" ; name\"\r\n"
        "single = 'x y'\r\n"
        "empty =\r\n"
        "emptyQuotes = \"\"\r\n"
        "\r\n"
        "[ Part One ]\n"
        "scene = parts/one.qirn\n"
        "long = first \\\n"
        "  second\n"
        "colour = 0x20FF40\n"
        "last = no newline");
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(iniparser_getnsec(d), 2);
    EXPECT_STREQ(iniparser_getsecname(d, 0), "setup");
    EXPECT_STREQ(iniparser_getsecname(d, 1), "part one");
    EXPECT_EQ(iniparser_getint(d, "setup:width", -1), 1280);
    EXPECT_EQ(iniparser_getint(d, "Setup:Height", -1), 720);
    EXPECT_STREQ(iniparser_getstring(d, "setup:title", nullptr), "A  \"quoted\" ; name");
    EXPECT_STREQ(iniparser_getstring(d, "setup:single", nullptr), "x y");
    EXPECT_STREQ(iniparser_getstring(d, "setup:empty", nullptr), "");
    EXPECT_STREQ(iniparser_getstring(d, "setup:emptyquotes", nullptr), "");
    EXPECT_EQ(iniparser_getsecnkeys(d, "setup"), 6);
    EXPECT_STREQ(iniparser_getstring(d, "part one:scene", nullptr), "parts/one.qirn");
    EXPECT_STREQ(iniparser_getstring(d, "part one:long", nullptr), "first   second");
    EXPECT_EQ(iniparser_getint(d, "part one:colour", 0), 0x20FF40);
    EXPECT_STREQ(iniparser_getstring(d, "part one:last", nullptr), "no newline");
    EXPECT_EQ(iniparser_getint(d, "setup:missing", 7), 7);
    iniparser_freedict(d);

    // An empty file is an empty dictionary.
    d = load("");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(iniparser_getnsec(d), 0);
    iniparser_freedict(d);
}

TEST_F(IniLoadTest, BrokenFilesGiveAnErrorAndNoDictionary) {
    std::string errors;
    EXPECT_EQ(load("[ok]\na = 1\nthis line has no equals sign\nb = 2\n", &errors), nullptr);
    EXPECT_NE(errors.find("iniparser: syntax error in "), std::string::npos) << errors;
    EXPECT_NE(errors.find("test.ini (3):\n-> this line has no equals sign\n"), std::string::npos) << errors;

    EXPECT_EQ(load("[s]\nkey = " + std::string(1100, 'v') + "\nother = 1\n", &errors), nullptr);
    EXPECT_NE(errors.find("iniparser: input line too long in "), std::string::npos) << errors;
    EXPECT_NE(errors.find("test.ini (2)"), std::string::npos) << errors;

    // Continued lines that together pass the line size.
    std::string continued = "[s]\nkey = ";
    for (int i = 0; i < 40; ++i) continued += std::string(40, 'c') + "\\\n";
    continued += "end\n";
    EXPECT_EQ(load(continued, &errors), nullptr);
    EXPECT_NE(errors.find("iniparser: input line too long in "), std::string::npos) << errors;

    // Bytes that are no text at all: an error, not a crash.
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131 + 7) & 0xFF);
    EXPECT_EQ(load(binary, &errors), nullptr);
    EXPECT_NE(errors.find("iniparser: "), std::string::npos) << errors;

    // Odd but valid lines.
    dictionary* d = load("[]\n[\xC9T\xC9]\n=\n", &errors);
    EXPECT_EQ(d, nullptr);  // "=" has no key
    d = load("[]\nk=v\n[\xC9T\xC9]\n", &errors);
    ASSERT_NE(d, nullptr) << errors;
    EXPECT_STREQ(iniparser_getstring(d, ":k", nullptr), "v");
    ASSERT_EQ(iniparser_getnsec(d), 2);
    EXPECT_STREQ(iniparser_getsecname(d, 1), "\xC9t\xC9");
    iniparser_freedict(d);

    testing::internal::CaptureStderr();
    EXPECT_EQ(iniparser_load((dir_.path() + "missing.ini").c_str()), nullptr);
    errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors, "iniparser: cannot open " + dir_.path() + "missing.ini\n");
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
