// The cache's calls on files and folders (see QeShaderCacheFiles.h).
#include "gpu/QeShaderCacheFiles.h"

#include <windows.h>

#include <cstdlib>

#include <irrSystemPaths.h>

using irr::s32;
using irr::u32;
using irr::core::stringc;

namespace {

// The system's own form of a path, for its wide functions.
irr::core::stringw systemPath(const std::string& path) { return irr::io::getSystemPath(path.c_str()); }

std::string narrowOf(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

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
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return ticks(data.ftLastWriteTime) + static_cast<ULONGLONG>(seconds) * 10000000ULL > ticks(now);
}

bool cacheFolderExists(const std::string& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(systemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool cacheRemoveFile(const std::string& path) { return !path.empty() && DeleteFileW(systemPath(path).c_str()); }

bool cacheMakeFolder(const std::string& folder) {
    std::string path = folder;
    for (char& c : path)
        if (c == '/') c = '\\';
    // a share (\\server\share) is there or not: only the folders below it are made
    size_t first = 1;
    if (path.compare(0, 2, "\\\\") == 0) {
        const size_t server = path.find('\\', 2);
        first = server == std::string::npos ? server : path.find('\\', server + 1);
        if (first == std::string::npos) return cacheFolderExists(path);
    }
    for (size_t i = first; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\') continue;
        const std::string part = path.substr(0, i);
        if (part.size() == 2 && part[1] == ':') continue;  // a drive
        if (cacheFolderExists(part)) continue;
        if (!CreateDirectoryW(systemPath(part).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return true;
}

std::vector<std::string> cacheFilesIn(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(systemPath(folder + "/" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(narrowOf(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}
