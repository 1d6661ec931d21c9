#include "sys.h"

#include <windows.h>
#include <commdlg.h>
#include <tlhelp32.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "facade.h"

namespace {
QeSysBoxHook g_boxHook = nullptr;

// Whether `thread` started in the module that spans [begin, end).
bool threadStartsIn(HANDLE thread, uintptr_t begin, uintptr_t end) {
    using QueryThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationThread")));
    const int startAddressClass = 9;  // ThreadQuerySetWin32StartAddress
    uintptr_t start = 0;
    return query && query(thread, startAddressClass, &start, sizeof(start), nullptr) == 0 && start >= begin &&
           start < end;
}
}  // namespace

int qeSysWaitForDirect3DThreads(unsigned timeoutMs) {
    HMODULE wined3d = GetModuleHandleA("wined3d.dll");
    if (!wined3d) return 0;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(wined3d);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(wined3d) + dos->e_lfanew);
    const uintptr_t begin = reinterpret_cast<uintptr_t>(wined3d), end = begin + nt->OptionalHeader.SizeOfImage;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    const DWORD deadline = GetTickCount() + timeoutMs;
    int running = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId() || entry.th32ThreadID == GetCurrentThreadId()) continue;
        HANDLE thread = OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        if (threadStartsIn(thread, begin, end)) {
            const LONG left = static_cast<LONG>(deadline - GetTickCount());
            if (WaitForSingleObject(thread, left > 0 ? static_cast<DWORD>(left) : 0) != WAIT_OBJECT_0) ++running;
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    return running;
}

void qeSysSetBoxHook(QeSysBoxHook hook) { g_boxHook = hook; }
QeSysBoxHook qeSysGetBoxHook() { return g_boxHook; }

int qeSysShowBox(const char* caption, const char* text, unsigned int type) {
    if (g_boxHook) return g_boxHook(caption, text, type);
    return MessageBoxA(nullptr, text, caption, type);
}

int qeSysMessageBox(const char* format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    // No owner: the box asks for the foreground and the top of the stack itself.
    qeIrrlichtHideWindow();
    int result = qeSysShowBox("Qirn", text, MB_OK | MB_SETFOREGROUND | MB_TOPMOST);
    qeIrrlichtShowWindow();
    return result;
}

void qeSysDebugPrint(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    OutputDebugStringA(text);
    std::fputs(text, stdout);
    std::fflush(stdout);
}

namespace {
char g_exePath[MAX_PATH];
char g_exeDir[MAX_PATH];
char g_dirOfPath[MAX_PATH];
int g_argCount = 0;
char** g_args = nullptr;
char g_requested[MAX_PATH];
char g_formatError[1024];
int g_sceneLoadVerbose = 0;
QeSysOpenFileHook g_openFileHook = nullptr;

// Drive and directory of the full path of `name` into `out` (MAX_PATH bytes); empty when the name has
// no full path that fits.
void driveAndDirectory(const char* name, char* out) {
    out[0] = 0;
    if (!name) return;
    char full[MAX_PATH];
    DWORD length = GetFullPathNameA(name, MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return;
    char drive[_MAX_DRIVE];
    char dir[_MAX_DIR];
    _splitpath(full, drive, dir, nullptr, nullptr);
    std::snprintf(out, MAX_PATH, "%s%s", drive, dir);
}
}  // namespace

int qeSysInit(int argc, char** argv) {
    g_argCount = argc;
    g_args = argv;
    // The system knows where the program was loaded from; argument 0 is only what was typed, which may be
    // a bare name found through PATH, so it serves only when the system's path does not fit.
    DWORD length = GetModuleFileNameA(nullptr, g_exePath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        g_exePath[0] = 0;
        if (argc > 0 && argv && argv[0]) {
            length = GetFullPathNameA(argv[0], MAX_PATH, g_exePath, nullptr);
            if (length == 0 || length >= MAX_PATH) g_exePath[0] = 0;
        }
    }
    driveAndDirectory(g_exePath[0] ? g_exePath : nullptr, g_exeDir);
    for (int i = 1; i < argc && argv; ++i) {
        if (!argv[i] || argv[i][0] != '-' || std::strcmp(argv[i], "-console") != 0) continue;
        // Only a console that is really there replaces the standard streams: reopening them on a
        // missing console would close them.
        if (AttachConsole(ATTACH_PARENT_PROCESS)) {
            std::freopen("CONIN$", "rb", stdin);
            std::freopen("CONOUT$", "wb", stdout);
            std::freopen("CONOUT$", "wb", stderr);
        }
        break;
    }
    // What the program writes (a script's lines, the log's) goes out as it is written, in the order written,
    // and is not lost when the process is ended: the C library holds back both streams in a buffer when
    // they are not a console (a pipe, a file).
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    std::setvbuf(stderr, nullptr, _IONBF, 0);
    return 0;
}

const char* qeSysGetExePath() { return g_exePath; }
const char* qeSysGetExeDir() { return g_exeDir; }
int qeSysGetArgCount() { return g_argCount; }
char** qeSysGetArgs() { return g_args; }

const char* qeSysDirOfPath(const char* name) {
    driveAndDirectory(name, g_dirOfPath);
    return g_dirOfPath;
}

void qeSysSetOpenFileHook(QeSysOpenFileHook hook) { g_openFileHook = hook; }

const char* qeSysFileRequester(const char* title, const char* filter) {
    char current[500] = "";
    DWORD length = GetCurrentDirectoryA(sizeof(current), current);
    if (length == 0 || length >= sizeof(current)) current[0] = 0;
    g_requested[0] = 0;

    OPENFILENAMEA dialog;
    std::memset(&dialog, 0, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = nullptr;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = g_requested;
    dialog.nMaxFile = sizeof(g_requested);
    dialog.lpstrTitle = title;
    dialog.lpstrInitialDir = current[0] ? current : nullptr;
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    int chosen = g_openFileHook ? g_openFileHook(&dialog) : GetOpenFileNameA(&dialog);

    if (current[0]) SetCurrentDirectoryA(current);
    if (!chosen) {
        g_requested[0] = 0;
        return nullptr;
    }
    g_requested[sizeof(g_requested) - 1] = 0;
    return g_requested;
}

void qeSysFileOperationProblem(const char* message, const char* file) {
    const DWORD error = GetLastError();
    char system[512];
    // Inserts are ignored: system texts with "%1" would otherwise read arguments that are not there.
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), system, sizeof(system), nullptr);
    if (length == 0) {
        std::snprintf(system, sizeof(system), "error %lu", static_cast<unsigned long>(error));
    } else {
        system[sizeof(system) - 1] = 0;
        length = static_cast<DWORD>(std::strlen(system));
        while (length > 0 && (system[length - 1] == '\r' || system[length - 1] == '\n' || system[length - 1] == ' '))
            system[--length] = 0;
    }
    char text[1024];
    std::snprintf(text, sizeof(text), "%s\nFile: '%s'\nSystem reports: %s", message ? message : "",
                  file ? file : "", system);
    // Raised like the engine's own boxes: a full-screen engine window stands above every window that is not.
    qeSysShowBox("File Operation Problem", text, MB_OK | MB_ICONSTOP | MB_SETFOREGROUND | MB_TOPMOST);
}

void qeSysFormatError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_formatError, sizeof(g_formatError), format, args);
    va_end(args);
}

const char* qeSysGetFormatError() { return g_formatError; }

void qeSceneSetLoadVerbose(int verbose) { g_sceneLoadVerbose = verbose; }
int qeSceneGetLoadVerbose() { return g_sceneLoadVerbose; }
