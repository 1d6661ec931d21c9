#include "QeLog.h"

#include <cstdarg>
#include <cstdio>

irr::ILogger* qeLibLogger = nullptr;

void qeLibSetLogger(irr::ILogger* logger) { qeLibLogger = logger; }

void qeLibLog(irr::s32 level, const char* format, ...) {
    if (!qeLibLogger) return;
    if (level < static_cast<irr::s32>(qeLibLogger->getLogLevel())) return;
    char text[512];
    text[0] = 0;
    text[sizeof(text) - 1] = 0;
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    // Some C libraries leave an over-long text unterminated: the text always ends inside the buffer.
    text[sizeof(text) - 1] = 0;
    qeLibLogger->log(text, static_cast<irr::ELOG_LEVEL>(level));
}

void qeLibPrintf(const char* format, ...) {
    if (!qeLibLogger) return;
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}
