// The packed-demo run mode: the executable's cabinet resources are expanded into folders of their own
// (the extraction slots) inside one folder of the run's own under the temporary folder, the engine starts
// from the default data, the demo loads from the data folder and the music from the music folder, each
// slot's folder is deleted as soon as what it holds is in memory, and the demo plays; the run's folder goes
// at its end.
#include "packer_internal.h"

#include <fdi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
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
const size_t kRunFolderDigits = 8;
// What a run writes into its folder as soon as it holds it, and only a run: a folder of the run's name form
// that holds this file with this text is a run's own.
const char kRunMarkName[] = "~qirn-run.txt";
const char kRunMarkText[] = "Qirn: a packed demo or a pack keeps its files here while it runs, and removes them at its end.\r\n";
// A folder of the earlier layout written to within this time may be one that a run of a packed demo made
// before is still expanding (100 ns units: one minute).
const unsigned long long kRecentWrite = 60ULL * 10000000ULL;
// The cabinet that the expansions of earlier versions wrote into a slot's folder before expanding it.
const char kEarlierCabinetName[] = "~qirn-resource.cab";
// The name the expansion gives the resource's bytes in memory (no file has it).
const char kResourceStandIn[] = "<resource>";
// The longest path the wide file functions take.
const size_t kLongestPath = 32767;

struct ExtractSlot {
    int32_t inUse;
    char folder[QE_EXTRACT_PATH_SIZE];
};

ExtractSlot g_slots[QE_EXTRACT_SLOTS];

// The run's own folder while it is held: the handle keeps it open without sharing deletion, so that no
// other run can remove or rename it, until the process ends (however it ends).
struct RunFolder {
    HANDLE handle;
    int holds;
    int error;  // why the last hold failed (a system error number)
    char path[QE_EXTRACT_PATH_SIZE];
};

RunFolder g_run = {INVALID_HANDLE_VALUE, 0, 0, ""};

bool slotInUse(int slot) { return slot >= 0 && slot < QE_EXTRACT_SLOTS && g_slots[slot].inUse; }

