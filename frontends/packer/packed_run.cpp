// The packed-demo run mode: the executable's cabinet resources are expanded into folders of their own
// (the extraction slots) inside one folder of the run's own under the temporary folder, the engine starts
// from the default data, the demo loads from the data folder and the music from the music folder, each
// slot's folder is deleted as soon as what it holds is in memory, and the demo plays; the run's folder goes
// at its end.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "demo/demo.h"
#include "engine.h"
#include "facade.h"
#include "frame.h"
#include "frontends.h"
#include "loading_screen.h"
#include "packer.h"
#include "setup.h"
#include "sys.h"
#include "sysfile.h"

namespace {

// The steps of the run; every failure is told here and undone by the caller.
struct RunState {
    DemoDescription* demo;
    DemoIdCounters ids;
    bool engineStarted;
    bool loadingShown;
    bool demoPrepared;
    char demoFolder[QE_EXTRACT_PATH_SIZE];
};

bool openSlot(int slot, int id, const char* openFailure, const char* useFailure) {
    const int code = qeDemoOpenCabResource(slot, id);
    if (code != 0) {
        // A fault of the temporary folder is told as such: it is where every file of the run is written.
        char text[256];
        std::snprintf(text, sizeof(text), openFailure, code);
        const std::string fault = qeDemoTemporaryFolderFault(code);
        qeSysMessageBox("%s%s%s", text, fault.empty() ? "" : ": ", fault.c_str());
        return false;
    }
    if (qeDemoEnterExtractDir(slot) != 0) {
        qeSysMessageBox("%s", useFailure);
        qeDemoRemoveExtractDir(slot);
        return false;
    }
    return true;
}

bool startEngine(RunState* run) {
    if (!openSlot(0, QE_CAB_DEFAULT_DATA, "Failed to open default data err=%d", "Failed to use default data"))
        return false;
    if (qeSysAddSearchDirectory(qeDemoGetExtractDir(0)) != 0) {
        qeSysMessageBox("Failed to set default data as known location");
        qeDemoRemoveExtractDir(0);
        return false;
    }
    qeSysSetupFileSystem();
    // The packed cache serves what the pack carries and takes nothing in: a shader compiled meanwhile
    // would go with the folder, and a clearing before the demo's data is expanded would take the demo's
    // sources for gone and remove their blobs.
    qeIrrlichtSetShaderCacheReadOnly(1);
    // The base folder ends with a separator, as the executable's folder does.
    char base[QE_EXTRACT_PATH_SIZE + 1];
    std::snprintf(base, sizeof(base), "%s\\", qeDemoGetExtractDir(0));
    if (qeSysLoadSetup("qirn-setup.ini", base, nullptr, 1) != 0) return false;
    run->engineStarted = true;
    qeIrrlichtShowWindow();
    qeIrrlichtRestoreWindow();
    return true;
}

bool showLoading(RunState* run) {
    if (!openSlot(1, QE_CAB_LOADING, "Failed to open loading err=%d", "Failed to use loading")) return false;
    qeIrrlichtLoadingScreenBegin();
    run->loadingShown = true;
    qeDemoRemoveExtractDir(1);
    return true;
}

bool loadDemo(RunState* run) {
    if (!openSlot(1, QE_CAB_DATA, "Failed to open data err=%d", "Failed to use data")) return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*.demo.ini", &found);
    if (search == INVALID_HANDLE_VALUE) {
        qeDemoRemoveExtractDir(1);
        qeSysMessageBox("Failed to find .demo.ini");
        return false;
    }
    FindClose(search);
    const int parsed = qeDemoParseIni(run->demo, found.cFileName);
    qeDemoPrepare(run->demo);  // also after a failure: the parts read so far hold no IDs yet
    run->demoPrepared = true;
    if (parsed != 0) {
        qeDemoRemoveExtractDir(1);
        return false;
    }
    std::snprintf(run->demoFolder, sizeof(run->demoFolder), "%s", qeSysGetDir());
    qeSceneSetLoadVerbose(1);
    const int scenes = qeDemoLoadScenes(run->demo, run->demoFolder, &run->ids);
    if (scenes != 0) {
        if (scenes != 1) qeSysMessageBox("Failed to load scenes");
        qeSysSetDir(run->demoFolder);
        qeDemoRemoveExtractDir(1);
        return false;
    }
    qeSysSetDir(run->demoFolder);
    qeDemoLoadShaders(run->demo, &run->ids.cameraEffect);  // a missing shader is told but does not stop the demo
    qeSysSetDir(run->demoFolder);
    qeDemoRemoveExtractDir(1);
    qeDemoRemoveExtractDir(0);
    return qeDemoCheckTiming(run->demo) == 0;
}

bool loadMusic(RunState* run) {
    if (!openSlot(2, QE_CAB_MUSIC, "Failed to open music err=%d", "Failed to use music")) return false;
    if (qeDemoLoadMusics(run->demo, &run->ids.music) != 0) {
        qeSysMessageBox("Failed to load music");
        qeDemoRemoveExtractDir(2);
        return false;
    }
    return true;
}

int runPacked(RunState* run) {
    if (!qeDemoModuleHasCabResources(nullptr)) {
        qeSysMessageBox("Resources don't exist");
        return -1;
    }
    if (!startEngine(run) || !showLoading(run) || !loadDemo(run) || !loadMusic(run)) return -1;
    qeSysSetDir(run->demoFolder);  // gone by now: the change fails quietly
    qeIrrlichtLoadingScreenEnd();
    run->loadingShown = false;
    qeDemoWarmUp(run->demo);
    qeIrrlichtSleep(200);
    qeDemoPlay(run->demo);
    qeDemoFree(run->demo);
    qeDemoRemoveExtractDir(2);
    qeSysShutdown();
    return 0;
}

}  // namespace

int qeDemoRunPacked() {
    RunState run;
    std::memset(&run, 0, sizeof(run));
    run.demo = static_cast<DemoDescription*>(std::calloc(1, sizeof(DemoDescription)));
    if (!run.demo) return -1;
    run.ids = qeDemoIdCountersStart();
    // One folder of the run's own for all its slots, from the first expansion to the end of the music (a
    // failure to make it is told with the first expansion).
    const bool held = qeDemoHoldRunFolder() != nullptr;
    const int result = runPacked(&run);
    if (result != 0) {
        if (run.engineStarted) {
            if (run.loadingShown) qeIrrlichtLoadingScreenAbandon();
            if (run.demoPrepared) qeDemoFree(run.demo);
        }
        qeDemoRemoveExtractDirs();
        if (run.engineStarted) qeSysShutdown();
    }
    if (held) qeDemoReleaseRunFolder();
    std::free(run.demo);
    return result;
}
