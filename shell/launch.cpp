#include "launch.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sysfile.h"

void qeDisplaySettingsClear(DisplaySettings* display) {
    int32_t* values = &display->width;
    for (int i = 0; i < 12; ++i) values[i] = -1;
}

void qeLaunchDefaults(LaunchOptions* options) {
    options->flags = QE_LAUNCH_WRITE_BINARY | QE_LAUNCH_MUSIC;
    options->startFrame = 0;
    options->rideSpeed = 0;
    options->rideOptions = 0;
    qeDisplaySettingsClear(&options->display);
}

QeToolForm qeLaunchToolForm(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "-binary") == 0) return QE_TOOL_BINARY;
    if (argc == 4 && std::strcmp(argv[1], "-demoexe") == 0) return QE_TOOL_DEMOEXE;
    if (argc == 4 && std::strcmp(argv[1], "-demodat") == 0) return QE_TOOL_DEMODAT;
    if (argc == 3 && std::strcmp(argv[1], "-exersc") == 0) return QE_TOOL_EXERSC;
    return QE_TOOL_NONE;
}

const char* qeLaunchParseOptions(int argc, char** argv, LaunchOptions* o) {
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-') {
            if (!file) file = arg;
            continue;
        }
        // Options with a value consume the next argument; standing last, the value is absent.
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        auto number = [&]() -> int { const char* v = value(); return v ? std::atoi(v) : 0; };
        if (std::strcmp(arg, "-framestart") == 0) {
            const char* v = value();
            if (v) {
                o->startFrame = std::atoi(v);
                o->flags |= QE_LAUNCH_START_FRAME;
            }
        } else if (std::strcmp(arg, "-paused") == 0) {
            o->flags |= QE_LAUNCH_PAUSED;
        } else if (std::strcmp(arg, "-ride") == 0) {
            o->flags |= QE_LAUNCH_RIDE;
        } else if (std::strcmp(arg, "-rideopts") == 0) {
            if (i + 1 < argc) o->rideOptions = number();
        } else if (std::strcmp(arg, "-ridespeed") == 0) {
            if (i + 1 < argc) o->rideSpeed = number();
        } else if (std::strcmp(arg, "-nomusic") == 0) {
            o->flags &= ~QE_LAUNCH_MUSIC;
        } else if (std::strcmp(arg, "-syncupdate") == 0) {
            o->flags |= QE_LAUNCH_HOT_RELOAD;
        } else if (std::strcmp(arg, "-noidleinactive") == 0) {
            o->flags |= QE_LAUNCH_NO_IDLE_INACTIVE;
        } else if (std::strcmp(arg, "-display") == 0) {
            const char* v = value();
            int w, h;
            if (v && std::sscanf(v, "%dx%d", &w, &h) == 2) {
                o->display.width = w;
                o->display.height = h;
            }
        } else if (std::strcmp(arg, "-windowed") == 0) {
            if (i + 1 < argc) o->display.windowed = number();
        } else if (std::strcmp(arg, "-windowpos") == 0) {
            const char* v = value();
            int x, y;
            if (v && std::sscanf(v, "%d,%d", &x, &y) == 2) {
                o->display.windowX = x;
                o->display.windowY = y;
            }
        } else if (std::strcmp(arg, "-stereo") == 0) {
            if (i + 1 < argc) o->display.stereo = number();
        } else if (std::strcmp(arg, "-vsync") == 0) {
            if (i + 1 < argc) o->display.vsync = number();
        }
        // Any other option is ignored and consumes nothing.
    }
    return file;
}

QeRunMode qeLaunchRunModeOf(const char* name, int* dialogAllowed) {
    if (dialogAllowed) *dialogAllowed = 0;
    if (!name) return QE_RUN_NONE;
    if (std::strstr(name, ".demo.ini")) {
        if (dialogAllowed) *dialogAllowed = 1;
        return QE_RUN_DEMO;
    }
    if (std::strstr(name, ".lws.ini")) return QE_RUN_SCENE_VIEWER;
    const char* ext = std::strrchr(name, '.');
    if (!ext) return QE_RUN_NONE;
    if (qeSysStrCaseCmp(ext, ".qirn") == 0) return QE_RUN_SCENE_VIEWER;
    if (qeSysStrCaseCmp(ext, ".x") == 0 || qeSysStrCaseCmp(ext, ".lwo") == 0 || qeSysStrCaseCmp(ext, ".obj") == 0)
        return QE_RUN_OBJECT_VIEWER;
    if (qeSysStrCaseCmp(ext, ".lua") == 0 || qeSysStrCaseCmp(ext, ".xlua") == 0) return QE_RUN_SCRIPT;
    return QE_RUN_NONE;
}
