#include "launch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine.h"
#include "shell_fixtures.h"
#include "sys.h"

namespace {

struct Args {
    std::vector<char*> argv;
    Args(std::initializer_list<const char*> list) {
        for (const char* a : list) argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(argv.size()) - 1; }
};

TEST(Launch, ToolFormsNeedTheirExactArgumentCounts) {
    const struct {
        Args args;
        int tool;
    } cases[] = {{{"qirn.exe", "-binary", "a.lws.ini", "extra"}, QE_TOOL_BINARY},
                 {{"qirn.exe", "-demoexe", "out.exe", "x.demo.ini"}, QE_TOOL_DEMOEXE},
                 {{"qirn.exe", "-demodat", "out.exe", "x.demo.ini"}, QE_TOOL_DEMODAT},
                 {{"qirn.exe", "-exersc", "x"}, QE_TOOL_EXERSC},
                 {{"qirn.exe", "-demoexe", "out.exe"}, QE_TOOL_NONE},
                 {{"qirn.exe", "scene.qirn", "-binary"}, QE_TOOL_NONE}};
    for (auto& c : cases) {
        Args args = c.args;
        EXPECT_EQ(c.tool, qeLaunchToolForm(args.argc(), args.argv.data())) << args.argv[1];
    }
    // With the wrong count the tool word is an unknown option and the next argument the file.
    Args shortForm{"qirn.exe", "-demoexe", "out.exe"};
    LaunchOptions o;
    qeLaunchDefaults(&o);
    EXPECT_STREQ("out.exe", qeLaunchParseOptions(shortForm.argc(), shortForm.argv.data(), &o));
}

TEST(Launch, OptionsSetFlagsAndDisplayValues) {
    Args args{"qirn.exe", "-framestart", "12", "-paused", "-ride", "-nomusic", "-syncupdate", "-noidleinactive",
              "-display", "800x600x32", "-windowpos", "10,20", "-stereo", "abc", "first.qirn", "second.qirn"};
    LaunchOptions o;
    qeLaunchDefaults(&o);
    EXPECT_EQ(0x21, o.flags);
    EXPECT_STREQ("first.qirn", qeLaunchParseOptions(args.argc(), args.argv.data(), &o));
    EXPECT_EQ(0x01 | 0x04 | 0x08 | 0x10 | 0x40 | 0x80, o.flags);
    EXPECT_EQ(12, o.startFrame);
    EXPECT_EQ(600, o.display.height);
    EXPECT_EQ(20, o.display.windowY);
    EXPECT_EQ(0, o.display.stereo);  // non-numeric text reads as 0

    // An option standing last reads nothing past the end.
    for (const char* option : {"-framestart", "-display", "-windowed", "-windowpos", "-stereo", "-vsync",
                               "-rideopts", "-ridespeed"}) {
        Args last{"qirn.exe", "scene.qirn", option};
        LaunchOptions l;
        qeLaunchDefaults(&l);
        EXPECT_STREQ("scene.qirn", qeLaunchParseOptions(last.argc(), last.argv.data(), &l)) << option;
        EXPECT_EQ(-1, l.display.stereo) << option;
    }
}

TEST(Launch, RunModeComesFromTheName) {
    const struct {
        const char* name;
        int mode, dialog;  // dialog -1: not looked at
    } cases[] = {{"party.demo.ini.bak", QE_RUN_DEMO, 1},        {"C:\\demo\\SCENE.QIRN", QE_RUN_SCENE_VIEWER, 0},
                 {"scene.lws.ini", QE_RUN_SCENE_VIEWER, 0},     {"box.X", QE_RUN_OBJECT_VIEWER, 0},
                 {"intro.XLUA", QE_RUN_SCRIPT, 0},              {"README", QE_RUN_NONE, -1},
                 {"party.DEMO.INI", QE_RUN_NONE, -1},  // the demo match keeps case
                 {nullptr, QE_RUN_NONE, -1}};
    for (const auto& c : cases) {
        int dialog = -1;
        EXPECT_EQ(c.mode, qeLaunchRunModeOf(c.name, &dialog)) << (c.name ? c.name : "(null)");
        if (c.dialog >= 0) {
            EXPECT_EQ(c.dialog, dialog) << c.name;
        }
    }
}

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

namespace {
std::string g_resetOrder;
void resetA() { g_resetOrder += "A"; }
void resetB() { g_resetOrder += "B"; }
void resetLate() { g_resetOrder += "L"; }
}  // namespace

TEST(EngineStop, RunsEachModuleResetOnceLastRegisteredFirstDeviceBoundBeforeTheDrop) {
    EXPECT_EQ(-1, qeIrrlichtRegisterModuleReset(nullptr, QE_STOP_BEFORE_DROP));
    EXPECT_EQ(-1, qeIrrlichtRegisterModuleReset(resetA, static_cast<QeStopPhase>(7)));
    ASSERT_EQ(0, qeIrrlichtRegisterModuleReset(resetLate, QE_STOP_AFTER_DROP));
    ASSERT_EQ(0, qeIrrlichtRegisterModuleReset(resetA, QE_STOP_BEFORE_DROP));
    ASSERT_EQ(0, qeIrrlichtRegisterModuleReset(resetB, QE_STOP_BEFORE_DROP));
    ASSERT_EQ(0, qeIrrlichtRegisterModuleReset(resetA, QE_STOP_BEFORE_DROP));  // again: still once
    g_resetOrder.clear();
    qeIrrlichtDestroyDevice();  // no device: the resets still run, around the (absent) drop
    EXPECT_EQ("BAL", g_resetOrder);
    g_resetOrder.clear();
    qeIrrlichtDestroyDevice();  // registrations outlive a stop
    EXPECT_EQ("BAL", g_resetOrder);
}
