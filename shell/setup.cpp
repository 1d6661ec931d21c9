#include "setup.h"

#include <iniparser/iniparser.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dialog.h"
#include "resource_ids.h"
#include "sysfile.h"

namespace {

// The dialog's state, rebuilt each time it opens.
struct DialogState {
    int initialised;
    int width, height, bits, windowed, vsync, fps, antialias, shaders, stereo;
    int modeCount;
    DEVMODEA modes[QE_SETUP_MAX_MODES];
};
DialogState g_dialog;
DisplaySettings g_lastAnswer;  // all zero before any dialog

struct StereoChoice {
    const char* name;
    int mode;
};
const StereoChoice kStereoModes[] = {
    {"Nvidia 3D | SBS", 1}, {"Anaglyph Half Color", 5}, {"Anaglyph Color", 4}, {"Anaglyph Gray", 3}};

bool sameMode(const DEVMODEA& a, const DEVMODEA& b) {
    return a.dmPelsWidth == b.dmPelsWidth && a.dmPelsHeight == b.dmPelsHeight && a.dmBitsPerPel == b.dmBitsPerPel;
}

bool modeLess(const DEVMODEA& a, const DEVMODEA& b) {
    if (a.dmPelsWidth != b.dmPelsWidth) return a.dmPelsWidth < b.dmPelsWidth;
    if (a.dmPelsHeight != b.dmPelsHeight) return a.dmPelsHeight < b.dmPelsHeight;
    if (a.dmBitsPerPel != b.dmBitsPerPel) return a.dmBitsPerPel < b.dmBitsPerPel;
    return a.dmDisplayFrequency < b.dmDisplayFrequency;
}

void fillDialog(HWND dlg) {
    SetWindowTextA(dlg, "Screen Mode");
    CheckDlgButton(dlg, QE_IDC_VSYNC, BST_CHECKED);
    CheckDlgButton(dlg, QE_IDC_ANTIALIAS, BST_CHECKED);

    HWND stereo = GetDlgItem(dlg, QE_IDC_STEREO_MODE);
    for (const StereoChoice& choice : kStereoModes) {
        LRESULT i = SendMessageA(stereo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.name));
        SendMessageA(stereo, CB_SETITEMDATA, i, choice.mode);
    }
    SendMessageA(stereo, CB_SETCURSEL, 0, 0);
    EnableWindow(stereo, FALSE);

    // Ask the display driver for every mode it has.
    static DEVMODEA all[4096];
    int count = 0;
    DEVMODEA mode;
    std::memset(&mode, 0, sizeof(mode));
    mode.dmSize = sizeof(mode);
    for (DWORD n = 0; count < 4096 && EnumDisplaySettingsA(nullptr, n, &mode); ++n) all[count++] = mode;
    g_dialog.modeCount = qeSetupFilterModes(all, count, g_dialog.modes);

    DEVMODEA current;
    std::memset(&current, 0, sizeof(current));
    current.dmSize = sizeof(current);
    const bool haveCurrent = EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current) != 0;

    HWND list = GetDlgItem(dlg, QE_IDC_MODE_LIST);
    int recommended = -1, currentIndex = -1;
    for (int i = 0; i < g_dialog.modeCount; ++i) {
        const DEVMODEA& m = g_dialog.modes[i];
        char text[64];
        qeSetupModeLabel(m, text, sizeof(text));
        if (m.dmPelsWidth == 1280 && m.dmPelsHeight == 720 && m.dmBitsPerPel == 32) recommended = i;
        LRESULT item = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        SendMessageA(list, LB_SETITEMDATA, item, i);
        if (haveCurrent && sameMode(m, current)) currentIndex = i;
    }
    const int select = recommended >= 0 ? recommended : currentIndex;
    if (select >= 0) {
        // The list is not sorted by the control, so the item index is the mode index.
        SendMessageA(list, LB_SETCURSEL, select, 0);
    }
    g_dialog.initialised = 1;
}

