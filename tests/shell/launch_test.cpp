#include "launch.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Args {
    std::vector<char*> argv;
    explicit Args(std::initializer_list<const char*> list) {
        for (const char* a : list) argv.push_back(const_cast<char*>(a));
        argv.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(argv.size()) - 1; }
    char** data() { return argv.data(); }
};

TEST(Launch, ToolFormsNeedTheirExactArgumentCounts) {
    Args binary{"qirn.exe", "-binary"};
    EXPECT_EQ(QE_TOOL_BINARY, qeLaunchToolForm(binary.argc(), binary.data()));
    Args binaryScene{"qirn.exe", "-binary", "a.lws.ini", "extra"};
    EXPECT_EQ(QE_TOOL_BINARY, qeLaunchToolForm(binaryScene.argc(), binaryScene.data()));
    Args demoexe{"qirn.exe", "-demoexe", "out.exe", "x.demo.ini"};
    EXPECT_EQ(QE_TOOL_DEMOEXE, qeLaunchToolForm(demoexe.argc(), demoexe.data()));
    Args demodat{"qirn.exe", "-demodat", "out.exe", "x.demo.ini"};
    EXPECT_EQ(QE_TOOL_DEMODAT, qeLaunchToolForm(demodat.argc(), demodat.data()));
    Args exersc{"qirn.exe", "-exersc", "x"};
    EXPECT_EQ(QE_TOOL_EXERSC, qeLaunchToolForm(exersc.argc(), exersc.data()));

    // With the wrong count the tool word is an unknown option and the next argument the file.
    Args shortDemoexe{"qirn.exe", "-demoexe", "out.exe"};
    EXPECT_EQ(QE_TOOL_NONE, qeLaunchToolForm(shortDemoexe.argc(), shortDemoexe.data()));
    LaunchOptions o;
    qeLaunchDefaults(&o);
    EXPECT_STREQ("out.exe", qeLaunchParseOptions(shortDemoexe.argc(), shortDemoexe.data(), &o));
    Args binaryLate{"qirn.exe", "scene.qirn", "-binary"};
    EXPECT_EQ(QE_TOOL_NONE, qeLaunchToolForm(binaryLate.argc(), binaryLate.data()));
}

TEST(Launch, OptionsSetFlagsAndDisplayValues) {
    Args args{"qirn.exe", "-framestart", "12", "-paused", "-ride", "-rideopts", "5", "-ridespeed", "300",
              "-nomusic", "-syncupdate", "-noidleinactive", "-display", "800x600x32", "-windowed", "0",
              "-windowpos", "10,20", "-stereo", "4", "-vsync", "0", "-console", "first.qirn", "second.qirn"};
    LaunchOptions o;
    qeLaunchDefaults(&o);
    EXPECT_EQ(0x21, o.flags);
    EXPECT_STREQ("first.qirn", qeLaunchParseOptions(args.argc(), args.data(), &o));
    EXPECT_EQ(0x01 | 0x04 | 0x08 | 0x10 | 0x40 | 0x80, o.flags);
    EXPECT_EQ(12, o.startFrame);
    EXPECT_EQ(5, o.rideOptions);
    EXPECT_EQ(300, o.rideSpeed);
    EXPECT_EQ(800, o.display.width);
    EXPECT_EQ(600, o.display.height);
    EXPECT_EQ(-1, o.display.bits);
    EXPECT_EQ(0, o.display.windowed);
    EXPECT_EQ(10, o.display.windowX);
    EXPECT_EQ(20, o.display.windowY);
    EXPECT_EQ(4, o.display.stereo);
    EXPECT_EQ(0, o.display.vsync);
    EXPECT_EQ(-1, o.display.fps);
    EXPECT_EQ(-1, o.display.centered);
}

TEST(Launch, UnparsedValuesAreConsumedAndALastOptionReadsNothingPastTheEnd) {
    Args bad{"qirn.exe", "-display", "big", "-windowpos", "x", "-stereo", "abc", "file.x"};
    LaunchOptions o;
    qeLaunchDefaults(&o);
    EXPECT_STREQ("file.x", qeLaunchParseOptions(bad.argc(), bad.data(), &o));
    EXPECT_EQ(-1, o.display.width);
    EXPECT_EQ(-1, o.display.windowX);
    EXPECT_EQ(0, o.display.stereo);  // non-numeric text reads as 0

    for (const char* option : {"-framestart", "-display", "-windowed", "-windowpos", "-stereo", "-vsync",
                               "-rideopts", "-ridespeed"}) {
        Args last{"qirn.exe", "scene.qirn", option};
        LaunchOptions l;
        qeLaunchDefaults(&l);
        EXPECT_STREQ("scene.qirn", qeLaunchParseOptions(last.argc(), last.data(), &l)) << option;
        EXPECT_EQ(0x21, l.flags) << option;
        EXPECT_EQ(-1, l.display.windowed) << option;
        EXPECT_EQ(-1, l.display.stereo) << option;
    }
}

TEST(Launch, RunModeComesFromTheName) {
    const struct {
        const char* name;
        int mode, dialog;  // dialog -1: not looked at
    } cases[] = {{"party.demo.ini", QE_RUN_DEMO, 1},         {"party.demo.ini.bak", QE_RUN_DEMO, 1},
                 {"scene.lws.ini", QE_RUN_SCENE_VIEWER, 0},  {"C:\\demo\\SCENE.QIRN", QE_RUN_SCENE_VIEWER, 0},
                 {"box.X", QE_RUN_OBJECT_VIEWER, 0},         {"box.lwo", QE_RUN_OBJECT_VIEWER, 0},
                 {"box.obj", QE_RUN_OBJECT_VIEWER, 0},       {"intro.lua", QE_RUN_SCRIPT, 0},
                 {"intro.XLUA", QE_RUN_SCRIPT, 0},           {"README", QE_RUN_NONE, -1},
                 {"notes.txt", QE_RUN_NONE, -1},
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

}  // namespace
