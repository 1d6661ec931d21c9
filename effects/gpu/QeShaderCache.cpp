#include "gpu/QeShaderCache.h"

#include <windows.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "IQeGPUProgrammingServices.h"
#include "QeLog.h"

using irr::c8;
using irr::s32;
using irr::s64;
using irr::u32;
using irr::u8;
using irr::core::stringc;

namespace {

const u32 kLaneMultiplier[5] = {0x5bd1e995u, 0x19d699a5u, 0xb11924e1u, 0x16118b03u, 0x53c93455u};
const c8 kBase32Alphabet[] = "123456789ABCDEFGHJKMNPQRSTUVWXYZ";

// The modification time and size of a file from the operating system; false when it has none.
bool fileStatus(const stringc& path, s64* time, s64* size) {
    struct _stat64 status;
    if (_stat64(path.c_str(), &status) != 0) return false;
    *time = static_cast<s64>(status.st_mtime);
    *size = static_cast<s64>(status.st_size);
    return true;
}

// A file's status through the memo's statuses of the current read or write (none: asked every time).
bool statusOf(SShaderFileMemo* memo, const stringc& path, s64* time, s64* size) {
    if (!memo) return fileStatus(path, time, size);
    const std::string key = path.c_str();
    std::map<std::string, SShaderFileMemo::SStatus>::const_iterator known = memo->statuses.find(key);
    if (known == memo->statuses.end()) {
        SShaderFileMemo::SStatus status{false, 0, 0};
        status.ok = fileStatus(path, &status.time, &status.size);
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

// The 32 base32 characters of the hash160 (seed 0) of the bytes.
stringc hashText(const void* data, s32 length) {
    u32 hash[5];
    hash160(data, length, 0, hash);
    u8 hashBytes[20];
    for (int i = 0; i < 5; ++i)
        for (int b = 0; b < 4; ++b) hashBytes[i * 4 + b] = static_cast<u8>(hash[i] >> (8 * b));
    u8 values[32];
    c8 text[33];
    text[32] = 0;
    if (!base32Split(hashBytes, 20, values) || !base32MapAlphabet(values, 32, text)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Failed to encode base32");
        std::memset(text, 'X', 32);
    }
    return stringc(text);
}

// The key of a source with the statuses already taken for the current read or write.
stringc sourceKeyOf(irr::io::IFileSystem* fs, SShaderFileMemo& memo, const stringc& source);

// Appends the content hashes of the file's includes and, below the deepest level that the date test
// reads, of their own includes; includes that cannot be read add nothing.
void addIncludeHashes(irr::io::IFileSystem* fs, SShaderFileMemo& memo, const stringc& file,
                      const irr::core::array<stringc>& names, s32 level, std::string& bytes) {
    const stringc dir = fs->getFileDir(file);
    for (u32 i = 0; i < names.size(); ++i) {
        const stringc path = qeJoin(dir, "/", names[i]);
        const SShaderFileFacts* facts = shaderFileFacts(fs, memo, path);
        if (!facts) continue;
        bytes.append(reinterpret_cast<const char*>(facts->hash), sizeof facts->hash);
        if (level + 1 < 2) {
            const irr::core::array<stringc> inner = facts->includes;  // the memo may change below
            addIncludeHashes(fs, memo, path, inner, level + 1, bytes);
        }
    }
}

stringc blobPath(irr::io::IFileSystem* fs, const stringc& folder, const stringc& file, const char* entry,
                 const SShaderMacroList& macros, bool vertex, const stringc& sourceKey) {
    return qeJoin(folder, "/", makeCacheFileName(fs, file, entry, macros, vertex, sourceKey));
}

// Makes the folder and the missing folders above it.
bool makeFolder(const stringc& folder) {
    std::string path = folder.c_str();
    for (char& c : path)
        if (c == '/') c = '\\';
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\') continue;
        const std::string part = path.substr(0, i);
        if (part.size() == 2 && part[1] == ':') continue;  // a drive
        const DWORD attributes = GetFileAttributesA(part.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return true;
}

// Writes the bytes to a new file; false (and no file left) when it cannot be written whole.
bool writeWholeFile(irr::io::IFileSystem* fs, const stringc& path, const void* data, u32 size, bool* opened) {
    irr::io::IWriteFile* out = fs->createAndWriteFile(path, false);
    *opened = out != nullptr;
    if (!out) return false;
    const s32 written = size ? out->write(data, size) : 0;
    out->drop();
    if (written == static_cast<s32>(size)) return true;
    std::remove(path.c_str());
    return false;
}

}  // namespace

void hash160(const void* data, s32 length, u32 seed, u32 out[5]) {
    const u32* const M = kLaneMultiplier;
    const u8* bytes = static_cast<const u8*>(data);
    u32 h[5];
    h[0] = seed ^ static_cast<u32>(length);
    for (int i = 1; i < 5; ++i) h[i] = h[0] ^ M[i];
    const s32 blocks = length >= 4 ? length / 4 : 0;
    for (s32 b = 0; b < blocks; ++b) {
        const u8* p = bytes + b * 4;
        u32 k = static_cast<u32>(p[0]) | (static_cast<u32>(p[1]) << 8) | (static_cast<u32>(p[2]) << 16) |
                (static_cast<u32>(p[3]) << 24);
        k *= M[0];
        k ^= k >> 24;
        k *= M[0];
        // each lane mixes in its neighbour as it was before this block; the last one takes the new h0
        h[0] = (h[0] * M[0]) ^ k ^ h[1];
        h[1] = (h[1] * M[1]) ^ k ^ h[2];
        h[2] = (h[2] * M[2]) ^ k ^ h[3];
        h[3] = (h[3] * M[3]) ^ k ^ h[4];
        h[4] = (h[4] * M[4]) ^ k ^ h[0];
    }
    const s32 rest = length > 0 ? length & 3 : 0;
    const u8* tail = bytes + blocks * 4;
    if (rest == 3)
        for (int i = 0; i < 5; ++i) h[i] ^= static_cast<u32>(tail[2]) << 16;
    if (rest >= 2)
        for (int i = 0; i < 5; ++i) h[i] ^= static_cast<u32>(tail[1]) << 8;
    if (rest >= 1)
        for (int i = 0; i < 5; ++i) h[i] = (h[i] ^ tail[0]) * M[i];
    for (int i = 0; i < 5; ++i) {
        h[i] ^= h[i] >> 13;
        h[i] *= M[i];
        h[i] ^= h[i] >> 15;
    }
    out[0] = h[0] ^ h[1] ^ h[2] ^ h[3] ^ h[4];
    for (int i = 1; i < 5; ++i) out[i] = h[i] ^ h[0];
}

s32 base32EncodedLength(s32 byteCount) { return byteCount < 1 ? 0 : (byteCount * 8 + 4) / 5; }

void base32SplitGroup(const u8* bytes, s32 count, u8 values[8]) {
    irr::u64 group = 0;
    for (s32 i = 0; i < 5; ++i) group = (group << 8) | (i < count ? bytes[i] : 0);
    for (s32 i = 0; i < 8; ++i) values[i] = static_cast<u8>((group >> (35 - 5 * i)) & 31);
}

bool base32Split(const void* bytes, s32 length, u8* values) {
    if (!bytes || length < 1 || !values) return false;
    const u8* in = static_cast<const u8*>(bytes);
    s32 written = 0;
    for (s32 at = 0; at < length; at += 5) {
        const s32 count = length - at < 5 ? length - at : 5;
        u8 group[8];
        base32SplitGroup(in + at, count, group);
        const s32 keep = base32EncodedLength(count);
        for (s32 i = 0; i < keep; ++i) values[written++] = group[i];
    }
    return true;
}

bool base32MapAlphabet(const u8* values, s32 count, c8* text) {
    if (!values || count < 1 || !text) return false;
    for (s32 i = 0; i < count; ++i) text[i] = kBase32Alphabet[values[i] & 31];
    return true;
}

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
    const stringc text = hashText(info.c_str(), static_cast<s32>(info.size()));
    return qeJoin(folder, "!", base, "!", entry, "!", text, vertex ? ".vso" : ".pso");
}

bool readWholeFile(irr::io::IFileSystem* fs, const stringc& path, bool zeroTerminate, void** data, u32* size) {
    irr::io::IReadFile* in = fs->createAndOpenFile(path);
    if (!in) return false;
    const long length = in->getSize();
    if (length < 0) {
        in->drop();
        return false;
    }
    const u32 bytes = static_cast<u32>(length);
    char* block = static_cast<char*>(std::malloc(bytes + (zeroTerminate ? 1 : 0) + 1));
    if (!block) {
        in->drop();
        return false;
    }
    const s32 got = bytes ? in->read(block, bytes) : 0;
    in->drop();
    if (got != static_cast<s32>(bytes)) {
        std::free(block);
        return false;
    }
    if (zeroTerminate) block[bytes] = 0;
    *data = block;
    *size = bytes;
    return true;
}

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

namespace {

stringc sourceKeyOf(irr::io::IFileSystem* fs, SShaderFileMemo& memo, const stringc& source) {
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
    const stringc key = hashText(bytes.data(), static_cast<s32>(bytes.size()));
    if (memo.keepStatuses) memo.sourceKeys[source.c_str()] = key;
    return key;
}

}  // namespace

stringc shaderSourceKey(irr::io::IFileSystem* fs, SShaderFileMemo& memo, const stringc& source) {
    memo.forgetStatuses();
    const stringc key = sourceKeyOf(fs, memo, source);
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
        if (depth < 2 && !checkIncludesUpToDate(fs, path, time, depth + 1, memo ? memo : &local)) return false;
    }
    return true;
}

bool isCacheFileUpToDate(irr::io::IFileSystem* fs, const stringc& source, const stringc& blob, SShaderFileMemo* memo,
                         const s64* knownBlobTime) {
    s64 blobTime = knownBlobTime ? *knownBlobTime : 0, sourceTime = 0, blobSize = 0;
    if (!knownBlobTime && !fileStatus(blob, &blobTime, &blobSize)) {
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

bool isCachedShaderMatch(irr::io::IFileSystem* fs, const stringc& blob, const stringc& source,
                         const SShaderMacroList& macros, SShaderFileMemo* memo) {
    const stringc info = qeJoin(blob, ".inf");
    void* data = nullptr;
    u32 size = 0;
    if (!readWholeFile(fs, info, true, &data, &size)) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: isCachedShaderMatch:read file '%s' FAILED", info.c_str());
        return false;
    }
    // the macro text, then a line feed and the key of the source's content the blob was compiled from
    const std::string text(static_cast<const char*>(data), size);
    std::free(data);
    const size_t lineEnd = text.rfind('\n');
    const stringc cachedMacros = qeJoin(lineEnd != std::string::npos ? text.substr(0, lineEnd) : text);
    const stringc cachedSource = qeJoin(lineEnd != std::string::npos ? text.substr(lineEnd + 1) : std::string());
    const stringc key = macroKeyText(macros);
    if (cachedMacros != key) {
        qeLibLog(irr::ELL_WARNING, "QeGPU: WARNING ! Conflict in Shader Cache on '%s' : Cached Macros : '%s' ; New Macros '%s'",
                 blob.c_str(), cachedMacros.c_str(), key.c_str());
        return false;
    }
    SShaderFileMemo local;
    const stringc sourceKey = sourceKeyOf(fs, memo ? *memo : local, source);
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
    const stringc sourceKey = sourceKeyOf(fs, *memo, file);
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
    const bool stated = dated && fileStatus(blob, &blobTime, &blobSize);
    if (!stated && !fs->existFile(blob)) {
        memo->forgetStatuses();
        qeLibLog(irr::ELL_DEBUG, "QeGPU: File does not exist in the cache '%s'", blob.c_str());
        return nullptr;
    }
    const bool usable = isCachedShaderMatch(fs, blob, file, macros, memo) &&
                        (!dated || isCacheFileUpToDate(fs, file, blob, memo, stated ? &blobTime : nullptr));
    memo->forgetStatuses();
    if (!usable) return nullptr;

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
    memo->forgetStatuses();
    const stringc sourceKey = sourceKeyOf(fs, *memo, file);
    memo->forgetStatuses();
    if (sourceKey.empty()) {
        qeLibLog(irr::ELL_ERROR, "QeGPU: Shader source cannot be read for the cache '%s'", file.c_str());
        return false;
    }
    const stringc blob = blobPath(fs, folder, file, entry, macros, vertex, sourceKey);
    qeLibLog(irr::ELL_DEBUG, "QeGPU: Write to cache '%s'", blob.c_str());
    if (!makeFolder(folder)) {
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
    const stringc text = cacheInfoText(macros, sourceKey);
    if (!writeWholeFile(fs, info, text.c_str(), text.size(), &opened)) {
        if (opened)
            qeLibLog(irr::ELL_ERROR, "QeGPU: Cached Shader Info cannot be write %s", info.c_str());
        else
            qeLibLog(irr::ELL_ERROR, "QeGPU: Cached Shader Info cannot be opened for write '%s'", info.c_str());
        // a blob without its info could never be used: leave none
        std::remove(blob.c_str());
        return false;
    }
    return true;
}
