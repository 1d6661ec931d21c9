#ifndef QIRN_SHELL_LAUNCH_H
#define QIRN_SHELL_LAUNCH_H

#include <cstdint>

// Display values from the command line, the setup file or the setup dialog; -1 means not set.
struct DisplaySettings {
    int32_t width;
    int32_t height;
    int32_t windowed;
    int32_t windowX;
    int32_t windowY;
    int32_t bits;
    int32_t vsync;
    int32_t fps;
    int32_t antialias;
    int32_t shaders;
    int32_t stereo;
    int32_t centered;
};

// Flags of LaunchOptions::flags, read by the scene viewer.
enum {
    QE_LAUNCH_WRITE_BINARY = 0x01,
    QE_LAUNCH_EXIT_AFTER_CONVERT = 0x02,
    QE_LAUNCH_PAUSED = 0x04,
    QE_LAUNCH_START_FRAME = 0x08,
    QE_LAUNCH_RIDE = 0x10,
    QE_LAUNCH_MUSIC = 0x20,
    QE_LAUNCH_HOT_RELOAD = 0x40,
    QE_LAUNCH_NO_IDLE_INACTIVE = 0x80,
};

struct LaunchOptions {
    int32_t flags;       // 0x21 by default
    int32_t startFrame;  // "-framestart"
    int32_t rideSpeed;   // "-ridespeed", cm/s, 0 = default
    int32_t rideOptions; // "-rideopts"
    DisplaySettings display;
};

// Run modes chosen from the command line and the file name.
enum QeRunMode {
    QE_RUN_NONE = 0,
    QE_RUN_OBJECT_VIEWER = 1,
    QE_RUN_SCENE_VIEWER = 2,
    QE_RUN_DEMO = 3,
    QE_RUN_PACKED_DEMO = 4,
    QE_RUN_SCRIPT = 5,
};

// Tool forms of the command line, recognised before anything else.
enum QeToolForm {
    QE_TOOL_NONE = 0,
    QE_TOOL_BINARY,    // -binary [scene]
    QE_TOOL_DEMOEXE,   // -demoexe out.exe demo.ini
    QE_TOOL_DEMODAT,   // -demodat out.exe demo.ini
    QE_TOOL_EXERSC,    // -exersc x
};

void qeLaunchDefaults(LaunchOptions* options);
void qeDisplaySettingsClear(DisplaySettings* display);
QeToolForm qeLaunchToolForm(int argc, char** argv);
// Walks the options; returns the first file name (an argument without a leading '-') or NULL.
const char* qeLaunchParseOptions(int argc, char** argv, LaunchOptions* options);
// The run mode for a file name; QE_RUN_NONE when the type is not supported. *dialogAllowed is set for
// demos, which may show the setup dialog.
QeRunMode qeLaunchRunModeOf(const char* name, int* dialogAllowed);

// The process entry's work, with the process's arguments; returns the exit code.
int qeMain(int argc, char** argv);

#endif
