// The file layer's calls of the system's wide file functions: paths of any length, text in either form,
// file times and folders (declared in sysfile.h). Self-contained: the effect library and the cabinet tool
// link it without the rest of the shell.
#include <windows.h>

#include <string>

#include "sysfile.h"

namespace {

// The full path of `path` (a "\\?\" prefix taken off), "" when the system gives none.
std::wstring fullWide(const char* path) {
    std::wstring wide = qeSysWideText(path);
    if (wide.empty()) return wide;
    if (wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return std::wstring();
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, &full[0], nullptr);
    if (n == 0 || n >= full.size()) return std::wstring();
    full.resize(n);
    return full;
}

bool removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = path + L"\\" + name;
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW(child.c_str());
            else if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                RemoveDirectoryW(child.c_str());
            else
                removeTree(child);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryW(path.c_str()) || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool isFolderW(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::wstring qeSysWideText(const char* text) {
    if (!text || !*text) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

std::string qeSysAnsiText(const wchar_t* text) {
    if (!text || !*text) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, &ansi[0], n, nullptr, nullptr);
    ansi.resize(static_cast<size_t>(n - 1));
    return ansi;
}

unsigned long long qeSysFileTimeValue(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

std::wstring qeSysLongPath(const char* path) {
    const std::wstring full = fullWide(path);
    if (full.empty() || full.compare(0, 4, L"\\\\?\\") == 0) return full;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share\...
    return L"\\\\?\\" + full;
}

std::string qeSysFullPath(const char* path) {
    std::wstring full = fullWide(path);
    if (full.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        full = L"\\\\" + full.substr(8);
    else if (full.compare(0, 4, L"\\\\?\\") == 0)
        full = full.substr(4);
    return qeSysAnsiText(full.c_str());
}

bool qeSysPathTooLong(const char* path) {
    if (!path) return false;
    const std::wstring full = fullWide(path);
    if (full.empty()) return GetLastError() == ERROR_FILENAME_EXCED_RANGE || std::string(path).size() >= 32767;
    if (full.size() + 8 >= 32767) return true;
    // no component may be longer than the file system allows
    size_t start = 0;
    while (start < full.size()) {
        size_t end = full.find_first_of(L"\\/", start);
        if (end == std::wstring::npos) end = full.size();
        if (end - start > 255) return true;
        start = end + 1;
    }
    return false;
}

bool qeSysRemoveFolderTree(const char* path) {
    std::wstring full = qeSysLongPath(path);
    while (full.size() > 7 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
    if (full.empty()) return false;
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    return removeTree(full);
}

bool qeSysMakeFolders(const char* folder) {
    std::string path = folder ? folder : "";
    for (char& c : path)
        if (c == '/') c = '\\';
    while (path.size() > 1 && path.back() == '\\') path.pop_back();
    if (path.empty()) return false;
    // most calls find the folder there already: one question then, not one a part
    const std::wstring whole = qeSysLongPath(path.c_str());
    if (!whole.empty() && isFolderW(whole)) {
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    // a share (\\server\share) is there or not: only the folders below it are made
    size_t first = 1;
    if (path.compare(0, 2, "\\\\") == 0) {
        const size_t server = path.find('\\', 2);
        first = server == std::string::npos ? server : path.find('\\', server + 1);
        if (first == std::string::npos) {
            if (isFolderW(qeSysLongPath(path.c_str()))) return true;
            SetLastError(ERROR_PATH_NOT_FOUND);
            return false;
        }
    }
    for (size_t i = first; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\') continue;
        const std::string part = path.substr(0, i);
        if (part.size() == 2 && part[1] == ':') continue;  // a drive
        const std::wstring full = qeSysLongPath(part.c_str());
        if (full.empty()) return false;
        if (isFolderW(full)) continue;
        if (!CreateDirectoryW(full.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}
