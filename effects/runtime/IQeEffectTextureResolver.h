#ifndef QIRN_EFFECTS_RUNTIME_IQEEFFECTTEXTURERESOLVER_H
#define QIRN_EFFECTS_RUNTIME_IQEEFFECTTEXTURERESOLVER_H

#include <irrlicht.h>

// Turns the image of a sampler parameter into a texture. A null result with *failed false means that
// this resolver does not handle the parameter (ask the next one); with *failed true the file is missing
// or did not load.
class IQeEffectTextureResolver : public virtual irr::IReferenceCounted {
public:
    virtual irr::video::ITexture* resolveTexture(irr::u32 type, const irr::c8* semantic, const irr::c8* url,
                                                 const irr::core::stringc& effectDir,
                                                 const irr::core::array<irr::core::stringc>& searchDirs,
                                                 bool* failed) = 0;
};

#endif
