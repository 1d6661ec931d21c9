// Paths of any length for the wide file functions (declared in sysfile.h). Self-contained: the cabinet tool
// builds it too.
#include <windows.h>

#include <string>

#include "sysfile.h"

namespace {

std::wstring wideOf(const char* text) {
    if (!text || !*text) return std::wstring();
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

// The full path of `path` (a "\\?\" prefix taken off), "" when the system gives none.
std::wstring fullWide(const char* path) {
    std::wstring wide = wideOf(path);
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

std::string ansiOf(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string text(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], n, nullptr, nullptr);
    text.resize(static_cast<size_t>(n - 1));
    return text;
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

}  // namespace

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
    return ansiOf(full);
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
