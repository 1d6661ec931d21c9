#ifndef QIRN_EFFECTS_MANAGERS_CQETEXTUREMANAGER_H
#define QIRN_EFFECTS_MANAGERS_CQETEXTUREMANAGER_H

#include "IQeTextureManager.h"

class CQeTextureManager : public IQeTextureManager {
public:
    explicit CQeTextureManager(irr::IrrlichtDevice* device) : Device(device) {}
    irr::video::ITexture* getTexture(const irr::io::path& name) override;
    irr::video::ITexture* loadCubeTexture(const irr::io::path& name) override;
    irr::video::ITexture* loadTexture(const irr::io::path& name) override;
    irr::video::ITexture* loadTextureR32F(const irr::io::path& name) override;

    // The six face file names of a numbered cube map name (sky00.jpg: sky0000.jpg to sky0005.jpg);
    // false when the name does not fit the numbering.
    static bool cubeFaceNames(const irr::io::path& name, irr::io::path faces[6]);

private:
    irr::video::IVideoDriver* driver() const { return Device ? Device->getVideoDriver() : nullptr; }

    irr::IrrlichtDevice* Device;  // not grabbed
};

#endif
