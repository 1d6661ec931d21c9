// The run's own folder in the temporary folder: made, marked and held on a run's first hold, removed on
// its last release, and the words for a fault of the temporary folder.
#include "packed_run_internal.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "packer_internal.h"

namespace {

// The run's own folder while it is held: the handle keeps it open without sharing deletion, so that no
// other run can remove or rename it, until the process ends (however it ends).
struct RunFolder {
    HANDLE handle;
    int holds;
    int error;  // why the last hold failed (a system error number)
    char path[QE_EXTRACT_PATH_SIZE];
};

RunFolder g_run = {INVALID_HANDLE_VALUE, 0, 0, ""};

// True when `path` is `folder` or lies inside it.
bool isInside(const char* path, const char* folder) {
    const size_t n = std::strlen(folder);
    return n > 0 && _strnicmp(path, folder, n) == 0 && (path[n] == 0 || qePackIsSeparator(path[n]));
}

// The longest temporary folder a run can use: the system takes current folders of at most MAX_PATH - 2
// characters, and a run enters its slots' folders.
size_t longestTemporaryFolder() {
    return MAX_PATH - 2 - (sizeof(kQeRunFolderPrefix) - 1 + kQeRunFolderDigits + 1 +
                           qeDemoExtractFolderName(QE_EXTRACT_SLOTS - 1).size());
}

}  // namespace

void qeRunLeaveFolder(const char* folder) {
    char current[MAX_PATH];
    const DWORD n = GetCurrentDirectoryA(sizeof(current), current);
    if (n == 0 || n >= sizeof(current) || !isInside(current, folder)) return;
    char temp[MAX_PATH];
    const DWORD t = GetTempPathA(sizeof(temp), temp);
    if (t > 0 && t < sizeof(temp)) SetCurrentDirectoryA(temp);
}

std::string qeRunTemporaryFolder() {
    char temp[QE_EXTRACT_PATH_SIZE];
    const DWORD t = GetTempPathA(sizeof(temp), temp);
    return t > 0 && t < sizeof(temp) ? std::string(temp) : std::string();
}

HANDLE qeRunOpenFolder(const std::string& path, bool exclusive) {
    return CreateFileA(path.c_str(), exclusive ? (DELETE | FILE_LIST_DIRECTORY) : FILE_LIST_DIRECTORY,
                       exclusive ? 0 : (FILE_SHARE_READ | FILE_SHARE_WRITE), nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Marks the folder as a run's own: false, with the system's reason, when the mark cannot be written whole.
bool markRunFolder(const std::string& folder) {
    HANDLE file = CreateFileA((folder + "\\" + kQeRunMarkName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool whole = WriteFile(file, kQeRunMarkText, sizeof(kQeRunMarkText) - 1, &written, nullptr) &&
                 written == sizeof(kQeRunMarkText) - 1;
    const DWORD error = whole ? NO_ERROR : (GetLastError() != NO_ERROR ? GetLastError() : ERROR_DISK_FULL);
    whole = CloseHandle(file) && whole;
    if (!whole) DeleteFileA((folder + "\\" + kQeRunMarkName).c_str());
    SetLastError(error);
    return whole;
}

const char* qeDemoHoldRunFolder() {
    if (g_run.holds > 0) {
        ++g_run.holds;
        return g_run.path;
    }
    g_run.error = 0;
    const std::string temp = qeRunTemporaryFolder();
    if (temp.empty()) {
        g_run.error = ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    qeDemoClearLeftovers();
    if (temp.size() > longestTemporaryFolder()) {
        g_run.error = ERROR_FILENAME_EXCED_RANGE;
        return nullptr;
    }
    // A name that no folder has: made new, held, then marked (a clearing run may take an empty folder between
    // the first two steps for a killed run's leftover: another name is tried then).
    unsigned int seed = GetCurrentProcessId() * 2654435761u ^ GetTickCount();
    for (int tries = 0; tries < 100; ++tries, seed = seed * 1103515245u + 12345u) {
        char path[QE_EXTRACT_PATH_SIZE];
        const int n = std::snprintf(path, sizeof(path), "%s%s%08X", temp.c_str(), kQeRunFolderPrefix, seed);
        if (n <= 0 || n >= static_cast<int>(sizeof(path))) return nullptr;
        if (!CreateDirectoryA(path, nullptr)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS) continue;
            g_run.error = static_cast<int>(GetLastError());
            return nullptr;
        }
        HANDLE handle = qeRunOpenFolder(path, false);
        if (handle == INVALID_HANDLE_VALUE) continue;
        if (!markRunFolder(path)) {
            g_run.error = static_cast<int>(GetLastError());
            CloseHandle(handle);
            RemoveDirectoryA(path);
            return nullptr;
        }
        g_run.handle = handle;
        g_run.holds = 1;
        std::snprintf(g_run.path, sizeof(g_run.path), "%s", path);
        return g_run.path;
    }
    g_run.error = ERROR_ALREADY_EXISTS;
    return nullptr;
}

void qeDemoReleaseRunFolder() {
    if (g_run.holds <= 0 || --g_run.holds > 0) return;
    const std::string path = g_run.path;
    qeRunLeaveFolder(path.c_str());
    CloseHandle(g_run.handle);
    g_run.handle = INVALID_HANDLE_VALUE;
    g_run.path[0] = 0;
    // A program that ran in it may keep it open for a moment after its end (seen under Wine): a folder
    // that stays is a leftover that the next clearing removes. What the run did not write stays.
    for (int tries = 0; tries < 40 && qeRunHoldsOnlyRunEntries(path, true); ++tries) {
        HANDLE held = qeRunOpenFolder(path, true);
        if (held != INVALID_HANDLE_VALUE && qeRunRemoveHeldFolder(path, held)) break;
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) break;
        Sleep(50);
    }
    qeDemoClearLeftovers();
}

int qeDemoRunFolderError() { return g_run.error; }

std::string qeDemoTemporaryFolderFault(int code) {
    const std::string temp = qeRunTemporaryFolder();
    char text[QE_EXTRACT_PATH_SIZE + 256];
    switch (code) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            std::snprintf(text, sizeof(text), "the temporary folder '%s' is full", temp.c_str());
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_CANNOT_MAKE:
            std::snprintf(text, sizeof(text), "the temporary folder '%s' cannot be written", temp.c_str());
            break;
        case ERROR_PATH_NOT_FOUND:
            std::snprintf(text, sizeof(text), "the temporary folder '%s' is missing", temp.c_str());
            break;
        case ERROR_FILENAME_EXCED_RANGE:
            std::snprintf(text, sizeof(text),
                          "the temporary folder '%s' is too long a path (%d characters): the folders written there "
                          "are entered as current folders, which the system takes up to %d characters long, so it "
                          "can have at most %d",
                          temp.c_str(), static_cast<int>(temp.size()), MAX_PATH - 2,
                          static_cast<int>(longestTemporaryFolder()));
            break;
        default: return std::string();
    }
    return text;
}

const char* qeDemoGetRunFolder() { return g_run.holds > 0 ? g_run.path : nullptr; }
