#ifndef QIRN_EFFECTS_PARTICLES_QEPARTICLELOG_H
#define QIRN_EFFECTS_PARTICLES_QEPARTICLELOG_H

#include <irrlicht.h>

// The one door through which the particle code logs. Levels are the 3D engine's (0 debug, 1 information,
// 2 warning, 3 error, 4 none). Lines go to the logger set with qeParticleLogSetLogger; without one
// nothing is written.
void qeParticleLog(irr::s32 level, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The 3D engine logger the particle lines go to (not grabbed); null switches the lines off.
void qeParticleLogSetLogger(irr::ILogger* logger);

#endif
