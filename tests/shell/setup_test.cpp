#include "setup.h"

#include <gtest/gtest.h>
#include <iniparser/iniparser.h>

#include <atomic>
#include <cstring>
#include <thread>

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

TEST(Setup, KeysOfTheSetupSectionFillTheValuesMissingOnesStayUnsetAndTheCommandLineOverrides) {
    DisplaySettings display;
    DeviceSettings device;
    qeDisplaySettingsClear(&display);
    qeDeviceSettingsClear(&device);
    dictionary* ini = dictionary_new(0);
    iniparser_set(ini, "setup", nullptr);
    iniparser_set(ini, "setup:display", "800 600");  // a partial value sets what it has
    iniparser_set(ini, "setup:camerarange", "1.5 500");
    qeSetupReadIni(ini, &display, &device);
    EXPECT_EQ(600, display.height);
    EXPECT_EQ(-1, display.bits);
    EXPECT_EQ(-1, display.stereo);
    EXPECT_EQ(1, display.windowed);  // absent: windowed
    EXPECT_FLOAT_EQ(500.0f, device.cameraFar);

    for (const auto& c : {std::make_pair("YES", 1), std::make_pair("y", 1), std::make_pair("true", 0),
                          std::make_pair("11", 0)}) {
        iniparser_set(ini, "setup:windowed", c.first);
        qeSetupReadIni(ini, &display, &device);
        EXPECT_EQ(c.second, display.windowed) << c.first;
    }
    iniparser_freedict(ini);

    DisplaySettings commandLine;
    qeDisplaySettingsClear(&commandLine);
    commandLine.width = 1024;
    commandLine.centered = 1;
    qeSetupApplyOverrides(&display, &commandLine);
    EXPECT_EQ(1024, display.width);
    EXPECT_EQ(600, display.height);
    EXPECT_EQ(-1, display.centered);  // all but centered
}

TEST(SetupModes, WideDeepModesAreKeptOncePerSizeAndSorted) {
    DEVMODEA all[] = {mode(1920, 1080, 32, 60), mode(640, 480, 32, 60), mode(1280, 720, 32, 75),
                      mode(1280, 720, 32, 60),  mode(1024, 768, 16, 60), mode(720, 576, 32, 50),
                      mode(1280, 1024, 32, 60)};
    DEVMODEA kept[QE_SETUP_MAX_MODES];
    ASSERT_EQ(4, qeSetupFilterModes(all, 7, kept));
    const unsigned expected[][3] = {{720, 576, 50}, {1280, 720, 75}, {1280, 1024, 60}, {1920, 1080, 60}};
    for (int i = 0; i < 4; ++i)  // the first of the same size stays
        EXPECT_EQ(expected[i][0] * 10000 + expected[i][1] * 100 + expected[i][2],
                  kept[i].dmPelsWidth * 10000 + kept[i].dmPelsHeight * 100 + kept[i].dmDisplayFrequency) << i;

    DEVMODEA narrow[] = {mode(640, 480, 32, 60), mode(800, 600, 16, 60)};
    EXPECT_EQ(0, qeSetupFilterModes(narrow, 2, kept));

    char text[64];
    qeSetupModeLabel(mode(1280, 720, 32, 60), text, sizeof(text));
    EXPECT_STREQ("1280 x  720 32 Bits (recommended)", text);
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
        for (int i = 0; i < 200 && !IsWindowVisible(dlg); ++i) Sleep(10);  // once its message loop runs
        Sleep(50);
        HWND list = GetDlgItem(dlg, QE_IDC_MODE_LIST);
        listCount = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
        stillOpenAfterEmptyStart = IsWindow(dlg) && IsWindowVisible(dlg);
        SendMessageA(list, LB_SETCURSEL, 0, 0);
        SendMessageA(GetDlgItem(dlg, QE_IDC_WINDOWED), BM_SETCHECK, BST_CHECKED, 0);
        PostMessageA(dlg, WM_COMMAND, listCount > 0 ? IDOK : IDCANCEL, 0);
    });
    DisplaySettings answer;
    qeDisplaySettingsClear(&answer);
    qeSysSetDialogRunner(nullptr);  // the real modal dialog
    const int result = qeSysScreenModeDialog(&answer);
    user.join();
    ASSERT_GE(listCount.load(), 0) << "the dialog never showed";
    EXPECT_TRUE(stillOpenAfterEmptyStart.load());
    if (listCount == 0) return;
    ASSERT_EQ(0, result);
    EXPECT_EQ(32, answer.bits);
    EXPECT_EQ(1, answer.windowed);
    EXPECT_EQ(1, answer.vsync);  // the hidden boxes start checked
    EXPECT_EQ(answer.width, qeSysScreenModeOption("WIDTH"));
    EXPECT_EQ(-1, qeSysScreenModeOption("depth"));
}

}  // namespace
