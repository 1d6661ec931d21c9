// The cabinet tool that the demo packer runs, built next to qirn.exe as "cabarc.exe" over the platform's
// cabinet API: "cabarc [-p] n <cabinet> <item>...", the one form the packer uses. Each item is a file or a
// wildcard pattern relative to the current folder; a pattern that matches nothing is skipped, a named file
// that is missing is an error. With -p a file is stored under the path it was named by ("intro\cube.x"),
// without a drive or a leading separator; without -p under its bare name. Exit status 0 when the cabinet
// was written, 1 when no file at all was added, a named file is missing or the cabinet cannot be made, 2
// for any other command line (after the usage). A temporary folder that is full or cannot be written, where
// the cabinet interface writes its work files, is told as such ("Error: the temporary folder '...' is
// full (n)"). When QIRN_CABARC_LOG names a file, the command line and the
// current folder are appended to it (to see what a pack asked for).
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <fci.h>

#include "sysfile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string source;  // relative to the current folder
    std::string stored;  // the name inside the cabinet
};

// ---- FCI callbacks: plain runtime file handles ----

// The cabinet interface takes the cabinet's folder and name in 256 characters: it is given this name
// instead, which no file can have, and the file callbacks open the cabinet under its own path.
const char kCabinetStandIn[] = "<cabinet>";
std::string g_cabinet;

// The work files that the cabinet interface writes in the temporary folder, and why the first of them
// failed: a temporary folder that is full or cannot be written is told as such.
std::vector<std::string> g_tempNames;
std::vector<int> g_tempFiles;
enum TempFault { kTempFine, kTempFull, kTempNotWritable };
TempFault g_tempFault = kTempFine;
int g_tempCode = 0;  // the runtime's or the system's error number

// Notes the first failure of a work file. A folder on a volume without room left is full, whatever the
// runtime made of the system's error.
void tempFailed(bool full, int code) {
    if (g_tempFault != kTempFine) return;
    const DWORD error = GetLastError();
    char folder[MAX_PATH];
    ULARGE_INTEGER free;
    if (!full && GetTempPathA(sizeof(folder), folder) && GetDiskFreeSpaceExA(folder, &free, nullptr, nullptr))
        full = free.QuadPart < 64 * 1024;
    g_tempFault = full || error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? kTempFull : kTempNotWritable;
    g_tempCode = code;
}

bool isTempFile(int fd) {
    for (int file : g_tempFiles)
        if (file == fd) return true;
    return false;
}

FNFCIALLOC(allocMemory) { return std::malloc(cb); }
FNFCIFREE(freeMemory) { std::free(memory); }
// Every file by its full path, at any length.
FNFCIOPEN(openFile) {
    const char* name = std::strcmp(pszFile, kCabinetStandIn) == 0 ? g_cabinet.c_str() : pszFile;
    const int fd = _wopen(qeSysLongPath(name).c_str(), oflag | _O_BINARY, pmode);
    if (fd == -1) *err = errno;
    for (const std::string& temp : g_tempNames) {
        if (temp != pszFile) continue;
        if (fd == -1)
            tempFailed(errno == ENOSPC, errno);
        else
            g_tempFiles.push_back(fd);
    }
    return fd;
}
FNFCIREAD(readFile) {
    const int n = _read(static_cast<int>(hf), memory, cb);
    if (n < 0) *err = errno;
    return static_cast<UINT>(n);
}
FNFCIWRITE(writeFile) {
    const int n = _write(static_cast<int>(hf), memory, cb);
    if (n < 0) *err = errno;
    // a work file written in part: the folder is full
    if (static_cast<UINT>(n) != cb && isTempFile(static_cast<int>(hf))) tempFailed(n >= 0 || errno == ENOSPC, n < 0 ? errno : ENOSPC);
    return static_cast<UINT>(n);
}
FNFCICLOSE(closeFile) {
    const int result = _close(static_cast<int>(hf));
    if (result != 0) *err = errno;
    return result;
}
FNFCISEEK(seekFile) {
    const long position = _lseek(static_cast<int>(hf), dist, seektype);
    if (position < 0) *err = errno;
    return position;
}
FNFCIDELETE(deleteFile) {
    const int result = _wremove(qeSysLongPath(pszFile).c_str());
    if (result != 0) *err = errno;
    return result;
}
FNFCIFILEPLACED(filePlaced) { return 0; }
FNFCIGETNEXTCABINET(nextCabinet) { return FALSE; }  // one cabinet only
FNFCISTATUS(status) { return 0; }

