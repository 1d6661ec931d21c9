#ifndef QIRN_EFFECTS_GPU_QESHADERCACHEPATHS_H
#define QIRN_EFFECTS_GPU_QESHADERCACHEPATHS_H

// How the compiled-shader cache records the sources that use a blob: each source's path relative to the
// cache folder ('/' separated), or its full path when the two share no drive or root; how a recorded path
// is compared with another and turned back into the full path it stands for.

#include <irrlicht.h>

#include <string>
#include <vector>

#include "gpu/QeShaderCacheInfo.h"

// The components of a path, without empty ones and ".", with ".." taking the one before it away.
std::vector<std::string> cachePathParts(const std::string& path);
// How a cache records a source: the path of the full path `source` relative to the full path `folder`
// ("../shaders/x.hlsl"), '/' separated, or the full path itself when the two share no drive or root.
std::string cacheSourcePath(const std::string& source, const std::string& folder);
// The full path that a recorded source path stands for, seen from the cache folder (a full path).
std::string cacheSourceFullPath(const std::string& recorded, const std::string& folder);
// Whether two recorded source paths name the same file (the file system does not tell case apart).
bool sameCacheSource(const std::string& a, const std::string& b);
// Whether the info lists the recorded source.
bool listsCacheSource(const SCacheInfo& info, const std::string& source);
// The full path of a file as the file system gives it ('/' separated).
std::string cacheFullPathOf(irr::io::IFileSystem* fs, const irr::core::stringc& path);

#endif
