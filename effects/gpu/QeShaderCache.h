#ifndef QIRN_EFFECTS_GPU_QESHADERCACHE_H
#define QIRN_EFFECTS_GPU_QESHADERCACHE_H

// The on-disk compiled-shader cache. Every compiled vertex or pixel shader is kept as a blob named
//   folder component "!" base name "!" entry point "!" hash of the info text "." ("vso" | "pso")
// beside an ".inf" file holding that info text: the macro list as text, then a line feed and the key of
// the source's content and of the files it includes (every level that the date test looks at: the
// source's includes, theirs and those of theirs), followed by one line per source file that uses the
// blob (its path relative to the cache folder, or its full path on another drive). A cache moved with
// its shaders still hits, and two different same-named sources in same-named folders each keep a blob of
// their own. A blob that a source leaves for an older content of its own goes when the new one is
// written (or found), and the files of another form go the first time a run has to compile a shader.

#include <irrlicht.h>

#include <map>
#include <string>
#include <vector>

// One shader macro inside the library; lists that serve as keys are sorted by name, then value.
struct SShaderMacro {
    irr::core::stringc name;
    irr::core::stringc value;
    bool operator<(const SShaderMacro& other) const {
        if (name < other.name) return true;
        if (other.name < name) return false;
        return value < other.value;
    }
};

typedef irr::core::array<SShaderMacro> SShaderMacroList;

// Joins texts into one string (paths and names of the cache).
inline const char* qeTextOf(const irr::core::stringc& text) { return text.c_str(); }
inline const char* qeTextOf(const char* text) { return text ? text : ""; }
inline const char* qeTextOf(const std::string& text) { return text.c_str(); }
template <typename... T>
irr::core::stringc qeJoin(const T&... parts) {
    std::string text;
    (text.append(qeTextOf(parts)), ...);
    return irr::core::stringc(text.c_str(), static_cast<irr::u32>(text.size()));
}

// 160-bit hash of length bytes (five lanes of a multiply-xor mix); out receives five words, which as
// bytes are taken in order, each little-endian.
void hash160(const void* data, irr::s32 length, irr::u32 seed, irr::u32 out[5]);

// Characters that base32 gives for byteCount bytes (ceil(8n/5)); 0 for fewer than one byte.
irr::s32 base32EncodedLength(irr::s32 byteCount);
// Splits count (1 to 5) bytes, padded with zeros to five, into eight 5-bit values, most significant first.
void base32SplitGroup(const irr::u8* bytes, irr::s32 count, irr::u8 values[8]);
// Splits length bytes into base32EncodedLength(length) 5-bit values; false on a missing input or output
// or a length below 1.
bool base32Split(const void* bytes, irr::s32 length, irr::u8* values);
// Maps count 5-bit values onto the alphabet "123456789ABCDEFGHJKMNPQRSTUVWXYZ" (no terminator written).
bool base32MapAlphabet(const irr::u8* values, irr::s32 count, irr::c8* text);

// The macro list as cache key text: name " " value "~" for every macro of the sorted list.
irr::core::stringc macroKeyText(const SShaderMacroList& macros);

// The hashed part of a blob's ".inf": the macro key text, a line feed and the key of the source's content.
irr::core::stringc cacheInfoText(const SShaderMacroList& macros, const irr::core::stringc& sourceKey);

// A blob's ".inf" read back: the macro key text, the source key and the sources that use the blob.
struct SCacheInfo {
    std::string macros;
    std::string sourceKey;
    std::vector<std::string> sources;
};
// Splits an ".inf" text; false when it has no source key line. A text of an older form (without
// sources) gives an empty source list.
bool parseCacheInfo(const std::string& text, SCacheInfo* info);
// The ".inf" text of the info: the hashed part, then a line per source.
std::string cacheInfoFileText(const SCacheInfo& info);
// Whether the name is one of a blob ("*.vso", "*.pso") or of its ".inf" as the cache names them: three
// '!'-separated parts, "!", the 32-character hash and the stage's extension.
bool isCacheFileName(const std::string& name, bool* isInfo = nullptr);
// Whether the ".inf" text is of the current form for the blob of that name: a 32-character source key,
// at least one source, and the name's hash is that of its hashed part.
bool isCurrentCacheInfo(const std::string& blobName, const std::string& text);
// How a cache records a source: the path of the full path `source` relative to the full path `folder`
// ("../shaders/x.hlsl"), '/' separated, or the full path itself when the two share no drive or root.
std::string cacheSourcePath(const std::string& source, const std::string& folder);
// The full path that a recorded source path stands for, seen from the cache folder (a full path).
std::string cacheSourceFullPath(const std::string& recorded, const std::string& folder);
// Whether two recorded source paths name the same file (the file system does not tell case apart).
bool sameCacheSource(const std::string& a, const std::string& b);

