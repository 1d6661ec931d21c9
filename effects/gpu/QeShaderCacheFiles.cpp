// The cache's calls on files and folders (see QeShaderCacheFiles.h).
#include "gpu/QeShaderCacheFiles.h"

#include <windows.h>

#include <cstdlib>

#include <irrSystemPaths.h>

#include "sysfile.h"

using irr::s32;
using irr::s64;
using irr::u32;
using irr::core::stringc;

namespace {

// The system's own form of a path, for its wide functions.
irr::core::stringw systemPath(const std::string& path) { return irr::io::getSystemPath(path.c_str()); }

}  // namespace

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

bool writeWholeFile(irr::io::IFileSystem* fs, const stringc& path, const void* data, u32 size, bool* opened) {
    irr::io::IWriteFile* out = fs->createAndWriteFile(path, false);
    *opened = out != nullptr;
    if (!out) return false;
    const s32 written = size ? out->write(data, size) : 0;
    out->drop();
    if (written == static_cast<s32>(size)) return true;
    cacheRemoveFile(path.c_str());
    return false;
}

bool shaderFileStatus(const stringc& path, s64* time, s64* size) {
    // Taken from the system's file times rather than the runtime's file status, whose time (under Wine) is
    // wrong for dates after 2106, which a source, and the packed demo's files, can have. The ANSI function
    // may refuse a name past MAX_PATH: its system form is asked then.
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
        !GetFileAttributesExW(irr::io::getSystemPath(path).c_str(), GetFileExInfoStandard, &data))
        return false;
    const s64 ticks = static_cast<s64>(qeSysFileTimeValue(data.ftLastWriteTime)) - 116444736000000000LL;
    *time = ticks >= 0 ? ticks / 10000000 : -((-ticks + 9999999) / 10000000);
    *size = static_cast<s64>((static_cast<irr::u64>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    return true;
}

bool cacheFileExists(const std::string& path) {
    return !path.empty() && GetFileAttributesW(systemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool cacheFileSurelyMissing(const std::string& path) {
    if (path.empty()) return false;
    const irr::core::stringw name = systemPath(path);
    if (GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool cacheFileWrittenWithin(const std::string& path, unsigned int seconds) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExW(systemPath(path).c_str(), GetFileExInfoStandard, &data)) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return qeSysFileTimeValue(data.ftLastWriteTime) + static_cast<ULONGLONG>(seconds) * 10000000ULL >
           qeSysFileTimeValue(now);
}

bool cacheFolderExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool cacheRemoveFile(const std::string& path) { return !path.empty() && DeleteFileW(systemPath(path).c_str()); }

std::vector<std::string> cacheFilesIn(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(systemPath(folder + "/" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(qeSysAnsiText(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}
