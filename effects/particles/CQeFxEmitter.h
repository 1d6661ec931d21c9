#ifndef QIRN_EFFECTS_PARTICLES_CQEFXEMITTER_H
#define QIRN_EFFECTS_PARTICLES_CQEFXEMITTER_H

#include "IQeFxEmitter.h"
#include "QeParticleSystem.h"
#include "SQeParticleInstance.h"

class CQeFxEmitter : public IQeFxEmitter {
public:
    CQeFxEmitter();
    ~CQeFxEmitter();
    CQeFxEmitter(const CQeFxEmitter&) = delete;
    CQeFxEmitter& operator=(const CQeFxEmitter&) = delete;

    void setBirthRate(irr::f32 particlesPerSecond) override;
    void setNozzleSize(irr::f32 x, irr::f32 y, irr::f32 z) override;
    void setParticleLimit(irr::u32 limit) override;
    void setWeight(irr::f32 weight, irr::f32 variation) override;
    void setResistance(irr::f32 resistance, irr::f32 variation) override;
    void setLifeTime(irr::f32 seconds, irr::f32 variation) override;
    void setVelocity(irr::f32 x, irr::f32 y, irr::f32 z) override;
    void setExplosion(irr::f32 speed) override;
    void setVibration(irr::f32 speed, irr::f32 variation) override;
    void setGravity(irr::f32 x, irr::f32 y, irr::f32 z) override;
    void setParentMotion(irr::f32 share) override;
    void setWorldTransform(const irr::core::matrix4& transform) override;
    void setViewerPosition(irr::f32 x, irr::f32 y, irr::f32 z) override;
    void setBlendMode(irr::u8 depthSort) override;
    void setNozzleType(irr::u32 kind) override;
    irr::s32 setNozzleMesh(irr::scene::IMesh* mesh) override;
    irr::u32 getParticleCount() override;
    void resetEmitter() override;
    void resetEmittedCount() override;

    // Chooses the particle buffer: shared, or an own one of count records (0 means 65536).
    // -1 for a negative count; 0 otherwise (a failed allocation leaves the emitter without records).
    irr::s32 initParticleBuffer(irr::s32 count, bool shared);
    // One step of the emitter at timeMs (the 3D engine's clock).
    void updateEmitter(irr::u32 timeMs);
    // Copies at most max live particles, oldest first (or farthest first when depth-sorted).
    irr::s32 fillInstances(SQeParticleInstance* dst, irr::s32 max);
    // Gives every live particle back and restarts the emitter; with onlyIfShared, an emitter on its own
    // buffer is left alone.
    void resetParticles(bool onlyIfShared);
    // Adds one particle at rest at (x, y, z) living from birthMs to deathMs.
    void addParticle(irr::f32 x, irr::f32 y, irr::f32 z, irr::u32 birthMs, irr::u32 deathMs);
    // Moves record index of the emitter's own buffer to (x, y, z), whatever list it is on; false past the
    // end of the buffer or on the shared buffer. Particles added one by one to a fresh own buffer take
    // its records in order, so the k-th of them stays record k however the live list is sorted.
    bool placeRecord(irr::u32 index, irr::f32 x, irr::f32 y, irr::f32 z);

    // The settings and running state, for the node and for checks.
    SQeFxEmitterSettings* getSettings() { return Settings; }

private:
    void releaseBuffer();

    SQeFxEmitterSettings* Settings;
};

#endif
