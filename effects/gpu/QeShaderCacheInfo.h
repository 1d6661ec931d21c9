#ifndef QIRN_EFFECTS_GPU_QESHADERCACHEINFO_H
#define QIRN_EFFECTS_GPU_QESHADERCACHEINFO_H

// The names and the ".inf" form of the compiled-shader cache. Every compiled vertex or pixel shader is
// kept as a blob named
//   folder component "!" base name "!" entry point "!" hash of the info text "." ("vso" | "pso")
// beside an ".inf" file holding that info text: the macro list as text, then a line feed and the key of
// the source's content and of the files it includes, followed by one line per source file that uses the
// blob (how those lines are written and read: QeShaderCachePaths.h).

#include <irrlicht.h>

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
// Reads an ".inf" file whole; false when it cannot be read.
bool readCacheInfoText(irr::io::IFileSystem* fs, const std::string& path, std::string* text);
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

// The cache file name of a shader (no folder), for the source's content key (see
// shaderSourceKeyKeepingStatuses).
irr::core::stringc makeCacheFileName(irr::io::IFileSystem* fs, const irr::core::stringc& file, const char* entry,
                                     const SShaderMacroList& macros, bool vertex, const irr::core::stringc& sourceKey);

#endif
