// The clearing of what earlier runs left in the temporary folder: run folders that no process holds, and
// the extraction folders of the earlier layout, each removed only when it holds surely nothing but what
// runs and expansions write.
#include "packed_run_internal.h"

#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "packer.h"
#include "sysfile.h"

namespace {

// A folder of the earlier layout written to within this time may be one that a run of a packed demo made
// before is still expanding (100 ns units: one minute).
const unsigned long long kRecentWrite = 60ULL * 10000000ULL;
// The cabinet that the expansions of earlier versions wrote into a slot's folder before expanding it.
const char kEarlierCabinetName[] = "~qirn-resource.cab";

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
    const std::string prefix = std::string(kQeRunExtractDirName) + ".";
    if (name.size() != prefix.size() + 1 || name.compare(0, prefix.size(), prefix) != 0) return -1;
    const char digit = name.back();
    return digit >= '0' && digit <= '9' ? digit - '0' : -1;
}

// True for the name form of a run's folder: "TheDemoRun." and eight hexadecimal digits as a run writes them.
bool isRunFolderName(const std::string& name) {
    const size_t n = sizeof(kQeRunFolderPrefix) - 1;
    if (name.size() != n + kQeRunFolderDigits || name.compare(0, n, kQeRunFolderPrefix) != 0) return false;
    for (size_t i = n; i < name.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(name[i])) && (name[i] < 'A' || name[i] > 'F')) return false;
    return true;
}

bool holdsRunMark(const std::string& folder) {
    const std::string mark = folder + "\\" + kQeRunMarkName;
    HANDLE file = CreateFileA(mark.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char text[sizeof(kQeRunMarkText) + 1];
    DWORD read = 0;
    const bool same = ReadFile(file, text, sizeof(text), &read, nullptr) && read == sizeof(kQeRunMarkText) - 1 &&
                      std::memcmp(text, kQeRunMarkText, read) == 0;
    CloseHandle(file);
    return same;
}

// The folders in the temporary folder whose names start with `prefix`.
std::vector<FolderEntry> foldersStartingWith(const std::string& temp, const char* prefix) {
    std::vector<FolderEntry> folders;
    for (const FolderEntry& entry : entriesOf(temp.substr(0, temp.size() - 1)))
        if (isFolder(entry) && entry.name.compare(0, std::strlen(prefix), prefix) == 0) folders.push_back(entry);
    return folders;
}

int clearLeftovers() {
    const std::string temp = qeRunTemporaryFolder();
    if (temp.empty()) return 0;
    int removed = 0;
    // Run folders that no process holds: their runs were killed (or are being cleared by another run,
    // which holds them then). Only a folder of a run's name form that holds nothing but what runs write
    // there is one: with the run's mark, or, without it, of a run made before runs marked their folders
    // and not written to within the last minute (a run that has just made its folder has not marked it yet).
    const char* own = qeDemoGetRunFolder();
    for (const FolderEntry& folder : foldersStartingWith(temp, kQeRunFolderPrefix)) {
        const std::string path = temp + folder.name;
        if (!isRunFolderName(folder.name) || (own && _stricmp(path.c_str(), own) == 0)) continue;
        const bool marked = holdsRunMark(path);
        if ((!marked && writtenRecently(folder.written)) || !qeRunHoldsOnlyRunEntries(path, marked)) continue;
        HANDLE held = qeRunOpenFolder(path, true);
        if (held != INVALID_HANDLE_VALUE) removed += qeRunRemoveHeldFolder(path, held);
    }
    // Folders of the earlier layout, "TheDemoExtractDir.<slot>" in the temporary folder itself for the
    // slots 0, 1 and 2, holding only what their expansions wrote, which runs of packed demos made before
    // kept no hold on: at every moment of such a run one of its folders is its current folder, or was
    // written to just before. They are removed all together, and only when none is any process's current
    // folder and none was written to within the last minute.
    std::vector<std::pair<std::string, HANDLE>> earlier;
    bool inUse = false;
    for (const FolderEntry& folder : foldersStartingWith(temp, kQeRunExtractDirName)) {
        const std::string path = temp + folder.name;
        const int slot = slotOfName(folder.name);
        if (slot < 0 || slot > kMusicContent || !holdsOnlyExpansion(slot, path)) continue;
        HANDLE held = writtenRecently(folder.written) ? INVALID_HANDLE_VALUE : qeRunOpenFolder(path, true);
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
            removed += qeRunRemoveHeldFolder(folder.first, folder.second);
    }
    return removed;
}

}  // namespace

bool qeRunHoldsOnlyRunEntries(const std::string& folder, bool marked) {
    for (const FolderEntry& entry : entriesOf(folder)) {
        const std::string path = folder + "\\" + entry.name;
        if (!isFolder(entry)) {
            if (entry.attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
            if (marked && entry.name == kQeRunMarkName) continue;
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

int qeRunRemoveHeldFolder(const std::string& path, HANDLE handle) {
    CloseHandle(handle);
    for (const FolderEntry& entry : entriesOf(path)) {
        if (entry.name == kQeRunMarkName) continue;
        const std::string child = path + "\\" + entry.name;
        if (isFolder(entry))
            qeSysRemoveFolderTree(child.c_str());
        else
            DeleteFileW(qeSysLongPath(child.c_str()).c_str());
    }
    DeleteFileA((path + "\\" + kQeRunMarkName).c_str());
    return RemoveDirectoryA(path.c_str()) ? 1 : 0;
}

int qeDemoClearLeftovers() { return clearLeftovers(); }
