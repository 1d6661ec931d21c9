#ifndef QIRN_EFFECTS_RUNTIME_CQEEFFECTTEXTURERESOLVER_H
#define QIRN_EFFECTS_RUNTIME_CQEEFFECTTEXTURERESOLVER_H

#include "IQeTextureManager.h"
#include "runtime/IQeEffectTextureResolver.h"

// Loads the file named by a sampler's image ("file://" URL or plain name) for parameters without a
// semantic: as it stands, beside the effect file, then in each search folder.
class CQeEffectTextureResolver : public IQeEffectTextureResolver {
public:
    CQeEffectTextureResolver(irr::IrrlichtDevice* device, IQeTextureManager* textures)
        : Device(device), Textures(textures) {}
    irr::video::ITexture* resolveTexture(irr::u32 type, const irr::c8* semantic, const irr::c8* url,
                                         const irr::core::stringc& effectDir,
                                         const irr::core::array<irr::core::stringc>& searchDirs,
                                         bool* failed) override;

private:
    bool findFile(irr::core::stringc& path, const irr::core::stringc& effectDir,
                  const irr::core::array<irr::core::stringc>& searchDirs) const;

    irr::IrrlichtDevice* Device;
    IQeTextureManager* Textures;
};

#endif
