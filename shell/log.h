#ifndef QIRN_SHELL_LOG_H
#define QIRN_SHELL_LOG_H

#include <cstdarg>

// Levels of the log; a line at or above the threshold (initially QE_LOG_INFO) is printed.
enum {
    QE_LOG_DEBUG = 0,
    QE_LOG_INFO = 1,
    QE_LOG_WARN = 2,
    QE_LOG_ERROR = 3,
    QE_LOG_NONE = 4,
};

// Flag bits above the level in the flags word.
enum {
    QE_LOG_LEVEL_MASK = 0xFFFF,
    QE_LOG_KEEP_ERROR = 0x10000,  // keep the text as the pending last error
    QE_LOG_SHOW_BOX = 0x20000,    // also show it in the message box (unless boxes are off)
};

#define QE_PRINTF(fmt, first) __attribute__((format(printf, fmt, first)))

// The core: formats the text, keeps it as last error and shows it as the flags ask, prints
// "LEVEL : text" when the level reaches the threshold. Returns the length of the formatted text.
int qeLogMessage(int flags, int argIndex, const char* format, va_list args);
int qeLogPrint(int flags, const char* format, ...) QE_PRINTF(2, 3);
int qeLogError(int argIndex, const char* format, ...) QE_PRINTF(2, 3);
int qeLogErrorBox(int argIndex, const char* format, ...) QE_PRINTF(2, 3);

// The pending last error: its text and argument number, or NULL and -1 when none is pending.
const char* qeLogGetLastError(int* argIndex);
void qeLogClearLastError();

void qeLogSetLevel(int level);
int qeLogGetLevel();
void qeLogDisableMessageBoxes();
const char* qeLogLevelName(int level);

#endif
