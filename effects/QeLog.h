#ifndef QIRN_EFFECTS_QELOG_H
#define QIRN_EFFECTS_QELOG_H

#include <irrlicht.h>

// The effect library's log. Every class of the library reports through qeLibLog, which hands the text
// to the 3D engine's logger that the service hub stores when it is built; until then nothing is logged.

// The logger in use (not grabbed); null until the hub sets it.
extern irr::ILogger* qeLibLogger;

// Stores the logger that qeLibLog and qeLibPrintf use (null switches both off).
void qeLibSetLogger(irr::ILogger* logger);

// Logs a printf-style message at a level of irr::ELOG_LEVEL (0 debug, 1 information, 2 warning,
// 3 error), unless the logger's level is above it. The text is cut to 511 characters; no newline is
// added.
void qeLibLog(irr::s32 level, const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(gnu_printf, 2, 3)))
#endif
    ;

// Prints a printf-style text on the standard output (multi-line dumps), only while a logger is set.
void qeLibPrintf(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(gnu_printf, 1, 2)))
#endif
    ;

#endif
