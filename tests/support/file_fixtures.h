// Helpers for tests that need real files: a fresh temporary folder, file writing, and a SysFile over
// a string in memory.
#ifndef QIRN_TESTS_FILE_FIXTURES_H
#define QIRN_TESTS_FILE_FIXTURES_H

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sysfile.h"

namespace qetest {

// A file's whole content, at any length of its path ("" when it cannot be read).
inline std::string readFile(const std::string& path) {
    std::string bytes;
    if (FILE* f = _wfopen(qeSysLongPath(path.c_str()).c_str(), L"rb")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof(buffer), f)) > 0;) bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

// Whether a file or folder is there, at any length of its path.
inline bool exists(const std::string& path) {
    return GetFileAttributesW(qeSysLongPath(path.c_str()).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Makes a folder and its parents, at any length of its path.
inline void makeFolders(const std::string& folder) {
    const std::wstring full = qeSysLongPath(folder.c_str());
    for (size_t end = full.find(L'\\', 7); end != std::wstring::npos; end = full.find(L'\\', end + 1))
        CreateDirectoryW(full.substr(0, end).c_str(), nullptr);
    CreateDirectoryW(full.c_str(), nullptr);
}

// The names that a pattern ("folder\\*", "folder\\TheDemoRun.*") matches, without "." and "..", sorted.
inline std::vector<std::string> namesIn(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(qeSysLongPath(pattern.c_str()).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        char name[MAX_PATH * 2] = {};
        WideCharToMultiByte(CP_ACP, 0, found.cFileName, -1, name, sizeof(name) - 1, nullptr, nullptr);
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// A new empty folder under the system's temporary folder; its path ends with a backslash. Removed
// with everything in it at the end.
class TempDir {
public:
    explicit TempDir(const char* tag) {
        char base[MAX_PATH];
        GetTempPathA(sizeof(base), base);
        static int serial = 0;
        path_ = std::string(base) + "qirn-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++serial) + "\\";
        remove(path_);
        CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~TempDir() { remove(path_); }
    const std::string& path() const { return path_; }
    // Makes a folder (and its parents) below this one; gives its path with a trailing backslash.
    std::string mkdir(const std::string& relative) const {
        makeFolders(path_ + relative);
        return path_ + relative + "\\";
    }
    // Writes a file below this one (its folder must exist); gives its full path.
    std::string write(const std::string& relative, const std::string& content) const {
        if (FILE* f = _wfopen(longForm(path_ + relative).c_str(), L"wb")) {
            std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
        return path_ + relative;
    }
    // A full path as the system's wide functions take it at any length ("\\?\" and backslashes).
    static std::wstring longForm(const std::string& path) {
        std::wstring wide(path.size(), L'\0');
        wide.resize(static_cast<size_t>(
            MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), &wide[0], static_cast<int>(wide.size()))));
        for (wchar_t& c : wide)
            if (c == L'/') c = L'\\';
        return L"\\\\?\\" + wide;
    }

private:
    static void remove(const std::string& dir) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(longForm(dir + "*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                char narrow[MAX_PATH * 2] = {};
                WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, narrow, sizeof(narrow) - 1, nullptr, nullptr);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    remove(dir + narrow + "\\");
                } else {
                    DeleteFileW(longForm(dir + narrow).c_str());
                }
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(longForm(dir).c_str());
    }
    std::string path_;
};

// A SysFile over a temporary copy of a string, gone once closed: what an open hook hands out in the tests.
inline FILE* fileOf(SysFile* h) { return static_cast<FILE*>(h->stream); }

inline SysFile* openMemoryFile(const std::string& content) {
    SysFile* h = static_cast<SysFile*>(std::malloc(sizeof(SysFile)));
    h->stream = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), fileOf(h));
    std::rewind(fileOf(h));
    h->seek = [](SysFile* f, long offset, int origin) { return std::fseek(fileOf(f), offset, origin); };
    h->read = [](void* buffer, size_t size, size_t n, SysFile* f) { return std::fread(buffer, size, n, fileOf(f)); };
    h->getc = [](SysFile* f) { return std::fgetc(fileOf(f)); };
    h->gets = [](char* buffer, int size, SysFile* f) { return std::fgets(buffer, size, fileOf(f)); };
    h->tell = [](SysFile* f) { return std::ftell(fileOf(f)); };
    h->close = [](SysFile* f) {
        const int result = std::fclose(fileOf(f));
        std::free(f);
        return result;
    };
    return h;
}

}  // namespace qetest

#endif
