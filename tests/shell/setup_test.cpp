#include "setup.h"

#include <gtest/gtest.h>
#include <iniparser/iniparser.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "dialog.h"
#include "resource_ids.h"

namespace {

DEVMODEA mode(int w, int h, int bits, int hz) {
    DEVMODEA m;
    std::memset(&m, 0, sizeof(m));
    m.dmSize = sizeof(m);
    m.dmPelsWidth = w;
    m.dmPelsHeight = h;
    m.dmBitsPerPel = bits;
    m.dmDisplayFrequency = hz;
    return m;
}

struct Setup : testing::Test {
    DisplaySettings display;
    DeviceSettings device;
    dictionary* ini = dictionary_new(0);
    Setup() {
        qeDisplaySettingsClear(&display);
        qeDeviceSettingsClear(&device);
        iniparser_set(ini, "setup", nullptr);
    }
    ~Setup() override { iniparser_freedict(ini); }
    void set(const char* key, const char* value) { iniparser_set(ini, key, value); }
};

TEST_F(Setup, KeysOfTheSetupSectionFillTheValuesAndMissingOnesStayUnset) {
    const struct {
        const char* key;
        const char* value;
        std::vector<int*> fields;
        std::vector<int> values;
    } keys[] = {{"setup:display", "1280 720 32", {&display.width, &display.height, &display.bits}, {1280, 720, 32}},
                {"setup:windowpos", "10 20", {&display.windowX, &display.windowY}, {10, 20}},
                {"setup:vsync", "0", {&display.vsync}, {0}},
                {"setup:hide_mouse", "1", {&device.hideMouse}, {1}},
                {"setup:fps", "60", {&display.fps}, {60}},
                {"setup:antialias", "1", {&display.antialias}, {1}},
                {"setup:lightprepass", "0", {&device.lightPrePass}, {0}},
                {"setup:shaders", "2", {&display.shaders}, {2}},
                {"setup:stereo", "4", {&display.stereo}, {4}}};
    // Each key alone: its fields take the values, the others stay unset.
    for (const auto& k : keys) {
        qeDisplaySettingsClear(&display);
        qeDeviceSettingsClear(&device);
        iniparser_freedict(ini);
        ini = dictionary_new(0);
        iniparser_set(ini, "setup", nullptr);
        set(k.key, k.value);
        qeSetupReadIni(ini, &display, &device);
        for (const auto& other : keys)
            for (size_t i = 0; i < other.fields.size(); ++i)
                EXPECT_EQ(&other == &k ? other.values[i] : -1, *other.fields[i]) << k.key << " / " << other.key;
        EXPECT_EQ(1, display.windowed) << k.key;  // absent: windowed
        EXPECT_EQ(-1, display.centered) << k.key;
        EXPECT_FLOAT_EQ(0.1f, device.cameraNear) << k.key;
        EXPECT_FLOAT_EQ(1000.0f, device.cameraFar) << k.key;
    }
    set("setup:camerarange", "1.5 500");
    set("setup:display", "800 600");  // a partial value sets what it has
    qeSetupReadIni(ini, &display, &device);
    EXPECT_FLOAT_EQ(1.5f, device.cameraNear);
    EXPECT_FLOAT_EQ(500.0f, device.cameraFar);
    EXPECT_EQ(800, display.width);
    EXPECT_EQ(600, display.height);
    EXPECT_EQ(-1, display.bits);
}

TEST_F(Setup, WindowedTakesOneYesOrYOnly) {
    struct {
        const char* value;
        int windowed;
    } cases[] = {{"1", 1}, {"YES", 1}, {"y", 1}, {"Y", 1}, {"true", 0}, {"0", 0}, {"no", 0}, {"11", 0}};
    for (const auto& c : cases) {
        set("setup:windowed", c.value);
        qeSetupReadIni(ini, &display, &device);
        EXPECT_EQ(c.windowed, display.windowed) << c.value;
    }
}

TEST_F(Setup, CommandLineValuesOverrideAllButCentered) {
    set("setup:display", "1024 768 16");
    qeSetupReadIni(ini, &display, &device);
    DisplaySettings commandLine;
    qeDisplaySettingsClear(&commandLine);
    commandLine.width = 800;
    commandLine.height = 600;
    commandLine.stereo = 3;
    commandLine.centered = 1;
    qeSetupApplyOverrides(&display, &commandLine);
    EXPECT_EQ(800, display.width);
    EXPECT_EQ(600, display.height);
    EXPECT_EQ(16, display.bits);
    EXPECT_EQ(3, display.stereo);
    EXPECT_EQ(-1, display.centered);
    qeSetupApplyOverrides(&display, nullptr);
    EXPECT_EQ(800, display.width);
}

TEST(SetupModes, WideDeepModesAreKeptOncePerSizeAndSorted) {
    DEVMODEA all[] = {mode(1920, 1080, 32, 60), mode(640, 480, 32, 60), mode(1280, 720, 32, 75),
                      mode(1280, 720, 32, 60),  mode(1024, 768, 16, 60), mode(720, 576, 32, 50),
                      mode(1280, 1024, 32, 60)};
    DEVMODEA kept[QE_SETUP_MAX_MODES];
    ASSERT_EQ(4, qeSetupFilterModes(all, 7, kept));
    EXPECT_EQ(720u, kept[0].dmPelsWidth);
    EXPECT_EQ(1280u, kept[1].dmPelsWidth);
    EXPECT_EQ(720u, kept[1].dmPelsHeight);
    EXPECT_EQ(75u, kept[1].dmDisplayFrequency);  // the first of the same size stays
    EXPECT_EQ(1024u, kept[2].dmPelsHeight);
    EXPECT_EQ(1920u, kept[3].dmPelsWidth);

    DEVMODEA narrow[] = {mode(640, 480, 32, 60), mode(800, 600, 16, 60)};
    EXPECT_EQ(0, qeSetupFilterModes(narrow, 2, kept));

    char text[64];
    qeSetupModeLabel(mode(1280, 720, 32, 60), text, sizeof(text));
    EXPECT_STREQ("1280 x  720 32 Bits (recommended)", text);
    qeSetupModeLabel(mode(800, 600, 32, 60), text, sizeof(text));
    EXPECT_STREQ(" 800 x  600 32 Bits", text);
}

// Drives the real dialog from a second thread, as a user would.
TEST(SetupDialog, StartWithoutAModeKeepsTheDialogOpenAndTheAnswerIsKept) {
    std::atomic<int> listCount{-1};
    std::atomic<bool> stillOpenAfterEmptyStart{false};
    std::thread user([&] {
        HWND dlg = nullptr;
        for (int i = 0; i < 200 && !dlg; ++i) {
            Sleep(25);
            dlg = FindWindowA(nullptr, "Screen Mode");
        }
        if (!dlg) return;
        // A modal dialog shows itself once its message loop runs.
        for (int i = 0; i < 200 && !IsWindowVisible(dlg); ++i) Sleep(10);
        Sleep(50);
        HWND list = GetDlgItem(dlg, QE_IDC_MODE_LIST);
        listCount = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
        stillOpenAfterEmptyStart = IsWindow(dlg) && IsWindowVisible(dlg);
        if (listCount > 0) {
            SendMessageA(list, LB_SETCURSEL, 0, 0);
            SendMessageA(GetDlgItem(dlg, QE_IDC_WINDOWED), BM_SETCHECK, BST_CHECKED, 0);
            PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        } else {
            PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        }
    });
    DisplaySettings answer;
    qeDisplaySettingsClear(&answer);
    qeSysSetDialogRunner(nullptr);  // the real modal dialog
    const int result = qeSysScreenModeDialog(&answer);
    user.join();
    std::printf("setup dialog offered %d modes; answer %d x %d x %d\n", listCount.load(), answer.width, answer.height,
                answer.bits);
    ASSERT_GE(listCount.load(), 0) << "the dialog never showed";
    EXPECT_TRUE(stillOpenAfterEmptyStart.load());
    if (listCount > 0) {
        ASSERT_EQ(0, result);
        EXPECT_GE(answer.width, 720);
        EXPECT_EQ(32, answer.bits);
        EXPECT_EQ(1, answer.windowed);
        EXPECT_EQ(1, answer.vsync);      // the hidden boxes start checked
        EXPECT_EQ(1, answer.antialias);
        EXPECT_EQ(0, answer.stereo);
        EXPECT_EQ(60, answer.fps);
        EXPECT_EQ(-1, answer.windowX);
        EXPECT_EQ(answer.width, qeSysScreenModeOption("WIDTH"));
        EXPECT_EQ(32, qeSysScreenModeOption("BPP"));
        EXPECT_EQ(-1, qeSysScreenModeOption("depth"));
        EXPECT_EQ(-1, qeSysScreenModeOption(nullptr));
    } else {
        EXPECT_EQ(-1, result);
    }
}

}  // namespace
