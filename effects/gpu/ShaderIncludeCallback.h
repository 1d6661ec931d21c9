#ifndef QIRN_EFFECTS_GPU_SHADERINCLUDECALLBACK_H
#define QIRN_EFFECTS_GPU_SHADERINCLUDECALLBACK_H

#include <irrlicht.h>

// Gives the shader compiler the files that a source includes, read through the engine's file system.
// Searched first in the source's folder, then in every folder where an earlier include of the same
// compile was found (so an include found in a sub-folder can include its own neighbours).
class ShaderIncludeCallback : public irr::video::IIncludeCallback {
public:
    ShaderIncludeCallback(irr::io::IFileSystem* fileSystem, const irr::core::stringc& firstDirectory);
    ~ShaderIncludeCallback() override;
    // Hands out a malloc'ed copy of the file's bytes, which Close frees.
    bool Open(const irr::c8* fileName, const void** data, irr::u32* size) override;
    bool Close(const void* data) override;
    // The folders searched, in their current order.
    const irr::core::array<irr::core::stringc>& getDirectories() const { return Directories; }
    // The path of the file that the last successful Open gave.
    const irr::core::stringc& getLastFound() const { return LastFound; }

private:
    irr::io::IFileSystem* FileSystem;
    irr::core::array<irr::core::stringc> Directories;
    irr::core::stringc LastFound;
};

#endif
