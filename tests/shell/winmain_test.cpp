#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine.h"
#include "launch.h"
#include "shell_fixtures.h"
#include "sys.h"

namespace {

int run(std::initializer_list<const char*> list) {
    std::vector<char*> argv;
    for (const char* a : list) argv.push_back(const_cast<char*>(a));
    argv.push_back(nullptr);
    return qeMain(static_cast<int>(argv.size()) - 1, argv.data());
}

struct WinMainFixture : testing::Test {
    qetest::BoxRecorder recorder;
    std::vector<std::string>& g_boxes = qetest::BoxRecorder::boxes();
};

TEST_F(WinMainFixture, ToolFormsReturnWithoutStartingTheEngine) {
    EXPECT_EQ(0, run({"qirn.exe", "-exersc", "x"}));
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(0, run({"qirn.exe", "-demoexe", "out.exe", "party.demo.ini"}));
    EXPECT_EQ(0, qeIrrlichtIsSetup());
}

TEST_F(WinMainFixture, UnsupportedNamesAndACancelledRequesterEndWithMinusOne) {
    EXPECT_EQ(-1, run({"qirn.exe", "notes.txt"}));
    ASSERT_EQ(1u, g_boxes.size());
    EXPECT_EQ("File format of 'notes.txt' is not supported", qetest::BoxRecorder::text(0));

    // "-demoexe" with one value is no tool form: the value is the file.
    EXPECT_EQ(-1, run({"qirn.exe", "-demoexe", "out.exe"}));
    ASSERT_EQ(2u, g_boxes.size());
    EXPECT_EQ("File format of 'out.exe' is not supported", qetest::BoxRecorder::text(1));

    EXPECT_EQ(-1, run({"qirn.exe", "README"}));
    // No name: the file requester asks (the test main cancels it), no box.
    EXPECT_EQ(-1, run({"qirn.exe", "-paused"}));
    EXPECT_EQ(3u, g_boxes.size());
    EXPECT_EQ(0, qeIrrlichtIsSetup());
}

TEST_F(WinMainFixture, AScriptStartsNoEngineItself) {
    EXPECT_EQ(0, run({"qirn.exe", "intro.lua"}));
    EXPECT_EQ(0, qeIrrlichtIsSetup());
}

}  // namespace
