// Names and ".inf" texts of the cache (see QeShaderCacheInfo.h).
#include "gpu/QeShaderCacheInfo.h"

#include <cstdlib>
#include <cstring>

#include "gpu/QeShaderCacheFiles.h"
#include "gpu/QeShaderHash.h"

using irr::s32;
using irr::u32;
using irr::core::stringc;

stringc macroKeyText(const SShaderMacroList& macros) {
    std::string text;
    for (u32 i = 0; i < macros.size(); ++i) {
        text += macros[i].name.c_str();
        text += ' ';
        text += macros[i].value.c_str();
        text += '~';
    }
    return qeJoin(text);
}

stringc cacheInfoText(const SShaderMacroList& macros, const stringc& sourceKey) {
    return qeJoin(macroKeyText(macros), "\n", sourceKey);
}

stringc makeCacheFileName(irr::io::IFileSystem* fs, const stringc& file, const char* entry,
                          const SShaderMacroList& macros, bool vertex, const stringc& sourceKey) {
    const std::string dir = fs->getFileDir(file).c_str();
    const size_t slash = dir.find_last_of("/\\");
    const std::string folder = slash != std::string::npos ? dir.substr(slash + 1) : dir;
    const stringc base = fs->getFileBasename(file, false);

    // The content key is part of the name: sources of one name in folders of one name, with other
    // content, never write over each other's blob.
    const stringc info = cacheInfoText(macros, sourceKey);
    const stringc text = cacheHashText(info.c_str(), static_cast<s32>(info.size()));
    return qeJoin(folder, "!", base, "!", entry, "!", text, vertex ? ".vso" : ".pso");
}

bool readCacheInfoText(irr::io::IFileSystem* fs, const std::string& path, std::string* text) {
    void* data = nullptr;
    u32 size = 0;
    if (!readWholeFile(fs, path.c_str(), false, &data, &size)) return false;
    text->assign(static_cast<const char*>(data), size);
    std::free(data);
    return true;
}

bool parseCacheInfo(const std::string& text, SCacheInfo* info) {
    const size_t keyStart = text.find('\n');
    if (keyStart == std::string::npos) return false;
    size_t keyEnd = text.find('\n', keyStart + 1);
    info->macros = text.substr(0, keyStart);
    info->sourceKey = text.substr(keyStart + 1, keyEnd == std::string::npos ? std::string::npos : keyEnd - keyStart - 1);
    info->sources.clear();
    while (keyEnd != std::string::npos) {
        const size_t next = text.find('\n', keyEnd + 1);
        const std::string line = text.substr(keyEnd + 1, next == std::string::npos ? std::string::npos : next - keyEnd - 1);
        if (!line.empty()) info->sources.push_back(line);
        keyEnd = next;
    }
    return true;
}

std::string cacheInfoFileText(const SCacheInfo& info) {
    std::string text = info.macros + "\n" + info.sourceKey;
    for (const std::string& source : info.sources) text += "\n" + source;
    return text;
}

bool isCacheFileName(const std::string& name, bool* isInfo) {
    std::string blob = name;
    const bool info = blob.size() > 4 && _stricmp(blob.c_str() + blob.size() - 4, ".inf") == 0;
    if (info) blob.resize(blob.size() - 4);
    if (isInfo) *isInfo = info;
    if (blob.size() < kCacheHashLength + 5) return false;
    const char* extension = blob.c_str() + blob.size() - 4;
    if (_stricmp(extension, ".vso") != 0 && _stricmp(extension, ".pso") != 0) return false;
    const size_t hashAt = blob.size() - 4 - kCacheHashLength;
    if (blob[hashAt - 1] != '!' || !isCacheHashText(blob.substr(hashAt, kCacheHashLength))) return false;
    // folder "!" base "!" entry before it
    const std::string parts = blob.substr(0, hashAt - 1);
    const size_t entryCut = parts.rfind('!');
    return entryCut != std::string::npos && entryCut > 0 && parts.rfind('!', entryCut - 1) != std::string::npos;
}

bool isCurrentCacheInfo(const std::string& blobName, const std::string& text) {
    SCacheInfo info;
    if (!isCacheFileName(blobName) || !parseCacheInfo(text, &info) || !isCacheHashText(info.sourceKey) ||
        info.sources.empty())
        return false;
    const std::string hashed = info.macros + "\n" + info.sourceKey;
    const stringc hash = cacheHashText(hashed.data(), static_cast<s32>(hashed.size()));
    return blobName.compare(blobName.size() - 4 - kCacheHashLength, kCacheHashLength, hash.c_str()) == 0;
}
