#ifndef QIRN_EFFECTS_PARTICLES_SQEPARTICLEINSTANCE_H
#define QIRN_EFFECTS_PARTICLES_SQEPARTICLEINSTANCE_H

#include <irrlicht.h>

// Per-particle drawing record that both particle drawing paths feed to the particle shader: position,
// birth and death in seconds of the 3D engine's clock, and 0.
struct SQeParticleInstance {
    irr::f32 x, y, z;
    irr::f32 birth, death;
    irr::f32 zero;
};
static_assert(sizeof(SQeParticleInstance) == 24, "instance records are 24 bytes");

#endif
