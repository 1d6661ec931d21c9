#ifndef QIRN_EFFECTS_GPU_QESHADERSOURCES_H
#define QIRN_EFFECTS_GPU_QESHADERSOURCES_H

// What the compiled-shader cache knows of shader sources: the names of their includes, their dates and
// sizes, the key of a source's content and of its includes (every level that the date test looks at),
// the memo that keeps all this by path, and the date test of a blob against its source and includes.

#include <irrlicht.h>

#include <map>
#include <string>

// The names that a text's #include "..." lines give, in the order found (duplicates kept).
void parseShaderIncludes(const char* text, irr::core::array<irr::core::stringc>& names);
// The same for a file read through the file system.
void getShaderIncludes(const irr::core::stringc& file, irr::io::IFileSystem* fs,
                       irr::core::array<irr::core::stringc>& names);

// What the cache learnt of one shader file when it last read it: its date and size then, the hash of its
// content and its include names. Kept by path for as long as the memo lives; a file whose date or size
// has changed since is read again, so that a warm start reads every file once and later only takes dates.
struct SShaderFileFacts {
    bool dated = false;  // the operating system gave a status (not so for a file inside an archive)
    irr::s64 time = 0;
    irr::s64 size = 0;
    irr::u32 hash[5] = {0, 0, 0, 0, 0};
    irr::core::array<irr::core::stringc> includes;
};
struct SShaderFileMemo {
    std::map<std::string, SShaderFileFacts> files;
    // The statuses of the sources and includes taken while one blob is read or written, so that a file
    // is asked for once per shader however many checks name it; emptied before and after each read and
    // write, unless the memo keeps them for its whole life (a run of the shader services: every source
    // and include is then asked for and read once per run, however many stages and permutations name
    // it). A blob's own status is always taken afresh.
    struct SStatus {
        bool ok;
        irr::s64 time, size;
    };
    std::map<std::string, SStatus> statuses;
    bool keepStatuses = false;
    // Sources that the file system found, and the keys of sources' content (kept with the statuses).
    std::map<std::string, bool> found;
    std::map<std::string, irr::core::stringc> sourceKeys;
    void forgetStatuses() {
        if (!keepStatuses) statuses.clear();
    }
};

// Whether the file system finds the file; with a memo that keeps its statuses, a file once found is
// not asked for again.
bool shaderFileExists(irr::io::IFileSystem* fs, SShaderFileMemo* memo, const irr::core::stringc& path);

// The facts of a file (read or taken from the memo); null when it cannot be read.
const SShaderFileFacts* shaderFileFacts(irr::io::IFileSystem* fs, SShaderFileMemo& memo, const irr::core::stringc& path);
// The 32-character text that names the content of a source and of its includes, down to the depth that
// the date test looks at (three levels of includes); empty when the source cannot be read. The statuses
// that the memo holds are used as they are, and kept (within one read or write of a blob).
irr::core::stringc shaderSourceKeyKeepingStatuses(irr::io::IFileSystem* fs, SShaderFileMemo& memo,
                                                  const irr::core::stringc& source);
// The same with the memo's statuses forgotten before and after (SShaderFileMemo::forgetStatuses): every
// file's status is taken afresh, and none is left for the next read or write.
irr::core::stringc shaderSourceKeyForgettingStatuses(irr::io::IFileSystem* fs, SShaderFileMemo& memo,
                                                     const irr::core::stringc& source);

// False when an include of the file (and, up to depth 2, their own includes) is newer than time.
bool checkIncludesUpToDate(irr::io::IFileSystem* fs, const irr::core::stringc& file, irr::s64 time, irr::s32 depth,
                           SShaderFileMemo* memo = nullptr);
// The newest last-write time of the file and of the includes that checkIncludesUpToDate reads for it (0
// when none has one).
irr::s64 newestShaderSourceTime(irr::io::IFileSystem* fs, const irr::core::stringc& file, SShaderFileMemo* memo = nullptr);
// True when the blob is not older than the source and its includes (the blob's date taken from its
// status, unless given).
bool isCacheFileUpToDate(irr::io::IFileSystem* fs, const irr::core::stringc& source, const irr::core::stringc& blob,
                         SShaderFileMemo* memo = nullptr, const irr::s64* knownBlobTime = nullptr);

#endif
