// Temporary folders of a given kind for tests: the process's temporary folder (TMP and TEMP, which its
// children inherit) set to a folder for a scope, and a small file system of its own to set it to, full
// after a megabyte or one that cannot be written. The tests run as the build root's own root user, who may
// mount file systems in the run's namespace; Wine reaches them through drive Z:.
#ifndef QIRN_TESTS_TEMP_FOLDERS_H
#define QIRN_TESTS_TEMP_FOLDERS_H

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace qetest {

// The process's temporary folder, with its closing separator.
inline std::string temporaryFolder() {
    char temp[MAX_PATH * 4] = "";
    GetTempPathA(sizeof(temp), temp);
    return temp;
}

// The process's temporary folder is `folder` (ending with a backslash) until the end of the scope.
class TemporaryFolderAs {
public:
    explicit TemporaryFolderAs(const std::string& folder) : tmp_(value("TMP")), temp_(value("TEMP")) {
        SetEnvironmentVariableA("TMP", folder.c_str());
        SetEnvironmentVariableA("TEMP", folder.c_str());
    }
    ~TemporaryFolderAs() {
        SetEnvironmentVariableA("TMP", tmp_.empty() ? nullptr : tmp_.c_str());
        SetEnvironmentVariableA("TEMP", temp_.empty() ? nullptr : temp_.c_str());
    }

private:
    static std::string value(const char* name) {
        char text[MAX_PATH * 4] = "";
        const DWORD n = GetEnvironmentVariableA(name, text, sizeof(text));
        return n > 0 && n < sizeof(text) ? text : "";
    }
    std::string tmp_, temp_;
};

// The Unix folder of the test run, which goes with it, and the same as Wine reaches it.
inline std::string unixRunFolder() {
    const char* run = std::getenv("QIRN_RUN_DIR");
    return run && *run ? run : "/tmp";
}
inline std::string windowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

// Runs `script` with the machine's shell and gives its exit status, -1 when it did not end within
// `seconds`. Wine starts a program that is no Windows program as it is, without a process to wait on: the
// script writes its status into a file when it ends.
inline int unixShell(const std::string& script, int seconds = 120) {
    static int serial = 0;
    const std::string status = unixRunFolder() + "/qirn-shell-" + std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(++serial) + ".status";
    std::string command = "/bin/sh -c \"(" + script + ") >/dev/null 2>&1; echo $? >" + status + ".part && mv " +
                          status + ".part " + status + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    const std::string done = windowsPathOf(status);
    for (int step = 0; step < seconds * 10; ++step) {
        if (GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES) {
            int code = -1;
            std::ifstream(done) >> code;
            DeleteFileA(done.c_str());
            return code;
        }
        Sleep(100);
    }
    return -1;
}

// A tmpfs of its own for the scope, mounted with `options` ("size=1m": full after a megabyte; add ",ro" for
// one that cannot be written) in the run's folder, and removed at the end.
class SmallFileSystem {
public:
    SmallFileSystem(const char* tag, const std::string& options) {
        static int serial = 0;
        unix_ = unixRunFolder() + "/qirn-fs-" + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++serial);
        path_ = windowsPathOf(unix_) + "\\";
        mounted_ = unixShell("mkdir -p " + unix_ + " && mount -t tmpfs -o " + options + " qirn-test " + unix_) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) unixShell("umount " + unix_);
        unixShell("rmdir " + unix_);
    }
    bool mounted() const { return mounted_; }
    const std::string& path() const { return path_; }  // ends with a backslash

private:
    std::string unix_, path_;
    bool mounted_ = false;
};

}  // namespace qetest

#endif
