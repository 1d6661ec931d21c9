// Helpers for tests that need real files: a fresh temporary folder, file writing, and a SysFile over
// a string in memory.
#ifndef QIRN_TESTS_FILE_FIXTURES_H
#define QIRN_TESTS_FILE_FIXTURES_H

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sysfile.h"

namespace qetest {

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
        std::string at = path_;
        size_t start = 0;
        while (start < relative.size()) {
            size_t end = relative.find_first_of("/\\", start);
            if (end == std::string::npos) end = relative.size();
            at += relative.substr(start, end - start) + "\\";
            CreateDirectoryA(at.c_str(), nullptr);
            start = end + 1;
        }
        return at;
    }
    // Writes a file below this one (its folder must exist); gives its full path.
    std::string write(const std::string& relative, const std::string& content) const {
        const std::string full = path_ + relative;
        FILE* f = std::fopen(full.c_str(), "wb");
        if (f) {
            std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
        return full;
    }

private:
    static void remove(const std::string& dir) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((dir + "*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = data.cFileName;
                if (name == "." || name == "..") continue;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    remove(dir + name + "\\");
                } else {
                    DeleteFileA((dir + name).c_str());
                }
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(dir.c_str());
    }
    std::string path_;
};

// A SysFile over a copy of a string, read by lines and characters (what the loaders under test need);
// what an open hook hands out in the tests.
struct MemoryStream {
    std::string data;
    size_t pos;
};

inline MemoryStream* memoryOf(SysFile* h) { return static_cast<MemoryStream*>(h->stream); }

inline SysFile* openMemoryFile(const std::string& content) {
    SysFile* h = static_cast<SysFile*>(std::malloc(sizeof(SysFile)));
    h->stream = new MemoryStream{content, 0};
    h->seek = [](SysFile*, long, int) -> int { return -1; };
    h->read = [](void*, size_t, size_t, SysFile*) -> size_t { return 0; };
    h->getc = [](SysFile* f) -> int {
        MemoryStream* m = memoryOf(f);
        return m->pos < m->data.size() ? static_cast<unsigned char>(m->data[m->pos++]) : EOF;
    };
    h->gets = [](char* buffer, int size, SysFile* f) -> char* {
        MemoryStream* m = memoryOf(f);
        if (size <= 0 || m->pos >= m->data.size()) return nullptr;
        int n = 0;
        while (n < size - 1 && m->pos < m->data.size()) {
            const char c = m->data[m->pos++];
            buffer[n++] = c;
            if (c == '\n') break;
        }
        buffer[n] = 0;
        return buffer;
    };
    h->tell = [](SysFile* f) -> long { return static_cast<long>(memoryOf(f)->pos); };
    h->close = [](SysFile* f) -> int {
        delete memoryOf(f);
        std::free(f);
        return 0;
    };
    return h;
}

}  // namespace qetest

#endif