// Removes the engine's own files in the cache folder that no request can use: blobs without their
// ".inf", ".inf" files without their blob, and both files of a blob whose ".inf" is of another form. No
// other file is touched. Gives the number of files removed.
irr::s32 removeStaleCacheFiles(irr::io::IFileSystem* fs, const irr::core::stringc& folder);
// A folder whose shader sources a pack holds (its full path), and the name that the folder has where the
// packed demo expands it (the folder component of its sources' blob names there).
struct SPackedShaderFolder {
    std::string path;
    std::string packedName;
};
// A file of the cache folder that a pack takes, its name in the packed cache, and the newest last-write
// time (as a file status gives it, in seconds) of the source and of the includes that the date test reads
// for the blob: a packed blob dated no earlier than that is not older than what it was compiled from.
struct SPackedCacheFile {
    std::string name;
    std::string packedName;
    irr::s64 newestSourceTime;
};
// The blobs (with their ".inf" files) of the cache folder that the packed sources can use: blobs of the
// current form whose name and content key are those of a source lying directly in one of the folders, as
// that source is now; each under the name that the source asks for where the packed demo has it.
void listPackableCacheFiles(irr::io::IFileSystem* fs, const irr::core::stringc& folder,
                            const std::vector<SPackedShaderFolder>& sourceFolders,
                            std::vector<SPackedCacheFile>* files);
// The cache file name of a shader (no folder), for the source's content key (see shaderSourceKey).
irr::core::stringc makeCacheFileName(irr::io::IFileSystem* fs, const irr::core::stringc& file, const char* entry,
                                     const SShaderMacroList& macros, bool vertex, const irr::core::stringc& sourceKey);

// Reads a file whole through the file system into a malloc'ed block (one zero byte more when
// zeroTerminate); the caller frees it with free. False when it cannot be opened or fully read.
bool readWholeFile(irr::io::IFileSystem* fs, const irr::core::stringc& path, bool zeroTerminate, void** data,
                   irr::u32* size);

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
// the date test looks at (three levels of includes); empty when the source cannot be read.
irr::core::stringc shaderSourceKey(irr::io::IFileSystem* fs, SShaderFileMemo& memo, const irr::core::stringc& source);

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
// True when the blob's ".inf" names exactly these macros and this source's content (what it holds is
// given in `info` when asked for).
bool isCachedShaderMatch(irr::io::IFileSystem* fs, const irr::core::stringc& blob, const irr::core::stringc& source,
                         const SShaderMacroList& macros, SShaderFileMemo* memo = nullptr, SCacheInfo* info = nullptr);

// The cached blob of a shader as a new buffer that the caller owns, or null. The memo (one of the
// caller's, or one for this call only when none is given) keeps what was read of the source files by
// their paths: a memo that outlives a change of the current folder must be given full paths. With
// ESCM_WRITE, a blob used by a source that its ".inf" does not list yet gets that source added.
irr::video::SShaderCodeBuffer* readShaderCache(irr::io::IFileSystem* fs, const irr::core::stringc& folder,
                                               irr::u32 mode, const irr::core::stringc& file, const char* entry,
                                               bool vertex, const SShaderMacroList& macros,
                                               SShaderFileMemo* memo = nullptr);
// Writes a blob and its ".inf" (creating the folder); a failed write leaves no blob behind. Blobs that
// the same source left for the same entry point and macros over another content are removed (or, when
// other sources use them too, no longer list this one).
bool writeShaderCache(irr::io::IFileSystem* fs, const irr::core::stringc& folder, irr::u32 mode,
                      const irr::core::stringc& file, const char* entry, bool vertex, const SShaderMacroList& macros,
                      const irr::video::SShaderCodeBuffer& code, SShaderFileMemo* memo = nullptr);

// True when the bytes look like compiled shader tokens of the stage: whole tokens, the stage's version
// token first and the end token last.
bool isShaderTokenBlob(const void* data, irr::u32 size, bool vertex);

#endif
