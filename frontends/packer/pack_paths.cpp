// The packer's path helpers, with the test that a relative path stays inside its folder.
#include "packer_internal.h"

#include <cctype>
#include <cstring>
#include <string>

#include "sysfile.h"

std::string qePackJoinPath(const char* folder, const char* name) {
    std::string path = folder ? folder : "";
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    return path + name;
}

std::wstring qePackLongPath(const std::string& path) { return qeSysLongPath(path.c_str()); }

bool qePackIsSeparator(char c) { return c == '\\' || c == '/'; }

bool qeDemoFolderInsideDemo(const char* folder) {
    if (!folder || !folder[0]) return true;
    if (qePackIsSeparator(folder[0]) || std::strchr(folder, ':')) return false;
    for (const char* c = folder; *c;) {
        const char* end = c;
        while (*end && !qePackIsSeparator(*end)) ++end;
        if (end - c == 2 && c[0] == '.' && c[1] == '.') return false;
        c = *end ? end + 1 : end;
    }
    return true;
}

std::string qePackFolderOfPath(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string qePackFolderOfItem(const std::string& item) {
    const size_t cut = item.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : item.substr(0, cut);
}

std::string qePackNameOfItem(const std::string& item) {
    const size_t cut = item.find_last_of("\\/");
    return cut == std::string::npos ? item : item.substr(cut + 1);
}

std::string qePackPathKey(const std::string& path) {
    std::string key;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (!part.empty() && part != ".") {
            if (!key.empty()) key += '\\';
            for (char c : part) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        start = end + 1;
    }
    return key;
}

bool qePackSameName(const std::string& a, const std::string& b) { return qeSysStrCaseCmp(a.c_str(), b.c_str()) == 0; }

bool qePackIsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(qePackLongPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool qePackExists(const std::string& path) {
    return GetFileAttributesW(qePackLongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
