#ifndef QIRN_EFFECTS_IQETEXTUREMANAGER_H
#define QIRN_EFFECTS_IQETEXTUREMANAGER_H

#include <irrlicht.h>

// The effect library's texture manager: plain, cube and 32-bit float textures. Every texture it gives
// is held by the video driver's texture list (the caller does not drop it); null on failure.
class IQeTextureManager {
public:
    virtual ~IQeTextureManager() {}
    // The video driver's getTexture.
    virtual irr::video::ITexture* getTexture(const irr::io::path& name) = 0;
    // A cube map from six numbered face files (sky00.jpg: sky0000.jpg to sky0005.jpg).
    virtual irr::video::ITexture* loadCubeTexture(const irr::io::path& name) = 0;
    virtual irr::video::ITexture* loadTexture(const irr::io::path& name) = 0;
    virtual irr::video::ITexture* loadTextureR32F(const irr::io::path& name) = 0;
};

#endif
