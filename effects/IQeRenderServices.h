#ifndef QIRN_EFFECTS_IQERENDERSERVICES_H
#define QIRN_EFFECTS_IQERENDERSERVICES_H

#include <irrlicht.h>

class IQeEffect;

// Drawing helpers of the effect library: a full-screen quad drawn with one pass of an effect, and
// copies of the frame's light list and render lists of the 3D engine's scene manager.
class IQeRenderServices {
public:
    virtual ~IQeRenderServices() {}
    virtual void drawScreenQuad(IQeEffect* effect, irr::u32 technique, irr::u32 pass) = 0;
    virtual void getLightList(irr::core::array<irr::scene::ISceneNode*>& outList) = 0;
    virtual void getSolidNodeList(irr::core::array<irr::scene::ISceneNode*>& outList) = 0;
    virtual void getTransparentNodeList(irr::core::array<irr::scene::ISceneNode*>& outList) = 0;
    virtual void getTransparentEffectNodeList(irr::core::array<irr::scene::ISceneNode*>& outList) = 0;
};

#endif
