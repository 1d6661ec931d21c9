#ifndef QIRN_EFFECTS_IQESCENEMANAGER_H
#define QIRN_EFFECTS_IQESCENEMANAGER_H

#include <irrlicht.h>

class IQeParticleSystemSceneNode;
class IQeSceneNodeExt;

// The effect library's scene object factory (not the 3D engine's scene manager): particle nodes, mesh
// nodes from files, node clones and node extensions, and the scene time the Time bind reads.
class IQeSceneManager {
public:
    virtual ~IQeSceneManager() {}
    // A static mesh node for a mesh of at most one frame, else an animated mesh node that stands still.
    virtual irr::scene::ISceneNode* addMeshSceneNodeFromFile(const irr::io::path& fileName,
                                                             irr::scene::ISceneNode* parent, irr::s32 id) = 0;
    // A particle node with a buffer of its own; the node argument is not used.
    virtual IQeParticleSystemSceneNode* createMeshParticleSystemSceneNode(irr::scene::ISceneNode* node,
                                                                          irr::scene::ISceneNode* parent,
                                                                          irr::s32 id) = 0;
    // A particle node with one permanent particle per vertex of the mesh a mesh scene node or an animated
    // mesh scene node shows, kept on the vertices as the node moves and animates; null for other nodes.
    virtual IQeParticleSystemSceneNode* createAnimatedMeshParticleSystemSceneNode(irr::scene::ISceneNode* meshNode,
                                                                                  irr::scene::ISceneNode* parent,
                                                                                  irr::s32 id) = 0;
    // A particle node over the engine-wide shared particle buffer.
    virtual IQeParticleSystemSceneNode* createParticleSystemSceneNode(irr::scene::ISceneNode* parent,
                                                                      irr::s32 id) = 0;
    virtual irr::scene::ISceneNode* cloneSceneNode(irr::scene::ISceneNode* node) = 0;
    // The node's extension, made and attached on first use.
    virtual IQeSceneNodeExt* createSceneNodeExt(irr::scene::ISceneNode* node) = 0;
    virtual void setSceneTime(irr::u32 ms) = 0;
    virtual irr::u32 getSceneTime() = 0;
};

#endif
