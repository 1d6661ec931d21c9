// Reading, writing, replacing and clearing the cache's files (see QeShaderCache.h).
#include "gpu/QeShaderCache.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "IQeGPUProgrammingServices.h"
#include "QeLog.h"
#include "gpu/QeShaderCacheFiles.h"
#include "gpu/QeShaderCachePaths.h"
#include "gpu/QeShaderHash.h"
#include "sysfile.h"

using irr::s32;
using irr::s64;
using irr::u32;
using irr::core::stringc;

namespace {

// A run writes a blob, then its ".inf": a blob without a usable ".inf", or one whose ".inf" is not whole,
// is left by a clearing while either file is this young (seconds), since another run may be writing them.
const unsigned int kPairWriteSeconds = 60;

stringc blobPath(irr::io::IFileSystem* fs, const stringc& folder, const stringc& file, const char* entry,
                 const SShaderMacroList& macros, bool vertex, const stringc& sourceKey) {
    return qeJoin(folder, "/", makeCacheFileName(fs, file, entry, macros, vertex, sourceKey));
}

bool writeInfoText(irr::io::IFileSystem* fs, const std::string& path, const std::string& text) {
    bool opened = false;
    return writeWholeFile(fs, path.c_str(), text.data(), static_cast<u32>(text.size()), &opened);
}

bool removeCacheFile(const stringc& folder, const std::string& name) {
    const std::string path = std::string(folder.c_str()) + "/" + name;
    if (!cacheRemoveFile(path)) return false;
    qeLibLog(irr::ELL_DEBUG, "QeGPU: removed '%s' from the cache", path.c_str());
    return true;
}

// Lists the source of that full path in the info under its line as seen from the cache folder (a full
// path), in place of a line of it that is out of date; false when the info listed it so already.
bool recordCacheSource(SCacheInfo* info, const std::string& source, const std::string& folder) {
    const std::string line = cacheSourceLine(source, folder);
    const int at = cacheSourceIndex(*info, source, folder);
    if (at >= 0 && sameCacheSource(info->sources[at], line)) return false;
    if (at >= 0)
        info->sources[at] = line;
    else
        info->sources.push_back(line);
    return true;
}

// After the source of the full path `source` took the blob `written` (compiled it, or found it after using
// another): the blobs of the same folder, base name, entry point, stage and macros that list the source
// were compiled from another content of it, which it has no more. Such a blob goes unless another source
// that is still there uses it.
void forgetOlderContents(irr::io::IFileSystem* fs, const stringc& folder, const std::string& written,
                         const SCacheInfo& info, const std::string& source) {
    const std::string fullFolder = cacheFullPathOf(fs, folder);
    const size_t hashAt = written.size() - 4 - kCacheHashLength;  // "...!" hash ".vso"
    const std::string prefix = written.substr(0, hashAt);
    const std::string extension = written.substr(written.size() - 4);
    for (const std::string& name : cacheFilesIn(folder.c_str(), prefix + "*" + extension)) {
        if (name.size() != written.size() || _stricmp(name.c_str(), written.c_str()) == 0 ||
            _strnicmp(name.c_str(), prefix.c_str(), prefix.size()) != 0 || !isCacheFileName(name))
            continue;
        const std::string infoPath = std::string(folder.c_str()) + "/" + name + ".inf";
        std::string text;
        SCacheInfo other;
        if (!readCacheInfoText(fs, infoPath, &text) || !parseCacheInfo(text, &other)) continue;
        if (other.macros != info.macros || other.sourceKey == info.sourceKey ||
            cacheSourceIndex(other, source, fullFolder) < 0)
            continue;
        std::vector<std::string> rest;
        for (const std::string& known : other.sources)
            if (!recordsCacheSource(known, source, fullFolder) && !isCacheSourceLineGone(known, fullFolder))
                rest.push_back(known);
        if (rest.empty()) {
            removeCacheFile(folder, name);
            removeCacheFile(folder, name + ".inf");
            continue;
        }
        other.sources = rest;
        writeInfoText(fs, infoPath, cacheInfoFileText(other));
    }
}

}  // namespace

