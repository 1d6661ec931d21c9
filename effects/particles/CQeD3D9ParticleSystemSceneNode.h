#ifndef QIRN_EFFECTS_PARTICLES_CQED3D9PARTICLESYSTEMSCENENODE_H
#define QIRN_EFFECTS_PARTICLES_CQED3D9PARTICLESYSTEMSCENENODE_H

#include "CQeParticleSystemSceneNode.h"

// One instanced draw call: instance count and byte offset into the instance buffer.
struct SQeParticleInstanceBatch {
    irr::u32 count;
    irr::u32 offset;
};

const irr::u32 QE_PARTICLE_INSTANCE_CAPACITY = 0x10000;  // instances of the shared instance buffer
const irr::u32 QE_PARTICLE_INSTANCE_BATCH = 4096;        // instances per draw call

// Splits the drawing of count instances (limited to capacity) into batches; returns the number of
// batches written (at most maxBatches).
irr::u32 qeParticleInstanceBatches(irr::u32 count, irr::u32 capacity, SQeParticleInstanceBatch* out,
                                   irr::u32 maxBatches);

// The particle node of the Direct3D 9 driver: draws by hardware instancing from device objects that
// every node of this kind shares. The objects are created by the first draw, freed when the last node
// goes, and freed before a device reset (OnDeviceReset); the next draw creates them again.
class CQeD3D9ParticleSystemSceneNode : public CQeParticleSystemSceneNode {
public:
    CQeD3D9ParticleSystemSceneNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id);
    CQeD3D9ParticleSystemSceneNode(irr::scene::ISceneNode* unusedNode, irr::scene::ISceneNode* parent,
                                   irr::scene::ISceneManager* manager, irr::s32 id);
    CQeD3D9ParticleSystemSceneNode(irr::scene::IMeshSceneNode* meshNode, irr::scene::ISceneNode* parent,
                                   irr::scene::ISceneManager* manager, irr::s32 id);
    CQeD3D9ParticleSystemSceneNode(irr::scene::IAnimatedMeshSceneNode* meshNode, irr::scene::ISceneNode* parent,
                                   irr::scene::ISceneManager* manager, irr::s32 id);
    ~CQeD3D9ParticleSystemSceneNode() override;

    virtual void AddRefSharedData();
    virtual void RemoveRefSharedData();

    void render() override;
    void renderInstancing() override;

    // Frees the shared device objects (before a device reset); the reference count stays.
    static void OnDeviceReset();

    // For checks: the number of live nodes and whether the shared objects exist.
    static irr::s32 getSharedDataRefCount();
    static bool hasSharedData();
};

#endif