FNFCIGETTEMPFILE(tempFile) {
    char folder[MAX_PATH];
    char name[MAX_PATH];
    if (!GetTempPathA(sizeof(folder), folder) || !GetTempFileNameA(folder, "cab", 0, name)) {
        const DWORD error = GetLastError();
        tempFailed(error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL, static_cast<int>(error));
        return FALSE;
    }
    DeleteFileA(name);  // FCI creates it itself
    if (static_cast<int>(std::strlen(name)) >= cbTempName) return FALSE;
    std::strcpy(pszTempName, name);
    g_tempNames.push_back(name);
    return TRUE;
}

// The error line for a failure of the work files, "" when none failed.
std::string tempFaultLine() {
    if (g_tempFault == kTempFine) return std::string();
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof(folder), folder);
    char line[MAX_PATH + 128];
    std::snprintf(line, sizeof(line), "Error: the temporary folder '%s' %s (%d)", folder,
                  g_tempFault == kTempFull ? "is full" : "cannot be written", g_tempCode);
    return line;
}

// The date and time that the cabinet stores for a file last written at `written`: its local time in the DOS
// form, to two seconds. A date the form cannot hold, before 1980 or after 2107, is stored as the nearest one
// it can (the first second of 1980, the last two of 2107): of two files, the one written later never comes
// back older than the other (a compiled shader older than its source would be compiled again).
void storedDate(const FILETIME& written, USHORT* date, USHORT* time) {
    // year, month, day of the week (not read), day, hour, minute, second, millisecond
    static const SYSTEMTIME kFirst = {1980, 1, 0, 1, 0, 0, 0, 0};
    static const SYSTEMTIME kLast = {2107, 12, 0, 31, 23, 59, 58, 0};
    FILETIME local, first, last;
    if (!FileTimeToLocalFileTime(&written, &local)) local = written;
    SystemTimeToFileTime(&kFirst, &first);
    SystemTimeToFileTime(&kLast, &last);
    if (CompareFileTime(&local, &first) < 0) local = first;
    if (CompareFileTime(&local, &last) > 0) local = last;
    if (!FileTimeToDosDateTime(&local, date, time)) FileTimeToDosDateTime(&first, date, time);
}

FNFCIGETOPENINFO(openInfo) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(qeSysLongPath(pszName).c_str(), GetFileExInfoStandard, &data)) {
        *err = ENOENT;
        return -1;
    }
    storedDate(data.ftLastWriteTime, pdate, ptime);
    *pattribs = static_cast<USHORT>(data.dwFileAttributes &
                                    (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE));
    return openFile(pszName, _O_RDONLY, 0, err, pv);
}

// ---- gathering ----

bool isPattern(const std::string& item) { return item.find_first_of("*?") != std::string::npos; }

// The folder part of an item, with its separator ("intro\" of "intro\*.x"), or "".
std::string folderOf(const std::string& item) {
    const size_t cut = item.find_last_of("\\/:");
    return cut == std::string::npos ? std::string() : item.substr(0, cut + 1);
}

// The name stored for a file: its path relative to the current folder as named, without a drive or a
// leading separator.
std::string storedName(const std::string& path, bool keepPaths) {
    if (!keepPaths) return path.substr(folderOf(path).size());
    size_t start = path.size() > 1 && path[1] == ':' ? 2 : 0;
    while (start < path.size() && (path[start] == '\\' || path[start] == '/')) ++start;
    std::string name = path.substr(start);
    for (char& c : name)
        if (c == '/') c = '\\';
    return name;
}

std::string ansiOf(const wchar_t* wide) {
    char text[MAX_PATH * 2];
    if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr)) return std::string();
    return text;
}

