// Shader sources as the cache sees them (see QeShaderSources.h).
#include "gpu/QeShaderSources.h"

#include <cstdlib>
#include <cstring>

#include "QeLog.h"
#include "gpu/QeShaderCacheFiles.h"
#include "gpu/QeShaderHash.h"

using irr::s32;
using irr::s64;
using irr::u32;
using irr::core::stringc;

namespace {

// A file's status through the memo's statuses of the current read or write (none: asked every time).
bool statusOf(SShaderFileMemo* memo, const stringc& path, s64* time, s64* size) {
    if (!memo) return shaderFileStatus(path, time, size);
    const std::string key = path.c_str();
    std::map<std::string, SShaderFileMemo::SStatus>::const_iterator known = memo->statuses.find(key);
    if (known == memo->statuses.end()) {
        SShaderFileMemo::SStatus status{false, 0, 0};
        status.ok = shaderFileStatus(path, &status.time, &status.size);
        known = memo->statuses.emplace(key, status).first;
    }
    *time = known->second.time;
    *size = known->second.size;
    return known->second.ok;
}

bool statusTime(SShaderFileMemo* memo, const stringc& path, s64* time) {
    s64 size = 0;
    return statusOf(memo, path, time, &size);
}

// The levels of includes that the date test reads (checkIncludesUpToDate's depths 0 to 2), and so the key.
const s32 kIncludeLevels = 3;

// Appends the content hashes of the file's includes and, down to the deepest level that the date test
// reads, of their own includes; includes that cannot be read add nothing.
void addIncludeHashes(irr::io::IFileSystem* fs, SShaderFileMemo& memo, const stringc& file,
                      const irr::core::array<stringc>& names, s32 level, std::string& bytes) {
    const stringc dir = fs->getFileDir(file);
    for (u32 i = 0; i < names.size(); ++i) {
        const stringc path = qeJoin(dir, "/", names[i]);
        const SShaderFileFacts* facts = shaderFileFacts(fs, memo, path);
        if (!facts) continue;
        bytes.append(reinterpret_cast<const char*>(facts->hash), sizeof facts->hash);
        if (level + 1 < kIncludeLevels) {
            const irr::core::array<stringc> inner = facts->includes;  // the memo may change below
            addIncludeHashes(fs, memo, path, inner, level + 1, bytes);
        }
    }
}

}  // namespace

void parseShaderIncludes(const char* text, irr::core::array<stringc>& names) {
    for (const char* at = std::strstr(text, "#include"); at; at = std::strstr(at + 1, "#include")) {
        const char* end = at + std::strcspn(at, "\r\n");
        if (!*end) continue;  // a last line without an end is not taken
        const char* open = static_cast<const char*>(std::memchr(at, '"', end - at));
        if (!open) continue;
        const char* close = static_cast<const char*>(std::memchr(open + 1, '"', end - open - 1));
        if (!close) continue;
        names.push_back(stringc(open + 1, static_cast<u32>(close - open - 1)));
    }
}

void getShaderIncludes(const stringc& file, irr::io::IFileSystem* fs, irr::core::array<stringc>& names) {
    void* data = nullptr;
    u32 size = 0;
    if (!readWholeFile(fs, file, true, &data, &size)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: getShaderIncludes:read file '%s' FAILED", file.c_str());
        return;
    }
    parseShaderIncludes(static_cast<const char*>(data), names);
    std::free(data);
}

const SShaderFileFacts* shaderFileFacts(irr::io::IFileSystem* fs, SShaderFileMemo& memo, const stringc& path) {
    s64 time = 0, size = 0;
    const bool dated = statusOf(&memo, path, &time, &size);
    const std::string key = path.c_str();
    const std::map<std::string, SShaderFileFacts>::iterator known = memo.files.find(key);
    if (known != memo.files.end() && known->second.dated == dated &&
        (!dated || (known->second.time == time && known->second.size == size)))
        return &known->second;
    void* data = nullptr;
    u32 bytes = 0;
    if (!readWholeFile(fs, path, true, &data, &bytes)) {
        if (known != memo.files.end()) memo.files.erase(known);
        return nullptr;
    }
    SShaderFileFacts facts;
    facts.dated = dated;
    facts.time = time;
    facts.size = size;
    hash160(data, static_cast<s32>(bytes), 0, facts.hash);
    parseShaderIncludes(static_cast<const char*>(data), facts.includes);
    std::free(data);
    SShaderFileFacts& stored = memo.files[key];
    stored = facts;
    return &stored;
}

