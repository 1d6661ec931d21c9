#ifndef QIRN_EFFECTS_MANAGERS_CQERENDERSERVICES_H
#define QIRN_EFFECTS_MANAGERS_CQERENDERSERVICES_H

#include "IQeRenderServices.h"

// Two triangles covering clip space, drawn with the world transform at identity.
class CQeScreenQuad {
public:
    CQeScreenQuad();
    virtual ~CQeScreenQuad() {}
    virtual void render(irr::video::IVideoDriver* driver);
    virtual irr::video::SMaterial& getMaterial() { return Material; }

private:
    irr::video::S3DVertex Vertices[6];
    irr::video::SMaterial Material;
};

class CQeRenderServices : public IQeRenderServices {
public:
    explicit CQeRenderServices(irr::IrrlichtDevice* device);
    void drawScreenQuad(IQeEffect* effect, irr::u32 technique, irr::u32 pass) override;
    void getLightList(irr::core::array<irr::scene::ISceneNode*>& outList) override;
    void getSolidNodeList(irr::core::array<irr::scene::ISceneNode*>& outList) override;
    void getTransparentNodeList(irr::core::array<irr::scene::ISceneNode*>& outList) override;
    void getTransparentEffectNodeList(irr::core::array<irr::scene::ISceneNode*>& outList) override;

private:
    irr::IrrlichtDevice* Device;       // not grabbed
    irr::video::IVideoDriver* Driver;  // not grabbed
    CQeScreenQuad Quad;
};

#endif
