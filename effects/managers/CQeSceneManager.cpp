#include "CQeSceneManager.h"

#include <new>

#include "IQeSceneNodeExt.h"
#include "particles/CQeD3D9ParticleSystemSceneNode.h"

using namespace irr;

scene::ISceneNode* CQeSceneManager::addMeshSceneNodeFromFile(const io::path& fileName, scene::ISceneNode* parent,
                                                             s32 id) {
    scene::ISceneManager* smgr = Device ? Device->getSceneManager() : nullptr;
    scene::IAnimatedMesh* mesh = smgr ? smgr->getMesh(fileName) : nullptr;
    if (!mesh) return nullptr;
    const core::vector3df position(0, 0, 0), rotation(0, 0, 0), scale(1, 1, 1);
    if (mesh->getFrameCount() <= 1) {
        scene::IMeshSceneNode* node = smgr->addMeshSceneNode(mesh, parent, id, position, rotation, scale);
        if (node) mesh->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
        return node;
    }
    scene::IAnimatedMeshSceneNode* node = smgr->addAnimatedMeshSceneNode(mesh, parent, id, position, rotation, scale);
    if (node) node->setAnimationSpeed(0.0f);
    return node;
}

IQeParticleSystemSceneNode* CQeSceneManager::createParticleNode(EForm form, scene::ISceneNode* node,
                                                                scene::ISceneNode* parent, s32 id) {
    scene::ISceneManager* smgr = Device ? Device->getSceneManager() : nullptr;
    if (!smgr) return nullptr;
    if (!parent) parent = smgr->getRootSceneNode();
    // The mesh form reads the vertices of a mesh node, static or animated; other nodes have no such mesh.
    scene::IMeshSceneNode* meshNode = nullptr;
    scene::IAnimatedMeshSceneNode* animatedNode = nullptr;
    if (form == OVER_MESH) {
        if (!node) return nullptr;
        if (node->getType() == scene::ESNT_MESH)
            meshNode = static_cast<scene::IMeshSceneNode*>(node);
        else if (node->getType() == scene::ESNT_ANIMATED_MESH)
            animatedNode = static_cast<scene::IAnimatedMeshSceneNode*>(node);
        else
            return nullptr;
    }
    const bool d3d9 = Device->getVideoDriver() && Device->getVideoDriver()->getDriverType() == video::EDT_DIRECT3D9;
    CQeParticleSystemSceneNode* created = nullptr;
    switch (form) {
    case OWN_BUFFER:
        created = d3d9 ? new (std::nothrow) CQeD3D9ParticleSystemSceneNode(node, parent, smgr, id)
                       : new (std::nothrow) CQeParticleSystemSceneNode(node, parent, smgr, id);
        break;
    case OVER_MESH:
        if (animatedNode)
            created = d3d9 ? new (std::nothrow) CQeD3D9ParticleSystemSceneNode(animatedNode, parent, smgr, id)
                           : new (std::nothrow) CQeParticleSystemSceneNode(animatedNode, parent, smgr, id);
        else
            created = d3d9 ? new (std::nothrow) CQeD3D9ParticleSystemSceneNode(meshNode, parent, smgr, id)
                           : new (std::nothrow) CQeParticleSystemSceneNode(meshNode, parent, smgr, id);
        break;
    case SHARED_BUFFER:
        created = d3d9 ? new (std::nothrow) CQeD3D9ParticleSystemSceneNode(parent, smgr, id)
                       : new (std::nothrow) CQeParticleSystemSceneNode(parent, smgr, id);
        break;
    }
    // The parent holds the node now.
    if (created) created->drop();
    return created;
}

IQeParticleSystemSceneNode* CQeSceneManager::createMeshParticleSystemSceneNode(scene::ISceneNode* node,
                                                                               scene::ISceneNode* parent, s32 id) {
    return createParticleNode(OWN_BUFFER, node, parent, id);
}

IQeParticleSystemSceneNode* CQeSceneManager::createAnimatedMeshParticleSystemSceneNode(scene::ISceneNode* meshNode,
                                                                                       scene::ISceneNode* parent,
                                                                                       s32 id) {
    return createParticleNode(OVER_MESH, meshNode, parent, id);
}

IQeParticleSystemSceneNode* CQeSceneManager::createParticleSystemSceneNode(scene::ISceneNode* parent, s32 id) {
    return createParticleNode(SHARED_BUFFER, nullptr, parent, id);
}

scene::ISceneNode* CQeSceneManager::cloneSceneNode(scene::ISceneNode* node) {
    if (!node) return nullptr;
    scene::ISceneNode* copy = node->clone(nullptr, nullptr);
    if (!copy) return nullptr;
    // The cloned extension copied surfaces and effects; the copy's mesh gets tangents when they ask for
    // them. No tangent change is needed is as good as a change made.
    if (IQeSceneNodeExt* ext = getSceneNodeExt(copy)) ext->updateTangents();
    return copy;
}

IQeSceneNodeExt* CQeSceneManager::createSceneNodeExt(scene::ISceneNode* node) {
    if (!node) return nullptr;
    if (IQeSceneNodeExt* ext = getSceneNodeExt(node)) return ext;
    IQeSceneNodeExt* ext = createQeSceneNodeExt(node);
    if (!ext) return nullptr;
    node->addAnimator(ext);
    ext->drop();
    return ext;
}
