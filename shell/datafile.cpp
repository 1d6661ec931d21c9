// The data-file search: where shaders, textures and other data files are looked for.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "sysfile.h"

namespace {

enum { MAX_SEARCH_DIRECTORIES = 10 };

const char* const kSubFolders[] = {"shaders", "shadersPP", "shadersSURF", "shadersSURF2", "shadersHV", "textures"};

struct SearchDirectories {
    int count;
    char entries[MAX_SEARCH_DIRECTORIES][QE_SYS_PATH_SIZE];
    char baseDir[QE_SYS_PATH_SIZE];
    char result[QE_SYS_PATH_SIZE];
};

SearchDirectories g_search;

bool opens(const char* name) {
    SysFile* h = qeSysFileOpen(name, "rb");
    if (!h) return false;
    qeSysFileClose(h);
    return true;
}

// Builds a candidate in the result buffer and tries it. A candidate that would not fit is skipped.
bool tryCandidate(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool tryCandidate(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(g_search.result, sizeof(g_search.result), format, args);
    va_end(args);
    if (n < 0 || n >= static_cast<int>(sizeof(g_search.result))) return false;
    return opens(g_search.result);
}

}  // namespace

int qeSysSetBaseDir(const char* path) {
    if (!path || std::strlen(path) >= sizeof(g_search.baseDir)) return -1;
    std::strcpy(g_search.baseDir, path);
    return 0;
}

const char* qeSysGetBaseDirectory() { return g_search.baseDir; }

int qeSysAddSearchDirectory(const char* path) {
    if (g_search.count >= MAX_SEARCH_DIRECTORIES || !path) return -1;
    if (std::strlen(path) >= QE_SYS_PATH_SIZE) return -1;
    std::strcpy(g_search.entries[g_search.count++], path);
    return 0;
}

const char* qeSysFindDataFile(const char* name) {
    if (!name) return name;
    if (opens(name)) return name;
    for (const char* sub : kSubFolders) {
        if (tryCandidate("%s/%s", sub, name)) return g_search.result;
    }
    // The search directories are tried only with a sub-folder.
    for (const char* sub : kSubFolders) {
        for (int i = 0; i < g_search.count; ++i) {
            if (tryCandidate("%s/%s/%s", g_search.entries[i], sub, name)) return g_search.result;
        }
    }
    // The base directory ends with a separator (as the executable's directory does).
    if (tryCandidate("%s%s", g_search.baseDir, name)) return g_search.result;
    for (const char* sub : kSubFolders) {
        if (tryCandidate("%s%s/%s", g_search.baseDir, sub, name)) return g_search.result;
    }
    return name;
}
