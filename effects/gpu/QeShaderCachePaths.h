#ifndef QIRN_EFFECTS_GPU_QESHADERCACHEPATHS_H
#define QIRN_EFFECTS_GPU_QESHADERCACHEPATHS_H

// How the compiled-shader cache records the sources that use a blob: a line per source holding its path
// relative to the cache folder ('/' separated), then "|" and its full path (only its full path when the
// two share no drive or share); how a recorded path is compared with another, turned back into the full
// path it stands for, and found surely gone. The relative path finds a source in a cache moved with its
// demo, the full path in a cache copied or moved without it. A line of an earlier form, or of a packed
// demo's cache, holds the relative path alone. A path on a share (\\server\share\... or
// //server/share/...) keeps its server and share whole.

#include <irrlicht.h>

#include <map>
#include <string>
#include <vector>

#include "gpu/QeShaderCacheInfo.h"

// The components of a path, without empty ones and ".", with ".." taking the one before it away.
std::vector<std::string> cachePathParts(const std::string& path);
// The root of a path, '/' separated: "C:" for a drive, "//server/share" for a share, "/" for the root of
// the current drive, "" for a relative path; `rest` gets what follows it.
std::string cachePathRoot(const std::string& path, std::string* rest = nullptr);
// How a cache records a source: the path of the full path `source` relative to the full path `folder`
// ("../shaders/x.hlsl"), '/' separated, or the full path itself when the two share no drive or share.
std::string cacheSourcePath(const std::string& source, const std::string& folder);
// The full path that a recorded source path stands for, seen from the cache folder (a full path).
std::string cacheSourceFullPath(const std::string& recorded, const std::string& folder);
// Whether the source of that full path is surely gone: the drive or share that would hold it is there
// and the file is not (its folder may be gone too). A drive or share that is away, or a file that the
// system does not answer for, is not gone. With `roots`, each drive or share is asked for once (a share
// that is away may take long to answer) and its answer kept there.
bool isCacheSourceGone(const std::string& fullPath, std::map<std::string, bool>* roots = nullptr);
// The line that records the source of the full path `source` in the cache of the full path `folder`.
std::string cacheSourceLine(const std::string& source, const std::string& folder);
// Whether the line records the source of that full path: its relative path leads to it, or its full path
// names it while its relative path finds no file (as in a cache moved or copied without its demo).
bool recordsCacheSource(const std::string& line, const std::string& source, const std::string& folder);
// The index of the info's line that records the source of that full path; -1 when none does.
int cacheSourceIndex(const SCacheInfo& info, const std::string& source, const std::string& folder);
// Whether the source of a line is surely gone: where its relative path leads from the cache folder and
// its full path, each is (isCacheSourceGone).
bool isCacheSourceLineGone(const std::string& line, const std::string& folder,
                           std::map<std::string, bool>* roots = nullptr);
// Whether two recorded source paths name the same file (the file system does not tell case apart).
bool sameCacheSource(const std::string& a, const std::string& b);
// Whether the info lists the recorded source.
bool listsCacheSource(const SCacheInfo& info, const std::string& source);
// The full path of a file as the file system gives it ('/' separated).
std::string cacheFullPathOf(irr::io::IFileSystem* fs, const irr::core::stringc& path);

#endif
