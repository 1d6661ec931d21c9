#ifndef QIRN_EFFECTS_IQEGPUPROGRAMMINGSERVICES_H
#define QIRN_EFFECTS_IQEGPUPROGRAMMINGSERVICES_H

#include <irrlicht.h>

#include <string>
#include <vector>

// One macro of a shader macro list: a list is an array of these ended by an entry whose name is null
// (the compiler's own layout). A null definition means "", a null list means no macros.
struct SQeMacro {
    const char* Name;
    const char* Definition;
};

// Bits of the compiled-shader cache mode: use cached blobs, test their dates first, write new ones.
enum E_SHADER_CACHE_MODE {
    ESCM_READ = 1,
    ESCM_CHECK_DATES = 2,
    ESCM_WRITE = 4,
};

// GPU programming services of the effect library: shader materials made from HLSL file pairs through the
// compiled-shader cache, and where their constants and samplers live.
class IQeGPUProgrammingServices {
public:
    virtual ~IQeGPUProgrammingServices() {}
    // The cache folder and its mode bits; no check, no result.
    virtual void setShaderCache(const irr::core::stringc& folder, irr::u32 mode) = 0;
    // A material type for the pair of shaders with these macros, made once per run; -1 on failure.
    virtual irr::s32 getShaderMaterial(const irr::core::stringc& vertexFile, const char* vertexEntry,
                                       irr::video::E_VERTEX_SHADER_TYPE vertexTarget,
                                       const irr::core::stringc& pixelFile, const char* pixelEntry,
                                       irr::video::E_PIXEL_SHADER_TYPE pixelTarget,
                                       irr::video::IShaderConstantSetCallBack* callback,
                                       irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                                       const SQeMacro* macros) = 0;
    virtual bool getPixelShaderConstantRegister(irr::s32 materialType, const char* name, irr::s32* index) = 0;
    virtual bool getVertexShaderConstantRegister(irr::s32 materialType, const char* name, irr::s32* index) = 0;
    virtual bool getPixelShaderSamplerIndex(irr::s32 materialType, const char* name, irr::s32* index) = 0;
    virtual bool getVertexShaderSamplerIndex(irr::s32 materialType, const char* name, irr::s32* index) = 0;
    virtual bool printConstants(irr::s32 materialType) = 0;
};

// What a pack of a demo takes of the compiled-shader cache, and the files that its shaders include. Both
// read through a file system alone: a pack is made without a running engine.

// A folder whose shader sources a pack holds (its full path), the name that the folder has where the
// packed demo expands it (the folder component of its sources' blob names there), and its path there
// relative to the packed demo's cache folder ("../shaders", '/' separated), as that cache records its
// sources.
struct SQePackedShaderFolder {
    std::string path;
    std::string packedName;
    std::string packedPath;
};
// A file of the cache folder that a pack takes, its name in the packed cache, and the newest last-write
// time (as a file status gives it, in seconds since 1970) of the sources and of the includes that the
// date test reads for the blob: a packed blob dated no earlier than that is not older than what it was
// compiled from. A blob goes in as it is (`packedInfo` empty); an ".inf" goes in with the text
// `packedInfo` instead of its own: the same hashed part, and the packed sources that use the blob as the
// packed demo's cache records them (the lines of the program's cache name the sources where they were,
// which the packed demo does not have).
struct SQePackedCacheFile {
    std::string name;
    std::string packedName;
    irr::s64 newestSourceTime;
    std::string packedInfo;
};
// Appends the blobs (with their ".inf" files) of the cache folder that the packed sources can use: blobs
// of the current form whose name and content key are those of a source lying directly in one of the
// folders, as that source is now; each under the name that the source asks for where the packed demo has
// it, its ".inf" listing the packed sources that use it.
void listPackableCacheFiles(irr::io::IFileSystem* fs, const irr::core::stringc& folder,
                            const std::vector<SQePackedShaderFolder>& sourceFolders,
                            std::vector<SQePackedCacheFile>* files);

// One include of a shader source: the source, the file whose line names it, the name as the line writes
// it, where it was found (empty when it was not), and whether the compiler reads it whatever the shader's
// macros: false for an include under a condition that the walk cannot decide (a macro that a permutation
// may set), and for one that only the cache's content key reads (one named in a comment, say).
struct SQeShaderInclude {
    std::string source;
    std::string includer;
    std::string name;
    std::string path;
    bool certain;
};
// Appends the includes of `source` that a pack has to carry: those that the compiler asks for, found as
// the include callback finds them while it compiles (in the source's folder, then in the folders of the
// includes found before), with what they include in turn, each found file once (an include cycle ends);
// and those that the cache's content key of the source reads. Lines in comments and in branches that are
// surely skipped ("#if 0", an "#else" of a branch taken, an include guard met again) ask the compiler for
// nothing.
void listShaderIncludeFiles(irr::io::IFileSystem* fs, const irr::core::stringc& source,
                            std::vector<SQeShaderInclude>* files);

#endif