// True when `path` is `folder` or lies inside it.
bool isInside(const char* path, const char* folder) {
    const size_t n = std::strlen(folder);
    return n > 0 && _strnicmp(path, folder, n) == 0 && (path[n] == 0 || qePackIsSeparator(path[n]));
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

// 1 when deleted, with everything in it at any length.
int deleteFolder(const char* folder) {
    leaveFolder(folder);
    return qeSysRemoveFolderTree(folder) ? 1 : 0;
}

// The temporary folder, with its closing separator; "" when it cannot be had.
std::string temporaryFolder() {
    char temp[QE_EXTRACT_PATH_SIZE];
    const DWORD t = GetTempPathA(sizeof(temp), temp);
    return t > 0 && t < sizeof(temp) ? std::string(temp) : std::string();
}

// The longest temporary folder a run can use: the system takes current folders of at most MAX_PATH - 2
// characters, and a run enters its slots' folders.
size_t longestTemporaryFolder() {
    return MAX_PATH - 2 - (sizeof(kRunFolderPrefix) - 1 + kRunFolderDigits + 1 +
                           qeDemoExtractFolderName(QE_EXTRACT_SLOTS - 1).size());
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

struct FolderEntry {
    std::string name;
    DWORD attributes;
    FILETIME written;
};

// The entries of a folder (without "." and ".."), at any length.
std::vector<FolderEntry> entriesOf(const std::string& folder) {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((qeSysLongPath(folder.c_str()) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return entries;
    do {
        const std::string name = qeSysAnsiText(found.cFileName);
        if (name.empty()) continue;
        if (name != "." && name != "..")
            entries.push_back({name, found.dwFileAttributes, found.ftLastWriteTime});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return entries;
}

bool isFolder(const FolderEntry& entry) {
    return (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) && !(entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool writtenRecently(const FILETIME& written) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return qeSysFileTimeValue(written) + kRecentWrite >= qeSysFileTimeValue(now);
}

bool endsWith(const std::string& name, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return name.size() > n && _stricmp(name.c_str() + name.size() - n, suffix) == 0;
}

bool endsWithOneOf(const std::string& name, std::initializer_list<const char*> suffixes) {
    for (const char* suffix : suffixes)
        if (endsWith(name, suffix)) return true;
    return false;
}

// ---- what the engine wrote ----

// The slot folders' content as expansions made before runs marked their folders wrote it: slot 0 the
// default data (the engine's shader folders, the compiled-shader cache and the textures, each one level
// deep; a pack gathers the same in its folder), slot 1 the loading picture or the demo's data, slot 2 the
// music, each with the cabinet of the resource while it was expanded.
enum { kDefaultDataContent = 0, kDataContent = 1, kMusicContent = 2 };

bool writtenByExpansion(int content, const std::string& folder, const std::string& name) {
    if (folder.empty() && name == kEarlierCabinetName) return true;
    const auto shaderFile = {".hlsl", ".vsh", ".psh"};
    const auto imageFile = {".jpg", ".png", ".jpeg", ".bmp", ".tga", ".gif", ".raw", ".dds"};
    switch (content) {
        case kDefaultDataContent:
            if (folder.find('\\') != std::string::npos) return false;
            for (const char* shaders : {"shaders", "shadersPP", "shadersSURF", "shadersSURF2", "shadersHV"})
                if (_stricmp(folder.c_str(), shaders) == 0)
                    return endsWithOneOf(name, shaderFile) || endsWithOneOf(name, {".fx", ".h"});
            if (_stricmp(folder.c_str(), "shadersCache") == 0)
                return endsWithOneOf(name, {".vso", ".pso", ".vso.inf", ".pso.inf"});
            return _stricmp(folder.c_str(), "textures") == 0 && endsWithOneOf(name, imageFile);
        case kDataContent:
            if (folder.empty() && endsWith(name, ".demo.ini")) return true;
            return endsWithOneOf(name, {".x", ".lws.ini.bin", ".qirn", ".dbs", ".fx"}) ||
                   endsWithOneOf(name, shaderFile) || endsWithOneOf(name, imageFile);
        case kMusicContent: return endsWithOneOf(name, {".mp3", ".mpg", ".mpeg"});
        default: return false;
    }
}

// True when `path` holds nothing but what an expansion of `content` writes: files of its kinds, none
// marked read-only, in folders (no links) at most a few levels deep.
bool holdsOnlyExpansion(int content, const std::string& path, const std::string& folder = std::string(),
                        int depth = 0) {
    if (depth > 8) return false;
    for (const FolderEntry& entry : entriesOf(path)) {
        if (entry.attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY)) return false;
        if (isFolder(entry)) {
            if (!holdsOnlyExpansion(content, path + "\\" + entry.name,
                                    folder.empty() ? entry.name : folder + "\\" + entry.name, depth + 1))
                return false;
        } else if (!writtenByExpansion(content, folder, entry.name)) {
            return false;
        }
    }
    return true;
}

// The slot of a slot folder's name ("TheDemoExtractDir.<digit>"), or -1.
int slotOfName(const std::string& name) {
    const std::string prefix = std::string(kExtractDirName) + ".";
    if (name.size() != prefix.size() + 1 || name.compare(0, prefix.size(), prefix) != 0) return -1;
    const char digit = name.back();
    return digit >= '0' && digit <= '9' ? digit - '0' : -1;
}

// True for the name form of a run's folder: "TheDemoRun." and eight hexadecimal digits as a run writes them.
bool isRunFolderName(const std::string& name) {
    const size_t n = sizeof(kRunFolderPrefix) - 1;
    if (name.size() != n + kRunFolderDigits || name.compare(0, n, kRunFolderPrefix) != 0) return false;
    for (size_t i = n; i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i])) && (name[i] < 'A' || name[i] > 'F')) return false;
    return true;
}

bool holdsRunMark(const std::string& folder) {
    const std::string mark = folder + "\\" + kRunMarkName;
    HANDLE file = CreateFileA(mark.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char text[sizeof(kRunMarkText) + 1];
    DWORD read = 0;
    const bool same = ReadFile(file, text, sizeof(text), &read, nullptr) && read == sizeof(kRunMarkText) - 1 &&
                      std::memcmp(text, kRunMarkText, read) == 0;
    CloseHandle(file);
    return same;
}

// True when every entry of a run's folder is one that runs and packs write there: its mark, the slots'
// folders, the folder where a pack gathers the default data, the copy of a data cabinet that a pack reads.
// In a folder without the mark (made by a run before runs marked their folders) the slots are those runs
// used, and each holds only what an expansion writes.
bool holdsOnlyRunEntries(const std::string& folder, bool marked) {
    for (const FolderEntry& entry : entriesOf(folder)) {
        const std::string path = folder + "\\" + entry.name;
        if (!isFolder(entry)) {
            if (entry.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
            if (marked && entry.name == kRunMarkName) continue;
            if (entry.name == qeDemoCabFileName(QE_CAB_DATA)) continue;
            return false;
        }
        const int slot = slotOfName(entry.name);
        if (marked && (slot >= 0 || entry.name == qeDemoStagingFolderName())) continue;
        if (slot >= 0 && slot <= kMusicContent && holdsOnlyExpansion(slot, path)) continue;
        if (entry.name == qeDemoStagingFolderName() && holdsOnlyExpansion(kDefaultDataContent, path)) continue;
        return false;
    }
    return true;
}

// Removes the folder that `handle` opened exclusively (no process held it then), with its content and its
// mark last; 1 when it is gone. The handle is closed first: the folder's listing needs it. A run that takes
// the folder meanwhile (only one that has just made it, under a new name) keeps it: its hold refuses the
// removal.
int removeHeldFolder(const std::string& path, HANDLE handle) {
    CloseHandle(handle);
    for (const FolderEntry& entry : entriesOf(path)) {
        if (entry.name == kRunMarkName) continue;
        const std::string child = path + "\\" + entry.name;
        if (isFolder(entry))
            qeSysRemoveFolderTree(child.c_str());
        else
            DeleteFileW(qeSysLongPath(child.c_str()).c_str());
    }
    DeleteFileA((path + "\\" + kRunMarkName).c_str());
    return RemoveDirectoryA(path.c_str()) ? 1 : 0;
}

// The folders in the temporary folder whose names start with `prefix`.
std::vector<FolderEntry> foldersStartingWith(const std::string& temp, const char* prefix) {
    std::vector<FolderEntry> folders;
    for (const FolderEntry& entry : entriesOf(temp.substr(0, temp.size() - 1)))
        if (isFolder(entry) && entry.name.compare(0, std::strlen(prefix), prefix) == 0) folders.push_back(entry);
    return folders;
}

int clearLeftovers() {
    const std::string temp = temporaryFolder();
    if (temp.empty()) return 0;
    int removed = 0;
    // Run folders that no process holds: their runs were killed (or are being cleared by another run,
    // which holds them then). Only a folder of a run's name form that holds nothing but what runs write
    // there is one: with the run's mark, or, without it, of a run made before runs marked their folders
    // and not written to within the last minute (a run that has just made its folder has not marked it yet).
    for (const FolderEntry& folder : foldersStartingWith(temp, kRunFolderPrefix)) {
        const std::string path = temp + folder.name;
        if (!isRunFolderName(folder.name) || (g_run.holds && _stricmp(path.c_str(), g_run.path) == 0)) continue;
        const bool marked = holdsRunMark(path);
        if ((!marked && writtenRecently(folder.written)) || !holdsOnlyRunEntries(path, marked)) continue;
        HANDLE held = openFolder(path, true);
        if (held != INVALID_HANDLE_VALUE) removed += removeHeldFolder(path, held);
    }
    // Folders of the earlier layout, "TheDemoExtractDir.<slot>" in the temporary folder itself for the
    // slots 0, 1 and 2, holding only what their expansions wrote, which runs of packed demos made before
    // kept no hold on: at every moment of such a run one of its folders is its current folder, or was
    // written to just before. They are removed all together, and only when none is any process's current
    // folder and none was written to within the last minute.
    std::vector<std::pair<std::string, HANDLE>> earlier;
    bool inUse = false;
    for (const FolderEntry& folder : foldersStartingWith(temp, kExtractDirName)) {
        const std::string path = temp + folder.name;
        const int slot = slotOfName(folder.name);
        if (slot < 0 || slot > kMusicContent || !holdsOnlyExpansion(slot, path)) continue;
        HANDLE held = writtenRecently(folder.written) ? INVALID_HANDLE_VALUE : openFolder(path, true);
        if (held == INVALID_HANDLE_VALUE) {
            inUse = true;
            break;
        }
        earlier.push_back({path, held});
    }
    for (const auto& folder : earlier) {
        if (inUse)
            CloseHandle(folder.second);
        else
            removed += removeHeldFolder(folder.first, folder.second);
    }
    return removed;
}

// ---- the expansion ----

// A stream of the expansion: the resource's bytes (the cabinet) or a file being written.
struct CabStream {
    const char* bytes;
    DWORD size;
    DWORD position;
    HANDLE file;
    LONG expected;  // the size the cabinet gives the file
    LONG written;
};

// The expansion under way, read by the cabinet callbacks.
struct Expansion {
    std::string folder;
    const char* bytes;
    DWORD size;
    std::vector<std::unique_ptr<CabStream>> streams;
    DWORD error;  // why it stopped (a system error number), 0 while nothing failed
};

Expansion* g_expansion = nullptr;

CabStream* addStream() {
    g_expansion->streams.push_back(std::unique_ptr<CabStream>(new CabStream{nullptr, 0, 0, INVALID_HANDLE_VALUE, 0, 0}));
    return g_expansion->streams.back().get();
}

CabStream* streamOf(INT_PTR handle) { return reinterpret_cast<CabStream*>(handle); }

// Notes the first reason the expansion stops.
void failWith(DWORD error) {
    if (g_expansion && !g_expansion->error) g_expansion->error = error ? error : static_cast<DWORD>(QE_EXTRACT_FAILED);
}

FNALLOC(cabAlloc) { return std::malloc(cb); }
FNFREE(cabFree) { std::free(pv); }

FNOPEN(cabOpen) {
    (void)oflag;
    (void)pmode;
    if (!g_expansion || std::strcmp(pszFile, kResourceStandIn) != 0) return -1;
    CabStream* stream = addStream();
    stream->bytes = g_expansion->bytes;
    stream->size = g_expansion->size;
    return reinterpret_cast<INT_PTR>(stream);
}

FNREAD(cabRead) {
    CabStream* stream = streamOf(hf);
    if (!stream->bytes) return static_cast<UINT>(-1);
    const UINT n = std::min<UINT>(cb, stream->size - stream->position);
    std::memcpy(pv, stream->bytes + stream->position, n);
    stream->position += n;
    return n;
}

FNWRITE(cabWrite) {
    CabStream* stream = streamOf(hf);
    DWORD written = 0;
    if (stream->file == INVALID_HANDLE_VALUE) return static_cast<UINT>(-1);
    if (!WriteFile(stream->file, pv, cb, &written, nullptr) || written != cb) {
        const DWORD error = GetLastError();
        failWith(error != NO_ERROR ? error : ERROR_DISK_FULL);
        return static_cast<UINT>(-1);
    }
    stream->written += static_cast<LONG>(written);
    return written;
}

FNCLOSE(cabClose) {
    CabStream* stream = streamOf(hf);
    if (stream->file != INVALID_HANDLE_VALUE) CloseHandle(stream->file);
    stream->file = INVALID_HANDLE_VALUE;
    return 0;
}

FNSEEK(cabSeek) {
    CabStream* stream = streamOf(hf);
    if (!stream->bytes) return -1;
    const long long base = seektype == SEEK_CUR ? stream->position : seektype == SEEK_END ? stream->size : 0;
    const long long position = base + dist;
    if (position < 0 || position > stream->size) return -1;
    stream->position = static_cast<DWORD>(position);
    return static_cast<LONG>(position);
}

// The file for a stored name, opened for writing; -1 stops the expansion.
INT_PTR openTarget(const FDINOTIFICATION* info) {
    std::vector<char> target(kLongestPath);
    if (!qeDemoExtractTarget(g_expansion->folder.c_str(), info->psz1, target.data(), target.size())) {
        failWith(ERROR_INVALID_NAME);
        return -1;
    }
    // the folders between the extraction folder and the file
    const std::string folder = target.data();
    const size_t cut = folder.find_last_of("\\/");
    if (cut > g_expansion->folder.size() && !qeSysMakeFolders(folder.substr(0, cut).c_str())) {
        failWith(GetLastError());
        return -1;
    }
    HANDLE file = CreateFileW(qeSysLongPath(target.data()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        failWith(GetLastError());
        return -1;
    }
    CabStream* stream = addStream();
    stream->file = file;
    stream->expected = info->cb;
    return reinterpret_cast<INT_PTR>(stream);
}

// Closes an expanded file, which must have been written whole. It gets the date the cabinet stores for it:
// the dates of the files decide whether a compiled shader of the cache is older than its source, as they
// did where the demo was packed. FALSE stops the expansion.
INT_PTR closeTarget(const FDINOTIFICATION* info) {
    CabStream* stream = streamOf(info->hf);
    if (stream->file == INVALID_HANDLE_VALUE) return FALSE;
    bool whole = stream->written == stream->expected;
    FILETIME local, written;
    if (whole && DosDateTimeToFileTime(info->date, info->time, &local) && LocalFileTimeToFileTime(&local, &written))
        SetFileTime(stream->file, nullptr, nullptr, &written);
    if (!CloseHandle(stream->file)) {
        failWith(GetLastError());
        whole = false;
    }
    stream->file = INVALID_HANDLE_VALUE;
    if (!whole) failWith(ERROR_DISK_FULL);
    return whole ? TRUE : FALSE;
}

// The system's error number for a failure that the cabinet functions tell.
DWORD cabinetError(const ERF& erf) {
    switch (erf.erfOper) {
        case FDIERROR_ALLOC_FAIL: return ERROR_NOT_ENOUGH_MEMORY;
        case FDIERROR_NOT_A_CABINET:
        case FDIERROR_UNKNOWN_CABINET_VERSION:
        case FDIERROR_CORRUPT_CABINET:
        case FDIERROR_BAD_COMPR_TYPE:
        case FDIERROR_MDI_FAIL: return ERROR_INVALID_DATA;
        default: return static_cast<DWORD>(QE_EXTRACT_FAILED);
    }
}

// The cabinet functions' notifications: each stored file is written into the expansion's folder.
INT_PTR DIAMONDAPI qeDemoCabCallback(FDINOTIFICATIONTYPE notification, PFDINOTIFICATION info) {
    if (!g_expansion) return -1;
    switch (notification) {
        case fdintCOPY_FILE: return openTarget(info);
        case fdintCLOSE_FILE_INFO: return closeTarget(info);
        case fdintNEXT_CABINET: return -1;  // a resource is one whole cabinet
        default: return 0;
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
    while (qePackIsSeparator(*name)) ++name;  // stored from a root-relative pattern
    // A name stays inside the folder as a packed folder stays inside the demo's.
    if (!*name || !qeDemoFolderInsideDemo(name)) return false;
    const int n = std::snprintf(target, size, "%s\\%s", folder, name);
    return n > 0 && static_cast<size_t>(n) < size;
}

int qeDemoExtractCabResourceFrom(HMODULE module, int id, const char* folder) {
    if (!folder || !folder[0] || std::strlen(folder) >= QE_EXTRACT_PATH_SIZE) return QE_EXTRACT_NOT_CREATED;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "CAB");
    if (!resource) return QE_EXTRACT_NOT_FOUND;
    HGLOBAL loaded = LoadResource(module, resource);
    if (!loaded) return QE_EXTRACT_NOT_LOADED;
    const DWORD size = SizeofResource(module, resource);
    const void* bytes = LockResource(loaded);
    if (!bytes) return QE_EXTRACT_NOT_LOCKED;

    // The cabinet is read where the resource lies; only the files it holds are written.
    Expansion expansion{folder, static_cast<const char*>(bytes), size, {}, 0};
    while (expansion.folder.size() > 3 && qePackIsSeparator(expansion.folder.back())) expansion.folder.pop_back();
    ERF erf;
    std::memset(&erf, 0, sizeof(erf));
    HFDI fdi = FDICreate(cabAlloc, cabFree, cabOpen, cabRead, cabWrite, cabClose, cabSeek, cpuUNKNOWN, &erf);
    if (!fdi) return ERROR_NOT_ENOUGH_MEMORY;
    g_expansion = &expansion;
    char name[sizeof(kResourceStandIn)];
    std::memcpy(name, kResourceStandIn, sizeof(name));
    char path[1] = "";
    const BOOL expanded = FDICopy(fdi, name, path, 0, qeDemoCabCallback, nullptr, nullptr);
    FDIDestroy(fdi);
    g_expansion = nullptr;
    // a file cut off by a failure
    for (const auto& stream : expansion.streams)
        if (stream->file != INVALID_HANDLE_VALUE) CloseHandle(stream->file);
    if (expansion.error) return static_cast<int>(expansion.error);
    return expanded ? 0 : static_cast<int>(cabinetError(erf));
}

int qeDemoExtractCabResource(int id, const char* folder) { return qeDemoExtractCabResourceFrom(nullptr, id, folder); }

int qeDemoOpenCabResourceFrom(HMODULE module, int slot, int id) {
    if (slot < 0 || slot >= QE_EXTRACT_SLOTS) return -1;
    // The slot's folder lies in the run's own folder, held while the slot is in use.
    const char* run = qeDemoHoldRunFolder();
    if (!run) return g_run.error ? g_run.error : -1;
    if (slotInUse(slot)) qeDemoRemoveExtractDir(slot);
    ExtractSlot* s = &g_slots[slot];
    const int n = std::snprintf(s->folder, sizeof(s->folder), "%s\\%s", run, qeDemoExtractFolderName(slot).c_str());
    if (n <= 0 || n >= static_cast<int>(sizeof(s->folder))) {
        s->folder[0] = 0;
        qeDemoReleaseRunFolder();
        return -1;
    }
    int code = 0;
    if (!CreateDirectoryA(s->folder, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        code = static_cast<int>(GetLastError());
    if (code == 0) code = qeDemoExtractCabResourceFrom(module, id, s->folder);
    if (code != 0) {
        // nothing of a failed expansion stays
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
    return qeSysWinSetDir(g_slots[slot].folder);
}

const char* qeDemoGetExtractDir(int slot) { return slotInUse(slot) ? g_slots[slot].folder : nullptr; }

int qeDemoRemoveExtractDir(int slot) {
    if (!slotInUse(slot) || !g_slots[slot].folder[0]) return -1;
    ExtractSlot* s = &g_slots[slot];
    const int deleted = deleteFolder(s->folder);
    s->inUse = 0;
    s->folder[0] = 0;
    qeDemoReleaseRunFolder();
    return deleted ? 0 : -1;
}

// Marks the folder as a run's own: false, with the system's reason, when the mark cannot be written whole.
bool markRunFolder(const std::string& folder) {
    HANDLE file = CreateFileA((folder + "\\" + kRunMarkName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool whole = WriteFile(file, kRunMarkText, sizeof(kRunMarkText) - 1, &written, nullptr) &&
                 written == sizeof(kRunMarkText) - 1;
    const DWORD error = whole ? NO_ERROR : (GetLastError() != NO_ERROR ? GetLastError() : ERROR_DISK_FULL);
    whole = CloseHandle(file) && whole;
    if (!whole) DeleteFileA((folder + "\\" + kRunMarkName).c_str());
    SetLastError(error);
    return whole;
}

const char* qeDemoHoldRunFolder() {
    if (g_run.holds > 0) {
        ++g_run.holds;
        return g_run.path;
    }
    g_run.error = 0;
    const std::string temp = temporaryFolder();
    if (temp.empty()) {
        g_run.error = ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    clearLeftovers();
    if (temp.size() > longestTemporaryFolder()) {
        g_run.error = ERROR_FILENAME_EXCED_RANGE;
        return nullptr;
    }
    // A name that no folder has: made new, held, then marked (a clearing run may take an empty folder between
    // the first two steps for a killed run's leftover: another name is tried then).
    unsigned int seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
    for (int tries = 0; tries < 100; ++tries, seed = seed * 1103515245u + 12345u) {
        char path[QE_EXTRACT_PATH_SIZE];
        const int n = std::snprintf(path, sizeof(path), "%s%s%08X", temp.c_str(), kRunFolderPrefix, seed);
        if (n <= 0 || n >= static_cast<int>(sizeof(path))) return nullptr;
        if (!CreateDirectoryA(path, nullptr)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
            g_run.error = static_cast<int>(GetLastError());
            return nullptr;
        }
        HANDLE handle = openFolder(path, false);
        if (handle == INVALID_HANDLE_VALUE) continue;
        if (!markRunFolder(path)) {
            g_run.error = static_cast<int>(GetLastError());
            CloseHandle(handle);
            RemoveDirectoryA(path);
            return nullptr;
        }
        g_run.handle = handle;
        g_run.holds = 1;
        std::snprintf(g_run.path, sizeof(g_run.path), "%s", path);
        return g_run.path;
    }
    g_run.error = ERROR_ALREADY_EXISTS;
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
    // that stays is a leftover that the next clearing removes. What the run did not write stays.
    for (int tries = 0; tries < 40 && holdsOnlyRunEntries(path, true); ++tries) {
        HANDLE held = openFolder(path, true);
        if (held != INVALID_HANDLE_VALUE && removeHeldFolder(path, held)) break;
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) break;
        Sleep(50);
    }
    clearLeftovers();
}

int qeDemoRunFolderError() { return g_run.error; }

std::string qeDemoTemporaryFolderFault(int code) {
    const std::string temp = temporaryFolder();
    char text[QE_EXTRACT_PATH_SIZE + 256];
    switch (code) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            std::snprintf(text, sizeof(text), "the temporary folder '%s' is full", temp.c_str());
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_CANNOT_MAKE:
            std::snprintf(text, sizeof(text), "the temporary folder '%s' cannot be written", temp.c_str());
            break;
        case ERROR_PATH_NOT_FOUND:
            std::snprintf(text, sizeof(text), "the temporary folder '%s' is missing", temp.c_str());
            break;
        case ERROR_FILENAME_EXCED_RANGE:
            std::snprintf(text, sizeof(text),
                          "the temporary folder '%s' is too long a path (%d characters): the folders written there "
                          "are entered as current folders, which the system takes up to %d characters long, so it "
                          "can have at most %d",
                          temp.c_str(), static_cast<int>(temp.size()), MAX_PATH - 2,
                          static_cast<int>(longestTemporaryFolder()));
            break;
        default: return std::string();
    }
    return text;
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
