#include "QeParticleLog.h"

#include <cstdarg>
#include <cstdio>

namespace {
irr::ILogger* particleLogger = nullptr;
}

void qeParticleLogSetLogger(irr::ILogger* logger) { particleLogger = logger; }

void qeParticleLog(irr::s32 level, const char* format, ...) {
    if (!particleLogger || !format) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (level < irr::ELL_DEBUG) level = irr::ELL_DEBUG;
    if (level > irr::ELL_NONE) level = irr::ELL_NONE;
    particleLogger->log(text, static_cast<irr::ELOG_LEVEL>(level));
}