// Adds the files of one item; false when a named file is missing. Files are found and read by their full
// paths, at any length.
bool gather(const std::string& item, bool keepPaths, std::vector<Entry>* entries) {
    if (!isPattern(item)) {
        const DWORD attributes = GetFileAttributesW(qeSysLongPath(item.c_str()).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            std::printf("Error: Could not find file: %s\n", item.c_str());
            return false;
        }
        entries->push_back({item, storedName(item, keepPaths)});
        return true;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(qeSysLongPath(item.c_str()).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    const std::string folder = folderOf(item);
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::string source = folder + ansiOf(found.cFileName);
        entries->push_back({source, storedName(source, keepPaths)});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}

void logCommand() {
    const char* log = std::getenv("QIRN_CABARC_LOG");
    if (!log || !*log) return;
    FILE* f = std::fopen(log, "ab");
    if (!f) return;
    std::fprintf(f, "command: %s\nfolder: %s\n", GetCommandLineA(), qeSysFullPath(".").c_str());
    std::fclose(f);
}

int writeCabinet(const std::string& cabinet, const std::vector<Entry>& entries) {
    g_cabinet = qeSysFullPath(cabinet.c_str());
    if (g_cabinet.empty()) {
        std::printf("Error: cannot write %s (no full path)\n", cabinet.c_str());
        return 1;
    }
    CCAB ccab;
    std::memset(&ccab, 0, sizeof(ccab));
    ccab.cb = 0x7FFFFFFF;
    ccab.cbFolderThresh = 0x7FFFFFFF;
    std::snprintf(ccab.szCab, sizeof(ccab.szCab), "%s", kCabinetStandIn);

    ERF erf;
    std::memset(&erf, 0, sizeof(erf));
    HFCI fci = FCICreate(&erf, filePlaced, allocMemory, freeMemory, openFile, readFile, writeFile, closeFile,
                         seekFile, deleteFile, tempFile, &ccab, nullptr);
    if (!fci) {
        if (!tempFaultLine().empty())
            std::printf("%s\n", tempFaultLine().c_str());
        else
            std::printf("Error: cannot start the cabinet (%d)\n", erf.erfOper);
        return 1;
    }
    bool ok = true;
    for (const Entry& entry : entries) {
        std::vector<char> source(entry.source.begin(), entry.source.end());
        std::vector<char> stored(entry.stored.begin(), entry.stored.end());
        source.push_back(0);
        stored.push_back(0);
        if (!FCIAddFile(fci, source.data(), stored.data(), FALSE, nextCabinet, status, openInfo,
                        tcompTYPE_MSZIP)) {
            if (!tempFaultLine().empty())
                std::printf("%s\n", tempFaultLine().c_str());
            else
                std::printf("Error: cannot add %s (%d)\n", entry.source.c_str(), erf.erfOper);
            ok = false;
            break;
        }
        std::printf("  -- adding %s\n", entry.stored.c_str());
    }
    if (ok && !FCIFlushCabinet(fci, FALSE, nextCabinet, status)) {
        if (!tempFaultLine().empty())
            std::printf("%s\n", tempFaultLine().c_str());
        else
            std::printf("Error: cannot write %s (%d)\n", cabinet.c_str(), erf.erfOper);
        ok = false;
    }
    FCIDestroy(fci);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    logCommand();
    int arg = 1;
    bool keepPaths = false;
    if (arg < argc && std::strcmp(argv[arg], "-p") == 0) {
        keepPaths = true;
        ++arg;
    }
    if (argc - arg < 3 || std::strcmp(argv[arg], "n") != 0) {
        std::printf("Qirn's cabinet tool: makes a new cabinet for the demo packer (qirn.exe -demoexe).\n"
                    "usage: cabarc [-p] n <cabinet> <file or pattern>...\n"
                    "  -p   store each file under the path it is named by (else under its bare name)\n"
                    "  n    make a new cabinet of the files; a pattern such as intro\\*.x takes every match\n"
                    "Other commands and options (listing, extracting, compression choices) are not supported.\n");
        return 2;
    }
    const std::string cabinet = argv[arg + 1];
    std::vector<Entry> entries;
    for (int i = arg + 2; i < argc; ++i)
        if (!gather(argv[i], keepPaths, &entries)) return 1;
    if (entries.empty()) {
        std::printf("Error: no files to add\n");
        return 1;
    }
    std::printf("Creating new cabinet '%s':\n", cabinet.c_str());
    return writeCabinet(cabinet, entries);
}
