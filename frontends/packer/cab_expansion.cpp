// The cabinet resources of a packed demo and their expansion through the cabinet functions, read where a
// resource lies, into the extraction slots' folders in the run's own folder.
#include "packed_run_internal.h"

#include <fdi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frontends.h"
#include "packer_internal.h"
#include "sysfile.h"

namespace {

// The name the expansion gives the resource's bytes in memory (no file has it).
const char kResourceStandIn[] = "<resource>";
// The longest path the wide file functions take.
const size_t kLongestPath = 32767;

struct ExtractSlot {
    int32_t inUse;
    char folder[QE_EXTRACT_PATH_SIZE];
};

ExtractSlot g_slots[QE_EXTRACT_SLOTS];

bool slotInUse(int slot) { return slot >= 0 && slot < QE_EXTRACT_SLOTS && g_slots[slot].inUse; }

// 1 when deleted, with everything in it at any length.
int deleteFolder(const char* folder) {
    qeRunLeaveFolder(folder);
    return qeSysRemoveFolderTree(folder) ? 1 : 0;
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

}  // namespace

std::string qeDemoExtractFolderName(int slot) { return std::string(kQeRunExtractDirName) + "." + std::to_string(slot); }

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
    if (!run) {
        const int error = qeDemoRunFolderError();
        return error ? error : -1;
    }
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

int qeDemoRemoveExtractDirs() {
    for (int slot = 0; slot < QE_EXTRACT_SLOTS; ++slot)
        if (slotInUse(slot)) qeDemoRemoveExtractDir(slot);
    return 0;
}
