#ifndef QIRN_EFFECTS_IQESCENENODEEXT_H
#define QIRN_EFFECTS_IQESCENENODEEXT_H

#include <irrlicht.h>

class IQeEffect;
class IQeSurface;

// The animator type that marks a node extension among a node's animators.
const irr::u32 QE_SCENE_NODE_EXT_TYPE = 4321;

// Effect-library data attached to one scene node as an animator: per material index a surface and an
// effect with its current technique and pass. Material indices out of range and null arguments are
// ignored.
class IQeSceneNodeExt : public irr::scene::ISceneNodeAnimator {
public:
    virtual irr::scene::ISceneNode* getNode() = 0;
    virtual IQeEffect* getEffect(irr::u32 material) = 0;
    virtual void setEffect(irr::u32 material, IQeEffect* effect) = 0;
    virtual void setTechnique(irr::u32 material, irr::u32 technique) = 0;
    virtual void setPass(irr::u32 material, irr::u32 pass) = 0;
    virtual void removeEffect(irr::u32 material) = 0;
    virtual void removeAllEffects() = 0;
    virtual IQeSurface* getSurface(irr::u32 material) = 0;
    virtual void setSurface(irr::u32 material, IQeSurface* surface) = 0;
    virtual void removeSurface(irr::u32 material) = 0;
    virtual void removeAllSurfaces() = 0;
    // Gives a mesh node tangent vertices when a surface or effect needs them; true when the mesh changed.
    virtual bool updateTangents() = 0;
};

// A new extension for the node (reference count 1), not yet attached to it; null when none can be made.
IQeSceneNodeExt* createQeSceneNodeExt(irr::scene::ISceneNode* node);

// The node's first animator of the extension's type, or null.
IQeSceneNodeExt* getSceneNodeExt(irr::scene::ISceneNode* node);

#endif
