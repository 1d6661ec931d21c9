#ifndef QIRN_EFFECTS_PARTICLES_IQEFXEMITTER_H
#define QIRN_EFFECTS_PARTICLES_IQEFXEMITTER_H

#include <irrlicht.h>

// The particle source of one particle scene node. The emitter is embedded in its node and dies with it:
// there is no virtual destructor and nobody deletes it through this interface.
class IQeFxEmitter {
public:
    virtual void setBirthRate(irr::f32 particlesPerSecond) = 0;
    virtual void setNozzleSize(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    // Most particles ever emitted; 0 means no limit.
    virtual void setParticleLimit(irr::u32 limit) = 0;
    virtual void setWeight(irr::f32 weight, irr::f32 variation) = 0;
    virtual void setResistance(irr::f32 resistance, irr::f32 variation) = 0;
    // Seconds; the variation is the full width of a uniform spread around the life time.
    virtual void setLifeTime(irr::f32 seconds, irr::f32 variation) = 0;
    virtual void setVelocity(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    virtual void setExplosion(irr::f32 speed) = 0;
    virtual void setVibration(irr::f32 speed, irr::f32 variation) = 0;
    virtual void setGravity(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    virtual void setParentMotion(irr::f32 share) = 0;
    virtual void setWorldTransform(const irr::core::matrix4& transform) = 0;
    virtual void setViewerPosition(irr::f32 x, irr::f32 y, irr::f32 z) = 0;
    // Non-zero keeps the live particles sorted farthest first (alpha-blended emitters).
    virtual void setBlendMode(irr::u8 depthSort) = 0;
    // 0 box, 1 sphere, 2 mesh vertices, 3 mesh normals, 4 mesh triangles; other kinds spawn nothing.
    virtual void setNozzleType(irr::u32 kind) = 0;
    // The mesh of the mesh nozzles (not grabbed); resets the mesh walk. Returns 0.
    virtual irr::s32 setNozzleMesh(irr::scene::IMesh* mesh) = 0;
    virtual irr::u32 getParticleCount() = 0;
    // Drops every live particle, restarts the emitter and clears the emitted count.
    virtual void resetEmitter() = 0;
    virtual void resetEmittedCount() = 0;

protected:
    ~IQeFxEmitter() {}
};

#endif
