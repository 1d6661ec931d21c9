// The packed-demo run mode: the executable's cabinet resources are expanded into folders of their own
// under the temporary folder (the extraction slots), the engine starts from the default data, the demo
// loads from the data folder and the music from the music folder, each folder is deleted as soon as what
// it holds is in memory, and the demo plays.
#include "packer.h"

#include <setupapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "demo/demo.h"
#include "engine.h"
#include "facade.h"
#include "frame.h"
#include "frontends.h"
#include "loading_screen.h"
#include "setup.h"
#include "sys.h"
#include "sysfile.h"

namespace {

const char kExtractDirName[] = "TheDemoExtractDir";
// The folder of a run's own in the temporary folder: this, then eight hexadecimal digits.
const char kRunFolderPrefix[] = "TheDemoRun.";
// A folder of the earlier layout written to within this time may be one that a run of a packed demo made
// before this change is still expanding (100 ns units: one minute).
const unsigned long long kRecentWrite = 60ULL * 10000000ULL;
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

// The run's own folder while it is held: the handle keeps it open without sharing deletion, so that no
// other run can remove or rename it, until the process ends (however it ends).
struct RunFolder {
    HANDLE handle;
    int holds;
    char path[QE_EXTRACT_PATH_SIZE];
};

RunFolder g_run = {INVALID_HANDLE_VALUE, 0, ""};

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

// The temporary folder, with its closing separator; "" when it cannot be had.
std::string temporaryFolder() {
    char temp[QE_EXTRACT_PATH_SIZE];
    const DWORD t = GetTempPathA(sizeof(temp), temp);
    return t > 0 && t < sizeof(temp) ? std::string(temp) : std::string();
}

// Removes everything inside `folder` (read-only files too), not the folder itself.
void emptyFolder(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            emptyFolder(path);
            RemoveDirectoryA(path.c_str());
        } else {
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

// Opens a folder. A run holds its own folder with read access, sharing reading and writing but not
// deletion; a clearing takes a folder with deletion access and no sharing, which fails while any process
// holds it in any way, as a run its own folder, or as its current folder (Windows and Wine keep the current
// folder open without sharing deletion).
HANDLE openFolder(const std::string& path, bool exclusive) {
    return CreateFileA(path.c_str(), exclusive ? (DELETE | FILE_LIST_DIRECTORY) : FILE_LIST_DIRECTORY,
                       exclusive ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE), nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The folders in the temporary folder whose names start with `prefix`, each with its last write time.
std::vector<std::pair<std::string, FILETIME>> foldersStartingWith(const std::string& temp, const char* prefix) {
    std::vector<std::pair<std::string, FILETIME>> folders;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((temp + prefix + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return folders;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back({temp + found.cFileName, found.ftLastWriteTime});
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return folders;
}

// Removes the folder that `handle` opened exclusively (no process held it then), with its content; 1 when
// it is gone. The handle is closed first: the folder's listing needs it. A run that takes the folder meanwhile
// (only one that has just made it, under a new name) keeps it: its hold refuses the removal.
int removeHeldFolder(const std::string& path, HANDLE handle) {
    CloseHandle(handle);
    emptyFolder(path);
    return RemoveDirectoryA(path.c_str()) ? 1 : 0;
}

int clearLeftovers() {
    const std::string temp = temporaryFolder();
    if (temp.empty()) return 0;
    int removed = 0;
    // Run folders that no process holds: their runs were killed (or are being cleared by another run,
    // which holds them then).
    for (const auto& folder : foldersStartingWith(temp, kRunFolderPrefix)) {
        if (g_run.holds && _stricmp(folder.first.c_str(), g_run.path) == 0) continue;
        HANDLE held = openFolder(folder.first, true);
        if (held != INVALID_HANDLE_VALUE) removed += removeHeldFolder(folder.first, held);
    }
    // Folders of the earlier layout, "TheDemoExtractDir.<n>" in the temporary folder itself, which runs of
    // packed demos made before kept no hold on: at every moment of such a run one of its folders is its
    // current folder, or was written to just before. They are removed all together, and only when none is
    // any process's current folder and none was written to within the last minute.
    std::vector<std::pair<std::string, HANDLE>> earlier;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const unsigned long long current = (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    bool inUse = false;
    for (const auto& folder : foldersStartingWith(temp, "TheDemoExtractDir.")) {
        const unsigned long long written =
            (static_cast<unsigned long long>(folder.second.dwHighDateTime) << 32) | folder.second.dwLowDateTime;
        HANDLE held = written + kRecentWrite < current ? openFolder(folder.first, true) : INVALID_HANDLE_VALUE;
        if (held == INVALID_HANDLE_VALUE) {
            inUse = true;
            break;
        }
        earlier.push_back({folder.first, held});
    }
    for (const auto& folder : earlier) {
        if (inUse)
            CloseHandle(folder.second);
        else
            removed += removeHeldFolder(folder.first, folder.second);
    }
    return removed;
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
    // The slot's folder lies in the run's own folder, held while the slot is in use.
    const char* run = qeDemoHoldRunFolder();
    if (!run) return -1;
    if (slotInUse(slot)) qeDemoRemoveExtractDir(slot);
    ExtractSlot* s = &g_packed.slots[slot];
    const int n = std::snprintf(s->folder, sizeof(s->folder), "%s\\%s", run, qeDemoExtractFolderName(slot).c_str());
    if (n <= 0 || n >= static_cast<int>(sizeof(s->folder))) {
        s->folder[0] = 0;
        qeDemoReleaseRunFolder();
        return -1;
    }
    CreateDirectoryA(s->folder, nullptr);
    const int code = qeDemoExtractCabResourceFrom(module, id, s->folder);
    g_packed.target[0] = 0;
    if (code != 0) {
        deleteFolder(s->folder);
        s->folder[0] = 0;
        qeDemoReleaseRunFolder();
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
    qeDemoReleaseRunFolder();
    return deleted ? 0 : -1;
}

const char* qeDemoHoldRunFolder() {
    if (g_run.holds > 0) {
        ++g_run.holds;
        return g_run.path;
    }
    const std::string temp = temporaryFolder();
    if (temp.empty()) return nullptr;
    clearLeftovers();
    // A name that no folder has: made new, then held (a clearing run may take an empty folder between the
    // two steps for a killed run's leftover: another name is tried then).
    unsigned int seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
    for (int tries = 0; tries < 100; ++tries, seed = seed * 1103515245u + 12345u) {
        char path[QE_EXTRACT_PATH_SIZE];
        const int n = std::snprintf(path, sizeof(path), "%s%s%08X", temp.c_str(), kRunFolderPrefix, seed);
        if (n <= 0 || n >= static_cast<int>(sizeof(path))) return nullptr;
        if (!CreateDirectoryA(path, nullptr)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
            return nullptr;
        }
        HANDLE handle = openFolder(path, false);
        if (handle == INVALID_HANDLE_VALUE) continue;
        g_run.handle = handle;
        g_run.holds = 1;
        std::snprintf(g_run.path, sizeof(g_run.path), "%s", path);
        return g_run.path;
    }
    return nullptr;
}

void qeDemoReleaseRunFolder() {
    if (g_run.holds <= 0 || --g_run.holds > 0) return;
    const std::string path = g_run.path;
    leaveFolder(path.c_str());
    CloseHandle(g_run.handle);
    g_run.handle = INVALID_HANDLE_VALUE;
    g_run.path[0] = 0;
    // A program that ran in it may keep it open for a moment after its end (seen under Wine): a folder
    // that stays is a leftover that the next clearing removes.
    for (int tries = 0; tries < 40; ++tries) {
        HANDLE held = openFolder(path, true);
        if (held != INVALID_HANDLE_VALUE && removeHeldFolder(path, held)) break;
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) break;
        Sleep(50);
    }
    clearLeftovers();
}

const char* qeDemoGetRunFolder() { return g_run.holds > 0 ? g_run.path : nullptr; }

int qeDemoClearLeftovers() { return clearLeftovers(); }

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