s32 removeStaleCacheFiles(irr::io::IFileSystem* fs, const stringc& folder) {
    if (!fs || folder.empty()) return 0;
    s32 removed = 0;
    const std::string base = std::string(folder.c_str()) + "/";
    auto remove = [&](const std::string& name) { removed += removeCacheFile(folder, name) ? 1 : 0; };
    const std::string fullFolder = cacheFullPathOf(fs, folder);
    std::map<std::string, bool> roots;
    for (const char* pattern : {"*.vso", "*.pso"}) {
        for (const std::string& name : cacheFilesIn(folder.c_str(), pattern)) {
            if (!isCacheFileName(name)) continue;
            std::string text;
            const bool hasInfo = cacheFileExists(base + name + ".inf");
            const bool usable =
                hasInfo && readCacheInfoText(fs, base + name + ".inf", &text) && isCurrentCacheInfo(name, text);
            if (!usable && (cacheFileWrittenWithin(base + name, kPairWriteSeconds) ||
                            (hasInfo && cacheFileWrittenWithin(base + name + ".inf", kPairWriteSeconds))))
                continue;  // another run may be between writing the blob and its ".inf"
            if (usable) {
                // a blob goes with the last of its sources; the sources that are gone are no longer listed
                SCacheInfo info;
                parseCacheInfo(text, &info);
                std::vector<std::string> living;
                for (const std::string& source : info.sources)
                    if (!isCacheSourceLineGone(source, fullFolder, &roots)) living.push_back(source);
                if (living.size() == info.sources.size()) continue;
                if (!living.empty()) {
                    info.sources = living;
                    writeInfoText(fs, base + name + ".inf", cacheInfoFileText(info));
                    continue;
                }
            }
            remove(name);
            if (hasInfo) remove(name + ".inf");
        }
    }
    for (const char* pattern : {"*.vso.inf", "*.pso.inf"}) {
        for (const std::string& name : cacheFilesIn(folder.c_str(), pattern)) {
            bool isInfo = false;
            if (!isCacheFileName(name, &isInfo) || !isInfo) continue;
            if (!cacheFileExists(base + name.substr(0, name.size() - 4)))
                remove(name);
        }
    }
    return removed;
}

bool isCachedShaderMatch(irr::io::IFileSystem* fs, const stringc& blob, const stringc& source,
                         const SShaderMacroList& macros, SShaderFileMemo* memo, SCacheInfo* info) {
    const stringc infoPath = qeJoin(blob, ".inf");
    std::string text;
    if (!readCacheInfoText(fs, infoPath.c_str(), &text)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: isCachedShaderMatch:read file '%s' FAILED", infoPath.c_str());
        return false;
    }
    // the macro text, then a line feed and the key of the source's content the blob was compiled from,
    // then the sources that use it
    SCacheInfo cached;
    if (!parseCacheInfo(text, &cached)) cached.macros = text;
    if (info) *info = cached;
    const stringc cachedMacros = qeJoin(cached.macros);
    const stringc cachedSource = qeJoin(cached.sourceKey);
    const stringc key = macroKeyText(macros);
    if (cachedMacros != key) {
        qeLibLog(irr::ELL_WARNING, "QeGPU: WARNING ! Conflict in Shader Cache on '%s' : Cached Macros : '%s' ; New Macros '%s'",
                 blob.c_str(), cachedMacros.c_str(), key.c_str());
        return false;
    }
    SShaderFileMemo local;
    const stringc sourceKey = shaderSourceKeyKeepingStatuses(fs, memo ? *memo : local, source);
    if (sourceKey.empty() || cachedSource != sourceKey) {
        qeLibLog(irr::ELL_DEBUG, "QeGPU: Cached shader '%s' was not compiled from the content of '%s'", blob.c_str(),
                 source.c_str());
        return false;
    }
    return true;
}

bool isShaderTokenBlob(const void* data, u32 size, bool vertex) {
    if (!data || size < 8 || size % 4) return false;
    u32 first, last;
    std::memcpy(&first, data, 4);
    std::memcpy(&last, static_cast<const char*>(data) + size - 4, 4);
    return (first >> 16) == (vertex ? 0xFFFEu : 0xFFFFu) && last == 0x0000FFFFu;
}

