#include "gpu/QeShaderCache.h"

#include <windows.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <cctype>
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

// The modification time (seconds since 1970) and size of a file from the operating system; false when it
// has none. Taken from the system's file times rather than the runtime's file status, whose time (under
// Wine) is wrong for dates after 2106, which a source, and the packed demo's files, can have.
bool fileStatus(const stringc& path, s64* time, s64* size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    const s64 ticks = static_cast<s64>((static_cast<irr::u64>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                       data.ftLastWriteTime.dwLowDateTime) -
                      116444736000000000LL;
    *time = ticks >= 0 ? ticks / 10000000 : -((-ticks + 9999999) / 10000000);
    *size = static_cast<s64>((static_cast<irr::u64>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
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

namespace {

const size_t kHashLength = 32;

bool isHashText(const std::string& text) {
    if (text.size() != kHashLength) return false;
    for (char c : text)
        if (!std::strchr(kBase32Alphabet, c) || !c) return false;
    return true;
}

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The components of a path, without empty ones and ".", with ".." taking the one before it away.
std::vector<std::string> pathParts(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == ".." && !parts.empty() && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

bool isFullPath(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '/' || path[0] == '\\'));
}

std::string withSlashes(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string fullPathOf(irr::io::IFileSystem* fs, const stringc& path) {
    const stringc full = fs->getAbsolutePath(path);
    return full.empty() ? withSlashes(path.c_str()) : std::string(full.c_str());
}

bool readInfoText(irr::io::IFileSystem* fs, const std::string& path, std::string* text) {
    void* data = nullptr;
    u32 size = 0;
    if (!readWholeFile(fs, path.c_str(), false, &data, &size)) return false;
    text->assign(static_cast<const char*>(data), size);
    std::free(data);
    return true;
}

bool writeInfoText(irr::io::IFileSystem* fs, const std::string& path, const std::string& text) {
    bool opened = false;
    return writeWholeFile(fs, path.c_str(), text.data(), static_cast<u32>(text.size()), &opened);
}

bool listsSource(const SCacheInfo& info, const std::string& source) {
    for (const std::string& known : info.sources)
        if (sameCacheSource(known, source)) return true;
    return false;
}

// The names of the files in the folder that match the pattern (no folder part), files only.
std::vector<std::string> filesIn(const stringc& folder, const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(folder.c_str()) + "/" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

bool removeCacheFile(const stringc& folder, const std::string& name) {
    const std::string path = std::string(folder.c_str()) + "/" + name;
    if (!DeleteFileA(path.c_str())) return false;
    qeLibLog(irr::ELL_DEBUG, "QeGPU: removed '%s' from the cache", path.c_str());
    return true;
}

// After `source` took the blob `written` (compiled it, or found it after using another): the blobs of the
// same folder, base name, entry point, stage and macros that list the source were compiled from another
// content of it, which it has no more. Such a blob goes unless another source that is still there uses it.
void forgetOlderContents(irr::io::IFileSystem* fs, const stringc& folder, const std::string& written,
                         const SCacheInfo& info, const std::string& source) {
    const std::string fullFolder = fullPathOf(fs, folder);
    const size_t hashAt = written.size() - 4 - kHashLength;  // "...!" hash ".vso"
    const std::string prefix = written.substr(0, hashAt);
    const std::string extension = written.substr(written.size() - 4);
    for (const std::string& name : filesIn(folder, prefix + "*" + extension)) {
        if (name.size() != written.size() || _stricmp(name.c_str(), written.c_str()) == 0 ||
            _strnicmp(name.c_str(), prefix.c_str(), prefix.size()) != 0 || !isCacheFileName(name))
            continue;
        const std::string infoPath = std::string(folder.c_str()) + "/" + name + ".inf";
        std::string text;
        SCacheInfo other;
        if (!readInfoText(fs, infoPath, &text) || !parseCacheInfo(text, &other)) continue;
        if (other.macros != info.macros || other.sourceKey == info.sourceKey || !listsSource(other, source)) continue;
        std::vector<std::string> rest;
        for (const std::string& known : other.sources)
            if (!sameCacheSource(known, source) &&
                GetFileAttributesA(cacheSourceFullPath(known, fullFolder).c_str()) != INVALID_FILE_ATTRIBUTES)
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
    if (blob.size() < kHashLength + 5) return false;
    const char* extension = blob.c_str() + blob.size() - 4;
    if (_stricmp(extension, ".vso") != 0 && _stricmp(extension, ".pso") != 0) return false;
    const size_t hashAt = blob.size() - 4 - kHashLength;
    if (blob[hashAt - 1] != '!' || !isHashText(blob.substr(hashAt, kHashLength))) return false;
    // folder "!" base "!" entry before it
    const std::string parts = blob.substr(0, hashAt - 1);
    const size_t entryCut = parts.rfind('!');
    return entryCut != std::string::npos && entryCut > 0 && parts.rfind('!', entryCut - 1) != std::string::npos;
}

bool isCurrentCacheInfo(const std::string& blobName, const std::string& text) {
    SCacheInfo info;
    if (!isCacheFileName(blobName) || !parseCacheInfo(text, &info) || !isHashText(info.sourceKey) ||
        info.sources.empty())
        return false;
    const std::string hashed = info.macros + "\n" + info.sourceKey;
    const stringc hash = hashText(hashed.data(), static_cast<s32>(hashed.size()));
    return blobName.compare(blobName.size() - 4 - kHashLength, kHashLength, hash.c_str()) == 0;
}

std::string cacheSourcePath(const std::string& source, const std::string& folder) {
    const std::vector<std::string> from = pathParts(folder);
    const std::vector<std::string> to = pathParts(source);
    size_t common = 0;
    while (common < from.size() && common < to.size() && _stricmp(from[common].c_str(), to[common].c_str()) == 0)
        ++common;
    if (common == 0 || (source[0] == '/' || source[0] == '\\') != (folder[0] == '/' || folder[0] == '\\'))
        return withSlashes(source);
    std::string path;
    for (size_t i = common; i < from.size(); ++i) path += "../";
    for (size_t i = common; i < to.size(); ++i) path += to[i] + (i + 1 < to.size() ? "/" : "");
    return path;
}

std::string cacheSourceFullPath(const std::string& recorded, const std::string& folder) {
    const std::string path = isFullPath(recorded) ? recorded : folder + "/" + recorded;
    const bool rooted = !path.empty() && (path[0] == '/' || path[0] == '\\');
    std::string full = rooted ? "/" : "";
    const std::vector<std::string> parts = pathParts(path);
    for (size_t i = 0; i < parts.size(); ++i) full += parts[i] + (i + 1 < parts.size() ? "/" : "");
    return full;
}

bool sameCacheSource(const std::string& a, const std::string& b) {
    return lowerCase(withSlashes(a)) == lowerCase(withSlashes(b));
}

s32 removeStaleCacheFiles(irr::io::IFileSystem* fs, const stringc& folder) {
    if (!fs || folder.empty()) return 0;
    s32 removed = 0;
    const std::string base = std::string(folder.c_str()) + "/";
    auto remove = [&](const std::string& name) { removed += removeCacheFile(folder, name) ? 1 : 0; };
    for (const char* pattern : {"*.vso", "*.pso"}) {
        for (const std::string& name : filesIn(folder, pattern)) {
            if (!isCacheFileName(name)) continue;
            std::string text;
            const bool hasInfo = GetFileAttributesA((base + name + ".inf").c_str()) != INVALID_FILE_ATTRIBUTES;
            if (hasInfo && readInfoText(fs, base + name + ".inf", &text) && isCurrentCacheInfo(name, text)) continue;
            remove(name);
            if (hasInfo) remove(name + ".inf");
        }
    }
    for (const char* pattern : {"*.vso.inf", "*.pso.inf"}) {
        for (const std::string& name : filesIn(folder, pattern)) {
            bool isInfo = false;
            if (!isCacheFileName(name, &isInfo) || !isInfo) continue;
            if (GetFileAttributesA((base + name.substr(0, name.size() - 4)).c_str()) == INVALID_FILE_ATTRIBUTES)
                remove(name);
        }
    }
    return removed;
}

void listPackableCacheFiles(irr::io::IFileSystem* fs, const stringc& folder,
                            const std::vector<SPackedShaderFolder>& sourceFolders,
                            std::vector<SPackedCacheFile>* files) {
    if (!fs || folder.empty() || !files) return;
    // The sources, each with the start of its blobs' names here and where the packed demo has it.
    struct Source {
        std::string path, prefix, packedPrefix;
    };
    std::vector<Source> sources;
    for (const SPackedShaderFolder& sourceFolder : sourceFolders) {
        const std::vector<std::string> parts = pathParts(sourceFolder.path);
        if (parts.empty()) continue;
        const std::string dir = cacheSourceFullPath(sourceFolder.path, "");
        for (const std::string& file : filesIn(dir.c_str(), "*")) {
            const std::string path = dir + "/" + file;
            const std::string base = fs->getFileBasename(path.c_str(), false).c_str();
            sources.push_back({path, parts.back() + "!" + base + "!", sourceFolder.packedName + "!" + base + "!"});
        }
    }
    SShaderFileMemo memo;
    memo.keepStatuses = true;  // one look at each source however many blobs name it
    const std::string base = std::string(folder.c_str()) + "/";
    std::vector<std::string> taken;
    for (const char* pattern : {"*.vso", "*.pso"}) {
        for (const std::string& name : filesIn(folder, pattern)) {
            std::string text;
            SCacheInfo info;
            if (!isCacheFileName(name) || !readInfoText(fs, base + name + ".inf", &text) ||
                !isCurrentCacheInfo(name, text) || !parseCacheInfo(text, &info))
                continue;
            for (const Source& source : sources) {
                // the rest of the name is the entry point, "!", the hash and the extension
                if (name.size() <= source.prefix.size() ||
                    _strnicmp(name.c_str(), source.prefix.c_str(), source.prefix.size()) != 0)
                    continue;
                const std::string rest = name.substr(source.prefix.size());
                if (rest.find('!') != rest.rfind('!') ||
                    std::string(sourceKeyOf(fs, memo, source.path.c_str()).c_str()) != info.sourceKey)
                    continue;
                const std::string packed = source.packedPrefix + rest;
                bool known = false;
                for (const std::string& other : taken) known = known || _stricmp(other.c_str(), packed.c_str()) == 0;
                if (known) break;
                taken.push_back(packed);
                const s64 newest = newestShaderSourceTime(fs, source.path.c_str(), &memo);
                files->push_back({name, packed, newest});
                files->push_back({name + ".inf", packed + ".inf", newest});
                break;
            }
        }
    }
}

bool isCachedShaderMatch(irr::io::IFileSystem* fs, const stringc& blob, const stringc& source,
                         const SShaderMacroList& macros, SShaderFileMemo* memo, SCacheInfo* info) {
    const stringc infoPath = qeJoin(blob, ".inf");
    std::string text;
    if (!readInfoText(fs, infoPath.c_str(), &text)) {
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
    SCacheInfo info;
    const bool usable = isCachedShaderMatch(fs, blob, file, macros, memo, &info) &&
                        (!dated || isCacheFileUpToDate(fs, file, blob, memo, stated ? &blobTime : nullptr));
    memo->forgetStatuses();
    if (!usable) return nullptr;
    // A source that had not used this blob yet (another source of the same content, or one whose content
    // went back to an older one): it is listed now, so that an edit of it later replaces what it used, and
    // what it used before is no longer its own.
    if (mode & ESCM_WRITE) {
        const std::string self = cacheSourcePath(fullPathOf(fs, file), fullPathOf(fs, folder));
        if (!listsSource(info, self)) {
            info.sources.push_back(self);
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
    // The sources that used the blob before it was written again (its date was older than theirs) still do.
    SCacheInfo record;
    record.macros = macroKeyText(macros).c_str();
    record.sourceKey = sourceKey.c_str();
    std::string before;
    SCacheInfo earlier;
    if (readInfoText(fs, info.c_str(), &before) && parseCacheInfo(before, &earlier) &&
        earlier.macros == record.macros && earlier.sourceKey == record.sourceKey)
        record.sources = earlier.sources;
    const std::string self = cacheSourcePath(fullPathOf(fs, file), fullPathOf(fs, folder));
    if (!listsSource(record, self)) record.sources.push_back(self);
    const std::string text = cacheInfoFileText(record);
    if (!writeWholeFile(fs, info, text.data(), static_cast<u32>(text.size()), &opened)) {
        if (opened)
            qeLibLog(irr::ELL_ERROR, "QeGPU: Cached Shader Info cannot be write %s", info.c_str());
        else
            qeLibLog(irr::ELL_ERROR, "QeGPU: Cached Shader Info cannot be opened for write '%s'", info.c_str());
        // a blob without its info could never be used: leave none
        std::remove(blob.c_str());
        return false;
    }
    const std::string name = fs->getFileBasename(blob, true).c_str();
    forgetOlderContents(fs, folder, name, record, self);
    return true;
}
