#include "sys.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

#include "facade.h"

namespace {
QeSysBoxHook g_boxHook = nullptr;
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
    qeIrrlichtHideWindow();
    int result = qeSysShowBox("Qirn", text, MB_OK);
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