// Reads the answer; false when no mode is selected (the dialog then stays open).
bool readAnswer(HWND dlg) {
    HWND list = GetDlgItem(dlg, QE_IDC_MODE_LIST);
    LRESULT selected = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (selected == LB_ERR) return false;
    LRESULT index = SendMessageA(list, LB_GETITEMDATA, selected, 0);
    if (index < 0 || index >= g_dialog.modeCount) return false;
    const DEVMODEA& m = g_dialog.modes[index];
    g_dialog.width = static_cast<int>(m.dmPelsWidth);
    g_dialog.height = static_cast<int>(m.dmPelsHeight);
    g_dialog.bits = static_cast<int>(m.dmBitsPerPel);
    g_dialog.windowed = IsDlgButtonChecked(dlg, QE_IDC_WINDOWED) == BST_CHECKED;
    g_dialog.shaders = IsDlgButtonChecked(dlg, QE_IDC_SHADERS) == BST_CHECKED;
    g_dialog.vsync = IsDlgButtonChecked(dlg, QE_IDC_VSYNC) == BST_CHECKED;
    g_dialog.antialias = IsDlgButtonChecked(dlg, QE_IDC_ANTIALIAS) == BST_CHECKED;
    g_dialog.stereo = 0;
    if (IsDlgButtonChecked(dlg, QE_IDC_STEREO) == BST_CHECKED) {
        HWND stereo = GetDlgItem(dlg, QE_IDC_STEREO_MODE);
        LRESULT s = SendMessageA(stereo, CB_GETCURSEL, 0, 0);
        if (s != CB_ERR) g_dialog.stereo = static_cast<int>(SendMessageA(stereo, CB_GETITEMDATA, s, 0));
    }
    g_dialog.fps = 60;
    return true;
}

INT_PTR CALLBACK dialogProc(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_ACTIVATE:
            if (!g_dialog.initialised) fillDialog(dlg);
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case QE_IDC_STEREO:
                    EnableWindow(GetDlgItem(dlg, QE_IDC_STEREO_MODE),
                                 IsDlgButtonChecked(dlg, QE_IDC_STEREO) == BST_CHECKED);
                    return TRUE;
                case IDOK:
                    if (readAnswer(dlg)) EndDialog(dlg, IDOK);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dlg, IDCANCEL);
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

int qeSetupFilterModes(const DEVMODEA* modes, int count, DEVMODEA* kept) {
    int n = 0;
    for (int i = 0; i < count && n < QE_SETUP_MAX_MODES; ++i) {
        const DEVMODEA& m = modes[i];
        if (m.dmPelsWidth < 720 || m.dmBitsPerPel < 32) continue;
        bool seen = false;
        for (int j = 0; j < n && !seen; ++j) seen = sameMode(kept[j], m);
        if (!seen) kept[n++] = m;
    }
    std::sort(kept, kept + n, modeLess);
    return n;
}

void qeSetupModeLabel(const DEVMODEA& m, char* text, int size) {
    int n = std::snprintf(text, size, "%4d x %4d %2d Bits", static_cast<int>(m.dmPelsWidth),
                          static_cast<int>(m.dmPelsHeight), static_cast<int>(m.dmBitsPerPel));
    if (m.dmPelsWidth == 1280 && m.dmPelsHeight == 720 && m.dmBitsPerPel == 32 && n > 0 && n < size)
        std::snprintf(text + n, size - n, " (recommended)");
}

int qeSysScreenModeDialog(DisplaySettings* out) {
    std::memset(&g_dialog, 0, sizeof(g_dialog));
    INT_PTR result = qeSysRunDialog(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(QE_IDD_SETUP), dialogProc);
    if (result != IDOK) return -1;
    DisplaySettings answer = {g_dialog.width, g_dialog.height, g_dialog.windowed, -1, -1, g_dialog.bits,
                              g_dialog.vsync, g_dialog.fps, g_dialog.antialias, g_dialog.shaders,
                              g_dialog.stereo, 0};
    *out = answer;
    g_lastAnswer = answer;
    return 0;
}

