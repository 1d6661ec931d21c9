#ifndef QIRN_EFFECTS_GPU_QESHADERCACHEFILES_H
#define QIRN_EFFECTS_GPU_QESHADERCACHEFILES_H

// The compiled-shader cache's own calls on files and folders by path: reading a file whole through the
// engine's file system, and asking the operating system whether a file is there, removing one, making a
// folder, listing one. Every path of any length that the system allows is taken (a cache beside a
// program in a deep folder names files past MAX_PATH).

#include <irrlicht.h>

#include <string>
#include <vector>

// Reads a file whole through the file system into a malloc'ed block (one zero byte more when
// zeroTerminate); the caller frees it with free. False when it cannot be opened or fully read.
bool readWholeFile(irr::io::IFileSystem* fs, const irr::core::stringc& path, bool zeroTerminate, void** data,
                   irr::u32* size);

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
// Makes the folder and the missing folders above it; false when it cannot.
bool cacheMakeFolder(const std::string& folder);
// The names of the files in the folder that match the pattern (no folder part), files only.
std::vector<std::string> cacheFilesIn(const std::string& folder, const std::string& pattern);

#endif
