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

TEST(WinMain, ToolFormsScriptsAndRefusedNamesStartNoEngine) {
    qetest::BoxRecorder recorder;
    EXPECT_EQ(0, run({"qirn.exe", "-exersc", "x"}));
    EXPECT_TRUE(recorder.boxes().empty());
    EXPECT_EQ(-1, run({"qirn.exe", "notes.txt"}));
    ASSERT_EQ(1u, recorder.boxes().size());
    EXPECT_EQ("File format of 'notes.txt' is not supported", qetest::BoxRecorder::text(0));
    // "-demoexe" with one value is no tool form: the value is the file.
    EXPECT_EQ(-1, run({"qirn.exe", "-demoexe", "out.exe"}));
    EXPECT_EQ("File format of 'out.exe' is not supported", qetest::BoxRecorder::text(1));
    // No name: the file requester asks (the test main cancels it), no box.
    EXPECT_EQ(-1, run({"qirn.exe", "-paused"}));
    EXPECT_EQ(2u, recorder.boxes().size());
    EXPECT_EQ(0, run({"qirn.exe", "intro.lua"}));  // a script starts no engine itself
    EXPECT_EQ(0, qeIrrlichtIsSetup());
}

}  // namespace
