// The packed-demo run mode: the executable's cabinet resources are expanded into folders of their own
// under the temporary folder (the extraction slots), the engine starts from the default data, the demo
// loads from the data folder and the music from the music folder, each folder is deleted as soon as what
// it holds is in memory, and the demo plays.
#include "packer.h"

#include <setupapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/demo.h"
#include "engine.h"
#include "facade.h"
#include "frontends.h"
#include "loading_screen.h"
#include "setup.h"
#include "sys.h"
#include "sysfile.h"

namespace {

const char kExtractDirName[] = "TheDemoExtractDir";
// The resource's bytes are written here inside the slot's folder before they are expanded next to it.
const char kCabinetFileName[] = "~qirn-resource.cab";

struct ExtractSlot {
    int32_t inUse;
    char folder[QE_EXTRACT_PATH_SIZE];
};

struct PackedRun {
    ExtractSlot slots[QE_EXTRACT_SLOTS];
    char target[QE_EXTRACT_PATH_SIZE];  // the folder being expanded, read by the cabinet callback
    int32_t refused;                    // the callback refused a name (not every expansion stops on it)
    WORD fileDate, fileTime;            // the date of the file being expanded, as the cabinet stores it
};

PackedRun g_packed;

bool slotInUse(int slot) { return slot >= 0 && slot < QE_EXTRACT_SLOTS && g_packed.slots[slot].inUse; }

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// True when `path` is `folder` or lies inside it.
bool isInside(const char* path, const char* folder) {
    const size_t n = std::strlen(folder);
    return n > 0 && _strnicmp(path, folder, n) == 0 && (path[n] == 0 || isSeparator(path[n]));
}

// A folder that is some process's current folder cannot be deleted: ours moves to the temporary folder.
void leaveFolder(const char* folder) {
    char current[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(sizeof(current), current);
    if (n == 0 || n >= sizeof(current) || !isInside(current, folder)) return;
    char temp[MAX_PATH];
    const DWORD t = GetTempPathA(sizeof(temp), temp);
    if (t > 0 && t < sizeof(temp)) SetCurrentDirectoryA(temp);
}

// 1 when deleted. Temporary files never go to the recycle bin.
int deleteFolder(const char* folder) {
    leaveFolder(folder);
    return qeSysDeleteFolder(folder, 1);
}

// Creates every missing folder between the extraction folder and the file `target`.
void makeFoldersOf(const char* target, size_t folderLength) {
    char path[MAX_PATH];
    std::snprintf(path, sizeof(path), "%s", target);
    for (size_t i = folderLength + 1; path[i]; ++i) {
        if (!isSeparator(path[i])) continue;
        const char kept = path[i];
        path[i] = 0;
        CreateDirectoryA(path, nullptr);
        path[i] = kept;
    }
}

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
        qeSysMessageBox(openFailure, code);
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

std::string qeDemoExtractFolderName(int slot) { return std::string(kExtractDirName) + "." + std::to_string(slot); }

int qeDemoModuleHasCabResources(HMODULE module) {
    for (int id = QE_CAB_DATA; id <= QE_CAB_LOADING; ++id)
        if (!FindResourceA(module, MAKEINTRESOURCEA(id), "CAB")) return 0;
    return 1;
}

int qeDemoHasCabResources() { return qeDemoModuleHasCabResources(nullptr); }

int qeDemoCabResourceExists(int id) { return FindResourceA(nullptr, MAKEINTRESOURCEA(id), "CAB") != nullptr; }

bool qeDemoExtractTarget(const char* folder, const char* name, char* target, size_t size) {
    if (!folder || !name) return false;
    while (isSeparator(*name)) ++name;  // stored from a root-relative pattern
    if (!*name || std::strchr(name, ':')) return false;
    // No component may climb out of the folder.
    for (const char* c = name; *c;) {
        const char* end = c;
        while (*end && !isSeparator(*end)) ++end;
        if (end - c == 2 && c[0] == '.' && c[1] == '.') return false;
        c = *end ? end + 1 : end;
    }
    const int n = std::snprintf(target, size, "%s\\%s", folder, name);
    return n > 0 && static_cast<size_t>(n) < size;
}

// Gives an expanded file the date the cabinet stores for it: the dates of the files decide whether a
// compiled shader of the cache is older than its source, as they did where the demo was packed.
void keepStoredDate(const char* file) {
    FILETIME local, written;
    if (!DosDateTimeToFileTime(g_packed.fileDate, g_packed.fileTime, &local) ||
        !LocalFileTimeToFileTime(&local, &written))
        return;
    HANDLE handle = CreateFileA(file, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    SetFileTime(handle, nullptr, nullptr, &written);
    CloseHandle(handle);
}

UINT CALLBACK qeDemoCabCallback(PVOID, UINT notification, UINT_PTR param1, UINT_PTR) {
    if (notification == SPFILENOTIFY_FILEEXTRACTED) {
        const FILEPATHS_A* paths = reinterpret_cast<const FILEPATHS_A*>(param1);
        if (paths && paths->Win32Error == NO_ERROR && paths->Target) keepStoredDate(paths->Target);
        return NO_ERROR;
    }
    if (notification != SPFILENOTIFY_FILEINCABINET) return NO_ERROR;
    FILE_IN_CABINET_INFO_A* info = reinterpret_cast<FILE_IN_CABINET_INFO_A*>(param1);
    g_packed.fileDate = info->DosDate;
    g_packed.fileTime = info->DosTime;
    if (!qeDemoExtractTarget(g_packed.target, info->NameInCabinet, info->FullTargetName,
                             sizeof(info->FullTargetName))) {
        info->Win32Error = ERROR_INVALID_NAME;
        SetLastError(ERROR_INVALID_NAME);
        g_packed.refused = 1;
        return FILEOP_ABORT;
    }
    makeFoldersOf(info->FullTargetName, std::strlen(g_packed.target));
    return FILEOP_DOIT;
}

int qeDemoExtractCabResourceFrom(HMODULE module, int id, const char* folder) {
    if (!folder || std::snprintf(g_packed.target, sizeof(g_packed.target), "%s", folder) >=
                       static_cast<int>(sizeof(g_packed.target)))
        return QE_EXTRACT_NOT_CREATED;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "CAB");
    if (!resource) return QE_EXTRACT_NOT_FOUND;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) return QE_EXTRACT_NOT_LOADED;
    const DWORD size = SizeofResource(module, resource);
    const void* bytes = LockResource(loaded);
    if (!bytes) return QE_EXTRACT_NOT_LOCKED;

    char cabinet[QE_EXTRACT_PATH_SIZE + sizeof(kCabinetFileName) + 1];
    std::snprintf(cabinet, sizeof(cabinet), "%s\\%s", folder, kCabinetFileName);
    HANDLE file = CreateFileA(cabinet, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return QE_EXTRACT_NOT_CREATED;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes, size, &written, nullptr) && written == size;
    CloseHandle(file);
    if (!ok) return QE_EXTRACT_NOT_WRITTEN;

    g_packed.refused = 0;
    const BOOL expanded = SetupIterateCabinetA(cabinet, 0, qeDemoCabCallback, nullptr);
    if (g_packed.refused) return ERROR_INVALID_NAME;
    if (!expanded) {
        const DWORD error = GetLastError();
        return error != 0 ? static_cast<int>(error) : QE_EXTRACT_FAILED;
    }
    DeleteFileA(cabinet);
    return 0;
}

int qeDemoExtractCabResource(int id, const char* folder) { return qeDemoExtractCabResourceFrom(nullptr, id, folder); }

int qeDemoOpenCabResourceFrom(HMODULE module, int slot, int id) {
    if (slot < 0 || slot >= QE_EXTRACT_SLOTS) return -1;
    if (slotInUse(slot)) qeDemoRemoveExtractDir(slot);
    ExtractSlot* s = &g_packed.slots[slot];
    char temp[QE_EXTRACT_PATH_SIZE];
    const DWORD t = GetTempPathA(sizeof(temp), temp);
    if (t == 0 || t >= sizeof(temp)) return -1;
    const int n = std::snprintf(s->folder, sizeof(s->folder), "%s%s", temp, qeDemoExtractFolderName(slot).c_str());
    if (n <= 0 || n >= static_cast<int>(sizeof(s->folder))) {
        s->folder[0] = 0;
        return -1;
    }
    // A folder of that name left by a run that did not end must not mix its files into this one.
    if (GetFileAttributesA(s->folder) != INVALID_FILE_ATTRIBUTES) deleteFolder(s->folder);
    CreateDirectoryA(s->folder, nullptr);
    const int code = qeDemoExtractCabResourceFrom(module, id, s->folder);
    g_packed.target[0] = 0;
    if (code != 0) {
        deleteFolder(s->folder);
        s->folder[0] = 0;
        return code;
    }
    s->inUse = 1;
    qeSysWinSetDir(s->folder);
    return 0;
}

int qeDemoOpenCabResource(int slot, int id) { return qeDemoOpenCabResourceFrom(nullptr, slot, id); }

int qeDemoEnterExtractDir(int slot) {
    if (!slotInUse(slot)) return -1;
    return qeSysWinSetDir(g_packed.slots[slot].folder);
}

const char* qeDemoGetExtractDir(int slot) { return slotInUse(slot) ? g_packed.slots[slot].folder : nullptr; }

int qeDemoRemoveExtractDir(int slot) {
    if (!slotInUse(slot) || !g_packed.slots[slot].folder[0]) return -1;
    ExtractSlot* s = &g_packed.slots[slot];
    const int deleted = deleteFolder(s->folder);
    s->inUse = 0;
    s->folder[0] = 0;
    return deleted ? 0 : -1;
}

int qeDemoRemoveExtractDirs() {
    for (int slot = 0; slot < QE_EXTRACT_SLOTS; ++slot)
        if (slotInUse(slot)) qeDemoRemoveExtractDir(slot);
    return 0;
}

int qeDemoRunPacked() {
    RunState run;
    std::memset(&run, 0, sizeof(run));
    run.demo = static_cast<DemoDescription*>(std::calloc(1, sizeof(DemoDescription)));
    if (!run.demo) return -1;
    run.ids = qeDemoIdCountersStart();
    const int result = runPacked(&run);
    if (result != 0) {
        if (run.engineStarted) {
            if (run.loadingShown) qeIrrlichtLoadingScreenAbandon();
            if (run.demoPrepared) qeDemoFree(run.demo);
        }
        qeDemoRemoveExtractDirs();
        if (run.engineStarted) qeSysShutdown();
    }
    std::free(run.demo);
    return result;
}
