#ifndef QIRN_EFFECTS_GPU_QESHADERCACHEPACK_H
#define QIRN_EFFECTS_GPU_QESHADERCACHEPACK_H

// The part of the compiled-shader cache that a pack carries: the current blobs of the shader sources it
// holds, each under the name that the packed demo asks for.

#include <irrlicht.h>

#include <string>
#include <vector>

// A folder whose shader sources a pack holds (its full path), the name that the folder has where the
// packed demo expands it (the folder component of its sources' blob names there), and its path there
// relative to the packed demo's cache folder ("../shaders"), as that cache records its sources.
struct SPackedShaderFolder {
    std::string path;
    std::string packedName;
    std::string packedPath;
};
// A file of the cache folder that a pack takes, its name in the packed cache, and the newest last-write
// time (as a file status gives it, in seconds) of the sources and of the includes that the date test
// reads for the blob: a packed blob dated no earlier than that is not older than what it was compiled
// from. An ".inf" goes in with the text `packedInfo` instead of its own: the same hashed part, and the
// packed sources that use the blob as the packed demo's cache records them (the lines of the program's
// cache name the sources where they were, which the packed demo does not have).
struct SPackedCacheFile {
    std::string name;
    std::string packedName;
    irr::s64 newestSourceTime;
    std::string packedInfo;
};
// The blobs (with their ".inf" files) of the cache folder that the packed sources can use: blobs of the
// current form whose name and content key are those of a source lying directly in one of the folders, as
// that source is now; each under the name that the source asks for where the packed demo has it, its
// ".inf" listing the packed sources that use it.
void listPackableCacheFiles(irr::io::IFileSystem* fs, const irr::core::stringc& folder,
                            const std::vector<SPackedShaderFolder>& sourceFolders,
                            std::vector<SPackedCacheFile>* files);

#endif
