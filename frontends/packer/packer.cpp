// The stand-alone demo packer: copies the running executable and writes the demo's files into the copy as
// four cabinet resources, made by the cabinet tool next to the executable.
#include "packer.h"

#include <setupapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "demo/demo.h"
#include "frame.h"
#include "frontends.h"
#include "sys.h"
#include "sysfile.h"

namespace {

const char* const kScenePatterns[] = {"*.x", "*.lws.ini.bin", "*.qirn"};
const char* const kImagePatterns[] = {"*.jpg", "*.png", "*.jpeg", "*.bmp", "*.tga", "*.gif", "*.raw", "*.dds"};
const char* const kShaderPatterns[] = {"*.hlsl", "*.vsh", "*.psh"};
const char* const kCachePatterns[] = {"*.vso", "*.pso", "*.vso.inf", "*.pso.inf"};
const char* const kShaderDirPatterns[] = {"*.dbs", "*.fx", "*.hlsl"};
// The engine's own shader folders also hold the effect files and the headers its shaders include: without
// them the renderer of a packed demo cannot be created.
const char* const kEngineShaderExtras[] = {"*.fx", "*.h"};
const char* const kMusicPatterns[] = {"*.mp3", "*.mpg", "*.mpeg"};
const char* const kDefaultShaderFolders[] = {"shaders", "shadersPP", "shadersSURF", "shadersSURF2", "shadersHV"};

template <size_t N>
void appendPatterns(DemoFileList* list, const char* folder, const char* const (&patterns)[N]) {
    for (const char* pattern : patterns) list->push_back(std::string(folder ? folder : "") + "\\" + pattern);
}

// The patterns of a folder relative to the cabinet's base folder; an empty folder is the base folder itself.
template <size_t N>
void appendFolderPatterns(DemoFileList* list, const char* folder, const char* const (&patterns)[N]) {
    if (folder && folder[0])
        appendPatterns(list, folder, patterns);
    else
        list->insert(list->end(), std::begin(patterns), std::end(patterns));
}

// `folder` and `name` joined by exactly one separator.
std::string joinPath(const char* folder, const char* name) {
    std::string path = folder ? folder : "";
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    return path + name;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// The shell's file operations take lists of paths, each ended by a zero and the whole by a second one.
std::vector<char> shellPathList(const char* path) {
    std::vector<char> list(path, path + std::strlen(path));
    list.push_back(0);
    list.push_back(0);
    return list;
}

int shellOperation(UINT operation, const char* from, const char* to, FILEOP_FLAGS flags) {
    std::vector<char> source = shellPathList(from);
    std::vector<char> destination = shellPathList(to ? to : "");
    SHFILEOPSTRUCTA op;
    std::memset(&op, 0, sizeof(op));
    op.wFunc = operation;
    op.pFrom = source.data();
    op.pTo = to ? destination.data() : nullptr;
    // No dialog of any kind: the packer and the packed run are not there to be answered.
    op.fFlags = static_cast<FILEOP_FLAGS>(flags | FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI |
                                          FOF_NOCONFIRMMKDIR);
    return SHFileOperationA(&op) == 0 && !op.fAnyOperationsAborted ? 0 : -1;
}

// Every file of a pack is reached by its full path in the long form (sysfile.h): paths of any length.
std::wstring longPath(const std::string& path) { return qeSysLongPath(path.c_str()); }

std::wstring wideText(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return wide;
}

std::string ansiText(const wchar_t* wide) {
    char text[MAX_PATH * 2];
    return WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr) ? text : "";
}

// The folder part of a path with its closing separator, "" when it has none.
std::string folderOfPath(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// Runs the command line with `folder` as its current folder and the program's output into `output`;
// its exit status, or -1 when it could not run.
long runTool(const std::string& program, const std::string& command, const char* folder, const std::string& output) {
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out = CreateFileW(longPath(output).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return -1;
    STARTUPINFOW startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = out;
    PROCESS_INFORMATION process;
    std::wstring line = wideText(command);
    // the program in the long form only where the plain one is too long
    const std::wstring name = program.size() < MAX_PATH ? wideText(program) : longPath(program);
    const BOOL started = CreateProcessW(name.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        wideText(folder).c_str(), &startup, &process);
    CloseHandle(out);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    if (!GetExitCodeProcess(process.hProcess, &status)) status = 1;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(status);
}

// The output of the pack under way, until it is complete. A failure box removes it before it shows: a pack
// stopped on its box (a run that nobody answers) leaves no half-made demo that looks like a finished one.
std::string g_unfinishedOutput;

// The packer's error box; -1.
int packerBox(const char* format, ...) QE_PRINTF(1, 2);
int packerBox(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (!g_unfinishedOutput.empty()) {
        DeleteFileW(longPath(g_unfinishedOutput).c_str());
        g_unfinishedOutput.clear();
    }
    qeSysMessageBox("%s", text);
    return -1;
}

// Marks `output` unfinished from now on; unless kept, it is removed at the end of the scope.
class UnfinishedOutput {
public:
    explicit UnfinishedOutput(const std::string& output) { g_unfinishedOutput = output; }
    ~UnfinishedOutput() {
        if (!g_unfinishedOutput.empty()) DeleteFileW(longPath(g_unfinishedOutput).c_str());
        g_unfinishedOutput.clear();
    }
    void keep() { g_unfinishedOutput.clear(); }
};

bool isFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(longPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool exists(const std::string& path) { return GetFileAttributesW(longPath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// The message's words for a file that is not there: that its path is too long for the system, when it is.
std::string missingWord(const std::string& path) {
    if (!qeSysPathTooLong(path.c_str())) return "is missing";
    char text[128];
    std::snprintf(text, sizeof(text), "has a path too long for the system (%d characters)",
                  static_cast<int>(qeSysFullPath(path.c_str()).size()));
    return text;
}

// Calls `check`(owner, folder, scene file name) for each part and each of its extras in order, the owner
// as messages name it ("Part part1", "Part part1, extra logo.qirn"); the first non-zero result ends it.
template <typename Check>
int forEachScene(const DemoDescription* demo, Check check) {
    char owner[QE_DEMO_NAME_SIZE + QE_DEMO_STRING_SIZE + 32];
    for (int p = 0; p < demo->partCount; ++p) {
        const DemoPart* part = &demo->parts[p];
        std::snprintf(owner, sizeof(owner), "Part %s", part->name);
        if (const int result = check(owner, part->directory, part->fileName)) return result;
        for (int e = 0; e < part->extraCount; ++e) {
            const DemoExtra* extra = &part->extras[e];
            std::snprintf(owner, sizeof(owner), "Part %s, extra %s", part->name, extra->fileName);
            if (const int result = check(owner, extra->directory, extra->fileName)) return result;
        }
    }
    return 0;
}

// A relative path as a key that compares the way the file system does: lower case, one kind of
// separator, no empty or "." components.
std::string pathKey(const std::string& path) {
    std::string key;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".") {
            if (!key.empty()) key += '\\';
            for (char c : part) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        start = end + 1;
    }
    return key;
}

UINT CALLBACK collectStoredName(PVOID keys, UINT notification, UINT_PTR param1, UINT_PTR) {
    if (notification != SPFILENOTIFY_FILEINCABINET) return NO_ERROR;
    static_cast<std::vector<std::string>*>(keys)->push_back(
        pathKey(reinterpret_cast<FILE_IN_CABINET_INFO_A*>(param1)->NameInCabinet));
    return FILEOP_SKIP;
}

bool sameFolder(const std::string& a, const std::string& b) { return qeSysStrCaseCmp(a.c_str(), b.c_str()) == 0; }

// Adds the folder of a part or an extra. An empty folder is the demo's own folder: it counts when a scene
// lies there, not for a part without a scene (the end of the demo).
int addFolder(std::vector<std::string>* folders, const char* folder, const char* sceneFile) {
    if (!folder[0] && !sceneFile[0]) return 0;
    for (const std::string& known : *folders)
        if (sameFolder(known, folder)) return 0;
    if (folders->size() >= QE_PACKER_MAX_FOLDERS) return packerBox("Reached max directories\n");
    folders->push_back(folder);
    return 0;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// The message for a folder that a packed demo cannot hold; -1.
int refuseFolder(const char* owner, const char* folder) {
    return packerBox("%s: the folder '%s' is outside the demo's folder: a packed demo can only hold folders inside "
                     "it (no \"..\", no drive, no leading separator)\n",
                     owner, folder);
}

QeDemoPackStepHook g_stepHook = nullptr;

void packStep(const char* step) {
    if (g_stepHook) g_stepHook(step);
}

// The failure message's word for a cabinet.
const char* cabinetWord(int id) {
    switch (id) {
        case QE_CAB_DATA: return "data";
        case QE_CAB_MUSIC: return "music";
        case QE_CAB_LOADING: return "loading";
        default: return "default data";
    }
}

std::string formatted(const char* format, ...) QE_PRINTF(1, 2);
std::string formatted(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    return text;
}

// The folder part of a stored item ("intro" of "intro\intro.qirn"), or "".
std::string folderOfItem(const std::string& item) {
    const size_t cut = item.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : item.substr(0, cut);
}

// Who names the folder of `file` (relative to the demo's folder) in the data cabinet.
std::string dataOwner(const DemoDescription* demo, const char* demoFileName, const std::string& file) {
    if (pathKey(file) == pathKey(demoFileName ? demoFileName : "")) return "The demo description";
    const std::string folder = pathKey(folderOfItem(file));
    std::string owner;
    forEachScene(demo, [&](const char* who, const char* directory, const char* scene) {
        if ((!directory[0] && !scene[0]) || pathKey(directory) != folder) return 0;
        owner = who;
        return 1;
    });
    if (!owner.empty()) return owner;
    // The shaders directory, or the demo's own folder when it is empty.
    if (pathKey(demo->shadersDirectory) == folder) return "Setup shadersdirectory";
    return "The demo";
}

// The first line of the tool's output that tells an error, without its line end; "" when there is none.
std::string toolErrorLine(const std::string& outputFile) {
    std::string found;
    FILE* f = _wfopen(longPath(outputFile).c_str(), L"rb");
    if (!f) return found;
    char line[1024];
    while (found.empty() && std::fgets(line, sizeof(line), f)) {
        if (std::strncmp(line, "Error:", 6) != 0) continue;
        found = line;
        while (!found.empty() && (found.back() == '\n' || found.back() == '\r')) found.pop_back();
    }
    std::fclose(f);
    return found;
}

// The last component of a data list item ("*.hlsl" of "intro\*.hlsl").
std::string nameOfItem(const std::string& item) {
    const size_t cut = item.find_last_of("\\/");
    return cut == std::string::npos ? item : item.substr(cut + 1);
}

// Whether a data list item is a pattern of shader files ("intro\*.hlsl", "*.fx").
bool isShaderPattern(const std::string& item) {
    const std::string name = nameOfItem(item);
    const auto named = [&name](const char* pattern) { return sameFolder(name, pattern); };
    return std::any_of(std::begin(kShaderPatterns), std::end(kShaderPatterns), named) ||
           std::any_of(std::begin(kShaderDirPatterns), std::end(kShaderDirPatterns), named);
}

// Appends the full paths of the files that a pattern matches.
void filesMatching(const std::string& pattern, std::vector<std::string>* files) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(longPath(qeSysFullPath(pattern.c_str())).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    const std::string folder = folderOfPath(qeSysFullPath(pattern.c_str()));
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files->push_back(folder + ansiText(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// A full path relative to the full path of a folder that holds it; the path itself when it lies outside.
std::string insideFolder(const std::string& folder, const std::string& path) {
    std::string base = folder;
    if (!base.empty() && !isSeparator(base.back())) base += '\\';
    if (path.size() > base.size() && qeSysStrCaseCmp(path.substr(0, base.size()).c_str(), base.c_str()) == 0)
        return path.substr(base.size());
    return path;
}

// Whether a data list item (a file, or a folder and a pattern "*.<extension>") takes the file `file`,
// both relative to the data's folder.
bool takes(const std::string& item, const std::string& file) {
    if (pathKey(item) == pathKey(file)) return true;
    const std::string pattern = nameOfItem(item);
    if (pattern.compare(0, 2, "*.") != 0 || pathKey(folderOfItem(item)) != pathKey(folderOfItem(file))) return false;
    const std::string name = pathKey(nameOfItem(file)), extension = pathKey(pattern.substr(1));
    return name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0;
}

// The folder, in the pack's own folder under the temporary folder (qeDemoHoldRunFolder), where the default
// data is gathered for its cabinet: no folder of the user's is ever used or removed, and a pack killed
// midway leaves it to the next run or pack to remove.
const char kDefaultDataStaging[] = "tmp_demo_defdata";
const char kCacheFolder[] = "shadersCache";

// Holds the pack's own folder while the pack runs and removes the gathered default data at its end,
// however it ends.
class StagingFolder {
public:
    StagingFolder() {
        if (const char* run = qeDemoHoldRunFolder()) {
            run_ = run;
            path_ = run_ + "\\" + kDefaultDataStaging;
        }
    }
    ~StagingFolder() {
        if (run_.empty()) return;
        remove();
        qeDemoReleaseRunFolder();
    }
    // Empty when the pack's own folder cannot be made.
    const std::string& path() const { return path_; }
    const std::string& runFolder() const { return run_; }

private:
    // The cabinet tool ran in it: its current folder can still be held for a moment after its end (seen
    // under Wine). A folder that stays goes with the pack's own folder.
    void remove() {
        for (int tries = 0; !qeSysRemoveFolderTree(path_.c_str()) && tries < 40; ++tries) Sleep(50);
    }
    std::string run_, path_;
};

bool makeFolders(const std::string& folder) {
    for (size_t i = 0; i <= folder.size(); ++i) {
        if (i < folder.size() && !isSeparator(folder[i])) continue;
        const std::string part = folder.substr(0, i);
        if (part.empty() || (part.size() == 2 && part[1] == ':')) continue;
        if (!CreateDirectoryW(longPath(part).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return true;
}

// ": " and the words for a failure to write into the pack's own folder that lies in the temporary folder
// (full, cannot be written), or "".
std::string stagingFault(DWORD error) {
    const std::string fault = qeDemoTemporaryFolderFault(static_cast<int>(error));
    return fault.empty() ? fault : ": " + fault;
}

// Copies the file `item` (relative to `from`) to the same place under `to`, or to `renamed` there; its
// times go with it, not a read-only mark (the pack removes the copy).
int copyItem(const std::string& from, const std::string& to, const std::string& item,
             const std::string& renamed = std::string()) {
    const std::string& placed = renamed.empty() ? item : renamed;
    const std::string source = joinPath(from.c_str(), item.c_str());
    const std::string target = joinPath(to.c_str(), placed.c_str());
    if (makeFolders(joinPath(to.c_str(), folderOfItem(placed).c_str())) &&
        CopyFileW(longPath(source).c_str(), longPath(target).c_str(), FALSE)) {
        const DWORD attributes = GetFileAttributesW(longPath(target).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(longPath(target).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
        return 0;
    }
    const DWORD error = GetLastError();
    DeleteFileW(longPath(target).c_str());  // a part of it
    return packerBox("Failed to copy %s to %s%s\n", source.c_str(), target.c_str(), stagingFault(error).c_str());
}

// Writes `text` as the file `item` under `to` (in place of the file `item` under `from`, which messages name).
int writeItem(const std::string& from, const std::string& to, const std::string& item, const std::string& placed,
              const std::string& text) {
    const std::string target = joinPath(to.c_str(), placed.c_str());
    DWORD error = ERROR_DISK_FULL;
    if (makeFolders(joinPath(to.c_str(), folderOfItem(placed).c_str()))) {
        HANDLE file = CreateFileW(longPath(target).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const bool whole = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                               written == text.size();
            if (!whole && GetLastError() != NO_ERROR) error = GetLastError();
            CloseHandle(file);
            if (whole) return 0;
            DeleteFileW(longPath(target).c_str());
        } else {
            error = GetLastError();
        }
    } else {
        error = GetLastError();
    }
    return packerBox("Failed to copy %s to %s%s\n", joinPath(from.c_str(), item.c_str()).c_str(), target.c_str(),
                     stagingFault(error).c_str());
}

// Dates the file `seconds` (since 1970) when it is older. A packed blob was compiled from what its source
// and includes hold now (its name and content key tell): dated no earlier than they are, it is not taken
// for older than them where the packed demo expands them with the dates its cabinets store, whatever
// dates they have (one in the future included).
void notOlderThan(const std::string& path, long long seconds) {
    HANDLE file = CreateFileW(longPath(path).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    FILETIME written;
    const unsigned long long wanted = (static_cast<unsigned long long>(seconds) + 11644473600ULL) * 10000000ULL;
    if (seconds > 0 && GetFileTime(file, nullptr, nullptr, &written) &&
        ((static_cast<unsigned long long>(written.dwHighDateTime) << 32) | written.dwLowDateTime) < wanted) {
        written.dwLowDateTime = static_cast<DWORD>(wanted);
        written.dwHighDateTime = static_cast<DWORD>(wanted >> 32);
        SetFileTime(file, nullptr, nullptr, &written);
    }
    CloseHandle(file);
}

typedef std::vector<SQePackedShaderFolder> PackedFolders;

// The last component of a folder relative to its cabinet's base folder; for the base folder itself the
// name of the folder that the packed demo expands the cabinet into.
std::string packedFolderName(const std::string& folder, const std::string& baseName) {
    std::string name = folder;
    while (!name.empty() && isSeparator(name.back())) name.pop_back();
    const size_t cut = name.find_last_of("\\/");
    if (cut != std::string::npos) name = name.substr(cut + 1);
    return name.empty() || name == "." ? baseName : name;
}

// The folders whose shaders the packed demo holds, each as its full path, the name it has where the
// packed demo expands it and its path there relative to the packed cache folder: the engine's shader
// folders lie beside that cache in the default data's folder, the demo's scene and shaders folders in the
// data's folder beside that one.
PackedFolders packedShaderFolders(const std::string& programFolder, const std::string& demoFolder,
                                  const DemoDescription* demo, const std::vector<std::string>& folders) {
    PackedFolders sources;
    auto add = [&](const std::string& base, const std::string& folder, int slot) {
        const std::string above = slot == 0 ? "../" : "../../" + qeDemoExtractFolderName(slot) + "/";
        sources.push_back({qeSysFullPath(joinPath(base.c_str(), folder.c_str()).c_str()),
                           packedFolderName(folder, qeDemoExtractFolderName(slot)), above + folder});
    };
    for (const char* folder : kDefaultShaderFolders) add(programFolder, folder, 0);
    for (const std::string& folder : folders) add(demoFolder, folder, 1);
    add(demoFolder, demo->shadersDirectory, 1);
    return sources;
}

// Gathers in `staging` what the default data cabinet holds: the files of the program folder that its
// items name, but of the compiled-shader cache only the blobs that the packed shaders can use (not those
// of other demos' shaders, nor those compiled from an older content of a source). 0, or -1 after a box.
int stageDefaultData(const std::string& programFolder, const std::string& staging, const DemoFileList& items,
                     const PackedFolders& shaderFolders) {
    if (!makeFolders(staging))
        return packerBox("Failed to copy %s to %s%s\n", programFolder.c_str(), staging.c_str(),
                         stagingFault(GetLastError()).c_str());
    for (const std::string& item : items) {
        const std::string folder = folderOfItem(item);
        if (sameFolder(folder, kCacheFolder)) continue;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(longPath(joinPath(programFolder.c_str(), item.c_str())).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) continue;
        int result = 0;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                result = copyItem(programFolder, staging, joinPath(folder.c_str(), ansiText(found.cFileName).c_str()));
        } while (result == 0 && FindNextFileW(search, &found));
        FindClose(search);
        if (result != 0) return result;
    }
    // each under the name its source asks for where the packed demo has it
    std::vector<SQePackedCacheFile> cache;
    qeIrrlichtPackableShaderCache(programFolder.c_str(), shaderFolders, &cache);
    for (const SQePackedCacheFile& file : cache) {
        const std::string packed = joinPath(kCacheFolder, file.packedName.c_str());
        const std::string item = joinPath(kCacheFolder, file.name.c_str());
        // an ".inf" lists its sources as the packed demo has them
        if ((file.packedInfo.empty() ? copyItem(programFolder, staging, item, packed)
                                     : writeItem(programFolder, staging, item, packed, file.packedInfo)) != 0)
            return -1;
        notOlderThan(joinPath(staging.c_str(), packed.c_str()), file.newestSourceTime);
    }
    return 0;
}

// Writes the cabinets into the copy `output` of the program.
int packCabinets(const std::string& program, const std::string& output, const char* demoIni,
                 const DemoDescription* demo, const std::vector<std::string>& folders,
                 const std::vector<std::string>& includes) {
    const std::string demoFolder = folderOfPath(qeSysFullPath(demoIni));
    const std::string programFolder = folderOfPath(qeSysFullPath(program.c_str()));
    const std::string demoFileName = qeSysFullPath(demoIni).substr(demoFolder.size());
    // The program folder's default data goes in as gathered in a folder of its own, in the temporary folder,
    // where the cabinet tool also writes its work files: a temporary folder that cannot take them is told
    // before any cabinet is made.
    StagingFolder staging;
    if (staging.path().empty()) {
        const std::string fault = qeDemoTemporaryFolderFault(qeDemoRunFolderError());
        return packerBox("Failed to make a folder of the pack's own in the temporary folder: %s\n",
                         fault.empty() ? formatted("error %d", qeDemoRunFolderError()).c_str() : fault.c_str());
    }

    const DemoFileList lists[4] = {qeDemoDataList(demo, folders, demoFileName.c_str(), includes), qeDemoMusicList(demo),
                                   DemoFileList{"loading.png"}, qeDemoDefaultDataList()};
    const int ids[4] = {QE_CAB_DATA, QE_CAB_MUSIC, QE_CAB_LOADING, QE_CAB_DEFAULT_DATA};
    for (int i = 0; i < 4; ++i) {
        // Messages name the folder the files come from.
        const std::string& base = ids[i] == QE_CAB_DEFAULT_DATA ? programFolder : demoFolder;
        packStep(formatted("cabinet %d", ids[i]).c_str());
        if (ids[i] == QE_CAB_DEFAULT_DATA &&
            stageDefaultData(programFolder, staging.path(), lists[i],
                             packedShaderFolders(programFolder, demoFolder, demo, folders)) != 0)
            return -1;
        const std::string& from = ids[i] == QE_CAB_DEFAULT_DATA ? staging.path() : base;
        std::string toolError;
        if (qeDemoBuildCabResource(programFolder.c_str(), output.c_str(), ids[i], from.c_str(), lists[i],
                                   &toolError) != 0) {
            // The tool said which file or list it failed on: name it, and the part or folder it belongs to.
            if (!toolError.empty())
                return packerBox("%s", qeDemoCabToolFailure(demo, demoFileName.c_str(), ids[i], base.c_str(),
                                                            toolError).c_str());
            return packerBox("Failed to add %s to cab base_dir='%s' dirlist='%s'\n", cabinetWord(ids[i]),
                             base.c_str(), qeDemoFileListText(lists[i]).c_str());
        }
        // A scene file that did not go in (moved away while the tool ran) would leave a demo that cannot play.
        // The cabinet functions take a cabinet's path in 256 characters: a longer one is read from a copy.
        if (ids[i] == QE_CAB_DATA) {
            std::string cabinet = qeSysFullPath(qeDemoCabFileName(QE_CAB_DATA));
            if (cabinet.size() >= 256 && !staging.runFolder().empty()) {
                const std::string copy = staging.runFolder() + "\\" + qeDemoCabFileName(QE_CAB_DATA);
                if (CopyFileW(longPath(cabinet).c_str(), longPath(copy).c_str(), FALSE)) cabinet = copy;
            }
            const int checked = qeDemoCheckPackedScenes(demo, cabinet.c_str());
            if (cabinet.compare(0, staging.runFolder().size(), staging.runFolder()) == 0 && !staging.runFolder().empty())
                DeleteFileW(longPath(cabinet).c_str());
            if (checked != 0) return -1;
        }
    }
    return 0;
}

int packInto(const std::string& program, const char* outExe, const char* demoIni, DemoDescription* demo) {
    // A pack of this output that was killed before its end left its temporary file.
    const std::string leftover = qeDemoPackTemporaryName(qeSysFullPath(outExe));
    if (!leftover.empty()) DeleteFileW(longPath(leftover).c_str());
    if (qeDemoParseIni(demo, demoIni) != 0) {
        if (qeSysPathTooLong(demoIni))
            qeSysMessageBox("Failed to load ini file %s: its path is too long for the system (%d characters)\n",
                            demoIni, static_cast<int>(qeSysFullPath(demoIni).size()));
        else
            qeSysMessageBox("Failed to load ini file %s\n", demoIni);
        return -1;
    }
    if (qeDemoCheckFolders(demo) != 0) return -1;
    const std::string demoFolder = folderOfPath(qeSysFullPath(demoIni));
    if (qeDemoCheckFiles(demo, demoFolder.c_str()) != 0) return -1;
    std::vector<std::string> folders;
    if (qeDemoGatherFolders(demo, &folders) != 0) return -1;
    std::vector<std::string> includes;
    if (qeDemoGatherShaderIncludes(demo, demoFolder.c_str(), folders, &includes) != 0) return -1;

    // The program is never its own output: the copy would fail, and removing a failed output would take
    // the program with it. An output that is a folder would get the copy inside it.
    const std::string output = qeSysFullPath(outExe);
    const DWORD outputAttributes = GetFileAttributesW(longPath(output).c_str());
    if (program.empty() || output.empty() || qeSysStrCaseCmp(output.c_str(), program.c_str()) == 0 ||
        (outputAttributes != INVALID_FILE_ATTRIBUTES && (outputAttributes & FILE_ATTRIBUTE_DIRECTORY)))
        return packerBox("Failed to copy %s to %s\n", program.c_str(), outExe);
    // Nothing lies under the output's name until the pack is complete: a plain or partial copy of the
    // program is no demo to ship, and neither is an earlier pack of the output once this one has begun.
    // The copy is filled under a temporary name that no one would start, and renamed at the end.
    const std::string temporary = qeDemoPackTemporaryName(output);
    if (exists(output) && !DeleteFileW(longPath(output).c_str()))
        return packerBox("Failed to copy %s to %s\n", program.c_str(), outExe);
    UnfinishedOutput unfinished(temporary);
    packStep("copy");
    if (!CopyFileW(longPath(program).c_str(), longPath(temporary).c_str(), FALSE))
        return packerBox("Failed to copy %s to %s\n", program.c_str(), outExe);
    if (packCabinets(program, temporary, demoIni, demo, folders, includes) != 0) return -1;
    packStep("rename");
    if (!MoveFileExW(longPath(temporary).c_str(), longPath(output).c_str(), MOVEFILE_REPLACE_EXISTING))
        return packerBox("Failed to rename %s to %s\n", temporary.c_str(), output.c_str());
    unfinished.keep();
    return 0;
}

}  // namespace

void qeDemoListSceneFiles(DemoFileList* list, const char* folder) { appendFolderPatterns(list, folder, kScenePatterns); }
void qeDemoListImageFiles(DemoFileList* list, const char* folder) { appendFolderPatterns(list, folder, kImagePatterns); }
void qeDemoListShaderFiles(DemoFileList* list, const char* folder) {
    appendFolderPatterns(list, folder, kShaderPatterns);
}
void qeDemoListShaderCacheFiles(DemoFileList* list, const char* folder) {
    appendFolderPatterns(list, folder, kCachePatterns);
}

std::string qeDemoFileListText(const DemoFileList& list) {
    std::string text;
    for (const std::string& item : list) text += item + " ";
    return text;
}

bool qeDemoFolderInsideDemo(const char* folder) {
    if (!folder || !folder[0]) return true;
    if (isSeparator(folder[0]) || std::strchr(folder, ':')) return false;
    for (const char* c = folder; *c;) {
        const char* end = c;
        while (*end && !isSeparator(*end)) ++end;
        if (end - c == 2 && c[0] == '.' && c[1] == '.') return false;
        c = *end ? end + 1 : end;
    }
    return true;
}

int qeDemoCheckFolders(const DemoDescription* demo) {
    if (!qeDemoFolderInsideDemo(demo->musicDirectory)) return refuseFolder("Setup musicdirectory", demo->musicDirectory);
    if (!qeDemoFolderInsideDemo(demo->shadersDirectory))
        return refuseFolder("Setup shadersdirectory", demo->shadersDirectory);
    return forEachScene(demo, [](const char* owner, const char* folder, const char*) {
        return qeDemoFolderInsideDemo(folder) ? 0 : refuseFolder(owner, folder);
    });
}

int qeDemoCheckFiles(const DemoDescription* demo, const char* demoFolder) {
    const int result = forEachScene(demo, [demoFolder](const char* owner, const char* folder, const char* file) {
        if (!file[0]) return 0;  // no scene
        const std::string scene = joinPath(folder, file);
        const std::string path = joinPath(demoFolder, scene.c_str());
        if (isFile(path)) return 0;
        return packerBox("%s: the scene file '%s' %s\n", owner, scene.c_str(), missingWord(path).c_str());
    });
    if (result != 0) return result;
    const std::string loading = joinPath(demoFolder, "loading.png");
    if (qeSysPathTooLong(loading.c_str()))
        return packerBox("The demo's loading screen '%s' has a path too long for the system (%d characters)\n",
                         loading.c_str(), static_cast<int>(loading.size()));
    if (!isFile(loading))
        return packerBox("The demo's folder has no loading screen '%s': a packed demo needs a loading.png beside its "
                         ".demo.ini\n",
                         loading.c_str());
    return 0;
}

int qeDemoCheckPackedScenes(const DemoDescription* demo, const char* cabinet) {
    std::vector<std::string> stored;
    SetupIterateCabinetA(cabinet, 0, collectStoredName, &stored);
    return forEachScene(demo, [&stored](const char* owner, const char* folder, const char* file) {
        if (!file[0]) return 0;
        const std::string scene = joinPath(folder, file);
        if (std::find(stored.begin(), stored.end(), pathKey(scene)) != stored.end()) return 0;
        return packerBox("%s: the scene file '%s' is not in the packed data: it went missing while packing, or it "
                         "is not one of its folder's *.qirn, *.x or *.lws.ini.bin files\n",
                         owner, scene.c_str());
    });
}

int qeDemoGatherFolders(const DemoDescription* demo, std::vector<std::string>* folders) {
    folders->clear();
    for (int p = 0; p < demo->partCount; ++p) {
        const DemoPart* part = &demo->parts[p];
        if (addFolder(folders, part->directory, part->fileName) != 0) return -1;
        for (int e = 0; e < part->extraCount; ++e)
            if (addFolder(folders, part->extras[e].directory, part->extras[e].fileName) != 0) return -1;
    }
    return 0;
}

DemoFileList qeDemoDataList(const DemoDescription* demo, const std::vector<std::string>& folders,
                            const char* demoFileName, const std::vector<std::string>& includes) {
    DemoFileList list;
    for (const std::string& folder : folders) {
        qeDemoListSceneFiles(&list, folder.c_str());
        qeDemoListImageFiles(&list, folder.c_str());
        qeDemoListShaderFiles(&list, folder.c_str());
    }
    // The shaders directory (an empty one is the demo's own folder), without what a scene folder of the
    // same name has listed already.
    DemoFileList shaders;
    appendFolderPatterns(&shaders, demo->shadersDirectory, kShaderDirPatterns);
    for (const std::string& item : shaders) {
        const std::string key = pathKey(item);
        const auto listed = [&key](const std::string& known) { return pathKey(known) == key; };
        if (std::none_of(list.begin(), list.end(), listed)) list.push_back(item);
    }
    list.insert(list.end(), includes.begin(), includes.end());
    list.push_back(demoFileName);
    return list;
}

int qeDemoGatherShaderIncludes(const DemoDescription* demo, const char* demoFolder,
                               const std::vector<std::string>& folders, std::vector<std::string>* includes) {
    includes->clear();
    const DemoFileList patterns = qeDemoDataList(demo, folders, "");
    std::vector<std::string> sources;
    for (const std::string& item : patterns)
        if (isShaderPattern(item)) filesMatching(joinPath(demoFolder, item.c_str()), &sources);
    std::vector<SQeShaderInclude> found;
    qeIrrlichtShaderIncludes(sources, &found);
    const std::string demoPath = qeSysFullPath(demoFolder);
    for (const SQeShaderInclude& include : found) {
        const std::string shader = insideFolder(demoPath, include.source);
        const std::string includer = insideFolder(demoPath, qeSysFullPath(include.includer.c_str()));
        const std::string through =
            pathKey(includer) == pathKey(shader) ? std::string() : " (named in '" + includer + "')";
        if (include.path.empty()) {
            if (!include.certain) continue;
            return packerBox("The shader '%s' includes '%s'%s, which is missing: the compiler finds it neither beside "
                             "the file that names it nor beside an include found before\n",
                             shader.c_str(), include.name.c_str(), through.c_str());
        }
        const std::string full = qeSysFullPath(include.path.c_str());
        const std::string file = insideFolder(demoPath, full);
        if (file == full) {
            if (!include.certain) continue;
            return packerBox("The shader '%s' includes '%s'%s, which lies outside the demo's folder ('%s'): a packed "
                             "demo can only hold files inside it\n",
                             shader.c_str(), include.name.c_str(), through.c_str(), full.c_str());
        }
        const auto taken = [&file](const std::string& item) { return takes(item, file); };
        if (std::none_of(patterns.begin(), patterns.end(), taken) && std::none_of(includes->begin(), includes->end(), taken))
            includes->push_back(file);
    }
    return 0;
}

// An empty music directory is the demo's own folder, where the player then looks for the music.
DemoFileList qeDemoMusicList(const DemoDescription* demo) {
    DemoFileList list;
    appendFolderPatterns(&list, demo->musicDirectory, kMusicPatterns);
    return list;
}

DemoFileList qeDemoDefaultDataList() {
    DemoFileList list;
    for (const char* folder : kDefaultShaderFolders) {
        qeDemoListShaderFiles(&list, folder);
        appendPatterns(&list, folder, kEngineShaderExtras);
    }
    qeDemoListShaderCacheFiles(&list, "shadersCache");
    qeDemoListImageFiles(&list, "textures");
    return list;
}

const char* qeDemoCabFileName(int id) {
    switch (id) {
        case QE_CAB_DATA: return "tmp_demo_data.cab";
        case QE_CAB_MUSIC: return "tmp_demo_music.cab";
        case QE_CAB_LOADING: return "tmp_demo_loading.cab";
        case QE_CAB_DEFAULT_DATA: return "tmp_demo_defdata.cab";
        default: return "tmp_cab.cab";
    }
}

std::string qeDemoCabCommand(const char* program, const char* cabinet, const DemoFileList& list) {
    std::string command = quoted(program) + " -p n " + quoted(cabinet);
    for (const std::string& item : list) command += " " + quoted(item);
    return command;
}

int qeDemoBuildCabResource(const char* programFolder, const char* outExe, int id, const char* baseFolder,
                           const DemoFileList& list, std::string* toolError) {
    const std::string program = qeSysFullPath(joinPath(programFolder, "cabarc.exe").c_str());
    const std::string cabinet = qeSysFullPath(qeDemoCabFileName(id));
    char outputName[32];
    std::snprintf(outputName, sizeof(outputName), "out-%d.txt", id);
    const std::string output = qeSysFullPath(outputName);
    const std::string command = qeDemoCabCommand(program.c_str(), cabinet.c_str(), list);
    if (command.size() > QE_PACKER_COMMAND_MAX)
        return packerBox("Failed to execute: the command is %d characters long, more than %d",
                         static_cast<int>(command.size()), static_cast<int>(QE_PACKER_COMMAND_MAX));
    // The tool runs in the folder: the system takes a current folder of at most MAX_PATH - 2 characters.
    std::string base = qeSysFullPath(baseFolder);
    if (base.size() > 3 && (base.back() == '\\' || base.back() == '/')) base.pop_back();
    if (base.size() + 2 > MAX_PATH)
        return packerBox("Failed to execute: the folder '%s' is too long a path (%d characters) for the cabinet tool "
                         "to run in: the system takes at most %d\n",
                         base.c_str(), static_cast<int>(base.size()), MAX_PATH - 2);
    if (runTool(program, command, baseFolder, output) != 0) {
        if (toolError && !(*toolError = toolErrorLine(output)).empty()) return -1;
        return packerBox("Failed to execute: %s", command.c_str());
    }
    return qeDemoStoreCabResource(outExe, cabinet.c_str(), id);
}

int qeDemoStoreCabResource(const char* outExe, const char* cabinet, int id) {
    FILE* f = _wfopen(longPath(cabinet).c_str(), L"rb");
    long size = 0;
    if (f && std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (!f || size <= 0) {
        if (f) std::fclose(f);
        return packerBox("Failed to get size of cab %s", cabinet);
    }
    void* bytes = std::malloc(static_cast<size_t>(size));
    if (!bytes) {
        std::fclose(f);
        return packerBox("Alloc failure %d bytes", static_cast<int>(size));
    }
    std::rewind(f);
    const size_t read = std::fread(bytes, 1, static_cast<size_t>(size), f);
    std::fclose(f);
    // What was not read is never written: a part of a cabinet would not expand.
    if (read != static_cast<size_t>(size)) {
        std::free(bytes);
        return packerBox("Failed to read cab %s", cabinet);
    }
    HANDLE update = BeginUpdateResourceW(longPath(outExe).c_str(), FALSE);
    if (!update) {
        std::free(bytes);
        return packerBox("Failed to BeginUpdate %s", outExe);
    }
    if (!UpdateResourceW(update, L"CAB", MAKEINTRESOURCEW(id), 0, bytes, static_cast<DWORD>(size))) {
        EndUpdateResourceW(update, TRUE);
        std::free(bytes);
        return packerBox("Failed to UpdateResource %s", outExe);
    }
    const BOOL written = EndUpdateResourceW(update, FALSE);
    std::free(bytes);
    if (!written) return packerBox("Failed to EndUpdate %s lastError=%d", outExe, static_cast<int>(GetLastError()));
    return 0;
}

int qeSysCopyFile(const char* source, const char* destination) {
    if (!source || !destination) return -1;
    return shellOperation(FO_COPY, source, destination, 0);
}

int qeSysDeleteFolder(const char* path, int permanently) {
    if (!path || !path[0]) return 0;
    return shellOperation(FO_DELETE, path, nullptr, permanently ? 0 : FOF_ALLOWUNDO) == 0 ? 1 : 0;
}

int qeDemoPackExecutableFrom(const char* program, const char* outExe, const char* demoIni) {
    if (!outExe || !demoIni) return -1;
    DemoDescription* demo = static_cast<DemoDescription*>(std::calloc(1, sizeof(DemoDescription)));
    if (!demo) {
        qeSysMessageBox("Alloc failure %d bytes", static_cast<int>(sizeof(DemoDescription)));
        return -1;
    }
    const int result = packInto(program ? program : "", outExe, demoIni, demo);
    std::free(demo);
    return result;
}

const char* qeDemoStagingFolderName() { return kDefaultDataStaging; }

std::string qeDemoPackTemporaryName(const std::string& outExe) {
    return outExe.empty() ? std::string() : outExe + ".packing";
}

void qeDemoSetPackStepHook(QeDemoPackStepHook hook) { g_stepHook = hook; }

std::string qeDemoCabToolFailure(const DemoDescription* demo, const char* demoFileName, int id,
                                 const char* baseFolder, const std::string& toolLine) {
    static const char kCannotAdd[] = "Error: cannot add ";
    static const char kMissing[] = "Error: Could not find file: ";
    static const char kTemporary[] = "Error: the temporary folder ";
    const char* folder = baseFolder ? baseFolder : "";
    auto ownerOf = [&](const std::string& file) -> std::string {
        switch (id) {
            case QE_CAB_DATA: return dataOwner(demo, demoFileName, file);
            case QE_CAB_MUSIC: return "Setup musicdirectory";
            case QE_CAB_LOADING: return "The loading screen";
            default: return "The engine's data next to the program";
        }
    };
    if (toolLine.compare(0, sizeof(kCannotAdd) - 1, kCannotAdd) == 0) {
        std::string file = toolLine.substr(sizeof(kCannotAdd) - 1);
        const size_t code = file.rfind(" (");
        if (code != std::string::npos) file.erase(code);
        return formatted("%s: the cabinet tool cannot read the file '%s' in '%s' (%s)\n", ownerOf(file).c_str(),
                         file.c_str(), folder, toolLine.c_str());
    }
    if (toolLine.compare(0, sizeof(kMissing) - 1, kMissing) == 0) {
        const std::string file = toolLine.substr(sizeof(kMissing) - 1);
        return formatted("%s: the file '%s' in '%s' went missing while packing (%s)\n", ownerOf(file).c_str(),
                         file.c_str(), folder, toolLine.c_str());
    }
    // The tool's work files go in the temporary folder.
    if (toolLine.compare(0, sizeof(kTemporary) - 1, kTemporary) == 0)
        return formatted("Failed to add %s to cab base_dir='%s': %s: the cabinet tool writes its work files there\n",
                         cabinetWord(id), folder, toolLine.substr(sizeof("Error: ") - 1).c_str());
    if (toolLine == "Error: no files to add" && id == QE_CAB_MUSIC) {
        if (demo->musicDirectory[0])
            return formatted("Setup musicdirectory: the folder '%s' holds no music file (*.mp3, *.mpg or *.mpeg)\n",
                             joinPath(folder, demo->musicDirectory).c_str());
        return formatted("Setup musicdirectory: the folder '%s' holds no music file (*.mp3, *.mpg or *.mpeg): without "
                         "a musicdirectory the music lies beside the .demo.ini\n",
                         folder);
    }
    if (toolLine == "Error: no files to add")
        return formatted("%s: the cabinet tool found no file to add in '%s' (%s)\n", ownerOf("").c_str(), folder,
                         toolLine.c_str());
    return formatted("Failed to add %s to cab base_dir='%s': the cabinet tool says: %s\n", cabinetWord(id), folder,
                     toolLine.c_str());
}

// "-demodat" packs in the same way as "-demoexe". The running executable's path is the system's, not the
// command line's (which may name it without its folder or its extension).
int qeDemoPackExecutable(const char* outExe, const char* demoIni, int) {
    return qeDemoPackExecutableFrom(qeSysGetExePath(), outExe, demoIni);
}
