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
    // Over a mesh node: an own buffer holding one permanent particle per vertex of the node's mesh, and no
    // births. The particles sit where the node shows its vertices (world space, as the particle shader
    // draws them) and follow the node as it moves; over an animated mesh node they follow the frame it
    // shows as well. They stay where they were last placed once the node is gone.
    CQeParticleSystemSceneNode(irr::scene::IMeshSceneNode* meshNode, irr::scene::ISceneNode* parent,
                               irr::scene::ISceneManager* manager, irr::s32 id);
    CQeParticleSystemSceneNode(irr::scene::IAnimatedMeshSceneNode* meshNode, irr::scene::ISceneNode* parent,
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

    // Places the particles on the source node's vertices as the node shows them now. The source node calls
    // it from its animation, after an animated mesh node has built its frame (the frame of that node, even
    // where other nodes share its mesh).
    void followSourceMesh();
    // The source node is being destroyed: the particles stay where they are.
    void forgetSourceNode();

protected:
    // A source node that is not shown runs no animators: the draw places the particles itself.
    void followHiddenSource();

    irr::core::aabbox3d<irr::f32> Box;
    irr::video::SMaterial Material;
    CQeFxEmitter Emitter;
    SQeParticleQuadMesh* QuadMesh;
    irr::scene::ISceneNode* SourceNode;  // not held: its follower animator says when it goes
    bool SourceAnimated;
    irr::scene::ISceneNodeAnimator* Follower;  // on the source node, which holds it

private:
    void initNode();
    void initOverMesh(irr::scene::ISceneNode* meshNode, bool animated);
    irr::scene::IMesh* sourceMesh() const;
    irr::scene::IMesh* buildSourceFrame() const;
    void placeOnSource(irr::scene::IMesh* mesh);
};

#endif