stringc shaderSourceKeyKeepingStatuses(irr::io::IFileSystem* fs, SShaderFileMemo& memo, const stringc& source) {
    // A memo that keeps its statuses keeps what it read for good, and so the keys made of it.
    if (memo.keepStatuses) {
        const std::map<std::string, stringc>::const_iterator known = memo.sourceKeys.find(source.c_str());
        if (known != memo.sourceKeys.end()) return known->second;
    }
    const SShaderFileFacts* facts = shaderFileFacts(fs, memo, source);
    if (!facts) return stringc();
    std::string bytes(reinterpret_cast<const char*>(facts->hash), sizeof facts->hash);
    const irr::core::array<stringc> names = facts->includes;
    addIncludeHashes(fs, memo, source, names, 0, bytes);
    const stringc key = cacheHashText(bytes.data(), static_cast<s32>(bytes.size()));
    if (memo.keepStatuses) memo.sourceKeys[source.c_str()] = key;
    return key;
}

stringc shaderSourceKeyForgettingStatuses(irr::io::IFileSystem* fs, SShaderFileMemo& memo,
                                          const stringc& source) {
    memo.forgetStatuses();
    const stringc key = shaderSourceKeyKeepingStatuses(fs, memo, source);
    memo.forgetStatuses();
    return key;
}

bool shaderFileExists(irr::io::IFileSystem* fs, SShaderFileMemo* memo, const stringc& path) {
    if (!memo || !memo->keepStatuses) return fs->existFile(path);
    bool& known = memo->found[path.c_str()];
    if (!known) known = fs->existFile(path);
    return known;
}

bool checkIncludesUpToDate(irr::io::IFileSystem* fs, const stringc& file, s64 time, s32 depth, SShaderFileMemo* memo) {
    SShaderFileMemo local;
    const SShaderFileFacts* facts = shaderFileFacts(fs, memo ? *memo : local, file);
    if (!facts) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: getShaderIncludes:read file '%s' FAILED", file.c_str());
        return true;
    }
    const irr::core::array<stringc> names = facts->includes;  // the memo may change below
    if (names.empty()) return true;
    const stringc dir = fs->getFileDir(file);
    for (u32 i = 0; i < names.size(); ++i) {
        const stringc path = qeJoin(dir, "/", names[i]);
        s64 includeTime = 0;
        if (!statusTime(memo ? memo : &local, path, &includeTime)) {
            qeLibLog(irr::ELL_ERROR, "QeGPU: failed to stat include '%s'", path.c_str());
            continue;
        }
        if (includeTime > time) {
            qeLibLog(irr::ELL_DEBUG, "QeGPU: include '%s' more recent", path.c_str());
            return false;
        }
        if (depth + 1 < kIncludeLevels && !checkIncludesUpToDate(fs, path, time, depth + 1, memo ? memo : &local))
            return false;
    }
    return true;
}

namespace {

// The newest time of the includes of `file` down to the levels that checkIncludesUpToDate reads.
s64 newestIncludeTime(irr::io::IFileSystem* fs, const stringc& file, s32 depth, SShaderFileMemo& memo) {
    const SShaderFileFacts* facts = shaderFileFacts(fs, memo, file);
    if (!facts) return 0;
    const irr::core::array<stringc> names = facts->includes;  // the memo may change below
    const stringc dir = fs->getFileDir(file);
    s64 newest = 0;
    for (u32 i = 0; i < names.size(); ++i) {
        const stringc path = qeJoin(dir, "/", names[i]);
        s64 time = 0;
        if (!statusTime(&memo, path, &time)) continue;
        if (time > newest) newest = time;
        if (depth + 1 < kIncludeLevels) {
            const s64 inner = newestIncludeTime(fs, path, depth + 1, memo);
            if (inner > newest) newest = inner;
        }
    }
    return newest;
}

}  // namespace

s64 newestShaderSourceTime(irr::io::IFileSystem* fs, const stringc& file, SShaderFileMemo* memo) {
    SShaderFileMemo local;
    SShaderFileMemo& used = memo ? *memo : local;
    s64 newest = 0;
    if (!statusTime(&used, file, &newest)) newest = 0;
    const s64 includes = newestIncludeTime(fs, file, 0, used);
    return includes > newest ? includes : newest;
}

bool isCacheFileUpToDate(irr::io::IFileSystem* fs, const stringc& source, const stringc& blob, SShaderFileMemo* memo,
                         const s64* knownBlobTime) {
    s64 blobTime = knownBlobTime ? *knownBlobTime : 0, sourceTime = 0, blobSize = 0;
    if (!knownBlobTime && !shaderFileStatus(blob, &blobTime, &blobSize)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: failed to stat '%s'", blob.c_str());
        return false;
    }
    if (!statusTime(memo, source, &sourceTime)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: failed to stat '%s'", source.c_str());
        return false;
    }
    if (blobTime < sourceTime) {
        qeLibLog(irr::ELL_DEBUG, "QeGPU: '%s' not up to date", blob.c_str());
        return false;
    }
    if (!checkIncludesUpToDate(fs, source, blobTime, 0, memo)) {
        qeLibLog(irr::ELL_DEBUG, "QeGPU: '%s' not up to date against includes", blob.c_str());
        return false;
    }
    qeLibLog(irr::ELL_DEBUG, "QeGPU: '%s' is up to date", blob.c_str());
    return true;
}

