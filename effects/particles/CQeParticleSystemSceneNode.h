#ifndef QIRN_EFFECTS_PARTICLES_CQEPARTICLESYSTEMSCENENODE_H
#define QIRN_EFFECTS_PARTICLES_CQEPARTICLESYSTEMSCENENODE_H

#include "CQeFxEmitter.h"
#include "IQeParticleSystemSceneNode.h"

// The quad mesh that every plain particle node draws through: four vertices per particle that all carry
// the particle's position, the quad corner in the texture coordinates and (birth, death, 0) in the normal.
struct SQeParticleQuadMesh {
    irr::scene::SMeshBuffer* buffer = nullptr;
    SQeParticleInstance* records = nullptr;
    irr::u32 refCount = 0;
};

const irr::u32 QE_PARTICLE_QUAD_CAPACITY = 0x10000;  // vertices of the quad mesh and instance records
const irr::u32 QE_PARTICLE_QUAD_DRAW_LIMIT = 0x4000;  // particles one node draws per frame

// The particle node that draws its particles as quads of the shared quad mesh.
class CQeParticleSystemSceneNode : public IQeParticleSystemSceneNode {
public:
    // Over the engine-wide shared particle buffer, empty.
    CQeParticleSystemSceneNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id);
    // With an own buffer of 65536 records, empty; unusedNode is not used.
    CQeParticleSystemSceneNode(irr::scene::ISceneNode* unusedNode, irr::scene::ISceneNode* parent,
                               irr::scene::ISceneManager* manager, irr::s32 id);
    // With an own buffer holding one permanent particle per vertex of the mesh node's mesh (mesh space).
    CQeParticleSystemSceneNode(irr::scene::IMeshSceneNode* meshNode, irr::scene::ISceneNode* parent,
                               irr::scene::ISceneManager* manager, irr::s32 id);
    ~CQeParticleSystemSceneNode() override;

    void OnRegisterSceneNode() override;
    void OnAnimate(irr::u32 timeMs) override;
    void render() override;
    const irr::core::aabbox3d<irr::f32>& getBoundingBox() const override;
    void setVisible(bool isVisible) override;
    irr::video::SMaterial& getMaterial(irr::u32 i) override;
    irr::u32 getMaterialCount() const override;
    IQeFxEmitter* getEmitter() override;

    // The instanced draw; this node has none and only says so.
    virtual void renderInstancing();
    // The draw through the shared quad mesh.
    virtual void renderQuads();

    // The embedded emitter with its node-side operations.
    CQeFxEmitter* getFxEmitter() { return &Emitter; }

    // The shared quad mesh (null while no plain node has drawn), for checks.
    static const SQeParticleQuadMesh* getSharedQuadMesh();

protected:
    irr::core::aabbox3d<irr::f32> Box;
    irr::video::SMaterial Material;
    CQeFxEmitter Emitter;
    SQeParticleQuadMesh* QuadMesh;

private:
    void initNode();
};

#endif
