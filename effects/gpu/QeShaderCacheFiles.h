#ifndef QIRN_EFFECTS_GPU_QESHADERCACHEFILES_H
#define QIRN_EFFECTS_GPU_QESHADERCACHEFILES_H

// The compiled-shader cache's own calls on files and folders by path: reading and writing a file whole
// through the engine's file system, and asking the operating system for a file's date and size, whether
// it is there, removing one, listing a folder (a folder is made by the shell's file layer,
// qeSysMakeFolders). Every path of any length that the system allows is taken (a cache beside a program
// in a deep folder names files past MAX_PATH).

#include <irrlicht.h>

#include <string>
#include <vector>

// Joins texts into one string (the cache's paths, its files' names and its key texts).
inline const char* qeTextOf(const irr::core::stringc& text) { return text.c_str(); }
inline const char* qeTextOf(const char* text) { return text ? text : ""; }
inline const char* qeTextOf(const std::string& text) { return text.c_str(); }
template <typename... T>
irr::core::stringc qeJoin(const T&... parts) {
    std::string text;
    (text.append(qeTextOf(parts)), ...);
    return irr::core::stringc(text.c_str(), static_cast<irr::u32>(text.size()));
}

// Reads a file whole through the file system into a malloc'ed block (one zero byte more when
// zeroTerminate); the caller frees it with free. False when it cannot be opened or fully read.
bool readWholeFile(irr::io::IFileSystem* fs, const irr::core::stringc& path, bool zeroTerminate, void** data,
                   irr::u32* size);
// Writes the bytes to a new file through the file system; false (and no file left) when it cannot be
// written whole. `opened` tells whether the file could be opened at all.
bool writeWholeFile(irr::io::IFileSystem* fs, const irr::core::stringc& path, const void* data, irr::u32 size,
                    bool* opened);
// The modification time (seconds since 1970) and size of a file from the operating system; false when it
// has none (missing, or inside an archive).
bool shaderFileStatus(const irr::core::stringc& path, irr::s64* time, irr::s64* size);

// Whether a file or folder is there.
bool cacheFileExists(const std::string& path);
// Whether the system says that the file is not there, nor perhaps its folder (not for a path it cannot
// answer for: a drive or share away, access refused, a name it does not take).
bool cacheFileSurelyMissing(const std::string& path);
// Whether the file was last written within the given number of seconds (false when it is not there).
bool cacheFileWrittenWithin(const std::string& path, unsigned int seconds);
// Whether a folder is there.
bool cacheFolderExists(const std::string& path);
// Removes a file; false when it cannot.
bool cacheRemoveFile(const std::string& path);
// The names of the files in the folder that match the pattern (no folder part), files only.
std::vector<std::string> cacheFilesIn(const std::string& folder, const std::string& pattern);

#endif
