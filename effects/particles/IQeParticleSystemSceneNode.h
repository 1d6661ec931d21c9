#ifndef QIRN_EFFECTS_PARTICLES_IQEPARTICLESYSTEMSCENENODE_H
#define QIRN_EFFECTS_PARTICLES_IQEPARTICLESYSTEMSCENENODE_H

#include <irrlicht.h>

#include "IQeFxEmitter.h"
#include "SQeParticleInstance.h"

// A scene node that animates and draws one fx emitter.
class IQeParticleSystemSceneNode : public irr::scene::ISceneNode {
public:
    IQeParticleSystemSceneNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id)
        : irr::scene::ISceneNode(parent, manager, id, irr::core::vector3df(0, 0, 0), irr::core::vector3df(0, 0, 0),
                                 irr::core::vector3df(1, 1, 1)) {}

    // The node's emitter; the node keeps it.
    virtual IQeFxEmitter* getEmitter() = 0;
};

#endif
