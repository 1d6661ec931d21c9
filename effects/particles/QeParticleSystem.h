#ifndef QIRN_EFFECTS_PARTICLES_QEPARTICLESYSTEM_H
#define QIRN_EFFECTS_PARTICLES_QEPARTICLESYSTEM_H

// Working parts of the fx emitter: its settings record, the particle random generator, spawning from
// the nozzles, motion and depth sorting.

#include <irrlicht.h>

#include "QeParticleBuffer.h"

// Nozzle kinds.
enum E_QE_NOZZLE_KIND {
    EQNK_BOX = 0,
    EQNK_SPHERE = 1,
    EQNK_MESH_VERTICES = 2,
    EQNK_MESH_NORMALS = 3,
    EQNK_MESH_TRIANGLES = 4
};

// Settings and running state of one emitter.
struct SQeFxEmitterSettings {
    irr::f32 birthRate = 100.0f;
    irr::f32 nozzleSize[3] = {1.0f, 1.0f, 1.0f};
    irr::u32 particleLimit = 0;
    irr::f32 weight = 1.0f, weightVariation = 0.0f;
    irr::f32 resistance = 1.0f, resistanceVariation = 0.0f;
    irr::f32 lifeTime = 2.0f, lifeTimeVariation = 0.0f;
    irr::f32 velocity[4] = {0, 0, 0, 0};
    irr::f32 explosion = 0.0f;
    irr::f32 vibration = 0.0f, vibrationVariation = 0.0f;
    irr::f32 gravity[4] = {0, 0, 0, 0};
    irr::f32 parentMotion = 1.0f;
    irr::f32 transform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    irr::f32 viewerPosition[4] = {0, 0, 0, 1};
    irr::u8 depthSort = 0;
    irr::u32 nozzleKind = EQNK_BOX;
    irr::scene::IMesh* nozzleMesh = nullptr;
    irr::u32 meshBufferCursor = 0, meshVertexCursor = 0;
    irr::u8 usesSharedBuffer = 0;
    SQeParticleBuffer* particleBuffer = nullptr;
    irr::u32 lastUpdate = 0;
    irr::f32 sampledPosition[4] = {0, 0, 0, 0};
    irr::u32 lastSample = 0;
    irr::f32 emitterVelocity[4] = {0, 0, 0, 0};
    irr::f32 lastSpawnPosition[4] = {0, 0, 0, 0};
    irr::f32 lastInheritedVelocity[4] = {0, 0, 0, 0};
    irr::f32 birthCarry = 0.0f;
    SQeParticle* liveTail = nullptr;
    irr::u32 liveCount = 0;
    irr::u32 emittedCount = 0;
};

// The particle code's own generator: one state for every emitter, 0 at program start.
// Each draw advances the state and yields a value 0..32767.
irr::u32 qeParticleRandom();
// The current state (the next draw starts from it).
irr::u32 qeParticleRandomState();

// Square root by the reciprocal-square-root estimate and two Newton steps.
irr::f32 qeParticleFastSqrt(irr::f32 x);

// One nozzle sample in emitter space: start point (w = 1) and direction (w = 0). False when the nozzle
// cannot give a point (no usable mesh).
bool qeParticleNozzle(SQeFxEmitterSettings* s, irr::f32 point[4], irr::f32 direction[4]);

// Spawns up to budget particles for a step of dt seconds at time now (seconds). Returns the number made.
irr::u32 spawnParticles(SQeFxEmitterSettings* s, irr::f32 now, irr::f32 dt, irr::u32 budget);

// Removes the particles whose death lies before now and moves the others by dt seconds. Returns the
// number of live particles. An emitter with a buffer of its own whose live count (liveCount, spawns
// included) fills a quarter of it or more is moved in block order.
irr::u32 moveParticles(SQeFxEmitterSettings* s, irr::f32 now, irr::f32 dt);

// moveParticles, then for a depth-sorted emitter with more than one live particle the depth sort, on
// the records and keys that the walk gathered as it went (the list is not walked a second time).
irr::u32 moveAndSortParticles(SQeFxEmitterSettings* s, irr::f32 now, irr::f32 dt);

// Sorts a live list by depth key, farthest first (a natural merge, which gives equal keys an order of
// its own); tail receives the new tail. Returns the number of merge passes made (0 for fewer than two
// records).
irr::u32 sortParticlesByDepth(SQeParticle*& tail);
// Frees the depth sort's working memory (kept between sorts so that frames allocate nothing).
void releaseParticleSortScratch();

#endif
