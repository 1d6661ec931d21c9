#ifndef QIRN_EFFECTS_GPU_QESHADERCACHE_H
#define QIRN_EFFECTS_GPU_QESHADERCACHE_H

// The on-disk compiled-shader cache. Every compiled vertex or pixel shader is kept as a blob named
//   folder component "!" base name "!" entry point "!" hash of the macro list "." ("vso" | "pso")
// beside an ".inf" file holding the macro list as text (then a line feed and the source's full path, so
// that two same-named sources in same-named folders never take each other's blob).

#include <irrlicht.h>

#include <string>

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

// The cache file name of a shader (no folder).
irr::core::stringc makeCacheFileName(irr::io::IFileSystem* fs, const irr::core::stringc& file, const char* entry,
                                     const SShaderMacroList& macros, bool vertex);

// Reads a file whole through the file system into a malloc'ed block (one zero byte more when
// zeroTerminate); the caller frees it with free. False when it cannot be opened or fully read.
bool readWholeFile(irr::io::IFileSystem* fs, const irr::core::stringc& path, bool zeroTerminate, void** data,
                   irr::u32* size);

// The names that the file's #include "..." lines give, in the order found (duplicates kept).
void getShaderIncludes(const irr::core::stringc& file, irr::io::IFileSystem* fs,
                       irr::core::array<irr::core::stringc>& names);

// False when an include of the file (and, up to depth 2, their own includes) is newer than time.
bool checkIncludesUpToDate(irr::io::IFileSystem* fs, const irr::core::stringc& file, irr::s64 time, irr::s32 depth);
// True when the blob is not older than the source and its includes.
bool isCacheFileUpToDate(irr::io::IFileSystem* fs, const irr::core::stringc& source, const irr::core::stringc& blob);
// True when the blob's ".inf" names exactly these macros and this source.
bool isCachedShaderMatch(irr::io::IFileSystem* fs, const irr::core::stringc& blob, const irr::core::stringc& source,
                         const SShaderMacroList& macros);

// The cached blob of a shader as a new buffer that the caller owns, or null.
irr::video::SShaderCodeBuffer* readShaderCache(irr::io::IFileSystem* fs, const irr::core::stringc& folder,
                                               irr::u32 mode, const irr::core::stringc& file, const char* entry,
                                               bool vertex, const SShaderMacroList& macros);
// Writes a blob and its ".inf" (creating the folder); a failed write leaves no blob behind.
bool writeShaderCache(irr::io::IFileSystem* fs, const irr::core::stringc& folder, irr::u32 mode,
                      const irr::core::stringc& file, const char* entry, bool vertex, const SShaderMacroList& macros,
                      const irr::video::SShaderCodeBuffer& code);

// True when the bytes look like compiled shader tokens of the stage: whole tokens, the stage's version
// token first and the end token last.
bool isShaderTokenBlob(const void* data, irr::u32 size, bool vertex);

#endif
