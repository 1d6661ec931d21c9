#ifndef QIRN_EFFECTS_MANAGERS_CQESCENEMANAGER_H
#define QIRN_EFFECTS_MANAGERS_CQESCENEMANAGER_H

#include "IQeSceneManager.h"

class CQeSceneManager : public IQeSceneManager {
public:
    explicit CQeSceneManager(irr::IrrlichtDevice* device) : Device(device) {}
    irr::scene::ISceneNode* addMeshSceneNodeFromFile(const irr::io::path& fileName, irr::scene::ISceneNode* parent,
                                                     irr::s32 id) override;
    IQeParticleSystemSceneNode* createMeshParticleSystemSceneNode(irr::scene::ISceneNode* node,
                                                                  irr::scene::ISceneNode* parent,
                                                                  irr::s32 id) override;
    IQeParticleSystemSceneNode* createAnimatedMeshParticleSystemSceneNode(irr::scene::ISceneNode* meshNode,
                                                                          irr::scene::ISceneNode* parent,
                                                                          irr::s32 id) override;
    IQeParticleSystemSceneNode* createParticleSystemSceneNode(irr::scene::ISceneNode* parent, irr::s32 id) override;
    irr::scene::ISceneNode* cloneSceneNode(irr::scene::ISceneNode* node) override;
    IQeSceneNodeExt* createSceneNodeExt(irr::scene::ISceneNode* node) override;
    void setSceneTime(irr::u32 ms) override { SceneTime = ms; }
    irr::u32 getSceneTime() override { return SceneTime; }

private:
    enum EForm { OWN_BUFFER, OVER_MESH, SHARED_BUFFER };
    IQeParticleSystemSceneNode* createParticleNode(EForm form, irr::scene::ISceneNode* node,
                                                   irr::scene::ISceneNode* parent, irr::s32 id);

    irr::IrrlichtDevice* Device;  // not grabbed
    irr::u32 SceneTime = 0;
};

#endif
