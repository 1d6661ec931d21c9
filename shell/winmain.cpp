// The process entry's work: tool forms, options, the run mode from the file name, the setup, and the
// hand-over to the run mode.
#include <cstring>

#include "engine.h"
#include "facade.h"
#include "frontends.h"
#include "launch.h"
#include "setup.h"
#include "sys.h"

namespace {
const char kFileFilter[] =
    "All supported\0*.qirn;*.x;*.demo.ini;*.lua;*.xlua\0"
    "Qirn Scene (.qirn)\0*.qirn\0"
    "Qirn Demo (demo.ini)\0*.demo.ini\0"
    "DirectX Object(.x)\0*.x\0"
    "Lua script(.lua)\0*.lua;*.xlua\0"
    "All\0*.*\0";
}

int qeMain(int argc, char** argv) {
    qeSysInit(argc, argv);
    LaunchOptions options;
    qeLaunchDefaults(&options);

    switch (qeLaunchToolForm(argc, argv)) {
        case QE_TOOL_BINARY:
            options.flags = QE_LAUNCH_WRITE_BINARY | QE_LAUNCH_EXIT_AFTER_CONVERT | QE_LAUNCH_MUSIC;
            qeViewerRunScene(argc >= 3 ? argv[2] : nullptr, &options);
            return 0;
        case QE_TOOL_DEMOEXE:
            return qeDemoPackExecutable(argv[2], argv[3], 0) == 0 ? 0 : 1;
        case QE_TOOL_DEMODAT:
            return qeDemoPackExecutable(argv[2], argv[3], 1) == 0 ? 0 : 1;
        case QE_TOOL_EXERSC:
            return 0;
        case QE_TOOL_NONE:
            break;
    }

    QeRunMode mode;
    const char* name = nullptr;
    int dialogAllowed = 0;
    if (qeDemoHasCabResources()) {
        mode = QE_RUN_PACKED_DEMO;
    } else {
        name = qeLaunchParseOptions(argc, argv, &options);
        if (!name) {
            name = qeSysFileRequester("Open Qirn file", kFileFilter);
            if (!name) return -1;
        }
        mode = qeLaunchRunModeOf(name, &dialogAllowed);
        if (mode == QE_RUN_NONE) {
            qeSysMessageBox("File format of '%s' is not supported", name);
            return -1;
        }
        if (mode == QE_RUN_OBJECT_VIEWER || mode == QE_RUN_SCENE_VIEWER || mode == QE_RUN_DEMO) {
            if (qeSysLoadSetup("qirn-setup.ini", qeSysGetExeDir(), &options.display, dialogAllowed) != 0) return -1;
            qeIrrlichtShowWindow();
            qeIrrlichtRestoreWindow();
        }
    }

    switch (mode) {
        case QE_RUN_OBJECT_VIEWER: qeViewerRunObject(name); break;
        case QE_RUN_SCENE_VIEWER: qeViewerRunScene(name, &options); break;
        case QE_RUN_DEMO: qeDemoRun(name); break;
        case QE_RUN_PACKED_DEMO: qeDemoRunPacked(); break;
        case QE_RUN_SCRIPT: qeScriptRun(name, 0); break;
        case QE_RUN_NONE: break;
    }
    if (mode == QE_RUN_OBJECT_VIEWER || mode == QE_RUN_SCENE_VIEWER || mode == QE_RUN_DEMO) qeSysShutdown();
    return 0;
}