int qeSysScreenModeOption(const char* key) {
    if (!key) return -1;
    const DisplaySettings& a = g_lastAnswer;
    struct {
        const char* key;
        int value;
    } options[] = {{"width", a.width},         {"height", a.height},       {"windowed", a.windowed},
                   {"bpp", a.bits},            {"vsync", a.vsync},         {"fps", a.fps},
                   {"antialias", a.antialias}, {"shaders", a.shaders},     {"stereo", a.stereo},
                   {"centered", a.centered}};
    for (const auto& option : options)
        if (qeSysStrCaseCmp(key, option.key) == 0) return option.value;
    return -1;
}

void qeSetupReadIni(dictionary* ini, DisplaySettings* d, DeviceSettings* s) {
    int a, b, c;
    const char* display = iniparser_getstring(ini, "Setup:display", "");
    int n = std::sscanf(display, "%d %d %d", &a, &b, &c);
    if (n >= 1) d->width = a;
    if (n >= 2) d->height = b;
    if (n >= 3) d->bits = c;

    const char* windowed = iniparser_getstring(ini, "Setup:windowed", nullptr);
    if (!windowed)
        d->windowed = 1;
    else
        d->windowed = std::strcmp(windowed, "1") == 0 || qeSysStrCaseCmp(windowed, "yes") == 0 ||
                      qeSysStrCaseCmp(windowed, "y") == 0;

    const char* position = iniparser_getstring(ini, "Setup:windowpos", "");
    n = std::sscanf(position, "%d %d", &a, &b);
    if (n >= 1) d->windowX = a;
    if (n >= 2) d->windowY = b;

    d->vsync = iniparser_getint(ini, "Setup:vsync", -1);
    s->hideMouse = iniparser_getint(ini, "Setup:hide_mouse", -1);
    d->fps = iniparser_getint(ini, "Setup:fps", -1);
    d->antialias = iniparser_getint(ini, "Setup:antialias", -1);
    s->lightPrePass = iniparser_getint(ini, "Setup:lightprepass", -1);
    d->shaders = iniparser_getint(ini, "Setup:shaders", -1);

    float nearValue, farValue;
    const char* range = iniparser_getstring(ini, "Setup:camerarange", "");
    n = std::sscanf(range, "%f %f", &nearValue, &farValue);
    if (n >= 1) s->cameraNear = nearValue;
    if (n >= 2) s->cameraFar = farValue;

    d->stereo = iniparser_getint(ini, "Setup:stereo", -1);
}

void qeSetupApplyOverrides(DisplaySettings* d, const DisplaySettings* cl) {
    if (!cl) return;
    const int32_t* from = &cl->width;
    int32_t* to = &d->width;
    for (int i = 0; i < 11; ++i)  // every value but "centered"
        if (from[i] != -1) to[i] = from[i];
}

int qeSysLoadSetup(const char* iniName, const char* exeDir, const DisplaySettings* commandLine, int dialogAllowed) {
    DeviceSettings settings;
    qeDeviceSettingsClear(&settings);
    DisplaySettings display;
    qeDisplaySettingsClear(&display);

    if (exeDir) qeSysSetBaseDir(exeDir);
    dictionary* ini = nullptr;
    if (iniName) {
        const char* path = qeSysFindDataFile(iniName);
        if (qeSysFileExist(path)) ini = iniparser_load(path);
    }
    if (ini) {
        qeSetupReadIni(ini, &display, &settings);
        iniparser_freedict(ini);
    } else if (dialogAllowed) {
        if (qeSysScreenModeDialog(&display) != 0) return -1;
        const int fullscreen = display.windowed == 0;
        display.vsync = fullscreen;
        settings.hideMouse = fullscreen;
    }
    qeSetupApplyOverrides(&display, commandLine);

    settings.baseDirectory = exeDir;
    settings.width = display.width;
    settings.height = display.height;
    settings.bits = display.bits;
    settings.windowed = display.windowed;
    settings.windowX = display.windowX;
    settings.windowY = display.windowY;
    settings.vsync = display.vsync;
    settings.fps = display.fps;
    settings.antialias = display.antialias;
    settings.shaders = display.shaders;
    settings.stereo = display.stereo;
    return qeIrrlichtSetup(&settings) == 0 ? 0 : -1;
}