irr::video::SShaderCodeBuffer* readShaderCache(irr::io::IFileSystem* fs, const stringc& folder, u32 mode,
                                               const stringc& file, const char* entry, bool vertex,
                                               const SShaderMacroList& macros, SShaderFileMemo* memo) {
    if (!fs) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: failed to get filesystem");
        return nullptr;
    }
    if (!(mode & ESCM_READ) || folder.empty()) {
        qeLibLog(irr::ELL_DEBUG, "QeGPU: Cache not read enabled");
        return nullptr;
    }
    SShaderFileMemo local;
    if (!memo) memo = &local;
    memo->forgetStatuses();
    // The blob's name needs the key of the source's content.
    const stringc sourceKey = shaderSourceKeyKeepingStatuses(fs, *memo, file);
    if (sourceKey.empty()) {
        memo->forgetStatuses();
        qeLibLog(irr::ELL_DEBUG, "QeGPU: Shader source cannot be read for the cache '%s'", file.c_str());
        return nullptr;
    }
    const stringc blob = blobPath(fs, folder, file, entry, macros, vertex, sourceKey);
    qeLibLog(irr::ELL_DEBUG, "QeGPU: Read from cache = '%s'", blob.c_str());
    // The date test needs the blob's status: a blob that has one exists, and the file system is asked
    // only about one that has none (inside an archive, or missing).
    const bool dated = (mode & ESCM_CHECK_DATES) != 0;
    s64 blobTime = 0, blobSize = 0;
    const bool stated = dated && shaderFileStatus(blob, &blobTime, &blobSize);
    if (!stated && !fs->existFile(blob)) {
        memo->forgetStatuses();
        qeLibLog(irr::ELL_DEBUG, "QeGPU: File does not exist in the cache '%s'", blob.c_str());
        return nullptr;
    }
    SCacheInfo info;
    const bool usable = isCachedShaderMatch(fs, blob, file, macros, memo, &info) &&
                        (!dated || isCacheFileUpToDate(fs, file, blob, memo, stated ? &blobTime : nullptr));
    memo->forgetStatuses();
    if (!usable) return nullptr;
    // A source that had not used this blob yet (another source of the same content, or one whose content
    // went back to an older one): it is listed now, so that an edit of it later replaces what it used, and
    // what it used before is no longer its own. A source listed by a line that is out of date (of the
    // earlier form, or written before the cache or the source moved) gets its line as it is now.
    if (mode & ESCM_WRITE) {
        const std::string self = cacheFullPathOf(fs, file);
        if (recordCacheSource(&info, self, cacheFullPathOf(fs, folder))) {
            writeInfoText(fs, std::string(blob.c_str()) + ".inf", cacheInfoFileText(info));
            forgetOlderContents(fs, folder, fs->getFileBasename(blob, true).c_str(), info, self);
        }
    }

    irr::io::IReadFile* in = fs->createAndOpenFile(blob);
    if (!in) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Cached Compiled Shader cannot be opened '%s'", blob.c_str());
        return nullptr;
    }
    const long length = in->getSize();
    irr::video::SShaderCodeBuffer* code = new irr::video::SShaderCodeBuffer();
    code->set(nullptr, length > 0 ? static_cast<u32>(length) : 0);
    const s32 got = code->Size ? in->read(code->Data, code->Size) : 0;
    in->drop();
    if (got != static_cast<s32>(code->Size)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Cached Compiled Shader file cannot be read %s", blob.c_str());
        delete code;
        return nullptr;
    }
    if (!isShaderTokenBlob(code->Data, code->Size, vertex)) {
        qeLibLog(irr::ELL_WARNING, "QeGPU: Cached Compiled Shader is empty or invalid '%s'", blob.c_str());
        delete code;
        return nullptr;
    }
    return code;
}

bool writeShaderCache(irr::io::IFileSystem* fs, const stringc& folder, u32 mode, const stringc& file,
                      const char* entry, bool vertex, const SShaderMacroList& macros,
                      const irr::video::SShaderCodeBuffer& code, SShaderFileMemo* memo) {
    if (!fs) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: failed to get filesystem");
        return false;
    }
    if (!(mode & ESCM_WRITE) || folder.empty()) {
        qeLibLog(irr::ELL_DEBUG, "QeGPU: Cache not write enabled");
        return false;
    }
    SShaderFileMemo local;
    if (!memo) memo = &local;
    const stringc sourceKey = shaderSourceKeyForgettingStatuses(fs, *memo, file);
    if (sourceKey.empty()) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Shader source cannot be read for the cache '%s'", file.c_str());
        return false;
    }
    const stringc blob = blobPath(fs, folder, file, entry, macros, vertex, sourceKey);
    qeLibLog(irr::ELL_DEBUG, "QeGPU: Write to cache '%s'", blob.c_str());
    if (!qeSysMakeFolders(folder.c_str())) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Cache folder cannot be created '%s'", folder.c_str());
        return false;
    }
    bool opened = false;
    if (!writeWholeFile(fs, blob, code.Data, code.Size, &opened)) {
        if (opened)
            qeLibLog(irr::ELL_ERROR, "QeGPU: Cached Compiled Shader file cannot be write %s", blob.c_str());
        else
            qeLibLog(irr::ELL_DEBUG, "QeGPU: Cached Compiled Shader cannot be opened for write '%s'", blob.c_str());
        return false;
    }
    const stringc info = qeJoin(blob, ".inf");
    // The sources that used the blob before it was written again (its date was older than theirs) still do.
    SCacheInfo record;
    record.macros = macroKeyText(macros).c_str();
    record.sourceKey = sourceKey.c_str();
    std::string before;
    SCacheInfo earlier;
    if (readCacheInfoText(fs, info.c_str(), &before) && parseCacheInfo(before, &earlier) &&
        earlier.macros == record.macros && earlier.sourceKey == record.sourceKey)
        record.sources = earlier.sources;
    const std::string self = cacheFullPathOf(fs, file);
    recordCacheSource(&record, self, cacheFullPathOf(fs, folder));
    const std::string text = cacheInfoFileText(record);
    if (!writeWholeFile(fs, info, text.data(), static_cast<u32>(text.size()), &opened)) {
        if (opened)
            qeLibLog(irr::ELL_ERROR, "QeGPU: Cached Shader Info cannot be write %s", info.c_str());
        else
            qeLibLog(irr::ELL_ERROR, "QeGPU: Cached Shader Info cannot be opened for write '%s'", info.c_str());
        // a blob without its info could never be used: leave none
        cacheRemoveFile(blob.c_str());
        return false;
    }
    const std::string name = fs->getFileBasename(blob, true).c_str();
    forgetOlderContents(fs, folder, name, record, self);
    return true;
}
