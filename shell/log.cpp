#include "log.h"

#include <cstdio>
#include <cstring>

#include "sys.h"

namespace {
int g_threshold = QE_LOG_INFO;
int g_boxesOn = 1;
int g_errorPending = 0;
int g_errorArg = -1;
char g_text[1024];
char g_lastError[1024];
}  // namespace

const char* qeLogLevelName(int level) {
    static const char* const names[] = {"DEBUG", "INFO", "WARN", "ERROR", "NONE"};
    return level >= 0 && level <= 4 ? names[level] : "???";
}

int qeLogMessage(int flags, int argIndex, const char* format, va_list args) {
    // A longer text is cut at the buffer's end.
    int length = std::vsnprintf(g_text, sizeof(g_text), format, args);
    if (length < 0) {
        g_text[0] = 0;
        length = 0;
    } else if (length >= static_cast<int>(sizeof(g_text))) {
        length = sizeof(g_text) - 1;
    }
    if (flags & QE_LOG_KEEP_ERROR) {
        g_errorPending = 1;
        g_errorArg = argIndex;
        std::snprintf(g_lastError, sizeof(g_lastError), "%s", g_text);
    }
    const int level = flags & QE_LOG_LEVEL_MASK;
    if (level >= g_threshold) qeSysDebugPrint("%s : %s\n", qeLogLevelName(level), g_text);
    // The text may hold '%' (a file path): it goes to the box as an argument, never as a format.
    if ((flags & QE_LOG_SHOW_BOX) && g_boxesOn) qeSysMessageBox("%s", g_text);
    return length;
}

int qeLogPrint(int flags, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = qeLogMessage(flags, -1, format, args);
    va_end(args);
    return n;
}

int qeLogError(int argIndex, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = qeLogMessage(QE_LOG_ERROR | QE_LOG_KEEP_ERROR, argIndex, format, args);
    va_end(args);
    return n;
}

int qeLogErrorBox(int argIndex, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = qeLogMessage(QE_LOG_ERROR | QE_LOG_KEEP_ERROR | QE_LOG_SHOW_BOX, argIndex, format, args);
    va_end(args);
    return n;
}

const char* qeLogGetLastError(int* argIndex) {
    if (!g_errorPending) {
        if (argIndex) *argIndex = -1;
        return nullptr;
    }
    if (argIndex) *argIndex = g_errorArg;
    return g_lastError;
}

void qeLogClearLastError() { g_errorPending = 0; }
void qeLogSetLevel(int level) { g_threshold = level; }
int qeLogGetLevel() { return g_threshold; }
void qeLogDisableMessageBoxes() { g_boxesOn = 0; }
