#ifndef QIRN_SHELL_SYSFILE_H
#define QIRN_SHELL_SYSFILE_H

#include <cstddef>
#include <string>

// The file and path layer. All engine-side file access goes through it: opening a file gives a SysFile
// whose operations are function pointers, and the current directory and path queries go through
// replaceable hooks. With no hooks installed a portable default works (a remembered directory string
// and the standard stream functions); engine start installs the Windows implementations.
//
// Every path or directory query returns a static buffer that the next call of the same query
// overwrites: copy the text if it must outlive that call. Main thread only.

enum { QE_SYS_PATH_SIZE = 2048 };

// An open file. The handle is passed to its own operations; close also frees the handle.
struct SysFile {
    void* stream;  // the implementation's stream (a FILE* for the default implementation)
    int (*seek)(SysFile* handle, long offset, int origin);
    size_t (*read)(void* buffer, size_t size, size_t count, SysFile* handle);
    int (*getc)(SysFile* handle);
    char* (*gets)(char* buffer, int size, SysFile* handle);
    long (*tell)(SysFile* handle);
    int (*close)(SysFile* handle);
};

// Hook records; installing one copies it, NULL clears every field.
struct SysFileOpenHook {
    void* context;
    SysFile* (*open)(const char* name, const char* mode, void* context);
};

struct SysDirHooks {
    void* context;
    int (*setDir)(const char* path, void* context);
    int (*changeDir)(const char* path, void* context);
    const char* (*getDir)(void* context);
};

struct SysPathHooks {
    void* context;
    const char* (*pathOf)(const char* path, void* context);
    const char* (*fileNameOf)(const char* path, int withExtension, void* context);
    const char* (*fullPathOf)(const char* path, void* context);
};

// Files. qeSysFileOpen gives NULL when the file cannot be opened. The other calls forward to the
// handle's operation; on a NULL handle they fail (-1, 0, EOF or NULL) instead of crashing.
SysFile* qeSysFileOpen(const char* name, const char* mode);
SysFile* qeSysDefaultOpen(const char* name, const char* mode);
int qeSysFileClose(SysFile* h);
int qeSysFileSeek(SysFile* h, long offset, int origin);
size_t qeSysFileRead(void* buffer, size_t size, size_t count, SysFile* h);
int qeSysFileGetc(SysFile* h);
char* qeSysFileGets(char* buffer, int size, SysFile* h);
long qeSysFileTell(SysFile* h);
int qeSysFileExist(const char* name);
// The whole file in one heap buffer (free it with free()) with a zero byte after its end, and its size
// (without that byte); NULL when it cannot be opened or read whole.
char* qeSysReadWholeFile(const char* name, size_t* size);

// Hooks.
int qeSysSetOpenHook(const SysFileOpenHook* hook);
int qeSysSetDirHooks(const SysDirHooks* hooks);
int qeSysSetPathHooks(const SysPathHooks* hooks);

// Current directory. Without hooks: a remembered directory (empty at start, so names stay as given).
// A path that would not fit the 2048-byte buffer is refused (-1) and the directory stays as it was.
int qeSysSetDir(const char* path);
int qeSysChangeDir(const char* path);
const char* qeSysGetDir();

// Path queries. Without hooks: plain string work on the text. A result that would not fit its buffer
// comes back empty.
const char* qeSysPathPath(const char* path);
const char* qeSysPathFilename(const char* path, int withExtension);
const char* qeSysPathFull(const char* path);

// The Windows implementations of the hooks.
int qeSysWinSetDir(const char* path);
const char* qeSysWinGetDir();
const char* qeSysWinPathOf(const char* path);
const char* qeSysWinFileNameOf(const char* path, int withExtension);
const char* qeSysWinFullPathOf(const char* path);
int qeSysInstallWindowsFileSystem();

// Installs the Windows file system (called by engine start once the video driver exists).
int qeSysSetupFileSystem();
int qeSysFileSystemKindIs2or3();

// Data-file search: the name, then the name under the standard sub-folders ("shaders", "shadersPP",
// "shadersSURF", "shadersSURF2", "shadersHV", "textures"), then under each search directory's
// sub-folders, then under the base directory and its sub-folders. Gives the name itself when it opens
// as given or nowhere, else the candidate in a static buffer.
int qeSysSetBaseDir(const char* path);
const char* qeSysGetBaseDirectory();
int qeSysAddSearchDirectory(const char* path);
const char* qeSysFindDataFile(const char* name);

// Paths of any length (sysfile_long.cpp, which the effect library and the cabinet tool link too). The
// system's ANSI file functions refuse a path of MAX_PATH (260) characters or more; the wide ones take one of
// up to 32767 in the form qeSysLongPath gives. A path relative to the current folder is taken against it.
// The full path of `path` for the wide file functions: "\\?\" and the full path ("\\?\UNC\" for a
// network path); "" when the system gives no full path.
std::wstring qeSysLongPath(const char* path);
// The full path of `path` at any length, as text ("" when the system gives none).
std::string qeSysFullPath(const char* path);
// True when `path` is too long for the system at all: more than the wide functions take, or a part of it
// longer than a file name can be (255 characters).
bool qeSysPathTooLong(const char* path);

// Removes the folder `path` with everything in it, at any length, and never what is marked read-only (which
// stays, and the folders that hold it with it); links to folders are removed, not what they lead to. True
// when the folder is gone.
bool qeSysRemoveFolderTree(const char* path);

// Makes the folder `folder` and every missing folder above it, at any length ('/' or '\\' between parts;
// below a drive or a share, which must be there). True when the folder is there; false with the system's
// error code for the failure in GetLastError.
bool qeSysMakeFolders(const char* folder);

// Text between the system's ANSI code page and the wide form of its wide functions ("" for NULL, "" or text
// that does not convert).
std::wstring qeSysWideText(const char* text);
std::string qeSysAnsiText(const wchar_t* text);
// A file time of the system (100-ns ticks since 1601 in two 32-bit halves) as one number.
unsigned long long qeSysFileTimeValue(const struct _FILETIME& time);

// Strings.
int qeSysStrCaseCmp(const char* a, const char* b);
const char* qeSysBaseName(const char* path);

#endif
