#include "sysfile.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "log.h"

namespace {

SysFileOpenHook g_openHook = {};
SysDirHooks g_dirHooks = {};
SysPathHooks g_pathHooks = {};

// The default implementation's state.
char g_dir[QE_SYS_PATH_SIZE];
char g_pathPath[QE_SYS_PATH_SIZE];
char g_pathFilename[QE_SYS_PATH_SIZE];
char g_pathFull[QE_SYS_PATH_SIZE];

// The Windows implementation's result buffers.
char g_winDir[QE_SYS_PATH_SIZE];
char g_winPathOf[QE_SYS_PATH_SIZE];
char g_winFileNameOf[QE_SYS_PATH_SIZE];
char g_winFullPath[QE_SYS_PATH_SIZE];

// 4 until the Windows file system is installed (then 1).
int g_fileSystemKind = 4;

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// A path that names its own root or drive is never put under a remembered directory.
bool isAbsolute(const char* path) {
    if (isSeparator(path[0])) return true;
    return std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

// Copies text of the given length into a buffer of QE_SYS_PATH_SIZE; refuses what does not fit.
bool copyBounded(char* out, const char* text, size_t length) {
    if (length >= QE_SYS_PATH_SIZE) return false;
    std::memcpy(out, text, length);
    out[length] = 0;
    return true;
}

// The default join of a directory and a path: the path alone when the directory is empty or the path
// is absolute, else the directory, a '/' unless it already ends in '\', '/' or ':', and the path.
// Refuses (false) a result that would not fit the buffer; the buffer is then left empty.
bool joinPath(char* out, const char* dir, const char* path) {
    out[0] = 0;
    const size_t dirLength = std::strlen(dir);
    const size_t pathLength = std::strlen(path);
    if (dirLength == 0 || isAbsolute(path)) return copyBounded(out, path, pathLength);
    const char last = dir[dirLength - 1];
    const bool slash = !(isSeparator(last) || last == ':');
    const size_t total = dirLength + (slash ? 1 : 0) + pathLength;
    if (total >= QE_SYS_PATH_SIZE) return false;
    std::memcpy(out, dir, dirLength);
    size_t at = dirLength;
    if (slash) out[at++] = '/';
    std::memcpy(out + at, path, pathLength + 1);
    return true;
}

void reportTooLong(const char* what, const char* path) {
    qeLogPrint(QE_LOG_WARN, "%s: path too long (%u characters): %.64s...", what,
               static_cast<unsigned>(std::strlen(path)), path);
}

// The standard stream operations behind a default SysFile.
FILE* streamOf(SysFile* h) { return static_cast<FILE*>(h->stream); }
int defaultSeek(SysFile* h, long offset, int origin) { return std::fseek(streamOf(h), offset, origin); }
size_t defaultRead(void* buffer, size_t size, size_t count, SysFile* h) {
    return std::fread(buffer, size, count, streamOf(h));
}
int defaultGetc(SysFile* h) { return std::fgetc(streamOf(h)); }
char* defaultGets(char* buffer, int size, SysFile* h) { return std::fgets(buffer, size, streamOf(h)); }
long defaultTell(SysFile* h) { return std::ftell(streamOf(h)); }
int defaultClose(SysFile* h) {
    std::fclose(streamOf(h));
    std::free(h);
    return 0;
}

// The Windows hooks (contexts are unused).
int winSetDirHook(const char* path, void*) { return qeSysWinSetDir(path); }
const char* winGetDirHook(void*) { return qeSysWinGetDir(); }
const char* winPathOfHook(const char* path, void*) { return qeSysWinPathOf(path); }
const char* winFileNameOfHook(const char* path, int withExtension, void*) {
    return qeSysWinFileNameOf(path, withExtension);
}
const char* winFullPathHook(const char* path, void*) { return qeSysWinFullPathOf(path); }

}  // namespace

// ---- Files ----

SysFile* qeSysDefaultOpen(const char* name, const char* mode) {
    if (!name || !mode) return nullptr;
    const char* full = qeSysPathFull(name);
    if (!full || (!full[0] && name[0])) return nullptr;  // the full path was refused
    SysFile* h = static_cast<SysFile*>(std::malloc(sizeof(SysFile)));
    if (!h) return nullptr;
    // A full path of MAX_PATH characters or more opens in its long form.
    FILE* f = nullptr;
    if (std::strlen(full) < MAX_PATH) {
        f = std::fopen(full, mode);
    } else {
        wchar_t wideMode[16] = L"";
        for (size_t i = 0; mode[i] && i + 1 < sizeof(wideMode) / sizeof(wideMode[0]); ++i)
            wideMode[i] = static_cast<wchar_t>(mode[i]);
        f = _wfopen(qeSysLongPath(full).c_str(), wideMode);
    }
    if (!f) {
        std::free(h);
        return nullptr;
    }
    h->stream = f;
    h->seek = defaultSeek;
    h->read = defaultRead;
    h->getc = defaultGetc;
    h->gets = defaultGets;
    h->tell = defaultTell;
    h->close = defaultClose;
    return h;
}

SysFile* qeSysFileOpen(const char* name, const char* mode) {
    if (!name || !mode) return nullptr;
    if (g_openHook.open) return g_openHook.open(name, mode, g_openHook.context);
    return qeSysDefaultOpen(name, mode);
}

int qeSysFileClose(SysFile* h) { return h && h->close ? h->close(h) : -1; }
int qeSysFileSeek(SysFile* h, long offset, int origin) { return h && h->seek ? h->seek(h, offset, origin) : -1; }
size_t qeSysFileRead(void* buffer, size_t size, size_t count, SysFile* h) {
    return h && h->read ? h->read(buffer, size, count, h) : 0;
}
int qeSysFileGetc(SysFile* h) { return h && h->getc ? h->getc(h) : EOF; }
char* qeSysFileGets(char* buffer, int size, SysFile* h) { return h && h->gets ? h->gets(buffer, size, h) : nullptr; }
long qeSysFileTell(SysFile* h) { return h && h->tell ? h->tell(h) : -1; }

int qeSysFileExist(const char* name) {
    SysFile* h = qeSysFileOpen(name, "rb");
    if (!h) return 0;
    qeSysFileClose(h);
    return 1;
}

// ---- Hooks ----

int qeSysSetOpenHook(const SysFileOpenHook* hook) {
    g_openHook = hook ? *hook : SysFileOpenHook{};
    return 0;
}

int qeSysSetDirHooks(const SysDirHooks* hooks) {
    g_dirHooks = hooks ? *hooks : SysDirHooks{};
    return 0;
}

int qeSysSetPathHooks(const SysPathHooks* hooks) {
    g_pathHooks = hooks ? *hooks : SysPathHooks{};
    return 0;
}

// ---- Current directory ----

int qeSysSetDir(const char* path) {
    if (!path) return -1;
    if (g_dirHooks.setDir) return g_dirHooks.setDir(path, g_dirHooks.context);
    if (!copyBounded(g_dir, path, std::strlen(path))) {
        reportTooLong("SetDir", path);
        return -1;
    }
    return 0;
}

int qeSysChangeDir(const char* path) {
    if (!path) return -1;
    if (g_dirHooks.changeDir) return g_dirHooks.changeDir(path, g_dirHooks.context);
    char joined[QE_SYS_PATH_SIZE];
    if (!joinPath(joined, g_dir, path)) {
        reportTooLong("ChangeDir", path);
        return -1;
    }
    std::memcpy(g_dir, joined, std::strlen(joined) + 1);
    return 0;
}

const char* qeSysGetDir() {
    if (g_dirHooks.getDir) return g_dirHooks.getDir(g_dirHooks.context);
    return g_dir;
}

// ---- Path queries ----

const char* qeSysPathPath(const char* path) {
    if (!path) path = "";
    if (g_pathHooks.pathOf) return g_pathHooks.pathOf(path, g_pathHooks.context);
    // Cut after the last separator when it stands after the last ':', else after the ':'.
    const char* slash = std::strrchr(path, '/');
    const char* backslash = std::strrchr(path, '\\');
    const char* separator = slash > backslash ? slash : backslash;
    const char* colon = std::strrchr(path, ':');
    const char* cut = separator && separator > colon ? separator : colon;
    const size_t length = cut ? static_cast<size_t>(cut - path) + 1 : 0;
    if (!copyBounded(g_pathPath, path, length)) {
        g_pathPath[0] = 0;
        reportTooLong("PathPath", path);
    }
    return g_pathPath;
}

const char* qeSysPathFilename(const char* path, int withExtension) {
    if (!path) path = "";
    if (g_pathHooks.fileNameOf) return g_pathHooks.fileNameOf(path, withExtension, g_pathHooks.context);
    const char* name = qeSysBaseName(path);
    size_t length = std::strlen(name);
    if (!withExtension) {
        const char* dot = std::strrchr(name, '.');
        if (dot) length = static_cast<size_t>(dot - name);
    }
    if (!copyBounded(g_pathFilename, name, length)) {
        g_pathFilename[0] = 0;
        reportTooLong("PathFilename", path);
    }
    return g_pathFilename;
}

const char* qeSysPathFull(const char* path) {
    if (!path) path = "";
    if (g_pathHooks.fullPathOf) return g_pathHooks.fullPathOf(path, g_pathHooks.context);
    if (!joinPath(g_pathFull, g_dir, path)) reportTooLong("PathFull", path);
    return g_pathFull;
}

// ---- Windows implementations ----

int qeSysWinSetDir(const char* path) { return path && SetCurrentDirectoryA(path) ? 0 : -1; }

const char* qeSysWinGetDir() {
    const DWORD n = GetCurrentDirectoryA(sizeof(g_winDir), g_winDir);
    if (n == 0 || n >= sizeof(g_winDir)) g_winDir[0] = 0;
    return g_winDir;
}

const char* qeSysWinPathOf(const char* path) {
    char drive[_MAX_DRIVE];
    char dir[_MAX_DIR];
    g_winPathOf[0] = 0;
    if (path && _splitpath_s(path, drive, sizeof(drive), dir, sizeof(dir), nullptr, 0, nullptr, 0) == 0) {
        std::snprintf(g_winPathOf, sizeof(g_winPathOf), "%s%s", drive, dir);
    }
    return g_winPathOf;
}

const char* qeSysWinFileNameOf(const char* path, int withExtension) {
    char name[_MAX_FNAME];
    char extension[_MAX_EXT];
    g_winFileNameOf[0] = 0;
    if (path && _splitpath_s(path, nullptr, 0, nullptr, 0, name, sizeof(name), extension, sizeof(extension)) == 0) {
        std::snprintf(g_winFileNameOf, sizeof(g_winFileNameOf), "%s%s", name, withExtension ? extension : "");
    }
    return g_winFileNameOf;
}

const char* qeSysWinFullPathOf(const char* path) {
    // GetFullPathNameA answers the size it would need when the buffer is too small: that is a refusal.
    const DWORD n = path ? GetFullPathNameA(path, MAX_PATH, g_winFullPath, nullptr) : 0;
    if (n != 0 && n < MAX_PATH) return g_winFullPath;
    // Past MAX_PATH (where the ANSI function refuses): a name too long for the system, or a full path that
    // does not fit, is a refusal.
    g_winFullPath[0] = 0;
    if (!path || qeSysPathTooLong(path)) return g_winFullPath;
    const std::string full = qeSysFullPath(path);
    if (full.size() < sizeof(g_winFullPath)) std::memcpy(g_winFullPath, full.c_str(), full.size() + 1);
    return g_winFullPath;
}

int qeSysInstallWindowsFileSystem() {
    qeSysSetOpenHook(nullptr);
    const SysDirHooks dirHooks = {nullptr, winSetDirHook, winSetDirHook, winGetDirHook};
    qeSysSetDirHooks(&dirHooks);
    const SysPathHooks pathHooks = {nullptr, winPathOfHook, winFileNameOfHook, winFullPathHook};
    qeSysSetPathHooks(&pathHooks);
    return 0;
}

int qeSysSetupFileSystem() {
    qeLogPrint(QE_LOG_INFO, "setup filesystem windows");
    qeSysInstallWindowsFileSystem();
    g_fileSystemKind = 1;
    return 0;
}

int qeSysFileSystemKindIs2or3() { return g_fileSystemKind == 2 || g_fileSystemKind == 3 ? 1 : 0; }

// ---- Strings ----

int qeSysStrCaseCmp(const char* a, const char* b) {
    if (!a) a = "";
    if (!b) b = "";
    for (;; ++a, ++b) {
        const int ca = std::tolower(static_cast<unsigned char>(*a));
        const int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb) return ca - cb;
        if (!ca) return 0;
    }
}

const char* qeSysBaseName(const char* path) {
    if (!path) return path;
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if (isSeparator(*p) || *p == ':') name = p + 1;
    }
    return name;
}

char* qeSysReadWholeFile(const char* fileName, size_t* size) {
    if (size) *size = 0;
    if (!fileName || !size) return nullptr;
    SysFile* file = qeSysFileOpen(fileName, "rb");
    if (!file) return nullptr;
    char* buffer = nullptr;
    long length = -1;
    if (qeSysFileSeek(file, 0, SEEK_END) == 0) length = qeSysFileTell(file);
    if (length >= 0 && qeSysFileSeek(file, 0, SEEK_SET) == 0) {
        buffer = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
        if (buffer && qeSysFileRead(buffer, 1, static_cast<size_t>(length), file) != static_cast<size_t>(length)) {
            std::free(buffer);
            buffer = nullptr;
        }
        if (buffer) buffer[length] = 0;
    }
    qeSysFileClose(file);
    if (buffer) *size = static_cast<size_t>(length);
    return buffer;
}
