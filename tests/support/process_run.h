// Runs another program for a test: its standard output and error go into a file, and the test waits for
// its end within a limit.
#ifndef QIRN_TESTS_PROCESS_RUN_H
#define QIRN_TESTS_PROCESS_RUN_H

#include <windows.h>

#include <atomic>
#include <cstring>
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

// A top-level window of the process in `pid` with that class (any class when null) and that title (any title
// when null), only a shown one when `shown` is set; null when there is none. Other
// test programs may show windows of the same names meanwhile.
inline HWND windowOf(DWORD pid, const char* className, const char* title, bool shown) {
    struct Search {
        DWORD pid;
        const char* className;
        const char* title;
        bool shown;
        HWND found;
        static BOOL CALLBACK match(HWND window, LPARAM param) {
            Search* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            char text[64] = "", kind[64] = "";
            GetWindowTextA(window, text, sizeof(text));
            GetClassNameA(window, kind, sizeof(kind));
            if (owner != s->pid || (s->title && std::strcmp(text, s->title) != 0) ||
                (s->className && std::strcmp(kind, s->className) != 0) || (s->shown && !IsWindowVisible(window)))
                return TRUE;
            s->found = window;
            return FALSE;
        }
    } search = {pid, className, title, shown, nullptr};
    if (pid) EnumWindows(Search::match, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace qetest

#endif
