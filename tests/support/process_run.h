// Runs another program for a test: its standard output and error go into a file, and the test waits for
// its end within a limit.
#ifndef QIRN_TESTS_PROCESS_RUN_H
#define QIRN_TESTS_PROCESS_RUN_H

#include <windows.h>

#include <atomic>
#include <string>

namespace qetest {

// Runs `command` (the program `exe`; when `exe` is empty, the command's first word, looked for as Windows
// does, through PATH last) in `folder` with its output into the file `output` and waits up to `seconds`;
// gives its exit code, -1 when it had to be ended, -2 when it did not start. While it runs, its process ID
// is in `pid` (when given).
inline long runProcess(const std::string& exe, std::string command, const std::string& folder,
                       const std::string& output, int seconds, std::atomic<DWORD>* pid = nullptr,
                       DWORD flags = 0) {
    SECURITY_ATTRIBUTES inherit = {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return -2;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(exe.empty() ? nullptr : exe.c_str(), &command[0], nullptr, nullptr, TRUE,
                                        flags, nullptr, folder.c_str(), &startup, &process);
    CloseHandle(out);
    if (!started) return -2;
    if (pid) *pid = process.dwProcessId;
    const DWORD waited = WaitForSingleObject(process.hProcess, seconds * 1000);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 10 * 1000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (pid) *pid = 0;
    return waited == WAIT_OBJECT_0 ? static_cast<long>(code) : -1;
}

}  // namespace qetest

#endif
